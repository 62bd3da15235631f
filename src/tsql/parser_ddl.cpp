// The parser's definitions: CREATE/DROP/ALTER of tables, indexes, procedures and triggers, column
// definitions with IDENTITY, DEFAULT, NULL/NOT NULL and keys, and the stored routine text that a
// later EXEC or DML statement parses again (ParseRoutine).
#include "corva/error.h"
#include "tsql/parser.h"

namespace corva::tsql {

void Parser::SkipOptionalWith() {
  while (true) {
    if (Peek().Is("with") && Peek(1).IsOp('(')) {
      Advance();
      int depth = 0;
      do {
        if (Peek().IsOp('(')) ++depth;
        if (Peek().IsOp(')')) --depth;
        Advance();
      } while (depth > 0 && Peek().kind != TokenKind::kEnd);
    } else if (Peek().Is("on") && (IsNameToken(Peek(1)) || Peek(1).Is("primary"))) {
      Advance();
      Advance();
    } else if (Peek().Is("textimage_on")) {
      Advance();
      Advance();
    } else {
      return;
    }
  }
}

ColumnDefAst Parser::ColumnDefinition() {
  ColumnDefAst c;
  c.name = Name("a column name");
  c.type = Type();
  while (true) {
    const Token& t = Peek();
    if (t.Is("identity")) {
      Advance();
      c.identity = true;
      c.not_null = true;
      if (AcceptOp("(")) {
        c.seed = StructuralInt(Peek());
        ExpectOp(",");
        c.increment = StructuralInt(Peek());
        ExpectOp(")");
      }
    } else if (t.Is("null")) {
      Advance();
    } else if (t.Is("not") && Peek(1).Is("null")) {
      Advance();
      Advance();
      c.not_null = true;
    } else if (t.Is("constraint")) {
      Advance();
      Name("a constraint name");
    } else if (t.Is("default")) {
      Advance();
      size_t from = pos_;
      c.default_value = ParseUnary();
      for (size_t i = from; i < pos_; ++i)
        if (lexed_.tokens[i].literal >= 0)
          result_.structural_literals.push_back(lexed_.tokens[i].literal);
    } else if (t.Is("primary")) {
      Advance();
      Expect("key");
      if (!Accept("clustered")) Accept("nonclustered");
      c.primary_key = true;
      c.not_null = true;
    } else if (t.Is("unique")) {
      Advance();
      if (!Accept("clustered")) Accept("nonclustered");
      c.unique = true;
    } else if (t.Is("check")) {
      Advance();
      ExpectOp("(");
      ParseExpr();
      ExpectOp(")");
    } else if (t.Is("references")) {
      Advance();
      ObjectName();
      if (Peek().IsOp('(')) ColumnList();
    } else if (t.Is("collate") || t.Is("rowguidcol")) {
      Advance();
      if (t.Is("collate")) Name("a collation");
    } else {
      break;
    }
  }
  return c;
}

void Parser::TableDefinition(TableDefAst* def) {
  ExpectOp("(");
  do {
    if (Peek().IsOp(')')) break;  // a trailing comma before ")"
    if (Peek().Is("constraint")) {
      Advance();
      Name("a constraint name");
    }
    const Token& t = Peek();
    if (t.Is("primary")) {
      Advance();
      Expect("key");
      if (!Accept("clustered")) Accept("nonclustered");
      def->primary_key = ColumnList();
      SkipOptionalWith();
    } else if (t.Is("unique")) {
      Advance();
      if (!Accept("clustered")) Accept("nonclustered");
      def->uniques.push_back(ColumnList());
      SkipOptionalWith();
    } else if (t.Is("foreign")) {
      Advance();
      Expect("key");
      ColumnList();
      Expect("references");
      ObjectName();
      if (Peek().IsOp('(')) ColumnList();
      while (Peek().Is("on")) {
        Advance();
        Advance();
        if (!Accept("cascade") && !Accept("restrict")) {
          Advance();
          Advance();
        }
      }
    } else if (t.Is("check")) {
      Advance();
      ExpectOp("(");
      ParseExpr();
      ExpectOp(")");
    } else {
      def->columns.push_back(ColumnDefinition());
    }
  } while (AcceptOp(","));
  ExpectOp(")");
}

StmtPtr Parser::Create() {
  const Token& start = Advance();
  if (Accept("table")) {
    auto s = std::make_unique<CreateTableStmt>();
    s->name = ObjectName();
    TableDefinition(&s->def);
    SkipOptionalWith();
    return s;
  }
  if (Peek().Is("unique") || Peek().Is("clustered") || Peek().Is("nonclustered") ||
      Peek().Is("index")) {
    auto s = std::make_unique<CreateIndexStmt>();
    while (!Peek().Is("index")) {
      if (Peek().Is("unique")) s->unique = true;
      if (Peek().kind == TokenKind::kEnd) Fail(Peek(), "INDEX");
      Advance();
    }
    Advance();
    s->name = Name("an index name");
    Expect("on");
    s->table = ObjectName();
    ExpectOp("(");
    do {
      s->columns.push_back(Name("a column name"));
      bool desc = Accept("desc");
      if (!desc) Accept("asc");
      s->desc.push_back(desc);
    } while (AcceptOp(","));
    ExpectOp(")");
    if (Accept("include")) s->included = ColumnList();
    SkipOptionalWith();
    return s;
  }
  if (Accept("proc") || Accept("procedure")) return CreateProcedure(start, false);
  if (Accept("trigger")) return CreateTrigger(start, false);
  Fail(Peek(), "TABLE, INDEX, PROCEDURE or TRIGGER");
}

StmtPtr Parser::Drop() {
  Advance();
  StmtKind kind;
  if (Accept("table")) {
    kind = StmtKind::kDropTable;
  } else if (Accept("proc") || Accept("procedure")) {
    kind = StmtKind::kDropProc;
  } else if (Accept("trigger")) {
    kind = StmtKind::kDropTrigger;
  } else if (Accept("index")) {
    kind = StmtKind::kDropIndex;
  } else {
    Fail(Peek(), "TABLE, PROCEDURE, TRIGGER or INDEX");
  }
  auto s = std::make_unique<NamesStmt>(kind);
  if (Peek().Is("if") && Peek(1).Is("exists")) {
    Advance();
    Advance();
    s->if_exists = true;
  }
  do {
    s->names.push_back(ObjectName());
    if (kind == StmtKind::kDropIndex && Accept("on")) s->table = ObjectName();
  } while (AcceptOp(","));
  return s;
}

StmtPtr Parser::Alter() {
  const Token& start = Advance();
  if (Accept("proc") || Accept("procedure")) return CreateProcedure(start, true);
  if (Accept("trigger")) return CreateTrigger(start, true);
  Expect("table");
  std::vector<std::string> table = ObjectName();
  if (Peek().Is("enable") || Peek().Is("disable")) {
    auto s = std::make_unique<TriggerSwitchStmt>();
    s->table = std::move(table);
    s->enable = Advance().Is("enable");
    Expect("trigger");
    if (!Accept("all")) {
      do s->triggers.push_back(ObjectName().back());
      while (AcceptOp(","));
    }
    return s;
  }
  if (Accept("add")) {
    auto s = std::make_unique<AlterAddColumnStmt>();
    s->table = std::move(table);
    Accept("column");
    do s->columns.push_back(ColumnDefinition());
    while (AcceptOp(","));
    return s;
  }
  Fail(Peek(), "ENABLE, DISABLE or ADD");
}

namespace {

// Restores the parser's frame when a routine body has been parsed.
struct FrameSwap {
  Program** program;
  Program* saved;
  std::unordered_map<std::string, int>* slots;
  std::unordered_map<std::string, int> saved_slots;
  FrameSwap(Program** p, Program* next, std::unordered_map<std::string, int>* s)
      : program(p), saved(*p), slots(s), saved_slots(std::move(*s)) {
    *program = next;
    slots->clear();
  }
  ~FrameSwap() {
    *program = saved;
    *slots = std::move(saved_slots);
  }
};

}  // namespace

StmtPtr Parser::CreateProcedure(const Token& start, bool alter) {
  auto s = std::make_unique<CreateProcStmt>();
  s->alter = alter;
  s->name = ObjectName();
  s->text = std::string(text_.substr(static_cast<size_t>(start.offset)));
  auto body = std::make_unique<Program>();
  {
    FrameSwap swap(&program_, body.get(), &var_slots_);
    if (Peek().IsOp(';') && Peek(1).kind == TokenKind::kInteger) Advance(), Advance();
    bool paren = AcceptOp("(");
    while (Peek().kind == TokenKind::kVariable) {
      const Token& v = Advance();
      Accept("as");
      SqlType type = Type();
      Accept("varying");
      ExprPtr def;
      if (AcceptOp("=")) def = ParseUnary();
      bool output = Accept("output") || Accept("out");
      Accept("readonly");
      DeclareVariable(v, std::move(type), false);
      program_->param_output.push_back(output);
      program_->param_defaults.push_back(std::move(def));
      ++program_->param_count;
      if (!AcceptOp(",")) break;
    }
    if (paren) ExpectOp(")");
    if (Accept("with")) {
      do Name("a procedure option");
      while (AcceptOp(","));
    }
    Expect("as");
    while (true) {
      while (AcceptOp(";")) {
      }
      if (Peek().kind == TokenKind::kEnd) break;
      program_->stmts.push_back(Statement());
    }
  }
  result_.cacheable = false;
  if (!result_.program) result_.program = std::move(body);
  return s;
}

StmtPtr Parser::CreateTrigger(const Token& start, bool alter) {
  auto s = std::make_unique<CreateTriggerStmt>();
  s->alter = alter;
  s->name = ObjectName();
  s->text = std::string(text_.substr(static_cast<size_t>(start.offset)));
  Expect("on");
  s->table = ObjectName();
  if (Accept("with")) Name("a trigger option");
  if (Accept("instead")) {
    Fail(Peek(), "AFTER or FOR (INSTEAD OF triggers are not supported)");
  }
  if (!Accept("after") && !Accept("for")) Fail(Peek(), "AFTER or FOR");
  do {
    const Token& e = Peek();
    if (!(e.Is("insert") || e.Is("update") || e.Is("delete"))) Fail(e, "INSERT, UPDATE or DELETE");
    s->events.push_back(ToLower(Advance().value));
  } while (AcceptOp(","));
  if (Peek().Is("not") && Peek(1).Is("for")) {
    Advance();
    Advance();
    Expect("replication");
  }
  Expect("as");
  auto body = std::make_unique<Program>();
  {
    FrameSwap swap(&program_, body.get(), &var_slots_);
    while (true) {
      while (AcceptOp(";")) {
      }
      if (Peek().kind == TokenKind::kEnd) break;
      program_->stmts.push_back(Statement());
    }
  }
  result_.cacheable = false;
  if (!result_.program) result_.program = std::move(body);
  return s;
}

ParseResult Parser::Routine() {
  // The routine's own Program becomes the result (CreateProcedure/CreateTrigger fill it in when
  // result_.program is still empty).
  Program outer;
  program_ = &outer;
  const Token& start = Peek();
  if (!Accept("create") && !Accept("alter")) Fail(start, "CREATE");
  if (Accept("proc") || Accept("procedure")) {
    CreateProcedure(start, false);
  } else if (Accept("trigger")) {
    CreateTrigger(start, false);
  } else {
    Fail(Peek(), "PROCEDURE or TRIGGER");
  }
  return std::move(result_);
}

}  // namespace corva::tsql
