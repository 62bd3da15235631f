// corva::Decimal: an exact decimal number of at most 38 digits, the value of SQL Server's decimal,
// numeric and money types and of late binding's decimal subtype. Quantities are kept in decimal
// columns and the rules decide by equalities on them, which binary doubles cannot answer.
#ifndef CORVA_DECIMAL_H_
#define CORVA_DECIMAL_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace corva {

// Representation: a signed 128-bit integer of units (kept as two 64-bit words, so the class stays
// 8-byte aligned inside a Variant) and a scale s (0..38); the value is units / 10^s, with
// |units| < 10^38. Copies are plain 24-byte copies. 1.50 keeps its scale 2
// (it prints "1.5" and equals 1.5); the scale is the type's, the value is the same.
class Decimal {
 public:
  static constexpr int kMaxDigits = 38;

  enum class Rounding { kHalfAwayFromZero, kHalfEven, kTruncate };

  Decimal() = default;  // 0

  static Decimal FromInt64(int64_t v) { return Decimal(v, 0); }
  // units / 10^scale. REQUIRES: 0 <= scale <= 38.
  static Decimal FromUnits(int64_t units, int scale) { return Decimal(units, scale); }
  // A Double as late binding converts one: to 15 significant digits. False for NaN, infinities
  // and magnitudes of 10^38 or more.
  static bool FromDouble(double v, Decimal* out);
  // Text "[blanks][+|-]digits[.digits][blanks]" (also ".5" and "5."). False when the text is
  // not such a number or needs more than 38 digits. An exponent is not accepted here.
  static bool Parse(std::string_view text, Decimal* out);

  int scale() const { return scale_; }
  int Sign() const { return hi_ < 0 ? -1 : (hi_ | static_cast<int64_t>(lo_)) != 0 ? 1 : 0; }
  bool IsZero() const { return hi_ == 0 && lo_ == 0; }
  // Digits before the point, 0 for |x| < 1: 123.45 has 3.
  int IntegralDigits() const;
  // Whether the value fits decimal(precision, scale()): at most precision - scale() integral
  // digits.
  bool FitsPrecision(int precision) const { return IntegralDigits() <= precision - scale_; }

  // The value with `scale` digits after the point, rounded as `mode` says. False when the result
  // would need more than 38 digits (the value is then left unchanged in *out's absence).
  bool Rescale(int scale, Rounding mode, Decimal* out) const;

  // Nearest double (correctly rounded from the decimal text).
  double ToDouble() const;
  // Rounded as `mode` says into 64 bits; false when it does not fit.
  bool ToInt64(Rounding mode, int64_t* out) const;
  // Shortest text: no trailing zeros, no point for whole numbers ("16", "0.5", "-0.25"), as a
  // Double of the same value reads.
  std::string ToString() const;
  // Every digit of the scale: "16.0000000000" for 16 at scale 10, as SQL Server shows it.
  std::string ToFixed() const;

  // Exact sum and difference at scale max(a.scale, b.scale); false beyond 38 digits.
  static bool Add(const Decimal& a, const Decimal& b, Decimal* out);
  static bool Subtract(const Decimal& a, const Decimal& b, Decimal* out);
  // The product rounded half away from zero to `scale` digits; false beyond 38 digits.
  static bool Multiply(const Decimal& a, const Decimal& b, int scale, Decimal* out);
  // The quotient to `scale` digits, rounded as `mode` says. REQUIRES: !b.IsZero(). False beyond
  // 38 digits.
  static bool Divide(const Decimal& a, const Decimal& b, int scale, Rounding mode, Decimal* out);
  // The remainder of a / b truncated toward zero (sign of a), at scale max(a.scale, b.scale).
  // REQUIRES: !b.IsZero().
  static bool Remainder(const Decimal& a, const Decimal& b, Decimal* out);

  // -1, 0, 1; values compare exactly whatever their scales.
  int Compare(const Decimal& other) const;
  bool operator==(const Decimal& o) const { return Compare(o) == 0; }
  bool operator!=(const Decimal& o) const { return Compare(o) != 0; }
  bool operator<(const Decimal& o) const { return Compare(o) < 0; }
  bool operator<=(const Decimal& o) const { return Compare(o) <= 0; }
  bool operator>(const Decimal& o) const { return Compare(o) > 0; }
  bool operator>=(const Decimal& o) const { return Compare(o) >= 0; }

  // Exact arithmetic for the rules' own sums and differences; a result beyond 38 digits throws
  // corva::Error 6 (Overflow), as late binding's decimal arithmetic does.
  Decimal operator+(const Decimal& o) const;
  Decimal operator-(const Decimal& o) const;
  Decimal operator-() const;

 private:
  Decimal(__int128 units, int scale)
      : lo_(static_cast<uint64_t>(units)),
        hi_(static_cast<int64_t>(units >> 64)),
        scale_(static_cast<int8_t>(scale)) {}
  __int128 units() const {
    return static_cast<__int128>(
        (static_cast<unsigned __int128>(static_cast<uint64_t>(hi_)) << 64) | lo_);
  }

  uint64_t lo_ = 0;
  int64_t hi_ = 0;
  int8_t scale_ = 0;
};

}  // namespace corva

#endif  // CORVA_DECIMAL_H_
