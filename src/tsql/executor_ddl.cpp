// Definitions at run time: tables ("#" tables of the session, table variables of the frame, main
// tables), indexes, the stored procedures and triggers kept in the catalog table, and the
// session's view of tempdb..sysobjects.
#include <algorithm>
#include <functional>

#include "corva/error.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

std::string JoinName(const std::vector<std::string>& name) {
  std::string r;
  for (size_t i = 0; i < name.size(); ++i) r += (i ? "." : "") + name[i];
  return r;
}

}  // namespace

std::shared_ptr<TableInfo> Executor::MakeTempTable(const std::string& logical,
                                                   const std::string& physical,
                                                   const std::string& body,
                                                   std::vector<ColumnInfo> cols, int64_t seed,
                                                   int64_t increment) {
  uint64_t definition = std::hash<std::string>()(body) | 1;
  HandleImpl* h = session_.handle;
  if (!h->ReviveTemp(physical, definition)) {
    h->Exec("DROP TABLE IF EXISTS temp." + QuoteId(physical));
    h->Exec("CREATE TEMP TABLE " + QuoteId(physical) + " (" + body + ")");
    h->KeepTemp(physical, definition, false, body);
  }
  auto info = std::make_shared<TableInfo>();
  info->name = logical;
  info->physical = physical;
  info->sql_name = "temp." + QuoteId(physical);
  info->columns = std::move(cols);
  info->temp = true;
  // Equal definitions under different SQLite names (a procedure's "#t" hiding its caller's) are
  // different tables to the plans made for them.
  info->version = definition ^ (std::hash<std::string>()(physical) << 1);
  info->object_id = session_.next_temp_id--;
  info->BuildIndex();
  info->increment = increment == 0 ? 1 : increment;
  if (info->identity >= 0) {
    h->Exec("DELETE FROM temp.sqlite_sequence WHERE name = " + QuoteText(physical));
    // The sequence holds the last value handed out; before the first row that is seed - step.
    if (seed != 1 || info->increment != 1)
      h->Exec("INSERT INTO temp.sqlite_sequence(name, seq) VALUES (" + QuoteText(physical) + ", " +
              std::to_string(seed - info->increment) + ")");
  }
  return info;
}

void Executor::ReleaseTemp(const std::string& physical) {
  try {
    session_.handle->KeepTemp(physical, 0, true);
  } catch (...) {
  }
}

std::string Executor::NewTempName(const std::string& name) {
  std::string key = ToLower(name);
  auto it = session_.temp_tables.find(key);
  if (it == session_.temp_tables.end())
    return name + "$" + std::to_string(session_.slot) +
           (frame_->depth > 0 ? "$" + std::to_string(frame_->depth) : "");
  bool mine = std::find(frame_->temp_created.begin(), frame_->temp_created.end(), key) !=
              frame_->temp_created.end();
  if (mine || frame_->depth == 0)
    ThrowSql(2714, "There is already an object named '" + name + "' in the database.");
  frame_->shadowed.emplace_back(key, it->second);
  session_.temp_tables.erase(it);
  return name + "$" + std::to_string(session_.slot) + "$" + std::to_string(frame_->depth);
}

void Executor::SchemaChanged() { session_.handle->catalog().Invalidate(); }

void Executor::RefreshSysObjects() {
  HandleImpl* h = session_.handle;
  std::string table = TempObjectsTable();
  if (!session_.sysobjects_ready) {
    h->Exec("CREATE TEMP TABLE IF NOT EXISTS " +
            QuoteId("corva_sysobjects$" + std::to_string(session_.slot)) +
            " (name TEXT COLLATE TSQL, id INTEGER, xtype TEXT)");
    session_.sysobjects_ready = true;
  }
  h->Exec("DELETE FROM " + table);
  std::shared_ptr<Prepared> add = h->Prepare("INSERT INTO " + table + " VALUES (?1, ?2, 'U')");
  for (const auto& [key, info] : session_.temp_tables) {
    sqlite3_reset(add->get());
    sqlite3_bind_text(add->get(), 1, info->name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(add->get(), 2, info->object_id);
    sqlite3_step(add->get());
  }
  sqlite3_reset(add->get());
}

void Executor::CreateTable(const CreateTableStmt& s) {
  const std::string& name = s.name.back();
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) {
    std::vector<ColumnInfo> cols;
    SqlText body;
    body.sql = t.ColumnDefinitions(s.def, &cols);
    p.steps.push_back(std::move(body));
    auto info = std::make_shared<TableInfo>();
    info->columns = std::move(cols);
    p.table = info;
  });
  const std::string& body = plan->steps[0].sql;
  int64_t seed = 1, increment = 1;
  for (const ColumnDefAst& c : s.def.columns)
    if (c.identity) seed = c.seed, increment = c.increment == 0 ? 1 : c.increment;
  if (!name.empty() && name[0] == '#') {
    std::string key = ToLower(name);
    std::string physical = NewTempName(name);
    session_.temp_tables[key] =
        MakeTempTable(name, physical, body, plan->table->columns, seed, increment);
    frame_->temp_created.push_back(key);
  } else {
    if (ResolveTable(s.name) ||
        session_.handle->catalog().FindRoutine(session_.handle->db(), "P", name))
      ThrowSql(2714, "There is already an object named '" + name + "' in the database.");
    session_.handle->Exec("CREATE TABLE main." + QuoteId(name) + " (" + body + ")" +
                          (Translator::StoredByKey(s.def) ? " WITHOUT ROWID" : ""));
    if (seed != 1 || increment != 1)
      session_.handle->Exec("INSERT INTO main.sqlite_sequence(name, seq) VALUES (" +
                            QuoteText(name) + ", " + std::to_string(seed - increment) + ")");
    if (increment != 1)
      session_.handle->Exec(
          "INSERT OR REPLACE INTO main.corva_catalog(kind, name, text) VALUES "
          "('ID', " +
          QuoteText(name) + ", '" + std::to_string(increment) + "')");
    SchemaChanged();
  }
  session_.rowcount = 0;
}

void Executor::DeclareTable(const DeclareTableStmt& s) {
  Plan* plan = GetPlan(s.plan, [&](Translator& t, Plan& p) {
    std::vector<ColumnInfo> cols;
    SqlText body;
    body.sql = t.ColumnDefinitions(s.def, &cols);
    p.steps.push_back(std::move(body));
    auto info = std::make_shared<TableInfo>();
    info->columns = std::move(cols);
    p.table = info;
  });
  std::string key = ToLower(s.name);
  if (frame_->tables.count(key)) return;  // a DECLARE met again in a loop keeps its table
  std::string physical =
      s.name + "$" + std::to_string(session_.slot) + "$" + std::to_string(frame_->depth);
  int64_t seed = 1, increment = 1;
  for (const ColumnDefAst& c : s.def.columns)
    if (c.identity) seed = c.seed, increment = c.increment;
  frame_->tables[key] =
      MakeTempTable(s.name, physical, plan->steps[0].sql, plan->table->columns, seed, increment);
  frame_->owned.push_back(physical);
}

void Executor::DropTable(const NamesStmt& s) {
  for (const auto& name : s.names) {
    const std::string& last = name.back();
    if (!last.empty() && last[0] == '#') {
      auto it = session_.temp_tables.find(ToLower(last));
      if (it == session_.temp_tables.end()) {
        if (s.if_exists) continue;
        ThrowSql(3701, "Cannot drop the table '" + JoinName(name) +
                           "', because it does not exist or you do not have permission.");
      }
      std::string physical = it->second->physical;
      session_.temp_tables.erase(it);
      ReleaseTemp(physical);
      continue;
    }
    TablePtr t = ResolveTable(name);
    if (!t || t->temp) {
      if (s.if_exists) continue;
      ThrowSql(3701, "Cannot drop the table '" + JoinName(name) +
                         "', because it does not exist or you do not have permission.");
    }
    session_.handle->Exec("DROP TABLE main." + QuoteId(t->physical));
    EnsureCatalogTable(session_.handle->db());
    session_.handle->Exec(
        "DELETE FROM main.corva_catalog WHERE (kind = 'TR' AND tbl = " + QuoteText(t->name) +
        ") OR (kind = 'ID' AND name = " + QuoteText(t->name) + ")");
    SchemaChanged();
  }
  session_.rowcount = 0;
}

void Executor::CreateIndex(const CreateIndexStmt& s) {
  TablePtr t = ResolveTable(s.table);
  if (!t) ThrowSql(208, "Invalid object name '" + JoinName(s.table) + "'.");
  auto column = [&](const std::string& name) {
    int idx = t->Find(name);
    if (idx < 0)
      ThrowSql(1911, "Column name '" + name + "' does not exist in the target table or view.");
    return QuoteId(t->columns[idx].name);
  };
  std::string cols;
  for (size_t i = 0; i < s.columns.size(); ++i)
    cols += (i ? ", " : "") + column(s.columns[i]) + (s.desc[i] ? " DESC" : "");
  // SQLite has no included columns; after the key they serve the same purpose (a query that needs
  // only these columns reads the index alone, not the table) without changing the order of the
  // key. A unique index keeps its key alone: appended columns would widen what must be unique.
  for (const std::string& name : s.included) {
    std::string quoted = column(name);
    if (!s.unique) cols += ", " + quoted;
  }
  std::string index = t->physical + "$" + s.name;
  std::string unique = s.unique ? "UNIQUE " : "";
  if (t->temp) {
    session_.handle->Exec("CREATE " + unique + "INDEX IF NOT EXISTS temp." + QuoteId(index) +
                          " ON " + QuoteId(t->physical) + " (" + cols + ")");
    session_.handle->RecordTempIndex(t->physical);
    return;
  }
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(
      session_.handle->db(),
      "SELECT 1 FROM main.sqlite_master WHERE type='index' AND name=?1 COLLATE NOCASE", -1, &st,
      nullptr);
  sqlite3_bind_text(st, 1, index.c_str(), -1, SQLITE_TRANSIENT);
  bool exists = sqlite3_step(st) == SQLITE_ROW;
  sqlite3_finalize(st);
  if (exists)
    ThrowSql(1913, "The operation failed because an index or statistics with name '" + s.name +
                       "' already exists on table '" + t->name + "'.");
  session_.handle->Exec("CREATE " + unique + "INDEX main." + QuoteId(index) + " ON " +
                        QuoteId(t->physical) + " (" + cols + ")");
  SchemaChanged();
}

void Executor::DropIndex(const NamesStmt& s) {
  for (const auto& name : s.names) {
    std::vector<std::string> table = s.table;
    std::string index = name.back();
    if (table.empty()) {
      if (name.size() < 2)
        ThrowSql(159, "Must specify the table name and index name for the DROP INDEX statement.");
      table.assign(name.begin(), name.end() - 1);
    }
    TablePtr t = ResolveTable(table);
    if (!t)
      ThrowSql(3701, "Cannot drop the index '" + JoinName(name) +
                         "', because it does not exist or you do not have permission.");
    std::string schema = t->temp ? "temp." : "main.";
    session_.handle->Exec("DROP INDEX IF EXISTS " + schema + QuoteId(t->physical + "$" + index));
    if (!t->temp) SchemaChanged();
  }
}

void Executor::Truncate(const NamesStmt& s) {
  TablePtr t = ResolveTable(s.names[0]);
  if (!t)
    ThrowSql(4701, "Cannot find the object \"" + JoinName(s.names[0]) +
                       "\" because it does not exist or you do not have permissions.");
  session_.handle->Exec("DELETE FROM " + t->sql_name);
  if (t->identity >= 0)
    session_.handle->Exec(std::string("DELETE FROM ") + (t->temp ? "temp" : "main") +
                          ".sqlite_sequence WHERE name = " + QuoteText(t->physical));
  session_.rowcount = 0;
}

void Executor::AlterAddColumn(const AlterAddColumnStmt& s) {
  TablePtr t = ResolveTable(s.table);
  if (!t)
    ThrowSql(4902, "Cannot find the object \"" + JoinName(s.table) +
                       "\" because it does not exist or you do not have permissions.");
  if (t->temp) ThrowSql(4902, "Adding columns to temporary tables is not supported.");
  Plan scratch;
  Translator translator(this, &scratch);
  for (const ColumnDefAst& c : s.columns) {
    if (t->Find(c.name) >= 0)
      ThrowSql(2705, "Column names in each table must be unique. Column name '" + c.name +
                         "' in table '" + t->name + "' is specified more than once.");
    TableDefAst def;
    def.columns.push_back(ColumnDefAst{c.name, c.type, c.identity, c.seed, c.increment, c.not_null,
                                       false, false, nullptr});
    std::vector<ColumnInfo> cols;
    std::string body = translator.ColumnDefinitions(def, &cols);
    session_.handle->Exec("ALTER TABLE main." + QuoteId(t->physical) + " ADD COLUMN " + body);
  }
  SchemaChanged();
}

void Executor::CreateRoutine(const Stmt& s) {
  EnsureCatalogTable(session_.handle->db());
  Catalog& catalog = session_.handle->catalog();
  std::string kind, name, table, events, text;
  bool alter;
  if (s.kind == StmtKind::kCreateProc) {
    const auto& p = static_cast<const CreateProcStmt&>(s);
    kind = "P";
    name = p.name.back();
    text = p.text;
    alter = p.alter;
  } else {
    const auto& t = static_cast<const CreateTriggerStmt&>(s);
    kind = "TR";
    name = t.name.back();
    text = t.text;
    alter = t.alter;
    TablePtr target = ResolveTable(t.table);
    if (!target || target->temp)
      ThrowSql(8197, "The object '" + JoinName(t.table) +
                         "' does not exist or is invalid for "
                         "this operation.");
    table = target->name;
    for (size_t i = 0; i < t.events.size(); ++i) events += (i ? "," : "") + t.events[i];
  }
  bool exists = catalog.FindRoutine(session_.handle->db(), kind, name) != nullptr;
  if (exists && !alter)
    ThrowSql(2714, "There is already an object named '" + name + "' in the database.");
  if (!exists && alter) ThrowSql(208, "Invalid object name '" + name + "'.");
  if (!exists && ResolveTable({name}))
    ThrowSql(2714, "There is already an object named '" + name + "' in the database.");
  std::shared_ptr<Prepared> put = session_.handle->Prepare(
      "INSERT OR REPLACE INTO main.corva_catalog(kind, name, tbl, event, enabled, text) VALUES "
      "(?1, ?2, ?3, ?4, 1, ?5)");
  sqlite3_stmt* st = put->get();
  sqlite3_reset(st);
  sqlite3_bind_text(st, 1, kind.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 3, table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 4, events.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 5, text.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) ThrowSqlite(session_.handle->db(), rc);
  session_.handle->Exec("DROP VIEW IF EXISTS main.corva_catalog_stamp");
  session_.handle->Exec("CREATE VIEW main.corva_catalog_stamp AS SELECT " +
                        std::to_string(catalog.Generation()) + " AS stamp");
  SchemaChanged();
}

void Executor::DropRoutine(const NamesStmt& s) {
  const char* kind = s.kind == StmtKind::kDropProc ? "P" : "TR";
  const char* what = s.kind == StmtKind::kDropProc ? "procedure" : "trigger";
  for (const auto& name : s.names) {
    auto r = session_.handle->catalog().FindRoutine(session_.handle->db(), kind, name.back());
    if (!r) {
      if (s.if_exists) continue;
      ThrowSql(3701, std::string("Cannot drop the ") + what + " '" + JoinName(name) +
                         "', because it does not exist or you do not have permission.");
    }
    session_.handle->Exec(std::string("DELETE FROM main.corva_catalog WHERE kind = '") + kind +
                          "' AND name = " + QuoteText(r->name));
    session_.handle->Exec("DROP VIEW IF EXISTS main.corva_catalog_stamp");
    SchemaChanged();
  }
}

void Executor::SwitchTriggers(const TriggerSwitchStmt& s) {
  TablePtr t = ResolveTable(s.table);
  if (!t || t->temp)
    ThrowSql(4902, "Cannot find the object \"" + JoinName(s.table) +
                       "\" because it does not exist or you do not have permissions.");
  EnsureCatalogTable(session_.handle->db());
  Catalog& catalog = session_.handle->catalog();
  std::string enabled = s.enable ? "1" : "0";
  if (s.triggers.empty()) {
    session_.handle->Exec("UPDATE main.corva_catalog SET enabled = " + enabled +
                          " WHERE kind = 'TR' AND tbl = " + QuoteText(t->name));
  } else {
    for (const std::string& name : s.triggers) {
      auto r = catalog.FindRoutine(session_.handle->db(), "TR", name);
      if (!r || !EqualsNoCase(r->table, t->name))
        ThrowSql(4920, "ALTER TABLE failed because trigger '" + name +
                           "' does not belong to table '" + JoinName(s.table) + "'.");
      session_.handle->Exec("UPDATE main.corva_catalog SET enabled = " + enabled +
                            " WHERE kind = 'TR' AND name = " + QuoteText(r->name));
    }
  }
  catalog.InvalidateRoutines();
  session_.rowcount = 0;
}

}  // namespace corva::tsql
