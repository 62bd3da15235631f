// Demo step 80: the planning side of the desk lamp. The forecast PP1 cannot be unchecked, since
// sales order SO1 was derived from it. The planner then enters planned order bill 8002 by hand for
// SO1 (4 boxes of shades, 12.3456 kg of steel): saving it brings the rows to the items' units and
// decimals, attaches them to the latest ordinary MRP run and counts them on SO1; a re-save that
// drops the steel row counts it out again.
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kPPOrder[] = "CorvaMSHTransBills.clsMPPOrder";
constexpr char kPlanOrder[] = "CorvaMSHTransBills.clsMPlanOrder";
constexpr int32_t kForecast = 6001;    // PP1
constexpr int32_t kPlanBill = 8002;    // the planned order bill entered by hand
constexpr int32_t kSalesOrder = 7001;  // SO1

void PrintPlan(const DemoSession& demo, const std::string& title) {
  demo.Say("\n" + title + ".");
  RecordsetPtr rows = demo.Query(
      "SELECT r.FInterID AS Bill, r.FPlanOrderNo AS PlanOrder, t.FName AS Item,"
      " u.FName AS UseUnit, r.FAuxPlanQty AS Qty, iu.FName AS ItemUnit, r.FPlanQty AS BaseQty,"
      " r.FRunID AS Run, r.FCloseType AS CloseType FROM ICMRPResult r"
      " INNER JOIN t_ICItem t ON t.FItemID = r.FItemID"
      " LEFT JOIN t_MeasureUnit u ON u.FMeasureUnitID = r.FUseUnitID"
      " LEFT JOIN t_MeasureUnit iu ON iu.FMeasureUnitID = r.FUnitID"
      " WHERE r.FOrgSaleInterID = 7001 ORDER BY r.FInterID, r.FEntryID");
  demo.PrintTable("Planned orders of SO1", *rows);
  RecordsetPtr order = demo.Query(
      "SELECT FBillNo AS SalesOrder, FChildren AS PlannedOrders FROM SEOrder WHERE FInterID = "
      "7001");
  demo.PrintTable("SO1's count of planned orders", *order);
}

// One planned order row as the planner enters it: quantity in the use unit.
struct PlanRow {
  int entry;
  std::string number;
  int item;
  int use_unit;
  std::string quantity;
};

// The host's save of bill 8002: BeginSave, its own rewrite of the rows (the old ones out, the new
// ones in, counted on SO1), EndSave, all in one transaction.
void SavePlanBill(const DemoSession& demo, const std::vector<PlanRow>& rows) {
  demo.Transaction([&] {
    auto rules = CreateObject(kPlanOrder);
    DictionaryPtr header = MakeDictionary();
    header->SetValue("FInterID", kPlanBill);
    header->SetValue("FAuxReleasedQty", 0);
    header->SetValue("FromManual", 1);
    header->SetValue("FromSystem", 0);
    VectorPtr save_vect = MakeVector();
    save_vect->Add(header);
    std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
    demo.PrintCall("clsMPlanOrder.BeginSave", rules->Invoke("BeginSave", args));
    const std::string bill = std::to_string(kPlanBill);
    demo.Execute("DELETE FROM ICMRPResult WHERE FInterID = " + bill);
    for (const PlanRow& row : rows) {
      demo.Execute(
          "INSERT INTO ICMRPResult (FInterID, FEntryID, FBillNo, FItemID, FUseUnitID,"
          " FAuxPlanQty, FAuxNeedQty, FOrgSaleInterID) VALUES (" +
          bill + ", " + std::to_string(row.entry) + ", '" + row.number + "', " +
          std::to_string(row.item) + ", " + std::to_string(row.use_unit) + ", " + row.quantity +
          ", " + row.quantity + ", " + std::to_string(kSalesOrder) + ")");
    }
    demo.Execute("UPDATE SEOrder SET FChildren = FChildren + " + std::to_string(rows.size()) +
                 " WHERE FInterID = " + std::to_string(kSalesOrder));
    args = {demo.dsn(), save_vect, std::string()};
    demo.PrintCall("clsMPlanOrder.EndSave", rules->Invoke("EndSave", args));
  });
}

void WalkPlanning(DemoSession& demo) {
  demo.Say("Forecast: sales order SO1 was derived from the forecast PP1; unchecking PP1 now");
  demo.Say("would pull the ground from under it.");
  demo.Transaction([&] {
    auto rules = CreateObject(kPPOrder);
    std::vector<Variant> args{demo.dsn(), kForecast,    1, 1, DemoSession::kUserID,
                              Variant(),  std::string()};
    Variant passed = rules->Invoke("PreCheck", args);
    demo.PrintCall("clsMPPOrder.PreCheck (uncheck PP1)", passed, {{"ReturnMsg", args[6]}});
  });

  if (demo.Query("SELECT COUNT(*) FROM ICMRPResult WHERE FInterID = 8002")->Fields(0).AsLong() >
      0) {
    demo.Say("\nThe planned order bill 8002 was saved by an earlier run of the demo.");
    PrintPlan(demo, "As it stands");
    return;
  }
  PrintPlan(demo, "Before: MRP run 9002 planned the 60 lamps of SO1");

  demo.Say("\nThe planner enters bill 8002 by hand for SO1: 4 boxes of shades and 12.3456 kg of");
  demo.Say("steel, to join the latest ordinary MRP run. Shades count in pieces (0 decimals),");
  demo.Say("steel in kg to 3 decimals.");
  SavePlanBill(demo, {{1, "PL2", 302, 2, "4"}, {2, "PL3", 304, 3, "12.3456"}});
  PrintPlan(demo, "Saved: rounded, converted, in run 9002, and SO1 counts three planned orders");

  demo.Say("\nRe-save: the steel is covered from stock after all; bill 8002 keeps the shades.");
  SavePlanBill(demo, {{1, "PL2", 302, 2, "4"}});
  PrintPlan(demo, "Re-saved: SO1 counts two planned orders");
}

const DemoStepRegistrar kStep(
    {80, "PP order and planned orders: an uncheck refused, a hand-entered bill saved for SO1",
     &WalkPlanning});

}  // namespace
}  // namespace corva::cli::demo
