// Databases, handles and the handle pool: a handle's SQLite connection and settings (WAL, busy
// timeout, memory map), its caches of prepared statements, parsed batches and routines, its pool of
// temp tables; a database's write lock and its log checkpoints. Finding and keeping databases open
// is database_cache.cpp; the phases of a handle's transaction are handle_transaction.cpp.
#include <atomic>

#include "corva/error.h"
#include "tsql/database_impl.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

constexpr int kBusyTimeoutMs = 30000;
constexpr size_t kMaxBatches = 2000;
constexpr size_t kMaxKnownTexts = 1000;
constexpr size_t kMaxKnownTextBytes = 16384;
constexpr size_t kMaxStatements = 4000;
constexpr size_t kMaxDormantTemps = 64;
constexpr size_t kMaxFreeHandles = 8;
// The most of a file a handle maps into memory: all of any factory (mapped_vfs.cpp maps past the
// 2 GiB ceiling SQLite's own file layer has in this build).
constexpr int64_t kMapBytes = int64_t{1} << 40;
// A commit that leaves this many pages (4 KiB each) in the write-ahead log asks the maintenance
// thread for a checkpoint; at eight times as many the committing handle folds the log itself.
constexpr int kCheckpointPages = 1000;
constexpr int kInlineCheckpointPages = 8 * kCheckpointPages;
// A database unused this long after a write has its log emptied into the file.
constexpr auto kEmptyRestingLog = std::chrono::seconds(1);

// The plan observer: the flag spares every prepare the lock while nobody observes.
std::atomic<bool> g_plan_observed{false};
std::mutex g_plan_mu;
std::shared_ptr<PlanObserver> g_plan_observer;

void ReportPlan(sqlite3* db, const std::string& sql) {
  std::shared_ptr<PlanObserver> observer;
  {
    std::lock_guard<std::mutex> lock(g_plan_mu);
    observer = g_plan_observer;
  }
  if (!observer) return;
  std::vector<std::string> plan;
  sqlite3_stmt* st = nullptr;
  std::string explain = "EXPLAIN QUERY PLAN " + sql;
  if (sqlite3_prepare_v2(db, explain.c_str(), -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* detail = sqlite3_column_text(st, 3);
      plan.emplace_back(detail ? reinterpret_cast<const char*>(detail) : "");
    }
  }
  sqlite3_finalize(st);
  (*observer)(sql, plan);
}

// "temp."#t$0"" or "#t$0" as the name the batch used.
std::string LogicalName(std::string name) {
  size_t dot = name.find('.');
  if (dot != std::string::npos &&
      (name.compare(0, dot, "temp") == 0 || name.compare(0, dot, "main") == 0))
    name = name.substr(dot + 1);
  size_t dollar = name.find('$');
  if (dollar != std::string::npos && dollar > 0) name.resize(dollar);
  return name;
}

}  // namespace

void ThrowSqlite(sqlite3* db, int rc, const char* verb) {
  std::string msg = sqlite3_errmsg(db);
  int number;
  std::string text;
  if (DecodeError(msg, &number, &text)) ThrowSql(number, text);
  int ext = sqlite3_extended_errcode(db);
  auto after = [&](const char* prefix) {
    size_t at = msg.find(prefix);
    return at == std::string::npos ? msg : msg.substr(at + std::string(prefix).size());
  };
  switch (ext) {
    case SQLITE_CONSTRAINT_NOTNULL: {
      std::string col = after("NOT NULL constraint failed: ");
      size_t dot = col.rfind('.');
      std::string table = dot == std::string::npos ? "" : LogicalName(col.substr(0, dot));
      if (dot != std::string::npos) col = col.substr(dot + 1);
      ThrowSql(515, "Cannot insert the value NULL into column '" + col + "', table '" + table +
                        "'; column does not allow nulls. " + verb + " fails.");
    }
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE: {
      std::string cols = after("constraint failed: ");
      size_t dot = cols.find('.');
      std::string table = dot == std::string::npos ? "" : LogicalName(cols.substr(0, dot));
      if (ext == SQLITE_CONSTRAINT_PRIMARYKEY)
        ThrowSql(2627, "Violation of PRIMARY KEY constraint 'PK_" + table +
                           "'. Cannot insert duplicate key in object 'dbo." + table + "'.");
      ThrowSql(2601, "Cannot insert duplicate key row in object 'dbo." + table +
                         "' with unique index 'IX_" + table + "'.");
    }
    default:
      break;
  }
  if (ext == SQLITE_BUSY_SNAPSHOT) {
    // A transaction that read, then wrote within a batch that did not announce the write, while
    // another transaction had committed in between: its reads are stale.
    ThrowSql(1205,
             "Transaction was deadlocked on lock resources with another process and has been "
             "chosen as the deadlock victim. Rerun the transaction.");
  }
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
    ThrowSql(1222, "Lock request time out period exceeded.");
  ThrowSql(8180, "Statement could not be executed: " + msg);
}

std::string SqliteVersion() { return sqlite3_libversion(); }

void SetPlanObserver(PlanObserver observer) {
  std::lock_guard<std::mutex> lock(g_plan_mu);
  g_plan_observer = observer ? std::make_shared<PlanObserver>(std::move(observer)) : nullptr;
  g_plan_observed.store(g_plan_observer != nullptr);
}

// Handle --------------------------------------------------------------------------------------

HandleImpl::HandleImpl(DatabaseImpl* database, const std::string& uri) : database_(database) {
  int rc = sqlite3_open_v2(
      uri.c_str(), &db_,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
      MappedVfs());
  if (rc != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    ThrowSql(4060, "Cannot open database \"" + database->Path() + "\": " + msg);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_exec(db_, "PRAGMA temp_store=MEMORY; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
               nullptr);
  // Pages are read from a memory map of the file instead of one read() each: a read costs the
  // same whether the factory is small or large (its pages sit in the operating system's cache
  // either way), where SQLite's own page cache of a few MiB would miss more as the file grows.
  sqlite3_exec(db_, ("PRAGMA mmap_size=" + std::to_string(kMapBytes)).c_str(), nullptr, nullptr,
               nullptr);
  // Commits report the log's size instead of checkpointing in the committing call.
  sqlite3_wal_hook(
      db_,
      [](void* database, sqlite3* db, const char*, int pages) {
        static_cast<DatabaseImpl*>(database)->NoteLogSize(db, pages);
        return SQLITE_OK;
      },
      database_);
  sqlite3_set_authorizer(db_, &HandleImpl::Authorize, this);
  functions.object_id = [this](std::string_view name) -> int64_t {
    return current ? current->ObjectId(name) : 0;
  };
  RegisterFunctions(db_, &functions);
}

HandleImpl::~HandleImpl() {
  texts_.clear();
  batches_.clear();
  routines_by_address_.clear();
  routines_.clear();
  statements_.clear();
  schema_version_.reset();
  for (auto& statement : control_) statement.reset();
  if (db_) sqlite3_close_v2(db_);
}

Catalog& HandleImpl::catalog() const { return database_->catalog; }

void HandleImpl::Exec(const std::string& sql) {
  if (sql.find(';') == std::string::npos) {
    // One statement: prepared once and kept, as the emptying of kept temp tables repeats.
    sqlite3_stmt* st = Prepare(sql)->get();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) ThrowSqlite(db_, rc);
    return;
  }
  const char* rest = sql.c_str();
  while (*rest) {
    sqlite3_stmt* st = nullptr;
    prepared_writes_ = false;
    int rc = sqlite3_prepare_v2(db_, rest, -1, &st, &rest);
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
    if (st == nullptr) continue;  // blanks or a comment
    if (prepared_writes_) BeforeWrite();
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) ThrowSqlite(db_, rc);
  }
}

void HandleImpl::RefreshCatalog() {
  // Within a transaction the snapshot, and so the schema, holds still once checked; changes this
  // process makes itself invalidate the shared catalog directly.
  if (catalog_checked_) return;
  catalog_checked_ = phase_ != Phase::kAutocommit;
  if (!schema_version_) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db_, "PRAGMA main.schema_version", -1, SQLITE_PREPARE_PERSISTENT, &st,
                           nullptr) != SQLITE_OK)
      return;
    schema_version_ = std::make_unique<Prepared>(st, false);
  }
  sqlite3_stmt* st = schema_version_->get();
  int64_t version = -1;
  if (sqlite3_step(st) == SQLITE_ROW) version = sqlite3_column_int64(st, 0);
  sqlite3_reset(st);
  database_->catalog.Refresh(version);
}

std::shared_ptr<Prepared> HandleImpl::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) {
    if (it->second->writes()) BeforeWrite();
    return it->second;
  }
  if (statements_.size() >= kMaxStatements) statements_.clear();
  sqlite3_stmt* st = nullptr;
  prepared_writes_ = false;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &st, nullptr);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
  auto p = std::make_shared<Prepared>(st, prepared_writes_);
  statements_.emplace(sql, p);
  if (g_plan_observed.load(std::memory_order_relaxed)) ReportPlan(db_, sql);
  if (p->writes()) BeforeWrite();
  return p;
}

int HandleImpl::AcquireSlot(SessionState* session) {
  for (size_t i = 0; i < slots_.size(); ++i)
    if (!slots_[i]) {
      slots_[i] = session;
      return static_cast<int>(i);
    }
  slots_.push_back(session);
  return static_cast<int>(slots_.size() - 1);
}

void HandleImpl::ReleaseSlot(int slot) {
  if (slot >= 0 && static_cast<size_t>(slot) < slots_.size()) slots_[slot] = nullptr;
}

std::shared_ptr<CompiledBatch> HandleImpl::FindBatch(const std::string& key,
                                                     const std::vector<Value>& lits) {
  auto it = batches_.find(key);
  if (it == batches_.end()) return nullptr;
  for (const auto& b : it->second) {
    // An entry whose literals differ in number was parsed from other text: its parse would index
    // past this batch's literals.
    bool match = b->literal_count == lits.size();
    for (const auto& [index, value] : b->structural) {
      const Value& v = lits[index];
      if (v.kind != value.kind || v.i != value.i || v.d != value.d || v.s != value.s) {
        match = false;
        break;
      }
    }
    if (match) return b;
  }
  return nullptr;
}

void HandleImpl::AddBatch(const std::string& key, std::shared_ptr<CompiledBatch> batch) {
  if (batches_.size() >= kMaxBatches) batches_.clear();
  auto& list = batches_[key];
  if (list.size() >= 16) list.erase(list.begin());
  list.push_back(std::move(batch));
}

std::shared_ptr<const HandleImpl::KnownText> HandleImpl::FindText(std::string_view text) const {
  auto it = texts_.find(text);
  return it == texts_.end() ? nullptr : it->second;
}

void HandleImpl::AddText(std::string_view text, std::shared_ptr<const KnownText> known) {
  if (text.size() > kMaxKnownTextBytes) return;
  if (texts_.size() >= kMaxKnownTexts) {
    texts_.clear();
    text_keys_.clear();
  }
  const std::string& kept = text_keys_.emplace_back(text);
  texts_.emplace(kept, std::move(known));
}

std::shared_ptr<CompiledRoutine> HandleImpl::Routine(const std::string& text) {
  // The catalog hands out the same text object until it reloads, so the text's address finds
  // the parse without hashing a procedure of several KiB on every EXEC; comparing the texts
  // proves the address was not reused by another text since.
  for (const auto& [address, routine] : routines_by_address_) {
    if (address == text.data() && routine->text == text) return routine;
  }
  auto it = routines_.find(text);
  if (it != routines_.end()) {
    RememberRoutineAddress(text, it->second);
    return it->second;
  }
  auto r = std::make_shared<CompiledRoutine>();
  LexedBatch lexed = Lex(text);
  r->parse = ParseRoutine(lexed, text);
  r->literals = std::move(lexed.literals);
  r->text = text;
  if (routines_.size() > 256) {
    routines_.clear();
    routines_by_address_.clear();
  }
  routines_.emplace(text, r);
  RememberRoutineAddress(text, r);
  return r;
}

void HandleImpl::RememberRoutineAddress(const std::string& text,
                                        std::shared_ptr<CompiledRoutine> routine) {
  constexpr size_t kAddresses = 8;
  if (routines_by_address_.size() >= kAddresses)
    routines_by_address_.erase(routines_by_address_.begin());
  routines_by_address_.emplace_back(text.data(), std::move(routine));
}

bool HandleImpl::ReviveTemp(const std::string& physical, uint64_t definition) {
  auto it = temp_pool_.find(physical);
  if (it == temp_pool_.end() || it->second.in_use || it->second.definition != definition)
    return false;
  it->second.in_use = true;
  dormant_.remove(physical);
  return true;
}

void HandleImpl::KeepTemp(const std::string& physical, uint64_t definition, bool empty_it,
                          const std::string& body) {
  auto it = temp_pool_.find(physical);
  if (!empty_it) {
    temp_pool_[physical] = KeptTable{definition, true, body};
    return;
  }
  if (it == temp_pool_.end()) return;
  Exec("DELETE FROM temp." + QuoteId(physical));
  it->second.in_use = false;
  dormant_.push_back(physical);
  while (dormant_.size() > kMaxDormantTemps) {
    std::string oldest = dormant_.front();
    dormant_.pop_front();
    temp_pool_.erase(oldest);
    sqlite3_exec(db_, ("DROP TABLE IF EXISTS temp." + QuoteId(oldest)).c_str(), nullptr, nullptr,
                 nullptr);
  }
}

void HandleImpl::ForgetTemp(const std::string& physical) {
  temp_pool_.erase(physical);
  dormant_.remove(physical);
}

void HandleImpl::RecordTempIndex(const std::string&) {}

// Database ------------------------------------------------------------------------------------

DatabaseImpl::DatabaseImpl(std::string path, std::string uri)
    : path_(std::move(path)), uri_(std::move(uri)) {
  int rc = sqlite3_open_v2(
      uri_.c_str(), &keeper_,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
      MappedVfs());
  if (rc != SQLITE_OK) {
    std::string msg = keeper_ ? sqlite3_errmsg(keeper_) : "out of memory";
    sqlite3_close(keeper_);
    keeper_ = nullptr;
    ThrowSql(4060, "Cannot open database \"" + path_ + "\": " + msg);
  }
  sqlite3_busy_timeout(keeper_, kBusyTimeoutMs);
  // SQLite reads the file only when first asked: a file that is not a database must say so here,
  // not later as tables that seem to be missing.
  rc = sqlite3_exec(keeper_, "SELECT count(*) FROM main.sqlite_master", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = sqlite3_errmsg(keeper_);
    sqlite3_close(keeper_);
    keeper_ = nullptr;
    ThrowSql(4060, "Cannot open database \"" + path_ + "\": " + msg);
  }
  if (path_ != ":memory:")
    sqlite3_exec(keeper_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  EnsureCatalogTable(keeper_);
  // From here on the keeper only runs checkpoints, which must never hold the maintenance up.
  sqlite3_busy_timeout(keeper_, 0);
  last_used_ = Clock::now().time_since_epoch().count();
}

DatabaseImpl::~DatabaseImpl() {
  free_.clear();
  // The last connection to close folds the log into the file and removes it.
  if (keeper_) sqlite3_close_v2(keeper_);
}

DatabaseImpl::Clock::time_point DatabaseImpl::LastUsed() const {
  return Clock::time_point(Clock::duration(last_used_.load()));
}

void DatabaseImpl::NoteLogSize(sqlite3* db, int pages) {
  log_written_ = true;
  if (pages < kCheckpointPages) return;
  if (pages >= kInlineCheckpointPages) {
    // The maintenance thread has not kept up (long readers, or a burst of writes): fold what
    // can be folded now, in the committing call, as SQLite would by itself.
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return;
  }
  if (!checkpoint_asked_.exchange(true)) WakeDatabaseMaintenance();
}

void DatabaseImpl::Maintain(Clock::time_point now) {
  if (checkpoint_asked_.exchange(false)) {
    std::lock_guard<std::mutex> lock(keeper_mu_);
    // PASSIVE: copies what no reader still needs, never waits for readers or writers.
    sqlite3_wal_checkpoint_v2(keeper_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  }
  if (log_written_ && !InUse() && now - LastUsed() >= kEmptyRestingLog) {
    log_written_ = false;
    std::lock_guard<std::mutex> lock(keeper_mu_);
    // TRUNCATE leaves an empty log; it gives up at once (the keeper does not wait) when a reader
    // of another process still needs the log, and is tried again at the next visit.
    if (sqlite3_wal_checkpoint_v2(keeper_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) !=
        SQLITE_OK)
      log_written_ = true;
  }
}

void DatabaseImpl::LockWrites() {
  std::unique_lock<std::mutex> lock(write_mu_);
  if (!write_cv_.wait_for(lock, std::chrono::milliseconds(kBusyTimeoutMs),
                          [this] { return !writing_; }))
    ThrowSql(1222, "Lock request time out period exceeded.");
  writing_ = true;
}

void DatabaseImpl::UnlockWrites() {
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    writing_ = false;
  }
  write_cv_.notify_one();
}

std::shared_ptr<Handle> DatabaseImpl::AcquireHandle() {
  std::unique_ptr<HandleImpl> h;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!free_.empty()) {
      h = std::move(free_.back());
      free_.pop_back();
    }
  }
  if (!h) h = std::make_unique<HandleImpl>(this, uri_);
  ++handles_out_;
  std::shared_ptr<DatabaseImpl> self = shared_from_this();
  HandleImpl* raw = h.release();
  return std::shared_ptr<Handle>(raw,
                                 [self](Handle* p) { self->Release(static_cast<HandleImpl*>(p)); });
}

void DatabaseImpl::Release(HandleImpl* handle) {
  std::unique_ptr<HandleImpl> owned(handle);
  if (handle->InTransaction()) handle->Rollback();
  handle->current = nullptr;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (free_.size() < kMaxFreeHandles) free_.push_back(std::move(owned));
  }
  last_used_ = Clock::now().time_since_epoch().count();
  --handles_out_;
}

}  // namespace corva::tsql
