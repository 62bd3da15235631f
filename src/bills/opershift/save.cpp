// clsMOperShift's save rules and the write-back of shifted quantities into the work bill
// operations. A shift bill may only leave a checked operation and only enter a checked one; after
// the host wrote it, both operations' totals are rewritten with the bill included, and the bill is
// refused when the out operation would hand over more than it passed or the in operation would
// receive more than its plan allows.
#include <algorithm>
#include <string>
#include <vector>

#include "bills/operation_totals.h"
#include "bills/opershift/cls_m_oper_shift.h"
#include "bills/opershift/shift_common.h"
#include "corva/containers.h"
#include "corva/decimal.h"
#include "corva/error.h"
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
using corva::frame::FrameVote;
using corva::frame::LoadResMsg;
using opershift::LongOr0;
using opershift::QuantityOr0;

// What a received total may exceed the allowed quantity by and still pass: one unit of the tenth
// decimal, the precision of the quantity columns.
const Decimal kReceiveTolerance = Decimal::FromUnits(1, 10);

// The bill with its item's decimals and its two operations with their statuses. An operation that
// no longer exists reads as id 0.
std::string BuildBillWithOperationsQuery(int32_t bill) {
  return JoinCrLf({
      "select t1.FQtyDecimal,t.FInterID, t.FShiftTypeID, u1.FWBInterID as FOutWBInterID, "
      "u1.FStatus as FOutStatus, ",
      "     v1.FWBInterID as FInWBInterID , v1.FStatus as FInStatus ",
      "from ICOperShift t ",
      " Left Join SHWorkBillEntry u1 on t.FOutWBInterID = u1.FWBInterID ",
      " Left Join SHWorkBillEntry v1 on t.FInWBInterID = v1.FWBInterID ",
      " Inner Join t_icitem t1 on t.FItemID=t1.FItemID ",
      "Where t.FInterID = " + SqlNumber(bill),
  });
}

// The shifted quantity in the base unit, through the production task's unit.
std::string BuildShiftBaseQtyUpdate(int32_t bill) {
  return JoinCrLf({
      "Update u1",
      "Set u1.fQtyShift = Cast(u1.fAuxQtyShift as decimal(28,15)) * Cast((IsNull(t2.FCoefficient, "
      "1) + IsNull(t2.FScale, 0)) as decimal(28,15))",
      "from ICOperShift u1",
      "Inner Join ICMO v1 On v1.FInterID = u1.FICMOInterID ",
      "Left Join t_MeasureUnit t2 On v1.FUnitID = t2.FItemID ",
      " Where u1.FInterID = " + SqlNumber(bill),
  });
}

// The shifted totals of operation `operation` from every shift bill leaving or entering it, all
// bills and checked ones (FStatus > 0): handed over (every bill leaving it but a shift to repair,
// so a qualified return from repair counts as handed over by the repair operation), shifted to
// repair, qualified back from repair (checked returns only), and received (every bill entering it
// but repair shifts and returns, whose quantities the rework receipt and the qualified repaired
// quantity carry). `rewrite_received` false leaves the received totals alone. Then the base-unit
// quantities of the operation.
std::string BuildShiftTotalsBatch(int32_t operation, bool rewrite_received) {
  const std::string w = SqlNumber(operation);
  std::string batch = JoinCrLf({
      "Declare @AuxQtyReceiveSelSum decimal(28,10)",
      "Declare @AuxQtyReceiveAckSum decimal(28,10)",
      "Declare @AuxQtyHandOverSelSum decimal(28,10)",
      "Declare @AuxQtyHandOverAckSum decimal(28,10)",
      "Declare @AuxQtyReprocessedSum decimal(28,10)",
      "Declare @AuxQtyReprocessedSelSum decimal(28,10)",
      "Declare @AuxQtyQReprocessedSum decimal(28,10)",
      BuildShiftSums("AuxQtyHandOverSelSum", "AuxQtyHandOverAckSum",
                     " FOutWBInterID = " + w + " and " + std::string(kHandOverShifts) + " "),
      BuildShiftSums("AuxQtyReprocessedSelSum", "AuxQtyReprocessedSum",
                     std::string(kRepairShifts) + " and FOutWBInterID = " + w),
      " select @AuxQtyQReprocessedSum = IsNull(sum(" + std::string(kShiftedCheckedTerm) + "),0) ",
      " From ICOperShift Where " + std::string(kQualifiedReturnShifts) + " and FInWBInterID = " + w,
      BuildShiftSums("AuxQtyReceiveSelSum", "AuxQtyReceiveAckSum",
                     " FInWBInterID = " + w + " and " + std::string(kReceiptShifts) + " "),
      " Update SHWorkBillEntry ",
      "  SET FAuxQualifiedReprocessedQty=IsNull(@AuxQtyQReprocessedSum,0) ",
      " ,FAuxQtyHandOverSel= IsNull(@AuxQtyHandOverSelSum,0) ",
      " ,FAuxQtyHandOver = IsNull(@AuxQtyHandOverAckSum,0) ",
      " ,FAuxReprocessedMoveSelQty = IsNull(@AuxQtyReprocessedSelSum,0) ",
      " ,FAuxReprocessedMoveQty = IsNull(@AuxQtyReprocessedSum,0) ",
      " From SHWorkBillEntry Where FWBInterID = " + w,
  });
  if (rewrite_received) {
    batch += std::string(kCrLf) + JoinCrLf({
                                      " Update SHWorkBillEntry ",
                                      " set FAuxQtyReceiveSel = IsNull(@AuxQtyReceiveSelSum,0)",
                                      " ,FAuxQtyRecive = IsNull(@AuxQtyReceiveAckSum,0) ",
                                      " From SHWorkBillEntry Where FWBInterID = " + w,
                                  });
  }
  return batch + std::string(kCrLf) + " EXEC prc_SHUpdateBillDoubleQty -52, " + w;
}

// A site switch read as a truth value, as late binding converts one ("1", "True"; a text that is
// neither a number nor True/False is a type mismatch). A missing row (read as the empty text)
// counts as true: the switches read this way ship switched on, and on means no control.
bool SettingIsTrue(const Variant& value) {
  if (value.IsEmpty() || value.IsNull() || value.ToText().empty()) return true;
  return value.AsBool();
}

// What operation `in` may receive in all: planned x 100 / yield (the yield in percent), rounded
// half to even to the item's `decimals`. A yield of 0 is late binding's division by zero.
Decimal AllowedReceipt(const Decimal& planned, const Decimal& yield, int32_t decimals) {
  if (yield.IsZero()) {
    throw corva::Error(corva::kErrDivisionByZero, "CorvaMSHTransBills", "Division by zero");
  }
  if (decimals < 0) decimals = 0;
  if (decimals > Decimal::kMaxDigits) decimals = Decimal::kMaxDigits;
  Decimal hundredfold;
  Decimal allowed;
  if (!Decimal::Multiply(planned, Decimal::FromInt64(100), planned.scale(), &hundredfold) ||
      !Decimal::Divide(hundredfold, yield, decimals, Decimal::Rounding::kHalfEven, &allowed)) {
    throw corva::Error::Runtime(corva::kErrOverflow);
  }
  return allowed;
}

bool IsHandOver(int32_t shift_type) {
  return shift_type == kShiftTypeHandOverAndReceive || shift_type == kShiftTypeHandOver;
}

}  // namespace

bool clsMOperShift::BeginSave(const std::string&, corva::VectorPtr&, std::string&) { return true; }

bool clsMOperShift::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                            std::string& ReturnMsg) {
  // Only the rules speak through ReturnMsg; a run-time error leaves it and "SaveRetCode" as the
  // host passed them, so the frame runs without a message argument.
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
    if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    const std::string& lang = call.lang();
    // A refusal by rule tells the host so through "SaveRetCode"; a failed write-back does not.
    auto refuse = [&](std::string reason) {
      ReturnMsg = reason;
      header->SetValue("SaveRetCode", corva::frame::kSaveRefusedByRule);
      return call.Refuse(std::move(reason));
    };
    const int32_t bill = header->Value("FInterID").AsLong();
    const std::string id = SqlNumber(bill);
    const corva::ConnectionPtr& db = call.Connection();

    RecordsetPtr row = db->Execute(BuildBillWithOperationsQuery(bill));
    if (row->Eof()) {
      return refuse(LoadResMsg("工序移转单[内码:", lang) + id +
                    LoadResMsg("]不存在,请检查！", lang));
    }
    const int32_t decimals = LongOr0(row->Fields("FQtyDecimal"));
    const int32_t shift_type = LongOr0(row->Fields("FShiftTypeID"));
    const int32_t out = LongOr0(row->Fields("FOutWBInterID"));
    const int32_t in = LongOr0(row->Fields("FInWBInterID"));
    // Work leaves an operation released to the floor and enters one; a hand-over may also come
    // from nowhere (no out operation), a receipt never goes nowhere.
    if (IsHandOver(shift_type) && out != 0 &&
        LongOr0(row->Fields("FOutStatus")) != kWorkBillEntryChecked) {
      return refuse(LoadResMsg("工序移转单关联的转出工序计划单不在审核状态,请检查！", lang));
    }
    if (shift_type == kShiftTypeHandOverAndReceive || shift_type == kShiftTypeReceive) {
      if (in == 0) {
        return refuse(
            LoadResMsg("工序移转单关联的接收工序计划单不存在,可能已被删除,请检查！", lang));
      }
      if (LongOr0(row->Fields("FInStatus")) != kWorkBillEntryChecked) {
        return refuse(LoadResMsg("工序移转单关联的接收工序计划单不在审核状态,请检查！", lang));
      }
    }

    std::string unused;
    if (!UpdateShiftBaseQty(sDsn, bill, unused)) {
      return refuse(LoadResMsg("更新工序移转单[", lang) + id +
                    LoadResMsg("]的基本单位数量错误，请检查！", lang));
    }
    if (int32_t failed = WriteBackOperations(sDsn, out, in)) {
      ReturnMsg = opershift::WriteBackFailedMessage(failed, lang);
      return call.Refuse(ReturnMsg);
    }
    db->Execute(" EXEC prc_SHUpdateBillDoubleQty 581, " + id);

    // The limits, now that the operations' totals include this bill.
    RecordsetPtr saved = db->Execute(
        "Select FOutWBInterID, FInWBInterID,FYield from ICOperShift Where FInterID = " + id);
    if (saved->Eof()) {
      return refuse(LoadResMsg("对应的工序移转单", lang) + id +
                    LoadResMsg("不存在，请检查！", lang));
    }
    const int32_t saved_out = LongOr0(saved->Fields("FOutWBInterID"));
    const int32_t saved_in = LongOr0(saved->Fields("FInWBInterID"));
    auto missing_operation = [&](int32_t operation) {
      return refuse(LoadResMsg("对应的工序计划单", lang) + SqlNumber(operation) +
                    LoadResMsg("不存在，请检查！", lang));
    };

    if (saved_out <= 0) {
      // Received from nowhere: the operation may take in what its plan needs at the yield.
      if (SettingIsTrue(
              corva::frame::GetSystemProfile(call.DataSource(), "SHOPPROC_CONTROLRECEIVE", "SH"))) {
        return true;
      }
      RecordsetPtr operation = db->Execute(
          "Select FAuxQtyPlan, FAuxQtyReceiveSel from SHWorkBillEntry Where FWBInterID = " +
          SqlNumber(saved_in));
      if (operation->Eof()) return missing_operation(saved_in);
      Decimal allowed = AllowedReceipt(QuantityOr0(operation->Fields("FAuxQtyPlan")),
                                       QuantityOr0(saved->Fields("FYield")), decimals);
      if (QuantityOr0(operation->Fields("FAuxQtyReceiveSel")) - allowed > kReceiveTolerance) {
        return refuse(
            LoadResMsg("工序移转单的移转数量超出接收工序计划单的允许接收数量，请检查!", lang));
      }
      return true;
    }

    // Handed over: no more than the operation passed, with what came back qualified from repair.
    // A subcontracted operation whose reports count directly hands over what the subcontractor
    // finished: its passed quantity is only known when the goods come back.
    RecordsetPtr operation = db->Execute(
        "Select FAuxQtyPass,FAuxQtyFinish,FAuxQtyHandOverSel,FAuxQualifiedReprocessedQty,FISOut,"
        "FQualityChkID from SHWorkBillEntry Where FWBInterID = " +
        SqlNumber(saved_out));
    if (operation->Eof()) return missing_operation(saved_out);
    const Decimal handed_over = QuantityOr0(operation->Fields("FAuxQtyHandOverSel"));
    const Decimal repaired = QuantityOr0(operation->Fields("FAuxQualifiedReprocessedQty"));
    if (IsHandOver(shift_type) &&
        LongOr0(operation->Fields("FQualityChkID")) == kQualityCheckDirect &&
        LongOr0(operation->Fields("FISOut")) == kYes) {
      if (QuantityOr0(operation->Fields("FAuxQtyFinish")) + repaired < handed_over) {
        return refuse(LoadResMsg(
            "工序移转单的移转数量超出转出工序计划单的实作数量与已移交数的差值，请检查!", lang));
      }
    } else if (QuantityOr0(operation->Fields("FAuxQtyPass")) + repaired < handed_over) {
      return refuse(LoadResMsg(
          "工序移转单的移转数量超出转出工序计划单的合格数量与已移交数的差值，请检查!", lang));
    }
    return true;
  });
}

bool clsMOperShift::UpdateShiftBaseQty(const std::string& sDsn, int32_t lngOSInterID,
                                       std::string& /*sMsg*/) {
  return frame_.Run(sDsn, {.vote = false, .trap = false}, [&](Call& call) {
    call.Connection()->Execute(BuildShiftBaseQtyUpdate(lngOSInterID));
    return true;
  });
}

bool clsMOperShift::SynWorkBillAndOperShift(const std::string& sDsn, int32_t lngWBInterID,
                                            corva::Optional<int32_t> lngOSInterID,
                                            corva::Optional<int32_t> /*lngOptions*/) {
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    std::vector<int32_t> operations;
    if (lngWBInterID >= 1) operations.push_back(lngWBInterID);
    // Keyed by a shift bill: both operations it moves between are rewritten in full, exactly as
    // when each is named, so that the two forms can never disagree.
    if (lngOSInterID >= 1) {
      RecordsetPtr bill = call.Connection()->Execute(
          "Select FOutWBInterID,FInWBInterID from ICOperShift where FInterID = " +
          SqlNumber(lngOSInterID));
      if (!bill->Eof()) {
        for (const char* side : {"FOutWBInterID", "FInWBInterID"}) {
          int32_t operation = LongOr0(bill->Fields(side));
          if (operation >= 1 &&
              std::find(operations.begin(), operations.end(), operation) == operations.end()) {
            operations.push_back(operation);
          }
        }
      }
    }
    if (operations.empty()) return false;  // nothing to rewrite: the abort vote stands
    for (int32_t operation : operations) {
      // When the operation before this one is subcontracted, the subcontractor's receipt books
      // what this operation received; the shift bills must not overwrite it.
      const bool rewrite_received = !IsFormerOperSubced(sDsn, operation);
      call.Connection()->Execute(BuildShiftTotalsBatch(operation, rewrite_received));
    }
    return true;
  });
}

bool clsMOperShift::IsFormerOperSubced(const std::string& sDsn, int32_t lngWBInterID) {
  return frame_.Run(sDsn, {.vote = false, .trap = false}, [&](Call& call) {
    RecordsetPtr former = call.Connection()->Execute(JoinCrLf({
        "Select t1.FISOut",
        "From SHWorkBillEntry t1",
        "Left Join SHWorkBillEntry t2 on t1.FInterID=t2.FInterID AND t1.FEntryID=(t2.FEntryID-1)",
        "Where t2.FWBInterID=" + SqlNumber(lngWBInterID),
    }));
    return !former->Eof() && LongOr0(former->Fields("FISOut")) == kYes;
  });
}

bool clsMOperShift::IsCurOperSubced(const std::string& sDsn, int32_t lngWBInterID) {
  return frame_.Run(sDsn, {.vote = false, .trap = false}, [&](Call& call) {
    RecordsetPtr current = call.Connection()->Execute(JoinCrLf({
        "Select t1.FISOut",
        "From SHWorkBillEntry t1",
        "Where t1.FWBInterID=" + SqlNumber(lngWBInterID),
    }));
    return !current->Eof() && LongOr0(current->Fields("FISOut")) == kYes;
  });
}

int32_t clsMOperShift::WriteBackOperations(const std::string& sDsn, int32_t out_operation,
                                           int32_t in_operation) {
  for (int32_t operation : {out_operation, in_operation}) {
    if (operation > 0 && !SynWorkBillAndOperShift(sDsn, operation, 0, 0)) return operation;
  }
  return 0;
}

}  // namespace CorvaMSHTransBills
