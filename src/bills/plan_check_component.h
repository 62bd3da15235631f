// The library's default plan-check component ("CorvaMPlanCheckBill.CheckNow"; the QRA edition's
// "QRA_CorvaMPlanCheckBill.CheckNow" finds it too): it closes and re-opens operation plan bill
// operations for the work bill rules, and answers the rights options of bill checks from the
// site's settings. A host with its own plan-check component replaces it with RegisterComponent.
#ifndef CORVA_BILLS_PLAN_CHECK_COMPONENT_H_
#define CORVA_BILLS_PLAN_CHECK_COMPONENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace corva::bills {

inline constexpr const char kPlanCheckProgID[] = "CorvaMPlanCheckBill.CheckNow";

// CheckWorkBill's action: close the operation, or re-open it (back to checked).
inline constexpr int32_t kPlanCheckClose = 0;
inline constexpr int32_t kPlanCheckReopen = 1;
// CheckWorkBill's options: 0 = none (the only value the rules pass).
inline constexpr int32_t kPlanCheckNoOptions = 0;
// CheckWorkBill's process: 2 = close or re-open, the one process the component carries out.
inline constexpr int32_t kPlanCheckProcessClose = 2;

// GetBillControl's rights options.
// 1: true when the maker of a bill may check it himself.
inline constexpr int32_t kBillControlMakerMayCheck = 1;
// 2: true when only the user recorded as a bill's checker may uncheck it.
inline constexpr int32_t kBillControlOnlyCheckerUnchecks = 2;

// Each call runs in the caller's transaction (the rules create it through their object context)
// and votes for itself. One call at a time.
class PlanCheckComponent : public host::BoundClass<PlanCheckComponent> {
 public:
  // Closes (`CheckSwitch` kPlanCheckClose: status 3) or re-opens (any other value: status 1,
  // checked) operation `lngWBInterID` of an operation plan bill, recording `lngEmpID` as its
  // checker (Null for 0). Refuses - false, SetAbort, `sMsg` = the localized reason - an unknown
  // operation, one still planned (status 0), closing a closed one, re-opening one that is not
  // closed, and any `ProcessStatus` but kPlanCheckProcessClose. On success true, SetComplete and
  // `sMsg` unchanged. Run-time errors: false, SetAbort, `sMsg` = their localized description.
  bool CheckWorkBill(const std::string& sDsn, int32_t lngWBInterID, int32_t lngEmpID,
                     int32_t CheckSwitch, std::string& sMsg,
                     Optional<int32_t, kPlanCheckNoOptions> lngOptions = {},
                     Optional<int32_t, kPlanCheckProcessClose> ProcessStatus = {});

  // The rights option `lngControl` (kBillControl...) for bills of type `lngBillType`, from the
  // "SH" settings of that bill type (task dispatch bills, 502: "TASKDISP_MAKERMAYCHECK" and
  // "TASKDISP_ONLYCHECKERUNCHECKS", 1 = true, 0 = false). Without a setting (another bill type,
  // a missing row, a value that is not a number) the answer adds no restriction: true for
  // control 1, false for control 2 and unknown controls. Votes SetComplete; errors reading the
  // settings reach the caller. `sDsn` comes back unchanged.
  bool GetBillControl(std::string& sDsn, int32_t lngControl, int32_t lngBillType);

 private:
  frame::ClassFrame frame_{frame::InitMode::kEveryCall};
};

}  // namespace corva::bills

#endif  // CORVA_BILLS_PLAN_CHECK_COMPONENT_H_
