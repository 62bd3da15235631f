// Dates of the engine: parsing the text forms the dialect accepts, the canonical text dates are
// stored as ("YYYY-MM-DD HH:MM:SS.fff", which sorts and compares as text), and the calendar
// arithmetic of DATEADD, DATEDIFF and DATEPART.
#ifndef CORVA_TSQL_DATE_TIME_H_
#define CORVA_TSQL_DATE_TIME_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace corva::tsql {

// How a date type keeps time: datetime in ticks of 1/300 s (shown .000, .003, .007),
// smalldatetime to the minute, date without time; other types (datetime2, time) to the ms.
enum class DateKind { kDateTime, kSmallDateTime, kDate, kOther };
DateKind DateKindOf(std::string_view type_name);

// A point in time as days since 1970-01-01 plus milliseconds into the day.
struct DateTime {
  int64_t day = 0;
  int64_t ms = 0;

  static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                            int64_t ms_of_minute = 0);
  void ToParts(int* year, int* month, int* day_of_month) const;
  // "YYYY-MM-DD HH:MM:SS.fff", the time first rounded as `kind` keeps it.
  std::string Canonical(DateKind kind = DateKind::kOther) const;
  DateTime RoundedTo(DateKind kind) const;
  // Days since 1899-12-30 with the time as fraction (the host's date serial).
  double Serial() const;
  static DateTime FromSerial(double serial);
  // FromSerial for a number that may be anything: false when it is not finite or its date lies
  // outside SQL Server's datetime range (its conversion would overflow).
  static bool FromSerialInRange(double serial, DateTime* out);
  // Days since 1900-01-01 (SQL Server's number for a datetime converted to a number).
  double SqlNumber() const;
  static DateTime Now();
};

// True when `d` lies within SQL Server's datetime range, 1753-01-01 to 9999-12-31 23:59:59.999.
bool InDatetimeRange(const DateTime& d);

// Parses "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" (also with "/" or "." separators or a "T"), "YYYYMMDD",
// "M/D/YYYY", us_english forms with a month name ("May 10 2026", "10 May 2026", "May 10, 2026",
// "2026 May 10", full or three-letter names), each with an optional time, and a bare time (on
// 1900-01-01). Surrounding blanks are ignored.
bool ParseDateTime(std::string_view text, DateTime* out);

// DATEADD/DATEDIFF/DATEPART part names ("day", "dd", "d", "month", "mm", ...). Returns -1 for an
// unknown name.
enum class DatePart {
  kYear,
  kQuarter,
  kMonth,
  kDayOfYear,
  kDay,
  kWeek,
  kWeekday,
  kHour,
  kMinute,
  kSecond,
  kMillisecond
};
int ParseDatePart(std::string_view name);

DateTime DateAdd(DatePart part, int64_t n, const DateTime& d);
// Boundaries of `part` crossed from a to b (SQL Server's DATEDIFF).
int64_t DateDiff(DatePart part, const DateTime& a, const DateTime& b);
int64_t DatePartOf(DatePart part, const DateTime& d);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_DATE_TIME_H_
