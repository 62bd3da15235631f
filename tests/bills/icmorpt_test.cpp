// Tests of clsMICMORpt through the host's interface (CreateObject, Invoke, TransactionScope) on a
// fresh embedded database per test: reports summing into their production tasks on save, line
// numbering, check and uncheck with the work in process, the delete write-back, the refusals (each
// writing nothing) and the period control with the default system information component.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "corva/corva.h"
#include "host/registry.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills {
namespace {

using corva::CreateObject;
using corva::DictionaryPtr;
using corva::MakeDictionary;
using corva::Variant;
using corva::testing::TestDatabase;
using test_util::Rows;

constexpr char kProgID[] = "CorvaMSHTransBills.clsMICMORpt";
constexpr int kChecker = 9;

// Task 1: 20 boxes of 10 (200 pieces) of a product taking reported quality, released; its material
// line needs 400 (40 in the task's unit), usage 2 per piece, 400 in process. Task 2: 10 pieces of a
// product whose quality comes from inspection. Task 3: released but suspended.
void AddTasks(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (1, 1, 1)\n"
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 10)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal, FProChkMde) VALUES (301, 0, 352)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal, FProChkMde) VALUES (302, 0, 351)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (303, 2)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus) VALUES "
      "(1, 'MO1', 301, 2, 20, 200, 1)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus) VALUES "
      "(2, 'MO2', 302, 1, 10, 10, 2)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FStatus, FSuspend) VALUES "
      "(3, 'MO3', 301, 1, 1, 1)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FQtyMust, FAuxQtyMust,"
      " FQtyScrap, FAuxQtyScrap, FWIPQty, FWIPAuxQty) VALUES (11, 1, 1, 303, 400, 40, 2, 0.25,"
      " 400, 40)");
}

// Report `report` (header "TR<report>") with one line per call of AddLine.
void AddReport(const TestDatabase& db, int report) {
  db.Execute("INSERT INTO ICMORpt (FInterID, FBillNo) VALUES (" + std::to_string(report) + ", 'TR" +
             std::to_string(report) + "')");
}
void AddLine(const TestDatabase& db, int report, int entry, int task, const std::string& finish,
             const std::string& pass, const std::string& more_columns = "",
             const std::string& more_values = "") {
  db.Execute(
      "INSERT INTO ICMORptEntry (FInterID, FEntryID, FSourceInterID, FUnitID, FAuxQtyFinish,"
      " FAuxQtyPass" +
      more_columns + ") SELECT " + std::to_string(report) + ", " + std::to_string(entry) + ", " +
      std::to_string(task) + ", FUnitID, " + finish + ", " + pass + more_values +
      " FROM ICMO WHERE FInterID = " + std::to_string(task));
}

// "finished/passed/scrapped/for-item/lost base-finished/base-passed" of a task.
std::string Quantities(const TestDatabase& db, int task) {
  return Rows(db,
              "SELECT FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap, FAuxQtyForItem, FAuxQtyLost FROM "
              "ICMO WHERE FInterID = " +
                  std::to_string(task)) +
         " " +
         Rows(db, "SELECT FQtyFinish, FQtyPass FROM ICMO WHERE FInterID = " + std::to_string(task));
}
// "start/finish" days, "work/ready/fix/preparation" hours and the start mark of a task.
std::string DatesAndHours(const TestDatabase& db, int task) {
  return Rows(db,
              "SELECT CONVERT(varchar(10), FStartDate, 120), CONVERT(varchar(10), FFinishDate, "
              "120), FFinishTime, FReadyTime, FFixTime, FHRReadyTime, FStartFlag FROM ICMO WHERE "
              "FInterID = " +
                  std::to_string(task));
}
std::string Wip(const TestDatabase& db) {
  return Rows(db, "SELECT FWIPQty, FWIPAuxQty FROM PPBOMEntry WHERE FInterID = 11");
}
std::string LineIds(const TestDatabase& db) {
  return Rows(db,
              "SELECT FInterID, FEntryID, FICMORptInterID FROM ICMORptEntry ORDER BY FInterID, "
              "FEntryID") +
         " max " + Rows(db, "SELECT FMaxNum FROM ICMaxNum WHERE FTableName = 'IcmoRpt'");
}

struct Outcome {
  bool result;
  std::vector<Variant> args;  // as they came back
  bool doomed;
};

Outcome Call(const std::string& op, std::vector<Variant> args) {
  corva::TransactionScope tx;
  bool result = CreateObject(kProgID)->Invoke(op, args).AsBool();
  Outcome outcome{result, args, tx.Doomed()};
  tx.Commit();
  return outcome;
}

// EndSave of `report`; with `changes` a modified report (SaveVect(2) = its "FExtDataDict").
// Returns ReturnMsg, after checking that result, vote and "SaveRetCode" agree.
std::string EndSave(const std::string& dsn, int report, DictionaryPtr changes = nullptr) {
  corva::VectorPtr save_vect = test_util::SaveVect(report);
  DictionaryPtr header = test_util::Header(save_vect);
  if (changes) save_vect->Add(changes);
  Outcome saved = Call("EndSave", {dsn, save_vect, std::string("keep")});
  EXPECT_EQ(saved.doomed, !saved.result);
  EXPECT_EQ(header->Value("SaveRetCode"), saved.result ? Variant() : Variant(99));
  return saved.result ? "saved" : saved.args[2].ToText();
}

// "FDiff" and "FEntryDeleted" of one task in a modified report's "FExtDataDict".
DictionaryPtr Change(double diff, bool entry_deleted = false) {
  DictionaryPtr change = MakeDictionary();
  change->SetValue("FDiff", diff);
  change->SetValue("FEntryDeleted", entry_deleted);
  return change;
}

// PreCheck, CheckBill and PostCheck of a check (`undo` 0) or uncheck (1), as the host runs them;
// "" when all three passed, else ReturnMsg of the first that refused.
std::string CheckReport(const std::string& dsn, int report, int undo) {
  Outcome pre = Call("PreCheck", {dsn, report, undo, 1, kChecker, Variant(), std::string()});
  if (!pre.result) return pre.args[6].ToText();
  Outcome check = Call("CheckBill", {dsn, report, undo, 1, kChecker, "2026-03-05", std::string()});
  if (!check.result) return check.args[6].ToText();
  Outcome post = Call("PostCheck", {dsn, report, undo, 1, kChecker, std::string()});
  return post.result ? "" : post.args[5].ToText();
}

const char kTimes[] = ", FTimeUnitID, FTimeHrWork, FTimeEngPrepare, FTimeEngWork, FHRReadyTime";

TEST(ICMORptSaveTest, ReportsSumIntoTheirTasksAndLinesAreNumberedAcrossSaves) {
  TestDatabase db;
  AddTasks(db);
  AddReport(db, 5);  // booked in minutes
  AddLine(db, 5, 1, 1, "10", "8",
          std::string(kTimes) +
              ", FAuxQtyScrap, FAuxQtyForItem, FAuxQtyLoss, FWorkStartDate,"
              " FWorkEndDate",
          ", 11081, 90, 30, 15, 30, 1, 0.5, 0.5, '2026-03-02', '2026-03-04'");
  EXPECT_EQ(EndSave(db.dsn(), 5), "saved");
  EXPECT_EQ(Quantities(db, 1), "10/8/1/0.5/0.5 100/80");
  EXPECT_EQ(DatesAndHours(db, 1), "2026-03-02/2026-03-04/1.5/0.5/0.25/0.5/1");
  EXPECT_EQ(Rows(db, "SELECT FQtyFinish, FQtyScrap, FBTimeHrWork FROM ICMORptEntry"), "100/10/1.5");

  AddReport(db, 6);  // booked in days, on both tasks
  AddLine(db, 6, 1, 1, "6", "6", ", FTimeUnitID, FHRReadyTime, FWorkStartDate, FWorkEndDate",
          ", 11083, 0.5, '2026-03-01', '2026-03-06'");
  AddLine(db, 6, 2, 2, "4", "3", ", FAuxQtyScrap", ", 1");
  EXPECT_EQ(EndSave(db.dsn(), 6), "saved");
  EXPECT_EQ(Quantities(db, 1), "16/14/1/0.5/0.5 160/140");
  EXPECT_EQ(DatesAndHours(db, 1), "2026-03-01/2026-03-06/1.5/0.5/0.25/12.5/1");
  EXPECT_EQ(Quantities(db, 2), "4/0/0/0/0 4/0");  // quality from inspection: passed stays
  EXPECT_EQ(LineIds(db), "5/1/1001 6/1/1002 6/2/1003 max 1003");

  // Modified: report 5 reports 2 more; report 6 moves its first line to task 2, so task 1 is
  // rewritten although no line of report 6 points to it any more. Ids are kept.
  db.Execute("UPDATE ICMORptEntry SET FAuxQtyFinish = 12 WHERE FInterID = 5");
  DictionaryPtr changes = MakeDictionary();
  changes->SetValue("1", Change(2));
  EXPECT_EQ(EndSave(db.dsn(), 5, changes), "saved");
  EXPECT_EQ(Quantities(db, 1), "18/14/1/0.5/0.5 180/140");
  db.Execute("UPDATE ICMORptEntry SET FSourceInterID = 2 WHERE FInterID = 6");
  changes = MakeDictionary();
  changes->SetValue("1", Change(-6, true));
  changes->SetValue("2", Change(6));
  EXPECT_EQ(EndSave(db.dsn(), 6, changes), "saved");
  EXPECT_EQ(Quantities(db, 1), "12/8/1/0.5/0.5 120/80");
  EXPECT_EQ(Quantities(db, 2), "10/0/0/0/0 10/0");
  AddReport(db, 7);
  AddLine(db, 7, 1, 2, "1", "1");
  EXPECT_EQ(EndSave(db.dsn(), 7), "saved");
  EXPECT_EQ(LineIds(db), "5/1/1001 6/1/1002 6/2/1003 7/1/1004 max 1004");
}

TEST(ICMORptSaveTest, RefusalsAndErrorsWriteNothing) {
  TestDatabase db;
  AddTasks(db);
  const std::string task = Quantities(db, 1) + DatesAndHours(db, 1);
  // Only the first line's task is examined: a suspended one refuses the whole report.
  AddReport(db, 5);
  AddLine(db, 5, 1, 3, "1", "1");
  AddLine(db, 5, 2, 1, "1", "1", ", FHRReadyTime", ", 2");
  EXPECT_EQ(EndSave(db.dsn(), 5), "任务单汇报关联的生产任务单已被挂起,单据不能保存,请检查。");
  db.Execute("UPDATE ICMO SET FSuspend = 0, FCancellation = 1 WHERE FInterID = 3");
  EXPECT_EQ(EndSave(db.dsn(), 5), "任务单汇报关联的生产任务单已被取消,单据不能保存,请检查。");
  db.Execute("UPDATE ICMO SET FCancellation = 0, FStatus = 0 WHERE FInterID = 3");
  EXPECT_EQ(EndSave(db.dsn("en"), 5),
            "The production task of the report is not released; the report cannot be saved. "
            "Please verify.");
  // Lines whose task is gone do not count as first line; with no task left the report is refused.
  db.Execute("DELETE FROM ICMO WHERE FInterID = 3\nUPDATE ICMORptEntry SET FSourceInterID = 99");
  EXPECT_EQ(EndSave(db.dsn(), 5), "任务单汇报关联的生产任务单不存在,可能已被删除,请检查。");

  // Past the state checks the lines are numbered and the hours written before the check rules
  // refuse: the refusal's abort vote takes all of it back. The message names the task at fault.
  db.Execute(
      "UPDATE ICMORptEntry SET FSourceInterID = 2, FAuxQtyPass = 2 WHERE FEntryID = 1\n"
      "UPDATE ICMORptEntry SET FSourceInterID = 1 WHERE FEntryID = 2");
  EXPECT_EQ(EndSave(db.dsn(), 5),
            "对应的任务单[MO2]下的所有任务单汇报的实作数之和[1]不能小于合格数之和[2]+"
            "因工报废数之和[0]+因料报废数之和[0]+遗失数之和[0]=[2]\r\n");
  EXPECT_EQ(LineIds(db), "5/1/0 5/2/0 max 1000");
  EXPECT_EQ(Quantities(db, 1) + DatesAndHours(db, 1), task);

  // A run-time error refuses the save too, with the database's description.
  db.Execute("UPDATE ICMORptEntry SET FAuxQtyPass = 1 WHERE FEntryID = 1");
  db.Execute("DROP TABLE ICMaxNum");
  EXPECT_NE(EndSave(db.dsn(), 5).find("ICMaxNum"), std::string::npos);
  EXPECT_EQ(Rows(db, "SELECT FHRReadyTime, FStartFlag FROM ICMO WHERE FInterID = 1"), "0/0");
}

TEST(ICMORptCheckTest, CheckThenUncheckLeavesTaskAndWorkInProcessAsTheyWere) {
  TestDatabase db;
  AddTasks(db);
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'WIPDeductMode'");
  AddReport(db, 5);
  AddLine(db, 5, 1, 1, "5", "5");
  EXPECT_EQ(EndSave(db.dsn(), 5), "saved");  // new: 50 of 200 pieces take 100 of 400 off
  EXPECT_EQ(Wip(db), "300/30");
  db.Execute("UPDATE ICMORptEntry SET FAuxQtyFinish = 6");
  DictionaryPtr changes = MakeDictionary();
  changes->SetValue("1", Change(1));
  EXPECT_EQ(EndSave(db.dsn(), 5, changes), "saved");  // modified: only the 1 more box
  EXPECT_EQ(Wip(db), "280/28");
  const std::string task = Quantities(db, 1) + DatesAndHours(db, 1);

  std::vector<std::string> sent = test_util::Sent([&] {
    EXPECT_EQ(CheckReport(db.dsn(), 5, 0), "");
    EXPECT_EQ(Rows(db,
                   "SELECT FStatus, FCheckerID, CONVERT(varchar(10), FCheckDate, 120) FROM "
                   "ICMORpt"),
              "1/9/2026-03-05");
    EXPECT_EQ(Wip(db), "160/16");
    EXPECT_EQ(CheckReport(db.dsn(), 5, 1), "");
  });
  EXPECT_EQ(Rows(db, "SELECT FStatus, FCheckerID, FCheckDate FROM ICMORpt"), "0/-/-");
  EXPECT_EQ(Wip(db), "280/28");
  EXPECT_EQ(Quantities(db, 1) + DatesAndHours(db, 1), task);
  EXPECT_TRUE(test_util::Contains(sent,
                                  "Update ICMORpt Set FCheckerID = 9,FCheckDate = '2026-03-05',"
                                  "FStatus = 1 Where FInterID = 5"));
  EXPECT_TRUE(test_util::Contains(sent,
                                  "Update ICMORpt Set FCheckerID = NULL,FCheckDate = NULL,FStatus "
                                  "= 0 Where FInterID = 5"));

  // Standard usage per piece: 60 pieces x 2 in the base unit, x 0.25 in the line's own unit,
  // each over the task unit's coefficient 10.
  db.Execute("UPDATE t_SystemProfile SET FValue = '2' WHERE FKey = 'BACKFLUSH_STANDARD'");
  EXPECT_TRUE(Call("PostCheck", {db.dsn(), 5, 0, 1, kChecker}).result);
  EXPECT_EQ(Wip(db), "268/26.5");
  EXPECT_TRUE(Call("PostCheck", {db.dsn(), 5, 1, 1, kChecker}).result);
  EXPECT_EQ(Wip(db), "280/28");

  // A task planned for nothing has no shares: the write-back fails with the database's reason.
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'BACKFLUSH_STANDARD'");
  db.Execute("UPDATE ICMO SET FQty = 0 WHERE FInterID = 1");
  std::string failed = CheckReport(db.dsn(), 5, 0);
  EXPECT_EQ(failed.rfind("反写任务单失败！\r\n", 0), 0u) << failed;
  EXPECT_GT(failed.size(), std::string("反写任务单失败！\r\n").size());
}

TEST(ICMORptDeleteTest, DeleteTakesTheReportOutOfItsTasksUnlessBillsFollowIt) {
  TestDatabase db;
  AddTasks(db);
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'WIPDeductMode'");
  AddReport(db, 5);
  AddLine(db, 5, 1, 1, "10", "10", ", FHRReadyTime", ", 1");
  AddReport(db, 6);
  AddLine(db, 6, 1, 1, "4", "4", ", FHRReadyTime", ", 2");
  EXPECT_EQ(EndSave(db.dsn(), 5), "saved");
  EXPECT_EQ(EndSave(db.dsn(), 6), "saved");
  EXPECT_EQ(Wip(db), "120/12");

  auto delete_report = [&](int report, int type) {
    DictionaryPtr params = MakeDictionary();
    Outcome outcome = Call("WriteBackAfterDeleteBill", {db.dsn(), report, type, params});
    EXPECT_EQ(outcome.doomed, !outcome.result);
    return params;
  };
  DictionaryPtr done = delete_report(5, 551);
  EXPECT_EQ(done->Value("ReturnString"), Variant(""));
  EXPECT_FALSE(done->Contains("ErrObject"));
  EXPECT_EQ(Quantities(db, 1), "4/4/0/0/0 40/40");
  EXPECT_EQ(Rows(db, "SELECT FHRReadyTime FROM ICMO WHERE FInterID = 1"), "2");
  EXPECT_EQ(Wip(db), "320/32");
  db.Execute("DELETE FROM ICMORptEntry WHERE FInterID = 5\nDELETE FROM ICMORpt WHERE FInterID = 5");

  const std::string state = Quantities(db, 1) + DatesAndHours(db, 1) + Wip(db);
  EXPECT_FALSE(delete_report(6, 582)->Contains("ErrObject"));  // another bill type: nothing
  EXPECT_EQ(Quantities(db, 1) + DatesAndHours(db, 1) + Wip(db), state);

  // A product receipt made from the report: refused, and the hours taken out are put back.
  db.Execute(
      "INSERT INTO ICStockBillEntry_2 (FInterID, FEntryID, FSourceTranType,"
      " FSourceInterID) VALUES (1, 1, 551, 6)");
  DictionaryPtr refused = delete_report(6, 551);
  auto err = refused->Value("ErrObject").As<corva::Dispatch>();
  ASSERT_TRUE(err);
  std::vector<Variant> none;
  EXPECT_EQ(err->Invoke("Number", none), Variant(5));
  EXPECT_EQ(err->Invoke("Source", none), Variant("反写任务单失败！"));
  EXPECT_EQ(err->Invoke("Description", none),
            Variant("该任务汇报单存在关联的单据:产品入库单!\r\n"));
  EXPECT_EQ(refused->Value("ReturnString"), err->Invoke("Description", none));
  EXPECT_EQ(Quantities(db, 1) + DatesAndHours(db, 1) + Wip(db), state);

  // The same for an inspection of the report; and a closed task locks the report altogether.
  db.Execute(
      "DELETE FROM ICStockBillEntry_2\nINSERT INTO QM_QualityCheckEntry (FID, FEntryID,"
      " FClassID_SRC, FID_SRC) VALUES (1, 1, -551, 6)");
  EXPECT_EQ(delete_report(6, 551)->Value("ReturnString"),
            Variant("该任务汇报单存在关联的单据:检验单!\r\n"));
  db.Execute("UPDATE ICMO SET FStatus = 3 WHERE FInterID = 1");
  EXPECT_EQ(CheckReport(db.dsn(), 6, 0),
            "任务汇报单的相关单据处于关闭或结案状态，本操作被禁止！\r\n");
  EXPECT_EQ(CheckReport(db.dsn(), 6, 1),
            "任务汇报单的相关单据处于关闭或结案状态，本操作被禁止！\r\n");
}

// The system information component's default answers the start of the current IC period.
class ReplacedSysInfo : public corva::Dispatch {
 public:
  Variant Invoke(const std::string&, std::vector<Variant>&) override { return "2026-02-01"; }
};

TEST(ICMORptPeriodTest, ReportsFinishedBeforeThePeriodAreFrozen) {
  TestDatabase db;
  AddTasks(db);
  AddReport(db, 5);
  AddLine(db, 5, 1, 1, "1", "1", ", FWorkEndDate", ", '2026-02-27'");
  AddLine(db, 5, 2, 1, "1", "1", ", FWorkEndDate", ", '2026-03-02'");
  db.Execute(
      "UPDATE t_SystemProfile SET FValue = '2026' WHERE FKey = 'CurrentYear'\n"
      "UPDATE t_SystemProfile SET FValue = '3' WHERE FKey = 'CurrentPeriod'\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'ICMORptPeriod'");
  std::vector<Variant> args{db.dsn()};
  EXPECT_EQ(CreateObject("DocStore.SysInfo")->Invoke("GetPeriodStartDate", args).AsDate(),
            corva::Date::FromParts(2026, 3, 1));

  auto pre_check = [&](const std::string& dsn, int undo, int process, int user = kChecker) {
    Outcome outcome = Call("PreCheck", {dsn, 5, undo, process, user, Variant(), std::string()});
    EXPECT_EQ(outcome.doomed, !outcome.result);
    return outcome.result ? "" : outcome.args[6].ToText();
  };
  EXPECT_EQ(pre_check(db.dsn(), 0, 1), "不允许审核实际完工日期为当前期间以前的单据！\r\n");
  EXPECT_EQ(pre_check(db.dsn("en"), 1, 3),
            "Delete is not allowed: the actual finish date of the report lies before the current "
            "period!\r\n");
  EXPECT_EQ(pre_check(db.dsn(), 0, 1, 0), "审核操作时,系统传递给审核中间层的审核人为空！\r\n");
  {
    corva::ComponentFactory library_default = corva::host::FindComponentFactory("DocStore.SysInfo");
    corva::RegisterComponent("DocStore.SysInfo", corva::host::FactoryOf<ReplacedSysInfo>());
    EXPECT_EQ(pre_check(db.dsn(), 0, 1), "");
    corva::RegisterComponent("DocStore.SysInfo", library_default);
  }
  // Without the current period the default cannot answer: the check fails with its reason.
  db.Execute("UPDATE t_SystemProfile SET FValue = '2031' WHERE FKey = 'CurrentYear'");
  EXPECT_EQ(pre_check(db.dsn(), 0, 1), "\r\n当前会计期间未定义,无法取得期间开始日期。");
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'ICMORptPeriod'");
  EXPECT_EQ(pre_check(db.dsn(), 0, 1), "");
}

}  // namespace
}  // namespace CorvaMSHTransBills
