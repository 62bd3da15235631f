// clsMPPOrder's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMPPOrder".
#include "bills/pporder/cls_m_pp_order.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using P = clsMPPOrder;

constexpr corva::host::Operation<P> kOperations[] = {
    Bind<&P::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&P::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&P::PreCheck>("PreCheck",
                       "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, CheckDate, "
                       "ReturnMsg"),
    Bind<&P::PostCheck>("PostCheck",
                        "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, ReturnMsg"),
};

const corva::host::ClassBinding<P> kBinding("CorvaMSHTransBills.clsMPPOrder", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
