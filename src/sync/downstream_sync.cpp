// Re-totals of one work bill operation from the bills below it: the task dispatch entries that
// hand it out (with the production task following the work bill) and the operation shift bills
// that move quantity out of it and into it. The selected / acknowledged sums and the dispatch
// entry lookup are the ones the bill classes use (bills/operation_totals.h); what this class adds
// is the wider set of totals, their base-unit twins and the production task.
#include <string>
#include <string_view>

#include "bills/operation_totals.h"
#include "frame/sql_text.h"
#include "sync/cls_m_syn_bills.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;

// The unit ratio of operation `operation` (a number or a variable of the batch): the coefficient
// of its production task's unit, through the work bill.
std::string BuildOperationRatio(std::string_view operation) {
  return JoinCrLf({
      "select @MeasureUnitRatio = (isnull(v3.FCoefficient,1)+isnull(v3.FScale,0))",
      "from SHWorkBillEntry u1,SHWorkBill v1,ICMO v2, t_MeasureUnit v3",
      "Where u1.FInterID = v1.FInterID And v1.FICMOInterID = v2.FInterID And v2.FUnitID = "
      "v3.FItemID And u1.FWBInterID = " +
          std::string(operation),
  });
}

// Operation `operation`'s dispatch, reported and lost quantities from every dispatch entry that
// hands it out, and its work dates from the entries the floor works on (status 1 or 2): an
// operation without such entries gets Null dates, one without entries zero totals.
std::string BuildDispatchTotalsBatch(int32_t operation) {
  return JoinCrLf({
      "Declare @WBInterID int",
      "Declare @MeasureUnitRatio decimal(28,10)",
      "Declare @AuxQtyTDSelSum decimal(28,10)",
      "Declare @AuxQtyTDAckSum decimal(28,10)",
      "Declare @AuxQtyTDFinishSum decimal(28,10)",
      "Declare @AuxQtyTDLostSum decimal(28,10)",
      "Declare @AuxQtyTDPassSum decimal(28,10)",
      "Declare @AuxQtyTDScrapSum decimal(28,10)",
      "Declare @AuxQtyTDForItemSum decimal(28,10)",
      "Declare @WorkStartDate datetime",
      "Declare @WorkEndDate datetime",
      "select @WBInterID = " + SqlNumber(operation),
      BuildOperationRatio("@WBInterID"),
      BuildDispatchSums({
          ",@AuxQtyTDFinishSum = IsNull(sum(IsNull(u1.FAuxQtyFinish,0)),0)",
          ",@AuxQtyTDLostSum = IsNull(sum(IsNull(u1.FAuxQtyLoss,0)),0)",
          ",@AuxQtyTDPassSum = IsNull(sum(IsNull(u1.FAuxQtyPass,0)),0)",
          ",@AuxQtyTDScrapSum = IsNull(sum(IsNull(u1.FAuxQtyScrap,0)),0)",
          ",@AuxQtyTDForItemSum = IsNull(sum(IsNull(u1.FAuxQtyForItem,0)),0)",
      }),
      "select @WorkStartDate = Min(u1.FWorkStartDate), @WorkEndDate = Max(u1.FWorkEndDate)",
      kDispatchEntriesFrom,
      std::string(kDispatchEntriesOfOperation) + " And u1.FStatus in (1,2)",
      "Update SHWorkBillEntry set FAuxQtyTaskDispSel = @AuxQtyTDSelSum",
      ",FQtyTaskDispSel = @AuxQtyTDSelSum*@MeasureUnitRatio",
      ",FAuxQtyTaskDispAck = @AuxQtyTDAckSum",
      ",FQtyTaskDispAck = @AuxQtyTDAckSum*@MeasureUnitRatio",
      ",FAuxQtyFinish = @AuxQtyTDFinishSum",
      ",FQtyFinish = @AuxQtyTDFinishSum*@MeasureUnitRatio",
      ",FAuxQtyLost = @AuxQtyTDLostSum",
      ",FQtyLost = @AuxQtyTDLostSum*@MeasureUnitRatio",
      ",FAuxQtyPass = @AuxQtyTDPassSum",
      ",FQtyPass = @AuxQtyTDPassSum*@MeasureUnitRatio",
      ",FAuxQtyScrap = @AuxQtyTDScrapSum",
      ",FQtyScrap = @AuxQtyTDScrapSum*@MeasureUnitRatio",
      ",FAuxQtyForItem = @AuxQtyTDForItemSum",
      ",FQtyForItem = @AuxQtyTDForItemSum*@MeasureUnitRatio",
      ",FStartWorkDate = @WorkStartDate",
      ",FEndWorkDate = @WorkEndDate",
      "Where FWBInterID = @WBInterID",
  });
}

// The shift totals' variables: received and handed over, on all bills and on checked ones.
constexpr std::string_view kShiftDeclarations[] = {
    " Declare @AuxQtyReceiveSelSum decimal(28,10) ",
    " Declare @AuxQtyReceiveAckSum decimal(28,10) ",
    " Declare @AuxQtyHandOverSelSum decimal(28,10) ",
    " Declare @AuxQtyHandOverAckSum decimal(28,10) ",
    " Declare @MeasureUnitRatio decimal(28,10) ",
};

std::string ShiftDeclarations() {
  std::string sql;
  for (std::string_view line : kShiftDeclarations) {
    if (!sql.empty()) sql.append(kCrLf);
    sql.append(line);
  }
  return sql;
}

// What leaves operation `operation` on shift bills, and what enters it.
std::string HandOverSums(std::string_view operation) {
  return BuildShiftSums("AuxQtyHandOverSelSum", "AuxQtyHandOverAckSum",
                        "FOutWBInterID = " + std::string(operation));
}
std::string ReceiptSums(std::string_view operation) {
  return BuildShiftSums("AuxQtyReceiveSelSum", "AuxQtyReceiveAckSum",
                        "FInWBInterID = " + std::string(operation));
}

// Both shift totals of operation `operation`, keyed by the operation.
std::string BuildShiftTotalsOfOperationBatch(int32_t operation) {
  const std::string w = SqlNumber(operation);
  return JoinCrLf({
      ShiftDeclarations(),
      HandOverSums(w),
      ReceiptSums(w),
      BuildOperationRatio(w),
      " Update SHWorkBillEntry ",
      " set FAuxQtyReceiveSel = @AuxQtyReceiveSelSum",
      " ,FAuxQtyRecive = @AuxQtyReceiveAckSum ",
      " ,FAuxQtyHandOverSel= @AuxQtyHandOverSelSum ",
      " ,FAuxQtyHandOver = @AuxQtyHandOverAckSum ",
      " ,FQtyReceiveSel = @AuxQtyReceiveSelSum*@MeasureUnitRatio ",
      " ,FQtyRecive = @AuxQtyReceiveAckSum*@MeasureUnitRatio ",
      " ,FQtyHandOverSel= @AuxQtyHandOverSelSum*@MeasureUnitRatio ",
      " ,FQtyHandOver = @AuxQtyHandOverAckSum*@MeasureUnitRatio ",
      " From SHWorkBillEntry Where FWBInterID = " + w,
  });
}

// The totals that shift bill `bill` touches: the handed-over totals of its out operation and the
// received totals of its in operation, each over every bill of that operation. A side the bill
// does not have (0), or a bill that does not exist, is left alone.
std::string BuildShiftTotalsOfBillBatch(int32_t bill) {
  return JoinCrLf({
      "Declare @lngOSInterID int",
      "Declare @lngOutWBInterID int",
      "Declare @lngInWBInterID int",
      ShiftDeclarations(),
      "select @lngOSInterID = " + SqlNumber(bill),
      "select @lngOutWBInterID = IsNull(FOutWBInterID,0), @lngInWBInterID = IsNull(FInWBInterID,0)",
      "from ICOperShift where FInterID = @lngOSInterID",
      "if @lngOutWBInterID > 0",
      "Begin",
      HandOverSums("@lngOutWBInterID"),
      BuildOperationRatio("@lngOutWBInterID"),
      " Update SHWorkBillEntry ",
      " set FAuxQtyHandOverSel= @AuxQtyHandOverSelSum ",
      " ,FAuxQtyHandOver = @AuxQtyHandOverAckSum ",
      " ,FQtyHandOverSel= @AuxQtyHandOverSelSum*@MeasureUnitRatio ",
      " ,FQtyHandOver = @AuxQtyHandOverAckSum*@MeasureUnitRatio ",
      " From SHWorkBillEntry Where FWBInterID = @lngOutWBInterID",
      "End",
      "if @lngInWBInterID > 0",
      "Begin",
      ReceiptSums("@lngInWBInterID"),
      BuildOperationRatio("@lngInWBInterID"),
      " Update SHWorkBillEntry ",
      " set FAuxQtyReceiveSel = @AuxQtyReceiveSelSum",
      " ,FAuxQtyRecive = @AuxQtyReceiveAckSum ",
      " ,FQtyReceiveSel = @AuxQtyReceiveSelSum*@MeasureUnitRatio ",
      " ,FQtyRecive = @AuxQtyReceiveAckSum*@MeasureUnitRatio ",
      " From SHWorkBillEntry Where FWBInterID = @lngInWBInterID",
      "End",
  });
}

}  // namespace

bool clsMSynBills::SynWorkBillAndTaskDisp(const std::string& sDsn, int32_t lngWBInterID,
                                          corva::Optional<int32_t> lngDTInterID,
                                          corva::Optional<int32_t> /*lngOptions*/) {
  return frame_.Run(sDsn, {}, [&](Call& call) {
    const int32_t operation =
        ResolveDispatchedOperation(*call.Connection(), lngWBInterID, lngDTInterID);
    if (operation == 0) return false;
    call.Connection()->Execute(BuildDispatchTotalsBatch(operation));
    // The task follows the operation. Its failure (no task for the operation) fails this call
    // too, and the abort vote undoes the re-total above; its errors end in this call's trap.
    return SynICMOAndWorkBill(sDsn, 0, operation, 0);
  });
}

bool clsMSynBills::SynWorkBillAndOperShift(const std::string& sDsn, int32_t lngWBInterID,
                                           corva::Optional<int32_t> lngOSInterID,
                                           corva::Optional<int32_t> /*lngOptions*/) {
  return frame_.Run(sDsn, {}, [&](Call& call) {
    if (lngOSInterID >= 1) {
      call.Connection()->Execute(BuildShiftTotalsOfBillBatch(lngOSInterID));
      return true;
    }
    if (lngWBInterID < 1) return false;
    call.Connection()->Execute(BuildShiftTotalsOfOperationBatch(lngWBInterID));
    return true;
  });
}

bool clsMSynBills::SynTaskDispAndOperRpt(const std::string&, int32_t, corva::Optional<int32_t>,
                                         corva::Optional<int32_t>) {
  return true;
}

bool clsMSynBills::SynOperRptAndOperCheck(const std::string&, int32_t, corva::Optional<int32_t>,
                                          corva::Optional<int32_t>) {
  return true;
}

}  // namespace CorvaMSHTransBills
