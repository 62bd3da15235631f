// Number patterns of bill-number rules (ICBillNo.FFormat): a counter laid out by a pattern of
// digit placeholders and literal text, read the way the platform's number formatting reads a
// user-defined number format, so that the numbers a site already prints keep their shape.
#ifndef CORVA_BILLS_WORKBILL_NUMBER_PATTERN_H_
#define CORVA_BILLS_WORKBILL_NUMBER_PATTERN_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "corva/variant.h"

namespace CorvaMSHTransBills {

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
