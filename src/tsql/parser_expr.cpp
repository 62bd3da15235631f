// The parser's queries and expressions: SELECT cores with set operations and ORDER BY, FROM lists
// with joins and derived tables, and expressions by precedence (OR, AND, NOT, predicates,
// additive, multiplicative, unary, primary).
#include <cstdlib>

#include "corva/error.h"
#include "tsql/parser.h"

namespace corva::tsql {

ExprPtr Parser::NewExpr(ExprKind kind, const Token& at) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->line = at.line;
  e->column = at.column;
  return e;
}

bool Parser::StartsQuery(int ahead) const {
  int i = ahead;
  while (Peek(i).IsOp('(')) ++i;
  return Peek(i).Is("select");
}

bool Parser::IsAliasToken(const Token& t) const {
  if (t.kind == TokenKind::kQuotedIdentifier) return true;
  return t.kind == TokenKind::kIdentifier && !IsReservedWord(t.value);
}

std::unique_ptr<Query> Parser::ParseQuery() {
  Nesting nesting(this);
  auto q = std::make_unique<Query>();
  auto core_or_parenthesized = [&]() {
    if (Peek().IsOp('(') && StartsQuery()) {
      // A parenthesized operand: "(SELECT ...) UNION (SELECT ...)".
      Advance();
      std::unique_ptr<Query> inner = ParseQuery();
      ExpectOp(")");
      for (auto& c : inner->cores) q->cores.push_back(std::move(c));
      for (auto& o : inner->set_ops) q->set_ops.push_back(o);
      return;
    }
    q->cores.push_back(ParseSelectCore());
  };
  core_or_parenthesized();
  while (true) {
    if (Peek().Is("union")) {
      Advance();
      q->set_ops.push_back(Accept("all") ? "union all" : "union");
    } else if (Peek().Is("except")) {
      Advance();
      q->set_ops.push_back("except");
    } else if (Peek().Is("intersect")) {
      Advance();
      q->set_ops.push_back("intersect");
    } else {
      break;
    }
    core_or_parenthesized();
  }
  if (Peek().Is("order") && Peek(1).Is("by")) {
    Advance();
    Advance();
    do {
      OrderItem item;
      const Token& t = Peek();
      if (t.kind == TokenKind::kInteger) result_.structural_literals.push_back(t.literal);
      item.expr = ParseExpr();
      if (Accept("desc"))
        item.desc = true;
      else
        Accept("asc");
      q->order_by.push_back(std::move(item));
    } while (AcceptOp(","));
  }
  return q;
}

SelectCore Parser::ParseSelectCore() {
  SelectCore core;
  const Token& start = Peek();
  core.line = start.line;
  core.column = start.column;
  Expect("select");
  if (Accept("distinct"))
    core.distinct = true;
  else
    Accept("all");
  if (Accept("top")) {
    if (AcceptOp("(")) {
      core.top = ParseExpr();
      ExpectOp(")");
    } else {
      const Token& n = Peek();
      if (n.kind != TokenKind::kInteger && n.kind != TokenKind::kVariable &&
          n.kind != TokenKind::kDecimal)
        Fail(n, "a number after TOP");
      core.top = ParsePrimary();
    }
    if (Accept("percent")) core.top_percent = true;
    if (Peek().Is("with") && Peek(1).Is("ties")) Advance(), Advance();
  }
  do {
    SelectItem item;
    const Token& t = Peek();
    if (t.kind == TokenKind::kVariable &&
        (Peek(1).IsOp("=") ||
         ((Peek(1).IsOp("+") || Peek(1).IsOp("-") || Peek(1).IsOp("*") || Peek(1).IsOp("/")) &&
          Peek(2).IsOp("=")))) {
      item.assign_slot = VariableSlot(t);
      Advance();
      if (!Peek().IsOp("=")) {
        // "@v += expr" is "@v = @v + expr".
        const Token& op = Advance();
        Advance();
        auto var = NewExpr(ExprKind::kVariable, t);
        var->index = item.assign_slot;
        auto bin = NewExpr(ExprKind::kBinary, op);
        bin->name = op.value;
        bin->args.push_back(std::move(var));
        bin->args.push_back(ParseAdditive());
        item.expr = std::move(bin);
      } else {
        Advance();
        item.expr = ParseAdditive();
      }
    } else if ((t.kind == TokenKind::kIdentifier || t.kind == TokenKind::kQuotedIdentifier ||
                t.kind == TokenKind::kString) &&
               Peek(1).IsOp("=") &&
               (t.kind != TokenKind::kIdentifier || !IsReservedWord(t.value))) {
      item.alias = t.value;
      Advance();
      Advance();
      item.expr = ParseAdditive();
    } else {
      item.expr = ParseAdditive();
      if (item.expr->kind == ExprKind::kStar) {
        core.items.push_back(std::move(item));
        continue;
      }
      if (Accept("as")) {
        const Token& a = Peek();
        if (a.kind != TokenKind::kIdentifier && a.kind != TokenKind::kQuotedIdentifier &&
            a.kind != TokenKind::kString)
          Fail(a, "an alias after AS");
        item.alias = Advance().value;
      } else if (IsAliasToken(Peek()) || Peek().kind == TokenKind::kString) {
        item.alias = Advance().value;
      }
    }
    core.items.push_back(std::move(item));
  } while (AcceptOp(","));
  if (Accept("into")) core.into = ObjectName();
  if (Accept("from")) ParseFromList(&core.from);
  if (Accept("where")) core.where = ParseExpr();
  if (Peek().Is("group") && Peek(1).Is("by")) {
    Advance();
    Advance();
    do core.group_by.push_back(ParseExpr());
    while (AcceptOp(","));
  }
  if (Accept("having")) core.having = ParseExpr();
  return core;
}

void Parser::ParseFromList(std::vector<TableRefPtr>* out) {
  do out->push_back(ParseTableRef());
  while (AcceptOp(","));
}

TableRefPtr Parser::ParseTableRef() {
  TableRefPtr left = ParseTablePrimary();
  while (true) {
    const Token& t = Peek();
    std::string join;
    if (t.Is("join")) {
      Advance();
      join = "inner";
    } else if (t.Is("inner") && Peek(1).Is("join")) {
      Advance(), Advance();
      join = "inner";
    } else if ((t.Is("left") || t.Is("right") || t.Is("full")) &&
               (Peek(1).Is("join") || (Peek(1).Is("outer") && Peek(2).Is("join")))) {
      join = ToLower(t.value);
      Advance();
      Accept("outer");
      Advance();
    } else if (t.Is("cross") && Peek(1).Is("join")) {
      Advance(), Advance();
      join = "cross";
    } else {
      break;
    }
    auto j = std::make_unique<TableRef>();
    j->kind = TableRef::Kind::kJoin;
    j->line = t.line;
    j->column = t.column;
    j->join = join;
    j->left = std::move(left);
    j->right = ParseTablePrimary();
    if (join != "cross") {
      Expect("on");
      j->on = ParseExpr();
    }
    left = std::move(j);
  }
  return left;
}

TableRefPtr Parser::ParseTablePrimary() {
  const Token& t = Peek();
  auto ref = std::make_unique<TableRef>();
  ref->line = t.line;
  ref->column = t.column;
  if (t.IsOp('(')) {
    if (StartsQuery(1)) {
      Advance();
      ref->kind = TableRef::Kind::kDerived;
      ref->query = ParseQuery();
      ExpectOp(")");
    } else {
      Advance();
      TableRefPtr inner = ParseTableRef();
      ExpectOp(")");
      return inner;
    }
  } else if (t.kind == TokenKind::kVariable) {
    Advance();
    if (var_slots_.find(ToLower(t.value)) == var_slots_.end())
      throw corva::Error(1087, "corva.tsql", "Must declare the table variable \"" + t.value + "\".")
          .SetPosition(t.line, t.column);
    ref->name = {t.value};
  } else {
    ref->name = ObjectName();
  }
  if (Accept("as")) {
    ref->alias = Name("an alias");
  } else if (IsAliasToken(Peek())) {
    ref->alias = Advance().value;
  }
  // Table hints: "WITH (NOLOCK)" or "(NOLOCK)".
  if (Peek().Is("with") && Peek(1).IsOp('(')) {
    Advance();
  }
  if (Peek().IsOp('(') &&
      (Peek(1).Is("nolock") || Peek(1).Is("readuncommitted") || Peek(1).Is("updlock") ||
       Peek(1).Is("rowlock") || Peek(1).Is("holdlock") || Peek(1).Is("tablock") ||
       Peek(1).Is("index") || Peek(1).Is("readpast"))) {
    int depth = 0;
    do {
      if (Peek().IsOp('(')) ++depth;
      if (Peek().IsOp(')')) --depth;
      Advance();
    } while (depth > 0 && Peek().kind != TokenKind::kEnd);
  }
  if (ref->kind == TableRef::Kind::kDerived && ref->alias.empty())
    Fail(Peek(), "an alias for the derived table");
  return ref;
}

// Expressions ------------------------------------------------------------------------------------

ExprPtr Parser::ParseExpr() {
  Nesting nesting(this);
  ExprPtr left = ParseAnd();
  while (Peek().Is("or")) {
    const Token& op = Advance();
    auto e = NewExpr(ExprKind::kOr, op);
    e->args.push_back(std::move(left));
    e->args.push_back(ParseAnd());
    left = std::move(e);
  }
  return left;
}

ExprPtr Parser::ParseAnd() {
  ExprPtr left = ParseNot();
  while (Peek().Is("and")) {
    const Token& op = Advance();
    auto e = NewExpr(ExprKind::kAnd, op);
    e->args.push_back(std::move(left));
    e->args.push_back(ParseNot());
    left = std::move(e);
  }
  return left;
}

ExprPtr Parser::ParseNot() {
  if (Peek().Is("not")) {
    const Token& op = Advance();
    auto e = NewExpr(ExprKind::kNot, op);
    e->args.push_back(ParseNot());
    return e;
  }
  return ParsePredicate();
}

ExprPtr Parser::ParsePredicate() {
  const Token& start = Peek();
  if (start.Is("exists")) {
    Advance();
    ExpectOp("(");
    auto e = NewExpr(ExprKind::kExists, start);
    e->query = ParseQuery();
    ExpectOp(")");
    return e;
  }
  ExprPtr left = ParseAdditive();
  const Token& t = Peek();
  if (t.kind == TokenKind::kOperator &&
      (t.value == "=" || t.value == "<>" || t.value == "!=" || t.value == "<" || t.value == ">" ||
       t.value == "<=" || t.value == ">=" || t.value == "!<" || t.value == "!>")) {
    Advance();
    auto e = NewExpr(ExprKind::kCompare, t);
    e->name = t.value == "!=" ? "<>" : t.value == "!<" ? ">=" : t.value == "!>" ? "<=" : t.value;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseAdditive());
    return e;
  }
  bool negated = false;
  if (t.Is("not") && (Peek(1).Is("between") || Peek(1).Is("in") || Peek(1).Is("like"))) {
    Advance();
    negated = true;
  }
  const Token& k = Peek();
  if (k.Is("between")) {
    Advance();
    auto e = NewExpr(ExprKind::kBetween, k);
    e->negated = negated;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseAdditive());
    Expect("and");
    e->args.push_back(ParseAdditive());
    return e;
  }
  if (k.Is("in")) {
    Advance();
    ExpectOp("(");
    if (StartsQuery()) {
      auto e = NewExpr(ExprKind::kInQuery, k);
      e->negated = negated;
      e->args.push_back(std::move(left));
      e->query = ParseQuery();
      ExpectOp(")");
      return e;
    }
    auto e = NewExpr(ExprKind::kInList, k);
    e->negated = negated;
    e->args.push_back(std::move(left));
    do e->args.push_back(ParseExpr());
    while (AcceptOp(","));
    ExpectOp(")");
    return e;
  }
  if (k.Is("like")) {
    Advance();
    auto e = NewExpr(ExprKind::kLike, k);
    e->negated = negated;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseAdditive());
    if (Accept("escape")) e->args.push_back(ParseAdditive());
    return e;
  }
  if (k.Is("is")) {
    Advance();
    auto e = NewExpr(ExprKind::kIsNull, k);
    e->negated = Accept("not");
    Expect("null");
    e->args.push_back(std::move(left));
    return e;
  }
  return left;
}

ExprPtr Parser::ParseAdditive() {
  ExprPtr left = ParseMultiplicative();
  while (true) {
    const Token& t = Peek();
    if (!(t.IsOp('+') || t.IsOp('-') || t.IsOp('&') || t.IsOp('|') || t.IsOp('^'))) break;
    Advance();
    auto e = NewExpr(ExprKind::kBinary, t);
    e->name = t.value;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseMultiplicative());
    left = std::move(e);
  }
  return left;
}

ExprPtr Parser::ParseMultiplicative() {
  ExprPtr left = ParseUnary();
  while (true) {
    const Token& t = Peek();
    if (!(t.IsOp('*') || t.IsOp('/') || t.IsOp('%'))) break;
    Advance();
    auto e = NewExpr(ExprKind::kBinary, t);
    e->name = t.value;
    e->args.push_back(std::move(left));
    e->args.push_back(ParseUnary());
    left = std::move(e);
  }
  return left;
}

ExprPtr Parser::ParseUnary() {
  const Token& t = Peek();
  if (t.IsOp('-') || t.IsOp('+') || t.IsOp('~')) {
    Nesting nesting(this);
    Advance();
    auto e = NewExpr(ExprKind::kUnary, t);
    e->name = t.value;
    e->args.push_back(ParseUnary());
    return e;
  }
  return ParsePrimary();
}

ExprPtr Parser::ParseCase(const Token& start) {
  auto e = NewExpr(ExprKind::kCase, start);
  if (!Peek().Is("when")) {
    e->has_operand = true;
    e->args.push_back(ParseExpr());
  }
  if (!Peek().Is("when")) Fail(Peek(), "WHEN");
  while (Accept("when")) {
    e->args.push_back(ParseExpr());
    Expect("then");
    e->args.push_back(ParseExpr());
  }
  if (Accept("else")) {
    e->has_else = true;
    e->args.push_back(ParseExpr());
  }
  Expect("end");
  return e;
}

ExprPtr Parser::ParsePrimary() {
  const Token& t = Peek();
  switch (t.kind) {
    case TokenKind::kInteger:
    case TokenKind::kDecimal:
    case TokenKind::kString:
    case TokenKind::kNString: {
      Advance();
      auto e = NewExpr(ExprKind::kLiteral, t);
      e->index = t.literal;
      if (t.kind == TokenKind::kInteger || t.kind == TokenKind::kDecimal) {
        e->type = ValueType(lexed_.literals[t.literal]);
      } else {
        // Of unknown length here: literals of any length share one cached parse.
        e->type = SqlType::FromName(t.kind == TokenKind::kNString ? "nvarchar" : "varchar", -1);
      }
      return e;
    }
    case TokenKind::kParam: {
      Advance();
      auto e = NewExpr(ExprKind::kParam, t);
      e->index = t.literal;
      return e;
    }
    case TokenKind::kVariable: {
      Advance();
      auto e = NewExpr(ExprKind::kVariable, t);
      e->index = VariableSlot(t);
      e->type = program_->vars[e->index].type;
      return e;
    }
    case TokenKind::kSystemVariable: {
      Advance();
      auto e = NewExpr(ExprKind::kSystemVar, t);
      e->name = ToLower(t.value.substr(2));
      return e;
    }
    case TokenKind::kOperator:
      if (t.IsOp('(')) {
        Advance();
        if (StartsQuery()) {
          auto e = NewExpr(ExprKind::kSubquery, t);
          e->query = ParseQuery();
          ExpectOp(")");
          return e;
        }
        ExprPtr inner = ParseExpr();
        ExpectOp(")");
        return inner;
      }
      if (t.IsOp('*')) {
        Advance();
        return NewExpr(ExprKind::kStar, t);
      }
      break;
    case TokenKind::kIdentifier:
    case TokenKind::kQuotedIdentifier: {
      if (t.kind == TokenKind::kIdentifier) {
        if (t.Is("null")) {
          Advance();
          return NewExpr(ExprKind::kNull, t);
        }
        if (t.Is("case")) {
          Advance();
          return ParseCase(t);
        }
        if ((t.Is("cast") || t.Is("try_cast")) && Peek(1).IsOp('(')) {
          Advance();
          Advance();
          auto e = NewExpr(ExprKind::kCast, t);
          e->args.push_back(ParseExpr());
          Expect("as");
          e->type = Type();
          ExpectOp(")");
          return e;
        }
        if ((t.Is("convert") || t.Is("try_convert")) && Peek(1).IsOp('(')) {
          Advance();
          Advance();
          auto e = NewExpr(ExprKind::kCast, t);
          e->is_convert = true;
          e->type = Type();
          ExpectOp(",");
          e->args.push_back(ParseExpr());
          if (AcceptOp(",")) {
            const Token& style = Peek();
            if (style.kind == TokenKind::kInteger)
              result_.structural_literals.push_back(style.literal);
            e->args.push_back(ParseExpr());
          }
          ExpectOp(")");
          return e;
        }
        if (t.Is("update") && Peek(1).IsOp('(')) {
          // UPDATE(column) inside a trigger: true when the statement may have set the column.
          Advance();
          Advance();
          Name("a column name");
          ExpectOp(")");
          auto e = NewExpr(ExprKind::kSystemVar, t);
          e->name = "trigger_update";
          return e;
        }
        if (IsReservedWord(t.value) &&
            !(Peek(1).IsOp('(') && (t.Is("left") || t.Is("right") || t.Is("coalesce") ||
                                    t.Is("nullif") || t.Is("user") || t.Is("current_user")))) {
          if (t.Is("current_timestamp")) {
            Advance();
            auto e = NewExpr(ExprKind::kFunction, t);
            e->name = "getdate";
            return e;
          }
          Fail(t, "an expression");
        }
      }
      Advance();
      std::vector<std::string> parts{t.value};
      while (Peek().IsOp('.')) {
        Advance();
        if (Peek().IsOp('*')) {
          Advance();
          auto e = NewExpr(ExprKind::kStar, t);
          e->qualifier = parts;
          return e;
        }
        if (Peek().IsOp('.')) {  // "db..name"
          parts.push_back("");
          continue;
        }
        parts.push_back(Name("a column name"));
      }
      if (Peek().IsOp('(')) return ParseFunction(t, std::move(parts));
      auto e = NewExpr(ExprKind::kColumn, t);
      e->name = parts.back();
      parts.pop_back();
      e->qualifier = std::move(parts);
      return e;
    }
    default:
      break;
  }
  Fail(t, "an expression");
}

ExprPtr Parser::ParseFunction(const Token& name_token, std::vector<std::string> parts) {
  auto e = NewExpr(ExprKind::kFunction, name_token);
  e->name = ToLower(parts.back());
  ExpectOp("(");
  if (AcceptOp(")")) return e;
  if (Peek().IsOp('*') && Peek(1).IsOp(')')) {
    Advance();
    Advance();
    e->star = true;
    return e;
  }
  if (Accept("distinct"))
    e->distinct = true;
  else
    Accept("all");
  do e->args.push_back(ParseExpr());
  while (AcceptOp(","));
  ExpectOp(")");
  if (Peek().Is("over")) Fail(Peek(), "no window clause (not supported)");
  return e;
}

}  // namespace corva::tsql
