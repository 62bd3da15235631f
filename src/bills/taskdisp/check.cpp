// clsMTaskDispBill's check rules: checking, unchecking, closing and unclosing a whole dispatch
// bill or one entry, the write-back of the checked quantity into the operation under the dispatch
// quantity control, and the move-number ledger SHMoveNoManage that records which quantity of which
// move number was dispatched to which operation.
#include <cstdio>
#include <string>
#include <vector>

#include "bills/operation_totals.h"
#include "bills/plan_check_component.h"
#include "bills/taskdisp/cls_m_task_disp_bill.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "frame/profile.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::RecordsetPtr;
using corva::Variant;
using corva::frame::Call;
using corva::frame::FrameVote;
using corva::frame::LoadResMsg;

constexpr char kPublicProgID[] = "CorvaMSHTransBills.clsPublic";

int32_t LongOr0(const Variant& value) { return corva::ValueOr(value, 0).AsLong(); }
// A quantity of a decimal(28,10) column, Null read as 0: exact, so that sums and differences of
// quantities compare as the database's decimals do.
corva::Decimal QuantityOr0(const Variant& value) { return corva::ValueOr(value, 0).AsDecimal(); }

// A site setting compared with 0. Only a value that reads as the number 0 is 0: a missing row
// (read as the empty text) or a text that is not a number counts as "not 0", so a site that never
// stored the setting keeps the neutral behaviour.
bool SettingIsZero(const Variant& value) { return value.IsNumeric() && value.AsDouble() == 0; }

// 'YYYY-MM-DD' of the day of `date`, as an SQL literal.
std::string QuotedDay(const corva::Date& date) {
  int year, month, day, hour, minute;
  double second;
  date.ToParts(&year, &month, &day, &hour, &minute, &second);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return SqlQuote(text);
}

// The check date an entry records: the day of `date`, or Null for a date not after 1990-01-01
// (the caller gave none: an omitted date is the date zero, 1899-12-30).
std::string EntryCheckDate(const corva::Date& date) {
  return date.serial > corva::Date::FromParts(1990, 1, 1).serial ? QuotedDay(date) : "Null";
}

// ---- Statements of CheckTaskDispBill ----

std::string BuildRowsQuery(int32_t bill, int32_t entry) {
  return "Select v.FBillerId,u.* From ICTaskDispBill v inner join ICTaskDispBillEntry u on "
         "v.Finterid=u.Finterid " +
         (bill != 0 ? "Where u.FinterID=" + SqlNumber(bill)
                    : "Where u.FTaskDispInterID=" + SqlNumber(entry));
}

std::string BuildLinkedReportsQuery(int32_t bill, int32_t entry) {
  return "Select Count(*) from SHProcRptMain Where " +
         (bill != 0 ? " FTaskDispBillID In (select FTaskDispInterID from ICTaskDispBillEntry where "
                      "FInterID = " +
                          SqlNumber(bill) + ")"
                    : " FTaskDispBillID = " + SqlNumber(entry));
}

std::string BuildOperationExistsQuery(int32_t bill, int32_t entry) {
  if (bill != 0) {
    return "Select u1.FWBInterID from SHWorkBillEntry u1, ICTaskDispBill v1 where "
           "v1.FWorkBillInterID = u1.FWBInterID and v1.FInterID = " +
           SqlNumber(bill);
  }
  return "Select u1.FWBInterID from SHWorkBillEntry u1, ICTaskDispBill v1, ICTaskDispBillEntry v2 "
         "where v1.FWorkBillInterID = u1.FWBInterID and v1.FInterID = v2.FInterID and "
         "v2.FTaskDispInterID = " +
         SqlNumber(entry);
}

// Check or uncheck of the matching entries; closed entries keep their state.
std::string BuildEntryCheckUpdate(int32_t bill, int32_t entry, bool undo, int32_t emp,
                                  const corva::Date& date) {
  return "Update ICTaskDispBillEntry Set Fstatus=" +
         SqlNumber(undo ? kTaskDispEntrySaved : kTaskDispEntryChecked) +
         ",FcheckerID=" + (undo ? std::string("Null") : SqlNumber(emp)) +
         ",FCheckDate=" + (undo ? std::string("Null") : EntryCheckDate(date)) +
         " Where (FinterID=" + SqlNumber(bill) + " OR FTaskDispInterID=" + SqlNumber(entry) +
         ") and Fstatus<>3";
}

// Close or unclose of every matching entry, whatever its state.
std::string BuildEntryCloseUpdate(int32_t bill, int32_t entry, bool undo) {
  return "Update ICTaskDispBillEntry Set Fstatus=" +
         SqlNumber(undo ? kTaskDispEntryChecked : kTaskDispEntryClosed) +
         " Where (FinterID=" + SqlNumber(bill) + " OR FTaskDispinterID=" + SqlNumber(entry) + ")";
}

// ---- Statements of UpdateMoveNoManage ----

// Check: the operation's ledger rows of dispatch bills (of one move number, `move_no_filter`) are
// rebuilt from the entries now checked.
std::string BuildLedgerRebuild(int32_t operation, const std::string& move_no_filter) {
  const std::string op = SqlNumber(operation);
  return " Delete From SHMoveNoManage Where FTransType = 502 and FWBInterID = " + op +
         move_no_filter +
         " Insert into SHMoveNoManage(FOperMoveNo,FWBInterID,FICMOInterID,FTransType,FStatus,FQty) "
         " select v.FOperMoveNo,u.FWorkBillInterID as FWBInterID,u.FICMOInterID,502 as "
         "FTransType,1 as FStatus," +
         std::string(kDispatchLedgerSum) + " as FQty  " + std::string(kDispatchLedgerFrom) +
         "  Where " + std::string(kDispatchLedgerCounted) + " and u.FWorkBillInterID = " + op +
         move_no_filter + " Group by v.FOperMoveNo,u.FWorkBillInterID,u.FICMOInterID";
}

// Uncheck, close and unclose: the quantities of the bill's entries (or of the one entry) come off
// their move numbers' rows, or go back on them when unclosing. `set` is the assignment as each
// action writes it.
std::string BuildLedgerAdjust(const std::string& set, int32_t bill, int32_t entry) {
  std::string filter;
  if (bill >= 1) {
    filter = " And v.FInterID = " + SqlNumber(bill);
  } else if (entry >= 1) {
    filter = " And t.FTaskDispInterID = " + SqlNumber(entry);
  }
  return " Update u set " + set +
         " "
         " From SHMoveNoManage u Inner join ICTaskDispBill v on u.FWBInterID = v.FWorkBillInterID "
         " Inner join ICTaskDispBillEntry t on v.FInterID = t.FInterID and "
         "t.FOperMoveNo=u.FOperMoveNo "
         " Where FTransType = 502 " +
         filter;
}

// ---- Helpers of the check ----

// The plan-check component's rights option `control` for dispatch bills, from a fresh component
// in the call's transaction.
bool BillControl(Call& call, int32_t control) {
  auto plan_check = call.CreateInstance(
      corva::frame::GetEditionName(call.sDsn(), corva::bills::kPlanCheckProgID));
  std::vector<Variant> args{call.sDsn(), control, kBillTypeTaskDisp};
  return plan_check->Invoke("GetBillControl", args).AsBool();
}

// Whether a bill above `id` of type `type` (or, with `self_included`, the bill itself) is closed,
// cancelled or suspended, as clsPublic sees it in the call's transaction.
bool LockedByUpperBills(Call& call, int32_t id, int32_t type, bool self_included) {
  auto common = call.CreateInstance(kPublicProgID);
  std::vector<Variant> args{call.sDsn(), id, type};
  if (self_included) args.emplace_back(true);
  return common->Invoke("IsLockByUpperBills", args).AsBool();
}

}  // namespace

bool clsMTaskDispBill::CheckTaskDispBill(const std::string& MtsString, int32_t FTDinterID,
                                         int32_t EmpID, int32_t CheckSwitch, int32_t& ReturnCode,
                                         corva::OptionalRef<std::string> Returnstring,
                                         corva::Optional<int32_t> FinterID,
                                         corva::Optional<int32_t, kProcessCheck> ProcessStatus,
                                         corva::Optional<corva::Date> CheckDate) {
  const std::string lang = corva::frame::GetDsnValue(MtsString, "Language");
  const bool undo = CheckSwitch != kCheckSwitchDo;
  const bool check_process = ProcessStatus == kProcessCheck;  // else close / unclose
  const bool whole_bill = FinterID != 0;                      // else the entry FTDinterID
  std::string action;       // "审核" or "关闭", once the request's ids and the system are sound
  std::string bill_number;  // entry mode: the entry's number, shown in the answer
  std::string sub_messages;
  std::string failure;  // the reason, then the localized run-time error

  ReturnCode = kCheckReturnSuccess;
  bool ok = frame_.Run(MtsString, failure, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    auto refuse = [&](const char* reason) { return call.Refuse(LoadResMsg(reason, lang)); };
    const corva::ConnectionPtr& db = call.Connection();

    if (FTDinterID == 0 && FinterID == 0) {
      return refuse("系统传递给审核中间层的参数不合法![单据内码为 0 ]");
    }
    if (SettingIsZero(corva::frame::GetSystemProfile(call.DataSource(), "ICClosed", "IC"))) {
      return refuse("系统还未完成初始化，不能实现（反）审核/关闭功能!");
    }
    action = LoadResMsg(check_process ? "审核" : "关闭", lang);
    if (check_process && !undo && EmpID == 0) {
      return call.Refuse(
          LoadResMsg("审核状态时,系统传递给审核中间层的参数不合法![审核人为 ", lang) +
          SqlNumber(EmpID) + "]");
    }

    // The header's own state decides a whole-bill check or uncheck. (A bill without its header
    // row has no entries to join either, and is refused below as missing.)
    if (check_process && whole_bill) {
      RecordsetPtr header =
          db->Execute("Select * from ICTaskDispBill Where FinterID=" + SqlNumber(FinterID));
      if (!header->Eof()) {
        int32_t status = LongOr0(header->Fields("FStatus"));
        if (LongOr0(header->Fields("FCancellation")) != 0) return refuse("因为单据已作废!");
        if (status == kTaskDispHeaderClosed) return refuse("因为单据已关闭!");
        if (!undo && status != kTaskDispHeaderUnchecked) return refuse("因为单据已审核!");
        if (status == kTaskDispHeaderUnchecked && undo) return refuse("因为单据尚未审核!");
      }
    }

    RecordsetPtr rows = db->Execute(BuildRowsQuery(FinterID, FTDinterID));
    if (rows->Eof()) return refuse("因为单据不存在!");
    int32_t bill_id = 0;
    for (; !rows->Eof(); rows->MoveNext()) {
      bill_id = LongOr0(rows->Fields("FInterID"));
      if (!whole_bill) bill_number = rows->Fields("FBillNum").ToText();
      int32_t status = LongOr0(rows->Fields("FStatus"));
      bool cancelled = LongOr0(rows->Fields("FCancellation")) != 0;
      if (!check_process) {
        if (cancelled) return refuse("因为单据已作废!");
        if (undo && status < kTaskDispEntryClosed) return refuse("因为单据尚未关闭！");
        if (!undo && status == kTaskDispEntryClosed) return refuse("因为单据已关闭！");
        if (!undo && status == kTaskDispEntrySaved) return refuse("因为单据尚未审核！");
        continue;  // closing asks for no rights
      }
      if (!whole_bill) {
        if (cancelled) return refuse("因为单据已作废!");
        if (status == kTaskDispEntryClosed) return refuse("因为单据已关闭!");
        if (!undo && (status == kTaskDispEntryChecked || status == kTaskDispEntryCheckedToo)) {
          return refuse("因为单据已审核!");
        }
        if (status == kTaskDispEntrySaved && undo) return refuse("因为单据尚未审核!");
      }
      // Rights, asked row by row. A row without a recorded checker has none to match the user.
      if (undo) {
        bool only_checker = BillControl(call, corva::bills::kBillControlOnlyCheckerUnchecks);
        if (only_checker && LongOr0(rows->Fields("FCheckerID")) != EmpID) {
          return refuse("你不是该单据的审核人。如果要获得本项的权利,请修改相应的系统参数。");
        }
      } else {
        bool is_maker = LongOr0(rows->Fields("FBillerId")) == EmpID;
        bool maker_may_check = BillControl(call, corva::bills::kBillControlMakerMayCheck);
        if (is_maker && !maker_may_check) {
          return refuse(
              "你不能审核该单据，因为你与制单人是同一人，如果要获得本项权利，请修改相应的系统参数"
              "。");
        }
      }
    }

    // What the floor has reported against the dispatch must be withdrawn first.
    if (check_process && undo) {
      RecordsetPtr reports = db->Execute(BuildLinkedReportsQuery(FinterID, FTDinterID));
      if (LongOr0(reports->Fields(0)) > 0) {
        return refuse("因为派工单存在关联的工序汇报,不能反审核!");
      }
    }

    // A closed, cancelled or suspended operation or production task above locks the dispatch.
    if (FTDinterID > 0) {
      if (LockedByUpperBills(call, FTDinterID, kBillTypeTaskDisp, false)) {
        return refuse("因为上级关联单据已经结案或关闭!");
      }
    } else {
      if (FinterID < 1) return refuse("单据不存在!");
      RecordsetPtr header = db->Execute(
          "Select FWorkBillInterID from ICTaskDispBill where FInterID = " + SqlNumber(FinterID));
      int32_t operation = header->Eof() ? 0 : LongOr0(header->Fields(0));
      if (operation <= 0) return refuse("单据不存在!");
      if (LockedByUpperBills(call, operation, kBillTypeWorkBill, true)) {
        return refuse("因为上级关联单据已经结案或关闭!");
      }
    }

    if (check_process) {
      if (db->Execute(BuildOperationExistsQuery(FinterID, FTDinterID))->Eof()) {
        return call.Refuse(std::string());
      }
      db->Execute(BuildEntryCheckUpdate(FinterID, FTDinterID, undo, EmpID, CheckDate));
      std::string after_message;
      if (!DoAfterTaskDispBillCheck(MtsString, FTDinterID, FinterID, 0, CheckSwitch, kProcessCheck,
                                    EmpID, after_message)) {
        return call.Refuse(after_message);
      }
      sub_messages += after_message;
    } else {
      db->Execute(BuildEntryCloseUpdate(FinterID, FTDinterID, undo));
    }

    std::string ledger_message;
    if (!UpdateMoveNoManage(MtsString, FTDinterID, FinterID, CheckSwitch, ProcessStatus,
                            ledger_message)) {
      return call.Refuse(ledger_message);
    }
    sub_messages += ledger_message;

    // The header follows its entries: checked, with checker and date, once none is unchecked.
    if (check_process) {
      const std::string bill = SqlNumber(bill_id);
      RecordsetPtr unchecked = db->Execute(
          "Select Count(*) From ICTaskDispBillEntry Where FinterID=" + bill + " And Fstatus=0");
      std::string status, date, checker;
      if (LongOr0(unchecked->Fields(0)) > 0) {
        status = SqlNumber(kTaskDispHeaderUnchecked);
        date = checker = "Null";
      } else {
        if (EmpID == 0) {
          return call.Refuse(LoadResMsg("在审核状态时,系统传递给审核中间层的审核人为 ", lang) +
                             SqlNumber(EmpID) + LoadResMsg(",审核不合法!", lang));
        }
        // The header records the day as given, without the entries' 1990 test.
        status = SqlNumber(kTaskDispHeaderChecked);
        date = QuotedDay(CheckDate);
        checker = SqlNumber(EmpID);
      }
      db->Execute("Update ICTaskDispBill Set FStatus=" + status + "," + "FCheckDate=" + date +
                  ",FCheckerID=" + checker + " Where  FInterID=" + bill);
    }
    return true;
  });

  // "Check", or "Undo check", and in entry mode the entry's number, lead both answers.
  std::string answer = (undo ? LoadResMsg("反", lang) : std::string()) + action;
  if (!whole_bill && !bill_number.empty()) {
    answer += LoadResMsg("[编号:", lang) + bill_number + LoadResMsg("]", lang);
  }
  if (ok) {
    Returnstring = answer + LoadResMsg("单据成功!", lang) + sub_messages;
    ReturnCode = kCheckReturnSuccess;
  } else {
    Returnstring = answer + LoadResMsg("单据时未成功!", lang) + failure;
    ReturnCode = kCheckReturnFailure;
  }
  return ok;
}

bool clsMTaskDispBill::DoAfterTaskDispBillCheck(const std::string& sDsn, int32_t lngTDInterID,
                                                int32_t lngInterID, int32_t lngWBInterID,
                                                int32_t CheckSwitch, int32_t ProcessStatus,
                                                int32_t /*lngEmpID*/, std::string& RtnMsg) {
  RtnMsg.clear();
  // RtnMsg carries the rule's reason only: a run-time error leaves it as it stands.
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    const corva::ConnectionPtr& db = call.Connection();
    auto refuse = [&](std::string reason) {
      RtnMsg = reason;
      return call.Refuse(std::move(reason));
    };
    int32_t operation = lngWBInterID;
    if (operation == 0) {
      RecordsetPtr row;
      if (lngInterID > 0) {
        row = db->Execute("Select FWorkBillInterID from ICTaskDispBill Where FinterID = " +
                          SqlNumber(lngInterID));
      } else if (lngTDInterID > 0) {
        row = db->Execute(
            "Select u1.FWorkBillInterID from ICTaskDispBill u1, ICTaskDispBillEntry v1  where "
            "u1.FInterID = v1.FInterID and v1.FTaskDispInterID = " +
            SqlNumber(lngTDInterID));
      }
      if (row && !row->Eof()) operation = LongOr0(row->Fields(0));
    }

    const bool checking = ProcessStatus == kProcessCheck && CheckSwitch == kCheckSwitchDo;
    corva::Decimal received;
    corva::Decimal checked_before;  // the operation's checked dispatch total before this check
    if (checking) {
      RecordsetPtr row = db->Execute(
          "Select FAuxQtyRecive,FAuxQtyTaskDispAck from SHWorkBillEntry where "
          "FWBInterID = " +
          SqlNumber(operation));
      if (row->Eof()) return refuse(LoadResMsg("工序计划单不存在!", call.lang()));
      received = QuantityOr0(row->Fields("FAuxQtyRecive"));
      checked_before = QuantityOr0(row->Fields("FAuxQtyTaskDispAck"));
    }
    if (operation < 1) return refuse(LoadResMsg("工序计划单不存在!", call.lang()));
    if (!SynWorkBillAndTaskDisp(sDsn, operation, 0, 0)) return refuse(std::string());

    // The dispatch quantity control: the floor may not be handed more than reached the operation.
    if (!checking || !SettingIsZero(corva::frame::GetSystemProfile(
                         call.DataSource(), "TASKDISP_CONTROLQTYPLAN", "SH"))) {
      return true;
    }
    RecordsetPtr auto_dispatched = db->Execute(
        " SELECT FAUTOTD FROM ICTaskDispBill t inner join ICTaskDispBillEntry t1 on "
        "t.FInterID=t1.FInterID where t1.FInterID = " +
        SqlNumber(lngInterID) + " or t1.FTaskDispInterID = " + SqlNumber(lngTDInterID));
    // A bill the system dispatched by itself follows the plan and is not controlled.
    if (!auto_dispatched->Eof() && LongOr0(auto_dispatched->Fields(0)) == kYes) return true;

    RecordsetPtr row = db->Execute(
        "Select FAutoTD,FAuxQtyRecive,FAuxQtyTaskDispAck,isnull(FAuxQtyTaskDispSel,0) as "
        "FAuxQtyTaskDispSel,IsNull(FAuxRepReceiveQty,0) as FAuxRepReceiveQty,IsNull(FAuxQtyFinish,"
        "0) as FAuxQtyFinish,IsNull(FAuxConvertQtyRecive,0) as FAuxConvertQtyRecive,IsNull("
        "FAuxQtyLost,0) as FAuxQtyLost,IsNull(FAuxQtyGain,0) as FAuxQtyGain ,FInterID from "
        "SHWorkBillEntry where FWBInterID = " +
        SqlNumber(operation));
    RecordsetPtr first = db->Execute(JoinCrLf({
        "select t1.FWBInterID as FWBInterID, t1.FISOut as FISOut  from  SHWorkBillEntry t1 inner "
        "join ",
        "(select finterid ,min(FOperSN) as FMinOperSN from SHWorkBillEntry where FInterID=" +
            SqlNumber(LongOr0(row->Fields("FInterID"))) + " group by finterid) t2 ",
        "on t1.finterid=t2.finterid and t1.FOperSN=t2.FMinOperSN",
    }));
    // Every later operation is controlled, and so is a subcontracted first one; a first operation
    // done in house only when the site says so ("FirstOperIsNull" 0).
    bool controlled = true;
    if (!first->Eof() && LongOr0(first->Fields("FWBInterID")) == operation) {
      int32_t subcontracted = LongOr0(first->Fields("FISOut"));
      if (subcontracted == kNo) {
        controlled = SettingIsZero(
            corva::frame::GetSystemProfile(call.DataSource(), "FirstOperIsNull", "SH"));
      } else {
        controlled = subcontracted == kYes;
      }
    }
    if (!controlled) return true;

    corva::Decimal checked_after = QuantityOr0(row->Fields("FAuxQtyTaskDispAck"));
    corva::Decimal available = received + QuantityOr0(row->Fields("FAuxQtyGain")) -
                               QuantityOr0(row->Fields("FAuxQtyLost")) +
                               QuantityOr0(row->Fields("FAuxConvertQtyRecive")) +
                               QuantityOr0(row->Fields("FAuxRepReceiveQty"));
    if (checked_after > available) {
      return refuse(corva::frame::FormatResMsg(
          "原因:新增加的派工数量[%1]大于工序计划单的接收数+盘盈数-"
          "盘亏数+改制接收数+返修接收数和已派"
          "工数量的差值[%2],审核不能进行。",
          call.lang(), {checked_after - checked_before, available - checked_before}));
    }
    return true;
  });
}

bool clsMTaskDispBill::UpdateMoveNoManage(const std::string& sDsn, int32_t lngTDInterID,
                                          int32_t lngInterID, int32_t CheckSwitch,
                                          int32_t ProcessStatus, std::string& sMsg) {
  sMsg.clear();
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    const corva::ConnectionPtr& db = call.Connection();
    // The bill id, when given, wins: the request concerns the whole bill, so the operation is the
    // bill's and every move number of it is touched; the entry id is then not looked at. Only an
    // entry alone narrows the ledger to that entry's move number.
    int32_t operation = 0;
    std::string move_no_filter;
    if (lngInterID >= 1) {
      RecordsetPtr row = db->Execute(
          "Select FWorkBillInterID from ICTaskDispBill Where FinterID = " + SqlNumber(lngInterID));
      if (!row->Eof()) operation = LongOr0(row->Fields(0));
    } else if (lngTDInterID > 0) {
      RecordsetPtr row = db->Execute(
          "Select u1.FWorkBillInterID,v1.FOperMoveNo from ICTaskDispBill u1, ICTaskDispBillEntry "
          "v1  where u1.FInterID = v1.FInterID and v1.FTaskDispInterID = " +
          SqlNumber(lngTDInterID));
      if (!row->Eof()) {
        operation = LongOr0(row->Fields(0));
        move_no_filter = " And FOperMoveNo = " + SqlQuote(row->Fields(1).ToText());
      }
    }

    // Any ProcessStatus but check counts as close, any CheckSwitch but 0 as undo, as in the
    // check itself.
    const bool undo = CheckSwitch != kCheckSwitchDo;
    std::string statement;
    if (ProcessStatus == kProcessCheck) {
      statement = undo ? BuildLedgerAdjust("u.FQty=u.FQty-t.FAuxQtyPlan", lngInterID, lngTDInterID)
                       : BuildLedgerRebuild(operation, move_no_filter);
    } else {
      statement = BuildLedgerAdjust(
          undo ? "u.FQty=u.FQty + t.FAuxQtyPlan" : "u.FQty=u.FQty - t.FAuxQtyPlan", lngInterID,
          lngTDInterID);
    }
    db->Execute(statement);
    return true;
  });
}

}  // namespace CorvaMSHTransBills
