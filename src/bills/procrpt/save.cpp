// clsMProcRpt's save rules. A report may only be saved against a checked (or closed) dispatch
// entry and operation of a released production task that is not suspended. After the host wrote
// it, everything above the report is re-totalled in one batch: the change of its finished total
// since BeginSave decides how much work in process the material lines lose.
#include <string>
#include <vector>

#include "bills/procrpt/cls_m_proc_rpt.h"
#include "bills/procrpt/report_common.h"
#include "bills/procrpt/report_statements.h"
#include "corva/containers.h"
#include "corva/decimal.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::RecordsetPtr;
using corva::Variant;
using corva::frame::Call;
using corva::frame::FrameVote;
using procrpt::LongOr0;
using procrpt::NumericValue;
using procrpt::ReportDoubleQtyCode;

constexpr char kSynBillsProgID[] = "CorvaMSHTransBills.clsMSynBills";

// The ledger mode a save passes to UpdateInfoAfterSave: the report's passed quantity comes off its
// move number's row, as on an uncheck; the check rebuilds the row from every report.
constexpr int32_t kSaveLedgerMode = kCheckSwitchUndo;

// The report's finished total as stored (four lines, as the host's tools compare them).
std::string BuildFinishedTotalQuery(int32_t report) {
  return JoinCrLf({
      "SELECT FInterID,SUM(FAuxQtyFinish) AS FAuxQtyFinish",
      "FROM SHProcRpt",
      "WHERE FInterID=" + SqlNumber(report),
      "GROUP BY FInterID",
  });
}

// The report when its dispatch entry is checked or closed (or its operation is dispatched
// automatically), its operation checked or closed and its production task released and not
// suspended; no row otherwise.
std::string BuildStateQuery(int32_t report) {
  return JoinCrLf({
      "select  s1.fwbinterid   from shprocrptmain s1 Left join ictaskdispbillentry t1 on "
      "s1.Ftaskdispbillid =t1.FTaskdispinterid",
      " join  shworkbillentry  s2 on s1.fwbinterid=s2.fwbinterid",
      " join icmo m1 on s1.ficmointerid=m1.finterid",
      "where m1.fstatus in(1,2) and m1.fsuspend=0 and (t1.fstatus in (1,3) or s2.FAutoTD=1058) "
      "and s2.fstatus in (1,3) and s1.FInterID=" +
          SqlNumber(report),
  });
}

}  // namespace

bool clsMProcRpt::BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                            std::string& /*ReturnMsg*/) {
  // A save without rows has nothing to remember and needs no connection.
  return frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .connect = false}, [&](Call& call) {
    if (!SaveVect || SaveVect->Count() < 1) return true;
    corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
    if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    corva::DictionaryPtr old_report = corva::MakeDictionary();
    const int32_t report = NumericValue(header->Value("FInterID"));
    if (report < 1) {
      old_report->SetValue("FAuxQtyFinish", 0.0);
      old_report->SetValue("FNew", true);
    } else {
      // A stored report without lines has no total: reading it fails the save.
      RecordsetPtr total = call.Connection()->Execute(BuildFinishedTotalQuery(report));
      old_report->SetValue("FAuxQtyFinish", total->Fields("FAuxQtyFinish"));
      old_report->SetValue("FNew", false);
    }
    header->SetValue("OldRpt", old_report);
    return true;
  });
}

bool clsMProcRpt::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                          std::string& ReturnMsg) {
  // The result the host sees: a refusal by the state check answers true (the abort vote and
  // "SaveRetCode" tell the host), and a run-time error leaves it as it stood.
  bool result = true;
  frame_.Run(sDsn, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
    if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    const int32_t report = NumericValue(header->Value("FInterID"));
    const corva::DictionaryPtr old_report = header->Value("OldRpt").As<corva::Dictionary>();
    const corva::ConnectionPtr& db = call.Connection();

    RecordsetPtr row = db->Execute(
        "SELECT ISNULL(FCheckerID,0) AS FCheckerID,FICMOInterID,FWBInterID FROM shprocrptmain "
        "WHERE FInterID=" +
        SqlNumber(report));
    int32_t task = 0;
    int32_t operation = 0;
    bool checked = false;
    if (!row->Eof()) {
      task = LongOr0(row->Fields("FICMOInterID"));
      operation = LongOr0(row->Fields("FWBInterID"));
      checked = LongOr0(row->Fields("FCheckerID")) > 0;
    }
    // A checked report was allowed when it was checked; the documents may have moved on since.
    if (!checked && db->Execute(BuildStateQuery(report))->Eof()) {
      ReturnMsg = corva::frame::LoadResMsg(
          "该单据所对应的派工单,工序计划单不是审核状态或对应的生产任务单不是下达且非挂起状态.",
          call.lang());
      header->SetValue("SaveRetCode", corva::frame::kSaveRefusedByRule);
      return false;
    }

    db->Execute("EXEC prc_SHUpdateBillDoubleQty " + SqlNumber(ReportDoubleQtyCode(call)) + "," +
                SqlNumber(report));
    // The hours' write-back answers only through its vote, and the save goes on past it; its
    // abort stands, since the re-total's commit vote on this instance would otherwise keep the
    // report without its hours.
    std::string unused;
    if (!WriteBackTime(sDsn, report, false, unused)) call.AbortStands();
    if (task > 0) {
      // The start mark belongs to the synchronization class, which votes for itself.
      std::vector<Variant> args{sDsn, task};
      call.CreateInstance(kSynBillsProgID)->Invoke("UpdateICMoStartFlag", args);
    }
    result = SyncAfterSave(*db, report, old_report, sDsn, ReturnMsg);
    if (result) result = AutoCloseSHWork(sDsn, operation);
    return result;
  });
  return result;
}

bool clsMProcRpt::SyncAfterSave(corva::Connection& connection, int32_t report,
                                const corva::DictionaryPtr& old_report, const std::string& sDsn,
                                std::string& message) {
  try {
    bool is_new = true;
    corva::Decimal old_finished;
    if (old_report) {
      is_new = old_report->GetValue("FNew", false).AsBool();
      old_finished = corva::ValueOr(old_report->GetValue("FAuxQtyFinish", 0), 0).AsDecimal();
    }
    if (is_new) {
      double whole = 0;
      bool new_report = true;
      return UpdateInfoAfterSave(sDsn, kSaveLedgerMode, report, message, whole, new_report);
    }
    RecordsetPtr total = connection.Execute(
        "SELECT SUM(FAuxQtyFinish) AS FAuxQtyFinish FROM SHProcRpt WHERE FInterID=" +
        SqlNumber(report) + " GROUP BY FInterID");
    if (total->Eof()) return true;  // no lines left: nothing to re-total
    // Work in process follows the change: the old total comes off, the new one goes on.
    double change =
        (corva::ValueOr(total->Fields("FAuxQtyFinish"), 0).AsDecimal() - old_finished).ToDouble();
    bool new_report = false;
    return UpdateInfoAfterSave(sDsn, kSaveLedgerMode, report, message, change, new_report);
  } catch (const std::exception&) {
    return false;
  }
}

bool clsMProcRpt::UpdateInfoAfterSave(const std::string& sDsn, int32_t CheckSwitch,
                                      int32_t FinterID,
                                      corva::OptionalRef<std::string> Returnstring,
                                      corva::OptionalRef<double> dblquantity,
                                      corva::OptionalRef<bool> blnNew) {
  return frame_.Run(sDsn, *Returnstring, {.first_vote = FrameVote::kAbort}, [&](Call& call) {
    using namespace procrpt;  // NOLINT(build/namespaces): the statement builders
    call.Connection()->Execute(
        GetRptVarsSql(FinterID, 0, false) + GetTaskDispTotalsSql(false) +
        GetWorkBillTotalsSql(false) + GetICMOTotalsSql() +
        (*blnNew ? GetWIPDeductSql() : GetWIPDeductQtySql(*dblquantity, false)) +
        GetMoveNoSql(CheckSwitch) + GetTaskDispDoneSql() +
        GetDoubleQtySql(ReportDoubleQtyCode(call)));
    return true;
  });
}

}  // namespace CorvaMSHTransBills
