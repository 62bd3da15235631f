// clsMSynBills's late-bound face: its operations as the host calls them, with their parameters'
// names, and its registration under "CorvaMSHTransBills.clsMSynBills".
#include "sync/cls_m_syn_bills.h"

#include "host/binding.h"

namespace CorvaMSHTransBills {
namespace {

using corva::host::Bind;
using T = clsMSynBills;

constexpr corva::host::Operation<T> kOperations[] = {
    Bind<&T::SynICMOAndWorkBill>("SynICMOAndWorkBill",
                                 "sDsn, lngICMOInterID, lngWBInterID, lngOptions"),
    Bind<&T::UpdateICMoStartFlag>("UpdateICMoStartFlag", "sDsn, lICMOInterID"),
    Bind<&T::SynWorkBillAndTaskDisp>("SynWorkBillAndTaskDisp",
                                     "sDsn, lngWBInterID, lngDTInterID, lngOptions"),
    Bind<&T::SynWorkBillAndOperShift>("SynWorkBillAndOperShift",
                                      "sDsn, lngWBInterID, lngOSInterID, lngOptions"),
    Bind<&T::SynTaskDispAndOperRpt>("SynTaskDispAndOperRpt",
                                    "sDsn, lngTDInterID, lngORInterID, lngOptions"),
    Bind<&T::SynOperRptAndOperCheck>("SynOperRptAndOperCheck",
                                     "sDsn, lngORInterID, lngOCInterID, lngOptions"),
    Bind<&T::UpdateICMOStockFlag>("UpdateICMOStockFlag", "strTempTableName"),
    Bind<&T::HookInvoke>("HookInvoke", "EventID, DictParams"),
};

const corva::host::ClassBinding<T> kBinding("CorvaMSHTransBills.clsMSynBills", kOperations);

}  // namespace
}  // namespace CorvaMSHTransBills
