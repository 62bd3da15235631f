// The kit check of product receipts: a task may only receive as many products as the material
// issued to it makes complete kits of. Sites choose the level (off, warn, refuse) and the mode:
// every task must have issued some material, or every key material must cover the received
// quantity in kits. The refusal names the receipt's lines and the short materials.
#include <string>
#include <vector>

#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "sync/cls_m_syn_bills.h"
#include "sync/hook_frame.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::Call;
using corva::frame::FormatResMsg;
using corva::frame::LoadResMsg;

// `text` without its last character, a whole UTF-8 character (the list separator "、" is one).
void DropLastCharacter(std::string& text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
    text.pop_back();
  }
  if (!text.empty()) text.pop_back();
}

// The setting `key` of the IC settings read in `settings`, 0 when it is not there.
int32_t SettingOr0(corva::Recordset& settings, const std::string& key) {
  settings.Filter("FKey = '" + key + "'");
  return settings.Eof() ? 0 : corva::ValueOr(settings.Fields("FValue"), 0).AsLong();
}

// Key materials: for each product line of receipt `bill` (lines `entries`) that receives its
// task's own product, the smallest number of kits the task's key materials (ordinary, not
// backflushed, required) make of what was issued less what was scrapped, against the task's total
// receipt; the lines whose kits fall short, with the short material's number.
std::string KeyMaterialShortageBatch(const std::string& entries, int32_t bill,
                                     bool use_short_number) {
  return JoinCrLf({
      "SET NOCOUNT ON",
      "CREATE TABLE #PPBomTmp",
      "(FID              INT IDENTITY(1,1),",
      "FICMOInterID     INT,",
      "FEntryID         INT,",
      "FItemID          INT,",
      "FNumber          NVARCHAR(255),",
      "FSuitQty         DECIMAL(23,10),",
      "FStockQty        DECIMAL(23,10))",
      "INSERT #PPBomTmp (FICMOInterID,FEntryID,FItemID,FNumber,FSuitQty,FStockQty)",
      std::string("SELECT t1.FICMOInterID,t1.FEntryID,t1.FItemID,") +
          (use_short_number ? "t3.FShortNumber" : "t3.FNumber") + ",",
      "CASE WHEN t2.FAuxQtyScrap<>0 THEN ROUND(CAST(CAST((t2.FAuxStockQty - t2.FDiscardAuxQty ) "
      "AS DECIMAL(28,15))/ISNULL(t2.FAuxQtyScrap,1) AS DECIMAL(28,15)),10) ELSE 1 END AS FSuitQty,",
      "t5.FAuxStockQty",
      "FROM " + entries +
          " t1 INNER JOIN ICMO t5 ON t1.FICMOInterID=t5.FInterID AND t1.FItemID=t5.FItemID",
      "INNER JOIN PPBOMEntry t2 ON t2.FICMOInterID=t1.FICMOInterID",
      "INNER JOIN t_ICItem t3 ON t2.FItemID=t3.FItemID",
      "WHERE t1.FInterID=" + SqlNumber(bill) + " AND t2.FBackFlush = 1059 ",
      "AND ISNULL(t3.FIsKeyItem, 0) <> 0 And t2.FMaterielType = 371 And t2.FAuxQtyMust<>0",
      " ORDER BY t2.FICMOInterID,FSuitQty",
      // Identities follow the order, so the first row of a line holds its smallest kit count.
      "DELETE t1 FROM #PPBomTmp t1 LEFT JOIN",
      "(SELECT MIN(FID) AS FID ,FICMOInterID,FEntryID FROM #PPBomTmp GROUP BY "
      "FICMOInterID,FEntryID) t2 ON t1.FID=t2.FID AND t1.FEntryID=t2.FEntryID",
      " WHERE t2.FID IS Null",
      "SELECT t1.FEntryID,t1.FNumber FROM #PPBomTmp t1 INNER JOIN t_ICItemBase t3 ON "
      "t1.FItemID=t3.FItemID",
      " WHERE ROUND(t1.FSuitQty,t3.FQtyDecimal) < ROUND(t1.FStockQty,t3.FQtyDecimal) ",
      " ORDER BY t1.FEntryID",
      "DROP TABLE #PPBomTmp",
  });
}

// Any issue: the product lines of receipt `bill` whose task has material to issue (ordinary, not
// backflushed) but has issued none of it.
std::string NothingIssuedBatch(const std::string& entries, int32_t bill) {
  return JoinCrLf({
      "SET NOCOUNT ON",
      "IF Exists(SELECT 1 FROM tempdb..sysobjects WHERE ID = OBJECT_ID(N'tempdb..#BillEntry')) ",
      "  DROP TABLE #BillEntry",
      "SELECT t1.FICMOInterID,t1.FEntryID,t1.FItemID",
      "  INTO #BillEntry",
      "FROM " + entries +
          " t1 INNER JOIN ICMO t2 ON t1.FICMOInterID=t2.FInterID AND t1.FItemID=t2.FItemID",
      "WHERE t1.FInterID=" + SqlNumber(bill),
      "SELECT DISTINCT t1.FEntryID FROM #BillEntry t1 ",
      "WHERE NOT EXISTS (SELECT 1 FROM PPBOMEntry t2 WHERE t2.FICMOInterID=t1.FICMOInterID AND "
      "t2.FStockQty > 0 AND t2.FBackFlush =1059 AND t2.FMaterielType = 371)",
      "AND EXISTS (SELECT 1 FROM PPBOMEntry t3 WHERE t3.FICMOInterID=t1.FICMOInterID AND "
      "t3.FBackFlush =1059 AND t3.FMaterielType = 371)",
      "ORDER BY t1.FEntryID",
      "Drop Table #BillEntry ",
  });
}

}  // namespace

bool clsMSynBills::CheckSuitControl(const corva::DictionaryPtr& DictParams) {
  hook::HookKeys keys;
  return hook::RunHandler(
      frame_, DictParams, {.BillPosTag = true, .language_from_parse = true}, keys, [&](Call& call) {
        const std::string bill_no = hook::TextKey(*DictParams, "BillNo");
        const bool ignore_alert = DictParams->GetValue("IgnoreAlert", 0).AsBool();
        const int32_t rob = hook::LongKey(*DictParams, "ROB", kBillBlue);
        const int32_t recheck = hook::LongKey(*DictParams, "ReCheck", kHookReCheckSkipsKitCheck);
        // Only a blue receipt being applied is checked, and only when the host asks (ReCheck
        // without bit 64): taking products back never needs more kits.
        const bool reversal = hook::OperationSign(keys.OperateCode) == "-";
        if (rob != kBillBlue || reversal || (recheck & kHookReCheckSkipsKitCheck) != 0) {
          return true;
        }
        corva::Connection& connection = *call.Connection();
        corva::RecordsetPtr settings = connection.Execute(
            "SELECT FKey,FValue FROM t_Systemprofile WHERE FCategory = 'IC' AND FKey IN "
            "('ProductSuitControl', 'ProductSuitControlItem')");
        const int32_t level = SettingOr0(*settings, "ProductSuitControl");
        const int32_t mode = SettingOr0(*settings, "ProductSuitControlItem");
        if (level < kKitControlRefuse && (level != kKitControlWarn || ignore_alert)) return true;
        corva::RecordsetPtr short_number = connection.Execute(
            "SELECT FKey,FValue FROM t_Systemprofile WHERE FCategory = 'IC' AND FKey IN "
            "('UseShortNumber')");
        const bool use_short_number =
            !short_number->Eof() && corva::ValueOr(short_number->Fields("FValue"), 0).AsBool();
        // Any per-type mark selects the per-type lines here.
        const std::string entries = keys.BillPosTag != 0
                                        ? "ICStockBillEntry_" + SqlNumber(keys.TranType)
                                        : std::string("ICStockBillEntry");
        const bool warning = level == kKitControlWarn;
        std::string description;
        if (mode == kKitCheckKeyMaterials) {
          corva::RecordsetPtr short_lines =
              connection.Execute(KeyMaterialShortageBatch(entries, keys.InterID, use_short_number));
          if (short_lines->Eof()) return true;
          std::string lines = FormatResMsg("编号为[%1]的单据", call.lang(), {bill_no});
          for (; !short_lines->Eof(); short_lines->MoveNext()) {
            lines +=
                FormatResMsg("第%1行非倒冲关键物料编号为%2", call.lang(),
                             {short_lines->Fields("FEntryID"), short_lines->Fields("FNumber")}) +
                LoadResMsg("、", call.lang());
          }
          DropLastCharacter(lines);
          description = lines + LoadResMsg(warning ? "领用套数小于累计入库数"
                                                   : "领用套数小于累计入库数,不能更新库存！",
                                           call.lang());
        } else if (mode == kKitCheckAnyIssue) {
          corva::RecordsetPtr bare_lines =
              connection.Execute(NothingIssuedBatch(entries, keys.InterID));
          if (bare_lines->Eof()) return true;
          std::string rows;
          for (; !bare_lines->Eof(); bare_lines->MoveNext()) {
            rows += bare_lines->Fields("FEntryID").AsString() + ",";
          }
          rows.pop_back();
          description =
              FormatResMsg(warning ? "编号为[%1]的单据第%2行未领用任何物料"
                                   : "编号为[%1]的单据第%2行未领用任何物料,不能更新库存！",
                           call.lang(), {bill_no, rows});
        } else {
          return true;
        }
        hook::WriteFailureKeys(*DictParams,
                               warning ? kHookKitShortageWarned : kHookKitShortageRefused,
                               keys.TranType, description);
        return false;
      });
}

}  // namespace CorvaMSHTransBills
