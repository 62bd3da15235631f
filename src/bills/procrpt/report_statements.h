// The statements the operation report's save, check and delete send, each built in one place: the
// batch variables that name the report's dispatch entry, operation and production task, the
// re-totals of those three from the reports, the work in process consumed by a report and the
// move-number ledger of reported passed quantities. Every line ends with CR LF, so the pieces
// concatenate into one batch that reads, line for line, as the database receives it.
#ifndef CORVA_BILLS_PROCRPT_REPORT_STATEMENTS_H_
#define CORVA_BILLS_PROCRPT_REPORT_STATEMENTS_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace CorvaMSHTransBills::procrpt {

// What the report lines t1 (under their headers s2) add to the dispatch entry and the operation
// they report on. A dispatch entry counts the lines of every report whose header is not cancelled
// (status >= 0); an operation counts every line that is not (its own status >= 0). The re-totals
// below and the consistency check both build their statements from these.
inline constexpr std::string_view kReportedFinishedSum = "isnull(sum(t1.FAuxQtyFinish),0)";
inline constexpr std::string_view kReportedPassedSum = "isnull(sum(t1.FAuxQtyPass),0)";
inline constexpr std::string_view kReportedScrappedSum = "isnull(sum(t1.FAuxQtyScrap),0)";
// Scrapped for material and sent to rework: like passed and scrapped, decided by quality
// management unless the report counts directly.
inline constexpr std::string_view kReportedForItemSum = "isnull(sum(t1.FAuxQtyForItem),0)";
inline constexpr std::string_view kReportedReworkSum = "isnull(sum(t1.FAuxReprocessedQty),0)";
inline constexpr std::string_view kEntryReportsCounted = "s2.Fstatus>=0";
inline constexpr std::string_view kOperationLinesCounted = "t1.FStatus>=0";

// The report rows of the move-number ledger (u: report header, v: its lines): the passed quantity
// of every report that is not cancelled, per operation and move number (reports without one keep
// no ledger row).
inline constexpr std::string_view kReportLedgerSum = "sum(v.FAuxQtyPass)";
inline constexpr std::string_view kReportLedgerFrom =
    "From SHProcRptMain u Inner join SHProcRpt v on u.FInterID =v.FInterID";
inline constexpr std::string_view kReportLedgerCounted = "u.FStatus>=0";

// The fragments, each followed by CR LF.
std::string Lines(std::initializer_list<std::string_view> fragments);

// Declares the batch variables @FWBinterID, @FInterID, @FTaskDispID, @FICMOinterID,
// @FQualityChkID, @FEntryID, @FCount (int) and @FOperMoveNo and fills them from report `report`:
// with `by_entry` false from its header and its operation (@FEntryID is then the operation's row
// number in its work bill); with `by_entry` true from its header and its line `entry` (task and
// quality mode of the line; @FTaskDispID and @FWBinterID stay Null), for flow-card reports. A
// report that does not exist leaves every variable Null, and the statements after it touch nothing.
std::string GetRptVarsSql(int32_t report, int32_t entry, bool by_entry);

// The dispatch entry @FTaskDispID re-totalled from the lines of every report on it with header
// status >= 0 (without report @FInterID when `exclude`): work dates, finished quantity and times;
// passed, scrapped and reworked quantities only under quality mode 352. Then an entry that has
// finished less than dispatched goes back to status 1.
std::string GetTaskDispTotalsSql(bool exclude);
// The operation @FWBinterID re-totalled from every report line on it with line status >= 0
// (without report @FInterID when `exclude`), the same columns as the dispatch entry.
std::string GetWorkBillTotalsSql(bool exclude);
// The production task: its finished quantity from the operation when that is row 1 of an ordinary
// work bill, its start and finish dates and its times (in hours) from all its operations.
std::string GetICMOTotalsSql();

// What quantity `x` (finished, the task's unit) of a report consumes from material line u1 of task
// v1 (item t1): in proportion to the line's required quantity over the task's planned one, through
// the task unit's coefficient `coefficient` (BACKFLUSH_STANDARD '0'), or by the line's standard
// usage per unit (any other value). `column` is the line's required or usage column ("FQtyMust",
// "FAuxQtyScrap", ...). Each share is rounded on its own, in float, to the material's decimals.
std::string WipShareProportional(std::string_view x, std::string_view coefficient,
                                 std::string_view column);
std::string WipShareStandard(std::string_view x, std::string_view column);
// The task unit's coefficient (t_MeasureUnit t10), 1 when it is 0.
inline constexpr std::string_view kWipTaskUnitCoefficient =
    "(case when isnull(t10.FCoefficient,0)=0 then 1 else t10.FCoefficient end)";
// The material lines u1 a report on operation m1 consumes: ordinary material required by the task
// and used at that operation (same operation and sequence number).
inline constexpr std::string_view kWipLinesConsumed = "u1.FMaterielType=371 and u1.FQtyMust>0";
inline constexpr std::string_view kWipLineAtOperation =
    "u1.FOperID=m1.FOperID and u1.FOperSN=m1.FOperSN";

// Work in process of the task's material lines at the operation (only under "SH" WIPDeductMode
// '1'), consumed by the report's whole finished quantity.
std::string GetWIPDeductSql();
// The same by `quantity`, given back instead when `reverse`.
std::string GetWIPDeductQtySql(double quantity, bool reverse);

// The move-number ledger rows of reports (type 582) at the operation and the report's move number:
// `mode` 0 rebuilds the row from the passed quantities of every report with status >= 0; 1 takes
// this report's passed quantity off it and removes a row left at 0; any other mode sends nothing.
std::string GetMoveNoSql(int32_t mode);

// After a check or an uncheck. The dispatch entry: zeroed (dates Null, quantities and times 0)
// while no report on it is checked (header status >= 1), else re-totalled from every report with
// status >= 0, checked or not.
std::string GetTaskDispTotalsOnCheckSql();
// The operation from its dispatch entries with status >= 1 (not from the reports); zeroed when none
// of them has finished anything.
std::string GetWorkBillTotalsOnCheckSql();
// The production task zeroed when none of its operations with status >= 1 has finished anything,
// else as GetICMOTotalsSql.
std::string GetICMOTotalsOnCheckSql();
// While report @FInterID is deleted: the dispatch entry and the operation zeroed when no other
// report is on them, else re-totalled without it.
std::string GetTaskDispTotalsOnDelSql();
std::string GetWorkBillTotalsOnDelSql();

// A dispatch entry whose passed quantity reached what it dispatched is done (status 3).
std::string GetTaskDispDoneSql();
// The base-unit quantities of the dispatch entry, the operation and the report (procedure code
// `report_code`: 582, or 5821 under shop conversion management).
std::string GetDoubleQtySql(int32_t report_code);

}  // namespace CorvaMSHTransBills::procrpt

#endif  // CORVA_BILLS_PROCRPT_REPORT_STATEMENTS_H_
