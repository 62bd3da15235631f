// clsMProcRpt's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMProcRpt".
#include "bills/procrpt/cls_m_proc_rpt.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using T = clsMProcRpt;

constexpr corva::host::Operation<T> kOperations[] = {
    Bind<&T::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::UpdateInfoAfterSave>("UpdateInfoAfterSave",
                                  "sDsn, CheckSwitch, FinterID, Returnstring, dblquantity, blnNew"),
    Bind<&T::UpdateInfoAfterCheck>("UpdateInfoAfterCheck",
                                   "sDsn, CheckSwitch, FinterID, Returnstring, blnSave"),
    Bind<&T::UpdateInfoAfterDel>("UpdateInfoAfterDel", "sDsn, FinterID, dblquantity"),
    Bind<&T::UpdateQtyPassByQM>("UpdateQtyPassByQM", "sDsn, dictUpdateData, Returnstring"),
    Bind<&T::WriteBackTime>("WriteBackTime", "sDsn, lngIRInterID, blnDel, ReturnMsg"),
    Bind<&T::AutoCloseSHWork>("AutoCloseSHWork", "sDsn, lngWBInterID"),
};

const corva::host::ClassBinding<T> kBinding("CorvaMSHTransBills.clsMProcRpt", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
