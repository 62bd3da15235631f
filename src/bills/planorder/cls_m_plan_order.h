// clsMPlanOrder ("CorvaMSHTransBills.clsMPlanOrder"): the save rules of the planned order bill,
// the planned-order rows of ICMRPResult that share one FInterID. A save keeps the sales orders'
// counts of planned orders right, brings the rows' quantities to the items' units and decimals,
// and attaches a bill entered by hand to the latest MRP run of its kind.
#ifndef CORVA_BILLS_PLANORDER_CLS_M_PLAN_ORDER_H_
#define CORVA_BILLS_PLANORDER_CLS_M_PLAN_ORDER_H_

#include <cstdint>
#include <string>

#include "corva/containers.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call that reaches the database sets up the instance's parse object and data source afresh
// from its sDsn and runs in the caller's transaction. One call at a time.
//
// The host saves a bill between BeginSave and EndSave: it deletes the bill's old rows, writes the
// new ones and counts the new rows derived from a sales order into its SEOrder.FChildren. The
// delete trigger of ICMRPResult, which would take deleted rows out of that count, is off from
// BeginSave, which takes the old rows out itself, until EndSave switches every trigger of the
// table on again; a host transaction that rolls back puts the switch back with the data.
class clsMPlanOrder : public corva::host::BoundClass<clsMPlanOrder> {
 public:
  clsMPlanOrder() = default;

  // Before the host rewrites bill SaveVect(1)("FInterID"): switches off the delete trigger and
  // takes the bill's rows out of the FChildren of the sales orders they stem from (never below
  // 0). Errors are passed over statement by statement: always true and SetComplete; ReturnMsg
  // and SaveVect are not touched.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // After the host wrote the bill: every row takes its item's unit, its five auxiliary quantities
  // rounded to the item's decimals, their base quantities (the stored auxiliary value times the
  // use unit's coefficient, rounded the same way), the released quantity SaveVect(1)
  // ("FAuxReleasedQty") in both columns, and FBillNo as its planned-order number with the bill's
  // id; then every trigger of ICMRPResult is on again. A bill entered by hand ("FromManual" 1)
  // joins the latest MRP run of the kind "FromSystem" names (0, 1 or 4; none: 0). True and
  // SetComplete; a run-time error gives false and SetAbort, with ReturnMsg and SaveVect as they
  // were.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);

  // Merging and splitting planned orders and their undo are not offered: false, nothing read or
  // written, no vote, the arguments as they were.
  bool UnionPlanOrder(const std::string& sDsn, corva::Variant& vctData, std::string& ReturnMsg,
                      corva::OptionalRef<int32_t> UnionType = {});
  bool SplitPlanOrder(const std::string& sDsn, corva::Variant& vctData, std::string& ReturnMsg);
  bool UndoSplitPlanOrder(const std::string& sDsn, corva::Variant& vctData, std::string& ReturnMsg);
  bool UndoUnionPlanOrder(const std::string& sDsn, corva::Variant& vctData, std::string& ReturnMsg);

 private:
  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_PLANORDER_CLS_M_PLAN_ORDER_H_
