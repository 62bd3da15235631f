// clsMPlanOrder's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMPlanOrder".
#include "bills/planorder/cls_m_plan_order.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using P = clsMPlanOrder;

constexpr corva::host::Operation<P> kOperations[] = {
    Bind<&P::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&P::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&P::UnionPlanOrder>("UnionPlanOrder", "sDsn, vctData, ReturnMsg, UnionType"),
    Bind<&P::SplitPlanOrder>("SplitPlanOrder", "sDsn, vctData, ReturnMsg"),
    Bind<&P::UndoSplitPlanOrder>("UndoSplitPlanOrder", "sDsn, vctData, ReturnMsg"),
    Bind<&P::UndoUnionPlanOrder>("UndoUnionPlanOrder", "sDsn, vctData, ReturnMsg"),
};

const corva::host::ClassBinding<P> kBinding("CorvaMSHTransBills.clsMPlanOrder", kOperations);

}  // namespace

// Kept in the interface for the hosts that call them: each does nothing and answers false.
bool clsMPlanOrder::UnionPlanOrder(const std::string&, corva::Variant&, std::string&,
                                   corva::OptionalRef<int32_t>) {
  return false;
}
bool clsMPlanOrder::SplitPlanOrder(const std::string&, corva::Variant&, std::string&) {
  return false;
}
bool clsMPlanOrder::UndoSplitPlanOrder(const std::string&, corva::Variant&, std::string&) {
  return false;
}
bool clsMPlanOrder::UndoUnionPlanOrder(const std::string&, corva::Variant&, std::string&) {
  return false;
}

}  // namespace CorvaMSHTransBills
