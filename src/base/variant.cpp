// Variant conversions and dates as the late-binding runtime performs them: text that reads as a
// number converts, Null refuses every reader, doubles round half to even into Long, and dates are
// day serials from 1899-12-30 whose fraction is the time of day.
#include "corva/variant.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "corva/error.h"

namespace corva {
namespace {

constexpr int64_t kMillisPerDay = 86400000;
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (m <= 2));
  *month = m;
  *day = d;
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// The dates late binding holds: 100-01-01 to 9999-12-31 23:59:59 (serials from just above -657435
// to just below 2958466). A number outside them, NaN included, is no date: its conversion to days
// would overflow.
bool IsDateSerial(double serial) { return serial > -657435.0 && serial < 2958466.0; }

// Splits a serial into a civil day number (days since 1899-12-30) and the time of day in units of
// `per_day`, rounded. Before the epoch the runtime keeps the time as a positive fraction: -1.25 is
// 1899-12-29 06:00, so the day is the serial truncated toward zero and the time its magnitude.
void SplitSerial(double serial, int64_t per_day, int64_t* day, int64_t* time) {
  if (!IsDateSerial(serial)) throw Error::Runtime(kErrTypeMismatch);
  double whole = std::trunc(serial);
  *day = static_cast<int64_t>(whole);
  *time = std::llround(std::fabs(serial - whole) * static_cast<double>(per_day));
  if (*time >= per_day) {
    *time -= per_day;
    *day += 1;
  }
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

enum class NumberRead { kOk, kNotNumber, kOverflow };

// Reads text the way the runtime's numeric conversions do: blanks around, an optional sign, digits
// with an optional decimal point and exponent, or "&H"/"&O" integers. Thousands separators and
// words such as "inf" are not numbers.
NumberRead ReadNumber(const std::string& text, double* out) {
  const std::string t = Trim(text);
  if (t.empty()) return NumberRead::kNotNumber;
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o')) {
    const int base = (t[1] == 'H' || t[1] == 'h') ? 16 : 8;
    int64_t v = 0;
    for (size_t i = 2; i < t.size(); ++i) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (digit < 0 || digit >= base) return NumberRead::kNotNumber;
      v = v * base + digit;
      if (v > 0xFFFFFFFFLL) return NumberRead::kOverflow;
    }
    // Like the runtime's hexadecimal literals, eight digits read as a 32-bit two's complement.
    *out = static_cast<double>(v > 0x7FFFFFFFLL ? v - 0x100000000LL : v);
    return NumberRead::kOk;
  }
  size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  size_t digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return NumberRead::kNotNumber;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++exp_digits;
    if (exp_digits == 0) return NumberRead::kNotNumber;
  }
  if (i != t.size()) return NumberRead::kNotNumber;
  errno = 0;
  const double v = std::strtod(t.c_str(), nullptr);
  if (std::isinf(v)) return NumberRead::kOverflow;
  *out = v;
  return NumberRead::kOk;
}

double TextToDouble(const std::string& text) {
  double v = 0;
  switch (ReadNumber(text, &v)) {
    case NumberRead::kOk:
      return v;
    case NumberRead::kOverflow:
      throw Error::Runtime(kErrOverflow);
    case NumberRead::kNotNumber:
      break;
  }
  throw Error::Runtime(kErrTypeMismatch);
}

// Banker's rounding into 32 bits, as the runtime's CLng does.
int32_t RoundToLong(double v) {
  if (std::isnan(v)) throw Error::Runtime(kErrOverflow);
  double r = std::floor(v);
  const double diff = v - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0)) r += 1;
  if (r < -2147483648.0 || r > 2147483647.0) throw Error::Runtime(kErrOverflow);
  return static_cast<int32_t>(r);
}

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return i == a.size() && b[i] == '\0';
}

// Reads up to `max` digits (at least one) at s[*pos]; advances *pos.
bool ReadDigits(const std::string& s, size_t* pos, size_t max, int* out) {
  size_t n = 0;
  int v = 0;
  while (*pos < s.size() && n < max && std::isdigit(static_cast<unsigned char>(s[*pos]))) {
    v = v * 10 + (s[*pos] - '0');
    ++*pos;
    ++n;
  }
  *out = v;
  return n > 0;
}

}  // namespace

// ---- Date ----

Date Date::FromParts(int year, int month, int day, int hour, int minute, double second) {
  const int64_t days = DaysFromCivil(year, month, day) - kEpochDays;
  const double time = (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
  // Before the epoch the time of day still counts forward from midnight, away from zero.
  return Date{days < 0 ? static_cast<double>(days) - time : static_cast<double>(days) + time};
}

bool Date::Parse(const std::string& text, Date* out) {
  const std::string t = Trim(text);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double second = 0;
  size_t pos = 0;
  if (t.size() == 8 && t.find_first_not_of("0123456789") == std::string::npos) {
    year = std::atoi(t.substr(0, 4).c_str());
    month = std::atoi(t.substr(4, 2).c_str());
    day = std::atoi(t.substr(6, 2).c_str());
    pos = t.size();
  } else {
    if (!ReadDigits(t, &pos, 4, &year) || pos != 4) return false;
    if (pos >= t.size() || (t[pos] != '-' && t[pos] != '/')) return false;
    const char sep = t[pos++];
    if (!ReadDigits(t, &pos, 2, &month)) return false;
    if (pos >= t.size() || t[pos] != sep) return false;
    ++pos;
    if (!ReadDigits(t, &pos, 2, &day)) return false;
    if (pos < t.size()) {
      if (t[pos] != ' ' && t[pos] != 'T') return false;
      while (pos < t.size() && (t[pos] == ' ' || t[pos] == 'T')) ++pos;
      if (!ReadDigits(t, &pos, 2, &hour)) return false;
      if (pos >= t.size() || t[pos] != ':') return false;
      ++pos;
      if (!ReadDigits(t, &pos, 2, &minute)) return false;
      if (pos < t.size() && t[pos] == ':') {
        ++pos;
        int whole = 0;
        if (!ReadDigits(t, &pos, 2, &whole)) return false;
        second = whole;
        if (pos < t.size() && t[pos] == '.') {
          ++pos;
          double scale = 0.1;
          size_t n = 0;
          while (pos < t.size() && std::isdigit(static_cast<unsigned char>(t[pos]))) {
            second += (t[pos] - '0') * scale;
            scale /= 10;
            ++pos;
            ++n;
          }
          if (n == 0) return false;
        }
      }
    }
  }
  if (pos != t.size()) return false;
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second >= 60)
    return false;
  *out = FromParts(year, month, day, hour, minute, second);
  return true;
}

void Date::ToParts(int* year, int* month, int* day, int* hour, int* minute, double* second) const {
  int64_t days = 0, millis = 0;
  SplitSerial(serial, kMillisPerDay, &days, &millis);
  CivilFromDays(days + kEpochDays, year, month, day);
  *hour = static_cast<int>(millis / 3600000);
  *minute = static_cast<int>(millis / 60000 % 60);
  *second = static_cast<double>(millis % 60000) / 1000.0;
}

std::string Date::ToString() const {
  int64_t days = 0, seconds = 0;
  SplitSerial(serial, kSecondsPerDay, &days, &seconds);
  int y = 0, mo = 0, d = 0;
  CivilFromDays(days + kEpochDays, &y, &mo, &d);
  char buf[48];
  if (seconds == 0) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
  }
  return buf;
}

std::string Date::ToCanonical() const {
  int64_t days = 0, millis = 0;
  SplitSerial(serial, kMillisPerDay, &days, &millis);
  int y = 0, mo = 0, d = 0;
  CivilFromDays(days + kEpochDays, &y, &mo, &d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d,
                static_cast<int>(millis / 3600000), static_cast<int>(millis / 60000 % 60),
                static_cast<int>(millis / 1000 % 60), static_cast<int>(millis % 1000));
  return buf;
}

// ---- Variant ----

Variant Variant::FromInt64(int64_t v) {
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int32_t>(v));
  return Variant(static_cast<double>(v));
}

bool Variant::IsNumeric() const {
  switch (Type()) {
    case VarType::kBoolean:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kDecimal:
      return true;
    case VarType::kString: {
      double v = 0;
      return ReadNumber(std::get<std::string>(value_), &v) != NumberRead::kNotNumber;
    }
    default:
      return false;
  }
}

double Variant::AsDouble() const {
  switch (Type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      throw Error::Runtime(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VarType::kLong:
      return std::get<int32_t>(value_);
    case VarType::kDouble:
      return std::get<double>(value_);
    case VarType::kString:
      return TextToDouble(std::get<std::string>(value_));
    case VarType::kDate:
      return std::get<Date>(value_).serial;
    case VarType::kDecimal:
      return std::get<Decimal>(value_).ToDouble();
    case VarType::kObject:
      break;
  }
  throw Error::Runtime(kErrTypeMismatch);
}

Decimal Variant::AsDecimal() const {
  Decimal d;
  switch (Type()) {
    case VarType::kDecimal:
      return std::get<Decimal>(value_);
    case VarType::kLong:
      return Decimal::FromInt64(std::get<int32_t>(value_));
    case VarType::kBoolean:
      return Decimal::FromInt64(std::get<bool>(value_) ? -1 : 0);
    case VarType::kEmpty:
      return d;
    case VarType::kString:
      if (Decimal::Parse(std::get<std::string>(value_), &d)) return d;
      break;
    case VarType::kNull:
    case VarType::kObject:
      break;
    default:
      break;
  }
  if (!Decimal::FromDouble(AsDouble(), &d)) throw Error::Runtime(kErrOverflow);
  return d;
}

int32_t Variant::AsLong() const {
  switch (Type()) {
    case VarType::kLong:
      return std::get<int32_t>(value_);
    case VarType::kBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VarType::kEmpty:
      return 0;
    case VarType::kDecimal: {
      int64_t v = 0;
      if (!std::get<Decimal>(value_).ToInt64(Decimal::Rounding::kHalfEven, &v) ||
          v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        throw Error::Runtime(kErrOverflow);
      return static_cast<int32_t>(v);
    }
    default:
      return RoundToLong(AsDouble());
  }
}

bool Variant::AsBool() const {
  switch (Type()) {
    case VarType::kBoolean:
      return std::get<bool>(value_);
    case VarType::kString: {
      const std::string t = Trim(std::get<std::string>(value_));
      if (EqualsNoCase(t, "true")) return true;
      if (EqualsNoCase(t, "false")) return false;
      return TextToDouble(t) != 0;
    }
    default:
      return AsDouble() != 0;
  }
}

std::string Variant::AsString() const {
  switch (Type()) {
    case VarType::kEmpty:
      return std::string();
    case VarType::kNull:
      throw Error::Runtime(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return std::get<bool>(value_) ? "True" : "False";
    case VarType::kLong:
      return std::to_string(std::get<int32_t>(value_));
    case VarType::kDouble: {
      const double v = std::get<double>(value_);
      if (v == 0) return "0";  // also -0
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15G", v);
      return buf;
    }
    case VarType::kString:
      return std::get<std::string>(value_);
    case VarType::kDate:
      return std::get<Date>(value_).ToString();
    case VarType::kDecimal:
      return std::get<Decimal>(value_).ToString();
    case VarType::kObject:
      break;
  }
  throw Error::Runtime(kErrTypeMismatch);
}

Date Variant::AsDate() const {
  auto read = [this] {
    switch (Type()) {
      case VarType::kDate:
        return std::get<Date>(value_);
      case VarType::kNull:
        throw Error::Runtime(kErrInvalidUseOfNull);
      case VarType::kString: {
        const std::string& text = std::get<std::string>(value_);
        Date d;
        if (Date::Parse(text, &d)) return d;
        double serial = 0;
        if (ReadNumber(text, &serial) == NumberRead::kOk) return Date{serial};
        throw Error::Runtime(kErrTypeMismatch);
      }
      case VarType::kObject:
        throw Error::Runtime(kErrTypeMismatch);
      default:
        return Date{AsDouble()};
    }
  };
  Date date = read();
  if (!IsDateSerial(date.serial)) throw Error::Runtime(kErrTypeMismatch);
  return date;
}

ObjectPtr Variant::AsObject() const {
  if (Type() == VarType::kEmpty) return nullptr;
  if (Type() == VarType::kObject) return std::get<ObjectPtr>(value_);
  throw Error::Runtime(kErrTypeMismatch);
}

std::string Variant::ToText() const {
  if (IsEmpty() || IsNull()) return std::string();
  return AsString();
}

bool Variant::operator==(const Variant& other) const {
  auto is_number = [](VarType t) {
    return t == VarType::kBoolean || t == VarType::kLong || t == VarType::kDouble ||
           t == VarType::kDecimal;
  };
  const VarType a = Type(), b = other.Type();
  if (is_number(a) && is_number(b)) {
    Decimal x, y;
    if ((a == VarType::kDecimal || b == VarType::kDecimal) &&
        (a != VarType::kDouble || Decimal::FromDouble(AsDouble(), &x)) &&
        (b != VarType::kDouble || Decimal::FromDouble(other.AsDouble(), &y)))
      return AsDecimal() == other.AsDecimal();
    return AsDouble() == other.AsDouble();
  }
  if (a != b) return false;
  switch (a) {
    case VarType::kString:
      return std::get<std::string>(value_) == std::get<std::string>(other.value_);
    case VarType::kDate:
      return std::get<Date>(value_) == std::get<Date>(other.value_);
    case VarType::kObject:
      return std::get<ObjectPtr>(value_) == std::get<ObjectPtr>(other.value_);
    default:
      return true;  // Empty, Null
  }
}

}  // namespace corva
