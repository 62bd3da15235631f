// clsMICMORpt's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMICMORpt".
#include "bills/icmorpt/cls_m_icmo_rpt.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using T = clsMICMORpt;

constexpr corva::host::Operation<T> kOperations[] = {
    Bind<&T::PreCheck>("PreCheck",
                       "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, CheckDate, "
                       "ReturnMsg"),
    Bind<&T::CheckBill>("CheckBill",
                        "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, CheckDate, "
                        "ReturnMsg"),
    Bind<&T::PostCheck>("PostCheck",
                        "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, ReturnMsg, "
                        "dctExtParams"),
    Bind<&T::SynICMOAndICMORpt>("SynICMOAndICMORpt",
                                "sDsn, lngInterID, lngRptInterID, lngOptions, lngProcessStatus, "
                                "dctExtParams"),
    Bind<&T::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::UpdateEntryInterID>("UpdateEntryInterID", "sDsn"),
    Bind<&T::WriteBackTime>("WriteBackTime", "sDsn, lngIRInterID, blnDel, ReturnMsg"),
    Bind<&T::WriteBackAfterDeleteBill>("WriteBackAfterDeleteBill",
                                       "sDsn, lInterID, lTranType, dctExtParams"),
};

const corva::host::ClassBinding<T> kBinding("CorvaMSHTransBills.clsMICMORpt", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
