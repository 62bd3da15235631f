// clsMTaskDispBill's save rules and the write-back of dispatched quantities. A dispatch bill may
// only be saved against a checked operation; after the host wrote it, the operation's dispatch
// totals are rewritten and new entries receive their global ids from the ICMaxNum counter.
#include <string>

#include "bills/operation_totals.h"
#include "bills/taskdisp/cls_m_task_disp_bill.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;
using corva::frame::FrameVote;
using corva::frame::LoadResMsg;

// The operation a dispatch bill hands out, with its status.
std::string BuildOperationOfBillQuery(int32_t bill) {
  return JoinCrLf({
      "Select u2.FWBInterID, u2.FStatus from ICTaskDispBill u1 ",
      " Inner Join SHWorkBillEntry u2 On u1.FWorkBillInterID = u2.FWBInterID ",
      " Where u1.FInterID = " + SqlNumber(bill),
  });
}

// Refreshes the bill's base-unit quantities, then gives every entry still without a global id
// FEntryID + the counter and moves the counter on by the largest such FEntryID. The numbering
// covers all unnumbered entries of the table, not only this bill's, and a checker id of 0 (meaning
// nobody) becomes Null everywhere.
std::string BuildNumberEntriesBatch(int32_t bill) {
  return JoinCrLf({
      " EXEC prc_SHUpdateBillDoubleQty 502, " + SqlNumber(bill), "Declare @RecordCount int ",
      "Declare @MaxNum      int ", "Declare @MaxEntry      int  ",
      "Select @recordcount=count(FTaskDispInterID),@MaxEntry=isnull(Max(FEntryID),0) from "
      "ICTaskDispBillEntry where FTaskDispInterID=0  ",
      "Select @MaxNum=FMaxNum from ICMaxNum Where FTableName='ICTaskDispBill'", "if @Recordcount>0",
      "begin",
      "UPDATE ICTaskDispBillEntry SET FTaskDispInterID=FEntryID+  @maxNum Where FTaskDispInterID=0",
      "UPDATE ICMaxNum SET FMaxNum=FMaxNum+@MaxEntry Where FTableName='ICTaskDispBill'", "end",
      "UPDATE ICTaskDispBillEntry SET FCheckerID=Null Where FCheckerID=0 ",
      "",  // every line of the batch ends with a line break
  });
}

// The two dispatch totals of operation `operation` from every entry that dispatches it, then its
// base-unit quantities.
std::string BuildDispatchTotalsBatch(int32_t operation) {
  return JoinCrLf({
      "Declare @WBInterID int",
      "Declare @AuxQtyTDSelSum decimal(28,10)",
      "Declare @AuxQtyTDAckSum decimal(28,10)",
      "select @WBInterID = " + SqlNumber(operation),
      BuildDispatchSums(),
      "Update SHWorkBillEntry set FAuxQtyTaskDispSel = IsNull(@AuxQtyTDSelSum,0)",
      ",FAuxQtyTaskDispAck = IsNull(@AuxQtyTDAckSum,0)",
      "Where FWBInterID = @WBInterID",
      " EXEC prc_SHUpdateBillDoubleQty -52, @WBInterID",
  });
}

}  // namespace

bool clsMTaskDispBill::BeginSave(const std::string&, corva::VectorPtr&, std::string&) {
  return true;
}

bool clsMTaskDispBill::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                               std::string& ReturnMsg) {
  // Only a refusal speaks through ReturnMsg; a run-time error leaves it as the host passed it, so
  // the frame runs without a message argument.
  return frame_.Run(
      sDsn, {.save_vect = SaveVect, .first_vote = FrameVote::kAbort}, [&](Call& call) {
        auto refuse = [&](const char* reason) {
          ReturnMsg = LoadResMsg(reason, call.lang());
          return call.Refuse(ReturnMsg);
        };
        if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
        corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
        if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
        const int32_t bill = header->Value("FInterID").AsLong();

        corva::RecordsetPtr operation = call.Connection()->Execute(BuildOperationOfBillQuery(bill));
        int32_t wb_inter_id = 0;
        int32_t status = 0;
        if (!operation->Eof()) {
          wb_inter_id = corva::ValueOr(operation->Fields("FWBInterID"), 0).AsLong();
          status = corva::ValueOr(operation->Fields("FStatus"), 0).AsLong();
        }
        if (wb_inter_id == 0) {
          return refuse("派工单关联的工序计划单不存在,可能已被删除,请检查。");
        }
        // Only an operation released to the floor (checked) can be dispatched.
        switch (status) {
          case kWorkBillEntryChecked:
            break;
          case kWorkBillEntryPlanned:
            return refuse("派工单关联的工序计划单处于计划状态,单据不能保存,请检查。");
          case kWorkBillEntryClosed:
            return refuse("派工单关联的工序计划单已被关闭,单据不能保存,请检查。");
          default:
            return refuse("派工单关联的工序计划单不在审核状态,单据不能保存,请检查。");
        }
        if (!SynWorkBillAndTaskDisp(sDsn, wb_inter_id, 0, 0)) {
          return refuse("反写工序计划单操作失败，请检查。");
        }
        call.Connection()->Execute(BuildNumberEntriesBatch(bill));
        return true;
      });
}

bool clsMTaskDispBill::SynWorkBillAndTaskDisp(const std::string& sDsn, int32_t lngWBInterID,
                                              corva::Optional<int32_t> lngDTInterID,
                                              corva::Optional<int32_t> /*lngOptions*/) {
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    const int32_t operation =
        ResolveDispatchedOperation(*call.Connection(), lngWBInterID, lngDTInterID);
    if (operation == 0) return false;  // nothing to total: the abort vote stands
    call.Connection()->Execute(BuildDispatchTotalsBatch(operation));
    return true;
  });
}

}  // namespace CorvaMSHTransBills
