// The embedded backend: a tsql::Session per connection, on a handle of its own or on the handle its
// transaction shares, and the provider facts the engine reports about itself.
#include "db/embedded/embedded_backend.h"

#include <utility>

#include "db/connection_string.h"
#include "db/errors.h"
#include "db/transaction.h"
#include "tsql/engine.h"

namespace corva::db {
namespace {

// Bits of the function lists a provider reports ("Numeric Functions", ...), with the values ODBC
// gives them; each names the scalar function of the dialect the engine runs for it.
constexpr int32_t kFnNumAbs = 0x00000001;           // ABS
constexpr int32_t kFnNumCeiling = 0x00000020;       // CEILING
constexpr int32_t kFnNumFloor = 0x00000200;         // FLOOR
constexpr int32_t kFnNumRound = 0x00400000;         // ROUND
constexpr int32_t kFnStrConcat = 0x00000001;        // "+" on text
constexpr int32_t kFnStrLeft = 0x00000004;          // LEFT
constexpr int32_t kFnStrLtrim = 0x00000008;         // LTRIM
constexpr int32_t kFnStrLength = 0x00000010;        // LEN
constexpr int32_t kFnStrLocate = 0x00000020;        // CHARINDEX(find, text)
constexpr int32_t kFnStrLcase = 0x00000040;         // LOWER
constexpr int32_t kFnStrReplace = 0x00000100;       // REPLACE
constexpr int32_t kFnStrRight = 0x00000200;         // RIGHT
constexpr int32_t kFnStrRtrim = 0x00000400;         // RTRIM
constexpr int32_t kFnStrSubstring = 0x00000800;     // SUBSTRING
constexpr int32_t kFnStrUcase = 0x00001000;         // UPPER
constexpr int32_t kFnStrLocate2 = 0x00010000;       // CHARINDEX(find, text, start)
constexpr int32_t kFnSysIfNull = 0x00000004;        // ISNULL
constexpr int32_t kFnTdNow = 0x00000001;            // GETDATE
constexpr int32_t kFnTdDayOfMonth = 0x00000004;     // DAY
constexpr int32_t kFnTdMonth = 0x00000020;          // MONTH
constexpr int32_t kFnTdYear = 0x00000100;           // YEAR
constexpr int32_t kFnTdTimestampAdd = 0x00002000;   // DATEADD
constexpr int32_t kFnTdTimestampDiff = 0x00004000;  // DATEDIFF

// "Multiple Results": a batch may return several result sets, read one after the other
// (supported, not concurrent).
constexpr int32_t kMultipleResultsSupported = 1;

Variant ProviderFact(const std::string& name) {
  if (EqualsNoCase(name, "DBMS Name")) return Variant("Corva SQL");
  if (EqualsNoCase(name, "DBMS Version")) return Variant(tsql::SqliteVersion());
  if (EqualsNoCase(name, "Provider Name")) return Variant("SQLite");
  if (EqualsNoCase(name, "Multiple Results")) return Variant(kMultipleResultsSupported);
  if (EqualsNoCase(name, "Like Escape Clause")) return Variant("Y");
  if (EqualsNoCase(name, "Integrity Enhancement Facility")) return Variant(true);
  if (EqualsNoCase(name, "Numeric Functions")) {
    return Variant(kFnNumAbs | kFnNumCeiling | kFnNumFloor | kFnNumRound);
  }
  if (EqualsNoCase(name, "String Functions")) {
    return Variant(kFnStrConcat | kFnStrLeft | kFnStrLtrim | kFnStrLength | kFnStrLocate |
                   kFnStrLcase | kFnStrReplace | kFnStrRight | kFnStrRtrim | kFnStrSubstring |
                   kFnStrUcase | kFnStrLocate2);
  }
  if (EqualsNoCase(name, "System Functions")) return Variant(kFnSysIfNull);
  if (EqualsNoCase(name, "Time/Date Functions")) {
    return Variant(kFnTdNow | kFnTdDayOfMonth | kFnTdMonth | kFnTdYear | kFnTdTimestampAdd |
                   kFnTdTimestampDiff);
  }
  return Variant();
}

// The engine handle of one database inside a host transaction: begun when the transaction's first
// connection to the database opened, committed or rolled back when the transaction ends.
// The engine's answer to an optimistic transaction whose reads another transaction made stale
// before it wrote (SQL Server's number for a deadlock victim: "Rerun the transaction").
constexpr int32_t kErrStaleReads = 1205;

class HandleEnlistment : public corva::db::TransactionResource {
 public:
  HandleEnlistment(std::shared_ptr<tsql::Database> database, std::shared_ptr<tsql::Handle> handle)
      : database_(std::move(database)), handle_(std::move(handle)) {}
  void Commit() override { handle_->Commit(); }
  void Rollback() override {
    if (handle_->InTransaction()) handle_->Rollback();
  }
  const std::shared_ptr<tsql::Database>& database() const { return database_; }
  const std::shared_ptr<tsql::Handle>& handle() const { return handle_; }

 private:
  std::shared_ptr<tsql::Database> database_;
  std::shared_ptr<tsql::Handle> handle_;
};

class EmbeddedBackend : public Backend {
 public:
  EmbeddedBackend(std::shared_ptr<tsql::Database> database, std::shared_ptr<tsql::Handle> handle)
      : database_(std::move(database)),
        handle_(std::move(handle)),
        session_(std::make_unique<tsql::Session>(handle_)) {}
  ~EmbeddedBackend() override { Close(); }

  BatchOutput Execute(std::string_view batch, const std::vector<Param>& params) override {
    if (!session_) throw DataAccessError(kErrObjectClosed);
    std::vector<Variant> values;
    values.reserve(params.size());
    for (const Param& p : params) values.push_back(p.value);
    tsql::BatchResult result;
    try {
      result = session_->Execute(batch, values);
    } catch (const Error& error) {
      if (error.Number() == kErrStaleReads) {
        if (corva::db::Transaction* transaction = corva::db::CurrentTransaction())
          transaction->MarkConflict();
      }
      throw;
    }
    BatchOutput output;
    output.rows_affected = result.rows_affected;
    output.result_sets.reserve(result.result_sets.size());
    for (tsql::ResultSet& set : result.result_sets) {
      output.result_sets.push_back(ResultTable{std::move(set.columns), std::move(set.rows)});
    }
    return output;
  }

  Variant Property(const std::string& name) const override {
    if (EqualsNoCase(name, "Data Source")) return Variant(database_->Path());
    return ProviderFact(name);
  }

  // The session goes first: dropping its "#" tables needs the handle.
  void Close() override {
    session_.reset();
    handle_.reset();
    database_.reset();
  }

 private:
  std::shared_ptr<tsql::Database> database_;
  std::shared_ptr<tsql::Handle> handle_;
  std::unique_ptr<tsql::Session> session_;
};

}  // namespace

std::string CanonicalDatabasePath(const std::string& path) { return tsql::CanonicalPath(path); }

std::unique_ptr<Backend> OpenEmbedded(const ConnectionString& connect) {
  std::string source = connect.Get("Data Source");
  if (source.empty()) {
    throw DbError(kErrCannotOpenDatabase,
                  "Cannot open the embedded database: the connection string names no Data Source.");
  }
  try {
    corva::db::Transaction* transaction = corva::db::CurrentTransaction();
    if (transaction != nullptr && transaction->Ended()) transaction = nullptr;
    // The transaction's resource is found by the canonical path, which the engine remembers, so
    // that the later connections of a call cost no system call at all.
    const std::string key = transaction ? "sqlite:" + tsql::CanonicalPath(source) : std::string();
    if (transaction) {
      if (auto joined = std::dynamic_pointer_cast<HandleEnlistment>(transaction->Find(key))) {
        return std::make_unique<EmbeddedBackend>(joined->database(), joined->handle());
      }
    }
    // Databases are created on purpose (corva init), never as a side effect of a mistyped path.
    std::shared_ptr<tsql::Database> database = tsql::Database::Open(source, /*must_exist=*/true);
    std::shared_ptr<tsql::Handle> handle = database->AcquireHandle();
    if (!transaction) return std::make_unique<EmbeddedBackend>(database, std::move(handle));
    handle->Begin(transaction->Retryable() ? tsql::Handle::Isolation::kOptimistic
                                           : tsql::Handle::Isolation::kSerialized);
    transaction->Enlist(key, std::make_shared<HandleEnlistment>(database, handle));
    return std::make_unique<EmbeddedBackend>(database, std::move(handle));
  } catch (const Error& error) {
    // The engine's own 4060 already names the database.
    if (error.Number() == kErrCannotOpenDatabase)
      throw DbError(error.Number(), error.Description());
    throw Error(kErrCannotOpenDatabase, error.Source().empty() ? kDbSource : error.Source(),
                "Cannot open database \"" + source + "\": " + error.Description());
  } catch (const std::exception& error) {
    throw DbError(kErrCannotOpenDatabase,
                  "Cannot open database \"" + source + "\": " + error.what());
  }
}

}  // namespace corva::db
