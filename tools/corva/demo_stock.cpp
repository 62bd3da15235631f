// Demo step 60: the warehouse posts its stock bills for MO1001 and production follows through the
// stock-bill hook (clsMSynBills.HookInvoke). The steel, shades and bases are issued (the material
// list counts them as issued and in process, the assembly operation as backflushed); five extra
// shades are refused by the strict issue control; the 100 lamps are received, which consumes the
// work in process and closes the task by the site's close option; then the receipt is reversed.
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kSynBills[] = "CorvaMSHTransBills.clsMSynBills";
// The sample's stock bills (schema/sample/60_stock.sql) and the hook's codes the host sends.
constexpr int32_t kSteelAndShades = 6001;
constexpr int32_t kBases = 6002;
constexpr int32_t kExtraShades = 6003;
constexpr int32_t kLampReceipt = 6101;
constexpr int32_t kMaterialIssue = 24;
constexpr int32_t kProductReceipt = 2;
constexpr int32_t kApply = 1;
constexpr int32_t kReverse = 2;

void PrintMaterialList(const DemoSession& demo, const std::string& title) {
  RecordsetPtr lines = demo.Query(
      "SELECT e.FEntryID AS Line, i.FShortNumber AS Material, e.FAuxQtyMust AS Required,"
      " e.FAuxStockQty AS Issued, e.FWIPAuxQty AS InProcess FROM PPBOMEntry e INNER JOIN"
      " t_ICItem i ON i.FItemID = e.FItemID WHERE e.FICMOInterID = 1001 ORDER BY e.FEntryID");
  demo.PrintTable(title, *lines);
}

void PrintTask(const DemoSession& demo, const std::string& title) {
  RecordsetPtr task = demo.Query(
      "SELECT FBillNo AS Task, FAuxStockQty AS Received, FAuxInLowLimitQty AS LowerLimit,"
      " CASE FStatus WHEN 3 THEN 'closed' WHEN 0 THEN 'planned' ELSE 'released' END AS Status,"
      " CONVERT(varchar(10), FCloseDate, 120) AS Closed, CASE FStockFlag WHEN 14215 THEN"
      " 'nothing issued' WHEN 14216 THEN 'partly issued' WHEN 14217 THEN 'fully issued' ELSE"
      " 'over-issued' END AS Issue FROM ICMO WHERE FInterID = 1001");
  demo.PrintTable(title, *task);
}

// The host's posting of stock bill `bill`: it marks the bill (posted or not) and calls the hook
// with the dictionary it sends for every stock bill, in one transaction. Prints the call and, when
// the hook refused, the keys it wrote.
bool Post(const DemoSession& demo, int32_t tran_type, int32_t bill, int32_t operate_code) {
  return demo.Transaction([&] {
    demo.Execute(
        "UPDATE ICStockBill SET FStatus = " + std::to_string(operate_code == kApply ? 1 : 0) +
        " WHERE FInterID = " + std::to_string(bill));
    DictionaryPtr params = MakeDictionary();
    params->SetValue("TranType", tran_type);
    params->SetValue("OperateCode", operate_code);
    params->SetValue("InterID", bill);
    params->SetValue("sDsn", demo.dsn());
    params->SetValue("BillPosTag", 0);
    params->SetValue("Rob", 1);
    std::vector<Variant> args{0, params};
    Variant done = CreateObject(kSynBills)->Invoke("HookInvoke", args);
    std::vector<std::pair<std::string, Variant>> keys;
    for (const char* key : {"ErrCode", "ErrSource", "ErrDescription"}) {
      if (params->Contains(key)) keys.emplace_back(key, params->Value(key));
    }
    demo.PrintCall("clsMSynBills.HookInvoke(TranType " + std::to_string(tran_type) +
                       ", OperateCode " + std::to_string(operate_code) + ", InterID " +
                       std::to_string(bill) + ")",
                   done, keys);
  });
}

void WalkStockBills(DemoSession& demo) {
  if (demo.Query("SELECT COUNT(*) FROM ICStockBill WHERE FInterID = 6001")->Fields(0).AsLong() ==
      0) {
    demo.Say("The sample's stock bills are missing: nothing for the warehouse to post.");
    return;
  }
  if (demo.Query("SELECT FStatus FROM ICStockBill WHERE FInterID = 6001")->Fields(0).AsLong() ==
      1) {
    demo.Say("The stock bills of MO1001 were posted by an earlier run of the demo.");
    PrintMaterialList(demo, "Material list of MO1001 as it stands");
    PrintTask(demo, "MO1001 as it stands");
    return;
  }
  demo.Say("The site closes production tasks automatically once their receipt reaches the lower");
  demo.Say("limit (close option 2) and issues strictly by the material list (StrictToPPBOM 1).");
  demo.Execute(
      "UPDATE t_SystemProfile SET FValue = '2' WHERE FCategory = 'SH' AND FKey = "
      "'MO_CLOSEOPTION'\r\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'IC' AND FKey = 'StrictToPPBOM'");
  PrintMaterialList(demo, "Material list of MO1001 before the warehouse posts");

  demo.Say("\nIssue: SOUT6001 brings 12.5 kg of steel and 100 shades, SOUT6002 the 100 bases by");
  demo.Say("backflush for the assembly operation. The material list counts them as issued and in");
  demo.Say("process, the task as fully issued, the assembly operation as backflushed.");
  Post(demo, kMaterialIssue, kSteelAndShades, kApply);
  Post(demo, kMaterialIssue, kBases, kApply);
  PrintMaterialList(demo, "Material list of MO1001 after the issues");
  PrintTask(demo, "MO1001 after the issues");
  RecordsetPtr operations = demo.Query(
      "SELECT FWorkBillNo AS Operation, CASE FBackFlushed WHEN 1 THEN 'yes' ELSE 'no' END AS"
      " Backflushed FROM SHWorkBillEntry WHERE FInterID = 2001 ORDER BY FEntryID");
  demo.PrintTable("Operations of WB1", *operations);

  demo.Say("\nOver-issue: SOUT6003 asks for 5 more shades. The strict control refuses, the hook");
  demo.Say("answers through the keys of its dictionary and the host's transaction rolls back.");
  Post(demo, kMaterialIssue, kExtraShades, kApply);
  PrintMaterialList(demo, "Material list of MO1001 (unchanged)");

  demo.Say("\nReceipt: CIN6101 receives the 100 lamps. The task counts them as received, the");
  demo.Say("receipt consumes the work in process in proportion, and having reached its lower");
  demo.Say("limit of 95 the task is closed by the close option.");
  Post(demo, kProductReceipt, kLampReceipt, kApply);
  PrintMaterialList(demo, "Material list of MO1001 after the receipt");
  PrintTask(demo, "MO1001 after the receipt");

  demo.Say("\nReversal: the receipt is taken back. The received quantity and the work in");
  demo.Say("process return, and the task, closed in the current period, is reopened.");
  Post(demo, kProductReceipt, kLampReceipt, kReverse);
  PrintMaterialList(demo, "Material list of MO1001 after the reversal");
  PrintTask(demo, "MO1001 after the reversal");
}

const DemoStepRegistrar kStep({60, "Stock bills: production follows the warehouse",
                               &WalkStockBills});

}  // namespace
}  // namespace corva::cli::demo
