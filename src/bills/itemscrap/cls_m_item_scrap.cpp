// clsMItemScrap's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMItemScrap".
#include "bills/itemscrap/cls_m_item_scrap.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using S = clsMItemScrap;

constexpr corva::host::Operation<S> kOperations[] = {
    Bind<&S::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&S::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&S::CheckValid>(
        "CheckValid",
        "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, CheckDate, ReturnMsg"),
};

const corva::host::ClassBinding<S> kBinding("CorvaMSHTransBills.clsMItemScrap", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
