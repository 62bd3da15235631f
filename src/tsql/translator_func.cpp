// Built-in functions of the dialect written as SQLite: native functions where they are exact
// (substr with SQL Server's bounds, length of the right-trimmed text, ifnull), the engine's own
// SQL functions elsewhere (date arithmetic, CHARINDEX and REPLACE without regard to case, decimal
// aggregates and rounding); and CAST/CONVERT between the dialect's types.
#include "corva/error.h"
#include "tsql/date_time.h"
#include "tsql/token.h"
#include "tsql/translator.h"

namespace corva::tsql {
namespace {

SqlType Int() { return SqlType::Of(TypeKind::kInt); }
SqlType Real() { return SqlType::Of(TypeKind::kReal); }
SqlType Text() { return SqlType::FromName("varchar", -1); }
SqlType Date() { return SqlType::Of(TypeKind::kDate); }
bool IsDecimal(const SqlType& t) { return t.kind == TypeKind::kDecimal; }
std::string Num(int v) { return std::to_string(v); }
// ", p, s)" closing a decimal function call for `t`.
std::string PrecisionScale(const SqlType& t) {
  return ", " + Num(t.precision) + ", " + Num(t.scale < 0 ? 0 : t.scale) + ")";
}

}  // namespace

SqlType Translator::Function(const tsql::Expr& e, const Scope& scope, std::string* out) {
  const std::string& f = e.name;
  const auto& args = e.args;
  auto need = [&](size_t lo, size_t hi) {
    if (args.size() < lo || args.size() > hi)
      ThrowAt(174, "The " + f + " function requires " + std::to_string(lo) + " argument(s).",
              e.line, e.column);
  };
  auto arg = [&](size_t i) {
    std::string s;
    SqlType t = Expr(*args[i], scope, &s);
    return std::make_pair(s, t);
  };
  auto part = [&](size_t i) -> std::string {
    const tsql::Expr& p = *args[i];
    std::string name;
    if (p.kind == ExprKind::kColumn && p.qualifier.empty())
      name = p.name;
    else if (p.kind == ExprKind::kLiteral &&
             resolver_->Literal(p.index).kind == Value::Kind::kText) {
      resolver_->MarkStructural(p.index);
      name = resolver_->Literal(p.index).s;
    }
    if (name.empty() || ParseDatePart(name) < 0)
      ThrowAt(155, "'" + name + "' is not a recognized " + f + " option.", p.line, p.column);
    return QuoteText(ToLower(name));
  };

  // Aggregates.
  if (f == "count" || f == "count_big") {
    *out += e.star ? "count(*)" : std::string("count(") + (e.distinct ? "DISTINCT " : "");
    if (!e.star) {
      need(1, 1);
      Expr(*args[0], scope, out);
      *out += ')';
    }
    return Int();
  }
  if (f == "sum" || f == "avg" || f == "min" || f == "max") {
    need(1, 1);
    std::string inner;
    SqlType t = Expr(*args[0], scope, &inner);
    std::string d = e.distinct ? "DISTINCT " : "";
    if (t.kind == TypeKind::kText && (f == "sum" || f == "avg")) {
      inner = "tsql_num(" + inner + ", 'numeric')";
      t = Real();
    }
    if (t.kind == TypeKind::kDecimal) {
      // SUM is decimal(38, s), AVG decimal(38, max(s, 6)); money stays money. MIN and MAX
      // compare the decimal texts by value.
      int scale = t.scale < 0 ? 0 : t.scale;
      SqlType r = t.IsMoney()  ? SqlType::FromName("money")
                  : f == "sum" ? SqlType::Numeric(38, scale)
                  : f == "avg" ? SqlType::Numeric(38, scale > 6 ? scale : 6)
                               : t;
      if (f == "min" || f == "max")
        *out += f + "(" + d + inner + " COLLATE TSQLDEC)";
      else
        *out += "tsql_d" + f + "(" + d + inner + ")";
      return r;
    }
    if (t.kind == TypeKind::kInt && (f == "sum" || f == "avg")) {
      // SUM and AVG of tinyint, smallint and int are int, of bigint bigint: 8115 past its range.
      int rank = t.IntRank() == 5 ? 5 : 4;
      if (f == "avg")
        *out += "CAST(avg(" + d + inner + ") AS INTEGER)";
      else
        *out += std::string(rank == 5 ? "tsql_isum_big(" : "tsql_isum(") + d + inner + ")";
      return SqlType::FromName(rank == 5 ? "bigint" : "int");
    }
    *out += f + "(" + d + inner + (t.kind == TypeKind::kText ? " COLLATE TSQL)" : ")");
    return t.kind == TypeKind::kNull ? Int() : t;
  }

  if (f == "isnull") {
    need(2, 2);
    std::string a;
    SqlType ta = Expr(*args[0], scope, &a);
    *out += "ifnull(" + a + ", ";
    SqlType tb;
    if (ta.kind == TypeKind::kDate || ta.kind == TypeKind::kInt || ta.kind == TypeKind::kReal ||
        ta.kind == TypeKind::kText || ta.kind == TypeKind::kDecimal)
      tb = Converted(*args[1], ta, scope, out, Conversion::kLazy);
    else
      tb = Expr(*args[1], scope, out);
    *out += ')';
    return ta.kind == TypeKind::kNull || ta.kind == TypeKind::kUnknown ? tb : ta;
  }
  if (f == "coalesce") {
    if (args.size() < 2) need(2, 100);
    SqlType result = SqlType::Of(TypeKind::kNull);
    {
      std::string probe;
      std::vector<ParamSource> scratch;
      std::vector<ParamSource>* saved = params_;
      params_ = &scratch;
      for (const auto& a : args) result = PrecedenceType(result, Expr(*a, scope, &probe));
      params_ = saved;
    }
    *out += "coalesce(";
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) *out += ", ";
      Branch(*args[i], result, scope, out);
    }
    *out += ')';
    return result;
  }
  if (f == "nullif") {
    need(2, 2);
    std::string a;
    SqlType ta = Expr(*args[0], scope, &a);
    *out += "nullif(" + a +
            (ta.kind == TypeKind::kText      ? " COLLATE TSQL"
             : ta.kind == TypeKind::kDecimal ? " COLLATE TSQLDEC"
                                             : "") +
            ", ";
    if (ta.kind == TypeKind::kDate)
      Converted(*args[1], ta, scope, out);
    else if (ta.kind == TypeKind::kDecimal)
      Converted(*args[1], SqlType::Numeric(38, -1), scope, out);
    else
      Expr(*args[1], scope, out);
    *out += ')';
    return ta;
  }
  if (f == "getdate" || f == "sysdatetime" || f == "current_timestamp" || f == "getutcdate") {
    *out += f == "getutcdate" ? "strftime('%Y-%m-%d %H:%M:%f','now')"
                              : "strftime('%Y-%m-%d %H:%M:%f','now','localtime')";
    return Date();
  }
  if (f == "newid") {
    *out += "tsql_newid()";
    return SqlType::FromName("uniqueidentifier");
  }
  if (f == "len") {
    need(1, 1);
    auto [s, t] = arg(0);
    if (t.kind == TypeKind::kText)
      *out += "length(rtrim(" + s + "))";
    else
      *out += "length(rtrim(tsql_totext(" + s + ", '', 0, 0)))";
    return Int();
  }
  if (f == "datalength") {
    need(1, 1);
    auto [s, t] = arg(0);
    *out += "length(CAST(" + s + " AS BLOB))";
    return Int();
  }
  if (f == "ltrim" || f == "rtrim" || f == "trim") {
    need(1, 1);
    auto [s, t] = arg(0);
    *out += f + "(" + s + ", ' ')";
    return Text();
  }
  if (f == "upper" || f == "lower") {
    need(1, 1);
    auto [s, t] = arg(0);
    *out += f + "(" + s + ")";
    return Text();
  }
  if (f == "substring") {
    need(3, 3);
    auto [s, ts] = arg(0);
    auto [st, tst] = arg(1);
    auto [ln, tln] = arg(2);
    // SQL Server keeps the characters at positions start .. start+length-1 that exist.
    *out += "substr(" + s + ", max(" + st + ", 1), max((" + st + ") + (" + ln + ") - max(" + st +
            ", 1), 0))";
    return Text();
  }
  if (f == "left") {
    need(2, 2);
    auto [s, ts] = arg(0);
    auto [n, tn] = arg(1);
    *out += "substr(" + s + ", 1, " + n + ")";
    return Text();
  }
  if (f == "right") {
    need(2, 2);
    auto [s, ts] = arg(0);
    auto [n, tn] = arg(1);
    *out += "substr(" + s + ", max(length(" + s + ") - (" + n + ") + 1, 1))";
    return Text();
  }
  if (f == "replace") {
    need(3, 3);
    *out += "tsql_replace(";
    for (int i = 0; i < 3; ++i) {
      if (i) *out += ", ";
      Expr(*args[i], scope, out);
    }
    *out += ')';
    return Text();
  }
  if (f == "charindex") {
    need(2, 3);
    *out += "tsql_charindex(";
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) *out += ", ";
      Expr(*args[i], scope, out);
    }
    *out += ')';
    return Int();
  }
  if (f == "abs" || f == "floor" || f == "ceiling" || f == "sign") {
    need(1, 1);
    auto [s, t] = arg(0);
    if (t.kind == TypeKind::kText) s = "tsql_num(" + s + ", 'numeric')", t = Real();
    if (t.kind == TypeKind::kDecimal) {
      // ABS and SIGN keep the type; FLOOR and CEILING keep the precision with scale 0.
      SqlType r = t;
      if (f == "floor" || f == "ceiling") r.scale = 0;
      *out +=
          "tsql_dunary(" + s + ", '" + f + "', " + std::to_string(r.scale < 0 ? 0 : r.scale) + ")";
      return r;
    }
    std::string fn = f == "ceiling" ? "ceil" : f;
    if (t.kind == TypeKind::kInt)
      *out += (f == "abs" || f == "sign") ? fn + "(" + s + ")" : s;
    else
      *out += fn + "(" + s + ")";
    return t;
  }
  if (f == "round") {
    need(2, 3);
    auto [x, tx] = arg(0);
    if (tx.kind == TypeKind::kText) x = "tsql_num(" + x + ", 'numeric')", tx = Real();
    const tsql::Expr& n = *args[1];
    if (tx.kind == TypeKind::kDecimal) {
      // ROUND keeps the decimal's type: ROUND(2.345, 2) is 2.350.
      *out += "tsql_dround(" + x + ", ";
      Expr(n, scope, out);
      *out += ", ";
      if (args.size() == 3)
        Expr(*args[2], scope, out);
      else
        *out += "0";
      *out += ", " + std::to_string(tx.scale < 0 ? 0 : tx.scale) + ")";
      return tx;
    }
    if (args.size() == 2 && n.kind == ExprKind::kLiteral &&
        resolver_->Literal(n.index).kind == Value::Kind::kInt &&
        resolver_->Literal(n.index).i >= 0) {
      resolver_->MarkStructural(n.index);
      if (tx.kind == TypeKind::kInt) {
        *out += x;
      } else {
        *out += "round(" + x + ", " + std::to_string(resolver_->Literal(n.index).i) + ")";
      }
      return tx;
    }
    *out += "tsql_round(" + x + ", ";
    Expr(n, scope, out);
    if (args.size() == 3) {
      *out += ", ";
      Expr(*args[2], scope, out);
    }
    *out += ')';
    return tx;
  }
  if (f == "power" || f == "sqrt" || f == "exp" || f == "log" || f == "log10" || f == "square" ||
      f == "pi") {
    *out += (f == "square" ? "tsql_square" : f == "power" ? "pow" : f) + std::string("(");
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) *out += ", ";
      Expr(*args[i], scope, out);
    }
    *out += ')';
    return Real();
  }
  if (f == "year" || f == "month" || f == "day") {
    need(1, 1);
    auto [s, t] = arg(0);
    if (t.kind == TypeKind::kDate) {
      const char* range = f == "year" ? ", 1, 4" : f == "month" ? ", 6, 2" : ", 9, 2";
      *out += "CAST(substr(" + s + range + ") AS INTEGER)";
    } else {
      *out += "tsql_datepart('" + f + "', " + s + ")";
    }
    return Int();
  }
  if (f == "datepart" || f == "datename") {
    need(2, 2);
    std::string p = part(0);
    auto [s, t] = arg(1);
    *out += "tsql_" + f + "(" + p + ", " + s + ")";
    return f == "datepart" ? Int() : Text();
  }
  if (f == "dateadd") {
    need(3, 3);
    std::string p = part(0);
    auto [n, tn] = arg(1);
    auto [d, td] = arg(2);
    *out += "tsql_dateadd(" + p + ", " + n + ", " + d + ")";
    return Date();
  }
  if (f == "datediff") {
    need(3, 3);
    std::string p = part(0);
    auto [a, ta] = arg(1);
    auto [b, tb] = arg(2);
    *out += "tsql_datediff(" + p + ", " + a + ", " + b + ")";
    return Int();
  }
  if (f == "object_id") {
    need(1, 2);
    *out += "tsql_object_id(";
    Expr(*args[0], scope, out);
    *out += ')';
    return Int();
  }
  if (f == "isnumeric" || f == "isdate") {
    need(1, 1);
    *out += "tsql_" + f + "(";
    Expr(*args[0], scope, out);
    *out += ')';
    return Int();
  }
  if (f == "replicate" || f == "space" || f == "reverse" || f == "stuff" || f == "str" ||
      f == "patindex" || f == "ascii" || f == "char" || f == "nchar" || f == "unicode") {
    *out += "tsql_" + f + "(";
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) *out += ", ";
      Expr(*args[i], scope, out);
    }
    *out += ')';
    return (f == "patindex" || f == "ascii" || f == "unicode") ? Int() : Text();
  }
  if (f == "scope_identity" || f == "ident_current") {
    ParamSource p;
    p.kind = ParamSource::Kind::kSystem;
    p.name = "identity";
    Param(std::move(p), out);
    return Int();
  }
  if (f == "db_name" || f == "user_name" || f == "suser_sname" || f == "host_name" ||
      f == "app_name" || f == "user" || f == "current_user" || f == "system_user") {
    *out += f == "db_name" ? "'main'" : f == "app_name" ? "'corva'" : "'dbo'";
    return Text();
  }
  if (f == "iif") {
    need(3, 3);
    *out += "CASE WHEN ";
    Expr(*args[0], scope, out);
    *out += " THEN ";
    SqlType t = Expr(*args[1], scope, out);
    *out += " ELSE ";
    Expr(*args[2], scope, out);
    *out += " END";
    return t;
  }
  ThrowAt(195, "'" + f + "' is not a recognized built-in function name.", e.line, e.column);
}

SqlType Translator::Cast(const tsql::Expr& e, const Scope& scope, std::string* out) {
  const SqlType& target = e.type;
  std::string inner;
  SqlType t = Expr(*e.args[0], scope, &inner);
  int style = 0;
  if (e.args.size() > 1) {
    const tsql::Expr& s = *e.args[1];
    if (s.kind != ExprKind::kLiteral)
      ThrowAt(8116, "Argument data type is invalid for argument 3 of convert function.", s.line,
              s.column);
    resolver_->MarkStructural(s.index);
    style = static_cast<int>(resolver_->Literal(s.index).i);
  }
  switch (target.kind) {
    case TypeKind::kInt:
      if (t.kind == TypeKind::kInt && target.name != "bit" &&
          (t.IntRank() <= target.IntRank() || target.IntRank() == 5))
        *out += inner;
      else if (t.kind == TypeKind::kText || (target.name == "bit" && !t.IsNumeric()))
        *out += "tsql_cast(" + inner + ", " + QuoteText(target.name) + ")";
      else
        *out +=
            "tsql_toint(" + inner + ", " + Num(target.IntRank()) + (IsDecimal(t) ? ", 1)" : ")");
      return target;
    case TypeKind::kReal:
      if (t.kind == TypeKind::kInt || IsDecimal(t))
        *out += "CAST(" + inner + " AS REAL)";
      else if (t.kind == TypeKind::kReal)
        *out += inner;
      else
        *out += "tsql_cast(" + inner + ", " + QuoteText(target.name) + ")";
      return target;
    case TypeKind::kDecimal:
      if (target.IsMoney())
        *out += "tsql_cast(" + inner + ", " + QuoteText(target.name) + ")";
      else if (IsDecimal(t) && t.scale == target.scale && t.precision <= target.precision)
        *out += inner;
      else
        *out += "tsql_todec(" + inner + PrecisionScale(target);
      return target;
    case TypeKind::kText: {
      std::string len = std::to_string(target.length);
      if (target.length > 0 && (t.kind == TypeKind::kInt || IsDecimal(t))) {
        // Digits are never cut off a number: "*" for an integer, 8115 for a decimal.
        inner = "tsql_numtext(" + inner + ", " + len + ", " +
                QuoteText(target.IsFixedText() ? "char" : "varchar") + ", " +
                (IsDecimal(t) ? "1)" : "0)");
        *out += target.IsFixedText() ? "tsql_fit(" + inner + ", " + len + ", 1, 0)" : inner;
      } else if (target.IsFixedText()) {
        if (t.kind == TypeKind::kDate)
          inner = "tsql_totext(" + inner + ", 'date', " + std::to_string(style) + ", 0)";
        *out += "tsql_fit(" + inner + ", " + len + ", 1, 0)";
      } else if (t.kind == TypeKind::kText || IsDecimal(t)) {
        *out += target.length > 0 ? "substr(" + inner + ", 1, " + len + ")" : inner;
      } else if (t.kind == TypeKind::kInt) {
        *out += "CAST(" + inner + " AS TEXT)";
      } else {
        std::string kind = t.kind == TypeKind::kDate ? "'date'" : "''";
        *out +=
            "tsql_totext(" + inner + ", " + kind + ", " + std::to_string(style) + ", " + len + ")";
      }
      return target;
    }
    case TypeKind::kDate: {
      DateKind kind = DateKindOf(target.name);
      if (t.kind == TypeKind::kDate && (t.name == target.name || kind == DateKind::kOther))
        *out += inner;
      else
        *out += "tsql_date(" + inner + ", " + Num(static_cast<int>(kind)) + ")";
      return target;
    }
    default:
      *out += inner;
      return t;
  }
}

}  // namespace corva::tsql
