// The scaling benchmark's factory: a database with the schema and the sample factory, grown to N
// production tasks, each with its material list, a checked work bill of two operations, a task
// dispatch bill of two entries (one checked, one saved) on the first operation, an operation report
// on the checked entry and its move-number ledger row; plus fresh orders (a task and a planned work
// bill, nothing below) for the whole-order chain. Rows are made set-based through the engine, so
// they are stored exactly as the rules' own statements store them.
#ifndef CORVA_BENCH_SCALE_DATA_H_
#define CORVA_BENCH_SCALE_DATA_H_

#include <cstdint>
#include <string>

#include "corva/connection.h"
#include "corva/host.h"
#include "db/schema_installer.h"

namespace corva::bench {

// Ids of the generated documents of task k (1 ... tasks + fresh orders).
inline constexpr int32_t kTaskBase = 10000000;       // ICMO, PPBOM, SHWorkBill, ICTaskDispBill,
                                                     // SHProcRptMain: kTaskBase + k
inline constexpr int32_t kOperationBase = 20000000;  // SHWorkBillEntry.FWBInterID: + 2k-1, + 2k
inline constexpr int32_t kEntryBase = 40000000;      // FTaskDispInterID: + 2k-1 (checked), + 2k
inline constexpr int32_t kUser = 16394;              // the sample user: biller and checker

inline int32_t Task(int64_t k) { return kTaskBase + static_cast<int32_t>(k); }
inline int32_t FirstOperation(int64_t k) {
  return kOperationBase + static_cast<int32_t>(2 * k - 1);
}
inline int32_t CheckedEntry(int64_t k) { return kEntryBase + static_cast<int32_t>(2 * k - 1); }
inline int32_t SavedEntry(int64_t k) { return kEntryBase + static_cast<int32_t>(2 * k); }

// The batch that fills tasks `first` ... `last`: with `dispatched`, the whole chain down to the
// ledger; without, only the task and its planned work bill (a fresh order).
inline std::string GenerateBatch(int64_t first, int64_t last, bool dispatched) {
  const std::string from = std::to_string(first);
  const std::string to = std::to_string(last);
  const std::string task = "(10000000 + n)";
  const std::string op1 = "(20000000 + 2 * n - 1)";
  const std::string op2 = "(20000000 + 2 * n)";
  const std::string no = "CAST(n AS varchar(10))";
  const std::string status = dispatched ? "1" : "0";
  const std::string checker = dispatched ? "16394" : "NULL";
  std::string sql =
      "CREATE TABLE #n (n int NOT NULL PRIMARY KEY)\r\n"
      "INSERT INTO #n (n) VALUES (" +
      from +
      ")\r\n"
      "DECLARE @k int\r\n"
      "SET @k = 1\r\n"
      "WHILE @k <= " +
      to + " - " + from +
      "\r\n"
      "BEGIN\r\n"
      "  INSERT INTO #n (n) SELECT n + @k FROM #n WHERE n + @k <= " +
      to +
      "\r\n"
      "  SET @k = @k * 2\r\n"
      "END\r\n";
  sql +=
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus, "
      "FWorkShop, FPlanCommitDate, FStartDate, FFinishDate, FAuxInHighLimitQty, "
      "FAuxInLowLimitQty) SELECT " +
      task + ", 'MO' + " + no +
      ", 301, 1, 100, 100, 1, 502, '2026-03-02', '2026-03-02', '2026-03-13', 105, 95 "
      "FROM #n\r\n";
  sql += "INSERT INTO PPBOM (FInterID, FBillNo, FICMOInterID, FItemID, FStatus) SELECT " + task +
         ", 'PB' + " + no + ", " + task + ", 301, 1 FROM #n\r\n";
  sql +=
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, "
      "FOperSN, FStockID, FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust) SELECT " +
      task + ", 1, " + task + ", 304, 3, 801, 10, 401, 0.125, 0.125, 12.5, 12.5 FROM #n\r\n";
  sql +=
      "INSERT INTO SHWorkBill (FInterID, FBillNo, FDate, FICMOInterID, FBillType, FStatus, "
      "FBillerID, FCheckerID) SELECT " +
      task + ", 'WB' + " + no + ", '2026-03-02', " + task + ", 11620, " + status + ", 16394, " +
      checker + " FROM #n\r\n";
  for (int op = 1; op <= 2; ++op) {
    const std::string id = op == 1 ? op1 : op2;
    const std::string sel = dispatched && op == 1 ? "100" : "0";
    const std::string ack = dispatched && op == 1 ? "60" : "0";
    sql +=
        "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN, "
        "FOperID, FWorkCenterID, FStatus, FCheckerID, FAuxQtyPlan, FQtyPlan, FAuxQtyRecive, "
        "FQtyRecive, FAuxQtyTaskDispSel, FQtyTaskDispSel, FAuxQtyTaskDispAck, "
        "FQtyTaskDispAck, FStartWorkDate, FEndWorkDate) SELECT " +
        task + ", " + std::to_string(op) + ", " + id + ", 'WB' + " + no + " + '-" +
        std::to_string(op) + "', " + std::to_string(op * 10) + ", " + std::to_string(800 + op) +
        ", " + std::to_string(600 + op) + ", " + status + ", " + checker + ", 100, 100, " +
        (op == 1 ? "100" : "0") + ", " + (op == 1 ? "100" : "0") + ", " + sel + ", " + sel + ", " +
        ack + ", " + ack + ", '2026-03-02', '2026-03-06' FROM #n\r\n";
  }
  if (dispatched) {
    sql +=
        "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FDate, FWorkBillInterID, "
        "FICMOInterID, FStatus, FBillerID) SELECT " +
        task + ", 'TD' + " + no + ", '2026-03-02', " + op1 + ", " + task + ", 0, 16394 FROM #n\r\n";
    sql +=
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum, "
        "FStatus, FCheckerID, FCheckDate, FOperMoveNo, FAuxQtyPlan, FQtyPlan, FWorkStartDate, "
        "FWorkEndDate) SELECT " +
        task + ", 1, 40000000 + 2 * n - 1, 'TD' + " + no +
        " + '-1', 1, 16394, '2026-03-02', 'MV' + " + no +
        " + '-1', 60, 60, '2026-03-02', '2026-03-03' FROM #n\r\n";
    sql +=
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum, "
        "FStatus, FOperMoveNo, FAuxQtyPlan, FQtyPlan, FWorkStartDate, FWorkEndDate) SELECT " +
        task + ", 2, 40000000 + 2 * n, 'TD' + " + no + " + '-2', 0, 'MV' + " + no +
        " + '-2', 40, 40, '2026-03-03', '2026-03-04' FROM #n\r\n";
    sql +=
        "INSERT INTO SHMoveNoManage (FOperMoveNo, FWBInterID, FICMOInterID, FTransType, "
        "FStatus, FQty) SELECT 'MV' + " +
        no + " + '-1', " + op1 + ", " + task + ", 502, 1, 60 FROM #n\r\n";
    sql +=
        "INSERT INTO SHProcRptMain (FInterID, FBillNo, FDate, FICMOInterID, FWBInterID, "
        "FTaskDispBillID, FOperMoveNo, FStatus, FBillerID) SELECT " +
        task + ", 'PR' + " + no + ", '2026-03-03', " + task + ", " + op1 +
        ", 40000000 + 2 * n - 1, 'MV' + " + no + " + '-1', 1, 16394 FROM #n\r\n";
    sql +=
        "INSERT INTO SHProcRpt (FInterID, FEntryID, FICMOInterID, FStatus, FAuxQtyFinish, "
        "FQtyFinish, FAuxQtyPass, FQtyPass) SELECT " +
        task + ", 1, " + task + ", 1, 30, 30, 30, 30 FROM #n\r\n";
  }
  sql += "DROP TABLE #n\r\n";
  return sql;
}

// Creates the factory at `path` (which must not exist): `tasks` dispatched tasks, then `fresh`
// fresh orders numbered after them. Generation runs in slices so that no batch holds millions of
// rows in one statement's memory.
inline void GenerateFactory(const std::string& path, int64_t tasks, int64_t fresh) {
  const std::string connect = "Provider=SQLite;Data Source=" + path;
  constexpr int64_t kSlice = 100000;
  db::CreateDatabaseFile(path);
  {
    TransactionScope scope;
    Connection connection;
    connection.Open(connect);
    db::InstallSchema(connection, true);
    scope.Commit();
  }
  for (int64_t first = 1; first <= tasks + fresh; first += kSlice) {
    int64_t last = std::min(first + kSlice - 1, tasks + fresh);
    TransactionScope scope;
    Connection connection;
    connection.Open(connect);
    if (first <= tasks) {
      connection.Execute(GenerateBatch(first, std::min(last, tasks), true));
    }
    if (last > tasks) connection.Execute(GenerateBatch(std::max(first, tasks + 1), last, false));
    scope.Commit();
  }
  TransactionScope scope;
  Connection connection;
  connection.Open(connect);
  // New dispatch entries are numbered after the generated ones.
  connection.Execute(
      "UPDATE ICMaxNum SET FMaxNum = " + std::to_string(kEntryBase + 2 * (tasks + fresh)) +
      " WHERE FTableName = 'ICTaskDispBill'");
  scope.Commit();
}

}  // namespace corva::bench

#endif  // CORVA_BENCH_SCALE_DATA_H_
