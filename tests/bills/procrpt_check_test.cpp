// Tests of clsMProcRpt's check, uncheck and delete, and of the quantities quality management feeds
// back, through the host's interface: check then uncheck and save then delete bring every total
// back, an uncheck that leaves no checked report zeroes the lines above it, a delete re-opens a
// closed operation, and each kind of passed quantity lands where it belongs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bills/procrpt_test_util.h"

namespace CorvaMSHTransBills::procrpt_test {
namespace {

// The host's check (`undo` 0) or uncheck (1) of report `id`: its status, then the write-back.
Outcome Check(const TestDatabase& db, int id, int undo) {
  TransactionScope tx;
  db.Execute("UPDATE SHProcRptMain SET FStatus = " + N(undo ? 0 : 1) +
             ", FCheckerID = " + (undo ? "NULL" : "7") + " WHERE FInterID = " + N(id));
  std::vector<Variant> args{db.dsn(), undo, id, std::string("keep"), false};
  bool ok = CreateObject(kProgID)->Invoke("UpdateInfoAfterCheck", args).AsBool();
  Outcome outcome{ok, args[3].ToText(), Variant(), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// The host's delete of report `id`: its times and quantities taken back while it is stored, then
// its rows.
Outcome Delete(const TestDatabase& db, int id) {
  TransactionScope tx;
  auto rules = CreateObject(kProgID);
  std::vector<Variant> times{db.dsn(), id, true};
  rules->Invoke("WriteBackTime", times);
  std::vector<Variant> args{
      db.dsn(), id,
      db.Scalar("SELECT ISNULL(SUM(FAuxQtyFinish), 0) FROM SHProcRpt WHERE FInterID = " + N(id))};
  bool ok = rules->Invoke("UpdateInfoAfterDel", args).AsBool();
  db.Execute("DELETE FROM SHProcRpt WHERE FInterID = " + N(id) +
             "\nDELETE FROM SHProcRptMain WHERE FInterID = " + N(id));
  Outcome outcome{ok, "", Variant(), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// Everything a report totals into: entry, operation, task (finished, start date), work in
// process, preparation hours of the task.
std::string Everything(const TestDatabase& db) {
  return EntryTotals(db, kCutEntry) + " " + OperationTotals(db, kCut) + " " +
         Rows(db,
              "SELECT FAuxQtyFinish, CONVERT(varchar(10), FStartDate, 120), FHRReadyTime FROM "
              "ICMO") +
         " " + Wip(db);
}

TEST(ProcRptCheckTest, CheckThenUncheckBringsEveryTotalBack) {
  TestDatabase db;
  AddFactory(db);
  ASSERT_TRUE(SaveNew(db, 1, kCut, kCutEntry, {{.finish = 10, .pass = 9, .scrap = 1}}).ok);
  ASSERT_TRUE(Check(db, 1, 0).ok);
  EXPECT_EQ(Ledger(db, kCut), "9");  // rebuilt from the reports
  ASSERT_TRUE(
      SaveNew(db, 2, kCut, kCutEntry, {{.finish = 5, .pass = 5, .start = "2026-03-01"}}).ok);
  const std::string saved = Everything(db);
  EXPECT_EQ(saved, "15/14/1 15/14/1 15/2026-03-01/0 15/7.5");

  Outcome checked = Check(db, 2, 0);
  EXPECT_TRUE(checked.ok && !checked.doomed && checked.message == "keep");
  EXPECT_EQ(Everything(db), saved);
  EXPECT_EQ(Ledger(db, kCut), "14");
  ASSERT_TRUE(Check(db, 2, 1).ok);
  EXPECT_EQ(Everything(db), saved);  // report 1 is still checked: every report counts
  EXPECT_EQ(Ledger(db, kCut), "9");

  // Unchecking the only checked report zeroes the lines, though report 2 is still there.
  ASSERT_TRUE(Check(db, 1, 1).ok);
  EXPECT_EQ(Everything(db), "0/0/0 0/0/0 0/-/0 15/7.5");
  EXPECT_EQ(Rows(db, "SELECT FWorkStartDate FROM ICTaskDispBillEntry WHERE FTaskDispInterID = 301"),
            "-");
  EXPECT_EQ(Ledger(db, kCut), "");
  // Checking it again with its save consumes its work in process once more.
  std::vector<Variant> args{db.dsn(), 0, 1, std::string(), true};
  db.Execute("UPDATE SHProcRptMain SET FStatus = 1 WHERE FInterID = 1");
  ASSERT_TRUE(Call("UpdateInfoAfterCheck", args).ok);
  EXPECT_EQ(Everything(db), "15/14/1 15/14/1 15/2026-03-01/0 5/2.5");
}

TEST(ProcRptCheckTest, SaveThenDeleteBringsEveryTotalBackAndReopensTheOperation) {
  TestDatabase db;
  AddFactory(db);
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyHandOver = 20 WHERE FWBInterID = 101");
  ASSERT_TRUE(SaveNew(db, 1, kCut, kCutEntry, {{.finish = 19, .pass = 19, .hr_ready = 2}}).ok);
  const std::string saved = Everything(db);
  EXPECT_EQ(Rows(db, "SELECT FStatus FROM SHWorkBillEntry WHERE FWBInterID = 101"), "1");
  // The report that passes the plan's 20 closes the operation, and the entry with it.
  ASSERT_TRUE(SaveNew(db, 2, kCut, kCutEntry, {{.finish = 1, .pass = 1, .hr_ready = 1}}).ok);
  ASSERT_EQ(Rows(db, "SELECT FStatus FROM SHWorkBillEntry WHERE FWBInterID = 101"), "3");
  EXPECT_EQ(Rows(db, "SELECT FStatus FROM ICTaskDispBillEntry WHERE FTaskDispInterID = 301"), "3");

  Outcome deleted = Delete(db, 2);
  EXPECT_TRUE(deleted.ok && !deleted.doomed);
  EXPECT_EQ(Everything(db), saved);
  EXPECT_EQ(Rows(db, "SELECT FStatus FROM SHWorkBillEntry WHERE FWBInterID = 101"), "1");

  // The last report goes: nothing is left reported (the task's dates fall back to today).
  EXPECT_TRUE(Delete(db, 1).ok);
  const std::string nothing =
      "0/0/0 0/0/0 0/" + Rows(db, "SELECT CONVERT(varchar(10), GETDATE(), 120)") + "/0 30/15";
  EXPECT_EQ(Everything(db), nothing);
  // A report already gone changes nothing and asks nothing of the work bill.
  EXPECT_TRUE(Delete(db, 1).ok);
  EXPECT_EQ(Everything(db), nothing);

  // A failing batch: still true, but the abort vote stands and nothing is written.
  ASSERT_TRUE(SaveNew(db, 3, kCut, kCutEntry, {{.finish = 4, .pass = 4}}).ok);
  db.Execute("UPDATE ICMO SET FQty = 0");
  Outcome failed = Delete(db, 3);
  EXPECT_TRUE(failed.ok && failed.doomed);
  EXPECT_EQ(EntryTotals(db, kCutEntry), "4/4/0");
}

TEST(ProcRptQualityTest, EachSourceAddsItsQuantitiesWhereTheyBelong) {
  TestDatabase db;
  AddFactory(db);
  ASSERT_TRUE(SaveNew(db, 1, kCut, kCutEntry, {{.finish = 10}}, 353).ok);
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyPass = 10, FAuxQtyHandOverSel = 12 WHERE FWBInterID = "
      "102\n"
      "INSERT INTO ICShop_FlowCardEntry (FID, FEntryID, FUnitID, FConversion) VALUES (8, 1, 2, 3)");
  auto feed = [&](const std::string& dsn, int type, int id, double qty, double scrap = 0,
                  int card = 0) {
    corva::DictionaryPtr data = corva::MakeDictionary();
    data->SetValue("FTranType", type);
    data->SetValue("FInterID", id);
    data->SetValue("FEntryID", 1);
    data->SetValue("FQty", qty);
    data->SetValue("FQtyScrap", scrap);
    data->SetValue("FCardReport", card);
    std::vector<Variant> args{dsn, data, std::string("keep")};
    return Call("UpdateQtyPassByQM", args, 2);
  };

  // A final inspection request passes work bill operation 102 directly: not below its 12 handed
  // over; scrap taken back never goes below 0.
  Outcome below = feed(db.dsn(), 52, kWeld, 1);
  EXPECT_TRUE(!below.ok && below.doomed);
  EXPECT_EQ(below.message,
            "相对应的工序计划单[WB1-2]的更新后的合格数量[11]\r\n不能小于已转出数量[12].");
  EXPECT_TRUE(feed(db.dsn(), 52, kWeld, 2, -5).ok);
  EXPECT_EQ(OperationTotals(db, kWeld), "0/12/0");

  // A production report's inspection passes report 1's line, and with it entry and operation.
  Outcome passed = feed(db.dsn(), 582, 1, 7.5, 2.5);
  EXPECT_TRUE(passed.ok && !passed.doomed && passed.message == "keep");
  EXPECT_EQ(Rows(db, "SELECT FAuxQtyPass, FQtyPass, FAuxQtyScrap FROM SHProcRpt"), "7.5/15/2.5");
  EXPECT_EQ(EntryTotals(db, kCutEntry), "10/7.5/2.5");
  EXPECT_EQ(OperationTotals(db, kCut), "10/7.5/2.5");
  EXPECT_EQ(Ledger(db, kCut), "7.5");
  // Taken back: the scrap, taken back beyond what there is, stays at 0 everywhere.
  EXPECT_TRUE(feed(db.dsn(), 582, 1, -7.5, -5).ok);
  EXPECT_EQ(EntryTotals(db, kCutEntry), "10/0/0");
  EXPECT_EQ(OperationTotals(db, kCut), "10/0/0");

  // A stock bill's inspection of a flow-card line: the line and its flow card only, whatever was
  // handed over.
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyHandOverSel = 50 WHERE FWBInterID = 101\n"
      "UPDATE SHProcRpt SET FFlowCardInterID = 8, FFlowCardEntryID = 1, FUnitID = 2, "
      "FConversion = 3");
  EXPECT_TRUE(feed(db.dsn(), 582, 1, 4, 0, 1).ok);
  EXPECT_EQ(Rows(db, "SELECT FAuxQtyPass, FOperAuxQtyPass FROM SHProcRpt"), "4/24");
  EXPECT_EQ(Rows(db, "SELECT FAuxQtyPass, FAuxQtyPassCoefficient FROM ICShop_FlowCardEntry"),
            "4/24");
  EXPECT_EQ(EntryTotals(db, kCutEntry), "10/0/0");
  // Without the flow card the same report line is held to the hand-over, unless the report was
  // shifted on automatically.
  EXPECT_FALSE(feed(db.dsn(), 582, 1, 4).ok);
  db.Execute("UPDATE SHProcRptMain SET FAutoOF = 1058");
  EXPECT_TRUE(feed(db.dsn(), 582, 1, 4).ok);

  // Not found: false without a message; an unknown type: the error's description appended.
  Outcome missing = feed(db.dsn(), 52, 999, 1);
  EXPECT_TRUE(!missing.ok && missing.doomed && missing.message == "keep");
  Outcome unknown = feed(db.dsn(), 0, 1, 1);
  EXPECT_TRUE(!unknown.ok && unknown.doomed);
  EXPECT_EQ(unknown.message, "keepCommand text was not set for the command object.");
  EXPECT_FALSE(feed(db.dsn(), 0, 1, 1, 0, 1).ok);  // also where no hand-over rule applies
}

}  // namespace
}  // namespace CorvaMSHTransBills::procrpt_test
