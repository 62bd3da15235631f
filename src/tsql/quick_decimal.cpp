// Decimals of the common case on the stack (see quick_decimal.h). The rules' quantity procedure
// converts some twenty products per row into decimal(28,10); going through corva::Decimal, its
// text parser and a printf for each was most of what the engine spent beyond SQLite's own work.
#include "tsql/quick_decimal.h"

#include <cmath>
#include <cstdint>

namespace corva::tsql {
namespace {

using Int128 = __int128;

struct Powers {
  Int128 p[39];
  constexpr Powers() : p() {
    p[0] = 1;
    for (int i = 1; i < 39; ++i) p[i] = p[i - 1] * 10;
  }
};
constexpr Powers kPow;
constexpr Int128 kLimit = kPow.p[38];  // every |units| stays below 10^38
constexpr int kMaxScale = 38;

Int128 Abs(Int128 v) { return v < 0 ? -v : v; }

}  // namespace

bool ParseQuick(std::string_view text, QuickDecimal* out) {
  size_t i = 0, n = text.size();
  bool negative = i < n && text[i] == '-';
  if (negative) ++i;
  Int128 units = 0;
  int digits = 0, scale = 0;
  size_t start = i;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
    units = units * 10 + (text[i] - '0');
  if (i == start) return false;
  if (i < n && text[i] == '.') {
    size_t fraction = ++i;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, ++scale)
      units = units * 10 + (text[i] - '0');
    if (i == fraction) return false;
  }
  // 36 digits cannot overflow 10^38, and the scale stays within the type's 38.
  if (i != n || digits > 36) return false;
  out->units = negative ? -units : units;
  out->scale = scale;
  return true;
}

namespace {

// What ReadQuick and ColumnDecimal share: the value's SQLite type, and getters called only for
// that type (reading an integer as text would convert it in place).
template <typename AsInt, typename AsReal, typename AsText>
bool ReadTyped(int type, AsInt as_int, AsReal as_real, AsText as_text, QuickDecimal* out) {
  switch (type) {
    case SQLITE_INTEGER:
      *out = QuickDecimal{as_int(), 0};
      return true;
    case SQLITE_FLOAT: {
      double d = as_real();
      if (!(std::fabs(d) < 1e15) || d != std::trunc(d)) return false;
      *out = QuickDecimal{static_cast<int64_t>(d), 0};
      return true;
    }
    case SQLITE_TEXT:
      return ParseQuick(as_text(), out);
    default:
      return false;
  }
}

std::string_view View(const unsigned char* text, int bytes) {
  if (!text) return {};
  return std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
}

}  // namespace

bool ReadQuick(sqlite3_value* v, QuickDecimal* out) {
  return ReadTyped(
      sqlite3_value_type(v), [&] { return sqlite3_value_int64(v); },
      [&] { return sqlite3_value_double(v); },
      [&] {
        const unsigned char* t = sqlite3_value_text(v);
        return View(t, sqlite3_value_bytes(v));
      },
      out);
}

bool RescaleQuick(const QuickDecimal& x, int scale, bool truncate, QuickDecimal* out) {
  if (scale < 0 || scale > kMaxScale) return false;
  if (scale >= x.scale) {
    Int128 v;
    if (__builtin_mul_overflow(x.units, kPow.p[scale - x.scale], &v) || Abs(v) >= kLimit)
      return false;
    *out = QuickDecimal{v, scale};
    return true;
  }
  const Int128 d = kPow.p[x.scale - scale];
  Int128 q = x.units / d, r = x.units % d;
  if (!truncate && Abs(r) >= d - Abs(r)) q += x.units < 0 ? -1 : 1;  // half away from zero
  *out = QuickDecimal{q, scale};
  return true;
}

bool FitsQuick(const QuickDecimal& x, int precision) {
  if (precision < x.scale) return false;
  // At most precision - scale digits before the point is fewer than `precision` digits in all,
  // which needs no division.
  return precision >= 38 || Abs(x.units) < kPow.p[precision];
}

bool AddQuick(const QuickDecimal& a, const QuickDecimal& b, QuickDecimal* out) {
  int scale = a.scale > b.scale ? a.scale : b.scale;
  QuickDecimal x, y;
  if (!RescaleQuick(a, scale, false, &x) || !RescaleQuick(b, scale, false, &y)) return false;
  Int128 sum = x.units + y.units;  // both below 10^38: no overflow of 128 bits
  if (Abs(sum) >= kLimit) return false;
  *out = QuickDecimal{sum, scale};
  return true;
}

bool MultiplyQuick(const QuickDecimal& a, const QuickDecimal& b, int scale, QuickDecimal* out) {
  Int128 product;
  int exact = a.scale + b.scale;
  if (exact > kMaxScale || __builtin_mul_overflow(a.units, b.units, &product) ||
      Abs(product) >= kLimit)
    return false;
  return RescaleQuick(QuickDecimal{product, exact}, scale, false, out);
}

bool CompareQuick(const QuickDecimal& a, const QuickDecimal& b, int* order) {
  int scale = a.scale > b.scale ? a.scale : b.scale;
  QuickDecimal x, y;
  if (!RescaleQuick(a, scale, false, &x) || !RescaleQuick(b, scale, false, &y)) return false;
  *order = x.units < y.units ? -1 : x.units > y.units ? 1 : 0;
  return true;
}

bool ToDecimal(const QuickDecimal& x, corva::Decimal* out) {
  if (x.units < INT64_MIN || x.units > INT64_MAX) return false;
  *out = corva::Decimal::FromUnits(static_cast<int64_t>(x.units), x.scale);
  return true;
}

bool ColumnDecimal(sqlite3_stmt* stmt, int column, corva::Decimal* out) {
  QuickDecimal q;
  return ReadTyped(
             sqlite3_column_type(stmt, column), [&] { return sqlite3_column_int64(stmt, column); },
             [&] { return sqlite3_column_double(stmt, column); },
             [&] {
               const unsigned char* t = sqlite3_column_text(stmt, column);
               return View(t, sqlite3_column_bytes(stmt, column));
             },
             &q) &&
         ToDecimal(q, out);
}

size_t PrintQuick(const QuickDecimal& x, char* buf) {
  unsigned __int128 m = static_cast<unsigned __int128>(Abs(x.units));
  char digits[kQuickTextSize];
  int count = 0;
  while (m > UINT64_MAX) {  // 128-bit division only for what 64 bits cannot hold
    digits[count++] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  }
  uint64_t low = static_cast<uint64_t>(m);
  do {
    digits[count++] = static_cast<char>('0' + low % 10);
    low /= 10;
  } while (low != 0);
  while (count <= x.scale) digits[count++] = '0';  // "0.05", not ".05"
  size_t at = 0;
  if (x.units < 0) buf[at++] = '-';
  for (int i = count - 1; i >= 0; --i) {
    buf[at++] = digits[i];
    if (i == x.scale && i > 0) buf[at++] = '.';
  }
  return at;
}

}  // namespace corva::tsql
