// The translator: dialect statements and expressions in, SQLite SQL text out, with the list of
// values to bind (literals, variables, system values, cursor positions) and the dialect types of
// the result columns. Names are resolved here (208 invalid object, 207 invalid column, 209
// ambiguous column); SQL Server's semantics that SQLite lacks are spelled out in the SQL (text
// comparison under the engine's collation, integer division, dates as canonical text) or handed
// to the engine's SQL functions (functions.cpp).
#ifndef CORVA_TSQL_TRANSLATOR_H_
#define CORVA_TSQL_TRANSLATOR_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tsql/ast.h"
#include "tsql/catalog.h"

namespace corva::tsql {

class Prepared;  // a prepared SQLite statement of a handle (database_impl.h)

struct ParamSource {
  enum class Kind : uint8_t { kLiteral, kVariable, kSystem, kCursorRowid, kScratch };
  Kind kind = Kind::kLiteral;
  int index = 0;       // literal slot, variable slot, scratch slot
  std::string name;    // system variable name; cursor name + "\x1f" + table alias
  SqlType convert;     // kUnknown: bind as is; otherwise convert to this type first
  bool store = false;  // the conversion stores into a column: text too long is 8152
};

// How an operand is converted to a type: as an expression is (kPlain), as a value stored into a
// column (kStore: text too long for it is error 8152), or only when its branch is taken (kLazy:
// CASE and COALESCE branches convert where they are evaluated, not when values are bound).
enum class Conversion : uint8_t { kPlain, kStore, kLazy };

struct ResultColumn {
  std::string name;
  SqlType type;
};

struct SqlText {
  std::string sql;
  std::vector<ParamSource> params;
  std::vector<ResultColumn> columns;
  std::shared_ptr<Prepared> stmt;  // filled by the executor on first use
};

// A dependency of a translation on a table definition.
struct TableDep {
  std::vector<std::string> name;
  uint64_t version = 0;
  bool main = false;  // a main table: valid while the catalog generation is unchanged
};

// The cached translation of one statement or expression. Valid while the session slot and every
// dependency's version are what they were when it was made.
struct Plan {
  int slot = -1;
  std::vector<TableDep> deps;
  std::vector<SqlText> steps;
  TablePtr table;                  // the statement's target table, when it has one
  std::vector<int> ints;           // statement-specific numbers (assignment slots, ...)
  std::vector<std::string> names;  // statement-specific names
  bool uses_sysobjects = false;
  uint64_t routine_generation = 0;  // DML plans: the triggers they were made for
  uint64_t catalog_generation = 0;  // the generation of the main tables' definitions
  bool flag = false;                // statement-specific
};

// What the translator asks of the executor.
class Resolver {
 public:
  virtual ~Resolver() = default;
  // The table a name refers to now (temp, table variable, trigger row set or main), or nullptr.
  virtual TablePtr ResolveTable(const std::vector<std::string>& name) = 0;
  virtual const VarInfo& Variable(int slot) const = 0;
  // The value of literal slot `index` in the running batch (for literals that shape the SQL).
  virtual const Value& Literal(int index) const = 0;
  // Records that the SQL depends on the value of literal `index` (see ParseResult).
  virtual void MarkStructural(int index) = 0;
  virtual int SessionSlot() const = 0;
  // SQL text of the session's view of tempdb..sysobjects (a temp table it keeps).
  virtual std::string TempObjectsTable() = 0;
};

class Translator {
 public:
  Translator(Resolver* resolver, Plan* plan) : resolver_(resolver), plan_(plan) {}

  // SELECT (also the query of a cursor, an INSERT ... SELECT, a SELECT INTO). Assignment items
  // become plain columns. `extra_rowids`: add hidden rowid columns of each base table (cursors).
  SqlText Query(const tsql::Query& q, bool extra_rowids = false);
  // SELECT <expr>: the executor's scalar evaluation.
  SqlText Scalar(const tsql::Expr& e);
  // INSERT: one statement into `table`.
  SqlText Insert(const InsertStmt& s, const TablePtr& table);
  // INSERT of pre-computed rows into `table` columns: VALUES of `count` parameters (INSERT EXEC).
  SqlText InsertRow(const TablePtr& table, const std::vector<int>& columns);
  SqlText Update(const UpdateStmt& s);
  SqlText Delete(const DeleteStmt& s);
  // SELECT <target>.rowid FROM ... WHERE ... for an UPDATE/DELETE (triggers need the rows).
  SqlText TargetRowids(const std::vector<std::string>& target, const std::vector<TableRefPtr>& from,
                       const tsql::Expr* where, const std::string& current_of,
                       const tsql::Expr* top);
  // Whether a table of `def` is stored by its key (WITHOUT ROWID): a primary key of two or more
  // int columns and no identity.
  static bool StoredByKey(const TableDefAst& def);
  // The SQLite column definitions of a table ("\"a\" INT NOT NULL, ...").
  std::string ColumnDefinitions(const TableDefAst& def, std::vector<ColumnInfo>* columns);
  // Result columns' types of a query (for SELECT INTO).
  std::vector<ResultColumn> QueryColumns(const tsql::Query& q);

  TablePtr Resolve(const std::vector<std::string>& name, int line, int column);

 private:
  struct ScopeTable {
    std::string exposed;                // alias or table name
    TablePtr table;                     // named tables
    std::vector<ResultColumn> columns;  // derived tables
    bool aliased = false;               // `exposed` is a correlation name
  };
  struct Scope {
    std::vector<ScopeTable> tables;
    const Scope* outer = nullptr;
    const std::vector<std::string>* aliases = nullptr;  // select-list aliases (ORDER BY)
  };

  SqlType Expr(const tsql::Expr& e, const Scope& scope, std::string* out);
  SqlType Column(const tsql::Expr& e, const Scope& scope, std::string* out);
  SqlType Function(const tsql::Expr& e, const Scope& scope, std::string* out);
  SqlType Binary(const tsql::Expr& e, const Scope& scope, std::string* out);
  SqlType Compare(const std::string& op, const tsql::Expr& l, const tsql::Expr& r,
                  const Scope& scope, std::string* out);
  SqlType Cast(const tsql::Expr& e, const Scope& scope, std::string* out);
  // Emits `e` converted to `target` (date text, number) where SQL Server would convert it.
  SqlType Converted(const tsql::Expr& e, const SqlType& target, const Scope& scope,
                    std::string* out, Conversion how = Conversion::kPlain);
  // Emits an operand of a decimal comparison as decimal text (the collation TSQLDEC compares).
  void DecimalOperand(const tsql::Expr& e, const SqlType& type, const Scope& scope,
                      std::string* out);
  // Emits the branches of CASE/COALESCE converted to `result`.
  SqlType Branch(const tsql::Expr& e, const SqlType& result, const Scope& scope, std::string* out);
  void Param(ParamSource p, std::string* out);
  std::string Literal(const tsql::Expr& e, const SqlType& convert = SqlType());

  void SelectCore(const SelectCore& core, const Scope* outer, std::string* out,
                  std::vector<ResultColumn>* columns, bool extra_rowids,
                  const std::vector<SqlType>* convert_to, bool name_all);
  void QueryText(const tsql::Query& q, const Scope* outer, std::string* out,
                 std::vector<ResultColumn>* columns, bool extra_rowids = false,
                 const std::vector<SqlType>* convert_to = nullptr, bool name_all = false);
  // Adds `entry` to the FROM entries of `scope`, refusing a name another entry exposes already.
  void Expose(Scope* scope, ScopeTable entry, int line, int column);
  void FromList(const std::vector<TableRefPtr>& from, Scope* scope, std::string* out);
  void TableRefText(const TableRef& ref, Scope* scope, std::string* out);
  void ExpandStar(const tsql::Expr& e, const Scope& scope, std::string* out,
                  std::vector<ResultColumn>* columns, bool* first,
                  const TableInfo* key_table = nullptr);
  // Finds the FROM entry an UPDATE/DELETE target names; adds the target when it is not there.
  std::string TargetAlias(const std::vector<std::string>& target,
                          const std::vector<TableRefPtr>& from, TablePtr* table);
  // Wraps what `out` holds from `start` on, a value stored into the rowid key, in tsql_key.
  void GuardKey(const TableInfo& table, const char* verb, size_t start, std::string* out);
  // The guarded value of a rowid key an INSERT leaves out.
  std::string KeyDefault(const TableInfo& table);
  // The name a row key's part `k` takes in a row-finding select: "__rid" for a rowid.
  static std::string RidName(const TableInfo& table, size_t k);
  // " AND "-joined `alias`.<key> = <cursor's row> over the row key of `table`: WHERE CURRENT OF.
  void CurrentOf(const TableInfo& table, const std::string& alias, const std::string& cursor,
                 std::string* out);
  std::string RowidSelect(const std::vector<std::string>& target,
                          const std::vector<TableRefPtr>& from, const tsql::Expr* where,
                          const std::string& current_of, const tsql::Expr* top,
                          const std::vector<const SetClause*>& sets, TablePtr* table,
                          std::vector<SqlType>* set_types);

  Resolver* resolver_;
  Plan* plan_;
  std::vector<ParamSource>* params_ = nullptr;
  std::vector<int> cursor_tables_;
  bool storing_ = false;  // the query's values go into columns (INSERT ... SELECT)
  // INSERT ... SELECT into a table with a rowid key: the table, and where the key is produced.
  const TableInfo* store_key_table_ = nullptr;
  size_t store_key_position_ = 0;
  // UPDATE/DELETE ... FROM: the target's FROM entry, how deep in parenthesized joins the text
  // being written is, and whether the target was met inside them. SQLite hides the rowid of a
  // table inside parentheses, so there the target is written as a derived table exposing it.
  const TableRef* target_ref_ = nullptr;
  int nested_joins_ = 0;
  bool target_nested_ = false;
  std::vector<ScopeTable> last_scope_tables_;
};

[[noreturn]] void ThrowAt(int number, const std::string& message, int line, int column);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_TRANSLATOR_H_
