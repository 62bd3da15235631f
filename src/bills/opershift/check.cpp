// clsMOperShift's check rules: checking a shift bill makes its quantity count in the acknowledged
// totals of the operations it leaves and enters. Before the status changes the bill must not be
// locked by a closed operation or task, and an uncheck must not strand the bills made from it;
// after it, the operations must still hold what was handed over and received, a finished out
// operation is closed, and the move-number ledger records what left the out operation.
#include <cstdio>
#include <string>
#include <vector>

#include "bills/operation_totals.h"
#include "bills/opershift/cls_m_oper_shift.h"
#include "bills/opershift/shift_common.h"
#include "corva/decimal.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/profile.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Decimal;
using corva::RecordsetPtr;
using corva::Variant;
using corva::frame::Call;
using corva::frame::FormatResMsg;
using corva::frame::FrameVote;
using corva::frame::LoadResMsg;
using opershift::LongOr0;
using opershift::QuantityOr0;

// 'YYYY-MM-DD' of the day of `date`, as an SQL literal.
std::string QuotedDay(const corva::Date& date) {
  int year, month, day, hour, minute;
  double second;
  date.ToParts(&year, &month, &day, &hour, &minute, &second);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return SqlQuote(text);
}

// The status write of CheckBill and CheckOperShift: checked with checker and day, or unchecked
// with both cleared.
std::string BuildStatusUpdate(int32_t bill, bool undo, int32_t emp, const corva::Date& date) {
  return "Update ICOperShift Set FCheckerID = " + (undo ? std::string("NULL") : SqlNumber(emp)) +
         ",FCheckDate = " + (undo ? std::string("NULL") : QuotedDay(date)) +
         ",FStatus = " + SqlNumber(undo ? kOperShiftSaved : kOperShiftChecked) +
         " Where FInterID = " + SqlNumber(bill);
}

// The bills made from a shift bill: repair work bills and product receipts, each row a count
// and its caption.
std::string BuildMadeFromBillQuery(int32_t bill) {
  const std::string id = SqlNumber(bill);
  return "Select Count(FInterID) as FCount,'返修工序计划单' as FCaption from SHWorkBill Where "
         "FOperShiftBillID=" +
         id +
         " Union  Select Count(*) as FCount,'产品入库单' as FCaption from icstockbillentry Where "
         "fsourcetrantype=581 and Fsourceinterid = " +
         id;
}

// The ledger row of the bill's move number at its out operation, rebuilt from every shift bill of
// that operation and move number, whatever their status.
std::string BuildLedgerRebuild(int32_t operation, const std::string& move_no) {
  const std::string op = SqlNumber(operation);
  const std::string mv = SqlQuote(move_no);
  return JoinCrLf({
      " Delete From SHMoveNoManage Where FTransType = 581 and FWBInterID = " + op +
          " And FOperMoveNo = " + mv,
      " Insert into SHMoveNoManage(FOperMoveNo,FWBInterID,FICMOInterID,FTransType,FStatus,FQty) ",
      " select u.FOperMoveNo,u.FOutWBInterID as FWBInterID,u.FICMOInterID,581 as FTransType,1 as "
      "FStatus," +
          std::string(kShiftLedgerSum) + " as FQty ",
      " From ICOperShift u ",
      " Where u.FOutWBInterID = " + op + " and FOperMoveNo = " + mv +
          " Group By u.FICMOInterID,u.FOutWBInterID,u.FOperMOveNo",
  });
}

// The bill's quantity taken off its move number's row, and the row removed once it reaches 0.
std::string BuildLedgerSubtract(int32_t bill, int32_t operation, const std::string& move_no) {
  const std::string mv = SqlQuote(move_no);
  return JoinCrLf({
      " Update u Set u.FQty = u.FQty - v.FAuxQtyShift ",
      " From SHMoveNoManage u Inner join ICOperShift v on u.FWBInterID = v.FOutWBInterID and "
      "u.FOperMoveNo = v.FOperMoveNo ",
      " Where u.FTransType=581 and v.FInterID = " + SqlNumber(bill) + " And v.FOperMoveNo = " + mv,
      " Delete From SHMoveNoManage where FQty=0 and FTransType = 581 and FWBInterID = " +
          SqlNumber(operation) + " And FOperMoveNo = " + mv,
  });
}

// A site setting compared with 0. Only a value that reads as the number 0 is 0: a missing row
// (the empty text) or a text that is not a number counts as "not 0", the neutral behaviour.
bool SettingIsZero(const Variant& value) { return value.IsNumeric() && value.AsDecimal().IsZero(); }

// "本操作不能进行,因为会导致如下错误结果:" CR LF `consequence`, localized.
std::string WouldLeadTo(const std::string& consequence, const std::string& lang) {
  return LoadResMsg("本操作不能进行,因为会导致如下错误结果:", lang) + std::string(kCrLf) +
         consequence;
}

// After the write-back of a check or an uncheck: the out operation may not have handed over more
// than it passed (with what came back qualified from repair). A subcontracted operation whose
// reports count directly is not held to it on a hand-over: it passes what comes back. The
// refusal, or "" when the operation holds.
std::string OutOperationRefusal(Call& call, int32_t out, bool hand_over) {
  const std::string& lang = call.lang();
  RecordsetPtr row = call.Connection()->Execute(
      "Select FAuxQtyPass,FAuxQtyHandoverSel,FAuxQualifiedReprocessedQty,FAutoOF,FISOut,"
      "FQualityChkID from SHWorkBillEntry Where FWBInterID = " +
      SqlNumber(out));
  if (row->Eof()) return LoadResMsg("对应的转出工序计划单单据不存在！", lang);
  if (hand_over && LongOr0(row->Fields("FISOut")) == kYes &&
      LongOr0(row->Fields("FQualityChkID")) == kQualityCheckDirect) {
    return std::string();
  }
  const Decimal passed = QuantityOr0(row->Fields("FAuxQtyPass")) +
                         QuantityOr0(row->Fields("FAuxQualifiedReprocessedQty"));
  const Decimal handed_over = QuantityOr0(row->Fields("FAuxQtyHandoverSel"));
  if (passed >= handed_over) return std::string();
  return WouldLeadTo(LoadResMsg("转出工序计划单的合格数[", lang) + Variant(passed).ToText() +
                         LoadResMsg("]小于移交选单数量[", lang) + Variant(handed_over).ToText() +
                         "]",
                     lang);
}

// After the write-back: the in operation may not have finished, been dispatched, handed over or
// committed to inspection more than reached it, as far as the site's settings ("SH"
// PROCRPT_REPORTQTY, TASKDISP_CONTROLQTYPLAN; 0 = control) and the operation's kind ask. The
// refusal, or "" when the operation holds.
std::string InOperationRefusal(Call& call, int32_t in, int32_t shift_type) {
  const std::string& lang = call.lang();
  RecordsetPtr row = call.Connection()->Execute(
      "Select FAuxCheckCommitQty,FAuxQtyHandoverSel,FISOut,FQualityChkID,FAuxQtyRecive,"
      "FAuxQtyFinish,IsNull(FAuxRepReceiveQty,0),IsNull(FAuxQtyTaskDispAck,0) as "
      "FAuxQtyTaskDispAck,IsNull(FAuxConvertQtyRecive,0) as "
      "FAuxConvertQtyRecive,IsNull(FAuxQtyLost,0) as FAuxQtyLost,IsNull(FAuxQtyGain,0) as "
      "FAuxQtyGain,isnull(FAuxRepReceiveQty,0) as FAuxRepReceiveQty from SHWorkBillEntry "
      "where FWBInterID = " +
      SqlNumber(in));
  if (row->Eof()) return LoadResMsg("对应的接收工序计划单单据不存在！", lang);
  // What reached the operation (received, counted in or out, converted), and with the rework
  // received the whole it can work on.
  const Decimal reached =
      QuantityOr0(row->Fields("FAuxQtyRecive")) + QuantityOr0(row->Fields("FAuxQtyGain")) -
      QuantityOr0(row->Fields("FAuxQtyLost")) + QuantityOr0(row->Fields("FAuxConvertQtyRecive"));
  const Decimal workable = reached + QuantityOr0(row->Fields("FAuxRepReceiveQty"));
  const bool subcontracted = LongOr0(row->Fields("FISOut")) == kYes;
  const bool direct = LongOr0(row->Fields("FQualityChkID")) == kQualityCheckDirect;
  const bool report_control =
      SettingIsZero(corva::frame::GetSystemProfile(call.DataSource(), "PROCRPT_REPORTQTY", "SH"));
  const bool dispatch_control = SettingIsZero(
      corva::frame::GetSystemProfile(call.DataSource(), "TASKDISP_CONTROLQTYPLAN", "SH"));
  auto exceeds = [&](const char* message, const Decimal& quantity, const Decimal& limit) {
    return WouldLeadTo(FormatResMsg(message, lang, {Variant(quantity), Variant(limit)}), lang);
  };

  const Decimal finished = QuantityOr0(row->Fields("FAuxQtyFinish"));
  if (report_control && finished > workable) {
    return exceeds(
        "接收工序计划单的实作数[%1]大于工序计划单的接收数+盘盈数-盘亏数+改制接收数+返修接收数[%2]",
        finished, workable);
  }
  const Decimal dispatched = QuantityOr0(row->Fields("FAuxQtyTaskDispAck"));
  if (dispatch_control && dispatched > workable) {
    return exceeds(
        "接收工序计划单的派工数[%1]大于工序计划单的接收数+盘盈数-盘亏数+改制接收数+返修接收数[%2]",
        dispatched, workable);
  }
  const Decimal handed_over = QuantityOr0(row->Fields("FAuxQtyHandoverSel"));
  if ((subcontracted || direct || shift_type == kShiftTypeHandOverAndReceive) && report_control &&
      handed_over > workable) {
    return exceeds(
        "接收工序计划单的移交选单数[%1]大于 "
        "工序计划单的接收数+盘盈数-盘亏数+改制接收数+返修接收数 的值[%2]",
        handed_over, workable);
  }
  const Decimal committed = QuantityOr0(row->Fields("FAuxCheckCommitQty"));
  if ((subcontracted || !direct) && committed > reached) {
    return exceeds(
        "接收工序计划单的检验关联数[%1]大于工序计划单的接收数+盘盈数-盘亏数+改制接收数[%2]",
        committed, reached);
  }
  return std::string();
}

}  // namespace

bool clsMOperShift::PreCheck(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                             int32_t /*ProcessStatus*/, int32_t lngEmpID,
                             corva::Optional<corva::Date> /*CheckDate*/,
                             corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(
      sDsn, *ReturnMsg, {.crlf = true, .first_vote = FrameVote::kAbort}, [&](Call& call) {
        const std::string& lang = call.lang();
        const std::string id = SqlNumber(lngOSInterID);
        if (lngEmpID == 0) {
          return call.Refuse(LoadResMsg("审核操作时,系统传递给审核中间层的审核人为空！", lang));
        }
        if (opershift::LockedByUpperBills(call, lngOSInterID)) {
          return call.Refuse(
              LoadResMsg("工序移转单的相关单据处于关闭或结案状态，本操作被禁止！", lang));
        }
        if (CheckSwitch == kCheckSwitchDo) return true;

        // A repair work bill or a product receipt made from the bill would lose its source.
        RecordsetPtr made = call.Connection()->Execute(BuildMadeFromBillQuery(lngOSInterID));
        for (; !made->Eof(); made->MoveNext()) {
          if (LongOr0(made->Fields("FCount")) > 0) {
            return call.Refuse(FormatResMsg("该工序移转单存在关联的单据:%1！", lang,
                                            {LoadResMsg(made->Fields("FCaption").ToText(), lang)}));
          }
        }
        // A shift the system made itself follows its source and is undone with it.
        RecordsetPtr bill =
            call.Connection()->Execute(" Select FAutoOF From ICOperShift where FInterID = " + id);
        if (!bill->Eof() && LongOr0(bill->Fields("FAutoOF")) == kYes) {
          return call.Refuse(LoadResMsg("自动移转的工序移转单不允许反审核。", lang));
        }
        return true;
      });
}

bool clsMOperShift::CheckBill(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                              int32_t /*ProcessStatus*/, int32_t lngEmpID,
                              const corva::Date& CheckDate,
                              corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(
      sDsn, *ReturnMsg, {.crlf = true, .first_vote = FrameVote::kAbort}, [&](Call& call) {
        call.Connection()->Execute(
            BuildStatusUpdate(lngOSInterID, CheckSwitch != kCheckSwitchDo, lngEmpID, CheckDate));
        return true;
      });
}

bool clsMOperShift::PostCheck(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                              int32_t /*ProcessStatus*/, int32_t lngEmpID,
                              corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(
      sDsn, *ReturnMsg, {.crlf = true, .first_vote = FrameVote::kAbort}, [&](Call& call) {
        const std::string& lang = call.lang();
        const corva::ConnectionPtr& db = call.Connection();
        const std::string id = SqlNumber(lngOSInterID);
        RecordsetPtr bill = db->Execute(
            "Select FOutWBInterID,FInWBInterID,FShiftTypeID from ICOperShift where FInterID = " +
            id);
        if (bill->Eof()) return call.Refuse(LoadResMsg("对应的移转单单据不存在！", lang));
        const int32_t out = LongOr0(bill->Fields("FOutWBInterID"));
        const int32_t in = LongOr0(bill->Fields("FInWBInterID"));
        const int32_t shift_type = LongOr0(bill->Fields("FShiftTypeID"));
        const bool hand_over =
            shift_type == kShiftTypeHandOverAndReceive || shift_type == kShiftTypeHandOver;

        if (int32_t failed = WriteBackOperations(sDsn, out, in)) {
          return call.Refuse(opershift::WriteBackFailedMessage(failed, lang));
        }
        db->Execute(" EXEC prc_SHUpdateBillDoubleQty 581, " + id);

        if (out > 0) {
          std::string refusal = OutOperationRefusal(call, out, hand_over);
          if (!refusal.empty()) return call.Refuse(std::move(refusal));
        }
        if (in > 0) {
          std::string refusal = InOperationRefusal(call, in, shift_type);
          if (!refusal.empty()) return call.Refuse(std::move(refusal));
        }

        // An out operation that has now passed and handed over all its work is closed; a closed one
        // that no longer has is re-opened. clsMWorkBill decides, in this transaction.
        if (out > 0) {
          auto work_bill = call.CreateInstance(opershift::kWorkBillProgID);
          std::vector<Variant> args{sDsn, out, lngEmpID, std::string()};
          if (!work_bill->Invoke("AutoCloseBill", args).AsBool()) {
            return call.Refuse(args[3].ToText());
          }
        }

        std::string ledger_message;
        if (!UpdateMoveNoManage(sDsn, lngOSInterID, CheckSwitch, ledger_message)) {
          return call.Refuse(ledger_message);
        }
        return true;
      });
}

bool clsMOperShift::UpdateMoveNoManage(const std::string& sDsn, int32_t lngOSInterID,
                                       int32_t CheckSwitch, std::string& sMsg) {
  return frame_.Run(sDsn, sMsg, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    RecordsetPtr bill = call.Connection()->Execute(
        "Select FOutWBInterID,FInWBInterID,FOperMoveNo from ICOperShift where FInterID = " +
        SqlNumber(lngOSInterID));
    // A bill without a move number (or no longer there) has no ledger row to keep.
    const std::string move_no = bill->Eof() ? std::string() : bill->Fields("FOperMoveNo").ToText();
    if (move_no.empty()) return true;
    const int32_t out = LongOr0(bill->Fields("FOutWBInterID"));
    call.Connection()->Execute(CheckSwitch == kCheckSwitchDo
                                   ? BuildLedgerRebuild(out, move_no)
                                   : BuildLedgerSubtract(lngOSInterID, out, move_no));
    return true;
  });
}

bool clsMOperShift::CheckOperShift(const std::string& sDsn, int32_t lngOSInterID,
                                   int32_t CheckSwitch, int32_t /*ProcessStatus*/, int32_t lngEmpID,
                                   const corva::Date& CheckDate,
                                   corva::OptionalRef<std::string> ReturnMsg) {
  std::string reason;  // a run-time error adds no description: the reason alone is returned
  bool ok = frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    const std::string& lang = call.lang();
    auto refuse = [&](std::string text) {
      reason = text;
      return call.Refuse(std::move(text));
    };
    const corva::ConnectionPtr& db = call.Connection();
    RecordsetPtr bill = db->Execute(
        "Select FOutWBInterID,FInWBInterID,FStatus,FBillNo from ICOperShift where FInterID = " +
        SqlNumber(lngOSInterID));
    if (bill->Eof()) return refuse(LoadResMsg("该移转单不存在！", lang));
    if (lngEmpID == 0) {
      return refuse(LoadResMsg("审核操作时,系统传递给审核中间层的审核人为空！", lang));
    }
    if (opershift::LockedByUpperBills(call, lngOSInterID)) {
      return refuse(LoadResMsg("工序移转单的相关单据处于关闭或结案状态，本操作被禁止！", lang));
    }
    db->Execute(
        BuildStatusUpdate(lngOSInterID, CheckSwitch != kCheckSwitchDo, lngEmpID, CheckDate));
    if (int32_t failed = WriteBackOperations(sDsn, LongOr0(bill->Fields("FOutWBInterID")),
                                             LongOr0(bill->Fields("FInWBInterID")))) {
      return refuse(opershift::WriteBackFailedMessage(failed, lang));
    }
    db->Execute(" EXEC prc_SHUpdateBillDoubleQty 581, " + SqlNumber(lngOSInterID));
    return true;
  });
  if (!ok) ReturnMsg = reason;
  return ok;
}

}  // namespace CorvaMSHTransBills
