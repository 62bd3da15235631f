// clsMTaskDispBill's bill numbering: the next number(s) from the bill-number rule (prefix,
// counter, pattern, suffix) of the bill type the host names in ICBillNo, and reserving them by
// moving the counter on. It reads the rules the same way as the operation plan bill's numbering.
#include <cstdint>
#include <limits>
#include <string>

#include "bills/taskdisp/cls_m_task_disp_bill.h"
#include "bills/workbill/number_pattern.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::FrameVote;

// The `index`-th number after the counter (1 = the next), without the prefix.
std::string NthNumber(const Variant& counter, int32_t index, const std::string& pattern,
                      const std::string& suffix) {
  if (pattern.empty()) {
    return counter.IsNull() ? std::string("1") : CounterPlus(counter, index).AsString();
  }
  Variant next = counter.IsNull() ? Variant::Null() : CounterPlus(counter, index);
  return FormatNumberPattern(next, pattern) + suffix;
}

}  // namespace

std::string clsMTaskDispBill::GetBillNo(int32_t& lngBillID, const std::string& sDsn,
                                        corva::OptionalRef<int32_t> LoopNum,
                                        corva::OptionalRef<bool> isSave) {
  std::string numbers;
  // No error trap: the abort vote cast first stands when an error leaves the call.
  frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .trap = false}, [&](corva::frame::Call& call) {
    corva::RecordsetPtr rule = call.Connection()->Execute(
        "select FPreLetter,FSufLetter,FCurNo,FFormat from ICBillNo where FBillID= " +
        SqlNumber(lngBillID));
    if (!rule->Eof()) {
      std::string pattern = TrimBlanks(rule->Fields("FFormat").ToText());
      std::string prefix = rule->Fields("FPreLetter").ToText();
      std::string suffix = rule->Fields("FSufLetter").ToText();
      Variant counter = rule->Fields("FCurNo");
      if (LoopNum <= 1) {
        // One number: without a pattern the counter's successor and no suffix; with one the
        // counter itself, laid out, and the suffix.
        if (pattern.empty()) {
          numbers = prefix + NthNumber(counter, 1, pattern, suffix);
        } else {
          numbers = prefix + FormatNumberPattern(counter, pattern) + suffix;
        }
      } else {
        for (int32_t i = 1; i <= LoopNum; ++i) {
          numbers += prefix + NthNumber(counter, i, pattern, suffix) + ",";
        }
      }
    }
    if (isSave) {
      call.NewConnection()->Execute("update ICBillNo set FCurNo=FCurNo+" + SqlNumber(LoopNum) +
                                    "  where FBillID=" + SqlNumber(lngBillID));
    }
    numbers = TrimBlanks(numbers);
  });
  return numbers;
}

}  // namespace CorvaMSHTransBills
