// The common case of the decimal functions, computed without the heap: a decimal that SQLite hands
// over as an integer, a whole double or plain fixed text ("700.0000000000") is read, rescaled,
// added, multiplied, compared and printed in one 128-bit integer on the stack. Whatever is not
// that simple (blanks, exponents, fractional doubles, results past 38 digits, errors) answers
// false, and the caller takes the general path through corva::Decimal, which decides the same
// values the same way.
#ifndef CORVA_TSQL_QUICK_DECIMAL_H_
#define CORVA_TSQL_QUICK_DECIMAL_H_

#include <sqlite3.h>

#include <cstddef>
#include <string_view>

#include "corva/decimal.h"

namespace corva::tsql {

// units / 10^scale with |units| < 10^38 and 0 <= scale <= 38, as corva::Decimal holds it.
struct QuickDecimal {
  __int128 units = 0;
  int scale = 0;
};

// Room PrintQuick needs: 38 digits, a sign, a point and a leading zero.
constexpr size_t kQuickTextSize = 48;

// Text "[-]digits[.digits]" of at most 36 digits, nothing around it.
bool ParseQuick(std::string_view text, QuickDecimal* out);
// An integer, a double that is whole and below 10^15 in magnitude (which late binding's 15
// significant digits print exactly), or text ParseQuick takes. False for NULL and the rest.
bool ReadQuick(sqlite3_value* v, QuickDecimal* out);
// x with `scale` digits after the point, rounded half away from zero or truncated; false past 38
// digits.
bool RescaleQuick(const QuickDecimal& x, int scale, bool truncate, QuickDecimal* out);
// Whether x has at most precision - x.scale digits before the point.
bool FitsQuick(const QuickDecimal& x, int precision);
// a + b at the larger scale; false past 38 digits.
bool AddQuick(const QuickDecimal& a, const QuickDecimal& b, QuickDecimal* out);
// a * b rounded half away from zero to `scale` digits; false past 38 digits.
bool MultiplyQuick(const QuickDecimal& a, const QuickDecimal& b, int scale, QuickDecimal* out);
// -1, 0 or 1 into *order; false when one side cannot be brought to the other's scale.
bool CompareQuick(const QuickDecimal& a, const QuickDecimal& b, int* order);
// x as a corva::Decimal when its units fit 64 bits (the common case); false otherwise.
bool ToDecimal(const QuickDecimal& x, corva::Decimal* out);
// A result column's decimal read in place, without copying its text, when ReadQuick takes it and
// its units fit 64 bits; the same value corva::Decimal::Parse would give.
bool ColumnDecimal(sqlite3_stmt* stmt, int column, corva::Decimal* out);
// Every digit of the scale ("16.0000000000"), as corva::Decimal::ToFixed prints it. REQUIRES:
// `buf` holds kQuickTextSize characters. Returns the length (no terminator is written).
size_t PrintQuick(const QuickDecimal& x, char* buf);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_QUICK_DECIMAL_H_
