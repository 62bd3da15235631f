// Scenarios of clsMProcRpt: one successful call of each operation that writes (save of a new and
// of a stored report, the re-totals after save, check and delete, quality management's passed
// quantity, the hours and the automatic close) and of BeginSave, which reads what the report held.
// The report tests' factory gives them their data.
#include "bills/procrpt_test_util.h"
#include "harness/harness.h"

namespace corva::harness {
namespace {

using CorvaMSHTransBills::procrpt_test::AddFactory;
using CorvaMSHTransBills::procrpt_test::kCut;
using CorvaMSHTransBills::procrpt_test::kCutEntry;
using CorvaMSHTransBills::procrpt_test::WriteReport;

constexpr char kProcRpt[] = "CorvaMSHTransBills.clsMProcRpt";

// Report 1 on cutting (dispatch entry 301): its whole plan of 20 finished and passed, an hour of
// preparation; cutting has handed all 20 on, so the save closes it.
void Finished(const TestDatabase& db) {
  AddFactory(db);
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyPass = 20, FAuxQtyHandOver = 20 WHERE FWBInterID = 101");
  WriteReport(db, 1, kCut, kCutEntry, {{.finish = 20, .pass = 20, .hr_ready = 1}});
}
// The same report saved and checked by the host (checker 7).
void Checked(const TestDatabase& db) {
  Finished(db);
  db.Execute("UPDATE SHProcRptMain SET FStatus = 1, FCheckerID = 7 WHERE FInterID = 1");
}

// A stored report edited from 12 to 20 finished: what BeginSave remembered.
Args ResaveArgs(const TestDatabase& db) {
  DictionaryPtr old_report = MakeDictionary();
  old_report->SetValue("FAuxQtyFinish", 12);
  old_report->SetValue("FNew", false);
  return {db.dsn(), SaveVect({{"FInterID", 1}, {"OldRpt", old_report}}), std::string()};
}

// Quality management passes 7.5 and scraps 2.5 on line 1 of report 1.
Args QualityArgs(const TestDatabase& db) {
  DictionaryPtr data = MakeDictionary();
  data->SetValue("FTranType", 582);
  data->SetValue("FInterID", 1);
  data->SetValue("FEntryID", 1);
  data->SetValue("FQty", 7.5);
  data->SetValue("FQtyScrap", 2.5);
  return {db.dsn(), data, std::string()};
}

const Scenario kRows[] = {
    {"ProcRpt_BeginSave_stored", kProcRpt, "BeginSave", Finished,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FInterID", 1}}), std::string()};
     },
     Returns(false)},
    // A statement failing before the re-total leaves the result True: the vote tells.
    {"ProcRpt_EndSave_new_closes", kProcRpt, "EndSave", Finished,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FInterID", 1}}), std::string()};
     },
     VotesAbort()},
    {"ProcRpt_EndSave_stored", kProcRpt, "EndSave", Finished, ResaveArgs, VotesAbort()},
    {"ProcRpt_UpdateInfoAfterSave", kProcRpt, "UpdateInfoAfterSave", Finished,
     [](const TestDatabase& db) { return Args{db.dsn(), 0, 1, std::string(), 0.0, true}; },
     Returns(false)},
    {"ProcRpt_UpdateInfoAfterCheck", kProcRpt, "UpdateInfoAfterCheck", Checked,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 0, 1, std::string(), true};
     },
     Returns(false)},
    // Always True: the abort vote alone tells.
    {"ProcRpt_UpdateInfoAfterDel", kProcRpt, "UpdateInfoAfterDel", Checked,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 1, 20.0};
     },
     VotesAbort()},
    {"ProcRpt_UpdateQtyPassByQM_report", kProcRpt, "UpdateQtyPassByQM", Checked, QualityArgs,
     Returns(false)},
    {"ProcRpt_WriteBackTime", kProcRpt, "WriteBackTime", Finished,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 1, false, std::string()};
     },
     Returns(false)},
    {"ProcRpt_AutoCloseSHWork", kProcRpt, "AutoCloseSHWork", Finished,
     [](const TestDatabase& db) {
       return Args{db.dsn(), kCut};
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
