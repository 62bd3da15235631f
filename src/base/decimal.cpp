// Exact decimals: 128-bit units with a scale for everything that fits, and Boost's 256-bit
// integers only for the products and quotients whose intermediate needs more than 128 bits
// (decimal(28,10) times decimal(28,10) has 56 digits before it is rounded back).
#include "corva/decimal.h"

#include <boost/multiprecision/cpp_int.hpp>
#include <cstdio>
#include <cstdlib>

#include "corva/error.h"

namespace corva {
namespace {

using Int128 = __int128;
using Int256 = boost::multiprecision::int256_t;

struct Powers {
  Int128 p[Decimal::kMaxDigits + 1];
  constexpr Powers() : p() {
    p[0] = 1;
    for (int i = 1; i <= Decimal::kMaxDigits; ++i) p[i] = p[i - 1] * 10;
  }
};
constexpr Powers kPow;
constexpr Int128 kLimit = kPow.p[Decimal::kMaxDigits];  // 10^38: every |units| stays below

Int128 Abs(Int128 v) { return v < 0 ? -v : v; }

// q = n / d rounded as `mode` says. REQUIRES: d > 0.
template <typename T>
T DivRound(const T& n, const T& d, Decimal::Rounding mode) {
  T q = n / d;
  T r = n % d;
  if (r == 0 || mode == Decimal::Rounding::kTruncate) return q;
  T twice = r < 0 ? T(-r) * 2 : r * 2;
  bool up =
      twice > d || (twice == d && (mode == Decimal::Rounding::kHalfAwayFromZero || (q % 2 != 0)));
  if (up) q += n < 0 ? -1 : 1;
  return q;
}

Int256 Wide(Int128 v) {
  bool neg = v < 0;
  unsigned __int128 m =
      neg ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
  Int256 r = static_cast<uint64_t>(m >> 64);
  r <<= 64;
  r += static_cast<uint64_t>(m);
  return neg ? Int256(-r) : r;
}

Int256 WidePow(int n) { return Wide(kPow.p[n]); }

// Back to 128 bits when |v| < 10^38.
bool Narrow(const Int256& v, Int128* out) {
  Int256 m = v < 0 ? Int256(-v) : v;
  if (m >= Wide(kLimit)) return false;
  uint64_t lo = static_cast<uint64_t>(m & Int256(UINT64_MAX));
  uint64_t hi = static_cast<uint64_t>(m >> 64);
  Int128 r = (static_cast<Int128>(hi) << 64) | lo;
  *out = v < 0 ? -r : r;
  return true;
}

// Reads [+|-]digits[.digits][(e|E)[+|-]digits] after blanks; the exponent only when allowed.
bool ReadText(std::string_view t, bool allow_exponent, bool* neg, std::string* digits, int* scale) {
  size_t i = 0, n = t.size();
  while (i < n && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n')) ++i;
  while (n > i && (t[n - 1] == ' ' || t[n - 1] == '\t' || t[n - 1] == '\r' || t[n - 1] == '\n'))
    --n;
  *neg = false;
  if (i < n && (t[i] == '+' || t[i] == '-')) *neg = t[i++] == '-';
  digits->clear();
  *scale = 0;
  bool any = false, point = false;
  for (; i < n; ++i) {
    char c = t[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (!(digits->empty() && c == '0'))
        digits->push_back(c);
      else if (point)
        digits->push_back(c);
      if (point) ++*scale;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  if (i < n && allow_exponent && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool eneg = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) eneg = t[i++] == '-';
    if (i == n) return false;
    int e = 0;
    for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i) {
      e = e * 10 + (t[i] - '0');
      if (e > 400) return false;
    }
    *scale += eneg ? e : -e;
  }
  if (i != n) return false;
  // Leading zeros of the fraction count toward the scale, not toward the digits.
  size_t nz = digits->find_first_not_of('0');
  digits->erase(0, nz == std::string::npos ? digits->size() : nz);
  if (*scale < 0) {
    if (!digits->empty()) digits->append(static_cast<size_t>(-*scale), '0');
    *scale = 0;
  }
  // Zeros past the 38th digit of the fraction change nothing.
  while (*scale > 0 && !digits->empty() && digits->back() == '0' &&
         (static_cast<int>(digits->size()) > Decimal::kMaxDigits || *scale > Decimal::kMaxDigits)) {
    digits->pop_back();
    --*scale;
  }
  while (digits->empty() && *scale > Decimal::kMaxDigits) --*scale;
  return static_cast<int>(digits->size()) <= Decimal::kMaxDigits && *scale <= Decimal::kMaxDigits;
}

bool FromText(std::string_view text, bool allow_exponent, Int128* units, int* scale) {
  bool neg;
  std::string digits;
  if (!ReadText(text, allow_exponent, &neg, &digits, scale)) return false;
  Int128 v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  *units = neg ? -v : v;
  return true;
}

std::string Digits(Int128 v) {
  unsigned __int128 m =
      v < 0 ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
  char buf[48];
  int at = 48;
  do {
    buf[--at] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  } while (m != 0);
  return std::string(buf + at, buf + 48);
}

// a and b brought to one scale; false when that scale would overflow 10^38.
bool Align(Int128 a, int sa, Int128 b, int sb, Int128* x, Int128* y, int* scale) {
  *scale = sa > sb ? sa : sb;
  *x = a;
  *y = b;
  if (sa < *scale && __builtin_mul_overflow(a, kPow.p[*scale - sa], x)) return false;
  if (sb < *scale && __builtin_mul_overflow(b, kPow.p[*scale - sb], y)) return false;
  return true;
}

}  // namespace

bool Decimal::FromDouble(double v, Decimal* out) {
  if (!(v == v) || v > 1e38 || v < -1e38) return false;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  Int128 units;
  int scale;
  if (!FromText(buf, true, &units, &scale) || Abs(units) >= kLimit) return false;
  *out = Decimal(units, scale);
  return true;
}

bool Decimal::Parse(std::string_view text, Decimal* out) {
  Int128 units;
  int scale;
  if (!FromText(text, false, &units, &scale)) return false;
  *out = Decimal(units, scale);
  return true;
}

int Decimal::IntegralDigits() const {
  Int128 whole = Abs(units()) / kPow.p[scale_];
  int n = 0;
  while (n < kMaxDigits && whole >= kPow.p[n]) ++n;
  return n;
}

bool Decimal::Rescale(int scale, Rounding mode, Decimal* out) const {
  if (scale == scale_) {
    *out = *this;
    return true;
  }
  if (scale > scale_) {
    Int128 v;
    if (__builtin_mul_overflow(units(), kPow.p[scale - scale_], &v) || Abs(v) >= kLimit)
      return false;
    *out = Decimal(v, scale);
    return true;
  }
  *out = Decimal(DivRound<Int128>(units(), kPow.p[scale_ - scale], mode), scale);
  return true;
}

double Decimal::ToDouble() const {
  if (scale_ == 0 && Abs(units()) < (Int128(1) << 53)) return static_cast<double>(units());
  return std::strtod(ToFixed().c_str(), nullptr);
}

bool Decimal::ToInt64(Rounding mode, int64_t* out) const {
  Int128 v = DivRound<Int128>(units(), kPow.p[scale_], mode);
  if (v > INT64_MAX || v < INT64_MIN) return false;
  *out = static_cast<int64_t>(v);
  return true;
}

std::string Decimal::ToFixed() const {
  std::string d = Digits(Abs(units()));
  if (static_cast<int>(d.size()) <= scale_) d.insert(0, scale_ + 1 - d.size(), '0');
  if (scale_ > 0) d.insert(d.size() - scale_, 1, '.');
  if (units() < 0) d.insert(0, 1, '-');
  return d;
}

std::string Decimal::ToString() const {
  std::string s = ToFixed();
  if (scale_ > 0) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

bool Decimal::Add(const Decimal& a, const Decimal& b, Decimal* out) {
  Int128 x, y, r;
  int scale;
  if (!Align(a.units(), a.scale_, b.units(), b.scale_, &x, &y, &scale)) return false;
  if (__builtin_add_overflow(x, y, &r) || Abs(r) >= kLimit) return false;
  *out = Decimal(r, scale);
  return true;
}

bool Decimal::Subtract(const Decimal& a, const Decimal& b, Decimal* out) {
  return Add(a, Decimal(-b.units(), b.scale_), out);
}

bool Decimal::Multiply(const Decimal& a, const Decimal& b, int scale, Decimal* out) {
  int exact = a.scale_ + b.scale_;
  Int128 p;
  if (!__builtin_mul_overflow(a.units(), b.units(), &p) && exact <= kMaxDigits && Abs(p) < kLimit) {
    return Decimal(p, exact).Rescale(scale, Rounding::kHalfAwayFromZero, out);
  }
  Int256 w = Wide(a.units()) * Wide(b.units());
  if (scale < exact) {
    int drop = exact - scale;
    // Beyond 10^76 no product reaches: the quotient is 0 either way.
    w = drop > 76
            ? Int256(0)
            : DivRound<Int256>(w,
                               drop > kMaxDigits ? WidePow(kMaxDigits) * WidePow(drop - kMaxDigits)
                                                 : WidePow(drop),
                               Rounding::kHalfAwayFromZero);
  } else if (scale > exact) {
    w *= WidePow(scale - exact);
  }
  Int128 r;
  if (!Narrow(w, &r)) return false;
  *out = Decimal(r, scale);
  return true;
}

bool Decimal::Divide(const Decimal& a, const Decimal& b, int scale, Rounding mode, Decimal* out) {
  // units = a.units * 10^(scale + b.scale - a.scale) / b.units
  int shift = scale + b.scale_ - a.scale_;
  Int128 n = a.units(), d = b.units();
  if (d < 0) n = -n, d = -d;
  if (shift >= 0) {
    Int128 scaled;
    if (shift <= kMaxDigits && !__builtin_mul_overflow(n, kPow.p[shift], &scaled)) {
      Int128 q = DivRound<Int128>(scaled, d, mode);
      if (Abs(q) >= kLimit) return false;
      *out = Decimal(q, scale);
      return true;
    }
    Int256 wn = Wide(n) * (shift > kMaxDigits ? WidePow(kMaxDigits) * WidePow(shift - kMaxDigits)
                                              : WidePow(shift));
    Int128 r;
    if (!Narrow(DivRound<Int256>(wn, Wide(d), mode), &r)) return false;
    *out = Decimal(r, scale);
    return true;
  }
  Int256 wd = Wide(d) * WidePow(-shift);
  Int128 r;
  if (!Narrow(DivRound<Int256>(Wide(n), wd, mode), &r)) return false;
  *out = Decimal(r, scale);
  return true;
}

bool Decimal::Remainder(const Decimal& a, const Decimal& b, Decimal* out) {
  Int128 x, y;
  int scale;
  if (!Align(a.units(), a.scale_, b.units(), b.scale_, &x, &y, &scale)) return false;
  *out = Decimal(x % y, scale);
  return true;
}

int Decimal::Compare(const Decimal& o) const {
  Int128 x, y;
  int scale;
  if (Align(units(), scale_, o.units(), o.scale_, &x, &y, &scale)) return x < y ? -1 : x > y;
  // One side overflowed when brought to the other's scale: it is the larger in magnitude.
  bool this_big = scale_ < o.scale_;
  int sign = this_big ? Sign() : -o.Sign();
  return sign;
}

Decimal Decimal::operator+(const Decimal& o) const {
  Decimal r;
  if (!Add(*this, o, &r)) throw Error::Runtime(kErrOverflow);
  return r;
}

Decimal Decimal::operator-(const Decimal& o) const {
  Decimal r;
  if (!Subtract(*this, o, &r)) throw Error::Runtime(kErrOverflow);
  return r;
}

Decimal Decimal::operator-() const { return Decimal(-units(), scale_); }

}  // namespace corva
