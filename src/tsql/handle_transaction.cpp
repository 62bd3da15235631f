// A handle's part in a host transaction: the phases it goes through (reading in one deferred
// snapshot without locks, then writing under the database's write lock and BEGIN IMMEDIATE from
// the first writing batch to the end), the authorizer that tells which statements write the
// database, and what a rollback undoes of the handle's temp tables. docs/database-layer.md,
// "Transactions", says what this means for the rules.
#include <cstring>
#include <unordered_map>

#include "tsql/database_impl.h"
#include "tsql/executor.h"

namespace corva::tsql {

int HandleImpl::Authorize(void* handle, int action, const char*, const char*, const char* db,
                          const char*) {
  switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_ALTER_TABLE:
      if (db == nullptr || std::strcmp(db, "temp") != 0)
        static_cast<HandleImpl*>(handle)->prepared_writes_ = true;
      break;
    default:
      break;
  }
  return SQLITE_OK;
}

void HandleImpl::Control(TransactionStatement which) {
  static const char* const kText[] = {"BEGIN", "BEGIN IMMEDIATE", "COMMIT", "ROLLBACK"};
  std::unique_ptr<Prepared>& prepared = control_[static_cast<int>(which)];
  if (!prepared) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(db_, kText[static_cast<int>(which)], -1, SQLITE_PREPARE_PERSISTENT,
                                &st, nullptr);
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
    prepared = std::make_unique<Prepared>(st, false);
  }
  int rc = sqlite3_step(prepared->get());
  sqlite3_reset(prepared->get());
  if (rc != SQLITE_DONE && which != TransactionStatement::kRollback) ThrowSqlite(db_, rc);
}

// A transaction's phases: Begin only marks the handle; the batches decide what SQLite sees.
void HandleImpl::Begin(Isolation isolation) {
  if (phase_ != Phase::kAutocommit) return;
  phase_ = Phase::kReading;
  isolation_ = isolation;
  read_open_ = false;
  routines_at_begin_ = database_->catalog.RoutineGeneration();
}

void HandleImpl::BeforeBatch(CompiledBatch::Access access) {
  if (phase_ != Phase::kReading || access == CompiledBatch::Access::kNone) return;
  if (access == CompiledBatch::Access::kRead && isolation_ == Isolation::kOptimistic) {
    // Deferred: the snapshot starts with the batch's first read and lasts until the transaction
    // ends or writes, so that the reads of one call cost one read lock.
    if (!read_open_) {
      Control(TransactionStatement::kBegin);
      read_open_ = true;
    }
    return;
  }
  // The first writing batch of an optimistic transaction keeps the snapshot its reads came from:
  // SQLite upgrades it at the write, or fails it (1205) when another transaction committed since.
  if (read_open_) {
    UpgradeInPlace();
    return;
  }
  // A serialized transaction's first batch, or an optimistic one's first batch when it writes
  // before reading: the write lock and an immediate transaction from here to the end.
  database_->LockWrites();
  try {
    Control(TransactionStatement::kBeginImmediate);
  } catch (...) {
    database_->UnlockWrites();
    throw;
  }
  phase_ = Phase::kWriting;
}

void HandleImpl::UpgradeInPlace() {
  database_->LockWrites();
  phase_ = Phase::kWriting;
  if (!read_open_) {
    try {
      Control(TransactionStatement::kBeginImmediate);
    } catch (...) {
      phase_ = Phase::kReading;
      database_->UnlockWrites();
      throw;
    }
  }
  // With the read transaction open SQLite upgrades it at the write itself: it waits out writers
  // of other processes and fails (1205) only when another transaction committed since its read.
  read_open_ = false;
}

void HandleImpl::Commit() {
  catalog_checked_ = false;
  Phase phase = phase_;
  bool open = read_open_ || phase == Phase::kWriting;
  phase_ = Phase::kAutocommit;
  read_open_ = false;
  if (!open) return;
  try {
    Control(TransactionStatement::kCommit);
  } catch (...) {
    Control(TransactionStatement::kRollback);
    if (phase == Phase::kWriting) database_->UnlockWrites();
    AfterRollback();
    throw;
  }
  if (phase == Phase::kWriting) database_->UnlockWrites();
}

void HandleImpl::Rollback() {
  catalog_checked_ = false;
  Phase phase = phase_;
  bool open = read_open_ || phase == Phase::kWriting;
  phase_ = Phase::kAutocommit;
  read_open_ = false;
  if (!open) return;
  Control(TransactionStatement::kRollback);
  if (phase == Phase::kWriting) database_->UnlockWrites();
  AfterRollback();
}

void HandleImpl::AfterRollback() {
  // The rollback may have undone a trigger switched on or off or a routine created (both write the
  // catalog table): the routines cached since are no longer what is stored. Only then: a rule that
  // fails and rolls back must not make the next call compile its procedures again.
  if (database_->catalog.RoutineGeneration() != routines_at_begin_)
    database_->catalog.InvalidateRoutines();
  // The rollback undid temp tables created in the transaction and refilled emptied ones.
  std::unordered_map<std::string, bool> exists;
  sqlite3_stmt* st = Prepare("SELECT name FROM temp.sqlite_master WHERE type = 'table'")->get();
  while (sqlite3_step(st) == SQLITE_ROW)
    exists[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] = true;
  sqlite3_reset(st);
  for (auto it = temp_pool_.begin(); it != temp_pool_.end();) {
    if (!exists.count(it->first)) {
      // Created in the transaction. SQLite answers the rollback of a transaction that changed a
      // schema by re-reading every schema of the connection and re-preparing every statement
      // (milliseconds with this schema); the table is made again here, outside any transaction,
      // empty and free, so that the next call reuses it and its rollback stays cheap.
      KeptTable& kept = it->second;
      if (!kept.body.empty() &&
          sqlite3_exec(db_,
                       ("CREATE TEMP TABLE " + QuoteId(it->first) + " (" + kept.body + ")").c_str(),
                       nullptr, nullptr, nullptr) == SQLITE_OK) {
        if (kept.in_use) dormant_.push_back(it->first);
        kept.in_use = false;
        ++it;
        continue;
      }
      dormant_.remove(it->first);
      it = temp_pool_.erase(it);
      continue;
    }
    if (!it->second.in_use)
      sqlite3_exec(db_, ("DELETE FROM temp." + QuoteId(it->first)).c_str(), nullptr, nullptr,
                   nullptr);
    ++it;
  }
  for (SessionState* s : slots_) {
    if (!s) continue;
    for (auto it = s->temp_tables.begin(); it != s->temp_tables.end();) {
      if (!exists.count(it->second->physical))
        it = s->temp_tables.erase(it);
      else
        ++it;
    }
    s->sysobjects_ready = false;
  }
}

}  // namespace corva::tsql
