// clsMPlanOrder's save rules. A sales order counts the planned-order rows derived from it
// (SEOrder.FChildren): BeginSave takes a bill's old rows out of that count before the host
// rewrites them, and the host counts the new ones in. EndSave brings the rows written to the
// item's unit and decimals: quantities are entered in a use unit, but planning works in the
// item's own unit, to the item's precision.
#include <optional>
#include <string>

#include "bills/planorder/cls_m_plan_order.h"
#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "frame/codes.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::Call;

// A value of the host equals `number` as late binding's "=" has it.
bool NumberIs(const Variant& value, int32_t number) {
  return !value.IsEmpty() && value.IsNumeric() &&
         value.AsDecimal() == corva::Decimal::FromInt64(number);
}

// Each sales order loses the number of bill `id`'s rows derived from it, never going below 0. The
// delete trigger goes off first, so that the host's delete of these rows does not count them out
// a second time.
std::string BuildCountOutBatch(const std::string& id) {
  return JoinCrLf({
      "ALTER TABLE ICMRPResult DISABLE Trigger ICMrpResult_Del",
      "update u1",
      "set u1.FChildren = (case when u1.FChildren > v1.FPLSum then u1.FChildren - v1.FPLSum else 0 "
      "end)",
      "from SEOrder u1",
      "inner join ",
      " (select u1.FInterID,Count(v1.FInterID) as FPLSum",
      " from SEOrder u1",
      " inner join ICMrpResult v1 on u1.FInterID = v1.FOrgSaleInterID",
      " where v1.FInterID = " + id,
      " group by u1.FInterID) v1 on u1.FInterID = v1.FInterID",
  });
}

// The rows of bill `id` in the item's unit and decimals. Every SET sees the row as the host wrote
// it, so the base quantities come from the unrounded auxiliary ones. `released` is the host's
// released quantity, spliced as the host gave it (its text is the number); a missing one leaves
// the statement incomplete and the save fails. The update trigger is off while the rows change
// (they stay with their sales orders); afterwards every trigger of the table is on again,
// including the delete trigger BeginSave switched off.
std::string BuildNormaliseBatch(const std::string& id, const std::string& released) {
  return JoinCrLf({
      "ALTER TABLE ICMRPResult DISABLE Trigger Update_ICMrpResult",
      "UPDATE T1 SET T1.FUnitID=T3.FUnitID",
      "             ,T1.FAuxPlanQty=ROUND(T1.FAuxPlanQty,T3.FQtyDecimal)         ",
      "             ,T1.FAuxPutInQty=ROUND(T1.FAuxPutInQty,T3.FQtyDecimal)         ",
      "             ,T1.FAuxNoBatchQty=ROUND(T1.FAuxNoBatchQty,T3.FQtyDecimal)         ",
      "             ,T1.FAuxNeedQty=ROUND(T1.FAuxNeedQty,T3.FQtyDecimal)         ",
      "             ,T1.FAuxHaveOrderQty=ROUND(T1.FAuxHaveOrderQty,T3.FQtyDecimal)         ",
      "             ,T1.FAuxReleasedQty=" + released,
      "             ,T1.FPlanQty=ROUND(CAST(T1.FAuxPlanQty AS FLOAT)*T2.FCoefficient,"
      "T3.FQtyDecimal)         ",
      "             ,T1.FPutInQty=ROUND(CAST(T1.FAuxPutInQty AS FLOAT)*T2.FCoefficient,"
      "T3.FQtyDecimal)         ",
      "             ,T1.FNoBatchQty=ROUND(CAST(T1.FAuxNoBatchQty AS FLOAT)*T2.FCoefficient,"
      "T3.FQtyDecimal)         ",
      "             ,T1.FNeedQty=ROUND(CAST(T1.FAuxNeedQty AS FLOAT)*T2.FCoefficient,"
      "T3.FQtyDecimal)         ",
      "             ,T1.FHaveOrderQty=ROUND(CAST(T1.FAuxHaveOrderQty AS FLOAT)*T2.FCoefficient,"
      "T3.FQtyDecimal)         ",
      "             ,T1.FReleasedQty=" + released,
      "             ,FPlanOrderNo=FBillNo                                                     ",
      " FROM ICMRPResult T1                                                                    ",
      "INNER JOIN T_Measureunit T2 ON T1.FUseUnitID=T2.FMeasureUnitID                          ",
      "INNER JOIN T_ICItem T3 ON T1.FItemID =T3.FItemID                                        ",
      "WHERE FInterID=" + id,
      "UPDATE ICMRPResult SET FPlanOrderNo=FBillNo,FPlanOrderInterID=" + id,
      "WHERE FInterID=" + id,
      "ALTER TABLE ICMRPResult ENABLE Trigger ALL",
  });
}

// A bill entered by hand joins the latest MRP run of kind `kind`: without one, run 0 for kinds 0
// and 4 and run -1 for kind 1. The rows become planned orders of that run (FType 1) that no run
// has closed yet (FCloseType -1). "" for a kind the host does not use.
std::string BuildJoinRunBatch(const Variant& kind, const std::string& id) {
  std::string run_id;
  std::string update;
  if (NumberIs(kind, kMrpRunKind0)) {
    run_id = "SET @FInterID=ISNULL((SELECT MAX(FInterID) FROM ICMRPInfo WHERE FType=0),0)";
    update = "UPDATE ICMRPResult SET FRunID=@FInterID,FType=1,FCloseType=-1 WHERE FInterID=" + id;
  } else if (NumberIs(kind, kMrpRunKind1) || NumberIs(kind, kMrpRunKind4)) {
    run_id = NumberIs(kind, kMrpRunKind1)
                 ? "SET @FInterID=ISNULL((SELECT MAX(FInterID) FROM ICMRPInfo WHERE FType=1),-1)"
                 : "SET @FInterID=ISNULL((SELECT MAX(FInterID) FROM ICMRPInfo WHERE FType=4),0)";
    update = "UPDATE ICMRPResult SET FRunID=@FInterID,FType=1,FCloseType=-1  WHERE FInterID=" + id;
  } else {
    return "";
  }
  return JoinCrLf({"DECLARE @FInterID int     ", run_id, update});
}

}  // namespace

bool clsMPlanOrder::BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string&) {
  // Nothing here may stop the save: a step that fails is passed over and the next one runs. A bill
  // whose id cannot be read has no rows to count out, so its statement is passed over too.
  corva::ConnectionPtr db;
  try {
    frame_.InitDataSource(sDsn);
    db = frame_.m_DataSource->Connection();
  } catch (const std::exception&) {
  }
  std::optional<int32_t> id;
  try {
    corva::DictionaryPtr header = SaveVect ? SaveVect->Item(1).As<corva::Dictionary>() : nullptr;
    if (header) id = header->Value("FInterID").AsLong();
  } catch (const std::exception&) {
  }
  if (db && id) {
    try {
      db->Execute(BuildCountOutBatch(SqlNumber(*id)));
    } catch (const std::exception&) {
    }
  }
  corva::GetObjectContext().SetComplete();
  return true;
}

bool clsMPlanOrder::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string&) {
  return frame_.Run(sDsn, {}, [&](Call& call) {
    if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
    if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    const std::string id = SqlNumber(header->Value("FInterID").AsLong());
    const corva::ConnectionPtr& db = call.Connection();
    db->Execute(BuildNormaliseBatch(id, header->Value("FAuxReleasedQty").ToText()));

    if (NumberIs(header->Value("FromManual"), kPlanOrderEnteredByHand)) {
      // A hand-entered bill of an unknown kind joins no run: there is no statement to send, and
      // the bill is saved as it stands.
      std::string join =
          BuildJoinRunBatch(corva::ValueOr(header->Value("FromSystem"), kMrpRunKind0), id);
      if (!join.empty()) db->Execute(join);
    }
    return true;
  });
}

}  // namespace CorvaMSHTransBills
