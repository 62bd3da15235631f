// The rules' own batches that the replay benchmark measures, each as a unit: which operation sends
// it (for the statement log to capture), how to recognise its batches in the log, and the same
// work written by hand for plain SQLite: statements prepared once, variables held in C++, the
// temporary table kept and emptied instead of created and dropped, the procedure's statements
// inlined. Units run on the scaling benchmark's factory (scale_data.h).
#ifndef CORVA_BENCH_REPLAY_WORK_H_
#define CORVA_BENCH_REPLAY_WORK_H_

#include <functional>
#include <string>
#include <vector>

#include "plain_sqlite.h"
#include "scale_ops.h"

namespace corva::bench {

struct ReplayUnit {
  std::string name;
  // Runs the operation that sends the unit's batches, for document k.
  std::function<void(const Site&, int64_t)> send;
  // Recognises the unit's batches in the log, in the order they are sent.
  std::vector<std::function<bool(const std::string&)>> batches;
  // The same work in plain SQLite for document k; returns the rows of the unit's first result set.
  std::function<Rows(PlainSqlite&, int64_t)> by_hand;
};

inline std::function<bool(const std::string&)> Contains(std::string part) {
  return [part](const std::string& sql) { return sql.find(part) != std::string::npos; };
}

// prc_SHUpdateBillDoubleQty for the operations of a work bill: all of them (`operation` 0) or one.
inline void WorkBillBaseQuantities(PlainSqlite& s, int32_t bill, int32_t operation) {
  Variant task = s.Value("SELECT FICMOInterID FROM SHWorkBill WHERE FInterID = ?1", {bill}, 0);
  Variant ratio = s.Value(
      "SELECT ifnull(u.FCoefficient, 1) + ifnull(u.FScale, 0) FROM ICMO m "
      "JOIN t_MeasureUnit u ON u.FItemID = m.FUnitID WHERE m.FInterID = ?1",
      {task}, 1.0);
  s.Run(
      "UPDATE SHWorkBillEntry SET FQtyPlan = FAuxQtyPlan * ?2, FQtyFinish = FAuxQtyFinish * ?2, "
      "FQtyPass = FAuxQtyPass * ?2, FQtyScrap = FAuxQtyScrap * ?2, "
      "FQtyForItem = FAuxQtyForItem * ?2, FQtyLost = FAuxQtyLost * ?2, "
      "FQtyGain = FAuxQtyGain * ?2, FQtyBack = FAuxQtyBack * ?2, "
      "FQtyTaskDispSel = FAuxQtyTaskDispSel * ?2, FQtyTaskDispAck = FAuxQtyTaskDispAck * ?2, "
      "FQtyHandOverSel = FAuxQtyHandOverSel * ?2, FQtyHandOver = FAuxQtyHandOver * ?2, "
      "FQtyReceiveSel = FAuxQtyReceiveSel * ?2, FQtyRecive = FAuxQtyRecive * ?2, "
      "FConvertQtyHandover = FAuxConvertQtyHandover * ?2, "
      "FConvertQtyRecive = FAuxConvertQtyRecive * ?2, "
      "FRepReceiveSelQty = FAuxRepReceiveSelQty * ?2, FRepReceiveQty = FAuxRepReceiveQty * ?2, "
      "FReprocessedQty = FAuxReprocessedQty * ?2, "
      "FReprocessedMoveSelQty = FAuxReprocessedMoveSelQty * ?2, "
      "FReprocessedMoveQty = FAuxReprocessedMoveQty * ?2, "
      "FQualifiedReprocessedQty = FAuxQualifiedReprocessedQty * ?2, "
      "FCheckCommitQty = FAuxCheckCommitQty * ?2 "
      "WHERE FInterID = ?1 AND (?3 = 0 OR FWBInterID = ?3)",
      {bill, ratio, operation});
}

inline std::vector<ReplayUnit> ReplayUnits() {
  return {
      {"clsMWorkBill.EndSave: order check, renumber",
       [](const Site& s, int64_t k) {
         Call(kWorkBill, "EndSave", {s.dsn, SaveVect(Task(k)), std::string()});
       },
       {Contains("Create Table #Oper"), Contains("t1.FNewEntryID>t1.FEntryID"),
        Contains("Set t1.FEntryID = t2.FNewEntryID")},
       [](PlainSqlite& s, int64_t k) {
         const int32_t bill = Task(k);
         s.Run(
             "CREATE TEMP TABLE IF NOT EXISTS oper (FNewEntryID INTEGER PRIMARY KEY, "
             "FOperSN INT NOT NULL, FEntryID INT NOT NULL, FStatus INT NOT NULL)");
         s.Run(
             "INSERT INTO temp.oper (FOperSN, FEntryID, FStatus) SELECT FOperSN, FEntryID, "
             "FStatus FROM SHWorkBillEntry WHERE FInterID = ?1 ORDER BY FOperSN",
             {bill});
         Rows jumped = s.Query(
             "SELECT t2.FEntryID FROM temp.oper t1, SHWorkBillEntry t2 WHERE t1.FNewEntryID < "
             "t1.FEntryID AND t2.FEntryID >= t1.FNewEntryID AND t2.FEntryID < t1.FEntryID AND "
             "t2.FStatus <> 0 AND t2.FInterID = ?1",
             {bill});
         s.Query(
             "SELECT t2.FEntryID FROM temp.oper t1, SHWorkBillEntry t2 WHERE t1.FNewEntryID > "
             "t1.FEntryID AND t2.FEntryID <= t1.FNewEntryID AND t2.FEntryID > t1.FEntryID AND "
             "t2.FStatus <> 0 AND t2.FInterID = ?1",
             {bill});
         s.Run(
             "UPDATE SHWorkBillEntry SET FEntryID = t2.FNewEntryID FROM temp.oper t2 "
             "WHERE SHWorkBillEntry.FOperSN = t2.FOperSN AND SHWorkBillEntry.FInterID = ?1",
             {bill});
         Rows header = s.Query(
             "SELECT ifnull(FOperShiftBillID, 0), ifnull(FBillType, 0) FROM SHWorkBill "
             "WHERE FInterID = ?1",
             {bill});
         if (!header.empty() && header[0][1].AsLong() == 11621 && header[0][0].AsLong() > 0) {
           throw std::runtime_error("the factory holds no rework bills");
         }
         s.Run("DELETE FROM temp.oper");
         s.Run("UPDATE SHWorkBillEntry SET FCheckerID = NULL WHERE FCheckerID = 0");
         WorkBillBaseQuantities(s, bill, 0);
         return jumped;
       }},
      {"clsMTaskDispBill: dispatch totals of an operation",
       [](const Site& s, int64_t k) {
         Call(kTaskDisp, "SynWorkBillAndTaskDisp", {s.dsn, FirstOperation(k)});
       },
       {Contains("@AuxQtyTDSelSum")},
       [](PlainSqlite& s, int64_t k) {
         const int32_t operation = FirstOperation(k);
         Rows sums = s.Query(
             "SELECT ifnull(sum(ifnull(u1.FAuxQtyPlan, 0)), 0), ifnull(sum(CASE WHEN u1.FStatus > "
             "0 THEN ifnull(u1.FAuxQtyPlan, 0) ELSE 0 END), 0) FROM ICTaskDispBillEntry u1, "
             "ICTaskDispBill v1 WHERE u1.FInterID = v1.FInterID AND v1.FWorkBillInterID = ?1",
             {operation});
         s.Run(
             "UPDATE SHWorkBillEntry SET FAuxQtyTaskDispSel = ifnull(?2, 0), "
             "FAuxQtyTaskDispAck = ifnull(?3, 0) WHERE FWBInterID = ?1",
             {operation, sums[0][0], sums[0][1]});
         Variant bill =
             s.Value("SELECT FInterID FROM SHWorkBillEntry WHERE FWBInterID = ?1", {operation}, 0);
         WorkBillBaseQuantities(s, bill.AsLong(), operation);
         return Rows();
       }},
      {"clsMTaskDispBill.EndSave: numbering of new entries",
       [](const Site& s, int64_t k) {
         Call(kTaskDisp, "EndSave", {s.dsn, SaveVect(Task(k)), std::string()});
       },
       {Contains("EXEC prc_SHUpdateBillDoubleQty 502")},
       [](PlainSqlite& s, int64_t k) {
         const int32_t bill = Task(k);
         Variant task =
             s.Value("SELECT FICMOInterID FROM ICTaskDispBill WHERE FInterID = ?1", {bill}, 0);
         Variant ratio = s.Value(
             "SELECT ifnull(u.FCoefficient, 1) + ifnull(u.FScale, 0) FROM ICMO m "
             "JOIN t_MeasureUnit u ON u.FItemID = m.FUnitID WHERE m.FInterID = ?1",
             {task}, 1.0);
         s.Run(
             "UPDATE ICTaskDispBillEntry SET FQtyPlan = FAuxQtyPlan * ?2, "
             "FQtyFinish = FAuxQtyFinish * ?2, FQtyPass = FAuxQtyPass * ?2, "
             "FQtyScrap = FAuxQtyScrap * ?2, FQtyForItem = FAuxQtyForItem * ?2, "
             "FQtyLoss = FAuxQtyLoss * ?2, FReprocessedQty = FAuxReprocessedQty * ?2 "
             "WHERE FInterID = ?1",
             {bill, ratio});
         Rows unnumbered = s.Query(
             "SELECT count(FTaskDispInterID), ifnull(max(FEntryID), 0) FROM ICTaskDispBillEntry "
             "WHERE FTaskDispInterID = 0");
         Variant max_num =
             s.Value("SELECT FMaxNum FROM ICMaxNum WHERE FTableName = 'ICTaskDispBill'", {});
         if (unnumbered[0][0].AsLong() > 0) {
           s.Run(
               "UPDATE ICTaskDispBillEntry SET FTaskDispInterID = FEntryID + ?1 "
               "WHERE FTaskDispInterID = 0",
               {max_num});
           s.Run("UPDATE ICMaxNum SET FMaxNum = FMaxNum + ?1 WHERE FTableName = 'ICTaskDispBill'",
                 {unnumbered[0][1]});
         }
         s.Run("UPDATE ICTaskDispBillEntry SET FCheckerID = NULL WHERE FCheckerID = 0");
         return Rows();
       }},
      {"clsMTaskDispBill.CheckTaskDispBill: the entry's rows",
       [](const Site& s, int64_t k) { CheckEntry(s, SavedEntry(k), 0, 1); },
       {Contains("Select v.FBillerId,u.*")},
       [](PlainSqlite& s, int64_t k) {
         // FCheckDate, FWorkStartDate, FWorkEndDate read as dates, as the engine reads them.
         return s.Query(
             "SELECT v.FBillerID, u.* FROM ICTaskDispBill v INNER JOIN ICTaskDispBillEntry u "
             "ON v.FInterID = u.FInterID WHERE u.FTaskDispInterID = ?1",
             {SavedEntry(k)}, {9, 11, 12});
       }},
      {"clsMTaskDispBill.CheckTaskDispBill: check of the entry",
       [](const Site& s, int64_t k) { CheckEntry(s, SavedEntry(k), 0, 1); },
       {Contains("Update ICTaskDispBillEntry Set Fstatus=1")},
       [](PlainSqlite& s, int64_t k) {
         s.Run(
             "UPDATE ICTaskDispBillEntry SET FStatus = 1, FCheckerID = 16394, "
             "FCheckDate = '2026-03-02 00:00:00.000' WHERE (FInterID = 0 OR "
             "FTaskDispInterID = ?1) AND FStatus <> 3",
             {SavedEntry(k)});
         return Rows();
       }},
      {"clsMTaskDispBill.CheckTaskDispBill: move-number ledger",
       [](const Site& s, int64_t k) { CheckEntry(s, SavedEntry(k), 0, 1); },
       {Contains("Delete From SHMoveNoManage")},
       [](PlainSqlite& s, int64_t k) {
         const std::string move_no = "MV" + std::to_string(k) + "-2";
         s.Run(
             "DELETE FROM SHMoveNoManage WHERE FTransType = 502 AND FWBInterID = ?1 "
             "AND FOperMoveNo = ?2",
             {FirstOperation(k), move_no});
         s.Run(
             "INSERT INTO SHMoveNoManage (FOperMoveNo, FWBInterID, FICMOInterID, FTransType, "
             "FStatus, FQty) SELECT v.FOperMoveNo, u.FWorkBillInterID, u.FICMOInterID, 502, 1, "
             "sum(FAuxQtyPlan) FROM ICTaskDispBill u INNER JOIN ICTaskDispBillEntry v "
             "ON u.FInterID = v.FInterID WHERE v.FStatus = 1 AND u.FWorkBillInterID = ?1 "
             "AND FOperMoveNo = ?2 GROUP BY v.FOperMoveNo, u.FWorkBillInterID, u.FICMOInterID",
             {FirstOperation(k), move_no});
         return Rows();
       }},
      {"clsPublic.GetRelatedBillStatus: a dispatch entry's status",
       [](const Site& s, int64_t k) {
         Call(kPublic, "GetRelatedBillStatus", {s.dsn, CheckedEntry(k), 502, MakeVector()});
       },
       {Contains("Select 502 as FTransID")},
       [](PlainSqlite& s, int64_t k) {
         return s.Query(
             "SELECT 502 AS FTransID, 'Z10' AS FTemplateID, u1.FTaskDispInterID, u1.FBillNum, "
             "u1.FStatus, u1.FCancellation, u1.FClose, 0, 52, v1.FWorkBillInterID FROM "
             "ICTaskDispBillEntry u1, ICTaskDispBill v1 WHERE u1.FInterID = v1.FInterID AND "
             "u1.FTaskDispInterID = ?1",
             {CheckedEntry(k)});
       }},
  };
}

}  // namespace corva::bench

#endif  // CORVA_BENCH_REPLAY_WORK_H_
