// Scenarios of clsMWorkBill: one successful call of each operation that writes (numbering, save,
// the check's follow-up and the close decision carried out by the default plan-check component).
// The fault-injection and bad-argument harnesses run them; a row here is all a new case needs.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";

void NoRows(const TestDatabase&) {}

// Bill 1 whose two unchecked operations were swapped by the host (sequence 10 now on row 2).
void Reordered(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO SHWorkBill (FInterID, FBillType, FStatus) VALUES (1, 11620, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(1, 11, 1, 20, 0)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(1, 12, 2, 10, 0)");
}

// Rework bill 2 whose checked first operation 21 has a rework receipt selected but not counted.
void Rework(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO SHWorkBill (FInterID, FBillType, FStatus) VALUES (2, 11621, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus,"
      " FAuxRepReceiveSelQty, FRepReceiveSelQty, FAuxRepReceiveQty) VALUES (2, 21, 1, 10, 1, 5,"
      " 50, 0)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus,"
      " FAuxRepReceiveSelQty, FRepReceiveSelQty, FAuxRepReceiveQty) VALUES (2, 22, 2, 20, 1, 6,"
      " 60, 0)");
}

// Operation 11 of rework bill 1, checked, whose whole plan was handed over: it is to be closed.
void Finished(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO SHWorkBill (FInterID, FBillType, FStatus) VALUES (1, 11621, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus, FAuxQtyPlan,"
      " FAuxQtyPass, FAuxQtyHandOver, FAuxConvertQtyHandover, FAuxQtyGain,"
      " FQualifiedReprocessedQty, FReprocessedQty, FReprocessedMoveQty) VALUES (1, 11, 1, 10, 1,"
      " 100, 100, 60, 40, 0, 0, 0, 0)");
}

const Scenario kRows[] = {
    {"WorkBill_GetThisBillNo_reserves", kWorkBill, "GetThisBillNo", NoRows,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 3, true};
     },
     Raises()},
    {"WorkBill_EndSave_renumbers", kWorkBill, "EndSave", Reordered,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FInterID", 1}}), std::string()};
     },
     Returns(false)},
    {"WorkBill_PostCheck_rework", kWorkBill, "PostCheck", Rework,
     [](const TestDatabase& db) { return Args{db.dsn(), 2, 0, 1, 16394, std::string()}; },
     Returns(false)},
    {"WorkBill_AutoCloseBill_closes", kWorkBill, "AutoCloseBill", Finished,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 11, 16394, std::string()};
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
