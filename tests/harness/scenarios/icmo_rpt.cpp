// Scenarios of clsMICMORpt: one successful call of each operation that writes (save of a new and
// of a modified report, line numbering, the hours, the check steps, the task re-total and the
// write-back before a delete) and of PreCheck, which asks the system information component.
#include <string>

#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kICMORpt[] = "CorvaMSHTransBills.clsMICMORpt";

// Task 1: 20 boxes of 10 of a product taking reported quality, released; its material line 11
// with 400 in process, moved by the reports (WIPDeductMode 1). Report 5 (one line of 5 boxes,
// 5 passed, 1 hour of preparation) in `status`, its line not yet numbered.
void Report(const TestDatabase& db, int status) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 10)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal, FProChkMde) VALUES (301, 0, 352)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (303, 2)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus) VALUES"
      " (1, 'MO1', 301, 2, 20, 200, 1)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FQtyMust, FAuxQtyMust,"
      " FQtyScrap, FAuxQtyScrap, FWIPQty, FWIPAuxQty) VALUES (11, 1, 1, 303, 400, 40, 2, 0.25,"
      " 400, 40)\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'WIPDeductMode'\n"
      "INSERT INTO ICMORpt (FInterID, FBillNo, FStatus) VALUES (5, 'TR5', " +
      std::to_string(status) +
      ")\n"
      "INSERT INTO ICMORptEntry (FInterID, FEntryID, FSourceInterID, FUnitID, FAuxQtyFinish,"
      " FAuxQtyPass, FHRReadyTime, FWorkStartDate, FWorkEndDate) VALUES (5, 1, 1, 2, 5, 5, 1,"
      " '2026-03-02', '2026-03-04')");
}
void Saved(const TestDatabase& db) { Report(db, 0); }
void Checked(const TestDatabase& db) { Report(db, 1); }
// Saved, under the period control: finished after the current period's start.
void InPeriod(const TestDatabase& db) {
  Report(db, 0);
  db.Execute(
      "UPDATE t_SystemProfile SET FValue = '2026' WHERE FKey = 'CurrentYear'\n"
      "UPDATE t_SystemProfile SET FValue = '3' WHERE FKey = 'CurrentPeriod'\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'ICMORptPeriod'");
}

// PreCheck, CheckBill or PostCheck of report 5 by checker 9: `undo` 0 checks, 1 unchecks.
template <int kUndo>
Args PreCheckArgs(const TestDatabase& db) {
  return {db.dsn(), 5, kUndo, 1, 9, Variant(), std::string()};
}
template <int kUndo>
Args PostCheckArgs(const TestDatabase& db) {
  return {db.dsn(), 5, kUndo, 1, 9, std::string()};
}

// A modified report: one box more on task 1 ("FExtDataDict" of SaveVect(2)).
Args ModifiedSaveArgs(const TestDatabase& db) {
  VectorPtr save_vect = SaveVect({{"FInterID", 5}});
  DictionaryPtr change = MakeDictionary();
  change->SetValue("FDiff", 1);
  change->SetValue("FEntryDeleted", false);
  DictionaryPtr changes = MakeDictionary();
  changes->SetValue("1", change);
  save_vect->Add(changes);
  return {db.dsn(), save_vect, std::string()};
}

const Scenario kRows[] = {
    // The save's last step, the task's start mark, belongs to clsMSynBills, which votes for
    // itself: when it fails, its abort dooms the save although the save answers True.
    {"ICMORpt_EndSave_new", kICMORpt, "EndSave", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FInterID", 5}}), std::string()};
     },
     VotesAbort()},
    {"ICMORpt_EndSave_modified", kICMORpt, "EndSave", Saved, ModifiedSaveArgs, VotesAbort()},
    {"ICMORpt_UpdateEntryInterID", kICMORpt, "UpdateEntryInterID", Saved,
     [](const TestDatabase& db) { return Args{db.dsn()}; }, Raises()},
    {"ICMORpt_WriteBackTime", kICMORpt, "WriteBackTime", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 5, false, std::string()};
     },
     Returns(false)},
    {"ICMORpt_PreCheck_in_period", kICMORpt, "PreCheck", InPeriod, PreCheckArgs<0>, Returns(false)},
    {"ICMORpt_CheckBill", kICMORpt, "CheckBill", Saved,
     [](const TestDatabase& db) { return Args{db.dsn(), 5, 0, 1, 9, "2026-03-05", std::string()}; },
     Returns(false)},
    {"ICMORpt_PostCheck_check", kICMORpt, "PostCheck", Checked, PostCheckArgs<0>, Returns(false)},
    {"ICMORpt_PostCheck_uncheck", kICMORpt, "PostCheck", Saved, PostCheckArgs<1>, Returns(false)},
    {"ICMORpt_SynICMOAndICMORpt", kICMORpt, "SynICMOAndICMORpt", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 5};
     },
     Returns(false)},
    {"ICMORpt_WriteBackAfterDeleteBill", kICMORpt, "WriteBackAfterDeleteBill", Checked,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 5, 551, MakeDictionary()};
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
