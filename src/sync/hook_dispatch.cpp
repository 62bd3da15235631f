// The stock-bill hook's entry: HookInvoke hands each bill type to its handler, and the pieces all
// handlers share (keys, signs, stock bill tables, work names, failure keys, the handler frame) and
// the issue controls that run after the issue-type bills.
#include <algorithm>
#include <string>

#include "corva/error.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "sync/cls_m_syn_bills.h"
#include "sync/hook_frame.h"

namespace CorvaMSHTransBills {
namespace hook {
namespace {

bool Contains(const int32_t (&codes)[3], int32_t code) {
  return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

}  // namespace

int32_t LongKey(const corva::Dictionary& params, std::string_view key, int32_t fallback) {
  return params.GetValue(std::string(key), fallback).AsLong();
}

std::string TextKey(const corva::Dictionary& params, std::string_view key) {
  return params.GetValue(std::string(key), 0).AsString();
}

std::string_view OperationSign(int32_t operate_code) {
  if (Contains(kHookApplyCodes, operate_code)) return "+";
  if (Contains(kHookReverseCodes, operate_code)) return "-";
  throw corva::Error::Runtime(corva::kErrInvalidProcedureCall);
}

std::string_view OppositeSign(int32_t operate_code) {
  if (Contains(kHookApplyCodes, operate_code)) return "-";
  if (Contains(kHookReverseCodes, operate_code)) return "+";
  throw corva::Error::Runtime(corva::kErrInvalidProcedureCall);
}

std::string StockBillTable(int32_t tran_type, int32_t bill_pos_tag) {
  return bill_pos_tag == kBillInTablesOfItsType ? "ICStockBill_" + SqlNumber(tran_type)
                                                : "ICStockBill";
}

std::string StockBillEntryTable(int32_t tran_type, int32_t bill_pos_tag) {
  return bill_pos_tag == kBillInTablesOfItsType ? "ICStockBillEntry_" + SqlNumber(tran_type)
                                                : "ICStockBillEntry";
}

WorkNames ReadWorkNames(corva::Connection& connection) {
  corva::RecordsetPtr row = connection.Execute(
      "select newid(),ISNULL(FValue,0) as FValue FROM t_SystemProfile WHERE FKey='"
      "MO_CLOSEOPTION' AND FCategory='SH'");
  // Reading the row fails when the setting is missing: the handler ends through its error path.
  return {corva::frame::StripGuidChars(row->Fields(0).AsString()), row->Fields("FValue").AsLong()};
}

std::string NewWorkSuffix(corva::Connection& connection) {
  return corva::frame::StripGuidChars(connection.Execute("select newid() ")->Fields(0).AsString());
}

void WriteFailureKeys(corva::Dictionary& params, int32_t code, int32_t source,
                      const std::string& description) {
  params.SetValue("ErrCode", code);
  params.SetValue("ErrSource", source);
  params.SetValue("ErrDescription", description);
}

bool RunHandler(corva::frame::ClassFrame& frame, const corva::DictionaryPtr& params,
                HandlerSetup which, HookKeys& keys,
                const std::function<bool(corva::frame::Call&)>& body) {
  if (!params) throw corva::Error::Runtime(corva::kErrObjectNotSet);
  // The keys are read under the handler's trap, before its data source exists: "sDsn" is one of
  // them. A key that cannot be read ends the handler like any other error.
  try {
    keys.TranType = LongKey(*params, "TranType");
    keys.OperateCode = LongKey(*params, "OperateCode");
    keys.InterID = LongKey(*params, "InterID");
    if (which.OperateDelete) keys.OperateDelete = LongKey(*params, "OperateDelete");
    keys.sDsn = TextKey(*params, "sDsn");
    if (which.BillPosTag) keys.BillPosTag = LongKey(*params, "BillPosTag");
  } catch (const corva::Error& e) {
    corva::GetObjectContext().SetAbort();
    WriteFailureKeys(*params, e.Number(), keys.TranType, e.Description());
    return false;
  }
  return frame.Run(keys.sDsn,
                   {.connect = false,
                    .language_from_parse = which.language_from_parse,
                    .on_error =
                        [&](const corva::Error& e) {
                          WriteFailureKeys(*params, e.Number(), keys.TranType, e.Description());
                        }},
                   body);
}

}  // namespace hook

bool clsMSynBills::HookInvoke(int32_t /*EventID*/, const corva::DictionaryPtr& DictParams) {
  if (!DictParams) throw corva::Error::Runtime(corva::kErrObjectNotSet);
  switch (hook::LongKey(*DictParams, "TranType")) {
    case kHookTranProductReceipt:
      return HookProductInStock(DictParams);
    case kHookTranMaterialIssue:
    case kHookTranOutsourcedIssue:
      return HookMaterialIssue(DictParams);
    case kHookTranWorkshopMaterial:
      return HookSTJGBill(DictParams);
    case kHookTranItemScrap:
      return HookItemScrap(DictParams);
    case kHookTranTransfer:
      return HookTransLateQty(DictParams);
    default:
      return true;
  }
}

void clsMSynBills::CheckStrictToPPBom(int32_t TranType, int32_t InterID, int32_t BillPosTag,
                                      const std::string& lang) {
  if (TranType != kHookTranMaterialIssue && TranType != kHookTranOutsourcedIssue &&
      TranType != kHookTranWorkshopMaterial) {
    return;
  }
  // The bill's lines summed per material line. Outsourced issues name the material list
  // (PPBOMEntry.FInterID) where the others name the production task.
  const std::string lines = TranType == kHookTranWorkshopMaterial
                                ? std::string("ICSTJGBIllEntry")
                                : hook::StockBillEntryTable(TranType, BillPosTag);
  const std::string key = TranType == kHookTranOutsourcedIssue ? "FInterID" : "FICMOInterID";
  // On a connection of its own, in the caller's transaction: it sees what the handler wrote.
  corva::ConnectionPtr connection = frame_.m_DataSource->Connection();
  auto count_lines = [&](std::string_view conditions) {
    const std::string sql = JoinCrLf({
        "SELECT count(t1.FICMOInterID) as RC",
        "FROM PPBOMEntry t1,",
        "(SELECT FInterID,FItemID,FICMOInterID,FPPBOMEntryID,sum(FQty) as FQty FROM " + lines,
        "WHERE FInterID=" + SqlNumber(InterID) +
            " Group by FInterID,FItemID,FICMOInterID,FPPBOMEntryID) t2",
        "Where t1." + key + " = t2.FICMOInterID",
        "AND t1.FItemID=t2.FItemID",
        "AND t1.FEntryID=t2.FPPBOMEntryID",
        conditions,
    });
    return connection->Execute(sql)->Fields("RC").AsLong();
  };
  // The controls run after the bill's batch, so the issued quantities already include the bill.
  // Over-issue: beyond required + supplied, returned material aside.
  if (count_lines("AND (t1.FQtyMust+t1.FQtySupply)<t1.FStockQty \r\n"
                  "AND (SELECT CAST(isnull(FValue,0) AS INT) from t_SystemProfile Where "
                  "FCategory='IC' and FKey='StrictToPPBOM')=1 \r\n"
                  "AND t1.FMaterielType<>376") > 0) {
    throw corva::Error(
        kErrIssueBeyondMaterialList, "CheckStrictToPPBom",
        corva::frame::LoadResMsg("严格按投料单发料，不允许超过关联的生产投料单数量。", lang));
  }
  // Scrap: a line may not have scrapped more than it was issued.
  if (count_lines("AND t1.FDisCardQty>t1.FStockQty \r\n"
                  "AND (SELECT CAST(isnull(FValue,0) AS INT) from t_SystemProfile Where "
                  "FCategory='SH' and FKey='ITEMSCRAP_CONTROLQTY')=1 ") > 0) {
    throw corva::Error(
        kErrIssueBeyondMaterialList, "CheckStrictToPPBom",
        corva::frame::LoadResMsg("关联的生产投料单的已领数量不允许小于报废数量。", lang));
  }
}

}  // namespace CorvaMSHTransBills
