// clsMWorkBill's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMWorkBill".
#include "bills/workbill/cls_m_work_bill.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using W = clsMWorkBill;

constexpr corva::host::Operation<W> kOperations[] = {
    Bind<&W::GetThisBillNo>("GetThisBillNo", "sDsn, LoopNum, isSave"),
    Bind<&W::BeginSave>("BeginSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&W::EndSave>("EndSave", "sDsn, SaveVect, ReturnMsg"),
    Bind<&W::PostCheck>("PostCheck",
                        "sDsn, lngInterID, CheckSwitch, ProcessStatus, lngEmpID, ReturnMsg"),
    Bind<&W::AutoCloseBill>("AutoCloseBill", "sDsn, lngWBInterID, lngEmpID, ReturnMsg"),
};

const corva::host::ClassBinding<W> kBinding("CorvaMSHTransBills.clsMWorkBill", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
