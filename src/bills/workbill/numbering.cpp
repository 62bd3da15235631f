// clsMWorkBill's numbering: the next operation plan bill number(s) from the bill-number rule of
// bill type 52 in ICBillNo (prefix, counter, pattern, suffix), and reserving them by moving the
// counter on.
#include <cstdint>
#include <limits>
#include <string>

#include "bills/codes.h"
#include "bills/sql_text.h"
#include "bills/workbill/cls_m_work_bill.h"
#include "bills/workbill/number_pattern.h"
#include "corva/error.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::FrameVote;

// The counter moved on by `step`. A whole-number counter stays a whole number and overflows past
// 32 bits (error 6), as the counter column does; other values are read as numbers (error 13 when
// they are not).
Variant CounterPlus(const Variant& counter, int32_t step) {
  if (counter.Type() == corva::VarType::kLong) {
    int64_t next = static_cast<int64_t>(counter.AsLong()) + step;
    if (next > std::numeric_limits<int32_t>::max() || next < std::numeric_limits<int32_t>::min()) {
      throw corva::Error::Runtime(corva::kErrOverflow);
    }
    return static_cast<int32_t>(next);
  }
  return counter.AsDouble() + step;
}

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string clsMWorkBill::GetThisBillNo(const std::string& sDsn, int32_t& LoopNum, bool& isSave) {
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
