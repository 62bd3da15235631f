// The executor: runs a parsed batch statement by statement. It keeps the variables, control flow,
// cursors, procedure calls and triggers itself, and hands every query and DML statement, translated
// once and cached on the statement, to SQLite with its values bound. SessionState is what a
// Session owns: its handle and slot, its "#" tables, cursors and @@ values.
#ifndef CORVA_TSQL_EXECUTOR_H_
#define CORVA_TSQL_EXECUTOR_H_

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tsql/database_impl.h"
#include "tsql/engine.h"
#include "tsql/translator.h"

namespace corva::tsql {

struct CursorState {
  std::shared_ptr<const void> owner;  // keeps the declaring program alive
  const DeclareCursorStmt* decl = nullptr;
  bool open = false;
  std::vector<std::vector<Value>> rows;
  size_t visible = 0;                     // columns before the hidden rowids
  std::vector<std::string> rowid_tables;  // exposed names of the hidden rowid columns
  std::vector<std::string> rowid_bases;   // their tables' names
  int64_t position = -1;
};

class SessionState {
 public:
  explicit SessionState(std::shared_ptr<Handle> handle);
  ~SessionState();

  HandleImpl* handle;
  int slot;
  std::unordered_map<std::string, std::shared_ptr<TableInfo>> temp_tables;  // by lower-case name
  std::unordered_map<std::string, CursorState> cursors;                     // by lower-case name
  int64_t rowcount = 0;
  int64_t fetch_status = -1;
  Value identity;
  int64_t next_temp_id = -1001;
  bool ansi_warnings = true;  // SET ANSI_WARNINGS: off cuts text too long for a column silently
  bool sysobjects_ready = false;

  // OBJECT_ID for this session: "#t" and "tempdb..#t" are its temp tables.
  int64_t ObjectId(std::string_view name);
  void DropTempTables();

 private:
  std::shared_ptr<Handle> keep_;
};

// One frame of variables: a batch, a procedure body or a trigger body.
struct Frame {
  const Program* program = nullptr;
  const std::vector<Value>* literals = nullptr;
  CompiledBatch* batch = nullptr;  // for literals that shape the translation
  std::vector<Value> vars;
  std::unordered_map<std::string, TablePtr> tables;  // table variables, inserted, deleted
  std::vector<std::string> owned;                    // physical temp tables to release
  std::vector<std::string>
      temp_created;  // "#" tables made here (dropped at the end unless a batch)
  // Callers' "#" tables hidden by one of the same name made here; visible again at the end.
  std::vector<std::pair<std::string, std::shared_ptr<TableInfo>>> shadowed;
  int depth = 0;
  bool trigger_update = false;  // an INSERT or UPDATE trigger: UPDATE(column) is true
  Value return_value;
  std::shared_ptr<const void> owner;
};

class Executor : public Resolver {
 public:
  Executor(SessionState& session, BatchResult* out);
  ~Executor() override;

  void RunBatch(const std::shared_ptr<CompiledBatch>& batch, const std::vector<Value>& literals);

  // Resolver
  TablePtr ResolveTable(const std::vector<std::string>& name) override;
  const VarInfo& Variable(int slot) const override;
  const Value& Literal(int index) const override;
  void MarkStructural(int index) override;
  int SessionSlot() const override { return session_.slot; }
  std::string TempObjectsTable() override;

 private:
  enum class Flow { kNext, kBreak, kContinue, kReturn };
  using RowFn = std::function<void(sqlite3_stmt*)>;

  Flow RunList(const std::vector<StmtPtr>& stmts);
  Flow Run(const Stmt& s);
  void RunFrame(Frame* frame);

  // Plans and SQLite
  Plan* GetPlan(const PlanPtr& slot, const std::function<void(Translator&, Plan&)>& build);
  bool Valid(const Plan& plan);
  int64_t Step(SqlText& text, const RowFn& on_row);
  Value ParamValue(const ParamSource& p);
  Value SystemValue(const std::string& name);
  Value Eval(const Expr& e);
  // Integer comparisons and their AND/OR/NOT (the conditions of IF and WHILE over int variables
  // and literals) without a round trip to SQLite; false when `e` is anything else.
  bool EvalIntCondition(const Expr& e, Value* out);
  void AddRowsAffected(int64_t n, bool count);

  // Statements (executor.cpp, executor_dml.cpp, executor_ddl.cpp, executor_routines.cpp)
  void Select(const SelectStmt& s);
  void SelectInto(const SelectStmt& s);
  void Insert(const InsertStmt& s);
  void Update(const UpdateStmt& s);
  void Delete(const DeleteStmt& s);
  void CreateTable(const CreateTableStmt& s);
  void DeclareTable(const DeclareTableStmt& s);
  void DropTable(const NamesStmt& s);
  void CreateIndex(const CreateIndexStmt& s);
  void DropIndex(const NamesStmt& s);
  void Truncate(const NamesStmt& s);
  void AlterAddColumn(const AlterAddColumnStmt& s);
  void CreateRoutine(const Stmt& s);
  void DropRoutine(const NamesStmt& s);
  void SwitchTriggers(const TriggerSwitchStmt& s);
  void Exec(const ExecStmt& s);
  void ExecString(const ValueStmt& s);
  void Raiserror(const RaiserrorStmt& s);
  void DeclareCursor(const DeclareCursorStmt& s);
  void CursorCommand(const NamesStmt& s);
  void Fetch(const FetchStmt& s);

  // Tables
  std::shared_ptr<TableInfo> MakeTempTable(const std::string& logical, const std::string& physical,
                                           const std::string& body, std::vector<ColumnInfo> cols,
                                           int64_t seed, int64_t increment = 1);
  // Gives the rows an INSERT just added to a table whose identity steps by other than 1 their
  // values: rowids last+1 .. last+n become last+step .. last+n*step.
  void StepIdentity(const TablePtr& table, int64_t last, int64_t added);
  int64_t IdentitySequence(const TablePtr& table);
  void ReleaseTemp(const std::string& physical);
  // The SQLite name for a new "#" table `name` of this frame: a procedure may make one of a name
  // its caller already has (the caller's is hidden until it returns); in one scope it is 2714.
  std::string NewTempName(const std::string& name);
  void SchemaChanged();
  void RefreshSysObjects();
  // The SQLite declaration of a column of `type` in a table the engine creates.
  static std::string ColumnDecl(const SqlType& type);
  // DML with AFTER triggers (executor_dml.cpp)
  bool HasTriggers(const TablePtr& table, const char* event);
  void FireTriggers(const TablePtr& table, const char* event, const std::vector<int64_t>& rowids,
                    const std::string& deleted_physical, int64_t affected);
  std::vector<int64_t> CollectRowids(SqlText& text);
  // Appends the row key a statement gave back (all its columns), unless it is NULL.
  static void AddRowKey(sqlite3_stmt* st, std::vector<int64_t>* ids);
  std::string SnapshotRows(const TablePtr& table, const std::vector<int64_t>& rowids,
                           const std::string& name);

  SessionState& session_;
  BatchResult* out_;
  Frame* frame_ = nullptr;
  std::vector<Value> scratch_;
  std::unordered_set<std::string> active_triggers_;
  std::unordered_map<std::string, TablePtr> pending_snapshots_;
  bool in_trigger_ = false;
};

// The Variant a result column's value becomes.
Variant ToVariant(sqlite3_stmt* stmt, int column, const SqlType& type);
Value ColumnValue(sqlite3_stmt* stmt, int column);
// The value of a result column of dialect type `type`: decimals read as exact decimals.
Value ColumnValue(sqlite3_stmt* stmt, int column, const SqlType& type);
Variant ValueToVariant(const Value& v, const SqlType& type);
Value FromVariant(const Variant& v);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_EXECUTOR_H_
