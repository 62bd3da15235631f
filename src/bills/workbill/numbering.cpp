// clsMWorkBill's numbering: the next operation plan bill number(s) from the bill-number rule of
// bill type 52 in ICBillNo (prefix, counter, pattern, suffix), and reserving them by moving the
// counter on.
#include <cstdint>
#include <limits>
#include <string>

#include "bills/workbill/cls_m_work_bill.h"
#include "bills/workbill/number_pattern.h"
#include "corva/error.h"
#include "frame/codes.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {

using corva::Variant;
using corva::frame::FrameVote;

std::string clsMWorkBill::GetThisBillNo(const std::string& sDsn,
                                        corva::OptionalRef<int32_t> LoopNum,
                                        corva::OptionalRef<bool> isSave) {
  std::string numbers;
  // No error trap: the abort vote cast first stands when an error leaves the call.
  frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .trap = false}, [&](corva::frame::Call& call) {
    corva::RecordsetPtr rule = call.Connection()->Execute(
        "select FPreLetter,FSufLetter,FCurNo,FFormat from ICBillNo where FBillID= " +
        SqlNumber(kBillTypeWorkBill));
    if (!rule->Eof()) {
      std::string pattern = TrimBlanks(rule->Fields("FFormat").ToText());
      std::string prefix = rule->Fields("FPreLetter").ToText();
      std::string suffix = rule->Fields("FSufLetter").ToText();
      Variant counter = rule->Fields("FCurNo");
      if (LoopNum <= 1) {
        // A single number: without a pattern the counter's successor and no suffix;
        // with one the counter itself, laid out, and the suffix.
        if (pattern.empty()) {
          numbers =
              prefix + (counter.IsNull() ? std::string("1") : CounterPlus(counter, 1).AsString());
        } else {
          numbers = prefix + FormatNumberPattern(counter, pattern) + suffix;
        }
      } else {
        for (int32_t i = 1; i <= LoopNum; ++i) {
          std::string number;
          if (pattern.empty()) {
            number = counter.IsNull() ? std::string("1") : CounterPlus(counter, i).AsString();
          } else {
            Variant next = counter.IsNull() ? Variant::Null() : CounterPlus(counter, i);
            number = FormatNumberPattern(next, pattern) + suffix;
          }
          numbers += prefix + number + ",";
        }
      }
    }
    if (isSave) {
      call.NewConnection()->Execute("update ICBillNo set FCurNo=FCurNo+" + SqlNumber(LoopNum) +
                                    "  where FBillID=" + SqlNumber(kBillTypeWorkBill));
    }
    numbers = TrimBlanks(numbers);
    return true;
  });
  return numbers;
}

}  // namespace CorvaMSHTransBills
