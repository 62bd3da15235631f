// Scenarios of clsMSynBills's synchronization: the production task following its work bill, the
// start mark, and the re-totals of an operation from its dispatch entries and its shift bills.
// The stock-bill hook of the same class has its own file (stock_bill_hook.cpp).
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kSynBills[] = "CorvaMSHTransBills.clsMSynBills";

// Task 1, released and not started, counted in boxes of ten; its work bill 10 with operations
// 101 and 102; dispatch entry 5001 (checked) and shift bill 1 (checked) from 101 to 102.
void Chain(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 10)\n"
      "INSERT INTO ICMO (FInterID, FUnitID, FStatus) VALUES (1, 2, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID) VALUES (10, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FAuxQtyFinish, FAuxQtyPass,"
      " FStartWorkDate, FEndWorkDate) VALUES (10, 101, 1, 12.5, 11, '2026-03-02', '2026-03-04')\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FAuxQtyFinish, FAuxQtyPass,"
      " FStartWorkDate, FEndWorkDate) VALUES (10, 102, 2, 10, 9.5, '2026-03-05', '2026-03-09')\n"
      "INSERT INTO ICTaskDispBill (FInterID, FWorkBillInterID) VALUES (50, 101)\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FStatus, FAuxQtyPlan,"
      " FAuxQtyFinish, FAuxQtyPass, FWorkStartDate, FWorkEndDate) VALUES (50, 1, 5001, 1, 10, 8,"
      " 7.5, '2026-03-03', '2026-03-05')\n"
      "INSERT INTO ICOperShift (FInterID, FOutWBInterID, FInWBInterID, FAuxQtyShift, FStatus)"
      " VALUES (1, 101, 102, 4, 1)");
}

const Scenario kRows[] = {
    // No error trap: a failing statement reaches the caller after the abort vote.
    {"SynBills_SynICMOAndWorkBill_of_task", kSynBills, "SynICMOAndWorkBill", Chain,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 1};
     },
     Raises()},
    {"SynBills_UpdateICMoStartFlag_marks", kSynBills, "UpdateICMoStartFlag", Chain,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 1};
     },
     Returns(false)},
    // Re-totals operation 101 from the entry, then carries the work bill up to the task.
    {"SynBills_SynWorkBillAndTaskDisp_of_entry", kSynBills, "SynWorkBillAndTaskDisp", Chain,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 0, 5001};
     },
     Returns(false)},
    {"SynBills_SynWorkBillAndOperShift_of_bill", kSynBills, "SynWorkBillAndOperShift", Chain,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 0, 1};
     },
     Returns(false)},
    {"SynBills_SynWorkBillAndOperShift_of_operation", kSynBills, "SynWorkBillAndOperShift", Chain,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 102};
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
