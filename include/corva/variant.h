// corva::Variant: the value exchanged in late binding between the host and the rules, and the value
// of a recordset field. A tagged union of Empty, Null, Boolean, Long (32-bit), Double, String
// (UTF-8), Date, Object and Decimal (exact); copies are cheap (strings are copied, objects shared).
#ifndef CORVA_VARIANT_H_
#define CORVA_VARIANT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "corva/decimal.h"

namespace corva {

// Base of everything a Variant can hold by reference: containers, recordsets, components.
class Object {
 public:
  virtual ~Object() = default;
};
using ObjectPtr = std::shared_ptr<Object>;

// A point in time as the late-binding runtime holds it: days since 1899-12-30, the fraction being
// the time of day. Text form is "YYYY-MM-DD HH:MM:SS" (seconds and time dropped when zero where
// the reader says so).
struct Date {
  double serial = 0;

  static Date FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                        double second = 0);
  // Parses "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]", "YYYY/MM/DD ..." and "YYYYMMDD".
  // Returns false when the text is not a date.
  static bool Parse(const std::string& text, Date* out);
  void ToParts(int* year, int* month, int* day, int* hour, int* minute, double* second) const;
  // "YYYY-MM-DD" when the time is midnight, otherwise "YYYY-MM-DD HH:MM:SS".
  std::string ToString() const;
  // Always "YYYY-MM-DD HH:MM:SS.fff": the form dates take in the embedded engine.
  std::string ToCanonical() const;
  bool operator==(const Date& o) const { return serial == o.serial; }
};

// kDecimal is what a decimal, numeric or money column reads as (late binding's decimal subtype).
enum class VarType { kEmpty, kNull, kBoolean, kLong, kDouble, kString, kDate, kObject, kDecimal };

class Variant {
 public:
  Variant() = default;
  Variant(bool v) : value_(v) {}                      // NOLINT(runtime/explicit)
  Variant(int32_t v) : value_(v) {}                   // NOLINT(runtime/explicit)
  Variant(double v) : value_(v) {}                    // NOLINT(runtime/explicit)
  Variant(const char* v) : value_(std::string(v)) {}  // NOLINT(runtime/explicit)
  Variant(std::string v) : value_(std::move(v)) {}    // NOLINT(runtime/explicit)
  Variant(Date v) : value_(v) {}                      // NOLINT(runtime/explicit)
  Variant(ObjectPtr v) : value_(std::move(v)) {}      // NOLINT(runtime/explicit)
  Variant(Decimal v) : value_(v) {}                   // NOLINT(runtime/explicit)
  template <typename T, typename = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Variant(std::shared_ptr<T> v)  // NOLINT(runtime/explicit)
      : value_(std::static_pointer_cast<Object>(std::move(v))) {}

  static Variant Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
  }
  // Integers beyond 32 bits become Double, as the late-binding runtime would hold them.
  static Variant FromInt64(int64_t v);

  VarType Type() const { return static_cast<VarType>(value_.index()); }
  bool IsEmpty() const { return Type() == VarType::kEmpty; }
  bool IsNull() const { return Type() == VarType::kNull; }
  bool IsNumeric() const;  // Boolean, Long, Double, Decimal, or text that reads as a number

  // Late-binding conversions. Empty reads as 0, "" or False; Null is error 94 for every reader
  // except AsString on a Null... which is also error 94 (use ValueOr / IsNull first). Text reads as
  // a number when it is one ("12" -> 12), else error 13; numbers beyond 32 bits are error 6.
  // Doubles round half to even into Long. True reads as -1, False as 0.
  int32_t AsLong() const;
  double AsDouble() const;
  bool AsBool() const;
  // Booleans read "True"/"False"; doubles in their shortest exact form (15 significant digits);
  // decimals without trailing zeros ("16", "0.5"), so a decimal reads as a Double of its value.
  std::string AsString() const;
  // The exact value: a Decimal as it is, Long and Boolean exactly, a Double to 15 significant
  // digits, text that reads as a number (error 13 otherwise); Empty is 0, Null error 94, a
  // magnitude of 10^38 or more error 6. Compare quantities read from decimal fields with it:
  // Fields("a").AsDecimal() == Fields("b").AsDecimal() is exact where AsDouble is not.
  Decimal AsDecimal() const;
  Date AsDate() const;
  // The object, or nullptr for Empty; error 13 for other types.
  ObjectPtr AsObject() const;
  template <typename T>
  std::shared_ptr<T> As() const {
    return std::dynamic_pointer_cast<T>(AsObject());
  }

  // Text for display and messages: Empty and Null read as "", everything else as AsString.
  std::string ToText() const;

  // Equality of the late-binding "=" for values of the same kind; numbers compare as numbers
  // (exactly when either is a Decimal, the other read as AsDecimal does), text compares exactly.
  // Empty equals Empty, Null equals Null (here, unlike SQL).
  bool operator==(const Variant& other) const;
  bool operator!=(const Variant& other) const { return !(*this == other); }

 private:
  struct NullTag {
    bool operator==(const NullTag&) const { return true; }
  };
  std::variant<std::monostate, NullTag, bool, int32_t, double, std::string, Date, ObjectPtr,
               Decimal>
      value_;
};

// The value, or `fallback` when it is Empty or Null.
inline Variant ValueOr(const Variant& v, const Variant& fallback) {
  return (v.IsEmpty() || v.IsNull()) ? fallback : v;
}

}  // namespace corva

#endif  // CORVA_VARIANT_H_
