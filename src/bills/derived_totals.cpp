// The list of derived totals. An operation's dispatched totals sum its task dispatch entries, its
// shifted totals the operation shift bills leaving or entering it; a dispatch entry's and an
// operation's reported totals sum the operation reports on them; a production task's its task
// reports or its work bill's operations. Each entry is spelled with the same terms the
// re-totalling rule sends, so a change to a rule's sum changes the check with it.
#include "bills/derived_totals.h"

#include <utility>

#include "bills/operation_totals.h"
#include "bills/procrpt/report_statements.h"
#include "bills/task_totals.h"
#include "frame/codes.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

std::string Sum(std::string_view term) { return "IsNull(sum(" + std::string(term) + "),0)"; }

// A dispatched total of an operation over its task dispatch entries u1 (of bills v1).
DerivedTotal Dispatched(std::string_view name, std::string_view column, std::string_view term) {
  return {.name = name,
          .table = "SHWorkBillEntry",
          .key = "FWBInterID",
          .column = column,
          .source_key = "v1.FWorkBillInterID",
          .sum = Sum(term),
          .from = std::string(kDispatchEntriesFrom),
          .where = "u1.FInterID = v1.FInterID",
          .having = "",
          .document = "v1.FBillNo"};
}

// A shifted total of an operation over the shift bills whose `side` (FOutWBInterID or
// FInWBInterID) is the operation and whose type `shifts` admits.
DerivedTotal Shifted(std::string_view name, std::string_view column, std::string_view side,
                     std::string_view shifts, std::string_view term) {
  return {.name = name,
          .table = "SHWorkBillEntry",
          .key = "FWBInterID",
          .column = column,
          .source_key = std::string(side),
          .sum = Sum(term),
          .from = "from ICOperShift",
          .where = std::string(shifts),
          .having = "",
          .document = "FBillNo"};
}

// The report lines t1 (headers s2) on a dispatch entry or an operation.
constexpr std::string_view kReportLinesFrom =
    "from SHProcRpt t1 join SHProcRptMain s2 on t1.FInterID=s2.FInterID";

// Passed and scrapped quantities follow the reports only while every report counting in the total
// counts them directly; once quality management decides one, the total is its to keep.
std::string OnlyDirectQuality() {
  const std::string direct = SqlNumber(kQualityCheckDirect);
  return "min(s2.FQualityChkID)=" + direct + " and max(s2.FQualityChkID)=" + direct;
}

// A reported total of a dispatch entry: the lines of every report on it that is not cancelled.
DerivedTotal EntryReported(std::string_view name, std::string_view column, std::string_view sum,
                           std::string having) {
  return {.name = name,
          .table = "ICTaskDispBillEntry",
          .key = "FTaskDispInterID",
          .column = column,
          .source_key = "s2.FTaskDispBillID",
          .sum = std::string(sum),
          .from = std::string(kReportLinesFrom),
          .where = std::string(procrpt::kEntryReportsCounted),
          .having = std::move(having),
          .document = "s2.FBillNo",
          .sources_required = true};
}

// A reported total of an operation: every report line on it that is not cancelled.
DerivedTotal OperationReported(std::string_view name, std::string_view column, std::string_view sum,
                               std::string having) {
  return {.name = name,
          .table = "SHWorkBillEntry",
          .key = "FWBInterID",
          .column = column,
          .source_key = "s2.FWBInterID",
          .sum = std::string(sum),
          .from = std::string(kReportLinesFrom),
          .where = std::string(procrpt::kOperationLinesCounted),
          .having = std::move(having),
          .document = "s2.FBillNo",
          .sources_required = true};
}

// Which operations of a task's work bill a task total takes.
enum class TaskOperations { kFirst, kLast, kAll };

// A total of production task `x.FTaskID` over its sources x: the lines of its production task
// reports when it has any; otherwise the operations of its first ordinary work bill (the lowest
// id), as the synchronization carries them up. The report lines name their report, the
// operations their work bill. `quality_decided`: under a product quality mode other than 352 the
// reports do not define the total (quality management does), the operations still do.
DerivedTotal TaskTotal(std::string_view name, std::string_view column,
                       std::string_view report_column, std::string_view operation_column,
                       TaskOperations operations, bool quality_decided) {
  const std::string task = std::string(kTaskReportLinesTask);
  const std::string defined =
      quality_decided ? "case when " + std::string(kTaskTakesReportedQuality) + " then 1 else 0 end"
                      : std::string("1");
  std::string reports = "select " + task + " as FTaskID, u1." + std::string(report_column) +
                        " as FQty, " + defined + " as FDefined, v1.FBillNo " +
                        std::string(kTaskReportLinesFrom) + ", ICMO t, t_ICItem item where " +
                        std::string(kTaskReportLinesCounted) + " and t.FInterID = " + task +
                        " and item.FItemID = t.FItemID";
  // One operation's quantity, or the synchronization's sum over all of them.
  std::string operation_rows = "SHWorkBillEntry";
  std::string pick;
  if (operations == TaskOperations::kAll) {
    operation_rows = "(select FInterID, " + WorkBillSum(operation_column) + " as FQty" +
                     " from SHWorkBillEntry group by FInterID)";
  } else {
    pick = " and o.FEntryID = (select " +
           std::string(operations == TaskOperations::kFirst ? "min" : "max") +
           "(t3.FEntryID) from SHWorkBillEntry t3 where t3.FInterID = b.FInterID)";
  }
  const std::string quantity =
      operations == TaskOperations::kAll ? "FQty" : std::string(operation_column);
  std::string work_bill =
      "select b.FICMOInterID, o." + quantity + ", 1, b.FBillNo from SHWorkBill b join " +
      operation_rows +
      " o on o.FInterID = b.FInterID where "
      "b.FInterID = (select min(t2.FInterID) from SHWorkBill t2 where t2.FICMOInterID = "
      "b.FICMOInterID and " +
      std::string(kOrdinaryWorkBill) + ")" + pick + " and not exists (select 1 " +
      std::string(kTaskReportLinesFrom) + " where " + std::string(kTaskReportLinesCounted) +
      " and " + task + " = b.FICMOInterID)";
  return {.name = name,
          .table = "ICMO",
          .key = "FInterID",
          .column = column,
          .source_key = "x.FTaskID",
          .sum = "IsNull(sum(x.FQty),0)",
          .from = "from (" + reports + " union all " + work_bill + ") x",
          .where = "",
          .having = quality_decided ? "min(x.FDefined)=1" : "",
          .document = "x.FBillNo",
          .sources_required = true};
}

std::vector<DerivedTotal> BuildDerivedTotals() {
  return {
      Dispatched("operation.dispatched", "FAuxQtyTaskDispSel", kDispatchedTerm),
      Dispatched("operation.dispatched_checked", "FAuxQtyTaskDispAck", kDispatchedCheckedTerm),
      Shifted("operation.handed_over", "FAuxQtyHandOverSel", "FOutWBInterID", kHandOverShifts,
              kShiftedTerm),
      Shifted("operation.handed_over_checked", "FAuxQtyHandOver", "FOutWBInterID", kHandOverShifts,
              kShiftedCheckedTerm),
      Shifted("operation.to_repair", "FAuxReprocessedMoveSelQty", "FOutWBInterID", kRepairShifts,
              kShiftedTerm),
      Shifted("operation.to_repair_checked", "FAuxReprocessedMoveQty", "FOutWBInterID",
              kRepairShifts, kShiftedCheckedTerm),
      Shifted("operation.repaired_qualified", "FAuxQualifiedReprocessedQty", "FInWBInterID",
              kQualifiedReturnShifts, kShiftedCheckedTerm),
      Shifted("operation.received", "FAuxQtyReceiveSel", "FInWBInterID", kReceiptShifts,
              kShiftedTerm),
      Shifted("operation.received_checked", "FAuxQtyRecive", "FInWBInterID", kReceiptShifts,
              kShiftedCheckedTerm),
      OperationReported("operation.finished", "FAuxQtyFinish", procrpt::kReportedFinishedSum, ""),
      OperationReported("operation.passed", "FAuxQtyPass", procrpt::kReportedPassedSum,
                        OnlyDirectQuality()),
      OperationReported("operation.scrapped", "FAuxQtyScrap", procrpt::kReportedScrappedSum,
                        OnlyDirectQuality()),
      OperationReported("operation.material_scrapped", "FAuxQtyForItem",
                        procrpt::kReportedForItemSum, OnlyDirectQuality()),
      OperationReported("operation.reworked", "FAuxReprocessedQty", procrpt::kReportedReworkSum,
                        OnlyDirectQuality()),
      EntryReported("dispatch_entry.finished", "FAuxQtyFinish", procrpt::kReportedFinishedSum, ""),
      EntryReported("dispatch_entry.passed", "FAuxQtyPass", procrpt::kReportedPassedSum,
                    OnlyDirectQuality()),
      EntryReported("dispatch_entry.scrapped", "FAuxQtyScrap", procrpt::kReportedScrappedSum,
                    OnlyDirectQuality()),
      EntryReported("dispatch_entry.material_scrapped", "FAuxQtyForItem",
                    procrpt::kReportedForItemSum, OnlyDirectQuality()),
      EntryReported("dispatch_entry.reworked", "FAuxReprocessedQty", procrpt::kReportedReworkSum,
                    OnlyDirectQuality()),
      TaskTotal("task.finished", "FAuxQtyFinish", "FAuxQtyFinish", "FAuxQtyFinish",
                TaskOperations::kFirst, false),
      TaskTotal("task.passed", "FAuxQtyPass", "FAuxQtyPass", "FAuxQtyPass", TaskOperations::kLast,
                true),
      TaskTotal("task.scrapped", "FAuxQtyScrap", "FAuxQtyScrap", "FAuxQtyScrap",
                TaskOperations::kAll, true),
      TaskTotal("task.material_scrapped", "FAuxQtyForItem", "FAuxQtyForItem", "FAuxQtyForItem",
                TaskOperations::kAll, true),
      TaskTotal("task.lost", "FAuxQtyLost", "FAuxQtyLoss", "FAuxQtyLost", TaskOperations::kAll,
                false),
      WorkInProcess("material_line.in_process", false),
      WorkInProcess("material_line.in_process_aux", true),
  };
}

std::vector<LedgerTotal> BuildLedgerTotals() {
  // The shift bills' rows count the checked bills: a row is rebuilt from every bill of its move
  // number when one is checked, and an uncheck takes the bill off again (docs/verify.md).
  return {
      {.name = "ledger.dispatched",
       .trans_type = kBillTypeTaskDisp,
       .operation = "u.FWorkBillInterID",
       .move_no = "v.FOperMoveNo",
       .task = "u.FICMOInterID",
       .sum = std::string(kDispatchLedgerSum),
       .from = std::string(kDispatchLedgerFrom),
       .where = std::string(kDispatchLedgerCounted),
       .document = "u.FBillNo"},
      {.name = "ledger.shifted",
       .trans_type = kBillTypeOperShift,
       .operation = "u.FOutWBInterID",
       .move_no = "u.FOperMoveNo",
       .task = "u.FICMOInterID",
       .sum = std::string(kShiftLedgerSum),
       .from = "From ICOperShift u",
       .where = "u.FStatus > 0 and u.FOperMoveNo <> ''",
       .document = "u.FBillNo"},
      {.name = "ledger.reported",
       .trans_type = kBillTypeProcRpt,
       .operation = "u.FWBInterID",
       .move_no = "u.FOperMoveNo",
       .task = "u.FICMOInterID",
       .sum = std::string(procrpt::kReportLedgerSum),
       .from = std::string(procrpt::kReportLedgerFrom),
       .where = std::string(procrpt::kReportLedgerCounted) + " and u.FOperMoveNo <> ''",
       .document = "u.FBillNo"},
  };
}

}  // namespace

const std::vector<LedgerTotal>& LedgerTotals() {
  static const std::vector<LedgerTotal> totals = BuildLedgerTotals();
  return totals;
}

const std::vector<DerivedTotal>& DerivedTotals() {
  static const std::vector<DerivedTotal> totals = BuildDerivedTotals();
  return totals;
}

}  // namespace CorvaMSHTransBills
