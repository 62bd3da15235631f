// Calendar arithmetic of the engine's dates (proleptic Gregorian, days counted from 1970-01-01).
#include "tsql/date_time.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace corva::tsql {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// 1899-12-30 and 1900-01-01 as days since 1970-01-01.
constexpr int64_t kSerialEpoch = -25569;
constexpr int64_t kSqlEpoch = -25567;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yy + (*m <= 2));
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Reads up to `max` digits at *p; returns -1 when there is none.
int ReadNumber(std::string_view s, size_t* p, int max, int* digits = nullptr) {
  int v = 0, n = 0;
  while (*p < s.size() && n < max && std::isdigit(static_cast<unsigned char>(s[*p]))) {
    v = v * 10 + (s[*p] - '0');
    ++*p;
    ++n;
  }
  if (digits) *digits = n;
  return n == 0 ? -1 : v;
}

bool ParseTime(std::string_view s, size_t* p, int* h, int* mi, int64_t* ms) {
  *h = ReadNumber(s, p, 2);
  if (*h < 0 || *p >= s.size() || s[*p] != ':') return false;
  ++*p;
  *mi = ReadNumber(s, p, 2);
  if (*mi < 0) return false;
  int64_t sec = 0, frac = 0;
  if (*p < s.size() && s[*p] == ':') {
    ++*p;
    int sv = ReadNumber(s, p, 2);
    if (sv < 0) return false;
    sec = sv;
    if (*p < s.size() && s[*p] == '.') {
      ++*p;
      int digits = 0;
      int f = ReadNumber(s, p, 3, &digits);
      if (f < 0) return false;
      while (digits < 3) f *= 10, ++digits;
      frac = f;
      while (*p < s.size() && std::isdigit(static_cast<unsigned char>(s[*p]))) ++*p;
    }
  }
  while (*p < s.size() && s[*p] == ' ') ++*p;
  if (*p + 1 < s.size() + 1 && *p < s.size()) {
    // "AM"/"PM"
    if ((s[*p] == 'A' || s[*p] == 'a' || s[*p] == 'P' || s[*p] == 'p') && *p + 1 < s.size() &&
        (s[*p + 1] == 'M' || s[*p + 1] == 'm')) {
      bool pm = s[*p] == 'P' || s[*p] == 'p';
      if (*h == 12) *h = 0;
      if (pm) *h += 12;
      *p += 2;
    }
  }
  if (*h > 23 || *mi > 59 || sec > 59) return false;
  *ms = sec * 1000 + frac;
  return true;
}

// A month's name, full or its first three letters, without regard to case: 1..12, or 0.
int MonthOfName(std::string_view word) {
  static const char* kNames[] = {"january",   "february", "march",    "april",
                                 "may",       "june",     "july",     "august",
                                 "september", "october",  "november", "december"};
  if (word.size() < 3) return 0;
  std::string w;
  for (char c : word) w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (int i = 0; i < 12; ++i) {
    std::string_view n = kNames[i];
    if (w == n || (w.size() == 3 && n.substr(0, 3) == w)) return i + 1;
  }
  return 0;
}

// The us_english forms with a month name: "May 10 2026", "May 10, 2026", "10 May 2026",
// "2026 May 10" (the day may be left out: the 1st). Leaves *p after the year or day.
bool ParseNamedMonth(std::string_view s, size_t* p, int* y, int* m, int* d) {
  auto skip = [&] {
    while (*p < s.size() && (s[*p] == ' ' || s[*p] == ',')) ++*p;
  };
  auto word = [&]() -> int {
    size_t b = *p;
    while (*p < s.size() && std::isalpha(static_cast<unsigned char>(s[*p]))) ++*p;
    return MonthOfName(s.substr(b, *p - b));
  };
  int n1 = -1, n2 = -1, digits1 = 0, digits2 = 0;
  if (std::isalpha(static_cast<unsigned char>(s[*p]))) {  // Mon D[,] YYYY
    *m = word();
    skip();
    n1 = ReadNumber(s, p, 4, &digits1);
    skip();
    n2 = ReadNumber(s, p, 4, &digits2);
    if (n1 < 0) return false;
    if (n2 < 0) {  // "May 2026"
      *y = n1, *d = 1;
      return *m > 0 && digits1 == 4;
    }
    *d = n1, *y = n2;
    return *m > 0 && digits1 <= 2 && digits2 == 4;
  }
  n1 = ReadNumber(s, p, 4, &digits1);
  skip();
  *m = word();
  skip();
  n2 = ReadNumber(s, p, 4, &digits2);
  if (*m == 0 || n1 < 0) return false;
  if (digits1 == 4) {  // YYYY Mon [D]
    *y = n1, *d = n2 < 0 ? 1 : n2;
    return n2 < 0 || digits2 <= 2;
  }
  *d = n1, *y = n2;  // D Mon YYYY
  return digits1 <= 2 && digits2 == 4;
}

}  // namespace

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute,
                             int64_t ms_of_minute) {
  DateTime r;
  r.day = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  r.ms = (static_cast<int64_t>(hour) * 60 + minute) * 60000 + ms_of_minute;
  return r;
}

void DateTime::ToParts(int* year, int* month, int* day_of_month) const {
  CivilFromDays(day, year, month, day_of_month);
}

DateKind DateKindOf(std::string_view name) {
  if (name == "datetime") return DateKind::kDateTime;
  if (name == "smalldatetime") return DateKind::kSmallDateTime;
  if (name == "date") return DateKind::kDate;
  return DateKind::kOther;
}

DateTime DateTime::RoundedTo(DateKind kind) const {
  DateTime r = *this;
  switch (kind) {
    case DateKind::kDateTime:
      // Ticks of 1/300 second: .001 shows as .000, .002 as .003, .005 as .007.
      r.ms = ((r.ms * 3 + 5) / 10 * 10 + 1) / 3;
      break;
    case DateKind::kSmallDateTime:
      r.ms = (r.ms + 29999) / 60000 * 60000;
      break;
    case DateKind::kDate:
      r.ms = 0;
      break;
    case DateKind::kOther:
      break;
  }
  if (r.ms >= kMsPerDay) r.ms -= kMsPerDay, ++r.day;
  return r;
}

std::string DateTime::Canonical(DateKind kind) const {
  DateTime r = RoundedTo(kind);
  int64_t ms = r.ms;
  int y, m, d;
  r.ToParts(&y, &m, &d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d,
                static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  return buf;
}

double DateTime::Serial() const {
  return static_cast<double>(day - kSerialEpoch) + static_cast<double>(ms) / kMsPerDay;
}

DateTime DateTime::FromSerial(double serial) {
  DateTime r;
  double whole = std::floor(serial);
  r.day = static_cast<int64_t>(whole) + kSerialEpoch;
  r.ms = std::llround((serial - whole) * kMsPerDay);
  if (r.ms >= kMsPerDay) r.ms -= kMsPerDay, ++r.day;
  return r;
}

bool DateTime::FromSerialInRange(double serial, DateTime* out) {
  // Checked before converting: a double far outside int64's range does not convert.
  constexpr double kFirst = static_cast<double>(-79257 - kSerialEpoch);  // 1753-01-01
  constexpr double kEnd = static_cast<double>(2932897 - kSerialEpoch);   // 10000-01-01
  if (!(serial >= kFirst && serial < kEnd)) return false;
  *out = FromSerial(serial);
  return InDatetimeRange(*out);
}

bool InDatetimeRange(const DateTime& d) {
  static const int64_t first = DateTime::FromParts(1753, 1, 1).day;
  static const int64_t end = DateTime::FromParts(10000, 1, 1).day;
  return d.day >= first && d.day < end;
}

double DateTime::SqlNumber() const {
  return static_cast<double>(day - kSqlEpoch) + static_cast<double>(ms) / kMsPerDay;
}

DateTime DateTime::Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  int64_t ms_total = duration_cast<milliseconds>(now.time_since_epoch()).count();
  std::time_t t = static_cast<std::time_t>(ms_total / 1000);
  std::tm local{};
  localtime_r(&t, &local);
  return FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, static_cast<int64_t>(local.tm_sec) * 1000 + ms_total % 1000);
}

bool ParseDateTime(std::string_view s, DateTime* out) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (s.empty()) {
    *out = DateTime::FromParts(1900, 1, 1);
    return true;
  }
  size_t p = 0;
  int digits = 0;
  int y = 0, m = 0, d = 0, h = 0, mi = 0;
  int64_t ms = 0;
  size_t letter = s.find_first_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
  size_t colon = s.find(':');
  bool named = letter != std::string_view::npos &&
               (colon == std::string_view::npos || letter < colon) && s[letter] != 'T' &&
               s[letter] != 't';
  int first = named ? 0 : ReadNumber(s, &p, 8, &digits);
  if (first < 0) return false;
  if (named) {
    if (!ParseNamedMonth(s, &p, &y, &m, &d)) return false;
  } else if (digits == 8) {  // YYYYMMDD
    y = first / 10000, m = first / 100 % 100, d = first % 100;
  } else if (p < s.size() && s[p] == ':' && digits <= 2) {  // time only
    p = 0;
    if (!ParseTime(s, &p, &h, &mi, &ms) || p != s.size()) return false;
    *out = DateTime::FromParts(1900, 1, 1, h, mi, ms);
    return true;
  } else if (digits == 4 && p < s.size() && (s[p] == '-' || s[p] == '/' || s[p] == '.')) {
    char sep = s[p++];
    y = first;
    m = ReadNumber(s, &p, 2);
    if (m < 0 || p >= s.size() || s[p] != sep) return false;
    ++p;
    d = ReadNumber(s, &p, 2);
  } else if (digits <= 2 && p < s.size() && (s[p] == '/' || s[p] == '-' || s[p] == '.')) {
    char sep = s[p++];  // month/day/year
    m = first;
    d = ReadNumber(s, &p, 2);
    if (d < 0 || p >= s.size() || s[p] != sep) return false;
    ++p;
    int yd = 0;
    y = ReadNumber(s, &p, 4, &yd);
    if (yd == 2)
      y += y < 50 ? 2000 : 1900;
    else if (yd != 4)
      return false;
  } else {
    return false;
  }
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  if (p < s.size()) {
    if (s[p] != ' ' && s[p] != 'T' && s[p] != 't') return false;
    while (p < s.size() && (s[p] == ' ' || s[p] == 'T' || s[p] == 't')) ++p;
    if (p < s.size() && !ParseTime(s, &p, &h, &mi, &ms)) return false;
    if (p != s.size()) return false;
  }
  *out = DateTime::FromParts(y, m, d, h, mi, ms);
  return true;
}

int ParseDatePart(std::string_view raw) {
  std::string n;
  for (char c : raw) n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Name {
    const char* name;
    DatePart part;
  };
  static const Name kNames[] = {
      {"year", DatePart::kYear},       {"yy", DatePart::kYear},
      {"yyyy", DatePart::kYear},       {"quarter", DatePart::kQuarter},
      {"qq", DatePart::kQuarter},      {"q", DatePart::kQuarter},
      {"month", DatePart::kMonth},     {"mm", DatePart::kMonth},
      {"m", DatePart::kMonth},         {"dayofyear", DatePart::kDayOfYear},
      {"dy", DatePart::kDayOfYear},    {"y", DatePart::kDayOfYear},
      {"day", DatePart::kDay},         {"dd", DatePart::kDay},
      {"d", DatePart::kDay},           {"week", DatePart::kWeek},
      {"wk", DatePart::kWeek},         {"ww", DatePart::kWeek},
      {"weekday", DatePart::kWeekday}, {"dw", DatePart::kWeekday},
      {"w", DatePart::kWeekday},       {"hour", DatePart::kHour},
      {"hh", DatePart::kHour},         {"minute", DatePart::kMinute},
      {"mi", DatePart::kMinute},       {"n", DatePart::kMinute},
      {"second", DatePart::kSecond},   {"ss", DatePart::kSecond},
      {"s", DatePart::kSecond},        {"millisecond", DatePart::kMillisecond},
      {"ms", DatePart::kMillisecond},
  };
  for (const Name& e : kNames)
    if (n == e.name) return static_cast<int>(e.part);
  return -1;
}

namespace {

DateTime AddMonths(const DateTime& d, int64_t months) {
  int y, m, dd;
  d.ToParts(&y, &m, &dd);
  int64_t total = static_cast<int64_t>(y) * 12 + (m - 1) + months;
  int ny = static_cast<int>(FloorDiv(total, 12));
  int nm = static_cast<int>(total - static_cast<int64_t>(ny) * 12) + 1;
  if (dd > DaysInMonth(ny, nm)) dd = DaysInMonth(ny, nm);
  DateTime r = DateTime::FromParts(ny, nm, dd);
  r.ms = d.ms;
  return r;
}

DateTime AddMs(const DateTime& d, int64_t ms) {
  int64_t total = d.day * kMsPerDay + d.ms + ms;
  DateTime r;
  r.day = FloorDiv(total, kMsPerDay);
  r.ms = total - r.day * kMsPerDay;
  return r;
}

// 1970-01-04 was a Sunday, the first day of SQL Server's default week.
int64_t WeekIndex(int64_t day) { return FloorDiv(day - 3, 7); }

}  // namespace

DateTime DateAdd(DatePart part, int64_t n, const DateTime& d) {
  switch (part) {
    case DatePart::kYear:
      return AddMonths(d, n * 12);
    case DatePart::kQuarter:
      return AddMonths(d, n * 3);
    case DatePart::kMonth:
      return AddMonths(d, n);
    case DatePart::kWeek:
      return AddMs(d, n * 7 * kMsPerDay);
    case DatePart::kDayOfYear:
    case DatePart::kDay:
    case DatePart::kWeekday:
      return AddMs(d, n * kMsPerDay);
    case DatePart::kHour:
      return AddMs(d, n * 3600000);
    case DatePart::kMinute:
      return AddMs(d, n * 60000);
    case DatePart::kSecond:
      return AddMs(d, n * 1000);
    case DatePart::kMillisecond:
      return AddMs(d, n);
  }
  return d;
}

int64_t DateDiff(DatePart part, const DateTime& a, const DateTime& b) {
  int ya, ma, da, yb, mb, db;
  a.ToParts(&ya, &ma, &da);
  b.ToParts(&yb, &mb, &db);
  switch (part) {
    case DatePart::kYear:
      return yb - ya;
    case DatePart::kQuarter:
      return (yb * 4 + (mb - 1) / 3) - (ya * 4 + (ma - 1) / 3);
    case DatePart::kMonth:
      return (yb * 12 + mb) - (ya * 12 + ma);
    case DatePart::kDayOfYear:
    case DatePart::kDay:
    case DatePart::kWeekday:
      return b.day - a.day;
    case DatePart::kWeek:
      return WeekIndex(b.day) - WeekIndex(a.day);
    case DatePart::kHour:
      return (b.day * 24 + b.ms / 3600000) - (a.day * 24 + a.ms / 3600000);
    case DatePart::kMinute:
      return (b.day * 1440 + b.ms / 60000) - (a.day * 1440 + a.ms / 60000);
    case DatePart::kSecond:
      return (b.day * 86400 + b.ms / 1000) - (a.day * 86400 + a.ms / 1000);
    case DatePart::kMillisecond:
      return (b.day - a.day) * kMsPerDay + (b.ms - a.ms);
  }
  return 0;
}

int64_t DatePartOf(DatePart part, const DateTime& d) {
  int y, m, dd;
  d.ToParts(&y, &m, &dd);
  int64_t jan1 = DaysFromCivil(y, 1, 1);
  switch (part) {
    case DatePart::kYear:
      return y;
    case DatePart::kQuarter:
      return (m - 1) / 3 + 1;
    case DatePart::kMonth:
      return m;
    case DatePart::kDayOfYear:
      return d.day - jan1 + 1;
    case DatePart::kDay:
      return dd;
    case DatePart::kWeek:
      return WeekIndex(d.day) - WeekIndex(jan1) + 1;
    case DatePart::kWeekday:
      return d.day - 3 - WeekIndex(d.day) * 7 + 1;
    case DatePart::kHour:
      return d.ms / 3600000;
    case DatePart::kMinute:
      return d.ms / 60000 % 60;
    case DatePart::kSecond:
      return d.ms / 1000 % 60;
    case DatePart::kMillisecond:
      return d.ms % 1000;
  }
  return 0;
}

}  // namespace corva::tsql
