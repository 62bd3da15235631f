// The embedded engine's entry points: a Database (one SQLite file, or the process's in-memory
// database), Handles (SQLite connections to it, each with at most one transaction), and Sessions
// (one logical connection of the database layer: its own "#" tables and @@ values) that run batches
// in the SQL Server dialect.
#ifndef CORVA_TSQL_ENGINE_H_
#define CORVA_TSQL_ENGINE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "corva/variant.h"

namespace corva::tsql {

struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

struct BatchResult {
  std::vector<ResultSet> result_sets;  // in the order the batch produced them
  int64_t rows_affected = -1;          // rows the batch's DML changed in all (-1 when no DML ran)
};

class Handle;

// Thread-safe; shared by every handle on the same file in the process.
class Database {
 public:
  // The database at `path` (":memory:" = the one in-memory database of this process). A path that
  // does not exist yet becomes a new, empty database, unless `must_exist`: then it is error 4060
  // naming the path and nothing is created. Paths naming the same file give the same
  // object while it is open: the process keeps databases open (a bounded number, each closed
  // after a minute unused and at exit), so that opening one again costs one stat() of the file.
  // A file removed or replaced since is opened afresh; users of the old object keep it.
  static std::shared_ptr<Database> Open(const std::string& path, bool must_exist = false);
  virtual ~Database() = default;
  virtual const std::string& Path() const = 0;
  // A handle from the database's pool (statements it prepared before are kept with it).
  virtual std::shared_ptr<Handle> AcquireHandle() = 0;
};

// One SQLite connection. Used by one thread at a time.
class Handle {
 public:
  virtual ~Handle() = default;
  // How a transaction meets the others. Both are serializable for what they write; they differ in
  // who waits and who may be asked to start again.
  enum class Isolation {
    // Takes the database's write lock at its first batch (reading or writing) and holds it to the
    // end: transactions of this kind run one after another, never fail for each other, and what
    // they read before they write cannot go stale. For host transactions, whose code the
    // library cannot run again.
    kSerialized,
    // Reads without locking anybody out (one snapshot from its first read) and takes the write
    // lock at its first write, keeping its snapshot; when another transaction committed since that
    // snapshot was taken, the write fails with 1205 (its reads are stale) and the transaction must
    // run again. For the implicit transaction of one call, which the component service re-runs.
    kOptimistic,
  };
  // Starts a transaction. Writers are serialized with every other writing transaction of the
  // database, across handles, threads and processes (a second writer waits, up to 30 s, then error
  // 1222), never deadlocking.
  virtual void Begin(Isolation isolation) = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
};

// One logical connection. Its "#" tables are invisible to other sessions, even on the same handle,
// and are dropped when it is destroyed.
class Session {
 public:
  explicit Session(std::shared_ptr<Handle> handle);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs one batch. `params` fill the batch's "?" markers in order. A run-time error stops the
  // batch and throws corva::Error with SQL Server's number (208, 207, 8134, 245, 2714, 3701, ...);
  // a syntax error throws number 102 with its line and column set. What ran before stays (the
  // transaction decides).
  BatchResult Execute(std::string_view batch, const std::vector<Variant>& params = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The absolute, normalized form of a database path (":memory:" unchanged), remembered for absolute
// paths so that asking again costs no system call.
std::string CanonicalPath(const std::string& path);

// Closes every database the process keeps open that no handle uses now; the next connection
// opens it again. A closed database's log is folded into its file, so the file alone is complete.
void CloseIdleDatabases();

// Version text of the engine for provider facts, e.g. "3.40.1".
std::string SqliteVersion();

// Sees SQLite's query plan (the detail lines of EXPLAIN QUERY PLAN, in order) of every statement
// the engine prepares for a batch, with the statement's SQLite text; each distinct statement is
// seen once per engine handle, when the handle first prepares it. For tests that prove the rules'
// statements use indexes; it makes preparing slower. Process-wide; nullptr switches it off.
using PlanObserver =
    std::function<void(const std::string& sql, const std::vector<std::string>& plan)>;
void SetPlanObserver(PlanObserver observer);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_ENGINE_H_
