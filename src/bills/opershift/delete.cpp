// clsMOperShift's delete rule: an unchecked shift bill (or one the system made, whatever its
// state) goes, its quantity comes off the move-number ledger, and the shifted totals of the
// operations it moved between are rewritten without it. A checked bill entered by hand stays: its
// quantity already counts as handed over and received.
#include <string>

#include "bills/opershift/cls_m_oper_shift.h"
#include "bills/opershift/shift_common.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {

bool clsMOperShift::DeleteOperShift(const std::string& sDsn, int32_t lngOSInterID,
                                    corva::OptionalRef<std::string> ReturnMsg) {
  using corva::frame::LoadResMsg;
  using opershift::LongOr0;
  // The message gathered so far: the reason of a refusal; a run-time error adds nothing to it.
  std::string gathered;
  bool ok = frame_.Run(
      sDsn, {.first_vote = corva::frame::FrameVote::kAbort}, [&](corva::frame::Call& call) {
        const std::string& lang = call.lang();
        auto refuse = [&](std::string reason) {
          gathered = reason;
          return call.Refuse(std::move(reason));
        };
        const corva::ConnectionPtr& db = call.Connection();
        const std::string id = SqlNumber(lngOSInterID);
        corva::RecordsetPtr bill = db->Execute(
            "Select FOutWBInterID,FInWBInterID,FStatus,FBillNo,FAutoOF from ICOperShift where "
            "FInterID = " +
            id);
        if (bill->Eof()) return refuse(LoadResMsg("该移转单不存在！", lang));
        const std::string bill_no = bill->Fields("FBillNo").ToText();
        if (opershift::LockedByUpperBills(call, lngOSInterID)) {
          return refuse(LoadResMsg("该工序移转单[", lang) + bill_no +
                        LoadResMsg("]的关联单据已经处于关闭或结案状态,本操作不能进行！", lang));
        }
        // A bill the system made follows its source and goes with it, checked or not.
        if (LongOr0(bill->Fields("FAutoOF")) != kYes &&
            LongOr0(bill->Fields("FStatus")) > kOperShiftSaved) {
          return refuse(LoadResMsg("该工序移转单[", lang) + bill_no +
                        LoadResMsg("]已经被审核！", lang));
        }

        std::string ledger_message;
        if (!UpdateMoveNoManage(sDsn, lngOSInterID, kCheckSwitchUndo, ledger_message)) {
          return refuse(ledger_message);
        }
        db->Execute("Delete From ICOperShift Where FInterID = " + id);
        if (int32_t failed = WriteBackOperations(sDsn, LongOr0(bill->Fields("FOutWBInterID")),
                                                 LongOr0(bill->Fields("FInWBInterID")))) {
          return refuse(opershift::WriteBackFailedMessage(failed, lang));
        }
        gathered = LoadResMsg("删除工序移转单[", lang) + bill_no + LoadResMsg("]成功！", lang);
        return true;
      });
  ReturnMsg = gathered;
  return ok;
}

}  // namespace CorvaMSHTransBills
