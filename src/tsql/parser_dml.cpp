// The parser's data statements: INSERT (VALUES, SELECT, EXEC), UPDATE and DELETE with FROM lists
// and WHERE CURRENT OF, EXEC with its arguments, the cursor statements and RAISERROR.
#include "corva/error.h"
#include "tsql/parser.h"

namespace corva::tsql {

std::vector<std::string> Parser::ColumnList() {
  std::vector<std::string> cols;
  ExpectOp("(");
  do {
    cols.push_back(Name("a column name"));
    if (!Accept("asc")) Accept("desc");
  } while (AcceptOp(","));
  ExpectOp(")");
  return cols;
}

StmtPtr Parser::Insert() {
  Advance();
  auto s = std::make_unique<InsertStmt>();
  Accept("into");
  s->table = ObjectName();
  if (Peek().IsOp('(') && !StartsQuery()) {
    Advance();
    do {
      std::vector<std::string> col = ObjectName();
      s->columns.push_back(col.back());
    } while (AcceptOp(","));
    ExpectOp(")");
  }
  if (Accept("values")) {
    do {
      ExpectOp("(");
      std::vector<ExprPtr> row;
      do {
        if (Peek().Is("default")) Fail(Peek(), "a value (DEFAULT in VALUES is not supported)");
        row.push_back(ParseAdditive());
      } while (AcceptOp(","));
      ExpectOp(")");
      s->rows.push_back(std::move(row));
    } while (AcceptOp(","));
  } else if (StartsQuery()) {
    s->query = ParseQuery();
  } else if (Peek().Is("exec") || Peek().Is("execute")) {
    Advance();
    s->exec = Exec(false);
  } else if (Peek().Is("default") && Peek(1).Is("values")) {
    Advance();
    Advance();
    s->default_values = true;
  } else {
    Fail(Peek(), "VALUES, SELECT or EXEC");
  }
  return s;
}

StmtPtr Parser::Update() {
  Advance();
  auto s = std::make_unique<UpdateStmt>();
  if (Accept("top")) {
    ExpectOp("(");
    s->top = ParseExpr();
    ExpectOp(")");
  }
  s->target = ObjectName();
  if (Peek().Is("with") && Peek(1).IsOp('(')) {
    Advance();
    while (!Peek().IsOp(')')) Advance();
    Advance();
  }
  Expect("set");
  do {
    SetClause c;
    const Token& t = Peek();
    if (t.kind == TokenKind::kVariable) {
      Advance();
      c.var_slot = VariableSlot(t);
      ExpectOp("=");
      if (IsNameToken(Peek()) && Peek(1).IsOp('=')) {
        // "SET @v = column = expr": the variable takes the column's new value.
        c.column = {Advance().value};
        Advance();
      }
    } else {
      c.column = ObjectName();
      const Token& op = Peek();
      if ((op.IsOp('+') || op.IsOp('-') || op.IsOp('*') || op.IsOp('/')) && Peek(1).IsOp('=')) {
        Advance();
        Advance();
        auto col = NewExpr(ExprKind::kColumn, t);
        col->name = c.column.back();
        col->qualifier.assign(c.column.begin(), c.column.end() - 1);
        auto bin = NewExpr(ExprKind::kBinary, op);
        bin->name = op.value;
        bin->args.push_back(std::move(col));
        bin->args.push_back(ParseAdditive());
        c.value = std::move(bin);
        s->sets.push_back(std::move(c));
        continue;
      }
      ExpectOp("=");
    }
    c.value = ParseAdditive();
    s->sets.push_back(std::move(c));
  } while (AcceptOp(","));
  if (Accept("from")) ParseFromList(&s->from);
  if (Accept("where")) {
    if (Peek().Is("current") && Peek(1).Is("of")) {
      Advance();
      Advance();
      Accept("global");
      s->current_of = Name("a cursor name");
    } else {
      s->where = ParseExpr();
    }
  }
  if (Peek().Is("option") && Peek(1).IsOp('(')) {
    Advance();
    while (!Peek().IsOp(')') && Peek().kind != TokenKind::kEnd) Advance();
    Advance();
  }
  return s;
}

StmtPtr Parser::Delete() {
  Advance();
  auto s = std::make_unique<DeleteStmt>();
  if (Accept("top")) {
    ExpectOp("(");
    s->top = ParseExpr();
    ExpectOp(")");
  }
  Accept("from");
  s->target = ObjectName();
  if (Accept("from")) {
    ParseFromList(&s->from);
  } else if (IsAliasToken(Peek())) {
    // "DELETE FROM t alias WHERE ...": an alias on the target itself.
    auto ref = std::make_unique<TableRef>();
    ref->name = s->target;
    ref->alias = Advance().value;
    s->target = {ref->alias};
    s->from.push_back(std::move(ref));
  }
  if (Accept("where")) {
    if (Peek().Is("current") && Peek(1).Is("of")) {
      Advance();
      Advance();
      Accept("global");
      s->current_of = Name("a cursor name");
    } else {
      s->where = ParseExpr();
    }
  }
  return s;
}

std::unique_ptr<ExecStmt> Parser::Exec(bool implicit) {
  auto s = std::make_unique<ExecStmt>();
  const Token& start = Peek();
  s->line = start.line;
  s->column = start.column;
  if (!implicit && Peek().kind == TokenKind::kVariable && Peek(1).IsOp('=')) {
    s->return_slot = VariableSlot(Advance());
    Advance();
  }
  if (Peek().kind == TokenKind::kVariable) {
    s->proc_name_var = ParsePrimary();
  } else {
    s->proc = ObjectName();
  }
  if (Peek().IsOp(';') && Peek(1).kind == TokenKind::kInteger) Advance(), Advance();
  // Arguments run to the end of the statement: a value, a variable or "@name = value".
  bool first = true;
  while (true) {
    const Token& t = Peek();
    if (first) {
      bool starts = t.IsLiteral() || t.kind == TokenKind::kVariable || t.IsOp('-') || t.IsOp('+') ||
                    t.kind == TokenKind::kParam || t.Is("null") || t.Is("default") ||
                    t.kind == TokenKind::kSystemVariable ||
                    (t.kind == TokenKind::kIdentifier && !IsReservedWord(t.value) &&
                     Peek(1).kind != TokenKind::kOperator && false);
      if (!starts) break;
    }
    first = false;
    ExecArg arg;
    if (t.kind == TokenKind::kVariable && Peek(1).IsOp('=')) {
      arg.name = t.value;
      Advance();
      Advance();
    }
    if (Peek().Is("default")) {
      Advance();
    } else {
      arg.value = ParseExpr();
    }
    if (Accept("output") || Accept("out")) arg.output = true;
    s->args.push_back(std::move(arg));
    if (!AcceptOp(",")) break;
  }
  if (Peek().Is("with") && Peek(1).Is("recompile")) Advance(), Advance();
  return s;
}

StmtPtr Parser::Cursor(StmtKind kind) {
  Advance();
  auto s = std::make_unique<NamesStmt>(kind);
  Accept("global");
  s->names.push_back({Name("a cursor name")});
  return s;
}

StmtPtr Parser::Fetch() {
  Advance();
  auto s = std::make_unique<FetchStmt>();
  const Token& d = Peek();
  if (d.Is("next")) {
    Advance();
  } else if (d.Is("prior")) {
    Advance();
    s->direction = FetchDirection::kPrior;
  } else if (d.Is("first")) {
    Advance();
    s->direction = FetchDirection::kFirst;
  } else if (d.Is("last")) {
    Advance();
    s->direction = FetchDirection::kLast;
  } else if (d.Is("absolute") || d.Is("relative")) {
    Advance();
    s->direction = d.Is("absolute") ? FetchDirection::kAbsolute : FetchDirection::kRelative;
    s->offset = ParseUnary();
  }
  Accept("from");
  Accept("global");
  s->cursor = Name("a cursor name");
  if (Accept("into")) {
    do {
      const Token& v = Peek();
      if (v.kind != TokenKind::kVariable) Fail(v, "a variable");
      s->into.push_back(VariableSlot(Advance()));
    } while (AcceptOp(","));
  }
  return s;
}

StmtPtr Parser::Raiserror() {
  Advance();
  auto s = std::make_unique<RaiserrorStmt>();
  ExpectOp("(");
  do s->args.push_back(ParseExpr());
  while (AcceptOp(","));
  ExpectOp(")");
  if (Accept("with")) {
    do Name("an option");
    while (AcceptOp(","));
  }
  return s;
}

}  // namespace corva::tsql
