// The parser's statements: token handling, errors with position, variable slots, and one method
// per statement kind (control flow, declarations, DML, DDL, cursors, procedures and triggers).
#include "tsql/parser.h"

#include <algorithm>
#include <unordered_set>

#include "corva/error.h"

namespace corva::tsql {
namespace {

const std::unordered_set<std::string>& ReservedWords() {
  static const std::unordered_set<std::string> kWords = {"add",
                                                         "all",
                                                         "alter",
                                                         "and",
                                                         "any",
                                                         "as",
                                                         "asc",
                                                         "authorization",
                                                         "backup",
                                                         "begin",
                                                         "between",
                                                         "break",
                                                         "browse",
                                                         "bulk",
                                                         "by",
                                                         "cascade",
                                                         "case",
                                                         "check",
                                                         "checkpoint",
                                                         "close",
                                                         "clustered",
                                                         "coalesce",
                                                         "collate",
                                                         "column",
                                                         "commit",
                                                         "compute",
                                                         "constraint",
                                                         "contains",
                                                         "continue",
                                                         "convert",
                                                         "create",
                                                         "cross",
                                                         "current",
                                                         "current_date",
                                                         "current_time",
                                                         "current_timestamp",
                                                         "current_user",
                                                         "cursor",
                                                         "database",
                                                         "dbcc",
                                                         "deallocate",
                                                         "declare",
                                                         "default",
                                                         "delete",
                                                         "deny",
                                                         "desc",
                                                         "disk",
                                                         "distinct",
                                                         "distributed",
                                                         "double",
                                                         "drop",
                                                         "dump",
                                                         "else",
                                                         "end",
                                                         "errlvl",
                                                         "escape",
                                                         "except",
                                                         "exec",
                                                         "execute",
                                                         "exists",
                                                         "exit",
                                                         "external",
                                                         "fetch",
                                                         "file",
                                                         "fillfactor",
                                                         "for",
                                                         "foreign",
                                                         "freetext",
                                                         "from",
                                                         "full",
                                                         "function",
                                                         "goto",
                                                         "grant",
                                                         "group",
                                                         "having",
                                                         "holdlock",
                                                         "identity",
                                                         "identity_insert",
                                                         "identitycol",
                                                         "if",
                                                         "in",
                                                         "index",
                                                         "inner",
                                                         "insert",
                                                         "intersect",
                                                         "into",
                                                         "is",
                                                         "join",
                                                         "key",
                                                         "kill",
                                                         "left",
                                                         "like",
                                                         "lineno",
                                                         "load",
                                                         "merge",
                                                         "national",
                                                         "nocheck",
                                                         "nonclustered",
                                                         "not",
                                                         "null",
                                                         "nullif",
                                                         "of",
                                                         "off",
                                                         "offsets",
                                                         "on",
                                                         "open",
                                                         "opendatasource",
                                                         "openquery",
                                                         "openrowset",
                                                         "openxml",
                                                         "option",
                                                         "or",
                                                         "order",
                                                         "outer",
                                                         "over",
                                                         "percent",
                                                         "pivot",
                                                         "plan",
                                                         "precision",
                                                         "primary",
                                                         "print",
                                                         "proc",
                                                         "procedure",
                                                         "public",
                                                         "raiserror",
                                                         "read",
                                                         "readtext",
                                                         "reconfigure",
                                                         "references",
                                                         "replication",
                                                         "restore",
                                                         "restrict",
                                                         "return",
                                                         "revert",
                                                         "revoke",
                                                         "right",
                                                         "rollback",
                                                         "rowcount",
                                                         "rowguidcol",
                                                         "rule",
                                                         "save",
                                                         "schema",
                                                         "select",
                                                         "session_user",
                                                         "set",
                                                         "setuser",
                                                         "shutdown",
                                                         "some",
                                                         "statistics",
                                                         "system_user",
                                                         "table",
                                                         "tablesample",
                                                         "textsize",
                                                         "then",
                                                         "to",
                                                         "top",
                                                         "tran",
                                                         "transaction",
                                                         "trigger",
                                                         "truncate",
                                                         "union",
                                                         "unique",
                                                         "unpivot",
                                                         "update",
                                                         "updatetext",
                                                         "use",
                                                         "user",
                                                         "values",
                                                         "varying",
                                                         "view",
                                                         "waitfor",
                                                         "when",
                                                         "where",
                                                         "while",
                                                         "with",
                                                         "writetext"};
  return kWords;
}

std::string TokenText(const Token& t) {
  switch (t.kind) {
    case TokenKind::kInteger:
    case TokenKind::kDecimal:
    case TokenKind::kIdentifier:
    case TokenKind::kQuotedIdentifier:
    case TokenKind::kVariable:
    case TokenKind::kSystemVariable:
    case TokenKind::kOperator:
    case TokenKind::kString:
    case TokenKind::kNString:
    case TokenKind::kParam:
      return t.value;
    default:
      return "";
  }
}

}  // namespace

bool IsReservedWord(std::string_view word) {
  std::string lower = ToLower(word);
  return ReservedWords().count(lower) != 0;
}

Parser::Parser(const LexedBatch& lexed, std::string_view text) : lexed_(lexed), text_(text) {}

const Token& Parser::Peek(int ahead) const {
  size_t i = std::min(pos_ + static_cast<size_t>(ahead), lexed_.tokens.size() - 1);
  return lexed_.tokens[i];
}

const Token& Parser::Advance() {
  const Token& t = lexed_.tokens[pos_];
  if (pos_ + 1 < lexed_.tokens.size()) ++pos_;
  return t;
}

bool Parser::Accept(std::string_view word) {
  if (!Peek().Is(word)) return false;
  Advance();
  return true;
}

bool Parser::AcceptOp(std::string_view op) {
  if (!Peek().IsOp(op)) return false;
  Advance();
  return true;
}

void Parser::Expect(std::string_view word) {
  if (!Accept(word)) {
    std::string up(word);
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Fail(Peek(), up);
  }
}

void Parser::ExpectOp(std::string_view op) {
  if (!AcceptOp(op)) Fail(Peek(), "'" + std::string(op) + "'");
}

Parser::Nesting::Nesting(Parser* parser) : parser_(parser) {
  if (++parser_->nesting_ > kMaxNesting) {
    --parser_->nesting_;
    const Token& t = parser_->Peek();
    throw corva::Error(191, "corva.tsql",
                       "Some part of your SQL statement is nested too deeply. Rewrite the query or "
                       "break it up into smaller queries.")
        .SetPosition(t.line, t.column);
  }
}

void Parser::Fail(const Token& at, std::string_view expected) {
  const Token* t = &at;
  // At the end of the batch SQL Server names the last token.
  if (t->kind == TokenKind::kEnd && pos_ > 0) t = &lexed_.tokens[pos_ - 1];
  std::string text = TokenText(*t);
  std::string msg;
  int number = 102;
  if (t->kind == TokenKind::kIdentifier && IsReservedWord(text)) {
    number = 156;
    msg = "Incorrect syntax near the keyword '" + text + "'.";
  } else {
    msg = "Incorrect syntax near '" + text + "'.";
  }
  if (!expected.empty()) msg += " Expecting " + std::string(expected) + ".";
  throw corva::Error(number, "corva.tsql", msg).SetPosition(t->line, t->column);
}

bool Parser::AtStatementEnd() const {
  const Token& t = Peek();
  return t.kind == TokenKind::kEnd || t.IsOp(';') ||
         (t.kind == TokenKind::kIdentifier && IsReservedWord(t.value));
}

bool Parser::IsNameToken(const Token& t) const {
  return t.kind == TokenKind::kIdentifier || t.kind == TokenKind::kQuotedIdentifier;
}

std::string Parser::Name(std::string_view expected) {
  const Token& t = Peek();
  if (!IsNameToken(t)) Fail(t, expected);
  return Advance().value;
}

std::vector<std::string> Parser::ObjectName() {
  std::vector<std::string> parts;
  const Token& t = Peek();
  if (t.kind == TokenKind::kVariable) {
    Advance();
    return {t.value};
  }
  parts.push_back(Name("a table name"));
  while (Peek().IsOp('.')) {
    Advance();
    if (Peek().IsOp('.')) {
      parts.push_back("");
      continue;
    }
    parts.push_back(Name("a name"));
  }
  return parts;
}

int64_t Parser::StructuralInt(const Token& t) {
  int64_t sign = 1;
  const Token* n = &t;
  if (t.IsOp('-')) {
    Advance();
    sign = -1;
    n = &Peek();
  }
  if (n->kind != TokenKind::kInteger) Fail(*n, "an integer");
  result_.structural_literals.push_back(n->literal);
  Advance();
  return sign * lexed_.literals[n->literal].i;
}

SqlType Parser::Type() {
  const Token& t = Peek();
  std::string name = Name("a data type");
  if (EqualsNoCase(name, "double")) Accept("precision");
  if (EqualsNoCase(name, "character") || EqualsNoCase(name, "char") ||
      EqualsNoCase(name, "national")) {
    if (Accept("varying")) name = "varchar";
  }
  int a1 = 0, a2 = -1;
  if (AcceptOp("(")) {
    if (Accept("max")) {
      a1 = -1;
    } else {
      a1 = static_cast<int>(StructuralInt(Peek()));
      if (AcceptOp(",")) a2 = static_cast<int>(StructuralInt(Peek()));
    }
    ExpectOp(")");
  }
  SqlType type = SqlType::FromName(name, a1, a2);
  if (type.kind == TypeKind::kUnknown)
    throw corva::Error(2715, "corva.tsql",
                       "Column, parameter, or variable #1: Cannot find data type " + name + ".")
        .SetPosition(t.line, t.column);
  return type;
}

int Parser::DeclareVariable(const Token& t, SqlType type, bool is_table) {
  std::string key = ToLower(t.value);
  if (var_slots_.count(key))
    throw corva::Error(134, "corva.tsql",
                       "The variable name '" + t.value +
                           "' has already been declared. Variable names must be unique within a "
                           "query batch or stored procedure.")
        .SetPosition(t.line, t.column);
  int slot = static_cast<int>(program_->vars.size());
  program_->vars.push_back(VarInfo{t.value, std::move(type), is_table});
  var_slots_[key] = slot;
  return slot;
}

int Parser::VariableSlot(const Token& t) {
  auto it = var_slots_.find(ToLower(t.value));
  if (it == var_slots_.end())
    throw corva::Error(137, "corva.tsql", "Must declare the scalar variable \"" + t.value + "\".")
        .SetPosition(t.line, t.column);
  return it->second;
}

ParseResult Parser::Batch() {
  result_.program = std::make_unique<Program>();
  program_ = result_.program.get();
  // A batch that opens with a bare procedure name runs that procedure.
  if (Peek().kind == TokenKind::kIdentifier && !IsReservedWord(Peek().value) && !Peek().Is("go")) {
    StmtPtr s = Exec(true);
    program_->stmts.push_back(std::move(s));
  }
  while (true) {
    while (AcceptOp(";")) {
    }
    if (Peek().kind == TokenKind::kEnd) break;
    program_->stmts.push_back(Statement());
  }
  return std::move(result_);
}

StmtPtr Parser::StatementAfter(StmtPtr stmt, const Token& start) {
  stmt->line = start.line;
  stmt->column = start.column;
  return stmt;
}

StmtPtr Parser::Statement() {
  Nesting nesting(this);
  const Token& t = Peek();
  if (t.IsOp('(') && StartsQuery()) {
    auto s = std::make_unique<SelectStmt>();
    s->query = ParseQuery();
    return StatementAfter(std::move(s), t);
  }
  if (t.kind != TokenKind::kIdentifier) Fail(t, "a statement");
  std::string w = ToLower(t.value);
  StmtPtr s;
  if (w == "select") {
    auto sel = std::make_unique<SelectStmt>();
    sel->query = ParseQuery();
    s = std::move(sel);
  } else if (w == "insert") {
    s = Insert();
  } else if (w == "update") {
    s = Update();
  } else if (w == "delete") {
    s = Delete();
  } else if (w == "declare") {
    s = Declare();
  } else if (w == "set") {
    s = Set();
  } else if (w == "if") {
    s = If();
  } else if (w == "while") {
    s = While();
  } else if (w == "begin") {
    if (Peek(1).Is("tran") || Peek(1).Is("transaction") || Peek(1).Is("distributed")) {
      Advance();
      Accept("distributed");
      Advance();
      if (IsNameToken(Peek()) && !IsReservedWord(Peek().value)) Advance();
      s = std::make_unique<Stmt>(StmtKind::kNoop);
    } else {
      s = Block();
    }
  } else if (w == "commit" || w == "rollback" || w == "save") {
    Advance();
    if (Accept("tran") || Accept("transaction") || Accept("work")) {
      if (IsNameToken(Peek()) && !IsReservedWord(Peek().value)) Advance();
    }
    s = std::make_unique<Stmt>(StmtKind::kNoop);
  } else if (w == "break" || w == "continue") {
    Advance();
    s = std::make_unique<Stmt>(w == "break" ? StmtKind::kBreak : StmtKind::kContinue);
  } else if (w == "return") {
    s = Return();
  } else if (w == "print") {
    Advance();
    auto p = std::make_unique<ValueStmt>(StmtKind::kPrint);
    p->value = ParseExpr();
    s = std::move(p);
  } else if (w == "exec" || w == "execute") {
    Advance();
    if (Peek().IsOp('(')) {
      Advance();
      auto e = std::make_unique<ValueStmt>(StmtKind::kExecString);
      e->value = ParseExpr();
      ExpectOp(")");
      s = std::move(e);
    } else {
      s = Exec(false);
    }
  } else if (w == "create") {
    s = Create();
  } else if (w == "drop") {
    s = Drop();
  } else if (w == "alter") {
    s = Alter();
  } else if (w == "truncate") {
    Advance();
    Expect("table");
    auto n = std::make_unique<NamesStmt>(StmtKind::kTruncate);
    n->names.push_back(ObjectName());
    s = std::move(n);
  } else if (w == "open") {
    s = Cursor(StmtKind::kOpen);
  } else if (w == "close") {
    s = Cursor(StmtKind::kClose);
  } else if (w == "deallocate") {
    s = Cursor(StmtKind::kDeallocate);
  } else if (w == "fetch") {
    s = Fetch();
  } else if (w == "raiserror") {
    s = Raiserror();
  } else {
    Fail(t, "a statement");
  }
  return StatementAfter(std::move(s), t);
}

std::unique_ptr<BlockStmt> Parser::Block() {
  Expect("begin");
  auto b = std::make_unique<BlockStmt>();
  while (true) {
    while (AcceptOp(";")) {
    }
    if (Peek().Is("end")) break;
    if (Peek().kind == TokenKind::kEnd) Fail(Peek(), "END");
    b->body.push_back(Statement());
  }
  Expect("end");
  return b;
}

StmtPtr Parser::Return() {
  Advance();
  auto r = std::make_unique<ValueStmt>(StmtKind::kReturn);
  const Token& n = Peek();
  bool value = n.IsLiteral() || n.kind == TokenKind::kVariable || n.IsOp('(') || n.IsOp('-') ||
               n.kind == TokenKind::kSystemVariable ||
               (n.kind == TokenKind::kIdentifier && !IsReservedWord(n.value) && Peek(1).IsOp('('));
  if (value) r->value = ParseExpr();
  return r;
}

StmtPtr Parser::If() {
  Advance();
  auto s = std::make_unique<IfStmt>();
  s->cond = ParseExpr();
  while (AcceptOp(";")) {
  }
  s->then_branch = Statement();
  while (Peek().IsOp(';') && Peek(1).Is("else")) Advance();
  if (Accept("else")) {
    while (AcceptOp(";")) {
    }
    s->else_branch = Statement();
  }
  return s;
}

StmtPtr Parser::While() {
  Advance();
  auto s = std::make_unique<WhileStmt>();
  s->cond = ParseExpr();
  while (AcceptOp(";")) {
  }
  s->body = Statement();
  return s;
}

StmtPtr Parser::Declare() {
  Advance();
  const Token& first = Peek();
  if (IsNameToken(first) && first.kind == TokenKind::kIdentifier &&
      (Peek(1).Is("cursor") || Peek(1).Is("insensitive") || Peek(1).Is("scroll"))) {
    auto c = std::make_unique<DeclareCursorStmt>();
    c->name = Advance().value;
    while (!Peek().Is("cursor")) {
      if (Peek().Is("scroll")) c->scroll = true;
      if (Peek().kind == TokenKind::kEnd) Fail(Peek(), "CURSOR");
      Advance();
    }
    Advance();
    while (!Peek().Is("for")) {
      const Token& o = Peek();
      if (o.Is("scroll") || o.Is("static") || o.Is("keyset") || o.Is("dynamic")) c->scroll = true;
      if (!(o.Is("local") || o.Is("global") || o.Is("forward_only") || o.Is("scroll") ||
            o.Is("static") || o.Is("keyset") || o.Is("dynamic") || o.Is("fast_forward") ||
            o.Is("read_only") || o.Is("scroll_locks") || o.Is("optimistic") ||
            o.Is("type_warning")))
        Fail(o, "a cursor option or FOR");
      Advance();
    }
    Advance();
    c->query = ParseQuery();
    if (Peek().Is("for") && (Peek(1).Is("update") || Peek(1).Is("read"))) {
      Advance();
      if (Accept("read")) {
        Expect("only");
      } else {
        Advance();
        if (Accept("of")) {
          do Name("a column name");
          while (AcceptOp(","));
        }
      }
    }
    return c;
  }
  auto d = std::make_unique<DeclareStmt>();
  do {
    const Token& v = Peek();
    if (v.kind != TokenKind::kVariable) Fail(v, "a variable name");
    Advance();
    Accept("as");
    if (Peek().Is("table")) {
      Advance();
      auto t = std::make_unique<DeclareTableStmt>();
      t->name = v.value;
      t->slot = DeclareVariable(v, SqlType(), true);
      TableDefinition(&t->def);
      if (!d->items.empty()) Fail(Peek(), "one table variable per DECLARE");
      return t;
    }
    if (Peek().Is("cursor")) Fail(Peek(), "a data type (cursor variables are not supported)");
    DeclareItem item;
    SqlType type = Type();
    if (AcceptOp("=")) item.init = ParseAdditive();
    item.slot = DeclareVariable(v, std::move(type), false);
    d->items.push_back(std::move(item));
  } while (AcceptOp(","));
  return d;
}

StmtPtr Parser::Set() {
  Advance();
  const Token& t = Peek();
  if (t.kind == TokenKind::kVariable) {
    Advance();
    auto s = std::make_unique<SetStmt>();
    s->slot = VariableSlot(t);
    const Token& op = Peek();
    if (op.IsOp('=')) {
      Advance();
      s->op = "=";
    } else if ((op.IsOp('+') || op.IsOp('-') || op.IsOp('*') || op.IsOp('/') || op.IsOp('%')) &&
               Peek(1).IsOp('=')) {
      Advance();
      Advance();
      s->op = op.value;
    } else {
      Fail(op, "'='");
    }
    s->value = ParseAdditive();
    if (s->op != "=") {
      auto var = NewExpr(ExprKind::kVariable, t);
      var->index = s->slot;
      var->type = program_->vars[s->slot].type;
      auto bin = NewExpr(ExprKind::kBinary, op);
      bin->name = s->op;
      bin->args.push_back(std::move(var));
      bin->args.push_back(std::move(s->value));
      s->value = std::move(bin);
      s->op = "=";
    }
    return s;
  }
  auto o = std::make_unique<SetOptionStmt>();
  if (!IsNameToken(t)) Fail(t, "an option name");
  o->option = ToLower(t.value);
  if (Accept("transaction")) {
    Expect("isolation");
    Expect("level");
    if (Accept("read")) {
      if (!Accept("committed") && !Accept("uncommitted")) Fail(Peek(), "COMMITTED");
    } else if (Accept("repeatable")) {
      Expect("read");
    } else if (!Accept("serializable") && !Accept("snapshot")) {
      Fail(Peek(), "an isolation level");
    }
    o->option = "transaction";
    return o;
  }
  Advance();
  while (AcceptOp(",")) Name("an option name");
  const Token& v = Peek();
  if (v.Is("on")) {
    o->on = true;
    Advance();
  } else if (v.Is("off")) {
    Advance();
  } else if (v.kind == TokenKind::kInteger || v.kind == TokenKind::kIdentifier ||
             v.kind == TokenKind::kVariable || v.kind == TokenKind::kString) {
    Advance();  // SET DATEFORMAT ymd, SET LOCK_TIMEOUT 100, SET ROWCOUNT 0, SET LANGUAGE x
  } else {
    Fail(v, "ON or OFF");
  }
  return o;
}

ParseResult ParseBatch(const LexedBatch& lexed, std::string_view text) {
  return Parser(lexed, text).Batch();
}

ParseResult ParseRoutine(const LexedBatch& lexed, std::string_view text) {
  return Parser(lexed, text).Routine();
}

}  // namespace corva::tsql
