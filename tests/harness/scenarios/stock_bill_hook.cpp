// Scenarios of the stock-bill hook (clsMSynBills.HookInvoke): one bill of each kind production
// follows (product receipt, the two issues, the workshop material bill, the item scrap bill, the
// transfer), applied with the site's controls and automatic close on, so that each handler runs
// every statement it has. The hook tests' factory gives them their data.
#include <string>
#include <utility>
#include <vector>

#include "harness/harness.h"
#include "sync/hook_test_util.h"

namespace corva::harness {
namespace {

using CorvaMSHTransBills::sync_test::AddHookFactory;
using CorvaMSHTransBills::sync_test::AddStockBill;
using CorvaMSHTransBills::sync_test::Setting;

constexpr char kSynBills[] = "CorvaMSHTransBills.clsMSynBills";

// The hook factory (task 90, its material list 800, operations 501 and 502) with tasks closed
// automatically when all is issued or the lower receipt limit is reached.
void Factory(const TestDatabase& db) {
  AddHookFactory(db);
  Setting(db, "SH", "MO_CLOSEOPTION", "3");
}

// A receipt of 8 products from a shift bill and a task report line, and a grade product, under
// the kit control (10 pairs of key material 11 issued make 8 kits).
void Receipt(const TestDatabase& db) {
  Factory(db);
  Setting(db, "IC", "ProductSuitControl", "2");
  Setting(db, "IC", "ProductSuitControlItem", "2");
  AddStockBill(db, "ICStockBill", 7101, 1, 0,
               {{1, 5, 90, 0, 581, 70}, {14, 1, 90, 4, 85}, {1, 3, 90, 0, 551, 80, 1}});
}

// Issue of material for operation 501, inside the material list's supply, under the strict issue
// and scrap controls.
void Issue(const TestDatabase& db) {
  Factory(db);
  Setting(db, "IC", "StrictToPPBOM", "1");
  Setting(db, "SH", "ITEMSCRAP_CONTROLQTY", "1");
  db.Execute("UPDATE PPBOMEntry SET FQtySupply = 10 WHERE FEntryID = 1");
  AddStockBill(db, "ICStockBill", 7001, 1, 501, {{11, 8, 90, 1, 85}});
}

// An outsourced issue naming the material list, in the site's per-type tables.
void OutsourcedIssue(const TestDatabase& db) {
  Factory(db);
  AddStockBill(db, "ICStockBill_28", 7011, 1, 0, {{11, 6, 800, 1, 85}});
}

void WorkshopMaterial(const TestDatabase& db) {
  Factory(db);
  AddStockBill(db, "ICSTJGBill", 7021, 1, 502, {{11, 2, 90, 1, 85}});
}

// A scrap line on task 90, which has received its lower limit.
void Scrap(const TestDatabase& db) {
  Factory(db);
  db.Execute(
      "UPDATE ICMO SET FAuxStockQty = 8, FStockFlag = 0\n"
      "INSERT INTO ICItemScrapEntry (FInterID, FEntryID, FICMOInterID, FItemID) VALUES (7201, 1,"
      " 90, 11)");
}

// Material moved back to the line's own store, and away from another one.
void Transfer(const TestDatabase& db) {
  Factory(db);
  AddStockBill(db, "ICStockBill", 7031, 1, 0,
               {{11, 4, 90, 1, 85, 90, 0, 401}, {11, 6, 90, 1, 85, 90, 0, 403}});
}

// HookInvoke's arguments: event 0 and a fresh DictParams with "sDsn" and `params`.
Args Hook(const TestDatabase& db, std::vector<std::pair<const char*, Variant>> params) {
  DictionaryPtr dict = MakeDictionary();
  dict->SetValue("sDsn", db.dsn());
  for (auto& [key, value] : params) dict->SetValue(key, value);
  return {0, dict};
}

const Scenario kRows[] = {
    {"Hook_ProductIn_receipt", kSynBills, "HookInvoke", Receipt,
     [](const TestDatabase& db) {
       return Hook(db, {{"TranType", 2}, {"OperateCode", 1}, {"InterID", 7101}, {"ReCheck", 0}});
     },
     Returns(false)},
    {"Hook_MaterialIssue_24", kSynBills, "HookInvoke", Issue,
     [](const TestDatabase& db) {
       return Hook(db, {{"TranType", 24}, {"OperateCode", 1}, {"InterID", 7001}});
     },
     Returns(false)},
    {"Hook_MaterialIssue_28_per_type", kSynBills, "HookInvoke", OutsourcedIssue,
     [](const TestDatabase& db) {
       return Hook(db,
                   {{"TranType", 28}, {"OperateCode", 4}, {"InterID", 7011}, {"BillPosTag", 1}});
     },
     Returns(false)},
    {"Hook_WorkshopMaterial_137", kSynBills, "HookInvoke", WorkshopMaterial,
     [](const TestDatabase& db) {
       return Hook(db, {{"TranType", 137}, {"OperateCode", 1}, {"InterID", 7021}});
     },
     Returns(false)},
    {"Hook_ItemScrap_55", kSynBills, "HookInvoke", Scrap,
     [](const TestDatabase& db) {
       return Hook(db, {{"TranType", 55}, {"InterID", 7201}, {"Profile", 2}});
     },
     Returns(false)},
    {"Hook_Transfer_41", kSynBills, "HookInvoke", Transfer,
     [](const TestDatabase& db) {
       return Hook(db, {{"TranType", 41}, {"OperateCode", 1}, {"InterID", 7031}});
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
