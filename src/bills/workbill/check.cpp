// clsMWorkBill's check and close rules: after a check or uncheck a rework bill's first operation
// counts its rework receipt only while it is checked; an operation whose quantities say it is
// finished is closed, and a closed one that is no longer finished is re-opened, by the plan-check
// component in the caller's transaction.
#include <string>
#include <vector>

#include "bills/plan_check_component.h"
#include "bills/workbill/cls_m_work_bill.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::Call;
using corva::frame::LoadResMsg;

// A quantity of the operation's row, Null read as 0: exact, so that "passed equals handed over"
// is decided as the database's decimals decide it (0.7 + 0.1 is 0.8).
corva::Decimal Quantity(const corva::Recordset& row, const char* column) {
  return corva::ValueOr(row.Fields(column), 0).AsDecimal();
}

enum class CloseDecision { kNothing, kClose, kReopen };

// Whether the operation's quantities call for closing it or re-opening it. Handed over counts
// what went to the next operation and what went to conversion.
CloseDecision DecideClose(const corva::Recordset& row, int32_t status) {
  corva::Decimal pass = Quantity(row, "fAuxQtyPass");
  corva::Decimal plan = Quantity(row, "FAuxQtyPlan");
  corva::Decimal handed_over =
      Quantity(row, "FAuxQtyHandOver") + Quantity(row, "FAuxConvertQtyHandover");
  if (status == kWorkBillEntryClosed) {
    // A closed operation that no longer passed its plan, or handed over more than it passed, was
    // closed too early.
    return pass < plan || pass > handed_over ? CloseDecision::kReopen : CloseDecision::kNothing;
  }
  Variant bill_type = corva::ValueOr(row.Fields("FBillType"), kWorkBillTypeNormal);
  if (bill_type.AsLong() == kWorkBillTypeNormal) {
    // An ordinary operation counts what came back qualified from reprocessing as passed; it is
    // finished when the plan and the stock gain are covered, everything passed has been handed
    // on, and all that went to reprocessing has come back and moved on.
    corva::Decimal gain = Quantity(row, "FAuxQtyGain");
    corva::Decimal qualified_reprocessed = Quantity(row, "FQualifiedReprocessedQty");
    corva::Decimal reprocessed_moved = Quantity(row, "FReprocessedMoveQty");
    corva::Decimal reprocessed = Quantity(row, "FReprocessedQty");
    bool finished = pass + qualified_reprocessed >= plan + gain &&
                    pass + qualified_reprocessed == handed_over &&
                    reprocessed_moved >= reprocessed && qualified_reprocessed >= reprocessed_moved;
    return finished ? CloseDecision::kClose : CloseDecision::kNothing;
  }
  return pass >= plan && pass == handed_over ? CloseDecision::kClose : CloseDecision::kNothing;
}

}  // namespace

bool clsMWorkBill::PostCheck(const std::string& sDsn, int32_t lngInterID, int32_t /*CheckSwitch*/,
                             int32_t /*ProcessStatus*/, int32_t /*lngEmpID*/,
                             corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(sDsn, *ReturnMsg, {.crlf = true}, [&](Call& call) {
    const std::string id = SqlNumber(lngInterID);
    corva::RecordsetPtr bill = call.Connection()->Execute(
        "Select isnull(FBillType,11620) as FBillType from shworkbill Where FInterID=" + id);
    if (bill->Eof()) {
      return call.Refuse(LoadResMsg("内码为[", call.lang()) + id +
                         LoadResMsg("]的工序计划单不存在，数据有误！", call.lang()));
    }
    if (corva::ValueOr(bill->Fields("FBillType"), kWorkBillTypeNormal).AsLong() !=
        kWorkBillTypeRework) {
      return true;
    }
    corva::RecordsetPtr first = call.NewConnection()->Execute(
        "Select isnull(FWBInterID,0) as NFWBInterID from shworkbillentry Where FInterID=" + id +
        " and FOperSN=(Select isnull(min(FOperSN),0) as FMinOperSN from SHWorkBillEntry where "
        "FInterID=" +
        id + ")");
    int32_t first_operation =
        first->Eof() ? 0 : corva::ValueOr(first->Fields("NFWBInterID"), 0).AsLong();
    if (first_operation == 0) {
      return call.Refuse(LoadResMsg("内码为[", call.lang()) + id +
                         LoadResMsg("]的工序计划单的最小工序号不存在，数据有误！", call.lang()));
    }
    // The rework receipt of the first operation counts only while the operation is checked.
    call.NewConnection()->Execute(
        "Update shworkbillentry Set FAuxRepReceiveQty=(case when FStatus>0 then "
        "FAuxRepReceiveSelQty else 0 end),FRepReceiveQty=(case when FStatus>0 then "
        "FRepReceiveSelQty else 0 end) Where FWBInterID=" +
        SqlNumber(first_operation));
    return true;
  });
}

bool clsMWorkBill::AutoCloseBill(const std::string& sDsn, int32_t lngWBInterID, int32_t lngEmpID,
                                 std::string& ReturnMsg) {
  return frame_.Run(sDsn, ReturnMsg, {}, [&](Call& call) {
    corva::RecordsetPtr row = call.Connection()->Execute(
        "Select u1.*,v1.FBillType from SHWorkBill v1,SHWorkBillEntry u1 Where u1.FWBInterID = " +
        SqlNumber(lngWBInterID) + " and u1.FInterID=v1.FInterID ");
    if (row->Eof()) return call.Refuse(LoadResMsg("对应的工序计划单不存在！", call.lang()));
    int32_t status = corva::ValueOr(row->Fields("FStatus"), 0).AsLong();
    if (status == kWorkBillEntryPlanned) {
      return call.Refuse(
          LoadResMsg("对应的工序计划单处于计划状态，不能执行关闭或反关闭操作！", call.lang()));
    }
    CloseDecision decision = DecideClose(*row, status);
    if (decision == CloseDecision::kNothing) return true;

    // The plan-check component closes or re-opens the operation in this transaction and answers
    // with its own message when it cannot.
    namespace plan = corva::bills;
    auto plan_check =
        call.CreateInstance(corva::frame::GetEditionName(sDsn, plan::kPlanCheckProgID));
    int32_t action =
        decision == CloseDecision::kClose ? plan::kPlanCheckClose : plan::kPlanCheckReopen;
    std::vector<Variant> args{sDsn,
                              lngWBInterID,
                              lngEmpID,
                              action,
                              call.sMsg(),
                              plan::kPlanCheckNoOptions,
                              plan::kPlanCheckProcessClose};
    Variant done = plan_check->Invoke("CheckWorkBill", args);
    call.sMsg() = args[4].ToText();
    return done.AsBool();
  });
}

}  // namespace CorvaMSHTransBills
