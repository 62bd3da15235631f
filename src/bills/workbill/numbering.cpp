// clsMWorkBill's numbering: the next operation plan bill number(s) from the bill-number rule of
// bill type 52 in ICBillNo, and reserving them by moving the counter on.
#include <cstdint>
#include <string>

#include "bills/workbill/cls_m_work_bill.h"
#include "bills/workbill/number_pattern.h"
#include "frame/codes.h"

namespace CorvaMSHTransBills {

using corva::frame::FrameVote;

std::string clsMWorkBill::GetThisBillNo(const std::string& sDsn,
                                        corva::OptionalRef<int32_t> LoopNum,
                                        corva::OptionalRef<bool> isSave) {
  std::string numbers;
  // No error trap: the abort vote cast first stands when an error leaves the call.
  frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .trap = false}, [&](corva::frame::Call& call) {
    numbers = IssueBillNumbers(call, kBillTypeWorkBill, LoopNum, isSave);
  });
  return numbers;
}

}  // namespace CorvaMSHTransBills
