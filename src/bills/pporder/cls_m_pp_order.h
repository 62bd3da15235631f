// clsMPPOrder ("CorvaMSHTransBills.clsMPPOrder"): the check rules of the PP (forecast) order, bill
// type 87, from which sales orders can be derived. An order may not be unchecked once one of its
// lines is closed for business or a sales order stems from it, and no line may be needed before
// the order's own date.
#ifndef CORVA_BILLS_PPORDER_CLS_M_PP_ORDER_H_
#define CORVA_BILLS_PPORDER_CLS_M_PP_ORDER_H_

#include <cstdint>
#include <string>

#include "corva/containers.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call that reaches the database sets up the instance's parse object and data source afresh
// from its sDsn and runs in the caller's transaction. One call at a time.
class clsMPPOrder : public corva::host::BoundClass<clsMPPOrder> {
 public:
  clsMPPOrder() = default;

  // The save hooks accept every save: true, no vote, no database work.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);

  // Before a check or uncheck of order `lngInterID`. A check (`CheckSwitch` other than 1) passes
  // without reading the database. An uncheck is refused when a line of the order is closed for
  // business (ReturnMsg = "存在行业务关闭的分录, 不允许反审核。"), else when a sales order line
  // stems from the order (ReturnMsg = "已经存在关联的销售订单, 不允许反审核。"), both localized.
  // Never votes. A run-time error gives false with ReturnMsg = the error's description as the
  // database or runtime gave it, not localized. `ProcessStatus`, `lngEmpID` and `CheckDate` are
  // not used.
  bool PreCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                int32_t ProcessStatus, int32_t lngEmpID,
                corva::Optional<corva::Date> CheckDate = {},
                corva::OptionalRef<std::string> ReturnMsg = {});
  // After a check or uncheck of order `lngInterID` alike: refuses an order with a line needed
  // before the order's date (false, SetAbort, ReturnMsg = the localized "预测开始日期不应小于建立
  // 日期!"); otherwise true, SetComplete. Votes SetAbort as it starts: a run-time error gives false
  // with that vote standing and ReturnMsg unchanged. The other arguments are not used.
  bool PostCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                 int32_t ProcessStatus, int32_t lngEmpID,
                 corva::OptionalRef<std::string> ReturnMsg = {});

 private:
  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_PPORDER_CLS_M_PP_ORDER_H_
