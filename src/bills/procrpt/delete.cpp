// clsMProcRpt's delete rule. The host calls it while the report is still stored, so the
// re-totals leave the report out by its id; what it finished goes back into process, and the
// operation is closed or re-opened by the work bill's own rule now that the report is gone.
#include <string>
#include <vector>

#include "bills/procrpt/cls_m_proc_rpt.h"
#include "bills/procrpt/report_statements.h"
#include "corva/recordset.h"
#include "frame/method_frame.h"
#include "frame/profile.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

// Created by this name, without an edition prefix: the work bill class is the library's own.
constexpr char kWorkBillProgID[] = "CorvaMSHTransBills.clsMworkBill";

}  // namespace

bool clsMProcRpt::UpdateInfoAfterDel(const std::string& sDsn, int32_t FinterID,
                                     double& dblquantity) {
  // A failure leaves only its abort vote: the host's transaction is not committed by this call.
  frame_.Run(sDsn, {.first_vote = corva::frame::FrameVote::kAbort}, [&](corva::frame::Call& call) {
    using namespace procrpt;  // NOLINT(build/namespaces): the statement builders
    const corva::ConnectionPtr& db = call.Connection();
    db->Execute(GetRptVarsSql(FinterID, 0, false) + GetTaskDispTotalsOnDelSql() +
                GetWorkBillTotalsOnDelSql() + GetICMOTotalsSql() +
                GetWIPDeductQtySql(dblquantity, true) + GetMoveNoSql(0));
    corva::RecordsetPtr report =
        db->Execute("select FWBInterID from SHProcRptmain where FInterID=" + SqlNumber(FinterID));
    if (!report->Eof()) {
      std::vector<corva::Variant> args{sDsn, report->Fields("FWBInterID"),
                                       corva::frame::GetLoginUserID(call.DataSource()),
                                       std::string()};
      call.CreateInstance(kWorkBillProgID)->Invoke("AutoCloseBill", args);
    }
    return true;
  });
  return true;
}

}  // namespace CorvaMSHTransBills
