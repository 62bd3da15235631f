// The work the engine benchmark measures, written twice: the schema and the rows of a small
// factory, and a 30-statement batch of the kind the rules send, once in the SQL Server dialect for
// the engine and once by hand in SQLite's dialect (variables held in C++) for SQLite itself.
#ifndef CORVA_BENCH_ENGINE_BENCH_WORK_H_
#define CORVA_BENCH_ENGINE_BENCH_WORK_H_

#include <sqlite3.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "corva/variant.h"

namespace corva::bench {

inline constexpr int kWorkBills = 500;
inline constexpr int kOpersPerBill = 6;
inline constexpr int kTaskDispPerOper = 2;

// --- Schema, in both dialects ---------------------------------------------------------------

inline const char* const kDialectSchema = R"(
CREATE TABLE WB (FInterID int NOT NULL PRIMARY KEY, FBillNo varchar(50), FQty decimal(28,10),
  FQtyFinish decimal(28,10), FStatus int, FCloseDate datetime NULL, FNote varchar(100) NULL)
CREATE TABLE WBEntry (FWBInterID int NOT NULL PRIMARY KEY, FInterID int NOT NULL, FEntryID int,
  FOperID int, FAuxQtyPlan decimal(28,10), FAuxQtyTaskDispSel decimal(28,10),
  FAuxQtyFinish decimal(28,10), FAuxQtyPass decimal(28,10), FAuxQtyScrap decimal(28,10),
  FStatus int, FStartDate datetime NULL, FEndDate datetime NULL)
CREATE INDEX ix_WBEntry_FInterID ON WBEntry (FInterID)
CREATE TABLE TDEntry (FTaskDispInterID int NOT NULL PRIMARY KEY, FWBInterID int NOT NULL,
  FAuxQty decimal(28,10), FAuxQtyFinish decimal(28,10), FAuxQtyPass decimal(28,10), FStatus int)
CREATE INDEX ix_TDEntry_FWBInterID ON TDEntry (FWBInterID)
CREATE TABLE Rpt (FID int NOT NULL PRIMARY KEY, FTaskDispInterID int, FWBInterID int,
  FAuxQtyFinish decimal(28,10), FAuxQtyPass decimal(28,10), FAuxQtyScrap decimal(28,10),
  FDate datetime)
CREATE INDEX ix_Rpt_FTaskDispInterID ON Rpt (FTaskDispInterID)
CREATE INDEX ix_Rpt_FWBInterID ON Rpt (FWBInterID)
CREATE TABLE WBLog (FInterID int, FIndex int, FWBInterID int, FQty decimal(28,10))
CREATE INDEX ix_WBLog_FInterID ON WBLog (FInterID)
)";

inline const char* const kSqliteSchema = R"(
CREATE TABLE WB (FInterID INTEGER NOT NULL PRIMARY KEY, FBillNo TEXT, FQty REAL,
  FQtyFinish REAL, FStatus INTEGER, FCloseDate TEXT, FNote TEXT);
CREATE TABLE WBEntry (FWBInterID INTEGER NOT NULL PRIMARY KEY, FInterID INTEGER NOT NULL,
  FEntryID INTEGER, FOperID INTEGER, FAuxQtyPlan REAL, FAuxQtyTaskDispSel REAL,
  FAuxQtyFinish REAL, FAuxQtyPass REAL, FAuxQtyScrap REAL, FStatus INTEGER, FStartDate TEXT,
  FEndDate TEXT);
CREATE INDEX ix_WBEntry_FInterID ON WBEntry (FInterID);
CREATE TABLE TDEntry (FTaskDispInterID INTEGER NOT NULL PRIMARY KEY, FWBInterID INTEGER NOT NULL,
  FAuxQty REAL, FAuxQtyFinish REAL, FAuxQtyPass REAL, FStatus INTEGER);
CREATE INDEX ix_TDEntry_FWBInterID ON TDEntry (FWBInterID);
CREATE TABLE Rpt (FID INTEGER NOT NULL PRIMARY KEY, FTaskDispInterID INTEGER, FWBInterID INTEGER,
  FAuxQtyFinish REAL, FAuxQtyPass REAL, FAuxQtyScrap REAL, FDate TEXT);
CREATE INDEX ix_Rpt_FTaskDispInterID ON Rpt (FTaskDispInterID);
CREATE INDEX ix_Rpt_FWBInterID ON Rpt (FWBInterID);
CREATE TABLE WBLog (FInterID INTEGER, FIndex INTEGER, FWBInterID INTEGER, FQty REAL);
CREATE INDEX ix_WBLog_FInterID ON WBLog (FInterID);
)";

// The rows both databases get: work bills of six operations, two dispatch entries per operation,
// one report per dispatch entry.
struct Row {
  const char* table;
  std::vector<corva::Variant> values;
};

inline std::vector<Row> SampleRows() {
  std::vector<Row> rows;
  for (int bill = 1; bill <= kWorkBills; ++bill) {
    rows.push_back({"WB", {bill, "WB" + std::to_string(bill), 100.0, 0.0, 1}});
    for (int oper = 1; oper <= kOpersPerBill; ++oper) {
      int wb = (bill - 1) * kOpersPerBill + oper;
      rows.push_back({"WBEntry", {wb, bill, oper, 10 * oper, 100.0, 0.0, 0.0, 0.0, 0.0, 1}});
      for (int k = 1; k <= kTaskDispPerOper; ++k) {
        int td = (wb - 1) * kTaskDispPerOper + k;
        rows.push_back({"TDEntry", {td, wb, 50.0, 0.0, 0.0, 1}});
        rows.push_back({"Rpt",
                        {td, td, wb, 48.0 + td % 3, 47.0 + td % 3, 1.0,
                         "2024-03-0" + std::to_string(1 + td % 9) + " 08:00:00.000"}});
      }
    }
  }
  return rows;
}

inline std::string InsertText(const Row& row) {
  if (std::string(row.table) == "WB") {
    return "INSERT INTO WB (FInterID, FBillNo, FQty, FQtyFinish, FStatus) VALUES (?, ?, ?, ?, ?)";
  }
  if (std::string(row.table) == "WBEntry") {
    return "INSERT INTO WBEntry (FWBInterID, FInterID, FEntryID, FOperID, FAuxQtyPlan, "
           "FAuxQtyTaskDispSel, FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap, FStatus) "
           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
  }
  if (std::string(row.table) == "TDEntry") {
    return "INSERT INTO TDEntry (FTaskDispInterID, FWBInterID, FAuxQty, FAuxQtyFinish, "
           "FAuxQtyPass, FStatus) VALUES (?, ?, ?, ?, ?, ?)";
  }
  return "INSERT INTO Rpt (FID, FTaskDispInterID, FWBInterID, FAuxQtyFinish, FAuxQtyPass, "
         "FAuxQtyScrap, FDate) VALUES (?, ?, ?, ?, ?, ?, ?)";
}

// --- The rule-like batch ------------------------------------------------------------------

// Re-totals one work bill from its reports, as the report save does: 30 statements.
inline std::string DialectBatch(int bill) {
  return "SET NOCOUNT ON\r\n"
         "DECLARE @FInterID int, @Total decimal(28,10), @Pass decimal(28,10), @Cnt int, "
         "@MaxEntry int, @Closed int\r\n"
         "SET @FInterID = " +
         std::to_string(bill) +
         "\r\n"
         "SELECT t.FTaskDispInterID, t.FWBInterID, isnull(SUM(r.FAuxQtyFinish), 0) AS FFinish, "
         "isnull(SUM(r.FAuxQtyPass), 0) AS FPass, isnull(SUM(r.FAuxQtyScrap), 0) AS FScrap "
         "INTO #t FROM TDEntry t INNER JOIN WBEntry w ON w.FWBInterID = t.FWBInterID "
         "LEFT JOIN Rpt r ON r.FTaskDispInterID = t.FTaskDispInterID "
         "WHERE w.FInterID = @FInterID GROUP BY t.FTaskDispInterID, t.FWBInterID\r\n"
         "UPDATE t SET t.FAuxQtyFinish = x.FFinish, t.FAuxQtyPass = x.FPass "
         "FROM TDEntry t INNER JOIN #t x ON x.FTaskDispInterID = t.FTaskDispInterID\r\n"
         "UPDATE TDEntry SET FStatus = CASE WHEN FAuxQtyFinish >= FAuxQty THEN 3 ELSE 1 END "
         "WHERE FWBInterID IN (SELECT FWBInterID FROM #t)\r\n"
         "CREATE TABLE #w (FWBInterID int NOT NULL PRIMARY KEY, FFinish decimal(28,10), "
         "FPass decimal(28,10), FScrap decimal(28,10), FSel decimal(28,10))\r\n"
         "INSERT INTO #w (FWBInterID, FFinish, FPass, FScrap, FSel) SELECT FWBInterID, "
         "SUM(FFinish), SUM(FPass), SUM(FScrap), 0 FROM #t GROUP BY FWBInterID\r\n"
         "UPDATE w SET w.FSel = (SELECT SUM(t.FAuxQty) FROM TDEntry t "
         "WHERE t.FWBInterID = w.FWBInterID) FROM #w w\r\n"
         "UPDATE e SET e.FAuxQtyFinish = w.FFinish, e.FAuxQtyPass = w.FPass, "
         "e.FAuxQtyScrap = w.FScrap, e.FAuxQtyTaskDispSel = isnull(w.FSel, 0) "
         "FROM WBEntry e INNER JOIN #w w ON w.FWBInterID = e.FWBInterID "
         "WHERE e.FInterID = @FInterID\r\n"
         "UPDATE WBEntry SET FStatus = 3 WHERE FInterID = @FInterID "
         "AND FAuxQtyFinish >= FAuxQtyPlan\r\n"
         "UPDATE WBEntry SET FStatus = 1 WHERE FInterID = @FInterID "
         "AND FAuxQtyFinish < FAuxQtyPlan\r\n"
         "SELECT @Cnt = COUNT(*), @MaxEntry = MAX(FEntryID), @Total = SUM(FAuxQtyFinish) "
         "FROM WBEntry WHERE FInterID = @FInterID\r\n"
         "SELECT @Pass = isnull(FAuxQtyPass, 0) FROM WBEntry "
         "WHERE FInterID = @FInterID AND FEntryID = @MaxEntry\r\n"
         "SELECT @Closed = COUNT(*) FROM WBEntry WHERE FInterID = @FInterID AND FStatus = 3\r\n"
         "UPDATE WB SET FQtyFinish = @Pass, FStatus = CASE WHEN @Closed = @Cnt THEN 3 ELSE 1 END "
         "WHERE FInterID = @FInterID\r\n"
         "IF @Closed = @Cnt\r\n"
         "  UPDATE WB SET FCloseDate = '2024-03-31' WHERE FInterID = @FInterID\r\n"
         "ELSE\r\n"
         "  UPDATE WB SET FCloseDate = NULL WHERE FInterID = @FInterID\r\n"
         "CREATE TABLE #log (FIndex int IDENTITY(1,1), FWBInterID int, FQty decimal(28,10))\r\n"
         "INSERT INTO #log (FWBInterID, FQty) SELECT FWBInterID, FAuxQtyFinish FROM WBEntry "
         "WHERE FInterID = @FInterID ORDER BY FEntryID DESC\r\n"
         "DELETE FROM #log WHERE FQty = 0\r\n"
         "UPDATE e SET e.FStartDate = r.FMinDate, e.FEndDate = r.FMaxDate FROM WBEntry e "
         "INNER JOIN (SELECT FWBInterID, MIN(FDate) AS FMinDate, MAX(FDate) AS FMaxDate FROM Rpt "
         "WHERE FWBInterID IN (SELECT FWBInterID FROM #w) GROUP BY FWBInterID) r "
         "ON r.FWBInterID = e.FWBInterID WHERE e.FInterID = @FInterID\r\n"
         "SELECT @Total = isnull(SUM(l.FQty), 0) FROM #log l INNER JOIN WBEntry e "
         "ON e.FWBInterID = l.FWBInterID WHERE e.FStatus = 3\r\n"
         "UPDATE WB SET FNote = 'closed ' + CAST(@Closed AS varchar(10)) "
         "WHERE FInterID = @FInterID\r\n"
         "DELETE FROM WBLog WHERE FInterID = @FInterID\r\n"
         "INSERT INTO WBLog (FInterID, FIndex, FWBInterID, FQty) "
         "SELECT @FInterID, FIndex, FWBInterID, FQty FROM #log\r\n"
         "SELECT @Cnt = COUNT(*) FROM WBLog WHERE FInterID = @FInterID\r\n"
         "UPDATE t SET t.FStatus = 4 FROM TDEntry t INNER JOIN WBEntry e "
         "ON e.FWBInterID = t.FWBInterID WHERE e.FInterID = @FInterID AND e.FStatus = 3 "
         "AND t.FStatus = 3\r\n"
         "DROP TABLE #t\r\n"
         "DROP TABLE #w\r\n"
         "DROP TABLE #log\r\n";
}

// --- Plain SQLite ------------------------------------------------------------------------

// A SQLite connection with a cache of prepared statements, as a careful hand-written client would
// keep them.
class Sqlite {
 public:
  explicit Sqlite(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Fail("open");
    // The settings the engine gives its handles.
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA temp_store=MEMORY;");
  }
  ~Sqlite() {
    for (auto& [text, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }
  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
  }
  sqlite3_stmt* Prepare(const char* sql) {
    auto found = cache_.find(std::string_view(sql));
    if (found != cache_.end()) return found->second;
    sqlite3_stmt*& stmt = cache_[sql];
    if (stmt == nullptr && sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
      Fail(sql);
    }
    return stmt;
  }
  // Runs a cached statement with numeric parameters ?1, ?2, ... and returns the first column of
  // its last row (0 when it has none), as "SELECT @v = ..." keeps the last row.
  double Run(const char* sql, std::initializer_list<double> params = {}) {
    sqlite3_stmt* stmt = Prepare(sql);
    int i = 1;
    for (double p : params) sqlite3_bind_double(stmt, i++, p);
    double last = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) last = sqlite3_column_double(stmt, 0);
    if (rc != SQLITE_DONE) Fail(sql);
    sqlite3_reset(stmt);
    return last;
  }
  sqlite3* db() { return db_; }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("sqlite: " + what + ": " + sqlite3_errmsg(db_));
  }
  sqlite3* db_ = nullptr;
  std::map<std::string, sqlite3_stmt*, std::less<>> cache_;
};

// The batch's work written for SQLite: variables live in C++, "#" tables are TEMP tables. With
// `keep_temps` the temporary tables are created once and emptied instead of dropped, which spares
// SQLite the schema change (and the re-preparing of every statement that names them) that a
// CREATE and DROP per batch costs; the engine does the same with the "#" tables of a session.
inline void SqliteBatch(Sqlite& s, int bill, bool keep_temps) {
  const double id = bill;
  if (keep_temps) {
    s.Run(
        "CREATE TEMP TABLE IF NOT EXISTS t (FTaskDispInterID INTEGER, FWBInterID INTEGER, "
        "FFinish REAL, FPass REAL, FScrap REAL)");
    s.Run(
        "CREATE TEMP TABLE IF NOT EXISTS w (FWBInterID INTEGER NOT NULL PRIMARY KEY, "
        "FFinish REAL, FPass REAL, FScrap REAL, FSel REAL)");
    s.Run(
        "CREATE TEMP TABLE IF NOT EXISTS log (FIndex INTEGER PRIMARY KEY, FWBInterID INTEGER, "
        "FQty REAL)");
  }
  s.Run(keep_temps ? "INSERT INTO temp.t SELECT t.FTaskDispInterID, t.FWBInterID, "
                     "ifnull(SUM(r.FAuxQtyFinish), 0), ifnull(SUM(r.FAuxQtyPass), 0), "
                     "ifnull(SUM(r.FAuxQtyScrap), 0) FROM TDEntry t INNER JOIN WBEntry w "
                     "ON w.FWBInterID = t.FWBInterID LEFT JOIN Rpt r "
                     "ON r.FTaskDispInterID = t.FTaskDispInterID "
                     "WHERE w.FInterID = ?1 GROUP BY t.FTaskDispInterID, t.FWBInterID"
                   : "CREATE TEMP TABLE t AS SELECT t.FTaskDispInterID, t.FWBInterID, "
                     "ifnull(SUM(r.FAuxQtyFinish), 0) AS FFinish, "
                     "ifnull(SUM(r.FAuxQtyPass), 0) AS FPass, "
                     "ifnull(SUM(r.FAuxQtyScrap), 0) AS FScrap FROM TDEntry t INNER JOIN WBEntry w "
                     "ON w.FWBInterID = t.FWBInterID LEFT JOIN Rpt r "
                     "ON r.FTaskDispInterID = t.FTaskDispInterID "
                     "WHERE w.FInterID = ?1 GROUP BY t.FTaskDispInterID, t.FWBInterID",
        {id});
  s.Run(
      "UPDATE TDEntry SET FAuxQtyFinish = x.FFinish, FAuxQtyPass = x.FPass FROM temp.t AS x "
      "WHERE x.FTaskDispInterID = TDEntry.FTaskDispInterID");
  s.Run(
      "UPDATE TDEntry SET FStatus = CASE WHEN FAuxQtyFinish >= FAuxQty THEN 3 ELSE 1 END "
      "WHERE FWBInterID IN (SELECT FWBInterID FROM temp.t)");
  if (!keep_temps) {
    s.Run(
        "CREATE TEMP TABLE w (FWBInterID INTEGER NOT NULL PRIMARY KEY, FFinish REAL, "
        "FPass REAL, FScrap REAL, FSel REAL)");
  }
  s.Run(
      "INSERT INTO temp.w (FWBInterID, FFinish, FPass, FScrap, FSel) SELECT FWBInterID, "
      "SUM(FFinish), SUM(FPass), SUM(FScrap), 0 FROM temp.t GROUP BY FWBInterID");
  s.Run(
      "UPDATE temp.w SET FSel = (SELECT SUM(t.FAuxQty) FROM TDEntry t "
      "WHERE t.FWBInterID = w.FWBInterID)");
  s.Run(
      "UPDATE WBEntry SET FAuxQtyFinish = w.FFinish, FAuxQtyPass = w.FPass, "
      "FAuxQtyScrap = w.FScrap, FAuxQtyTaskDispSel = ifnull(w.FSel, 0) FROM temp.w AS w "
      "WHERE w.FWBInterID = WBEntry.FWBInterID AND WBEntry.FInterID = ?1",
      {id});
  s.Run("UPDATE WBEntry SET FStatus = 3 WHERE FInterID = ?1 AND FAuxQtyFinish >= FAuxQtyPlan",
        {id});
  s.Run("UPDATE WBEntry SET FStatus = 1 WHERE FInterID = ?1 AND FAuxQtyFinish < FAuxQtyPlan", {id});
  sqlite3_stmt* totals = s.Prepare(
      "SELECT COUNT(*), MAX(FEntryID), SUM(FAuxQtyFinish) FROM WBEntry WHERE FInterID = ?1");
  sqlite3_bind_double(totals, 1, id);
  sqlite3_step(totals);
  double count = sqlite3_column_double(totals, 0);
  double max_entry = sqlite3_column_double(totals, 1);
  sqlite3_reset(totals);
  double pass = s.Run(
      "SELECT ifnull(FAuxQtyPass, 0) FROM WBEntry WHERE FInterID = ?1 "
      "AND FEntryID = ?2",
      {id, max_entry});
  double closed = s.Run("SELECT COUNT(*) FROM WBEntry WHERE FInterID = ?1 AND FStatus = 3", {id});
  s.Run(
      "UPDATE WB SET FQtyFinish = ?2, FStatus = CASE WHEN ?3 = ?4 THEN 3 ELSE 1 END "
      "WHERE FInterID = ?1",
      {id, pass, closed, count});
  if (closed == count) {
    s.Run("UPDATE WB SET FCloseDate = '2024-03-31 00:00:00.000' WHERE FInterID = ?1", {id});
  } else {
    s.Run("UPDATE WB SET FCloseDate = NULL WHERE FInterID = ?1", {id});
  }
  if (!keep_temps) {
    s.Run("CREATE TEMP TABLE log (FIndex INTEGER PRIMARY KEY, FWBInterID INTEGER, FQty REAL)");
  }
  s.Run(
      "INSERT INTO temp.log (FWBInterID, FQty) SELECT FWBInterID, FAuxQtyFinish FROM WBEntry "
      "WHERE FInterID = ?1 ORDER BY FEntryID DESC",
      {id});
  s.Run("DELETE FROM temp.log WHERE FQty = 0");
  s.Run(
      "UPDATE WBEntry SET FStartDate = r.FMinDate, FEndDate = r.FMaxDate FROM (SELECT "
      "FWBInterID, MIN(FDate) AS FMinDate, MAX(FDate) AS FMaxDate FROM Rpt WHERE FWBInterID IN "
      "(SELECT FWBInterID FROM temp.w) GROUP BY FWBInterID) AS r "
      "WHERE r.FWBInterID = WBEntry.FWBInterID AND WBEntry.FInterID = ?1",
      {id});
  s.Run(
      "SELECT ifnull(SUM(l.FQty), 0) FROM temp.log l INNER JOIN WBEntry e "
      "ON e.FWBInterID = l.FWBInterID WHERE e.FStatus = 3");
  s.Run("UPDATE WB SET FNote = 'closed ' || CAST(CAST(?2 AS INTEGER) AS TEXT) WHERE FInterID = ?1",
        {id, closed});
  s.Run("DELETE FROM WBLog WHERE FInterID = ?1", {id});
  s.Run(
      "INSERT INTO WBLog (FInterID, FIndex, FWBInterID, FQty) SELECT ?1, FIndex, FWBInterID, "
      "FQty FROM temp.log",
      {id});
  s.Run("SELECT COUNT(*) FROM WBLog WHERE FInterID = ?1", {id});
  s.Run(
      "UPDATE TDEntry SET FStatus = 4 FROM WBEntry e WHERE e.FWBInterID = TDEntry.FWBInterID "
      "AND e.FInterID = ?1 AND e.FStatus = 3 AND TDEntry.FStatus = 3",
      {id});
  s.Run(keep_temps ? "DELETE FROM temp.t" : "DROP TABLE temp.t");
  s.Run(keep_temps ? "DELETE FROM temp.w" : "DROP TABLE temp.w");
  s.Run(keep_temps ? "DELETE FROM temp.log" : "DROP TABLE temp.log");
}

}  // namespace corva::bench

#endif  // CORVA_BENCH_ENGINE_BENCH_WORK_H_
