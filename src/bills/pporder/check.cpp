// clsMPPOrder's rules. A forecast order that sales orders were derived from, or whose lines were
// closed for business, has been acted on and must stay checked; a line needed before the order
// was made cannot be planned.
#include <string>

#include "bills/pporder/cls_m_pp_order.h"
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

// The first column of the first row, or nothing when the statement gave no row.
bool FirstCount(const corva::RecordsetPtr& rows, int32_t* count) {
  if (!rows || !rows->IsOpen() || rows->Eof()) return false;
  *count = rows->Fields(0).AsLong();
  return true;
}

}  // namespace

bool clsMPPOrder::BeginSave(const std::string&, corva::VectorPtr&, std::string&) { return true; }

bool clsMPPOrder::EndSave(const std::string&, corva::VectorPtr&, std::string&) { return true; }

bool clsMPPOrder::PreCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                           int32_t, int32_t, corva::Optional<corva::Date>,
                           corva::OptionalRef<std::string> ReturnMsg) {
  // No vote either way, and the message of a run-time error is its description as it came.
  corva::frame::FrameOptions options{
      .vote = false,
      .connect = false,
      .on_error = [&](const corva::Error& e) { *ReturnMsg = e.Description(); },
  };
  return frame_.Run(sDsn, options, [&](Call& call) {
    if (CheckSwitch != kCheckSwitchUndo) return true;
    const corva::ConnectionPtr& db = call.Connection();
    const std::string id = SqlNumber(lngInterID);
    int32_t count = 0;
    if (!FirstCount(db->Execute("SELECT COUNT(*) AS FCount FROM PPOrderEntry WHERE FInterID=" + id +
                                " AND FOrderClosed=1"),
                    &count)) {
      return false;
    }
    if (count > 0) {
      *ReturnMsg = LoadResMsg("存在行业务关闭的分录, 不允许反审核。", call.lang());
      return false;
    }
    if (!FirstCount(db->Execute("SELECT COUNT(*) FROM SEOrderEntry WHERE FSourceInterId=" + id +
                                " And FSourceTranType=87"),
                    &count)) {
      return false;
    }
    if (count > 0) {
      *ReturnMsg = LoadResMsg("已经存在关联的销售订单, 不允许反审核。", call.lang());
      return false;
    }
    return true;
  });
}

bool clsMPPOrder::PostCheck(const std::string& sDsn, int32_t lngInterID, int32_t, int32_t, int32_t,
                            corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    corva::RecordsetPtr early = call.Connection()->Execute(
        "SELECT U.FDATE,V.FNEEDDATE,V.* FROM PPORDER U INNER JOIN PPORDERENTRY V ON "
        "U.FINTERID=V.FINTERID  Where U.FDate > v.FNeedDate AND U.FINTERID=" +
        SqlNumber(lngInterID));
    if (!early->Eof()) {
      *ReturnMsg = LoadResMsg("预测开始日期不应小于建立日期!", call.lang());
      return false;
    }
    return true;
  });
}

}  // namespace CorvaMSHTransBills
