// clsMTaskDispBill's delete rule: one unchecked task dispatch entry goes, its bill's header with
// it once the bill has no entry left, and the operation's dispatch totals are rewritten. Checked
// or closed entries stay: the floor may already be working on them.
#include <string>

#include "bills/taskdisp/cls_m_task_disp_bill.h"
#include "corva/error.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;
using corva::frame::LoadResMsg;

constexpr char kErrorSource[] = "CorvaMSHTransBills.clsMTaskDispBill";

std::string BuildEntryQuery(int32_t entry) {
  return "select u1.FStatus,u1.FEntryID,u1.FBillNum As FBillNo,v1.FInterID,v1.FWorkBillInterID as "
         "FWBInterID  from ICTaskDispBillEntry u1, ICTaskDispBill v1  Where u1.FInterID = "
         "v1.FinterID and FTaskDispInterID = " +
         SqlNumber(entry);
}

// The entry, then the header when it was the bill's last entry.
std::string BuildDeleteBatch(int32_t entry, int32_t bill) {
  const std::string id = SqlNumber(bill);
  return JoinCrLf({
      " DELETE FROM ICTaskDispBillEntry Where FTaskDispInterID = " + SqlNumber(entry),
      " IF (SELECT COUNT(*) FROM ICTaskDispBillEntry WHERE FInterID =" + id + " ) =0 ",
      " DELETE FROM ICTaskDispBill WHERE FInterID =" + id,
      "",
  });
}

}  // namespace

int32_t clsMTaskDispBill::DeleteTDBill(const std::string& sDsn, int32_t lngTDInterID,
                                       corva::OptionalRef<std::string> sMsg) {
  int32_t result = kDeleteFailed;
  std::string error_text;  // the localized description of a run-time error
  // Refusing an unknown or a checked entry leaves the transaction alone: the frame casts no vote
  // of its own. A deletion votes SetComplete, a run-time error SetAbort.
  bool ran = frame_.Run(
      sDsn, error_text,
      {.vote = false,
       .connect = false,
       .on_error = [](const corva::Error&) { corva::GetObjectContext().SetAbort(); }},
      [&](Call& call) {
        const std::string& lang = call.lang();
        if (lngTDInterID == 0) {
          sMsg = LoadResMsg("指定的派工单不存在", lang);
          result = kDeleteNoSuchEntry;
          return true;
        }
        corva::RecordsetPtr entry = call.Connection()->Execute(BuildEntryQuery(lngTDInterID));
        if (entry->Eof()) {
          sMsg = LoadResMsg("指定的派工单不存在", lang);
          result = kDeleteNoSuchEntry;
          return true;
        }
        const int32_t status = corva::ValueOr(entry->Fields("FStatus"), 0).AsLong();
        const std::string bill_no = entry->Fields("FBillNo").ToText();
        const int32_t bill = corva::ValueOr(entry->Fields("FInterID"), 0).AsLong();
        const int32_t operation = corva::ValueOr(entry->Fields("FWBInterID"), 0).AsLong();
        if (status != kTaskDispEntrySaved) {
          sMsg = LoadResMsg("不能删除派工单[", lang) + bill_no + LoadResMsg("],因为", lang) +
                 std::string(kCrLf) + LoadResMsg("派工单[", lang) + bill_no +
                 LoadResMsg(" ]已经", lang) +
                 LoadResMsg(status == kTaskDispEntryClosed ? "关闭" : "审核", lang) + ". ";
          result = kDeleteNotAllowed;
          return true;
        }
        if (bill < 1) throw corva::Error(kErrTaskDispRule, kErrorSource, "派工单不存在!");

        call.Connection()->Execute(BuildDeleteBatch(lngTDInterID, bill));
        if (!SynWorkBillAndTaskDisp(sDsn, operation, 0, 0)) {
          throw corva::Error(kErrTaskDispRule, kErrorSource, "工序计划单数据更新失败!");
        }
        sMsg = std::string(kCrLf) + LoadResMsg("派工单[", lang) + bill_no +
               LoadResMsg("]删除成功. ", lang);
        call.Context().SetComplete();
        result = kDeleteDone;
        return true;
      });
  if (!ran) {
    sMsg = LoadResMsg("删除派工单出错,原因:", corva::frame::GetDsnValue(sDsn, "Language")) +
           error_text;
    result = kDeleteFailed;
  }
  return result;
}

}  // namespace CorvaMSHTransBills
