// clsMOperShift's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMOperShift".
#include "bills/opershift/cls_m_oper_shift.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using T = clsMOperShift;

constexpr corva::host::Operation<T> kOperations[] = {
    Bind<&T::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::SynWorkBillAndOperShift>("SynWorkBillAndOperShift",
                                      "sDsn, lngWBInterID, lngOSInterID, lngOptions"),
    Bind<&T::IsFormerOperSubced>("IsFormerOperSubced", "sDsn, lngWBInterID"),
    Bind<&T::IsCurOperSubced>("IsCurOperSubced", "sDsn, lngWBInterID"),
    Bind<&T::PreCheck>("PreCheck",
                       "sDsn, lngOSInterID, CheckSwitch, ProcessStatus, lngEmpID, CheckDate, "
                       "ReturnMsg"),
    Bind<&T::CheckBill>("CheckBill",
                        "sDsn, lngOSInterID, CheckSwitch, ProcessStatus, lngEmpID, CheckDate, "
                        "ReturnMsg"),
    Bind<&T::PostCheck>("PostCheck",
                        "sDsn, lngOSInterID, CheckSwitch, ProcessStatus, lngEmpID, ReturnMsg"),
    Bind<&T::CheckOperShift>("CheckOperShift",
                             "sDsn, lngOSInterID, CheckSwitch, ProcessStatus, lngEmpID, "
                             "CheckDate, ReturnMsg"),
    Bind<&T::DeleteOperShift>("DeleteOperShift", "sDsn, lngOSInterID, ReturnMsg"),
};

const corva::host::ClassBinding<T> kBinding("CorvaMSHTransBills.clsMOperShift", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
