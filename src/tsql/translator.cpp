// Expressions to SQLite: types are inferred as the SQL is written, and SQL Server's rules are
// applied where SQLite's differ (text + text concatenates, integer division and division by zero,
// text compared without regard to case or trailing blanks, dates compared as dates).
#include "tsql/translator.h"

#include "corva/error.h"
#include "tsql/date_time.h"
#include "tsql/token.h"

namespace corva::tsql {

void PlanDeleter::operator()(Plan* p) const { delete p; }
Expr::~Expr() = default;
Stmt::~Stmt() = default;

void ThrowAt(int number, const std::string& message, int line, int column) {
  corva::Error e(number, "corva.tsql", message);
  if (line > 0) e.SetPosition(line, column);
  throw e;
}

namespace {

constexpr const char* kCollate = " COLLATE TSQL";
constexpr const char* kCollateDecimal = " COLLATE TSQLDEC";

bool IsBindableLeaf(const Expr& e) {
  return e.kind == ExprKind::kLiteral || e.kind == ExprKind::kVariable ||
         e.kind == ExprKind::kParam;
}

bool IsDecimal(const SqlType& t) { return t.kind == TypeKind::kDecimal; }

SqlType Promote(const SqlType& a, const SqlType& b) {
  if (a.kind == TypeKind::kReal || b.kind == TypeKind::kReal) return SqlType::Of(TypeKind::kReal);
  if (a.kind == TypeKind::kNull) return b;
  if (b.kind == TypeKind::kNull) return a;
  if (a.kind == TypeKind::kUnknown || b.kind == TypeKind::kUnknown) return SqlType();
  return SqlType::Of(TypeKind::kInt);
}

bool TextLike(const SqlType& t) { return t.kind == TypeKind::kText || t.kind == TypeKind::kNull; }

bool NumberLike(const SqlType& t) { return t.IsNumeric() || t.kind == TypeKind::kNull; }

std::string Num(int v) { return std::to_string(v); }

// ", p, s)" closing a decimal function call for `t`.
std::string PrecisionScale(const SqlType& t) {
  return ", " + Num(t.precision) + ", " + Num(t.scale < 0 ? 0 : t.scale) + ")";
}

// Any decimal: the type a comparison converts a non-decimal operand to (its own scale kept).
SqlType AnyDecimal() { return SqlType::Numeric(38, -1); }

}  // namespace

// Parameters are numbered in the order they are made, not in the order they appear in the text:
// a FROM list is written before the select list that precedes it, and some SQL repeats an
// operand (BETWEEN, SUBSTRING's bounds), which then binds the same number twice.
void Translator::Param(ParamSource p, std::string* out) {
  params_->push_back(std::move(p));
  *out += '?';
  *out += std::to_string(params_->size());
}

std::string Translator::Literal(const tsql::Expr& e, const SqlType& convert) {
  ParamSource p;
  p.kind =
      e.kind == ExprKind::kVariable ? ParamSource::Kind::kVariable : ParamSource::Kind::kLiteral;
  p.index = e.index;
  p.convert = convert;
  params_->push_back(std::move(p));
  return "?" + std::to_string(params_->size());
}

SqlType Translator::Converted(const tsql::Expr& e, const SqlType& target, const Scope& scope,
                              std::string* out, Conversion how) {
  if (IsBindableLeaf(e) && target.kind != TypeKind::kUnknown && target.kind != TypeKind::kNull) {
    SqlType source = e.kind == ExprKind::kVariable ? resolver_->Variable(e.index).type
                     : e.kind == ExprKind::kParam  ? ValueType(resolver_->Literal(e.index))
                                                   : e.type;
    bool lazy = how == Conversion::kLazy && source.kind == TypeKind::kText &&
                target.kind != TypeKind::kText;
    bool needed = e.kind == ExprKind::kParam || source.kind != target.kind ||
                  target.kind == TypeKind::kText || target.kind == TypeKind::kDecimal ||
                  target.IntRank() != source.IntRank() || target.name != source.name;
    if (!lazy && needed) {
      ParamSource p;
      p.kind = e.kind == ExprKind::kVariable ? ParamSource::Kind::kVariable
                                             : ParamSource::Kind::kLiteral;
      p.index = e.index;
      p.convert = target;
      p.store = how == Conversion::kStore;
      Param(std::move(p), out);
      return target;
    }
  }
  std::string inner;
  SqlType t = Expr(e, scope, &inner);
  if (t.kind == TypeKind::kNull) {
    *out += inner;
    return t;
  }
  switch (target.kind) {
    case TypeKind::kDate: {
      DateKind kind = DateKindOf(target.name);
      if (t.kind == TypeKind::kDate &&
          (t.name == target.name || kind == DateKind::kDateTime || kind == DateKind::kOther)) {
        *out += inner;
        return t;
      }
      *out += "tsql_date(" + inner + ", " + Num(static_cast<int>(kind)) + ")";
      return target;
    }
    case TypeKind::kInt:
      if (target.name == "bit" && t.kind == TypeKind::kInt) {
        *out += "(" + inner + " <> 0)";
        return target;
      }
      if (t.kind == TypeKind::kInt && (t.IntRank() <= target.IntRank() || target.IntRank() == 5)) {
        *out += inner;
        return t;
      }
      *out += "tsql_toint(" + inner + ", " + Num(target.IntRank()) + (IsDecimal(t) ? ", 1)" : ")");
      return target;
    case TypeKind::kReal:
      if (t.kind == TypeKind::kReal || t.kind == TypeKind::kInt) {
        *out += inner;
        return t;
      }
      *out += IsDecimal(t) ? "CAST(" + inner + " AS REAL)" : "tsql_cast(" + inner + ", 'float')";
      return target;
    case TypeKind::kDecimal:
      if (IsDecimal(t) && t.scale == target.scale &&
          t.precision - t.scale <= target.precision - target.scale) {
        *out += inner;
        return target;
      }
      if (IsDecimal(t) && t.scale == target.scale && target.precision > 0 &&
          inner.rfind("tsql_d", 0) == 0 && inner.size() > PrecisionScale(t).size() &&
          inner.compare(inner.size() - PrecisionScale(t).size(), std::string::npos,
                        PrecisionScale(t)) == 0) {
        // Decimal arithmetic of the target's scale checks the target's precision itself
        // (q = q + 1 into decimal(28,10)): one call instead of two.
        inner.resize(inner.size() - PrecisionScale(t).size());
        *out += inner + PrecisionScale(target);
      } else if (target.IsMoney()) {
        *out += "tsql_cast(" + inner + ", " + QuoteText(target.name) + ")";
      } else {
        *out += "tsql_todec(" + inner + PrecisionScale(target);
      }
      if (target.scale < 0) return t.kind == TypeKind::kDecimal ? t : AnyDecimal();
      return target;
    case TypeKind::kText:
      if (how == Conversion::kStore && target.length > 0) {
        bool fits = t.kind == TypeKind::kText && t.length > 0 && t.length <= target.length &&
                    (!target.IsFixedText() || (t.IsFixedText() && t.length == target.length));
        if (!fits) {
          *out += "tsql_fit(" + inner + ", " + Num(target.length) + ", " +
                  (target.IsFixedText() ? "1" : "0") + ", ";
          ParamSource p;
          p.kind = ParamSource::Kind::kSystem;
          p.name = "ansi_warnings";
          Param(std::move(p), out);
          *out += ")";
          return target;
        }
      }
      *out += inner;
      return t;
    default:
      *out += inner;
      return t;
  }
}

void Translator::DecimalOperand(const tsql::Expr& e, const SqlType& type, const Scope& scope,
                                std::string* out) {
  if (IsDecimal(type)) {
    Expr(e, scope, out);
  } else if (type.kind == TypeKind::kInt && !IsBindableLeaf(e)) {
    std::string inner;
    Expr(e, scope, &inner);
    *out += "CAST(" + inner + " AS TEXT)";
  } else {
    Converted(e, AnyDecimal(), scope, out);
  }
}

SqlType Translator::Branch(const tsql::Expr& e, const SqlType& result, const Scope& scope,
                           std::string* out) {
  if (result.kind == TypeKind::kUnknown || result.kind == TypeKind::kNull)
    return Expr(e, scope, out);
  return Converted(e, result, scope, out, Conversion::kLazy);
}

SqlType Translator::Expr(const tsql::Expr& e, const Scope& scope, std::string* out) {
  switch (e.kind) {
    case ExprKind::kLiteral:
      *out += Literal(e);
      return e.type;
    case ExprKind::kParam:
      *out += Literal(e);
      return ValueType(resolver_->Literal(e.index));
    case ExprKind::kNull:
      *out += "NULL";
      return SqlType::Of(TypeKind::kNull);
    case ExprKind::kVariable: {
      const VarInfo& v = resolver_->Variable(e.index);
      if (v.is_table)
        ThrowAt(137, "Must declare the scalar variable \"" + v.name + "\".", e.line, e.column);
      *out += Literal(e);
      return v.type;
    }
    case ExprKind::kSystemVar: {
      ParamSource p;
      p.kind = ParamSource::Kind::kSystem;
      p.name = e.name;
      Param(std::move(p), out);
      if (e.name == "version" || e.name == "servername" || e.name == "language" ||
          e.name == "servicename")
        return SqlType::FromName("nvarchar", -1);
      return SqlType::Of(TypeKind::kInt);
    }
    case ExprKind::kColumn:
      return Column(e, scope, out);
    case ExprKind::kStar:
      ThrowAt(102, "Incorrect syntax near '*'.", e.line, e.column);
    case ExprKind::kUnary: {
      if (e.name == "+") return Expr(*e.args[0], scope, out);
      std::string inner;
      SqlType t = Expr(*e.args[0], scope, &inner);
      if (t.kind == TypeKind::kText) {
        inner = "tsql_num(" + inner + ", 'numeric')";
        t = SqlType::Of(TypeKind::kReal);
      }
      if (IsDecimal(t) && e.name == "-") {
        *out += "tsql_dsub(0, " + inner + PrecisionScale(t);
        return t;
      }
      *out += "(" + e.name + inner + ")";
      return t;
    }
    case ExprKind::kBinary:
      return Binary(e, scope, out);
    case ExprKind::kCompare:
      return Compare(e.name, *e.args[0], *e.args[1], scope, out);
    case ExprKind::kAnd:
    case ExprKind::kOr:
      *out += '(';
      Expr(*e.args[0], scope, out);
      *out += e.kind == ExprKind::kAnd ? " AND " : " OR ";
      Expr(*e.args[1], scope, out);
      *out += ')';
      return SqlType::Of(TypeKind::kInt);
    case ExprKind::kNot:
      *out += "(NOT ";
      Expr(*e.args[0], scope, out);
      *out += ')';
      return SqlType::Of(TypeKind::kInt);
    case ExprKind::kIsNull:
      *out += '(';
      Expr(*e.args[0], scope, out);
      *out += e.negated ? " IS NOT NULL)" : " IS NULL)";
      return SqlType::Of(TypeKind::kInt);
    case ExprKind::kBetween: {
      // x BETWEEN a AND b is x >= a AND x <= b; x is written twice, so it must not carry
      // parameters that change between the two uses (it never does).
      *out += e.negated ? "(NOT (" : "((";
      Compare(">=", *e.args[0], *e.args[1], scope, out);
      *out += " AND ";
      Compare("<=", *e.args[0], *e.args[2], scope, out);
      *out += "))";
      return SqlType::Of(TypeKind::kInt);
    }
    case ExprKind::kLike: {
      std::string x, p;
      Expr(*e.args[0], scope, &x);
      const tsql::Expr& pat = *e.args[1];
      bool native = false;
      if (pat.kind == ExprKind::kLiteral) {
        resolver_->MarkStructural(pat.index);
        const Value& v = resolver_->Literal(pat.index);
        native = v.kind == Value::Kind::kText && v.s.find('[') == std::string::npos &&
                 e.args.size() == 2;
      }
      Expr(pat, scope, &p);
      if (native) {
        *out += "(" + x + (e.negated ? " NOT LIKE " : " LIKE ") + p + ")";
      } else {
        std::string esc;
        if (e.args.size() > 2) {
          esc = ", ";
          Expr(*e.args[2], scope, &esc);
        }
        *out += std::string(e.negated ? "(NOT " : "(") + "tsql_like(" + x + ", " + p + esc + "))";
      }
      return SqlType::Of(TypeKind::kInt);
    }
    case ExprKind::kInList: {
      std::string x;
      SqlType tx = Expr(*e.args[0], scope, &x);
      if (tx.kind == TypeKind::kText) x += kCollate;
      if (IsDecimal(tx)) x += kCollateDecimal;
      *out += "(" + x + (e.negated ? " NOT IN (" : " IN (");
      for (size_t i = 1; i < e.args.size(); ++i) {
        if (i > 1) *out += ", ";
        if (IsDecimal(tx))
          Converted(*e.args[i], AnyDecimal(), scope, out);
        else if (tx.kind == TypeKind::kDate || tx.kind == TypeKind::kInt ||
                 tx.kind == TypeKind::kReal)
          Converted(*e.args[i], tx, scope, out);
        else
          Expr(*e.args[i], scope, out);
      }
      *out += "))";
      return SqlType::Of(TypeKind::kInt);
    }
    case ExprKind::kInQuery: {
      std::string x;
      SqlType tx = Expr(*e.args[0], scope, &x);
      if (tx.kind == TypeKind::kText) x += kCollate;
      if (IsDecimal(tx)) x += kCollateDecimal;
      *out += "(" + x + (e.negated ? " NOT IN (" : " IN (");
      std::vector<ResultColumn> cols;
      QueryText(*e.query, &scope, out, &cols);
      *out += "))";
      return SqlType::Of(TypeKind::kInt);
    }
    case ExprKind::kExists: {
      *out += "EXISTS (";
      std::vector<ResultColumn> cols;
      QueryText(*e.query, &scope, out, &cols);
      *out += ')';
      return SqlType::Of(TypeKind::kInt);
    }
    case ExprKind::kSubquery: {
      // SQL Server fails a scalar subquery that returns more than one row (512); a query that
      // cannot return more (TOP 1, aggregates without GROUP BY) is used as it is.
      bool single = false;
      if (e.query->cores.size() == 1) {
        const tsql::SelectCore& c = e.query->cores[0];
        if (c.top && c.top->kind == ExprKind::kLiteral) {
          resolver_->MarkStructural(c.top->index);
          const Value& v = resolver_->Literal(c.top->index);
          single = v.kind == Value::Kind::kInt && v.i <= 1;
        }
        if (c.group_by.empty() && !c.items.empty() && c.items.size() == 1 &&
            c.items[0].expr->kind == ExprKind::kFunction) {
          const std::string& f = c.items[0].expr->name;
          single = single || f == "count" || f == "sum" || f == "min" || f == "max" || f == "avg" ||
                   f == "count_big";
        }
        if (c.from.empty()) single = true;
      }
      std::vector<ResultColumn> cols;
      if (single) {
        *out += '(';
        QueryText(*e.query, &scope, out, &cols);
        *out += ')';
      } else {
        *out += "(WITH __q(__v) AS (";
        QueryText(*e.query, &scope, out, &cols);
        *out += ") SELECT tsql_scalar(__v) FROM (SELECT __v FROM __q LIMIT 2))";
      }
      return cols.empty() ? SqlType() : cols[0].type;
    }
    case ExprKind::kCase: {
      // The result takes the type of highest precedence among the branches; each branch is
      // converted to it where it is evaluated (CASE WHEN ... THEN 'one' ELSE 0 END is int, and
      // 'one' fails with 245 when its branch is taken).
      size_t first = e.has_operand ? 1 : 0;
      size_t end = e.args.size() - (e.has_else ? 1 : 0);
      SqlType result = SqlType::Of(TypeKind::kNull);
      {
        size_t mark = params_->size();
        std::string probe;
        for (size_t i = first + 1; i < end; i += 2)
          result = PrecedenceType(result, Expr(*e.args[i], scope, &probe));
        if (e.has_else) result = PrecedenceType(result, Expr(*e.args.back(), scope, &probe));
        params_->resize(mark);
      }
      *out += "CASE";
      SqlType operand_type;
      if (e.has_operand) {
        *out += ' ';
        operand_type = Expr(*e.args[0], scope, out);
        if (operand_type.kind == TypeKind::kText) *out += kCollate;
        if (IsDecimal(operand_type)) *out += kCollateDecimal;
      }
      for (size_t i = first; i + 1 < end + 1 && i < end; i += 2) {
        *out += " WHEN ";
        if (e.has_operand && operand_type.kind == TypeKind::kDate)
          Converted(*e.args[i], operand_type, scope, out);
        else if (e.has_operand && IsDecimal(operand_type))
          Converted(*e.args[i], AnyDecimal(), scope, out);
        else
          Expr(*e.args[i], scope, out);
        *out += " THEN ";
        Branch(*e.args[i + 1], result, scope, out);
      }
      if (e.has_else) {
        *out += " ELSE ";
        Branch(*e.args.back(), result, scope, out);
      }
      *out += " END";
      return result;
    }
    case ExprKind::kCast:
      return Cast(e, scope, out);
    case ExprKind::kFunction:
      return Function(e, scope, out);
  }
  return SqlType();
}

SqlType Translator::Column(const tsql::Expr& e, const Scope& scope, std::string* out) {
  const std::string& name = e.name;
  if (e.qualifier.empty() && scope.aliases) {
    for (const std::string& a : *scope.aliases)
      if (EqualsNoCase(a, name)) {
        *out += QuoteId(a);
        return SqlType();
      }
  }
  bool qualifier_matched = false;
  for (const Scope* s = &scope; s; s = s->outer) {
    const ScopeTable* found = nullptr;
    int found_index = -1;
    for (const ScopeTable& t : s->tables) {
      if (!e.qualifier.empty() && !EqualsNoCase(e.qualifier.back(), t.exposed)) continue;
      qualifier_matched = true;
      int idx = -1;
      if (t.table) {
        idx = t.table->Find(name);
      } else {
        for (size_t i = 0; i < t.columns.size(); ++i)
          if (EqualsNoCase(t.columns[i].name, name)) {
            idx = static_cast<int>(i);
            break;
          }
      }
      if (idx < 0) continue;
      if (found) ThrowAt(209, "Ambiguous column name '" + name + "'.", e.line, e.column);
      found = &t;
      found_index = idx;
    }
    if (found) {
      const std::string& col =
          found->table ? found->table->columns[found_index].name : found->columns[found_index].name;
      *out += QuoteId(found->exposed) + "." + QuoteId(col);
      return found->table ? found->table->columns[found_index].type
                          : found->columns[found_index].type;
    }
  }
  if (!e.qualifier.empty() && !qualifier_matched) {
    std::string full;
    for (const std::string& q : e.qualifier) full += q + ".";
    ThrowAt(4104, "The multi-part identifier \"" + full + name + "\" could not be bound.", e.line,
            e.column);
  }
  ThrowAt(207, "Invalid column name '" + name + "'.", e.line, e.column);
}

SqlType Translator::Binary(const tsql::Expr& e, const Scope& scope, std::string* out) {
  const std::string& op = e.name;
  std::string a, b;
  SqlType ta = Expr(*e.args[0], scope, &a);
  SqlType tb = Expr(*e.args[1], scope, &b);
  // Text meeting a number becomes that number's type (varchar has the lowest precedence).
  auto text_to = [](std::string* s, SqlType* t, const SqlType& other) {
    if (other.kind == TypeKind::kInt) {
      *s = "tsql_toint(" + *s + ", " + Num(other.IntRank()) + ")";
      *t = other;
    } else if (IsDecimal(other)) {
      *s = "tsql_todec(" + *s + ", 38, -1)";
      *t = other;
    } else {
      *s = "tsql_num(" + *s + ", 'numeric')";
      *t = SqlType::Of(TypeKind::kReal);
    }
  };
  if (op == "+") {
    if (TextLike(ta) && TextLike(tb) &&
        !(ta.kind == TypeKind::kNull && tb.kind == TypeKind::kNull)) {
      *out += "(" + a + " || " + b + ")";
      return SqlType::FromName("varchar", -1);
    }
    if (ta.kind == TypeKind::kDate && (tb.IsNumeric() || tb.kind == TypeKind::kNull)) {
      *out += "tsql_dateadd('day', " + b + ", " + a + ")";
      return ta;
    }
    if (tb.kind == TypeKind::kDate && (ta.IsNumeric() || ta.kind == TypeKind::kNull)) {
      *out += "tsql_dateadd('day', " + a + ", " + b + ")";
      return tb;
    }
  }
  if (op == "-" && ta.kind == TypeKind::kDate && tb.IsNumeric()) {
    *out += "tsql_dateadd('day', -(" + b + "), " + a + ")";
    return ta;
  }
  if (op == "^") {
    *out += "tsql_bitxor(" + a + ", " + b + ")";
    return SqlType::Of(TypeKind::kInt);
  }
  if (op == "&" || op == "|") {
    *out += "(" + a + " " + op + " " + b + ")";
    return SqlType::Of(TypeKind::kInt);
  }
  if (ta.kind == TypeKind::kText && tb.IsNumeric()) text_to(&a, &ta, tb);
  if (tb.kind == TypeKind::kText && ta.IsNumeric()) text_to(&b, &tb, ta);
  if (ta.kind == TypeKind::kDate) a = "tsql_datenum(" + a + ")", ta = SqlType::Of(TypeKind::kReal);
  if (tb.kind == TypeKind::kDate) b = "tsql_datenum(" + b + ")", tb = SqlType::Of(TypeKind::kReal);
  if (!NumberLike(ta) || !NumberLike(tb)) {
    // A type known only when it runs: decided row by row.
    if (op == "+")
      *out += "tsql_add(" + a + ", " + b + ")";
    else if (op == "/" || op == "%")
      *out += std::string(op == "/" ? "tsql_div(" : "tsql_mod(") + a + ", " + b + ")";
    else
      *out += "(" + a + " " + op + " " + b + ")";
    return Promote(ta, tb);
  }
  // An integer constant meeting a decimal counts as numeric(digits, 0), not as int's (10, 0):
  // 1.0 / 3 is 0.333333. Its digits then shape the SQL.
  auto constant = [&](const tsql::Expr& x, SqlType* t) {
    const tsql::Expr* lit = &x;
    if (x.kind == ExprKind::kUnary && x.args[0]->kind == ExprKind::kLiteral) lit = x.args[0].get();
    if (lit->kind != ExprKind::kLiteral || t->kind != TypeKind::kInt) return;
    const Value& v = resolver_->Literal(lit->index);
    if (v.kind != Value::Kind::kInt) return;
    resolver_->MarkStructural(lit->index);
    *t = SqlType::Numeric(static_cast<int>(std::to_string(v.i < 0 ? -v.i : v.i).size()), 0);
  };
  if (IsDecimal(ta) && !ta.IsMoney()) constant(*e.args[1], &tb);
  if (IsDecimal(tb) && !tb.IsMoney()) constant(*e.args[0], &ta);
  SqlType result = ArithmeticType(op[0], ta, tb);
  if (IsDecimal(result)) {
    static const char* kNames[] = {"tsql_dadd(", "tsql_dsub(", "tsql_dmul(", "tsql_ddiv(",
                                   "tsql_dmod("};
    size_t k = std::string("+-*/%").find(op[0]);
    *out += kNames[k] + a + ", " + b + PrecisionScale(result);
    return result;
  }
  if (op == "/" || op == "%") {
    // A literal divisor other than zero lets SQLite divide natively: its integer division
    // truncates toward zero as SQL Server's does. The divisor's value then shapes the SQL.
    const tsql::Expr& divisor = *e.args[1];
    bool native = false;
    if (divisor.kind == ExprKind::kLiteral) {
      const Value& v = resolver_->Literal(divisor.index);
      if (v.kind == Value::Kind::kInt || v.kind == Value::Kind::kReal) {
        resolver_->MarkStructural(divisor.index);
        native = v.kind == Value::Kind::kInt ? v.i != 0 && v.i != -1 : v.d != 0;
        if (op == "%" && (v.kind != Value::Kind::kInt || ta.kind != TypeKind::kInt)) native = false;
      }
    }
    if (native)
      *out += "(" + a + " " + op + " " + b + ")";
    else
      *out += std::string(op == "/" ? "tsql_div(" : "tsql_mod(") + a + ", " + b + ")";
    return result;
  }
  if (result.kind == TypeKind::kInt) {
    *out += std::string(op == "+"   ? "tsql_iadd("
                        : op == "-" ? "tsql_isub("
                                    : "tsql_imul(") +
            a + ", " + b + ", " + Num(result.IntRank()) + ")";
    return result;
  }
  *out += "(" + a + " " + op + " " + b + ")";
  return result;
}

SqlType Translator::Compare(const std::string& op, const tsql::Expr& l, const tsql::Expr& r,
                            const Scope& scope, std::string* out) {
  // Types first (into scratch text), then the operands converted as SQL Server would.
  size_t mark = params_->size();
  std::string probe;
  SqlType tl = Expr(l, scope, &probe);
  probe.clear();
  SqlType tr = Expr(r, scope, &probe);
  params_->resize(mark);

  std::string a, b;
  if (tl.kind == TypeKind::kDate && tr.kind != TypeKind::kDate && tr.kind != TypeKind::kNull) {
    Expr(l, scope, &a);
    Converted(r, tl, scope, &b);
  } else if (tr.kind == TypeKind::kDate && tl.kind != TypeKind::kDate &&
             tl.kind != TypeKind::kNull) {
    Converted(l, tr, scope, &a);
    Expr(r, scope, &b);
  } else if ((IsDecimal(tl) || IsDecimal(tr)) && tl.kind != TypeKind::kReal &&
             tr.kind != TypeKind::kReal) {
    // Decimals compare as decimal text under TSQLDEC, which orders them by value exactly.
    DecimalOperand(l, tl, scope, &a);
    DecimalOperand(r, tr, scope, &b);
    b += kCollateDecimal;
  } else if (IsDecimal(tl) || IsDecimal(tr)) {
    // With a float the decimal becomes a float.
    Expr(l, scope, &a);
    Expr(r, scope, &b);
    if (IsDecimal(tl)) a = "CAST(" + a + " AS REAL)";
    if (IsDecimal(tr)) b = "CAST(" + b + " AS REAL)";
  } else if (tl.kind == TypeKind::kText && tr.IsNumeric()) {
    Converted(l, tr.kind == TypeKind::kInt ? tr : SqlType::Of(TypeKind::kReal), scope, &a);
    Expr(r, scope, &b);
  } else if (tr.kind == TypeKind::kText && tl.IsNumeric()) {
    Expr(l, scope, &a);
    Converted(r, tl.kind == TypeKind::kInt ? tl : SqlType::Of(TypeKind::kReal), scope, &b);
  } else {
    Expr(l, scope, &a);
    Expr(r, scope, &b);
    if (tl.kind == TypeKind::kText || tr.kind == TypeKind::kText) b += kCollate;
  }
  *out += "(" + a + " " + op + " " + b + ")";
  return SqlType::Of(TypeKind::kInt);
}

}  // namespace corva::tsql
