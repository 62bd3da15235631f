// Bill numbers from the bill-number rules of ICBillNo (prefix, counter, pattern, suffix), shared by
// every class that numbers bills, and the number patterns (ICBillNo.FFormat) they use: a counter
// laid out by a pattern of digit placeholders and literal text, read the way the platform's number
// formatting reads a user-defined number format, so that the numbers a site already prints keep
// their shape.
#ifndef CORVA_BILLS_WORKBILL_NUMBER_PATTERN_H_
#define CORVA_BILLS_WORKBILL_NUMBER_PATTERN_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "corva/variant.h"
#include "frame/method_frame.h"

namespace CorvaMSHTransBills {

// The most numbers one call hands out or reserves. A host reserves the numbers of the bills it is
// about to enter; a count beyond this (2147483647, a stray True) is a caller's mistake, and
// serving it would mean a loop without end or a counter that jumps away.
inline constexpr int32_t kMaxNumbersPerCall = 10000;

// The next number of the bill-number rule of bill type `bill_type`, or with `count` >= 2 the next
// `count` numbers, each followed by ","; "" when the rule is missing. Without a pattern a number is
// the counter's successor and has no suffix; a single number with a pattern is the counter itself,
// laid out, and the suffix. With `reserve` the counter moves on by `count` (by 0 when it is 0), on
// a connection of its own. Errors: 5 when `count` is negative or above kMaxNumbersPerCall, before
// any database work (a counter never moves backwards); the database's errors; 13 for a counter
// that is not a number.
std::string IssueBillNumbers(corva::frame::Call& call, int32_t bill_type, int32_t count,
                             bool reserve);

// `value` laid out by `pattern`:
// - "0" shows a digit or a zero, "#" a digit or nothing; the integer digits fill the placeholders
//   from the right and digits beyond the placeholders go where the leftmost one stands, so a
//   number never loses digits ("0000" gives 0042 for 42 and 12345 for 12345; "#" gives "" for 0).
// - "." is the decimal point (always shown), the fraction rounded half away from zero to the
//   placeholders after it, trailing zeros dropped under "#".
// - "," between integer placeholders groups thousands; "," right after the last one divides by
//   1000; "%" multiplies by 100 and shows itself.
// - "\x" shows x, "text" in double quotes shows text, every other character shows itself (letters
//   included: a bill-number pattern has no date parts).
// - ";" separates sections: positive;negative;zero;Null. Without a negative section a negative
//   value takes the first one behind "-" (no "-" when it rounds to zero); an empty section falls
//   back to the first.
// A Null value gives the fourth section's text, or "" without one. Other values are read as
// numbers (Empty as 0): error 13 when they are not.
std::string FormatNumberPattern(const corva::Variant& value, std::string_view pattern);

// A bill-number counter moved on by `step`. A whole-number counter stays a whole number and
// overflows past 32 bits (error 6), as the counter column does; other values are read as numbers
// (error 13 when they are not).
corva::Variant CounterPlus(const corva::Variant& counter, int32_t step);

// `text` without leading and trailing blanks (prefixes and suffixes of bill-number rules).
std::string TrimBlanks(const std::string& text);

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_WORKBILL_NUMBER_PATTERN_H_
