// The SQLite side of the engine: DatabaseImpl (one per database file per process, with the
// catalog, the handle pool, the write lock that serializes writing transactions and the state the
// process cache keeps of it), HandleImpl (one connection with its prepared statements, its cache of
// parsed batches, its pool of temp tables and the phase of its transaction), and Prepared (a
// statement prepared once and reset for each use).
#ifndef CORVA_TSQL_DATABASE_IMPL_H_
#define CORVA_TSQL_DATABASE_IMPL_H_

#include <sqlite3.h>

#include <atomic>
#include <chrono>
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

// The name of the file layer that maps a whole database file (mapped_vfs.cpp), or nullptr when
// SQLite's own layer cannot be wrapped: then SQLite's default layer is used.
const char* MappedVfs();

class Prepared {
 public:
  Prepared(sqlite3_stmt* stmt, bool writes) : stmt_(stmt), writes_(writes) {}
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  // True when the statement changes the database file (main), not only temp tables.
  bool writes() const { return writes_; }

 private:
  sqlite3_stmt* stmt_;
  bool writes_;
};

// A parsed batch kept for reuse. The structural literal values are those it was parsed and
// translated with; a batch with other values there gets its own entry.
struct CompiledBatch {
  ParseResult parse;
  std::vector<std::pair<int, Value>> structural;
  size_t literal_count = 0;  // literals and "?" markers the parse refers to by index

  // What running it takes, worked out once from its statements (session.cpp).
  enum class Access : uint8_t { kNone, kRead, kWrite };
  Access access = Access::kWrite;
};

// A parsed procedure or trigger body.
struct CompiledRoutine {
  ParseResult parse;
  std::vector<Value> literals;
  std::string text;  // the stored text it was parsed from
};

class DatabaseImpl;
class SessionState;

// Throws corva::Error for SQLite result `rc` of `db`, mapping engine and constraint errors to
// SQL Server's numbers; `verb` names the statement in a refused Null's message.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, const char* verb = "INSERT");

// A handle's part in a host transaction goes through phases: outside one it runs each statement
// by itself (kAutocommit); inside one it first only reads (kReading: one deferred SQLite
// transaction, begun by the first batch that reads, holds the snapshot, and no write lock is
// taken), and from the first batch that writes the database on it holds the database's write lock
// and an immediate SQLite transaction (kWriting) until the host transaction ends. See
// docs/database-layer.md, "Transactions".
class HandleImpl : public Handle {
 public:
  HandleImpl(DatabaseImpl* database, const std::string& uri);
  ~HandleImpl() override;

  void Begin(Isolation isolation) override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override { return phase_ != Phase::kAutocommit; }

  // Before a batch of the given access runs: a read in a transaction opens the read snapshot, a
  // write takes the write lock and an immediate transaction (ending the read snapshot first).
  void BeforeBatch(CompiledBatch::Access access);
  // Before a statement that writes the database runs (Prepared::writes): takes the write lock when
  // the transaction is still reading. Cheap when there is nothing to do.
  void BeforeWrite() {
    if (phase_ == Phase::kReading) UpgradeInPlace();
  }

  sqlite3* db() const { return db_; }
  DatabaseImpl& database() const { return *database_; }
  Catalog& catalog() const;
  // The statement prepared once for this handle; a statement that writes the database takes the
  // write lock first (BeforeWrite), as it is about to run.
  std::shared_ptr<Prepared> Prepare(const std::string& sql);
  // Runs SQL without results (DDL and bookkeeping); throws on failure. Statements that write the
  // database take the write lock first.
  void Exec(const std::string& sql);
  // Notices schema changes made by other connections (SQLite's schema cookie).
  void RefreshCatalog();

  int AcquireSlot(SessionState* session);
  void ReleaseSlot(int slot);
  SessionState* current = nullptr;  // the session running a batch on this handle
  FunctionContext functions;

  std::shared_ptr<CompiledBatch> FindBatch(const std::string& key, const std::vector<Value>& lits);
  void AddBatch(const std::string& key, std::shared_ptr<CompiledBatch> batch);

  // Batches without parameters by their exact text, with their literal values: a batch sent
  // again as it was (the isolation level, a setting, the same document's statement) is neither
  // lexed nor looked up by key. The entry is shared, so a running batch keeps it alive.
  struct KnownText {
    std::shared_ptr<CompiledBatch> compiled;
    std::vector<Value> literals;
  };
  std::shared_ptr<const KnownText> FindText(std::string_view text) const;
  void AddText(std::string_view text, std::shared_ptr<const KnownText> known);
  std::shared_ptr<CompiledRoutine> Routine(const std::string& text);

  // Temp tables kept emptied for reuse: creating a table whose definition matches one kept
  // under the same name revives it instead of changing the temp schema (which would make every
  // prepared statement on the handle re-prepare).
  // Returns true when a kept table was revived.
  bool ReviveTemp(const std::string& physical, uint64_t definition);
  // `body` (the column definitions of a table just created) lets a rollback that undid the
  // creation make the table again outside the transaction.
  void KeepTemp(const std::string& physical, uint64_t definition, bool empty_it = true,
                const std::string& body = std::string());
  void ForgetTemp(const std::string& physical);
  void RecordTempIndex(const std::string& physical);

 private:
  enum class Phase { kAutocommit, kReading, kWriting };
  enum class TransactionStatement { kBegin, kBeginImmediate, kCommit, kRollback };

  void AfterRollback();
  // Runs a statement of the transaction itself, prepared once per handle; a failing ROLLBACK
  // is not an error (SQLite may have rolled back already).
  void Control(TransactionStatement which);
  // A write found while reading, past the batch's own analysis: the write lock, then SQLite's own
  // upgrade of the read transaction.
  void UpgradeInPlace();
  // The authorizer that marks statements writing a database other than temp while preparing.
  static int Authorize(void* handle, int action, const char* a1, const char* a2, const char* db,
                       const char* trigger);

  DatabaseImpl* database_;
  sqlite3* db_ = nullptr;
  Phase phase_ = Phase::kAutocommit;
  Isolation isolation_ = Isolation::kSerialized;
  bool read_open_ = false;          // kReading: the deferred SQLite transaction is begun
  bool prepared_writes_ = false;    // set by Authorize while preparing
  bool catalog_checked_ = false;    // the transaction's snapshot has had its schema cookie checked
  uint64_t routines_at_begin_ = 0;  // the catalog's routine generation when the transaction began
  std::unordered_map<std::string, std::shared_ptr<Prepared>> statements_;
  std::unique_ptr<Prepared> schema_version_;
  std::unique_ptr<Prepared> control_[4];
  std::unordered_map<std::string, std::vector<std::shared_ptr<CompiledBatch>>> batches_;
  std::unordered_map<std::string_view, std::shared_ptr<const KnownText>> texts_;
  std::list<std::string> text_keys_;  // the texts themselves, which texts_ views
  std::unordered_map<std::string, std::shared_ptr<CompiledRoutine>> routines_;
  // The last routines asked for, by the address of the text the catalog holds (see Routine).
  std::vector<std::pair<const char*, std::shared_ptr<CompiledRoutine>>> routines_by_address_;
  void RememberRoutineAddress(const std::string& text, std::shared_ptr<CompiledRoutine> routine);
  std::vector<SessionState*> slots_;
  struct KeptTable {
    uint64_t definition = 0;
    bool in_use = false;
    std::string body;
  };
  std::unordered_map<std::string, KeptTable> temp_pool_;
  std::list<std::string> dormant_;  // oldest first
};

class DatabaseImpl : public Database, public std::enable_shared_from_this<DatabaseImpl> {
 public:
  using Clock = std::chrono::steady_clock;

  DatabaseImpl(std::string path, std::string uri);
  ~DatabaseImpl() override;
  const std::string& Path() const override { return path_; }
  std::shared_ptr<Handle> AcquireHandle() override;

  Catalog catalog;
  // The process's write lock of this database, held from a transaction's first write to its end.
  // Waits at most the busy timeout, then error 1222.
  void LockWrites();
  void UnlockWrites();
  void Release(HandleImpl* handle);

  // For the process cache (database_cache.cpp).
  bool InUse() const { return handles_out_.load() > 0; }
  Clock::time_point LastUsed() const;
  // A commit left `pages` pages in the write-ahead log: large logs are folded into the file by the
  // cache's maintenance thread (or here, when the log has grown far beyond the threshold).
  void NoteLogSize(sqlite3* db, int pages);
  // The maintenance thread's visit: folds the log into the file when a commit asked for it, and
  // empties the log of a database that has rested a while since its last write, so that the file
  // alone is complete (a copy of it, or a file put in its place, never meets an old log).
  void Maintain(Clock::time_point now);
  // The file's identity when it was opened (device and inode), to notice a replaced file.
  uint64_t device = 0;
  uint64_t inode = 0;

 private:
  std::string path_;
  std::string uri_;
  sqlite3* keeper_ = nullptr;  // keeps an in-memory database alive; runs checkpoints
  std::mutex keeper_mu_;
  std::mutex mu_;
  std::vector<std::unique_ptr<HandleImpl>> free_;
  std::atomic<int> handles_out_{0};
  std::atomic<int64_t> last_used_{0};  // Clock ticks of the last release
  std::atomic<bool> checkpoint_asked_{false};
  std::atomic<bool> log_written_{false};  // commits since the log was last emptied
  std::mutex write_mu_;
  std::condition_variable write_cv_;
  bool writing_ = false;
};

// The process cache of open databases (database_cache.cpp): asks its maintenance thread to look
// at the databases now (a checkpoint was asked for, or the cache grew past its bound).
void WakeDatabaseMaintenance();

}  // namespace corva::tsql

#endif  // CORVA_TSQL_DATABASE_IMPL_H_
