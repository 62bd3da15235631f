// INSERT, UPDATE, DELETE and SELECT INTO, and the AFTER triggers they fire: a statement on a table
// with enabled triggers first collects the rows it will touch (their rowids, or the key columns of
// a table stored by its key, one after the other), snapshots the old rows as `deleted`, runs,
// snapshots the new rows as `inserted`, then runs each trigger body once.
#include <algorithm>
#include <functional>

#include "corva/error.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

// `text` giving back the rows it wrote, for the triggers of a table whose rows are told apart by
// their key: a rowid key, or the key of a table stored by it.
SqlText Returning(const SqlText& text, const TableInfo& table) {
  SqlText r;
  r.sql = text.sql + " RETURNING ";
  std::vector<std::string> key = table.RowKey();
  for (size_t k = 0; k < key.size(); ++k) r.sql += (k ? ", " : "") + key[k];
  r.params = text.params;
  return r;
}

// Whether the rows a statement writes into `table` are told apart by values the statement itself
// gives (rather than by rowids SQLite numbers above the largest).
bool KeyedRows(const TableInfo& table) {
  return table.rowid_key >= 0 || !table.clustered_key.empty();
}

// Whether a statement setting `column` can move a row to another key.
bool MovesRows(const TableInfo& table, int column) {
  return column == table.rowid_key ||
         std::find(table.clustered_key.begin(), table.clustered_key.end(), column) !=
             table.clustered_key.end();
}

}  // namespace

std::string Executor::ColumnDecl(const SqlType& type) {
  switch (type.kind) {
    case TypeKind::kInt:
      return type.name.empty() ? "INT" : type.SqliteDecl();
    case TypeKind::kReal:
      return type.name.empty() ? "FLOAT" : type.SqliteDecl();
    case TypeKind::kDecimal:
      return (type.name.empty() ? SqlType::Numeric(38, 10) : type).SqliteDecl() +
             " COLLATE TSQLDEC";
    case TypeKind::kText:
      return (type.name.empty() ? SqlType::FromName("varchar", -1).SqliteDecl()
                                : type.SqliteDecl()) +
             " COLLATE TSQL";
    case TypeKind::kDate:
      return type.name.empty() ? "DATETIME TEXT" : type.SqliteDecl();
    case TypeKind::kNull:
      return "INT";
    default:
      return "";
  }
}

void Executor::SelectInto(const SelectStmt& s) {
  const Query& q = *s.query;
  const std::vector<std::string>& into = q.cores[0].into;
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) { p.steps.push_back(t.Query(q)); });
  if (plan->uses_sysobjects) RefreshSysObjects();
  SqlText& select = plan->steps[0];
  std::string body;
  std::vector<ColumnInfo> cols;
  for (size_t i = 0; i < select.columns.size(); ++i) {
    const ResultColumn& c = select.columns[i];
    if (c.name.empty())
      ThrowSql(1038,
               "An object or column name is missing or empty. For SELECT INTO statements, "
               "verify each column has a name.");
    if (i) body += ", ";
    body += QuoteId(c.name) + " " + ColumnDecl(c.type);
    cols.push_back(ColumnInfo{c.name, c.type, false, false});
  }
  const std::string& name = into.back();
  TablePtr table;
  if (!name.empty() && name[0] == '#') {
    std::string key = ToLower(name);
    std::string physical = NewTempName(name);
    auto info = MakeTempTable(name, physical, body, std::move(cols), 1);
    session_.temp_tables[key] = info;
    frame_->temp_created.push_back(key);
    table = info;
  } else {
    if (ResolveTable(into))
      ThrowSql(2714, "There is already an object named '" + name + "' in the database.");
    session_.handle->Exec("CREATE TABLE main." + QuoteId(name) + " (" + body + ")");
    SchemaChanged();
    table = ResolveTable(into);
  }
  if (plan->steps.size() < 2 || plan->names.empty() || plan->names[0] != table->sql_name) {
    plan->steps.resize(1);
    SqlText insert;
    insert.sql = "INSERT INTO " + table->sql_name + " " + select.sql;
    insert.params = select.params;
    plan->steps.push_back(std::move(insert));
    plan->names = {table->sql_name};
  }
  AddRowsAffected(Step(plan->steps[1], nullptr), true);
}

void Executor::Insert(const InsertStmt& s) {
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) {
    p.table = t.Resolve(s.table, s.line, s.column);
    if (s.exec) {
      std::vector<int> cols;
      if (s.columns.empty()) {
        for (size_t i = 0; i < p.table->columns.size(); ++i)
          if (!p.table->columns[i].identity) cols.push_back(static_cast<int>(i));
      } else {
        for (const std::string& c : s.columns) {
          int idx = p.table->Find(c);
          if (idx < 0) ThrowSql(207, "Invalid column name '" + c + "'.");
          cols.push_back(idx);
        }
      }
      p.ints = cols;
      p.steps.push_back(t.InsertRow(p.table, cols));
    } else {
      p.steps.push_back(t.Insert(s, p.table));
    }
    if (!p.table->temp && KeyedRows(*p.table)) p.steps.push_back(Returning(p.steps[0], *p.table));
  });
  if (plan->uses_sysobjects) RefreshSysObjects();
  const TablePtr& table = plan->table;
  bool triggers = !table->temp && HasTriggers(table, "insert");
  // A rowid key takes the values the rows bring, below the largest one as well: the statement
  // itself tells which rows it added. Other tables number their new rows above the largest.
  bool returning = triggers && KeyedRows(*table);
  std::vector<int64_t> ids;
  RowFn collect;
  if (returning) collect = [&](sqlite3_stmt* st) { AddRowKey(st, &ids); };
  SqlText& step = plan->steps[returning ? 1 : 0];
  int64_t before = 0;
  if (triggers && !returning) {
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT ifnull(max(rowid), 0) FROM " + table->sql_name;
    sqlite3_prepare_v2(session_.handle->db(), sql.c_str(), -1, &st, nullptr);
    if (st && sqlite3_step(st) == SQLITE_ROW) before = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  int64_t last_identity = 0;
  bool stepped = table->identity >= 0 && table->increment != 1;
  if (stepped) last_identity = IdentitySequence(table);
  int64_t changes = 0;
  if (s.exec) {
    BatchResult captured;
    BatchResult* saved = out_;
    out_ = &captured;
    try {
      Exec(*s.exec);
    } catch (...) {
      out_ = saved;
      throw;
    }
    out_ = saved;
    for (ResultSet& rs : captured.result_sets) {
      if (rs.columns.size() != plan->ints.size())
        ThrowSql(213, "Column name or number of supplied values does not match table definition.");
      for (const auto& row : rs.rows) {
        scratch_.clear();
        for (const Variant& v : row) scratch_.push_back(FromVariant(v));
        changes += Step(step, collect);
      }
    }
  } else {
    changes = Step(step, collect);
  }
  if (stepped && changes > 0) StepIdentity(table, last_identity, changes);
  if (table->identity >= 0 && changes > 0)
    session_.identity = Value::Int(stepped ? last_identity + changes * table->increment
                                           : sqlite3_last_insert_rowid(session_.handle->db()));
  AddRowsAffected(changes, true);
  if (triggers && changes > 0) {
    if (!returning) {
      sqlite3_stmt* st = nullptr;
      std::string sql = "SELECT rowid FROM " + table->sql_name + " WHERE rowid > ?1";
      sqlite3_prepare_v2(session_.handle->db(), sql.c_str(), -1, &st, nullptr);
      sqlite3_bind_int64(st, 1, before);
      while (st && sqlite3_step(st) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(st, 0));
      sqlite3_finalize(st);
    }
    FireTriggers(table, "insert", ids, std::string(), changes);
    session_.rowcount = changes;
  }
}

void Executor::Update(const UpdateStmt& s) {
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) {
    p.routine_generation = session_.handle->catalog().RoutineGeneration();
    p.steps.push_back(t.Update(s));
    if (!p.table->temp && HasTriggers(p.table, "update")) {
      p.steps.push_back(t.TargetRowids(s.target, s.from, s.where.get(), s.current_of, s.top.get()));
      // A statement that changes a key moves its rows: `inserted` are the rows it gives back.
      for (const SetClause& c : s.sets)
        if (MovesRows(*p.table, p.table->Find(c.column.back())) && p.steps.size() == 2)
          p.steps.push_back(Returning(p.steps[0], *p.table));
    }
  });
  if (plan->uses_sysobjects) RefreshSysObjects();
  const TablePtr& table = plan->table;
  if (plan->steps.size() > 1 && HasTriggers(table, "update")) {
    std::vector<int64_t> ids = CollectRowids(plan->steps[1]);
    std::string deleted = SnapshotRows(table, ids, "deleted");
    int64_t changes;
    if (plan->steps.size() > 2) {
      ids.clear();
      changes = Step(plan->steps[2], [&](sqlite3_stmt* st) { AddRowKey(st, &ids); });
    } else {
      changes = Step(plan->steps[0], nullptr);
    }
    AddRowsAffected(changes, true);
    FireTriggers(table, "update", ids, deleted, changes);
    session_.rowcount = changes;
    return;
  }
  AddRowsAffected(Step(plan->steps[0], nullptr), true);
}

void Executor::Delete(const DeleteStmt& s) {
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) {
    p.routine_generation = session_.handle->catalog().RoutineGeneration();
    p.steps.push_back(t.Delete(s));
    if (!p.table->temp && HasTriggers(p.table, "delete"))
      p.steps.push_back(t.TargetRowids(s.target, s.from, s.where.get(), s.current_of, s.top.get()));
  });
  if (plan->uses_sysobjects) RefreshSysObjects();
  const TablePtr& table = plan->table;
  if (plan->steps.size() > 1 && HasTriggers(table, "delete")) {
    std::vector<int64_t> ids = CollectRowids(plan->steps[1]);
    std::string deleted = SnapshotRows(table, ids, "deleted");
    int64_t changes = Step(plan->steps[0], nullptr);
    AddRowsAffected(changes, true);
    FireTriggers(table, "delete", {}, deleted, changes);
    session_.rowcount = changes;
    return;
  }
  AddRowsAffected(Step(plan->steps[0], nullptr), true);
}

int64_t Executor::IdentitySequence(const TablePtr& table) {
  std::string schema = table->temp ? "temp" : "main";
  std::shared_ptr<Prepared> q = session_.handle->Prepare(
      "SELECT max(ifnull((SELECT seq FROM " + schema +
      ".sqlite_sequence WHERE name = " + QuoteText(table->physical) +
      "), 0), ifnull((SELECT max(rowid) FROM " + table->sql_name + "), 0))");
  int64_t last = 0;
  sqlite3_reset(q->get());
  if (sqlite3_step(q->get()) == SQLITE_ROW) last = sqlite3_column_int64(q->get(), 0);
  sqlite3_reset(q->get());
  return last;
}

void Executor::StepIdentity(const TablePtr& table, int64_t last, int64_t added) {
  std::string schema = table->temp ? "temp" : "main";
  std::string l = std::to_string(last);
  session_.handle->Exec("UPDATE " + table->sql_name + " SET rowid = -rowid WHERE rowid > " + l);
  session_.handle->Exec("UPDATE " + table->sql_name + " SET rowid = " + l + " + (-rowid - " + l +
                        ") * " + std::to_string(table->increment) + " WHERE rowid < 0");
  session_.handle->Exec("UPDATE " + schema + ".sqlite_sequence SET seq = " +
                        std::to_string(last + added * table->increment) +
                        " WHERE name = " + QuoteText(table->physical));
}

// Triggers ------------------------------------------------------------------------------------

bool Executor::HasTriggers(const TablePtr& table, const char* event) {
  return !session_.handle->catalog().Triggers(session_.handle->db(), table->name, event).empty();
}

void Executor::AddRowKey(sqlite3_stmt* st, std::vector<int64_t>* ids) {
  if (sqlite3_column_type(st, 0) == SQLITE_NULL) return;
  for (int k = 0, n = sqlite3_column_count(st); k < n; ++k)
    ids->push_back(sqlite3_column_int64(st, k));
}

std::vector<int64_t> Executor::CollectRowids(SqlText& text) {
  std::vector<int64_t> ids;
  Step(text, [&](sqlite3_stmt* st) { AddRowKey(st, &ids); });
  return ids;
}

std::string Executor::SnapshotRows(const TablePtr& table, const std::vector<int64_t>& rowids,
                                   const std::string& name) {
  std::string body;
  std::vector<ColumnInfo> cols;
  for (size_t i = 0; i < table->columns.size(); ++i) {
    const ColumnInfo& c = table->columns[i];
    if (i) body += ", ";
    body += QuoteId(c.name) + " " + (c.identity ? std::string("INT") : ColumnDecl(c.type));
    cols.push_back(
        ColumnInfo{c.name, c.identity ? SqlType::Of(TypeKind::kInt) : c.type, false, false});
  }
  std::string physical = name + "$" + std::to_string(session_.slot) + "$" +
                         std::to_string(frame_->depth) + "$" +
                         std::to_string(active_triggers_.size());
  auto info = MakeTempTable(name, physical, body, std::move(cols), 1);
  if (!rowids.empty()) {
    // The rows' keys go into a table of as many columns as the key has parts.
    std::vector<std::string> key = table->RowKey();
    size_t parts = key.size();
    std::string bare = "corva_ids$" + std::to_string(session_.slot);
    if (parts > 1) bare += "$" + std::to_string(parts);
    std::string ids = "temp." + QuoteId(bare);
    std::string columns, marks, row_key;
    for (size_t k = 0; k < parts; ++k) {
      columns += (k ? ", k" : "k") + std::to_string(k);
      marks += (k ? ", ?" : "?") + std::to_string(k + 1);
      row_key += (k ? ", " : "") + key[k];
    }
    if (parts > 1) row_key = "(" + row_key + ")";
    session_.handle->Exec(
        "CREATE TEMP TABLE IF NOT EXISTS " + QuoteId(bare) +
        (parts == 1 ? std::string(" (k0 INTEGER PRIMARY KEY)")
                    : " (" + columns + ", PRIMARY KEY (" + columns + ")) WITHOUT ROWID"));
    session_.handle->Exec("DELETE FROM " + ids);
    std::shared_ptr<Prepared> add =
        session_.handle->Prepare("INSERT OR IGNORE INTO " + ids + " VALUES (" + marks + ")");
    for (size_t i = 0; i + parts <= rowids.size(); i += parts) {
      sqlite3_reset(add->get());
      for (size_t k = 0; k < parts; ++k)
        sqlite3_bind_int64(add->get(), static_cast<int>(k + 1), rowids[i + k]);
      sqlite3_step(add->get());
    }
    sqlite3_reset(add->get());
    std::string list;
    for (size_t i = 0; i < table->columns.size(); ++i) {
      if (i) list += ", ";
      list += QuoteId(table->columns[i].name);
    }
    session_.handle->Exec("INSERT INTO " + info->sql_name + " SELECT " + list + " FROM " +
                          table->sql_name + " WHERE " + row_key + " IN (SELECT " + columns +
                          " FROM " + ids + ")");
  }
  pending_snapshots_[physical] = info;
  return physical;
}

void Executor::FireTriggers(const TablePtr& table, const char* event,
                            const std::vector<int64_t>& rowids, const std::string& deleted_physical,
                            int64_t affected) {
  auto triggers = session_.handle->catalog().Triggers(session_.handle->db(), table->name, event);
  std::string inserted = SnapshotRows(table, rowids, "inserted");
  std::string deleted =
      deleted_physical.empty() ? SnapshotRows(table, {}, "deleted") : deleted_physical;
  TablePtr ins = pending_snapshots_[inserted];
  TablePtr del = pending_snapshots_[deleted];
  struct Release {
    Executor* self;
    std::string a, b;
    ~Release() {
      self->pending_snapshots_.erase(a);
      self->pending_snapshots_.erase(b);
      self->ReleaseTemp(a);
      self->ReleaseTemp(b);
    }
  } release{this, inserted, deleted};
  for (const auto& trig : triggers) {
    std::string key = ToLower(trig->name);
    if (active_triggers_.count(key)) continue;  // no direct recursion, as SQL Server's default
    std::shared_ptr<CompiledRoutine> routine = session_.handle->Routine(trig->text);
    Frame frame;
    frame.program = routine->parse.program.get();
    frame.literals = &routine->literals;
    frame.owner = routine;
    frame.tables["inserted"] = ins;
    frame.tables["deleted"] = del;
    frame.trigger_update = std::string(event) != "delete";
    active_triggers_.insert(key);
    bool saved = in_trigger_;
    in_trigger_ = true;
    session_.rowcount = affected;  // @@ROWCOUNT: the rows the firing statement touched
    try {
      RunFrame(&frame);
    } catch (...) {
      active_triggers_.erase(key);
      in_trigger_ = saved;
      throw;
    }
    active_triggers_.erase(key);
    in_trigger_ = saved;
  }
}

}  // namespace corva::tsql
