// The recursive-descent parser: tokens of one batch in, a Program out. Syntax errors are
// corva::Error 102 ("Incorrect syntax near 'x'.", or 156 near a reserved keyword as SQL Server
// says) with the line and column of the offending token and what was expected; use of an
// undeclared variable is 137, a variable declared twice 134.
#ifndef CORVA_TSQL_PARSER_H_
#define CORVA_TSQL_PARSER_H_

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tsql/ast.h"
#include "tsql/token.h"

namespace corva::tsql {

struct ParseResult {
  std::unique_ptr<Program> program;
  // Literals whose values shape the parse or the translation (type lengths, styles, ordinals,
  // defaults): a cached parse is reused only when these values match.
  std::vector<int> structural_literals;
  bool cacheable = true;  // false when the batch holds CREATE PROCEDURE/TRIGGER text
};

// Parses a batch.
ParseResult ParseBatch(const LexedBatch& lexed, std::string_view text);

// Parses the stored text of a procedure or trigger ("CREATE PROCEDURE p @a int AS ..."); the
// Program's first vars are the parameters.
ParseResult ParseRoutine(const LexedBatch& lexed, std::string_view text);

bool IsReservedWord(std::string_view word);

class Parser {
 public:
  Parser(const LexedBatch& lexed, std::string_view text);
  ParseResult Batch();
  ParseResult Routine();

 private:
  friend class ExprParser;
  // tokens
  const Token& Peek(int ahead = 0) const;
  const Token& Advance();
  bool Accept(std::string_view word);
  bool AcceptOp(std::string_view op);
  void Expect(std::string_view word);
  void ExpectOp(std::string_view op);
  [[noreturn]] void Fail(const Token& at, std::string_view expected);
  bool AtStatementEnd() const;
  bool IsNameToken(const Token& t) const;
  std::string Name(std::string_view expected = "an identifier");
  std::vector<std::string> ObjectName();
  int64_t StructuralInt(const Token& t);
  SqlType Type();

  // statements
  StmtPtr Statement();
  StmtPtr StatementAfter(StmtPtr stmt, const Token& start);
  std::unique_ptr<BlockStmt> Block();
  StmtPtr Declare();
  StmtPtr Set();
  StmtPtr If();
  StmtPtr While();
  StmtPtr Insert();
  StmtPtr Update();
  StmtPtr Delete();
  std::unique_ptr<ExecStmt> Exec(bool implicit);
  StmtPtr Create();
  StmtPtr Drop();
  StmtPtr Alter();
  StmtPtr Cursor(StmtKind kind);
  StmtPtr Fetch();
  StmtPtr Raiserror();
  StmtPtr Return();
  StmtPtr CreateProcedure(const Token& start, bool alter);
  StmtPtr CreateTrigger(const Token& start, bool alter);
  void TableDefinition(TableDefAst* def);
  ColumnDefAst ColumnDefinition();
  std::vector<std::string> ColumnList();
  void SkipOptionalWith();

  // queries and expressions (parser_expr.cpp)
  std::unique_ptr<Query> ParseQuery();
  SelectCore ParseSelectCore();
  TableRefPtr ParseTableRef();
  TableRefPtr ParseTablePrimary();
  void ParseFromList(std::vector<TableRefPtr>* out);
  ExprPtr ParseExpr();
  ExprPtr ParseAnd();
  ExprPtr ParseNot();
  ExprPtr ParsePredicate();
  ExprPtr ParseAdditive();
  ExprPtr ParseMultiplicative();
  ExprPtr ParseUnary();
  ExprPtr ParsePrimary();
  ExprPtr ParseFunction(const Token& name_token, std::vector<std::string> parts);
  ExprPtr ParseCase(const Token& start);
  bool StartsQuery(int ahead = 0) const;
  int VariableSlot(const Token& t);
  ExprPtr NewExpr(ExprKind kind, const Token& at);
  bool IsAliasToken(const Token& t) const;

  // variables of the frame being parsed
  int DeclareVariable(const Token& t, SqlType type, bool is_table);

  // Counts the levels of nested expressions, queries and statements being parsed: past
  // kMaxNesting the batch is refused (191) before the parser, or the translator and executor
  // walking the tree after it, can run out of stack.
  class Nesting {
   public:
    explicit Nesting(Parser* parser);
    ~Nesting() { --parser_->nesting_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser* parser_;
  };
  static constexpr int kMaxNesting = 200;

  const LexedBatch& lexed_;
  std::string_view text_;
  size_t pos_ = 0;
  int nesting_ = 0;
  Program* program_ = nullptr;
  std::unordered_map<std::string, int> var_slots_;
  ParseResult result_;
};

}  // namespace corva::tsql

#endif  // CORVA_TSQL_PARSER_H_
