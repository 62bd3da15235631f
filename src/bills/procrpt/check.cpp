// clsMProcRpt's check rule. While no report on a dispatch entry is checked the entry shows
// nothing reported; once one is, it shows every report on it. Above the entry, the operation
// counts only what its released dispatch entries hold, and the production task what its released
// operations hold, so that unchecking the last checked report takes everything back down.
#include <string>

#include "bills/procrpt/cls_m_proc_rpt.h"
#include "bills/procrpt/report_common.h"
#include "bills/procrpt/report_statements.h"
#include "frame/method_frame.h"

namespace CorvaMSHTransBills {

bool clsMProcRpt::UpdateInfoAfterCheck(const std::string& sDsn, int32_t CheckSwitch,
                                       int32_t FinterID,
                                       corva::OptionalRef<std::string> Returnstring,
                                       corva::OptionalRef<bool> blnSave) {
  return frame_.Run(sDsn, *Returnstring, {.first_vote = corva::frame::FrameVote::kAbort},
                    [&](corva::frame::Call& call) {
                      using namespace procrpt;  // NOLINT(build/namespaces): the statement builders
                      call.Connection()->Execute(
                          GetRptVarsSql(FinterID, 0, false) + GetTaskDispTotalsOnCheckSql() +
                          GetWorkBillTotalsOnCheckSql() + GetICMOTotalsOnCheckSql() +
                          (*blnSave ? GetWIPDeductSql() : std::string()) +
                          GetMoveNoSql(CheckSwitch) + GetTaskDispDoneSql() +
                          GetDoubleQtySql(ReportDoubleQtyCode(call)));
                      return true;
                    });
}

}  // namespace CorvaMSHTransBills
