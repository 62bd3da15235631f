// Databases, handles and the handle pool. One DatabaseImpl per path per process (":memory:" is a
// process-wide database on SQLite's memdb VFS kept alive for the life of the process); file
// databases run in WAL mode with a busy timeout. Write transactions are serialized by a process
// lock held from Begin to Commit/Rollback, with BEGIN IMMEDIATE for other processes, so that two
// threads never deadlock on SQLite's locks.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>

#include "corva/error.h"
#include "tsql/database_impl.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

constexpr int kBusyTimeoutMs = 30000;
constexpr size_t kMaxBatches = 2000;
constexpr size_t kMaxStatements = 4000;
constexpr size_t kMaxDormantTemps = 64;

std::mutex g_registry_mu;
std::map<std::string, std::weak_ptr<DatabaseImpl>>& Registry() {
  static auto* r = new std::map<std::string, std::weak_ptr<DatabaseImpl>>();
  return *r;
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

void ThrowSqlite(sqlite3* db, int rc) {
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
                        "'; column does not allow nulls. INSERT fails.");
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
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
    ThrowSql(1222, "Lock request time out period exceeded.");
  ThrowSql(8180, "Statement could not be executed: " + msg);
}

std::string SqliteVersion() { return sqlite3_libversion(); }

// Handle --------------------------------------------------------------------------------------

HandleImpl::HandleImpl(DatabaseImpl* database, const std::string& uri) : database_(database) {
  int rc = sqlite3_open_v2(
      uri.c_str(), &db_,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    ThrowSql(4060, "Cannot open database \"" + database->Path() + "\": " + msg);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_exec(db_, "PRAGMA temp_store=MEMORY; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
               nullptr);
  functions.object_id = [this](std::string_view name) -> int64_t {
    return current ? current->ObjectId(name) : 0;
  };
  RegisterFunctions(db_, &functions);
}

HandleImpl::~HandleImpl() {
  batches_.clear();
  routines_.clear();
  statements_.clear();
  schema_version_.reset();
  if (db_) sqlite3_close_v2(db_);
}

Catalog& HandleImpl::catalog() const { return database_->catalog; }

void HandleImpl::Exec(const std::string& sql) {
  char* err = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
  sqlite3_free(err);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
}

void HandleImpl::RefreshCatalog() {
  if (!schema_version_) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db_, "PRAGMA main.schema_version", -1, SQLITE_PREPARE_PERSISTENT, &st,
                           nullptr) != SQLITE_OK)
      return;
    schema_version_ = std::make_unique<Prepared>(st);
  }
  sqlite3_stmt* st = schema_version_->get();
  int64_t version = -1;
  if (sqlite3_step(st) == SQLITE_ROW) version = sqlite3_column_int64(st, 0);
  sqlite3_reset(st);
  database_->catalog.Refresh(version);
}

std::shared_ptr<Prepared> HandleImpl::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second;
  if (statements_.size() >= kMaxStatements) statements_.clear();
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &st, nullptr);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
  auto p = std::make_shared<Prepared>(st);
  statements_.emplace(sql, p);
  return p;
}

void HandleImpl::Begin() {
  if (in_transaction_) return;
  database_->LockWrites();
  try {
    Exec("BEGIN IMMEDIATE");
  } catch (...) {
    database_->UnlockWrites();
    throw;
  }
  in_transaction_ = true;
}

void HandleImpl::Commit() {
  if (!in_transaction_) return;
  try {
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    in_transaction_ = false;
    database_->UnlockWrites();
    AfterRollback();
    throw;
  }
  in_transaction_ = false;
  database_->UnlockWrites();
}

void HandleImpl::Rollback() {
  if (!in_transaction_) return;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  in_transaction_ = false;
  database_->UnlockWrites();
  AfterRollback();
}

void HandleImpl::AfterRollback() {
  // The rollback undid temp tables created in the transaction and refilled emptied ones.
  std::unordered_map<std::string, bool> exists;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_, "SELECT name FROM temp.sqlite_master WHERE type = 'table'", -1, &st,
                     nullptr);
  while (st && sqlite3_step(st) == SQLITE_ROW)
    exists[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] = true;
  sqlite3_finalize(st);
  for (auto it = temp_pool_.begin(); it != temp_pool_.end();) {
    if (!exists.count(it->first)) {
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

std::shared_ptr<CompiledRoutine> HandleImpl::Routine(const std::string& text) {
  auto it = routines_.find(text);
  if (it != routines_.end()) return it->second;
  auto r = std::make_shared<CompiledRoutine>();
  LexedBatch lexed = Lex(text);
  r->parse = ParseRoutine(lexed, text);
  r->literals = std::move(lexed.literals);
  if (routines_.size() > 256) routines_.clear();
  routines_.emplace(text, r);
  return r;
}

bool HandleImpl::ReviveTemp(const std::string& physical, uint64_t definition) {
  auto it = temp_pool_.find(physical);
  if (it == temp_pool_.end() || it->second.in_use || it->second.definition != definition)
    return false;
  it->second.in_use = true;
  dormant_.remove(physical);
  return true;
}

void HandleImpl::KeepTemp(const std::string& physical, uint64_t definition, bool empty_it) {
  auto it = temp_pool_.find(physical);
  if (!empty_it) {
    temp_pool_[physical] = KeptTable{definition, true};
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
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
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
}

DatabaseImpl::~DatabaseImpl() {
  free_.clear();
  if (keeper_) sqlite3_close_v2(keeper_);
}

void DatabaseImpl::LockWrites() {
  std::unique_lock<std::mutex> lock(write_mu_);
  write_cv_.wait(lock, [this] { return !writing_; });
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
  std::shared_ptr<DatabaseImpl> self = shared_from_this();
  HandleImpl* raw = h.release();
  return std::shared_ptr<Handle>(raw,
                                 [self](Handle* p) { self->Release(static_cast<HandleImpl*>(p)); });
}

void DatabaseImpl::Release(HandleImpl* handle) {
  if (handle->InTransaction()) handle->Rollback();
  handle->current = nullptr;
  std::lock_guard<std::mutex> lock(mu_);
  free_.emplace_back(handle);
}

std::shared_ptr<Database> Database::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_registry_mu);
  auto& registry = Registry();
  // "db.sqlite" and "./db.sqlite" are one database: one write lock, one catalog.
  std::string key = path;
  if (path != ":memory:") {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
    if (!ec) key = canonical.string();
  }
  auto it = registry.find(key);
  if (it != registry.end())
    if (auto db = it->second.lock()) return db;
  std::string uri;
  if (path == ":memory:") {
    uri = "file:/corva-mem-" + std::to_string(getpid()) + "?vfs=memdb";
  } else {
    uri = "file:";
    for (char c : path) {
      if (c == '?' || c == '#' || c == '%') {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
        uri += buf;
      } else {
        uri += c;
      }
    }
  }
  auto db = std::make_shared<DatabaseImpl>(path, uri);
  registry[key] = db;
  if (path == ":memory:") {
    // The process's in-memory database lives as long as the process.
    static auto* keep = new std::vector<std::shared_ptr<DatabaseImpl>>();
    keep->push_back(db);
  }
  return db;
}

}  // namespace corva::tsql
