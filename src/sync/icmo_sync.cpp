// The production task follows its work bill: the task's dates, quantities and times are carried
// up from the operations (SynICMOAndWorkBill), and a released task is marked as started once the
// floor reports on it (UpdateICMoStartFlag).
#include <string>

#include "bills/task_totals.h"
#include "corva/recordset.h"
#include "corva/variant.h"
#include "frame/sql_text.h"
#include "sync/cls_m_syn_bills.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;
using corva::frame::FrameVote;

// The production task whose work bill holds operation `operation`.
std::string BuildTaskOfOperationQuery(int32_t operation) {
  return "select v2.FinterID from shworkbillentry u1,shworkbill v1,ICMO v2 where u1.FinterID = "
         "v1.Finterid and v1.FICMOInterID = v2.FinterID and u1.FWBinterID = " +
         SqlNumber(operation);
}

// Carries the task's work bill up to task `task`. The product leaves the first operation as
// started and finished work and the last one as passed work; losses and times of every operation
// add up. Base-unit quantities go through the task unit's ratio. In one UPDATE every right-hand
// side sees the row as it was, so FQtyFinish follows the new finished quantity while the other
// base quantities are computed from the auxiliary quantities stored before this update (they catch
// up on the next synchronization).
std::string BuildTaskFromWorkBillBatch(int32_t task) {
  return JoinCrLf({
      "declare @ICMOInterID int",
      "declare @WBHeadInterID int",
      "declare @FirstWBInterID int",
      "declare @LastWBInterID int",
      "declare @AuxQtyFinish decimal(28,10)",
      "declare @AuxQtyPass decimal(28,10)",
      "declare @WorkStartDate datetime",
      "declare @WorkEndDate datetime",
      "declare @AuxQtyBack decimal(28,10)",
      "declare @AuxQtyLost decimal(28,10)",
      "declare @AuxQtyScrap decimal(28,10)",
      "declare @AuxQtyForItem decimal(28,10)",
      "declare @FinishTime decimal(28,10)",
      "declare @FixTime decimal(28,10)",
      "declare @PowerCutTime decimal(28,10)",
      "declare @WaitItemTime decimal(28,10)",
      "declare @WaitToolTime decimal(28,10)",
      "declare @ReadyTime decimal(28,10)",
      "declare @MeasureRatio decimal(28,10)",
      "",
      "select @ICMOInterID = " + SqlNumber(task),
      "",
      // A task without a work bill keeps what it has.
      "select Top 1 @WBHeadInterID  = IsNull(FinterID,0) from SHWorkBill where FICMOInterID = "
      "@ICMOInterID",
      "if @WBHeadInterID > 0 Begin",
      "select Top 1 @FirstWBInterID = IsNull(FWBinterID,0) from ShworkbillEntry where FinterID in "
      "(select TOP 1 FInterID from shworkbill where FICMOInterID = @ICMOInterID) order by FEntryID",
      "select Top 1 @LastWBInterID = IsNull(FWBinterID,0) from ShworkbillEntry where FinterID in "
      "(select TOP 1 FInterID from shworkbill where FICMOInterID = @ICMOInterID) order by FEntryID "
      "DESC",
      "",
      "select @AuxQtyFinish = FAuxQtyFinish, @WorkStartDate = FStartWorkDate from ShworkbillEntry "
      "where FWBInterID = @FirstWBInterID",
      "select @AuxQtyPass = FAuxQtyPass, @WorkEndDate = FEndWorkDate from ShworkbillEntry where "
      "FWBInterID = @LastWBInterID",
      "select @AuxQtyBack = " + WorkBillSum("FAuxQtyBack") + ", @AuxQtyLost = " +
          WorkBillSum("FAuxQtyLost") + ", @AuxQtyScrap = " + WorkBillSum("FAuxQtyScrap") +
          ", @AuxQtyForItem = " + WorkBillSum("FAuxQtyForItem"),
      ",@FinishTime = IsNull(sum(FFinishTime),0), @FixTime = IsNull(sum(FFixTime),0), "
      "@PowerCutTime = IsNull(sum(FPowerCutTime),0)",
      ",@WaitItemTime = IsNull(sum(FWaitItemTime),0), @WaitToolTime = "
      "IsNull(sum(FWaitToolTime),0), "
      "@ReadyTime = IsNull(sum(FReadyTime),0)",
      "from ShworkbillEntry where FInterID = @WBHeadInterID",
      "select @MeasureRatio = (isnull(v1.FCoefficient,1)+isnull(v1.FScale,0)) from ICMO u1, "
      "t_MeasureUnit v1 where u1.FUnitID = v1.FitemID and u1.FInterID = @ICMOInterID",
      "Update ICMO set FStartDate = @WorkStartDate",
      ",FFinishDate = @WorkEndDate",
      ",FAuxQtyFinish = @AuxQtyFinish",
      ",FAuxQtyPass = @AuxQtyPass",
      ",FAuxQtyBack = @AuxQtyBack",
      ",FAuxQtyLost = @AuxQtyLost",
      ",FAuxQtyScrap = @AuxQtyScrap",
      ",FAuxQtyForItem = @AuxQtyForItem",
      ",FQtyFinish = @AuxQtyFinish*@MeasureRatio",
      ",FQtyPass = FAuxQtyPass*@MeasureRatio",
      ",FQtyBack = FAuxQtyBack*@MeasureRatio",
      ",FQtyLost = FAuxQtyLost*@MeasureRatio",
      ",FQtyScrap = FAuxQtyScrap*@MeasureRatio",
      ",FQtyForItem = FAuxQtyForItem*@MeasureRatio",
      ",FFinishTime = @FinishTime",
      ",FFixTime = @FixTime",
      ",FPowerCutTime = @PowerCutTime",
      ",FWaitItemTime = @WaitItemTime",
      ",FWaitToolTime = @WaitToolTime",
      ",FReadyTime = @ReadyTime",
      "where   FInterID = @ICMOInterID",
      "End",
  });
}

// Marks task `task` as started when it is released, not yet started, not suspended and not
// cancelled, and answers how many rows it marked (0 or 1).
std::string BuildStartFlagBatch(int32_t task) {
  std::string sql = JoinCrLf({
      "set nocount on",
      " Update ICMO SET FStartFlag=1 Where FInterID=" + SqlNumber(task) +
          " and FStatus=1 and FStartFlag=0 and FSuspend=0 and FCancellation=0 ",
      "select @@rowcount as FCount",
  });
  sql.append(kCrLf);
  return sql;
}

}  // namespace

bool clsMSynBills::SynICMOAndWorkBill(const std::string& sDsn, int32_t lngICMOInterID,
                                      corva::Optional<int32_t> lngWBInterID,
                                      corva::Optional<int32_t> /*lngOptions*/) {
  // No error trap: a database error reaches the caller with the abort vote standing (the
  // re-totals that call this catch it in their own trap).
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .connect = false, .trap = false},
                    [&](Call& call) {
                      int32_t task = lngICMOInterID;
                      if (task == 0) {
                        if (lngWBInterID == 0) return false;
                        corva::RecordsetPtr row =
                            call.Connection()->Execute(BuildTaskOfOperationQuery(lngWBInterID));
                        if (row->Eof()) return false;
                        task = row->Fields("FinterID").AsLong();
                      }
                      call.Connection()->Execute(BuildTaskFromWorkBillBatch(task));
                      return true;
                    });
}

bool clsMSynBills::UpdateICMoStartFlag(const std::string& sDsn, int32_t lICMOInterID) {
  // Not starting a task is an answer, not a failure: the vote is SetComplete either way.
  return frame_.Query<bool>(sDsn, false, {.connect = false}, [&](Call& call) {
    if (lICMOInterID < 1) return false;
    corva::RecordsetPtr rs = call.Connection()->Execute(BuildStartFlagBatch(lICMOInterID));
    return !rs->Eof() && rs->Fields("FCount").AsLong() > 0;
  });
}

}  // namespace CorvaMSHTransBills
