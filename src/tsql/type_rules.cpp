// The types of results as SQL Server gives them: arithmetic by data type precedence with the
// precision and scale rules of decimals, the branch type of CASE, COALESCE and UNION, and the type
// of a literal or parameter value.
#include "tsql/value.h"

namespace corva::tsql {
namespace {

constexpr int kMaxPrecision = corva::Decimal::kMaxDigits;

int Min(int a, int b) { return a < b ? a : b; }
int Max(int a, int b) { return a > b ? a : b; }

}  // namespace

SqlType AsDecimalType(const SqlType& t) {
  switch (t.IntRank()) {
    case 1:
      return SqlType::Numeric(1, 0);
    case 2:
      return SqlType::Numeric(3, 0);
    case 3:
      return SqlType::Numeric(5, 0);
    case 4:
      return SqlType::Numeric(10, 0);
    case 5:
      return SqlType::Numeric(19, 0);
    default:
      break;
  }
  if (t.kind == TypeKind::kDecimal) return SqlType::Numeric(t.precision, t.scale < 0 ? 0 : t.scale);
  return SqlType::Numeric(38, 10);
}

SqlType ArithmeticType(char op, const SqlType& a, const SqlType& b) {
  if (a.kind == TypeKind::kReal || b.kind == TypeKind::kReal) return SqlType::Of(TypeKind::kReal);
  bool da = a.kind == TypeKind::kDecimal, db = b.kind == TypeKind::kDecimal;
  if (!da && !db) {
    // Integers: the wider type (bit arithmetic counts as int).
    int rank = Max(Max(a.IntRank(), b.IntRank()), 2);
    if (a.kind == TypeKind::kNull && b.kind == TypeKind::kNull) rank = 4;
    static const char* kNames[] = {"int", "int", "tinyint", "smallint", "int", "bigint"};
    return SqlType::FromName(kNames[rank]);
  }
  // money with money or an integer stays money; with a decimal it counts as decimal(19,4).
  bool ma = a.IsMoney() || !da, mb = b.IsMoney() || !db;
  if (ma && mb && (a.IsMoney() || b.IsMoney()) && op != '%') {
    SqlType m = SqlType::FromName(a.IsMoney() ? a.name : b.name);
    if (a.name == "money" || b.name == "money") m = SqlType::FromName("money");
    return m;
  }
  SqlType x = AsDecimalType(a), y = AsDecimalType(b);
  if (a.kind == TypeKind::kNull) x = y;
  if (b.kind == TypeKind::kNull) y = x;
  int p1 = x.precision, s1 = x.scale, p2 = y.precision, s2 = y.scale;
  int p = 0, s = 0;
  switch (op) {
    case '+':
    case '-': {
      s = Max(s1, s2);
      int integral = Max(p1 - s1, p2 - s2);
      p = s + integral + 1;
      if (p > kMaxPrecision) {
        p = kMaxPrecision;
        s = Max(Min(s, kMaxPrecision - integral), 0);
      }
      return SqlType::Numeric(p, s);
    }
    case '*':
      p = p1 + p2 + 1;
      s = s1 + s2;
      break;
    case '/':
      s = Max(6, s1 + p2 + 1);
      p = p1 - s1 + s2 + s;
      break;
    default:  // %
      s = Max(s1, s2);
      p = Min(p1 - s1, p2 - s2) + s;
      return SqlType::Numeric(Min(p, kMaxPrecision), s);
  }
  if (p > kMaxPrecision) {
    // The integral part keeps its digits; the scale gives way, but not below 6 when it had more.
    int integral = p - s;
    if (integral < 32)
      s = Min(s, kMaxPrecision - integral);
    else if (s > 6)
      s = 6;
    p = kMaxPrecision;
  }
  return SqlType::Numeric(p, s);
}

namespace {

// Data type precedence, highest first: dates, float, decimal, money, integers, text.
int PrecedenceRank(const SqlType& t) {
  switch (t.kind) {
    case TypeKind::kDate:
      return 100;
    case TypeKind::kReal:
      return 90;
    case TypeKind::kDecimal:
      return t.name == "money" ? 70 : t.name == "smallmoney" ? 60 : 80;
    case TypeKind::kInt:
      return 40 + t.IntRank();
    case TypeKind::kText:
      return 10;
    case TypeKind::kUnknown:
      return 5;
    default:
      return 0;  // NULL
  }
}

}  // namespace

SqlType PrecedenceType(const SqlType& a, const SqlType& b) {
  int ra = PrecedenceRank(a), rb = PrecedenceRank(b);
  if (a.kind == TypeKind::kDecimal && b.kind == TypeKind::kDecimal && !a.IsMoney() &&
      !b.IsMoney()) {
    int s = Max(a.scale, b.scale);
    int integral = Max(a.precision - a.scale, b.precision - b.scale);
    return SqlType::Numeric(Min(s + integral, kMaxPrecision), s);
  }
  if (a.kind == TypeKind::kDecimal && !a.IsMoney() && b.kind == TypeKind::kInt)
    return PrecedenceType(a, AsDecimalType(b));
  if (b.kind == TypeKind::kDecimal && !b.IsMoney() && a.kind == TypeKind::kInt)
    return PrecedenceType(AsDecimalType(a), b);
  if (a.kind == TypeKind::kText && b.kind == TypeKind::kText) {
    SqlType t = a;
    t.length = a.length < 0 || b.length < 0 ? -1 : Max(a.length, b.length);
    if (a.name != b.name) t.name = (a.name[0] == 'n' || b.name[0] == 'n') ? "nvarchar" : "varchar";
    return t;
  }
  return ra >= rb ? a : b;
}

SqlType ValueType(const Value& v) {
  switch (v.kind) {
    case Value::Kind::kInt:
      return v.i >= INT32_MIN && v.i <= INT32_MAX ? SqlType::Of(TypeKind::kInt)
                                                  : SqlType::FromName("bigint");
    case Value::Kind::kReal:
      return SqlType::Of(TypeKind::kReal);
    case Value::Kind::kDecimal: {
      int s = v.m.scale();
      return SqlType::Numeric(Max(Max(v.m.IntegralDigits() + s, s), 1), s);
    }
    case Value::Kind::kText: {
      SqlType t = SqlType::FromName("varchar", -1);
      return t;
    }
    default:
      return SqlType::Of(TypeKind::kNull);
  }
}

}  // namespace corva::tsql
