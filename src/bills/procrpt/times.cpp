// clsMProcRpt's report times and the automatic close of an operation. The preparation hours that
// reports book (FHRReadyTime) are kept on the production task in hours and on the operation and
// the dispatch entry in their own time units; an operation that has passed its plan and handed on
// everything it passed is closed as soon as a report shows it.
#include <string>

#include "bills/procrpt/cls_m_proc_rpt.h"
#include "bills/procrpt/report_common.h"
#include "bills/procrpt/report_statements.h"
#include "corva/decimal.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Decimal;
using corva::frame::Call;
using corva::frame::FrameVote;
using procrpt::Lines;
using procrpt::QuantityOr0;

// The hours of report lines t3 summed: minutes (11081) / 60, days (11083) x 24, anything else as
// it stands; a Null time counts as 0.
constexpr char kReportHours[] =
    "isnull(sum(case t3.FTimeUnit when 11081 then isnull(t3.FHRReadyTime,0)/60.0 when 11083 then "
    "isnull(t3.FHRReadyTime,0)*24.0 else isnull(t3.FHRReadyTime,0) end),0)";

// Hours `hours` in the unit of target t1: minutes x 60, days / 24, else hours.
std::string InUnitOfT1(const std::string& hours) {
  return "(case t1.FTimeUnit when 11081 then " + hours + "*60.0 when 11083 then " + hours +
         "/24.0 else " + hours + " end)";
}

// One target's FHRReadyTime set to the hours of every report whose header column `key` names it
// (`key` = @`variable`); a target that no report names keeps its value.
std::string BuildHoursUpdate(const std::string& table, const std::string& id_column,
                             const std::string& key, const std::string& variable, bool own_unit) {
  const std::string value = own_unit ? InUnitOfT1("t4.FHRReadyTime") : "t4.FHRReadyTime";
  return Lines({
      "update " + table + " set FHRReadyTime=" + value + " from " + table + " t1",
      " inner join (select t2." + key + "," + kReportHours + " as FHRReadyTime",
      " from SHProcRpt t3 inner join (select FInterID," + key + " from SHProcRptMain where " + key +
          "=@" + variable + ") t2 on t3.FInterID=t2.FInterID",
      " group by t2." + key + ") t4 on t1." + id_column + "=t4." + key,
  });
}

// The recomputation: every target of the report gets the hours of all reports on it.
std::string BuildHoursRecompute(int32_t report) {
  return Lines({
             "Declare @ICMOInterID int",
             "Declare @WBInterID int",
             "Declare @TaskDispBillID int",
             "select @ICMOInterID=isnull(FICMOInterID,-1),@WBInterID=isnull(FWBInterID,-1),"
             "@TaskDispBillID=isnull(FTaskDispBillID,-1) from SHProcRptMain where FInterID=" +
                 SqlNumber(report),
         }) +
         BuildHoursUpdate("icmo", "FInterID", "FICMOInterID", "ICMOInterID", false) +
         BuildHoursUpdate("SHWorkBillEntry", "FWBInterID", "FWBInterID", "WBInterID", true) +
         BuildHoursUpdate("ICTaskDispBillEntry", "FTaskDispInterID", "FTaskDispBillID",
                          "TaskDispBillID", true);
}

// The removal: every target of the report loses exactly the hours this report booked.
std::string BuildHoursRemoval(int32_t report) {
  const std::string id = SqlNumber(report);
  const std::string in_unit =
      "(case FTimeUnit when 11081 then @HRReadyTime*60.0 when 11083 then @HRReadyTime/24.0 else "
      "@HRReadyTime end)";
  return Lines({
      "Declare @HRReadyTime DECIMAL(23,10)",
      "Declare @ICMOInterID int",
      "Declare @WBInterID int",
      "Declare @TaskDispBillID int",
      "select @HRReadyTime=isnull(sum(case FTimeUnit when 11081 then isnull(FHRReadyTime,0)/60.0 "
      "when 11083 then isnull(FHRReadyTime,0)*24.0 else isnull(FHRReadyTime,0) end),0) from "
      "SHProcRpt where FInterid= " +
          id,
      "select @ICMOInterID=isnull(FICMOInterID,-1) from SHProcRptMain where FInterID=" + id,
      "select @WBInterID=isnull(FWBInterID,-1) from SHProcRptMain where FInterID=" + id,
      "select @TaskDispBillID=isnull(FTaskDispBillID,-1) from SHProcRptMain where FInterID=" + id,
      "update ICMO SET FHRReadyTime=FHRReadyTime-@HRReadyTime where FInterid=@ICMOInterID",
      "update SHWorkBillEntry SET FHRReadyTime=FHRReadyTime- " + in_unit +
          " where FWBInterID=@WBInterID ",
      "update ICTaskDispBillEntry SET FHRReadyTime=FHRReadyTime- " + in_unit +
          " where fTaskDispInterID=@TaskDispBillID ",
  });
}

// Whether the operation's row (with its work bill's type) shows it finished: it passed its plan
// and handed on (to the next operation or to conversion) exactly what it passed. An ordinary
// operation counts what came back qualified from rework as passed, covers its stock gain too, and
// must have moved everything it sent to rework, which must all have come back qualified. Exact
// decimals, so that "passed equals handed over" is decided as the database's decimals decide it.
bool OperationFinished(const corva::Recordset& row) {
  const Decimal pass = QuantityOr0(row.Fields("fAuxQtyPass"));
  const Decimal plan = QuantityOr0(row.Fields("FAuxQtyPlan"));
  const Decimal handed_on = QuantityOr0(row.Fields("FAuxQtyHandOver")) +
                            QuantityOr0(row.Fields("FAuxConvertQtyHandover"));
  if (corva::ValueOr(row.Fields("FBillType"), kWorkBillTypeNormal).AsLong() !=
      kWorkBillTypeNormal) {
    return pass >= plan && pass == handed_on;
  }
  const Decimal qualified_rework = QuantityOr0(row.Fields("FQualifiedReprocessedQty"));
  const Decimal rework_moved = QuantityOr0(row.Fields("FReprocessedMoveQty"));
  const Decimal rework = QuantityOr0(row.Fields("FReprocessedQty"));
  return pass + qualified_rework >= plan + QuantityOr0(row.Fields("FAuxQtyGain")) &&
         pass + qualified_rework == handed_on && rework_moved >= rework &&
         qualified_rework >= rework_moved;
}

}  // namespace

bool clsMProcRpt::WriteBackTime(const std::string& sDsn, int32_t lngIRInterID, bool blnDel,
                                corva::OptionalRef<std::string> /*ReturnMsg*/) {
  // ReturnMsg stays as the caller passed it, also on an error: the vote tells the outcome.
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    call.Connection()->Execute(blnDel ? BuildHoursRemoval(lngIRInterID)
                                      : BuildHoursRecompute(lngIRInterID));
    return true;
  });
}

bool clsMProcRpt::AutoCloseSHWork(const std::string& sDsn, int32_t lngWBInterID) {
  bool missing = false;
  const bool done = frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    const std::string id = SqlNumber(lngWBInterID);
    corva::RecordsetPtr row = call.Connection()->Execute(
        "Select u1.*,v1.FBillType from SHWorkBill v1,SHWorkBillEntry u1 Where u1.FWBInterID = " +
        id + " and u1.FInterID=v1.FInterID ");
    if (row->Eof()) {
      // Nothing to close: true for the caller, but no commit vote of this operation's own.
      missing = true;
      return false;
    }
    if (procrpt::LongOr0(row->Fields("FStatus")) == kWorkBillEntryClosed) return true;
    if (OperationFinished(*row)) {
      call.Connection()->Execute("Update SHWorkBillEntry Set Fstatus=" +
                                 SqlNumber(kWorkBillEntryClosed) + " Where FWBInterID=" + id);
    }
    return true;
  });
  return done || missing;
}

}  // namespace CorvaMSHTransBills
