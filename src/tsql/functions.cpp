// SQL functions that give SQLite SQL Server's behaviour where no native construct is exact:
// division with error 8134, "+" on values whose types are only known at run time, conversions with
// SQL Server's errors, date arithmetic on canonical date text, text functions that ignore case.
// Errors travel as EncodeError text and become corva::Error in the executor.
#include "tsql/functions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "corva/error.h"
#include "tsql/date_time.h"
#include "tsql/functions_internal.h"
#include "tsql/value.h"

namespace corva::tsql {
namespace sqlfn {

Value ArgValue(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return Value::Int(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return Value::Real(sqlite3_value_double(v));
    case SQLITE_NULL:
      return Value::Null();
    default: {
      const unsigned char* t = sqlite3_value_text(v);
      return Value::Text(std::string(reinterpret_cast<const char*>(t),
                                     static_cast<size_t>(sqlite3_value_bytes(v))));
    }
  }
}

void Result(sqlite3_context* ctx, const Value& v) {
  switch (v.kind) {
    case Value::Kind::kInt:
      sqlite3_result_int64(ctx, v.i);
      break;
    case Value::Kind::kReal:
      sqlite3_result_double(ctx, v.d);
      break;
    case Value::Kind::kText:
      sqlite3_result_text(ctx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
    case Value::Kind::kDecimal: {
      std::string text = v.m.ToFixed();
      sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      break;
    }
    default:
      sqlite3_result_null(ctx);
      break;
  }
}

void Fail(sqlite3_context* ctx, int number, const std::string& message) {
  std::string e = EncodeError(number, message);
  sqlite3_result_error(ctx, e.c_str(), static_cast<int>(e.size()));
}

std::string_view TextArg(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  if (!t) return {};
  return std::string_view(reinterpret_cast<const char*>(t),
                          static_cast<size_t>(sqlite3_value_bytes(v)));
}

}  // namespace sqlfn

namespace {

using sqlfn::ArgValue;
using sqlfn::Fail;
using sqlfn::Result;
using sqlfn::TextArg;

// Runs `body`, turning a corva::Error thrown by a conversion into an SQL function error.
template <typename F>
void Guard(sqlite3_context* ctx, F body) {
  try {
    body();
  } catch (const corva::Error& e) {
    Fail(ctx, e.Number(), e.Description());
  }
}

// A number from a value; text converts as SQL Server converts it to `type` or fails.
bool ToNumber(sqlite3_context* ctx, sqlite3_value* v, const SqlType& type, Value* out) {
  Value in = ArgValue(v);
  if (in.kind != Value::Kind::kText) {
    *out = in;
    return true;
  }
  double d;
  int64_t i;
  bool is_int;
  if (!ParseNumber(in.s, &d, &i, &is_int) || (type.kind == TypeKind::kInt && !is_int)) {
    try {
      ThrowConversion(in.s, type);
    } catch (const corva::Error& e) {
      Fail(ctx, e.Number(), e.Description());
    }
    return false;
  }
  *out = is_int ? Value::Int(i) : Value::Real(d);
  return true;
}

bool ToDate(sqlite3_value* v, DateTime* out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:  // no date when out of range (NaN, 1e300): the caller's error follows
      return DateTime::FromSerialInRange(sqlite3_value_double(v) + 2, out);
    case SQLITE_NULL:
      return false;
    default:
      return ParseDateTime(TextArg(v), out);
  }
}

void DivFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Value a, b;
  if (!ToNumber(ctx, argv[0], SqlType::Of(TypeKind::kReal), &a)) return;
  if (!ToNumber(ctx, argv[1], SqlType::Of(TypeKind::kReal), &b)) return;
  if (a.IsNull() || b.IsNull()) return sqlite3_result_null(ctx);
  if (a.kind == Value::Kind::kInt && b.kind == Value::Kind::kInt) {
    if (b.i == 0) return Fail(ctx, 8134, "Divide by zero error encountered.");
    return sqlite3_result_int64(ctx, a.i / b.i);
  }
  double x = a.kind == Value::Kind::kInt ? static_cast<double>(a.i) : a.d;
  double y = b.kind == Value::Kind::kInt ? static_cast<double>(b.i) : b.d;
  if (y == 0) return Fail(ctx, 8134, "Divide by zero error encountered.");
  sqlite3_result_double(ctx, x / y);
}

void ModFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Value a, b;
  if (!ToNumber(ctx, argv[0], SqlType::Of(TypeKind::kReal), &a)) return;
  if (!ToNumber(ctx, argv[1], SqlType::Of(TypeKind::kReal), &b)) return;
  if (a.IsNull() || b.IsNull()) return sqlite3_result_null(ctx);
  if (a.kind == Value::Kind::kInt && b.kind == Value::Kind::kInt) {
    if (b.i == 0) return Fail(ctx, 8134, "Divide by zero error encountered.");
    return sqlite3_result_int64(ctx, a.i % b.i);
  }
  double x = a.kind == Value::Kind::kInt ? static_cast<double>(a.i) : a.d;
  double y = b.kind == Value::Kind::kInt ? static_cast<double>(b.i) : b.d;
  if (y == 0) return Fail(ctx, 8134, "Divide by zero error encountered.");
  sqlite3_result_double(ctx, std::fmod(x, y));
}

// "+" when a type is only known now: text + text concatenates, otherwise numbers add.
void AddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
  if (ta == SQLITE_NULL || tb == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (ta == SQLITE_TEXT && tb == SQLITE_TEXT) {
    std::string r(TextArg(argv[0]));
    r += TextArg(argv[1]);
    return sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
  }
  SqlType target =
      (ta == SQLITE_INTEGER || tb == SQLITE_INTEGER) && ta != SQLITE_FLOAT && tb != SQLITE_FLOAT
          ? SqlType::Of(TypeKind::kInt)
          : SqlType::Of(TypeKind::kReal);
  Value a, b;
  if (!ToNumber(ctx, argv[0], target, &a) || !ToNumber(ctx, argv[1], target, &b)) return;
  if (a.kind == Value::Kind::kInt && b.kind == Value::Kind::kInt)
    return sqlite3_result_int64(ctx, a.i + b.i);
  double x = a.kind == Value::Kind::kInt ? static_cast<double>(a.i) : a.d;
  double y = b.kind == Value::Kind::kInt ? static_cast<double>(b.i) : b.d;
  sqlite3_result_double(ctx, x + y);
}

// tsql_num(x, 'int'|'numeric'): text to a number as SQL Server converts it.
void NumFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  SqlType t = SqlType::FromName(TextArg(argv[1]));
  Value v;
  if (!ToNumber(ctx, argv[0], t, &v)) return;
  Result(ctx, v);
}

// tsql_cast(x, type [, scale])
void CastFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guard(ctx, [&] {
    SqlType t = SqlType::FromName(TextArg(argv[1]), argc > 2 ? sqlite3_value_int(argv[2]) : 0);
    Result(ctx, ConvertTo(ArgValue(argv[0]), t));
  });
}

// tsql_date(x [, date_only]): the canonical text of a date.
void DateFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  DateTime d;
  if (!ToDate(argv[0], &d)) {
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
      return Fail(ctx, 8115,
                  "Arithmetic overflow error converting expression to data type datetime.");
    }
    return Fail(ctx, 241,
                "Conversion failed when converting date and/or time from character string.");
  }
  const DateKind kind =
      argc > 1 ? static_cast<DateKind>(sqlite3_value_int(argv[1])) : DateKind::kOther;
  if (kind != DateKind::kDate && !InDatetimeRange(d)) {  // date reaches back to year 1
    return Fail(ctx, 242,
                "The conversion of a varchar data type to a datetime data type resulted in an "
                "out-of-range value.");
  }
  std::string s = d.Canonical(kind);
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// tsql_datenum(d): a date as SQL Server's number of days since 1900-01-01.
void DateNumFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  DateTime d;
  if (!ToDate(argv[0], &d))
    return Fail(ctx, 241,
                "Conversion failed when converting date and/or time from character string.");
  sqlite3_result_double(ctx, d.SqlNumber());
}

const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// tsql_totext(x, kind, style, length): CONVERT/CAST to varchar.
void ToTextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string_view kind = TextArg(argv[1]);
  int style = sqlite3_value_int(argv[2]);
  int length = sqlite3_value_int(argv[3]);
  std::string out;
  DateTime d;
  if (kind == "date" && ToDate(argv[0], &d)) {
    int y, m, dd;
    d.ToParts(&y, &m, &dd);
    int h = static_cast<int>(d.ms / 3600000), mi = static_cast<int>(d.ms / 60000 % 60);
    int s = static_cast<int>(d.ms / 1000 % 60), ms = static_cast<int>(d.ms % 1000);
    char buf[64];
    switch (style) {
      case 120:
      case 20:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, dd, h, mi, s);
        break;
      case 121:
      case 21:
      case 126:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, dd, h, mi, s,
                      ms);
        if (style == 126) buf[10] = 'T';
        break;
      case 23:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, dd);
        break;
      case 112:
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, dd);
        break;
      case 111:
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, m, dd);
        break;
      case 102:
        std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", y, m, dd);
        break;
      case 101:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", m, dd, y);
        break;
      case 103:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", dd, m, y);
        break;
      case 108:
      case 8:
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s);
        break;
      default: {
        int h12 = h % 12 == 0 ? 12 : h % 12;
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMonths[m - 1], dd, y, h12, mi,
                      h < 12 ? "AM" : "PM");
        break;
      }
    }
    out = buf;
  } else if (kind.substr(0, 7) == "decimal" && sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
    int scale = std::atoi(std::string(kind.substr(7)).c_str());
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", scale, sqlite3_value_double(argv[0]));
    out = buf;
  } else {
    Value v = ArgValue(argv[0]);
    out = v.ToText();
  }
  if (length > 0 && static_cast<int>(out.size()) > length) out.resize(static_cast<size_t>(length));
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

bool PartArg(sqlite3_context* ctx, sqlite3_value* v, DatePart* part) {
  int p = ParseDatePart(TextArg(v));
  if (p < 0) {
    Fail(ctx, 155, "'" + std::string(TextArg(v)) + "' is not a recognized datepart option.");
    return false;
  }
  *part = static_cast<DatePart>(p);
  return true;
}

void DateAddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  DatePart part;
  if (!PartArg(ctx, argv[0], &part)) return;
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  DateTime d;
  if (!ToDate(argv[2], &d))
    return Fail(ctx, 241,
                "Conversion failed when converting date and/or time from character string.");
  Value n;
  if (!ToNumber(ctx, argv[1], SqlType::Of(TypeKind::kInt), &n)) return;
  // SQL Server's count is an int; within it no part's arithmetic overflows.
  if (n.kind == Value::Kind::kInt ? (n.i < INT32_MIN || n.i > INT32_MAX)
                                  : !(n.d > INT32_MIN - 1.0 && n.d < INT32_MAX + 1.0)) {
    return Fail(ctx, 8115, "Arithmetic overflow error converting expression to data type int.");
  }
  int64_t count = n.kind == Value::Kind::kInt ? n.i : static_cast<int64_t>(std::trunc(n.d));
  DateTime sum = DateAdd(part, count, d);
  if (!InDatetimeRange(sum)) {
    return Fail(ctx, 517, "Adding a value to a 'datetime' column caused an overflow.");
  }
  std::string s = sum.Canonical();
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void DateDiffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  DatePart part;
  if (!PartArg(ctx, argv[0], &part)) return;
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  DateTime a, b;
  if (!ToDate(argv[1], &a) || !ToDate(argv[2], &b))
    return Fail(ctx, 241,
                "Conversion failed when converting date and/or time from character string.");
  sqlite3_result_int64(ctx, DateDiff(part, a, b));
}

void DatePartFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  DatePart part;
  if (!PartArg(ctx, argv[0], &part)) return;
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  DateTime d;
  if (!ToDate(argv[1], &d))
    return Fail(ctx, 241,
                "Conversion failed when converting date and/or time from character string.");
  sqlite3_result_int64(ctx, DatePartOf(part, d));
}

void DateNameFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  static const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                      "May",       "June",     "July",     "August",
                                      "September", "October",  "November", "December"};
  static const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                "Thursday", "Friday", "Saturday"};
  DatePart part;
  if (!PartArg(ctx, argv[0], &part)) return;
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  DateTime d;
  if (!ToDate(argv[1], &d))
    return Fail(ctx, 241,
                "Conversion failed when converting date and/or time from character string.");
  int64_t v = DatePartOf(part, d);
  std::string s = part == DatePart::kMonth     ? kMonthNames[v - 1]
                  : part == DatePart::kWeekday ? kDays[v - 1]
                                               : std::to_string(v);
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void NewIdFn(sqlite3_context* ctx, int, sqlite3_value**) {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  uint64_t a = rng(), b = rng();
  a = (a & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
  b = (b & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                static_cast<unsigned>(b >> 48),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  sqlite3_result_text(ctx, buf, 36, SQLITE_TRANSIENT);
}

void RoundFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  int n = sqlite3_value_int(argv[1]);
  bool truncate = argc > 2 && sqlite3_value_int(argv[2]) != 0;
  bool is_int = sqlite3_value_type(argv[0]) == SQLITE_INTEGER;
  double x = sqlite3_value_double(argv[0]);
  double p = std::pow(10.0, n);
  double scaled = x * p;
  if (!truncate) scaled += (scaled >= 0 ? 1 : -1) * std::fabs(scaled) * 1e-13;
  double r = (truncate ? std::trunc(scaled) : std::round(scaled)) / p;
  if (is_int) return sqlite3_result_int64(ctx, static_cast<int64_t>(r));
  sqlite3_result_double(ctx, r);
}

// LIKE with SQL Server's [set] and [^set] classes, without regard to case.
void ObjectIdFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  auto* c = static_cast<FunctionContext*>(sqlite3_user_data(ctx));
  int64_t id = c && c->object_id ? c->object_id(TextArg(argv[0])) : 0;
  if (id == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, id);
}

void IsNumericFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_int(ctx, 1);
  if (t == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
  std::string_view s = TextArg(argv[0]);
  double d;
  int64_t i;
  bool is_int;
  bool blank = s.find_first_not_of(" \t") == std::string_view::npos;
  sqlite3_result_int(ctx, !blank && ParseNumber(s, &d, &i, &is_int) ? 1 : 0);
}

void IsDateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_int(ctx, 0);
  DateTime d;
  std::string_view s = TextArg(argv[0]);
  sqlite3_result_int(ctx, !s.empty() && ParseDateTime(s, &d) ? 1 : 0);
}

struct ScalarAgg {
  int64_t rows;
  sqlite3_value* first;
};

void ScalarStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* a = static_cast<ScalarAgg*>(sqlite3_aggregate_context(ctx, sizeof(ScalarAgg)));
  if (!a) return;
  if (a->rows++ == 0) a->first = sqlite3_value_dup(argv[0]);
}

void ScalarFinal(sqlite3_context* ctx) {
  auto* a = static_cast<ScalarAgg*>(sqlite3_aggregate_context(ctx, 0));
  if (!a || a->rows == 0) return sqlite3_result_null(ctx);
  if (a->rows > 1) {
    sqlite3_value_free(a->first);
    return Fail(ctx, 512,
                "Subquery returned more than 1 value. This is not permitted when the subquery "
                "follows =, !=, <, <= , >, >= or when the subquery is used as an expression.");
  }
  sqlite3_result_value(ctx, a->first);
  sqlite3_value_free(a->first);
}

int CollateTsql(void*, int la, const void* a, int lb, const void* b) {
  return CompareText(std::string_view(static_cast<const char*>(a), static_cast<size_t>(la)),
                     std::string_view(static_cast<const char*>(b), static_cast<size_t>(lb)));
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
  while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x < 0x80) x = static_cast<unsigned char>(std::tolower(x));
    if (y < 0x80) y = static_cast<unsigned char>(std::tolower(y));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void RegisterFunctions(sqlite3* db, FunctionContext* context) {
  sqlite3_create_collation(db, "TSQL", SQLITE_UTF8, nullptr, CollateTsql);
  struct Fn {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
  };
  static const Fn kFns[] = {
      {"tsql_div", 2, DivFn, true},           {"tsql_mod", 2, ModFn, true},
      {"tsql_add", 2, AddFn, true},           {"tsql_num", 2, NumFn, true},
      {"tsql_cast", 2, CastFn, true},         {"tsql_cast", 3, CastFn, true},
      {"tsql_date", 1, DateFn, true},         {"tsql_date", 2, DateFn, true},
      {"tsql_datenum", 1, DateNumFn, true},   {"tsql_totext", 4, ToTextFn, true},
      {"tsql_dateadd", 3, DateAddFn, true},   {"tsql_datediff", 3, DateDiffFn, true},
      {"tsql_datepart", 2, DatePartFn, true}, {"tsql_datename", 2, DateNameFn, true},
      {"tsql_newid", 0, NewIdFn, false},      {"tsql_round", 2, RoundFn, true},
      {"tsql_round", 3, RoundFn, true},       {"tsql_isnumeric", 1, IsNumericFn, true},
      {"tsql_isdate", 1, IsDateFn, true},
  };
  for (const Fn& f : kFns)
    sqlite3_create_function_v2(db, f.name, f.argc,
                               SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0), nullptr,
                               f.fn, nullptr, nullptr, nullptr);
  RegisterTextFunctions(db);
  RegisterDecimalFunctions(db);
  sqlite3_create_function_v2(db, "tsql_scalar", 1, SQLITE_UTF8, nullptr, nullptr, ScalarStep,
                             ScalarFinal, nullptr);
  sqlite3_create_function_v2(db, "tsql_object_id", 1, SQLITE_UTF8, context, ObjectIdFn, nullptr,
                             nullptr, nullptr);
}

}  // namespace corva::tsql
