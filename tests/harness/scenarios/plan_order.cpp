// Scenarios of clsMPlanOrder: the save that brings a planned-order bill's rows to their items'
// units and decimals and joins a hand-entered bill to its MRP run. BeginSave passes over its
// errors statement by statement by design, so a failing statement cannot fail it: the sweep
// covers it; the merge and split operations do nothing.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kPlanOrder[] = "CorvaMSHTransBills.clsMPlanOrder";

// Item 40 (2 decimals, unit 1) and use unit 12 of 12; planned-order bill 3 with a row of 1.005
// of item 40 in unit 12 for sales order 700 and one without order; MRP run 1 of kind 1. The
// delete trigger stands switched off, as BeginSave left it.
void Bill(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (1, 1, 1)\n"
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (12, 12, 12)\n"
      "INSERT INTO t_ICItem (FItemID, FUnitID, FQtyDecimal) VALUES (40, 1, 2)\n"
      "INSERT INTO SEOrder (FInterID, FChildren) VALUES (700, 1)\n"
      "INSERT INTO ICMRPInfo (FInterID, FType) VALUES (1, 1)\n"
      "INSERT INTO ICMRPResult (FInterID, FEntryID, FBillNo, FItemID, FUseUnitID, FAuxPlanQty,"
      " FOrgSaleInterID) VALUES (3, 1, 'PL3-1', 40, 12, 1.005, 700)\n"
      "INSERT INTO ICMRPResult (FInterID, FEntryID, FBillNo, FItemID, FUseUnitID, FAuxPlanQty)"
      " VALUES (3, 2, 'PL3-2', 40, 12, 2)\n"
      "ALTER TABLE ICMRPResult DISABLE Trigger ICMrpResult_Del");
}

const Scenario kRows[] = {
    {"PlanOrder_EndSave_by_hand", kPlanOrder, "EndSave", Bill,
     [](const TestDatabase& db) {
       return Args{
           db.dsn(),
           SaveVect(
               {{"FInterID", 3}, {"FAuxReleasedQty", 0.5}, {"FromManual", 1}, {"FromSystem", 1}}),
           std::string()};
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
