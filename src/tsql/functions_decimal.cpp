// Exact numbers inside SQLite. Decimals travel as their fixed text ("700.0000000000"); these
// functions compute on them with corva::Decimal and hand back fixed text at the result's scale
// (the translator passes the precision and scale SQL Server gives the result), and the collation
// TSQLDEC orders such texts by value. Integer arithmetic is checked against its type's range:
// SQL Server stops with 8115 where SQLite would silently widen.
#include <cstring>
#include <string>

#include "corva/error.h"
#include "tsql/functions.h"
#include "tsql/functions_internal.h"
#include "tsql/quick_decimal.h"

namespace corva::tsql {
namespace {

using corva::Decimal;
using sqlfn::ArgValue;
using sqlfn::Fail;
using sqlfn::TextArg;

constexpr const char* kDivideByZero = "Divide by zero error encountered.";

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The decimal of an argument; false (with the error set) for text that is not a number.
bool DecimalArg(sqlite3_context* ctx, sqlite3_value* v, Decimal* out) {
  Value x = ArgValue(v);
  if (x.ToDecimal(out)) return true;
  Fail(ctx, 8114, "Error converting data type varchar to numeric.");
  return false;
}

// Sends `d` back as decimal(p, s): rounded to s (truncated for a division), 8115 beyond p.
void ResultDecimal(sqlite3_context* ctx, const Decimal& d, int p, int s,
                   Decimal::Rounding mode = Decimal::Rounding::kHalfAwayFromZero) {
  Decimal r;
  if (!d.Rescale(s, mode, &r) || !r.FitsPrecision(p))
    return Fail(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
  ResultText(ctx, r.ToFixed());
}

void ResultQuick(sqlite3_context* ctx, const QuickDecimal& d) {
  char text[kQuickTextSize];
  sqlite3_result_text(ctx, text, static_cast<int>(PrintQuick(d, text)), SQLITE_TRANSIENT);
}

void OverflowNumeric(sqlite3_context* ctx) {
  Fail(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
}

enum class Op { kAdd, kSubtract, kMultiply, kDivide, kModulo };

// tsql_dadd|dsub|dmul|ddiv|dmod(a, b, p, s): a op b as decimal(p, s).
void DecimalArithFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  int p = sqlite3_value_int(argv[2]), s = sqlite3_value_int(argv[3]);
  auto op = static_cast<Op>(reinterpret_cast<intptr_t>(sqlite3_user_data(ctx)));
  QuickDecimal qa, qb, qr;
  if (op != Op::kDivide && op != Op::kModulo && ReadQuick(argv[0], &qa) &&
      ReadQuick(argv[1], &qb)) {
    if (op == Op::kSubtract) qb.units = -qb.units;
    bool ok = op == Op::kMultiply ? MultiplyQuick(qa, qb, s, &qr) : AddQuick(qa, qb, &qr);
    if (ok && RescaleQuick(qr, s, false, &qr) && FitsQuick(qr, p)) return ResultQuick(ctx, qr);
  }
  Decimal a, b, r;
  if (!DecimalArg(ctx, argv[0], &a) || !DecimalArg(ctx, argv[1], &b)) return;
  bool ok = true;
  switch (op) {
    case Op::kAdd:
      ok = Decimal::Add(a, b, &r);
      break;
    case Op::kSubtract:
      ok = Decimal::Subtract(a, b, &r);
      break;
    case Op::kMultiply:
      ok = Decimal::Multiply(a, b, s, &r);
      break;
    case Op::kDivide:
      if (b.IsZero()) return Fail(ctx, 8134, kDivideByZero);
      ok = Decimal::Divide(a, b, s, Decimal::Rounding::kTruncate, &r);
      break;
    case Op::kModulo:
      if (b.IsZero()) return Fail(ctx, 8134, kDivideByZero);
      ok = Decimal::Remainder(a, b, &r);
      break;
  }
  if (!ok) return OverflowNumeric(ctx);
  ResultDecimal(
      ctx, r, p, s,
      op == Op::kDivide ? Decimal::Rounding::kTruncate : Decimal::Rounding::kHalfAwayFromZero);
}

// The integer type of a rank (see SqlType::IntRank).
SqlType IntType(int rank) {
  static const char* kNames[] = {"int", "bit", "tinyint", "smallint", "int", "bigint"};
  return SqlType::FromName(kNames[rank < 1 || rank > 5 ? 4 : rank]);
}

void IntResult(sqlite3_context* ctx, __int128 v, int rank) {
  SqlType t = IntType(rank);
  if (v > INT64_MAX || v < INT64_MIN || !IntFits(static_cast<int64_t>(v), t)) {
    std::string name = t.MessageName();
    if (rank == 2 || rank == 3)
      return Fail(ctx, 8115,
                  "Arithmetic overflow error for data type " + name +
                      ", value = " + std::to_string(static_cast<long long>(v)) + ".");
    return Fail(ctx, 8115,
                "Arithmetic overflow error converting expression to data type " + name + ".");
  }
  sqlite3_result_int64(ctx, static_cast<int64_t>(v));
}

// tsql_iadd|isub|imul(a, b, rank): integer arithmetic checked against the result type's range.
void IntArithFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  __int128 a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
  auto op = static_cast<Op>(reinterpret_cast<intptr_t>(sqlite3_user_data(ctx)));
  __int128 r = op == Op::kAdd ? a + b : op == Op::kSubtract ? a - b : a * b;
  IntResult(ctx, r, sqlite3_value_int(argv[2]));
}

// tsql_todec(x, p, s): x converted to decimal(p, s) (s < 0: x's own scale), as CAST does.
void ToDecimalFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int p = sqlite3_value_int(argv[1]), s = sqlite3_value_int(argv[2]);
  QuickDecimal x;
  if (s >= 0 && ReadQuick(argv[0], &x) && RescaleQuick(x, s, false, &x) &&
      (p <= 0 || FitsQuick(x, p)))
    return ResultQuick(ctx, x);
  SqlType t = SqlType::Numeric(p, s);
  try {
    Value v = ConvertTo(ArgValue(argv[0]), t);
    ResultText(ctx, v.m.ToFixed());
  } catch (const corva::Error& e) {
    Fail(ctx, e.Number(), e.Description());
  }
}

// tsql_toint(x, rank [, decimal]): x converted to an integer type: truncated, 8115 out of its
// range. With `decimal` x is a decimal's text (1.9 becomes 1; the varchar '1.9' is error 245).
void ToIntFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  try {
    Value v = ArgValue(argv[0]);
    Decimal d;
    if (argc > 2 && sqlite3_value_int(argv[2]) && v.ToDecimal(&d)) v = Value::Dec(d);
    sqlite3_result_int64(ctx, ConvertTo(v, IntType(sqlite3_value_int(argv[1]))).i);
  } catch (const corva::Error& e) {
    Fail(ctx, e.Number(), e.Description());
  }
}

// tsql_key(x, column, table, verb): a value stored into an int key that is SQLite's rowid, already
// converted to int. SQLite would number a NULL there; SQL Server refuses it (515).
void KeyFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
  Fail(ctx, 515,
       "Cannot insert the value NULL into column '" + std::string(TextArg(argv[1])) + "', table '" +
           std::string(TextArg(argv[2])) + "'; column does not allow nulls. " +
           std::string(TextArg(argv[3])) + " fails.");
}

// tsql_fit(x, length, fixed, ansi_warnings): text stored into char(n)/varchar(n): 8152 when
// more than blanks would be cut (unless ANSI_WARNINGS is off), padded to n when fixed.
void FitFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  SqlType t = SqlType::FromName(sqlite3_value_int(argv[2]) ? "char" : "varchar",
                                sqlite3_value_int(argv[1]));
  try {
    Value v = StoreInto(ArgValue(argv[0]), t, sqlite3_value_int(argv[3]) != 0);
    ResultText(ctx, v.s);
  } catch (const corva::Error& e) {
    Fail(ctx, e.Number(), e.Description());
  }
}

// tsql_numtext(x, length, target, exact): a number converted to char(n)/varchar(n) (`target`
// names which). A number too long for n is never cut, which would change its value: an integer
// becomes "*", an exact decimal stops the statement with 8115.
void NumTextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string text = ArgValue(argv[0]).ToText();
  const int length = sqlite3_value_int(argv[1]);
  if (static_cast<int>(text.size()) > length) {
    if (sqlite3_value_int(argv[3])) {
      const char* target = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
      return Fail(ctx, 8115,
                  std::string("Arithmetic overflow error converting numeric to data type ") +
                      (target ? target : "varchar") + ".");
    }
    text = "*";
  }
  ResultText(ctx, text);
}

// tsql_dround(x, n, truncate, s): ROUND of a decimal, kept at its scale s.
void RoundFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  Decimal x, r;
  if (!DecimalArg(ctx, argv[0], &x)) return;
  int n = sqlite3_value_int(argv[1]);
  bool truncate = sqlite3_value_int(argv[2]) != 0;
  int s = sqlite3_value_int(argv[3]);
  auto mode = truncate ? Decimal::Rounding::kTruncate : Decimal::Rounding::kHalfAwayFromZero;
  if (n >= x.scale()) {
    r = x;
  } else if (n >= 0) {
    if (!x.Rescale(n, mode, &r)) return OverflowNumeric(ctx);
  } else {
    // Negative n rounds to tens, hundreds, ...: divide, round, multiply back.
    Decimal unit;
    Decimal::Parse("1" + std::string(static_cast<size_t>(-n), '0'), &unit);
    Decimal q;
    if (!Decimal::Divide(x, unit, 0, mode, &q) || !Decimal::Multiply(q, unit, 0, &r))
      return OverflowNumeric(ctx);
  }
  Decimal out;
  if (!r.Rescale(s, Decimal::Rounding::kHalfAwayFromZero, &out)) return OverflowNumeric(ctx);
  ResultText(ctx, out.ToFixed());
}

// tsql_dunary(x, what, s): ABS, FLOOR, CEILING, SIGN of a decimal at result scale s.
void UnaryFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Decimal x, r;
  if (!DecimalArg(ctx, argv[0], &x)) return;
  std::string_view what = TextArg(argv[1]);
  int s = sqlite3_value_int(argv[2]);
  if (what == "abs") {
    r = x.Sign() < 0 ? -x : x;
  } else if (what == "sign") {
    r = Decimal::FromInt64(x.Sign());
  } else {
    Decimal whole;
    x.Rescale(0, Decimal::Rounding::kTruncate, &whole);
    if (whole != x && (what == "floor") == (x.Sign() < 0))
      whole = whole + Decimal::FromInt64(what == "floor" ? -1 : 1);
    r = whole;
  }
  Decimal out;
  if (!r.Rescale(s, Decimal::Rounding::kHalfAwayFromZero, &out)) return OverflowNumeric(ctx);
  ResultText(ctx, out.ToFixed());
}

// Aggregates: tsql_dsum(x) and tsql_davg(x) over decimal texts, which all have the scale s of
// their type (one argument, so that DISTINCT may be used): SUM keeps s, AVG divides to max(s, 6),
// truncating; tsql_isum(x) (int) and tsql_isum_big(x) (bigint) over integers, checked against
// the result type.
struct SumState {
  bool any;
  bool failed;
  int scale;
  int rank;
  int64_t count;
  // sqlite3_aggregate_context promises 8-byte alignment only, too little for an __int128 member:
  // the running integer sum is kept as bytes and copied in and out.
  unsigned char int_sum_bytes[sizeof(__int128)];
  Decimal* sum;  // allocated on the first row

  __int128 IntSum() const {
    __int128 v;
    std::memcpy(&v, int_sum_bytes, sizeof v);
    return v;
  }
  void SetIntSum(__int128 v) { std::memcpy(int_sum_bytes, &v, sizeof v); }
};

void DecimalStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* st = static_cast<SumState*>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
  if (!st || st->failed || sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  Decimal x;
  QuickDecimal q;
  if (!(ReadQuick(argv[0], &q) && ToDecimal(q, &x)) && !DecimalArg(ctx, argv[0], &x)) {
    st->failed = true;
    return;
  }
  if (!st->sum) st->sum = new Decimal();
  if (x.scale() > st->scale) st->scale = x.scale();
  if (!Decimal::Add(*st->sum, x, st->sum)) {
    st->failed = true;
    return OverflowNumeric(ctx);
  }
  st->any = true;
  ++st->count;
}

void DecimalFinal(sqlite3_context* ctx) {
  auto* st = static_cast<SumState*>(sqlite3_aggregate_context(ctx, 0));
  if (!st) return sqlite3_result_null(ctx);
  Decimal sum = st->sum ? *st->sum : Decimal();
  delete st->sum;
  st->sum = nullptr;
  if (st->failed) return;
  if (!st->any) return sqlite3_result_null(ctx);
  bool average = sqlite3_user_data(ctx) != nullptr;
  if (!average) return ResultDecimal(ctx, sum, Decimal::kMaxDigits, st->scale);
  Decimal avg;
  if (st->scale < 6) st->scale = 6;
  if (!Decimal::Divide(sum, Decimal::FromInt64(st->count), st->scale, Decimal::Rounding::kTruncate,
                       &avg))
    return OverflowNumeric(ctx);
  ResultDecimal(ctx, avg, Decimal::kMaxDigits, st->scale);
}

void IntSumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* st = static_cast<SumState*>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
  if (!st || sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  st->rank = sqlite3_user_data(ctx) ? 5 : 4;
  __int128 sum = st->IntSum() + sqlite3_value_int64(argv[0]);
  if (sum > INT64_MAX || sum < INT64_MIN) sum = INT64_MAX;  // sticks
  st->SetIntSum(sum);
  st->any = true;
}

void IntSumFinal(sqlite3_context* ctx) {
  auto* st = static_cast<SumState*>(sqlite3_aggregate_context(ctx, 0));
  if (!st || !st->any) return sqlite3_result_null(ctx);
  IntResult(ctx, st->IntSum(), st->rank);
}

// The collation of decimal columns: fixed texts by value ("1.50" = "1.5", "9" < "10"); text that
// is not a number sorts after every number, by its bytes.
int CollateDecimal(void*, int la, const void* a, int lb, const void* b) {
  std::string_view x(static_cast<const char*>(a), static_cast<size_t>(la));
  std::string_view y(static_cast<const char*>(b), static_cast<size_t>(lb));
  QuickDecimal qx, qy;
  int order;
  if (ParseQuick(x, &qx) && ParseQuick(y, &qy) && CompareQuick(qx, qy, &order)) return order;
  Decimal dx, dy;
  bool nx = Decimal::Parse(x, &dx), ny = Decimal::Parse(y, &dy);
  if (nx && ny) return dx.Compare(dy);
  if (nx != ny) return nx ? -1 : 1;
  return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

}  // namespace

void RegisterDecimalFunctions(sqlite3* db) {
  sqlite3_create_collation(db, "TSQLDEC", SQLITE_UTF8, nullptr, CollateDecimal);
  struct Fn {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    Op op;
  };
  static const Fn kFns[] = {
      {"tsql_dadd", 4, DecimalArithFn, Op::kAdd},
      {"tsql_dsub", 4, DecimalArithFn, Op::kSubtract},
      {"tsql_dmul", 4, DecimalArithFn, Op::kMultiply},
      {"tsql_ddiv", 4, DecimalArithFn, Op::kDivide},
      {"tsql_dmod", 4, DecimalArithFn, Op::kModulo},
      {"tsql_iadd", 3, IntArithFn, Op::kAdd},
      {"tsql_isub", 3, IntArithFn, Op::kSubtract},
      {"tsql_imul", 3, IntArithFn, Op::kMultiply},
      {"tsql_todec", 3, ToDecimalFn, Op::kAdd},
      {"tsql_toint", 2, ToIntFn, Op::kAdd},
      {"tsql_toint", 3, ToIntFn, Op::kAdd},
      {"tsql_fit", 4, FitFn, Op::kAdd},
      {"tsql_key", 4, KeyFn, Op::kAdd},
      {"tsql_numtext", 4, NumTextFn, Op::kAdd},
      {"tsql_dround", 4, RoundFn, Op::kAdd},
      {"tsql_dunary", 3, UnaryFn, Op::kAdd},
  };
  for (const Fn& f : kFns)
    sqlite3_create_function_v2(db, f.name, f.argc, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               reinterpret_cast<void*>(static_cast<intptr_t>(f.op)), f.fn, nullptr,
                               nullptr, nullptr);
  static int average = 1;
  sqlite3_create_function_v2(db, "tsql_dsum", 1, SQLITE_UTF8, nullptr, nullptr, DecimalStep,
                             DecimalFinal, nullptr);
  sqlite3_create_function_v2(db, "tsql_davg", 1, SQLITE_UTF8, &average, nullptr, DecimalStep,
                             DecimalFinal, nullptr);
  sqlite3_create_function_v2(db, "tsql_isum", 1, SQLITE_UTF8, nullptr, nullptr, IntSumStep,
                             IntSumFinal, nullptr);
  sqlite3_create_function_v2(db, "tsql_isum_big", 1, SQLITE_UTF8, &average, nullptr, IntSumStep,
                             IntSumFinal, nullptr);
}

}  // namespace corva::tsql
