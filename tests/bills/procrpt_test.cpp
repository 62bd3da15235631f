// Tests of clsMProcRpt's save through the host's interface (CreateObject, Invoke, TransactionScope)
// on a fresh embedded database per test: the totals of dispatch entry, operation and production
// task after a save, an edit and a re-save; quality mode 352 against another; times in minutes,
// hours and days; the work in process consumed; the move-number ledger; the automatic close at its
// boundary; refusals and failures that write nothing; and the batches of a save and of an uncheck
// as the engine cases hold them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bills/procrpt_test_util.h"

namespace CorvaMSHTransBills::procrpt_test {
namespace {

TEST(ProcRptSaveTest, SaveEditAndResaveKeepEveryTotalEqualToTheReports) {
  TestDatabase db;
  AddFactory(db);
  Outcome saved = SaveNew(db, 1, kCut, kCutEntry,
                          {{.finish = 6, .pass = 5, .scrap = 1, .end = "2026-03-03 12:00"},
                           {.finish = 4, .pass = 4, .start = "2026-03-01 07:00"}});
  EXPECT_TRUE(saved.ok && !saved.doomed);
  EXPECT_EQ(saved.message, "keep");
  EXPECT_TRUE(saved.save_ret_code.IsEmpty());
  EXPECT_EQ(EntryTotals(db, kCutEntry), "10/9/1");
  EXPECT_EQ(OperationTotals(db, kCut), "10/9/1");
  EXPECT_EQ(Rows(db,
                 "SELECT CONVERT(varchar(16), FWorkStartDate, 120), CONVERT(varchar(16), "
                 "FWorkEndDate, 120) FROM ICTaskDispBillEntry WHERE FTaskDispInterID = 301"),
            "2026-03-01 07:00/2026-03-03 12:00");
  // Row 1 of an ordinary work bill carries its finished quantity to the task, now started.
  EXPECT_EQ(Rows(db,
                 "SELECT FAuxQtyFinish, CONVERT(varchar(10), FStartDate, 120), FStartFlag FROM "
                 "ICMO"),
            "10/2026-03-01/1");
  // Base units through the task's unit of 2, for the entry, the operation and the report.
  EXPECT_EQ(Rows(db,
                 "SELECT e.FQtyFinish, w.FQtyPass, (SELECT SUM(FQtyFinish) FROM SHProcRpt) FROM "
                 "ICTaskDispBillEntry e, SHWorkBillEntry w WHERE e.FTaskDispInterID = 301 AND "
                 "w.FWBInterID = 101"),
            "20/18/20");
  // 10 in a unit of 2 is 20 of the task's 100: a fifth of the 50 (25) required.
  EXPECT_EQ(Wip(db), "20/10");

  // The edit: finished 10 -> 9. The old total comes off, the new goes on; 1 comes back in process.
  Outcome edited = Save(db.dsn(), 1, false, [&] {
    db.Execute("UPDATE SHProcRpt SET FAuxQtyFinish = 3, FAuxQtyPass = 3 WHERE FEntryID = 2");
  });
  EXPECT_TRUE(edited.ok && !edited.doomed);
  EXPECT_EQ(EntryTotals(db, kCutEntry), "9/8/1");
  EXPECT_EQ(OperationTotals(db, kCut), "9/8/1");
  EXPECT_EQ(Wip(db), "21/10.5");

  EXPECT_TRUE(SaveNew(db, 2, kCut, kCutEntry, {{.finish = 5, .pass = 5}}).ok);
  EXPECT_TRUE(Save(db.dsn(), 1, false, [] {}).ok);  // a re-save changes nothing
  EXPECT_EQ(EntryTotals(db, kCutEntry), "14/13/1");
  EXPECT_EQ(OperationTotals(db, kCut), "14/13/1");
  EXPECT_EQ(Rows(db, "SELECT FAuxQtyFinish FROM ICMO"), "14");
  EXPECT_EQ(Wip(db), "16/8");

  // Welding is row 2: its reports never change the task's finished quantity.
  EXPECT_TRUE(SaveNew(db, 3, kWeld, kWeldEntry, {{.finish = 4, .pass = 4}}).ok);
  EXPECT_EQ(OperationTotals(db, kWeld), "4/4/0");
  EXPECT_EQ(EntryTotals(db, kCutEntry), "14/13/1");
  // Nor does row 1 of a rework bill.
  db.Execute("UPDATE SHWorkBill SET FBillType = 11621");
  EXPECT_TRUE(Save(db.dsn(), 2, false, [&] {
                db.Execute("UPDATE SHProcRpt SET FAuxQtyFinish = 6 WHERE FInterID = 2");
              }).ok);
  EXPECT_EQ(OperationTotals(db, kCut), "15/13/1");
  EXPECT_EQ(Rows(db, "SELECT FAuxQtyFinish FROM ICMO"), "14");

  // Under shop conversion management the report keeps its operation-unit quantities too: here
  // in a unit of 2.
  db.Execute(
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'ShopConversionManage'\n"
      "UPDATE SHProcRpt SET FUnitID = 2 WHERE FInterID = 2");
  EXPECT_TRUE(Save(db.dsn(), 2, false, [] {}).ok);
  EXPECT_EQ(Rows(db, "SELECT FOperAuxQtyPass FROM SHProcRpt WHERE FInterID = 2"), "10");
}

TEST(ProcRptSaveTest, PassedAndScrappedFlowUpOnlyUnderQualityMode352) {
  TestDatabase db;
  AddFactory(db);
  // What quality management decided so far.
  db.Execute(
      "UPDATE ICTaskDispBillEntry SET FAuxQtyPass = 3, FAuxQtyScrap = 2\n"
      "UPDATE SHWorkBillEntry SET FAuxQtyPass = 3, FAuxQtyScrap = 2");
  EXPECT_TRUE(SaveNew(db, 1, kCut, kCutEntry, {{.finish = 10, .pass = 9, .scrap = 1}}, 353).ok);
  EXPECT_EQ(EntryTotals(db, kCutEntry), "10/3/2");
  EXPECT_EQ(OperationTotals(db, kCut), "10/3/2");
  EXPECT_TRUE(SaveNew(db, 2, kCut, kCutEntry, {{.finish = 5, .pass = 5}}).ok);
  EXPECT_EQ(EntryTotals(db, kCutEntry), "15/14/1");
  EXPECT_EQ(OperationTotals(db, kCut), "15/14/1");
}

TEST(ProcRptTimesTest, TimesReachTaskOperationAndEntryInTheirUnits) {
  TestDatabase db;
  AddFactory(db);
  // Cutting's times are in minutes, welding's in hours; the task keeps hours.
  ASSERT_TRUE(SaveNew(db, 1, kCut, kCutEntry,
                      {{.finish = 1, .finish_time = 120, .hr_ready = 0.5, .time_unit = 11083}})
                  .ok);
  ASSERT_TRUE(SaveNew(db, 2, kWeld, kWeldEntry,
                      {{.finish = 1, .finish_time = 3, .hr_ready = 90, .time_unit = 11081}})
                  .ok);
  EXPECT_EQ(Rows(db, "SELECT FFinishTime FROM SHWorkBillEntry WHERE FWBInterID = 101"), "120");
  EXPECT_EQ(Rows(db, "SELECT FTimeHrWork FROM ICTaskDispBillEntry WHERE FTaskDispInterID = 301"),
            "120");
  EXPECT_EQ(Rows(db, "SELECT FFinishTime FROM ICMO"), "5");  // 120 minutes + 3 hours
  // Preparation: half a day (12 hours) at cutting, 90 minutes at welding.
  auto prepared = [&] {
    return Rows(db,
                "SELECT (SELECT FHRReadyTime FROM ICMO), (SELECT FHRReadyTime FROM SHWorkBillEntry "
                "WHERE FWBInterID = 101), (SELECT FHRReadyTime FROM ICTaskDispBillEntry WHERE "
                "FTaskDispInterID = 301), (SELECT FHRReadyTime FROM SHWorkBillEntry WHERE "
                "FWBInterID = 102)");
  };
  EXPECT_EQ(prepared(), "13.5/720/0.5/1.5");

  // Removing report 1's time takes off exactly what it booked; recomputing once its rows are gone
  // agrees.
  std::vector<Variant> args{db.dsn(), 1, true, std::string("keep")};
  Outcome removed = Call("WriteBackTime", args, 3);
  EXPECT_TRUE(removed.ok && !removed.doomed);
  EXPECT_EQ(removed.message, "keep");
  EXPECT_EQ(prepared(), "1.5/0/0/1.5");
  db.Execute("DELETE FROM SHProcRpt WHERE FInterID = 1");
  args = {db.dsn(), 2, false};
  EXPECT_TRUE(Call("WriteBackTime", args).ok);
  EXPECT_EQ(prepared(), "1.5/0/0/1.5");
}

TEST(ProcRptSaveTest, WorkInProcessFollowsTheDeductSettings) {
  TestDatabase db;
  AddFactory(db);
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'BACKFLUSH_STANDARD'");
  ASSERT_TRUE(SaveNew(db, 1, kCut, kCutEntry, {{.finish = 10, .pass = 10}}).ok);
  EXPECT_EQ(Wip(db), "25/12.5");  // 10 x the standard usage 0.5 / 0.25
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'WIPDeductMode'");
  ASSERT_TRUE(SaveNew(db, 2, kCut, kCutEntry, {{.finish = 4, .pass = 4}}).ok);
  EXPECT_EQ(Wip(db), "25/12.5");  // product receipts consume it instead
  // Reports on welding never consume what cutting holds.
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'WIPDeductMode'");
  ASSERT_TRUE(SaveNew(db, 3, kWeld, kWeldEntry, {{.finish = 4, .pass = 4}}).ok);
  EXPECT_EQ(Wip(db), "25/12.5");
}

TEST(ProcRptSaveTest, SavesTakeTheirPassedQuantityOffTheLedgerAndARebuildCountsAll) {
  TestDatabase db;
  AddFactory(db);
  ASSERT_TRUE(SaveNew(db, 1, kCut, kCutEntry, {{.finish = 9, .pass = 9}}).ok);
  EXPECT_EQ(Ledger(db, kCut), "");  // no row yet to take it from
  std::vector<Variant> rebuild{db.dsn(), 0, 1, std::string("keep"), 0.0, false};
  Outcome rebuilt = Call("UpdateInfoAfterSave", rebuild, 3);
  EXPECT_TRUE(rebuilt.ok && !rebuilt.doomed && rebuilt.message == "keep");
  EXPECT_EQ(Ledger(db, kCut), "9");
  ASSERT_TRUE(SaveNew(db, 2, kCut, kCutEntry, {{.finish = 4, .pass = 4}}).ok);
  EXPECT_EQ(Ledger(db, kCut), "5");
  ASSERT_TRUE(Save(db.dsn(), 2, false, [&] {
                db.Execute("UPDATE SHProcRpt SET FAuxQtyPass = 5 WHERE FInterID = 2");
              }).ok);
  EXPECT_EQ(Ledger(db, kCut), "");  // a row at 0 goes
  // Reports without a move number keep no row.
  db.Execute("UPDATE SHProcRptMain SET FOperMoveNo = ''");
  ASSERT_TRUE(Call("UpdateInfoAfterSave", rebuild, 3).ok);
  EXPECT_EQ(Rows(db, "SELECT COUNT(*) FROM SHMoveNoManage"), "0");
}

TEST(ProcRptTimesTest, AnOperationClosesOnceItPassedAndHandedOnItsPlan) {
  TestDatabase db;
  AddFactory(db);
  // Sets the operation's quantities, asks for the close; its status and the vote after it.
  auto close = [&](int operation, const std::string& set) {
    db.Execute("UPDATE SHWorkBillEntry SET " + set + " WHERE FWBInterID = " + N(operation));
    std::vector<Variant> args{db.dsn(), operation};
    Outcome closed = Call("AutoCloseSHWork", args);
    EXPECT_TRUE(closed.ok);
    return Rows(db, "SELECT FStatus FROM SHWorkBillEntry WHERE FWBInterID = " + N(operation)) +
           (closed.doomed ? " aborted" : "");
  };
  // Ordinary: 19 passed + 1 qualified from rework cover the plan of 20; all must be handed on,
  // and all rework moved and back.
  EXPECT_EQ(close(kCut,
                  "FAuxQtyPass = 19, FQualifiedReprocessedQty = 1, FReprocessedQty = 1, "
                  "FReprocessedMoveQty = 1, FAuxQtyHandOver = 14, FAuxConvertQtyHandover = 5"),
            "1");
  EXPECT_EQ(close(kCut, "FReprocessedQty = 2, FAuxQtyHandOver = 15"), "1");
  EXPECT_EQ(close(kCut, "FReprocessedQty = 1"), "3");
  EXPECT_EQ(close(kCut, "FAuxQtyPass = 0"), "3");  // never re-opened here
  // Rework: what passed counts alone, and must all be handed on.
  db.Execute("UPDATE SHWorkBill SET FBillType = 11621");
  EXPECT_EQ(close(kWeld, "FAuxQtyPass = 20, FQualifiedReprocessedQty = 5, FAuxQtyHandOver = 19"),
            "1");
  EXPECT_EQ(close(kWeld, "FAuxQtyHandOver = 20"), "3");
  EXPECT_EQ(close(999, "FStatus = FStatus"), " aborted");  // nothing to close: the first vote
}

TEST(ProcRptSaveTest, RefusedReportsWriteNothing) {
  TestDatabase db;
  AddFactory(db);
  const std::string refusal =
      "该单据所对应的派工单,工序计划单不是审核状态或对应的生产任务单不是下达且非挂起状态.";
  auto refused = [&](const std::string& dsn, const std::string& setup) {
    db.Execute(setup);
    Outcome saved = Save(dsn, 1, true, [&] { WriteReport(db, 1, kCut, kCutEntry, {{10, 10}}); });
    EXPECT_TRUE(saved.ok) << setup;  // the host learns it from the vote and "SaveRetCode"
    EXPECT_TRUE(saved.doomed) << setup;
    EXPECT_EQ(saved.save_ret_code.AsLong(), 99) << setup;
    EXPECT_EQ(Rows(db, "SELECT COUNT(*) FROM SHProcRptMain"), "0");
    EXPECT_EQ(EntryTotals(db, kCutEntry), "0/0/0");
    EXPECT_EQ(Wip(db), "30/15");
    return saved.message;
  };
  EXPECT_EQ(refused(db.dsn(), "UPDATE ICTaskDispBillEntry SET FStatus = 0"), refusal);
  EXPECT_EQ(refused(db.dsn("en"), "UPDATE ICTaskDispBillEntry SET FStatus = 2"),
            "The task dispatch bill or operation plan of this report is not checked, or its "
            "production task is not released or is suspended.");
  EXPECT_EQ(refused(db.dsn(),
                    "UPDATE ICTaskDispBillEntry SET FStatus = 1\n"
                    "UPDATE SHWorkBillEntry SET FStatus = 0"),
            refusal);
  EXPECT_EQ(
      refused(db.dsn(), "UPDATE SHWorkBillEntry SET FStatus = 1\nUPDATE ICMO SET FSuspend = 1"),
      refusal);
  EXPECT_EQ(refused(db.dsn(), "UPDATE ICMO SET FSuspend = 0, FStatus = 3"), refusal);

  // A closed entry and a closed operation still take reports; an operation dispatched
  // automatically takes them whatever its entry's state.
  db.Execute(
      "UPDATE ICMO SET FStatus = 2\nUPDATE SHWorkBillEntry SET FStatus = 3, FAutoTD = 1058\n"
      "UPDATE ICTaskDispBillEntry SET FStatus = 0");
  Outcome automatic = SaveNew(db, 1, kCut, kCutEntry, {{.finish = 10, .pass = 10}});
  EXPECT_TRUE(automatic.ok && !automatic.doomed);
  EXPECT_EQ(EntryTotals(db, kCutEntry), "10/10/0");
  // A checked report is not held to the state it was checked in.
  db.Execute("UPDATE ICMO SET FSuspend = 1\nUPDATE SHProcRptMain SET FCheckerID = 7");
  EXPECT_FALSE(Save(db.dsn(), 1, false, [] {}).doomed);
}

TEST(ProcRptSaveTest, FailuresVoteAbortAndWriteNothing) {
  TestDatabase db;
  AddFactory(db);
  // A task of quantity 0 cannot share out work in process: the batch fails.
  db.Execute("UPDATE ICMO SET FQty = 0");
  Outcome failed = SaveNew(db, 1, kCut, kCutEntry, {{.finish = 10, .pass = 10}});
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.doomed);
  EXPECT_EQ(failed.message, "Divide by zero error encountered.");
  EXPECT_TRUE(failed.save_ret_code.IsEmpty());
  EXPECT_EQ(Rows(db, "SELECT COUNT(*) FROM SHProcRpt"), "0");
  EXPECT_EQ(Rows(db, "SELECT FHRReadyTime, FStartFlag FROM ICMO"), "0/0");

  // A stored report without lines has no total to remember.
  db.Execute("INSERT INTO SHProcRptMain (FInterID) VALUES (5)");
  std::vector<Variant> args{db.dsn(), test_util::SaveVect(5), std::string("keep")};
  Outcome begin = Call("BeginSave", args, 2);
  EXPECT_TRUE(!begin.ok && begin.doomed && begin.message == "keep");
  // EndSave without rows fails before any rule: the abort stands, the result stays true.
  args = {db.dsn(), Variant(), std::string("keep")};
  Outcome end = Call("EndSave", args, 2);
  EXPECT_TRUE(end.ok && end.doomed && end.message == "keep");
}

// The batches of a save and of an uncheck are those the engine cases run (report 20, procedure
// code 582).
TEST(ProcRptSaveTest, SendsTheBatchesTheEngineCasesRun) {
  TestDatabase db;
  std::vector<Variant> save{db.dsn(), 1, 20, std::string(), 0.0, true};
  EXPECT_EQ(SentBatch([&] { EXPECT_TRUE(Call("UpdateInfoAfterSave", save).ok); }),
            EngineCaseBatch(1));
  std::vector<Variant> uncheck{db.dsn(), 1, 20, std::string(), false};
  EXPECT_EQ(SentBatch([&] { EXPECT_TRUE(Call("UpdateInfoAfterCheck", uncheck).ok); }),
            EngineCaseBatch(2));
}

}  // namespace
}  // namespace CorvaMSHTransBills::procrpt_test
