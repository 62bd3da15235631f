// The syntax tree of a batch: expressions, queries and statements, owned through unique_ptr.
// Variables are resolved to frame slots while parsing (a batch or a procedure body is one frame);
// every node keeps the line and column it started at for error messages. Nodes that the executor
// runs carry a mutable Plan slot where the translation to SQLite is cached.
#ifndef CORVA_TSQL_AST_H_
#define CORVA_TSQL_AST_H_

#include <memory>
#include <string>
#include <vector>

#include "tsql/value.h"

namespace corva::tsql {

struct Plan;  // translation cache of a node (translator.h)
struct PlanDeleter {
  void operator()(Plan* p) const;
};
using PlanPtr = std::unique_ptr<Plan, PlanDeleter>;

struct Query;

enum class ExprKind : uint8_t {
  kLiteral,  // index = literal slot
  kParam,    // "?": index = literal slot filled from the call's parameters
  kNull,
  kVariable,   // index = frame slot
  kSystemVar,  // name = "rowcount", "fetch_status", "error", "identity", ...
  kColumn,     // qualifier = [table or alias] (or [schema, table]), name = column
  kStar,       // qualifier optional
  kUnary,      // name = "-", "+", "~"
  kBinary,     // name = "+", "-", "*", "/", "%", "&", "|", "^"
  kCompare,    // name = "=", "<>", "<", ">", "<=", ">="
  kAnd,
  kOr,
  kNot,
  kIsNull,    // negated = IS NOT NULL
  kBetween,   // args[0] BETWEEN args[1] AND args[2]
  kLike,      // args[0] LIKE args[1] [ESCAPE args[2]]
  kInList,    // args[0] IN (args[1..])
  kInQuery,   // args[0] IN (query)
  kExists,    // EXISTS (query)
  kSubquery,  // (query) as a scalar
  kCase,      // has_operand: args[0] is the operand; then WHEN/THEN pairs; has_else: last arg
  kCast,      // CAST(args[0] AS type) / CONVERT(type, args[0] [, args[1] style])
  kFunction,  // name lower-case; distinct for aggregates; star for COUNT(*)
};

struct Expr {
  ExprKind kind = ExprKind::kNull;
  std::string name;
  std::vector<std::string> qualifier;
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Query> query;
  SqlType type;
  int index = -1;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool has_operand = false;
  bool has_else = false;
  bool is_convert = false;
  int line = 0;
  int column = 0;
  mutable PlanPtr plan;  // when the executor evaluates this expression on its own

  ~Expr();
};
using ExprPtr = std::unique_ptr<Expr>;

// A table in FROM: a named table (or table variable), a derived table, or a join of two.
struct TableRef {
  enum class Kind : uint8_t { kNamed, kDerived, kJoin };
  Kind kind = Kind::kNamed;
  std::vector<std::string> name;  // name parts; "tempdb..x" gives {"tempdb", "", "x"}
  std::string alias;
  std::unique_ptr<Query> query;
  std::string join;  // "inner", "left", "right", "full", "cross"
  std::unique_ptr<TableRef> left;
  std::unique_ptr<TableRef> right;
  ExprPtr on;
  int line = 0;
  int column = 0;
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectItem {
  ExprPtr expr;
  std::string alias;     // AS name, or "name = expr"
  int assign_slot = -1;  // @var = expr
};

struct OrderItem {
  ExprPtr expr;
  bool desc = false;
};

struct SelectCore {
  bool distinct = false;
  ExprPtr top;
  bool top_percent = false;
  std::vector<SelectItem> items;
  std::vector<std::string> into;  // SELECT ... INTO name
  std::vector<TableRefPtr> from;  // comma-separated entries
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
  int line = 0;
  int column = 0;
};

// A query expression: SELECT cores joined by UNION [ALL] / EXCEPT / INTERSECT, then ORDER BY.
struct Query {
  std::vector<SelectCore> cores;
  std::vector<std::string> set_ops;  // between cores: "union", "union all", "except", "intersect"
  std::vector<OrderItem> order_by;
};

enum class StmtKind : uint8_t {
  kSelect,
  kInsert,
  kUpdate,
  kDelete,
  kDeclare,
  kDeclareTable,
  kDeclareCursor,
  kSet,
  kSetOption,
  kIf,
  kWhile,
  kBlock,
  kBreak,
  kContinue,
  kReturn,
  kPrint,
  kExec,
  kExecString,
  kCreateTable,
  kDropTable,
  kCreateIndex,
  kDropIndex,
  kCreateProc,
  kDropProc,
  kCreateTrigger,
  kDropTrigger,
  kTriggerSwitch,
  kAlterAddColumn,
  kOpen,
  kFetch,
  kClose,
  kDeallocate,
  kRaiserror,
  kTruncate,
  kNoop,
};

struct Stmt {
  StmtKind kind;
  int line = 0;
  int column = 0;
  mutable PlanPtr plan;
  explicit Stmt(StmtKind k) : kind(k) {}
  virtual ~Stmt();
};
using StmtPtr = std::unique_ptr<Stmt>;

struct ColumnDefAst {
  std::string name;
  SqlType type;
  bool identity = false;
  int64_t seed = 1;
  int64_t increment = 1;
  bool not_null = false;
  bool primary_key = false;
  bool unique = false;
  ExprPtr default_value;
};

struct SelectStmt : Stmt {
  SelectStmt() : Stmt(StmtKind::kSelect) {}
  std::unique_ptr<Query> query;
};

struct ExecArg {
  std::string name;  // "@p" for a named argument
  ExprPtr value;
  bool output = false;
};

struct ExecStmt : Stmt {
  ExecStmt() : Stmt(StmtKind::kExec) {}
  std::vector<std::string> proc;
  ExprPtr proc_name_var;  // EXEC @name
  std::vector<ExecArg> args;
  int return_slot = -1;  // EXEC @r = proc
};

struct InsertStmt : Stmt {
  InsertStmt() : Stmt(StmtKind::kInsert) {}
  std::vector<std::string> table;
  std::vector<std::string> columns;
  std::vector<std::vector<ExprPtr>> rows;  // VALUES
  std::unique_ptr<Query> query;            // SELECT
  std::unique_ptr<ExecStmt> exec;          // EXEC
  bool default_values = false;
};

struct SetClause {
  std::vector<std::string> column;  // [alias,] column
  int var_slot = -1;                // SET @v = expr inside UPDATE
  ExprPtr value;
};

struct UpdateStmt : Stmt {
  UpdateStmt() : Stmt(StmtKind::kUpdate) {}
  std::vector<std::string> target;
  ExprPtr top;
  std::vector<SetClause> sets;
  std::vector<TableRefPtr> from;
  ExprPtr where;
  std::string current_of;
};

struct DeleteStmt : Stmt {
  DeleteStmt() : Stmt(StmtKind::kDelete) {}
  std::vector<std::string> target;
  ExprPtr top;
  std::vector<TableRefPtr> from;
  ExprPtr where;
  std::string current_of;
};

struct DeclareItem {
  int slot = -1;
  ExprPtr init;
};

struct DeclareStmt : Stmt {
  DeclareStmt() : Stmt(StmtKind::kDeclare) {}
  std::vector<DeclareItem> items;
};

struct TableDefAst {
  std::vector<ColumnDefAst> columns;
  std::vector<std::string> primary_key;           // table constraint
  std::vector<std::vector<std::string>> uniques;  // table constraints
};

struct DeclareTableStmt : Stmt {
  DeclareTableStmt() : Stmt(StmtKind::kDeclareTable) {}
  int slot = -1;
  std::string name;
  TableDefAst def;
};

struct DeclareCursorStmt : Stmt {
  DeclareCursorStmt() : Stmt(StmtKind::kDeclareCursor) {}
  std::string name;
  bool scroll = false;
  std::unique_ptr<Query> query;
  int slot = -1;  // set for "SET @c = CURSOR FOR" (not supported: always -1)
};

struct SetStmt : Stmt {
  SetStmt() : Stmt(StmtKind::kSet) {}
  int slot = -1;
  std::string op;  // "=", "+=", "-=", ...
  ExprPtr value;
};

struct SetOptionStmt : Stmt {
  SetOptionStmt() : Stmt(StmtKind::kSetOption) {}
  std::string option;  // lower-case: "nocount", "transaction", ...
  bool on = false;
};

struct IfStmt : Stmt {
  IfStmt() : Stmt(StmtKind::kIf) {}
  ExprPtr cond;
  StmtPtr then_branch;
  StmtPtr else_branch;
};

struct WhileStmt : Stmt {
  WhileStmt() : Stmt(StmtKind::kWhile) {}
  ExprPtr cond;
  StmtPtr body;
};

struct BlockStmt : Stmt {
  BlockStmt() : Stmt(StmtKind::kBlock) {}
  std::vector<StmtPtr> body;
};

struct ValueStmt : Stmt {  // RETURN [expr], PRINT expr, EXEC (expr)
  explicit ValueStmt(StmtKind k) : Stmt(k) {}
  ExprPtr value;
};

struct RaiserrorStmt : Stmt {
  RaiserrorStmt() : Stmt(StmtKind::kRaiserror) {}
  std::vector<ExprPtr> args;
};

struct CreateTableStmt : Stmt {
  CreateTableStmt() : Stmt(StmtKind::kCreateTable) {}
  std::vector<std::string> name;
  TableDefAst def;
};

struct NamesStmt : Stmt {  // DROP TABLE/PROCEDURE/TRIGGER/INDEX, TRUNCATE, OPEN/CLOSE/...
  explicit NamesStmt(StmtKind k) : Stmt(k) {}
  std::vector<std::vector<std::string>> names;
  bool if_exists = false;
  std::vector<std::string> table;  // DROP INDEX name ON table
};

struct CreateIndexStmt : Stmt {
  CreateIndexStmt() : Stmt(StmtKind::kCreateIndex) {}
  bool unique = false;
  std::string name;
  std::vector<std::string> table;
  std::vector<std::string> columns;
  std::vector<bool> desc;
  std::vector<std::string> included;  // INCLUDE (...): carried in the index, not part of its key
};

struct VarInfo {
  std::string name;  // with "@"
  SqlType type;
  bool is_table = false;
};

// A parsed batch or procedure body: its statements and the variables of its frame.
struct Program {
  std::vector<StmtPtr> stmts;
  std::vector<VarInfo> vars;
  int param_count = 0;  // the first vars are a procedure's parameters
  std::vector<bool> param_output;
  std::vector<ExprPtr> param_defaults;  // null when the parameter has no default
};

struct CreateProcStmt : Stmt {
  CreateProcStmt() : Stmt(StmtKind::kCreateProc) {}
  std::vector<std::string> name;
  std::string text;  // the whole CREATE PROCEDURE statement as written
  bool alter = false;
};

struct CreateTriggerStmt : Stmt {
  CreateTriggerStmt() : Stmt(StmtKind::kCreateTrigger) {}
  std::vector<std::string> name;
  std::vector<std::string> table;
  std::vector<std::string> events;  // "insert", "update", "delete"
  std::string text;
  bool alter = false;
};

struct TriggerSwitchStmt : Stmt {  // ALTER TABLE t ENABLE|DISABLE TRIGGER name|ALL
  TriggerSwitchStmt() : Stmt(StmtKind::kTriggerSwitch) {}
  std::vector<std::string> table;
  bool enable = false;
  std::vector<std::string> triggers;  // empty = ALL
};

struct AlterAddColumnStmt : Stmt {
  AlterAddColumnStmt() : Stmt(StmtKind::kAlterAddColumn) {}
  std::vector<std::string> table;
  std::vector<ColumnDefAst> columns;
};

enum class FetchDirection : uint8_t { kNext, kPrior, kFirst, kLast, kAbsolute, kRelative };

struct FetchStmt : Stmt {
  FetchStmt() : Stmt(StmtKind::kFetch) {}
  std::string cursor;
  FetchDirection direction = FetchDirection::kNext;
  ExprPtr offset;
  std::vector<int> into;
};

// The last part of a multi-part name ("dbo.t" -> "t").
inline const std::string& LastPart(const std::vector<std::string>& name) { return name.back(); }

}  // namespace corva::tsql

#endif  // CORVA_TSQL_AST_H_
