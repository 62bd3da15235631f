// What a production task (ICMO) totals from the floor, written once for the three classes that
// write it back and for the consistency check: the production task report lines counted for a
// task, when the task takes their passed and scrapped quantities, which work bill of a task is
// ordinary, and the sums the synchronization takes over a work bill's operations.
#ifndef CORVA_BILLS_TASK_TOTALS_H_
#define CORVA_BILLS_TASK_TOTALS_H_

#include <string>
#include <string_view>

namespace CorvaMSHTransBills {

// The production task report lines u1 under their reports v1 that count for task
// `kTaskReportLinesTask`: every line of a stored report, checked or not (an unchecked report is
// the floor's word until it is deleted).
inline constexpr std::string_view kTaskReportLinesFrom = "from ICMORptEntry u1, ICMORpt v1";
inline constexpr std::string_view kTaskReportLinesCounted = "u1.FInterID = v1.FInterID";
inline constexpr std::string_view kTaskReportLinesTask = "u1.FsourceinterID";

// What the lines of a task's reports add to it: isnull(sum(u1.`column`),0).
inline std::string TaskReportedSum(std::string_view column) {
  return "isnull(sum(u1." + std::string(column) + "),0)";
}

// The task's product (t_ICItem `item`) takes reported passed, scrapped and material-scrapped
// quantities only under quality mode 352; under any other mode quality management decides them.
inline constexpr std::string_view kTaskTakesReportedQuality = "item.FProChkMde = 352";

// An ordinary work bill t2 (a Null bill type is ordinary): a rework bill works again on what was
// already finished, so its operations never carry quantities to the task.
inline constexpr std::string_view kOrdinaryWorkBill = "isnull(t2.FBillType,11620)=11620";

// What the synchronization sums over every operation of the task's work bill (its losses and
// scraps; the finished quantity comes from the first operation, the passed from the last).
inline std::string WorkBillSum(std::string_view column) {
  return "IsNull(sum(" + std::string(column) + "),0)";
}

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_TASK_TOTALS_H_
