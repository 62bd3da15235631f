// What a production task report consumes from the work in process of its task's material lines
// (under "SH" WIPDeductMode '1'), written once for the report's write-back and for the
// consistency check that recomputes work in process from the stored reports.
#ifndef CORVA_BILLS_ICMORPT_TASK_REPORT_WIP_H_
#define CORVA_BILLS_ICMORPT_TASK_REPORT_WIP_H_

#include <string>
#include <string_view>

namespace CorvaMSHTransBills::icmorpt {

// Material lines u1 of task v1 that task reports consume: ordinary material the task requires.
inline constexpr std::string_view kWipLinesConsumed = "u1.FMaterielType=371 and u1.FQtyMust>0";

// The share of finished quantity `x` in proportion to the line's required quantity `column`
// ("FQtyMust" or "FAuxQtyMust") over the task's planned quantity `planned`, rounded to the
// material's decimals (t1). Multiplying before dividing keeps the share exact where the division
// would cut it short.
inline std::string WipShareProportional(std::string_view x, std::string_view column,
                                        std::string_view planned) {
  return "ISNULL(ROUND(" + std::string(x) + "*u1." + std::string(column) + "/" +
         std::string(planned) + ",t1.FQtyDecimal),0)";
}

// The share of finished quantity `x` (base unit) by the line's standard usage per unit `column`
// ("FQtyScrap" or "FAuxQtyScrap") over the task unit's coefficient (t10, 1 when 0 or missing).
inline std::string WipShareStandard(std::string_view x, std::string_view column) {
  return "ISNULL(ROUND(" + std::string(x) + "*u1." + std::string(column) +
         "/(case when isnull(t10.FCoefficient,0)=0 then 1 else t10.FCoefficient end)"
         ",t1.FQtyDecimal),0)";
}

}  // namespace CorvaMSHTransBills::icmorpt

#endif  // CORVA_BILLS_ICMORPT_TASK_REPORT_WIP_H_
