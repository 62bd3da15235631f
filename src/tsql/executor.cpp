// The executor's core: frames and control flow, plan caching and validation, binding and stepping
// SQLite statements, scalar evaluation, and SELECT (result sets, assignment, INTO).
#include "tsql/executor.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "corva/error.h"
#include "tsql/date_time.h"
#include "tsql/quick_decimal.h"
#include "tsql/token.h"

namespace corva::tsql {

Value ColumnValue(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
      return Value::Int(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
      return Value::Real(sqlite3_column_double(stmt, column));
    case SQLITE_NULL:
      return Value::Null();
    default: {
      const unsigned char* t = sqlite3_column_text(stmt, column);
      return Value::Text(std::string(reinterpret_cast<const char*>(t),
                                     static_cast<size_t>(sqlite3_column_bytes(stmt, column))));
    }
  }
}

Value ColumnValue(sqlite3_stmt* stmt, int column, const SqlType& type) {
  corva::Decimal d;
  if (type.kind == TypeKind::kDecimal && ColumnDecimal(stmt, column, &d)) return Value::Dec(d);
  Value v = ColumnValue(stmt, column);
  if (type.kind == TypeKind::kDecimal && !v.IsNull() && v.ToDecimal(&d)) return Value::Dec(d);
  return v;
}

Variant ToVariant(sqlite3_stmt* stmt, int column, const SqlType& type) {
  if (type.kind == TypeKind::kDecimal && sqlite3_column_type(stmt, column) != SQLITE_NULL) {
    Value v = ColumnValue(stmt, column, type);
    if (v.kind == Value::Kind::kDecimal) return Variant(v.m);
  }
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: {
      int64_t v = sqlite3_column_int64(stmt, column);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, column));
    case SQLITE_NULL:
      return Variant::Null();
    default: {
      const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      std::string s(t, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
      if (type.kind == TypeKind::kDate) {
        DateTime d;
        if (ParseDateTime(s, &d)) return Variant(Date{d.Serial()});
      }
      return Variant(std::move(s));
    }
  }
}

Variant ValueToVariant(const Value& v, const SqlType& type) {
  switch (v.kind) {
    case Value::Kind::kInt:
      if (v.i >= INT32_MIN && v.i <= INT32_MAX) return Variant(static_cast<int32_t>(v.i));
      return Variant(static_cast<double>(v.i));
    case Value::Kind::kReal:
      return Variant(v.d);
    case Value::Kind::kDecimal:
      return Variant(v.m);
    case Value::Kind::kText: {
      DateTime d;
      if (type.kind == TypeKind::kDate && ParseDateTime(v.s, &d)) return Variant(Date{d.Serial()});
      corva::Decimal m;
      if (type.kind == TypeKind::kDecimal && corva::Decimal::Parse(v.s, &m)) return Variant(m);
      return Variant(v.s);
    }
    default:
      return Variant::Null();
  }
}

Value FromVariant(const Variant& v) {
  switch (v.Type()) {
    case VarType::kBoolean:
      return Value::Int(v.AsBool() ? 1 : 0);
    case VarType::kLong:
      return Value::Int(v.AsLong());
    case VarType::kDouble:
      return Value::Real(v.AsDouble());
    case VarType::kString:
      return Value::Text(v.AsString());
    case VarType::kDate:
      return Value::Text(DateTime::FromSerial(v.AsDate().serial).Canonical());
    case VarType::kDecimal:
      return Value::Dec(v.AsDecimal());
    default:
      return Value::Null();
  }
}

namespace {

// `stable`: the value stays where it is until the statement is reset (a literal of the running
// batch), so SQLite may read the text in place instead of copying it.
void Bind(sqlite3_stmt* stmt, int index, const Value& v, bool stable = false) {
  switch (v.kind) {
    case Value::Kind::kInt:
      sqlite3_bind_int64(stmt, index, v.i);
      break;
    case Value::Kind::kReal:
      sqlite3_bind_double(stmt, index, v.d);
      break;
    case Value::Kind::kText:
      sqlite3_bind_text(stmt, index, v.s.data(), static_cast<int>(v.s.size()),
                        stable ? SQLITE_STATIC : SQLITE_TRANSIENT);
      break;
    case Value::Kind::kDecimal: {
      // Decimals live in SQLite as their fixed text (see README).
      std::string text = v.m.ToFixed();
      sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      break;
    }
    default:
      sqlite3_bind_null(stmt, index);
      break;
  }
}

}  // namespace

Executor::Executor(SessionState& session, BatchResult* out) : session_(session), out_(out) {}
Executor::~Executor() = default;

// Resolver -----------------------------------------------------------------------------------

TablePtr Executor::ResolveTable(const std::vector<std::string>& name) {
  const std::string& last = name.back();
  std::string key = ToLower(last);
  if (!key.empty() && key[0] == '@') {
    auto it = frame_->tables.find(key);
    return it == frame_->tables.end() ? nullptr : it->second;
  }
  if (!key.empty() && key[0] == '#') {
    auto it = session_.temp_tables.find(key);
    return it == session_.temp_tables.end() ? nullptr : it->second;
  }
  if (name.size() == 1 && (key == "inserted" || key == "deleted")) {
    auto it = frame_->tables.find(key);
    if (it != frame_->tables.end()) return it->second;
  }
  if (name.size() >= 2 && EqualsNoCase(name.front(), "tempdb")) return nullptr;
  return session_.handle->catalog().FindTable(session_.handle->db(), last);
}

const VarInfo& Executor::Variable(int slot) const { return frame_->program->vars[slot]; }

const Value& Executor::Literal(int index) const { return (*frame_->literals)[index]; }

void Executor::MarkStructural(int index) {
  if (frame_->batch) frame_->batch->structural.emplace_back(index, (*frame_->literals)[index]);
}

std::string Executor::TempObjectsTable() {
  return "temp." + QuoteId("corva_sysobjects$" + std::to_string(session_.slot));
}

// Plans ---------------------------------------------------------------------------------------

bool Executor::Valid(const Plan& plan) {
  if (plan.slot >= 0 && plan.slot != session_.slot) return false;
  if (plan.routine_generation &&
      plan.routine_generation != session_.handle->catalog().RoutineGeneration())
    return false;
  bool same_catalog = plan.catalog_generation == session_.handle->catalog().Generation();
  for (const TableDep& d : plan.deps) {
    if (d.main && same_catalog) continue;
    TablePtr t = ResolveTable(d.name);
    if (!t || t->version != d.version) return false;
  }
  return true;
}

Plan* Executor::GetPlan(const PlanPtr& slot, const std::function<void(Translator&, Plan&)>& build) {
  if (slot && Valid(*slot)) return slot.get();
  auto plan = std::unique_ptr<Plan>(new Plan());
  plan->slot = session_.slot;
  plan->catalog_generation = session_.handle->catalog().Generation();
  Translator t(this, plan.get());
  build(t, *plan);
  // A plan that names only main tables reads the same in every session: the connections of one
  // call take different slots on their shared handle, and must not translate it again each.
  bool session_free = !plan->uses_sysobjects;
  for (const TableDep& d : plan->deps) session_free = session_free && d.main;
  if (session_free) plan->slot = -1;
  const_cast<PlanPtr&>(slot).reset(plan.release());
  return slot.get();
}

Value Executor::SystemValue(const std::string& name) {
  if (name == "rowcount") return Value::Int(session_.rowcount);
  if (name == "fetch_status") return Value::Int(session_.fetch_status);
  if (name == "error") return Value::Int(0);
  if (name == "identity") return session_.identity;
  if (name == "trancount") return Value::Int(session_.handle->InTransaction() ? 1 : 0);
  if (name == "spid") return Value::Int(51 + session_.slot);
  if (name == "nestlevel") return Value::Int(frame_ ? frame_->depth : 0);
  if (name == "datefirst") return Value::Int(7);
  if (name == "language") return Value::Text("us_english");
  if (name == "servername" || name == "servicename") return Value::Text("corva");
  if (name == "version") return Value::Text("corva embedded engine on SQLite " + SqliteVersion());
  if (name == "procid") return Value::Int(0);
  if (name == "trigger_update") return Value::Int(frame_ && frame_->trigger_update ? 1 : 0);
  if (name == "ansi_warnings") return Value::Int(session_.ansi_warnings ? 1 : 0);
  ThrowSql(137, "Must declare the scalar variable \"@@" + name + "\".");
}

Value Executor::ParamValue(const ParamSource& p) {
  Value v;
  switch (p.kind) {
    case ParamSource::Kind::kLiteral:
      v = (*frame_->literals)[p.index];
      break;
    case ParamSource::Kind::kVariable:
      v = frame_->vars[p.index];
      break;
    case ParamSource::Kind::kSystem:
      v = SystemValue(p.name);
      break;
    case ParamSource::Kind::kScratch:
      v = scratch_[p.index];
      break;
    case ParamSource::Kind::kCursorRowid: {
      size_t sep = p.name.find('\x1f');
      std::string cursor = p.name.substr(0, sep), alias = p.name.substr(sep + 1);
      auto it = session_.cursors.find(cursor);
      if (it == session_.cursors.end())
        ThrowSql(16916, "A cursor with the name '" + cursor + "' does not exist.");
      CursorState& c = it->second;
      if (!c.open || c.position < 0 || c.position >= static_cast<int64_t>(c.rows.size()))
        ThrowSql(16930, "The requested row is not in the fetch buffer.");
      for (size_t i = 0; i < c.rowid_tables.size(); ++i)
        if (c.rowid_tables[i] == alias) return c.rows[c.position][c.visible + i];
      for (size_t i = 0; i < c.rowid_bases.size(); ++i)
        if (c.rowid_bases[i] == alias) return c.rows[c.position][c.visible + i];
      ThrowSql(16929, "The cursor is READ ONLY.");
    }
  }
  if (p.convert.kind != TypeKind::kUnknown && !v.IsNull())
    return p.store ? StoreInto(v, p.convert, session_.ansi_warnings) : ConvertTo(v, p.convert);
  return v;
}

int64_t Executor::Step(SqlText& text, const RowFn& on_row) {
  sqlite3* db = session_.handle->db();
  if (!text.stmt)
    text.stmt = session_.handle->Prepare(text.sql);
  else if (text.stmt->writes())
    session_.handle->BeforeWrite();
  sqlite3_stmt* st = text.stmt->get();
  sqlite3_reset(st);
  for (size_t i = 0; i < text.params.size(); ++i) {
    const ParamSource& p = text.params[i];
    int index = static_cast<int>(i) + 1;
    // Literals and variables that need no conversion bind without a copy.
    if (p.convert.kind == TypeKind::kUnknown && p.kind == ParamSource::Kind::kLiteral)
      Bind(st, index, (*frame_->literals)[p.index], true);
    else if (p.convert.kind == TypeKind::kUnknown && p.kind == ParamSource::Kind::kVariable)
      Bind(st, index, frame_->vars[p.index]);
    else
      Bind(st, index, ParamValue(p));
  }
  while (true) {
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      if (on_row) on_row(st);
      continue;
    }
    if (rc == SQLITE_DONE) break;
    sqlite3_reset(st);
    // A Null refused by a column names the statement that stored it (515 "... UPDATE fails.").
    const char* sql = sqlite3_sql(st);
    ThrowSqlite(db, rc, sql && std::strncmp(sql, "UPDATE", 6) == 0 ? "UPDATE" : "INSERT");
  }
  int64_t changes = sqlite3_changes64(db);
  sqlite3_reset(st);
  return changes;
}

void Executor::AddRowsAffected(int64_t n, bool count) {
  session_.rowcount = n;
  if (!count || in_trigger_) return;
  if (out_->rows_affected < 0) out_->rows_affected = 0;
  out_->rows_affected += n;
}

Value Executor::Eval(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kLiteral:
    case ExprKind::kParam:
      return (*frame_->literals)[e.index];
    case ExprKind::kVariable:
      return frame_->vars[e.index];
    case ExprKind::kNull:
      return Value::Null();
    case ExprKind::kSystemVar:
      return SystemValue(e.name);
    case ExprKind::kUnary:
      if (e.name == "-" &&
          (e.args[0]->kind == ExprKind::kLiteral || e.args[0]->kind == ExprKind::kVariable)) {
        Value v = Eval(*e.args[0]);
        if (v.kind == Value::Kind::kInt) return Value::Int(-v.i);
        if (v.kind == Value::Kind::kReal) return Value::Real(-v.d);
        if (v.IsNull()) return v;
      }
      break;
    case ExprKind::kCompare:
    case ExprKind::kIsNull:
    case ExprKind::kAnd:
    case ExprKind::kOr:
    case ExprKind::kNot: {
      Value v;
      if (EvalIntCondition(e, &v)) return v;
      break;
    }
    default:
      break;
  }
  Plan* plan = GetPlan(e.plan, [&](Translator& t, Plan& p) { p.steps.push_back(t.Scalar(e)); });
  if (plan->uses_sysobjects) RefreshSysObjects();
  Value result;
  const SqlType& type = plan->steps[0].columns[0].type;
  Step(plan->steps[0], [&](sqlite3_stmt* st) { result = ColumnValue(st, 0, type); });
  return result;
}

// Frames and control flow ---------------------------------------------------------------------

void Executor::RunBatch(const std::shared_ptr<CompiledBatch>& batch,
                        const std::vector<Value>& literals) {
  Frame frame;
  frame.program = batch->parse.program.get();
  frame.literals = &literals;
  frame.batch = batch.get();
  frame.owner = batch;
  RunFrame(&frame);
}

void Executor::RunFrame(Frame* frame) {
  Frame* saved = frame_;
  frame_ = frame;
  if (frame->vars.size() < frame->program->vars.size())
    frame->vars.resize(frame->program->vars.size());
  if (saved) frame->depth = saved->depth + 1;
  if (frame->depth > 32)
    ThrowSql(217,
             "Maximum stored procedure, function, trigger, or view nesting level exceeded "
             "(limit 32).");
  // A procedure's, trigger's or dynamic batch's own "#" tables go when it ends.
  auto cleanup = [&] {
    for (const std::string& t : frame->owned) ReleaseTemp(t);
    if (frame->depth > 0) {
      for (const std::string& key : frame->temp_created) {
        auto it = session_.temp_tables.find(key);
        if (it == session_.temp_tables.end()) continue;
        std::string physical = it->second->physical;
        session_.temp_tables.erase(it);
        ReleaseTemp(physical);
      }
      for (auto& [key, table] : frame->shadowed) session_.temp_tables[key] = std::move(table);
    }
    frame_ = saved;
  };
  try {
    RunList(frame->program->stmts);
  } catch (...) {
    cleanup();
    throw;
  }
  cleanup();
}

Executor::Flow Executor::RunList(const std::vector<StmtPtr>& stmts) {
  for (const StmtPtr& s : stmts) {
    Flow f = Run(*s);
    if (f != Flow::kNext) return f;
  }
  return Flow::kNext;
}

Executor::Flow Executor::Run(const Stmt& s) {
  try {
    switch (s.kind) {
      case StmtKind::kSelect: {
        const auto& sel = static_cast<const SelectStmt&>(s);
        if (!sel.query->cores[0].into.empty())
          SelectInto(sel);
        else
          Select(sel);
        break;
      }
      case StmtKind::kInsert:
        Insert(static_cast<const InsertStmt&>(s));
        break;
      case StmtKind::kUpdate:
        Update(static_cast<const UpdateStmt&>(s));
        break;
      case StmtKind::kDelete:
        Delete(static_cast<const DeleteStmt&>(s));
        break;
      case StmtKind::kDeclare: {
        for (const DeclareItem& item : static_cast<const DeclareStmt&>(s).items) {
          if (!item.init) continue;
          frame_->vars[item.slot] = ConvertTo(Eval(*item.init), Variable(item.slot).type);
          session_.rowcount = 1;
        }
        break;
      }
      case StmtKind::kDeclareTable:
        DeclareTable(static_cast<const DeclareTableStmt&>(s));
        break;
      case StmtKind::kDeclareCursor:
        DeclareCursor(static_cast<const DeclareCursorStmt&>(s));
        break;
      case StmtKind::kSet: {
        const auto& set = static_cast<const SetStmt&>(s);
        frame_->vars[set.slot] = ConvertTo(Eval(*set.value), Variable(set.slot).type);
        session_.rowcount = 1;
        break;
      }
      case StmtKind::kSetOption: {
        const auto& o = static_cast<const SetOptionStmt&>(s);
        if (o.option == "ansi_warnings") session_.ansi_warnings = o.on;
        session_.rowcount = 0;
        break;
      }
      case StmtKind::kNoop:
      case StmtKind::kPrint:
        session_.rowcount = 0;
        break;
      case StmtKind::kIf: {
        // Testing the condition is a statement of its own: @@ROWCOUNT reads 0 after it, whether
        // a branch runs or not (the branch that runs sets it again).
        const auto& i = static_cast<const IfStmt&>(s);
        bool cond = Eval(*i.cond).IsTrue();
        session_.rowcount = 0;
        if (cond) return Run(*i.then_branch);
        if (i.else_branch) return Run(*i.else_branch);
        break;
      }
      case StmtKind::kWhile: {
        const auto& w = static_cast<const WhileStmt&>(s);
        while (true) {
          bool cond = Eval(*w.cond).IsTrue();
          session_.rowcount = 0;  // each test of the condition, as IF's
          if (!cond) break;
          Flow f = Run(*w.body);
          if (f == Flow::kBreak) break;
          if (f == Flow::kReturn) return f;
        }
        break;
      }
      case StmtKind::kBlock:
        return RunList(static_cast<const BlockStmt&>(s).body);
      case StmtKind::kBreak:
        return Flow::kBreak;
      case StmtKind::kContinue:
        return Flow::kContinue;
      case StmtKind::kReturn: {
        const auto& r = static_cast<const ValueStmt&>(s);
        if (r.value) frame_->return_value = ConvertTo(Eval(*r.value), SqlType::Of(TypeKind::kInt));
        session_.rowcount = 1;  // an assignment of the return code, which EXEC then keeps
        return Flow::kReturn;
      }
      case StmtKind::kExec:
        Exec(static_cast<const ExecStmt&>(s));
        break;
      case StmtKind::kExecString:
        ExecString(static_cast<const ValueStmt&>(s));
        break;
      case StmtKind::kCreateTable:
        CreateTable(static_cast<const CreateTableStmt&>(s));
        break;
      case StmtKind::kDropTable:
        DropTable(static_cast<const NamesStmt&>(s));
        break;
      case StmtKind::kCreateIndex:
        CreateIndex(static_cast<const CreateIndexStmt&>(s));
        break;
      case StmtKind::kDropIndex:
        DropIndex(static_cast<const NamesStmt&>(s));
        break;
      case StmtKind::kTruncate:
        Truncate(static_cast<const NamesStmt&>(s));
        break;
      case StmtKind::kAlterAddColumn:
        AlterAddColumn(static_cast<const AlterAddColumnStmt&>(s));
        break;
      case StmtKind::kCreateProc:
      case StmtKind::kCreateTrigger:
        CreateRoutine(s);
        break;
      case StmtKind::kDropProc:
      case StmtKind::kDropTrigger:
        DropRoutine(static_cast<const NamesStmt&>(s));
        break;
      case StmtKind::kTriggerSwitch:
        SwitchTriggers(static_cast<const TriggerSwitchStmt&>(s));
        break;
      case StmtKind::kOpen:
      case StmtKind::kClose:
      case StmtKind::kDeallocate:
        CursorCommand(static_cast<const NamesStmt&>(s));
        break;
      case StmtKind::kFetch:
        Fetch(static_cast<const FetchStmt&>(s));
        break;
      case StmtKind::kRaiserror:
        Raiserror(static_cast<const RaiserrorStmt&>(s));
        break;
    }
  } catch (corva::Error& e) {
    if (e.Line() == 0 && s.line > 0) e.SetPosition(s.line, s.column);
    throw;
  }
  return Flow::kNext;
}

// SELECT --------------------------------------------------------------------------------------

void Executor::Select(const SelectStmt& s) {
  const Query& q = *s.query;
  const SelectCore& first = q.cores[0];
  bool assign = !first.items.empty() && first.items[0].assign_slot >= 0;
  for (const SelectItem& item : first.items)
    if ((item.assign_slot >= 0) != assign)
      ThrowSql(141,
               "A SELECT statement that assigns a value to a variable must not be combined "
               "with data-retrieval operations.");
  if (assign && q.cores.size() == 1 && first.from.empty() && !first.where && !first.top &&
      !first.having && first.group_by.empty()) {
    bool simple = true;
    for (const SelectItem& item : first.items) {
      ExprKind k = item.expr->kind;
      simple = simple && (k == ExprKind::kLiteral || k == ExprKind::kParam ||
                          k == ExprKind::kVariable || k == ExprKind::kNull);
    }
    if (simple) {
      // "SELECT @a = 1, @b = @c": plain assignments, made without SQLite.
      std::vector<Value> values;
      for (const SelectItem& item : first.items) values.push_back(Eval(*item.expr));
      for (size_t i = 0; i < values.size(); ++i) {
        int slot = first.items[i].assign_slot;
        frame_->vars[slot] = ConvertTo(values[i], Variable(slot).type);
      }
      session_.rowcount = 1;
      return;
    }
  }
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) { p.steps.push_back(t.Query(q)); });
  if (plan->uses_sysobjects) RefreshSysObjects();
  SqlText& text = plan->steps[0];
  int64_t rows = 0;
  if (assign) {
    std::vector<Value> last;
    size_t n = first.items.size();
    Step(text, [&](sqlite3_stmt* st) {
      ++rows;
      last.resize(n);
      for (size_t i = 0; i < n; ++i)
        last[i] = ColumnValue(st, static_cast<int>(i), text.columns[i].type);
    });
    // The last row wins; without a row the variables keep their values.
    if (rows > 0)
      for (size_t i = 0; i < n; ++i) {
        int slot = first.items[i].assign_slot;
        frame_->vars[slot] = ConvertTo(last[i], Variable(slot).type);
      }
    session_.rowcount = rows;
    return;
  }
  ResultSet rs;
  for (const ResultColumn& c : text.columns) rs.columns.push_back(c.name);
  const size_t n = text.columns.size();
  Step(text, [&](sqlite3_stmt* st) {
    std::vector<Variant> row;
    row.reserve(n);
    for (size_t i = 0; i < n; ++i)
      row.push_back(ToVariant(st, static_cast<int>(i), text.columns[i].type));
    rs.rows.push_back(std::move(row));
  });
  session_.rowcount = static_cast<int64_t>(rs.rows.size());
  out_->result_sets.push_back(std::move(rs));
}

}  // namespace corva::tsql
