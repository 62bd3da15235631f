// The SQLite side of the engine: DatabaseImpl (one per path per process, with the catalog, the
// handle pool and the write lock that serializes transactions), HandleImpl (one connection with
// its prepared statements, its cache of parsed batches and its pool of temp tables), and Prepared
// (a statement prepared once and reset for each use).
#ifndef CORVA_TSQL_DATABASE_IMPL_H_
#define CORVA_TSQL_DATABASE_IMPL_H_

#include <sqlite3.h>

#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "tsql/catalog.h"
#include "tsql/engine.h"
#include "tsql/functions.h"
#include "tsql/parser.h"

namespace corva::tsql {

class Prepared {
 public:
  explicit Prepared(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_;
};

// A parsed batch kept for reuse. The structural literal values are those it was parsed and
// translated with; a batch with other values there gets its own entry.
struct CompiledBatch {
  ParseResult parse;
  std::vector<std::pair<int, Value>> structural;
  size_t literal_count = 0;  // literals and "?" markers the parse refers to by index
};

// A parsed procedure or trigger body.
struct CompiledRoutine {
  ParseResult parse;
  std::vector<Value> literals;
};

class DatabaseImpl;
class SessionState;

// Throws corva::Error for SQLite result `rc` of `db`, mapping engine and constraint errors to
// SQL Server's numbers.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc);

class HandleImpl : public Handle {
 public:
  HandleImpl(DatabaseImpl* database, const std::string& uri);
  ~HandleImpl() override;

  void Begin() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override { return in_transaction_; }

  sqlite3* db() const { return db_; }
  DatabaseImpl& database() const { return *database_; }
  Catalog& catalog() const;
  std::shared_ptr<Prepared> Prepare(const std::string& sql);
  // Runs SQL without results (DDL and bookkeeping); throws on failure.
  void Exec(const std::string& sql);
  // Notices schema changes made by other connections (SQLite's schema cookie).
  void RefreshCatalog();

  int AcquireSlot(SessionState* session);
  void ReleaseSlot(int slot);
  SessionState* current = nullptr;  // the session running a batch on this handle
  FunctionContext functions;

  std::shared_ptr<CompiledBatch> FindBatch(const std::string& key, const std::vector<Value>& lits);
  void AddBatch(const std::string& key, std::shared_ptr<CompiledBatch> batch);
  std::shared_ptr<CompiledRoutine> Routine(const std::string& text);

  // Temp tables kept emptied for reuse: creating a table whose definition matches one kept
  // under the same name revives it instead of changing the temp schema (which would make every
  // prepared statement on the handle re-prepare).
  // Returns true when a kept table was revived.
  bool ReviveTemp(const std::string& physical, uint64_t definition);
  void KeepTemp(const std::string& physical, uint64_t definition, bool empty_it = true);
  void ForgetTemp(const std::string& physical);
  void RecordTempIndex(const std::string& physical);

 private:
  void AfterRollback();

  DatabaseImpl* database_;
  sqlite3* db_ = nullptr;
  bool in_transaction_ = false;
  std::unordered_map<std::string, std::shared_ptr<Prepared>> statements_;
  std::unique_ptr<Prepared> schema_version_;
  std::unordered_map<std::string, std::vector<std::shared_ptr<CompiledBatch>>> batches_;
  std::unordered_map<std::string, std::shared_ptr<CompiledRoutine>> routines_;
  std::vector<SessionState*> slots_;
  struct KeptTable {
    uint64_t definition = 0;
    bool in_use = false;
  };
  std::unordered_map<std::string, KeptTable> temp_pool_;
  std::list<std::string> dormant_;  // oldest first
};

class DatabaseImpl : public Database, public std::enable_shared_from_this<DatabaseImpl> {
 public:
  DatabaseImpl(std::string path, std::string uri);
  ~DatabaseImpl() override;
  const std::string& Path() const override { return path_; }
  std::shared_ptr<Handle> AcquireHandle() override;

  Catalog catalog;
  void LockWrites();
  void UnlockWrites();
  void Release(HandleImpl* handle);

 private:
  std::string path_;
  std::string uri_;
  sqlite3* keeper_ = nullptr;  // keeps an in-memory database alive
  std::mutex mu_;
  std::vector<std::unique_ptr<HandleImpl>> free_;
  std::mutex write_mu_;
  std::condition_variable write_cv_;
  bool writing_ = false;
};

}  // namespace corva::tsql

#endif  // CORVA_TSQL_DATABASE_IMPL_H_
