// clsMTaskDispBill's bill numbering: the next number(s) from the bill-number rule of the bill type
// the host names in ICBillNo, and reserving them by moving the counter on, the same way as the
// operation plan bill's numbering.
#include <cstdint>
#include <string>

#include "bills/taskdisp/cls_m_task_disp_bill.h"
#include "bills/workbill/number_pattern.h"

namespace CorvaMSHTransBills {

using corva::frame::FrameVote;

std::string clsMTaskDispBill::GetBillNo(int32_t& lngBillID, const std::string& sDsn,
                                        corva::OptionalRef<int32_t> LoopNum,
                                        corva::OptionalRef<bool> isSave) {
  std::string numbers;
  // No error trap: the abort vote cast first stands when an error leaves the call.
  frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .trap = false}, [&](corva::frame::Call& call) {
    numbers = IssueBillNumbers(call, lngBillID, LoopNum, isSave);
  });
  return numbers;
}

}  // namespace CorvaMSHTransBills
