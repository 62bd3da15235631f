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

bool IsBindableLeaf(const Expr& e) {
  return e.kind == ExprKind::kLiteral || e.kind == ExprKind::kVariable ||
         e.kind == ExprKind::kParam;
}

SqlType Promote(const SqlType& a, const SqlType& b) {
  if (a.kind == TypeKind::kReal || b.kind == TypeKind::kReal) return SqlType::Of(TypeKind::kReal);
  if (a.kind == TypeKind::kNull) return b;
  if (b.kind == TypeKind::kNull) return a;
  if (a.kind == TypeKind::kUnknown || b.kind == TypeKind::kUnknown) return SqlType();
  return SqlType::Of(TypeKind::kInt);
}

bool TextLike(const SqlType& t) { return t.kind == TypeKind::kText || t.kind == TypeKind::kNull; }

std::string NumTypeName(const SqlType& t) {
  return t.kind == TypeKind::kInt ? "'int'" : "'numeric'";
}

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
                              std::string* out) {
  if (IsBindableLeaf(e) && (target.kind == TypeKind::kDate || target.kind == TypeKind::kInt ||
                            target.kind == TypeKind::kReal || target.kind == TypeKind::kText)) {
    SqlType source = e.kind == ExprKind::kVariable ? resolver_->Variable(e.index).type : e.type;
    if (e.kind == ExprKind::kParam || source.kind != target.kind || target.name == "bit" ||
        target.kind == TypeKind::kText || (target.kind == TypeKind::kReal && target.scale >= 0)) {
      *out += Literal(e, target);
      return target;
    }
  }
  std::string inner;
  SqlType t = Expr(e, scope, &inner);
  switch (target.kind) {
    case TypeKind::kDate:
      if (t.kind == TypeKind::kDate || t.kind == TypeKind::kNull) {
        *out += inner;
        return t;
      }
      *out += "tsql_date(" + inner + ")";
      return target;
    case TypeKind::kInt:
      if (target.name == "bit" && t.kind != TypeKind::kNull) {
        *out += "(" + inner + " <> 0)";
        return target;
      }
      if (t.kind == TypeKind::kInt || t.kind == TypeKind::kNull) {
        *out += inner;
        return t;
      }
      if (t.kind == TypeKind::kReal) {
        *out += "CAST(" + inner + " AS INTEGER)";
        return target;
      }
      *out += "tsql_cast(" + inner + ", 'int')";
      return target;
    case TypeKind::kReal:
      if (t.kind == TypeKind::kReal || t.kind == TypeKind::kInt || t.kind == TypeKind::kNull) {
        *out += inner;
        return t;
      }
      *out += "tsql_num(" + inner + ", 'numeric')";
      return target;
    default:
      *out += inner;
      return t;
  }
}

SqlType Translator::Expr(const tsql::Expr& e, const Scope& scope, std::string* out) {
  switch (e.kind) {
    case ExprKind::kLiteral:
      *out += Literal(e);
      return e.type;
    case ExprKind::kParam: {
      *out += Literal(e);
      switch (resolver_->Literal(e.index).kind) {
        case Value::Kind::kInt:
          return SqlType::Of(TypeKind::kInt);
        case Value::Kind::kReal:
          return SqlType::Of(TypeKind::kReal);
        case Value::Kind::kText:
          return SqlType::FromName("varchar", -1);
        default:
          return SqlType::Of(TypeKind::kNull);
      }
    }
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
      *out += "(" + x + (e.negated ? " NOT IN (" : " IN (");
      for (size_t i = 1; i < e.args.size(); ++i) {
        if (i > 1) *out += ", ";
        if (tx.kind == TypeKind::kDate || tx.kind == TypeKind::kInt || tx.kind == TypeKind::kReal)
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
      *out += "CASE";
      size_t i = 0;
      SqlType operand_type;
      if (e.has_operand) {
        *out += ' ';
        operand_type = Expr(*e.args[0], scope, out);
        if (operand_type.kind == TypeKind::kText) *out += kCollate;
        i = 1;
      }
      size_t end = e.args.size() - (e.has_else ? 1 : 0);
      SqlType result = SqlType::Of(TypeKind::kNull);
      for (; i + 1 < end + 1 && i < end; i += 2) {
        *out += " WHEN ";
        if (e.has_operand && operand_type.kind == TypeKind::kDate)
          Converted(*e.args[i], operand_type, scope, out);
        else
          Expr(*e.args[i], scope, out);
        *out += " THEN ";
        SqlType t = Expr(*e.args[i + 1], scope, out);
        if (result.kind == TypeKind::kNull ||
            (result.kind == TypeKind::kInt && t.kind == TypeKind::kReal))
          result = t;
      }
      if (e.has_else) {
        *out += " ELSE ";
        SqlType t = Expr(*e.args.back(), scope, out);
        if (result.kind == TypeKind::kNull ||
            (result.kind == TypeKind::kInt && t.kind == TypeKind::kReal))
          result = t;
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
  auto to_num = [](std::string* s, SqlType* t, const SqlType& other) {
    *s = "tsql_num(" + *s + ", " + NumTypeName(other) + ")";
    *t = other.kind == TypeKind::kInt ? SqlType::Of(TypeKind::kInt) : SqlType::Of(TypeKind::kReal);
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
    if (ta.kind == TypeKind::kText && tb.IsNumeric()) to_num(&a, &ta, tb);
    if (tb.kind == TypeKind::kText && ta.IsNumeric()) to_num(&b, &tb, ta);
    if ((ta.IsNumeric() || ta.kind == TypeKind::kNull) &&
        (tb.IsNumeric() || tb.kind == TypeKind::kNull)) {
      *out += "(" + a + " + " + b + ")";
      return Promote(ta, tb);
    }
    *out += "tsql_add(" + a + ", " + b + ")";
    return SqlType();
  }
  if (op == "-" && ta.kind == TypeKind::kDate && tb.IsNumeric()) {
    *out += "tsql_dateadd('day', -(" + b + "), " + a + ")";
    return ta;
  }
  if (ta.kind == TypeKind::kText)
    to_num(&a, &ta, tb.kind == TypeKind::kInt ? tb : SqlType::Of(TypeKind::kReal));
  if (tb.kind == TypeKind::kText)
    to_num(&b, &tb, ta.kind == TypeKind::kInt ? ta : SqlType::Of(TypeKind::kReal));
  if (ta.kind == TypeKind::kDate) a = "tsql_datenum(" + a + ")", ta = SqlType::Of(TypeKind::kReal);
  if (tb.kind == TypeKind::kDate) b = "tsql_datenum(" + b + ")", tb = SqlType::Of(TypeKind::kReal);
  if (op == "/" || op == "%") {
    // A literal divisor other than zero lets SQLite divide natively: its integer division
    // truncates toward zero as SQL Server's does. The divisor's value then shapes the SQL.
    const tsql::Expr& divisor = *e.args[1];
    bool native = false;
    if (divisor.kind == ExprKind::kLiteral && (ta.IsNumeric() || ta.kind == TypeKind::kNull)) {
      const Value& v = resolver_->Literal(divisor.index);
      if (v.kind == Value::Kind::kInt || v.kind == Value::Kind::kReal) {
        resolver_->MarkStructural(divisor.index);
        native = v.kind == Value::Kind::kInt ? v.i != 0 : v.d != 0;
        if (op == "%" && (v.kind != Value::Kind::kInt || ta.kind != TypeKind::kInt)) native = false;
      }
    }
    if (native)
      *out += "(" + a + " " + op + " " + b + ")";
    else
      *out += std::string(op == "/" ? "tsql_div(" : "tsql_mod(") + a + ", " + b + ")";
    return Promote(ta, tb);
  }
  if (op == "^") {
    *out += "tsql_bitxor(" + a + ", " + b + ")";
    return SqlType::Of(TypeKind::kInt);
  }
  *out += "(" + a + " " + op + " " + b + ")";
  if (op == "&" || op == "|") return SqlType::Of(TypeKind::kInt);
  return Promote(ta, tb);
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
      if (t.kind == TypeKind::kInt && target.name != "bit")
        *out += inner;
      else if (t.kind == TypeKind::kReal)
        *out += "CAST(" + inner + " AS INTEGER)";
      else
        *out += "tsql_cast(" + inner + ", " + QuoteText(target.name) + ")";
      return target;
    case TypeKind::kReal:
      if (t.kind == TypeKind::kInt) {
        *out += "CAST(" + inner + " AS REAL)";
      } else if (t.kind == TypeKind::kReal) {
        if (target.scale >= 0)
          *out += "round(" + inner + ", " + std::to_string(target.scale) + ")";
        else
          *out += inner;
      } else {
        *out += "tsql_cast(" + inner + ", 'numeric', " + std::to_string(target.scale) + ")";
      }
      return target;
    case TypeKind::kText: {
      std::string len = std::to_string(target.length);
      if (t.kind == TypeKind::kText) {
        *out += target.length > 0 ? "substr(" + inner + ", 1, " + len + ")" : inner;
      } else if (t.kind == TypeKind::kInt) {
        *out += "CAST(" + inner + " AS TEXT)";
      } else {
        std::string kind = t.kind == TypeKind::kDate ? "'date'"
                           : t.kind == TypeKind::kReal && t.scale >= 0
                               ? "'decimal" + std::to_string(t.scale) + "'"
                               : "''";
        *out +=
            "tsql_totext(" + inner + ", " + kind + ", " + std::to_string(style) + ", " + len + ")";
      }
      return target;
    }
    case TypeKind::kDate:
      if (t.kind == TypeKind::kDate && target.name != "date") {
        *out += inner;
      } else {
        *out += "tsql_date(" + inner + (target.name == "date" ? ", 1)" : ")");
      }
      return target;
    default:
      *out += inner;
      return t;
  }
}

}  // namespace corva::tsql
