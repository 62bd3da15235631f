// clsMTaskDispBill's late-bound face: its operations as the host calls them, with their
// parameters' names, and its registration under "CorvaMSHTransBills.clsMTaskDispBill".
#include "bills/taskdisp/cls_m_task_disp_bill.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using T = clsMTaskDispBill;

constexpr corva::host::Operation<T> kOperations[] = {
    Bind<&T::GetBillNo>("GetBillNo", "lngBillID, sDsn, LoopNum, isSave"),
    Bind<&T::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&T::SynWorkBillAndTaskDisp>("SynWorkBillAndTaskDisp",
                                     "sDsn, lngWBInterID, lngDTInterID, lngOptions"),
    Bind<&T::CheckTaskDispBill>("CheckTaskDispBill",
                                "MtsString, FTDinterID, EmpID, CheckSwitch, ReturnCode, "
                                "Returnstring, FinterID, ProcessStatus, CheckDate"),
    Bind<&T::DoAfterTaskDispBillCheck>("DoAfterTaskDispBillCheck",
                                       "sDsn, lngTDInterID, lngInterID, lngWBInterID, "
                                       "CheckSwitch, ProcessStatus, lngEmpID, RtnMsg"),
    Bind<&T::DeleteTDBill>("DeleteTDBill", "sDsn, lngTDInterID, sMsg"),
};

const corva::host::ClassBinding<T> kBinding("CorvaMSHTransBills.clsMTaskDispBill", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
