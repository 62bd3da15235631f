// Table layouts read from SQLite's schema and the stored routines of the catalog table.
#include "tsql/catalog.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "tsql/database_impl.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

std::atomic<uint64_t> g_table_version{1};

std::string ColumnText(sqlite3_stmt* s, int i) {
  const unsigned char* t = sqlite3_column_text(s, i);
  return t ? reinterpret_cast<const char*>(t) : std::string();
}

}  // namespace

uint64_t NextTableVersion() { return g_table_version.fetch_add(1); }

int TableInfo::Find(std::string_view column) const {
  auto it = by_name_.find(ToLower(column));
  return it == by_name_.end() ? -1 : it->second;
}

void TableInfo::BuildIndex() {
  by_name_.clear();
  identity = -1;
  rowid_key = -1;
  for (size_t i = 0; i < columns.size(); ++i) {
    by_name_.emplace(ToLower(columns[i].name), static_cast<int>(i));
    if (columns[i].identity) identity = static_cast<int>(i);
    if (columns[i].rowid_key) rowid_key = static_cast<int>(i);
  }
}

std::vector<std::string> TableInfo::RowKey() const {
  if (clustered_key.empty()) return {"rowid"};
  std::vector<std::string> key;
  for (int c : clustered_key) key.push_back(QuoteId(columns[c].name));
  return key;
}

std::string QuoteId(std::string_view name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r += '"';
    r += c;
  }
  r += '"';
  return r;
}

std::string QuoteText(std::string_view text) {
  std::string r = "'";
  for (char c : text) {
    if (c == '\'') r += '\'';
    r += c;
  }
  r += '\'';
  return r;
}

void EnsureCatalogTable(sqlite3* db) {
  sqlite3_exec(db,
               "CREATE TABLE IF NOT EXISTS main.corva_catalog(kind TEXT NOT NULL, name TEXT NOT "
               "NULL COLLATE NOCASE, tbl TEXT COLLATE NOCASE, event TEXT, enabled INTEGER NOT "
               "NULL DEFAULT 1, text TEXT NOT NULL, PRIMARY KEY(kind, name))",
               nullptr, nullptr, nullptr);
}

std::shared_ptr<TableInfo> LoadTable(sqlite3* db, std::string_view schema,
                                     std::string_view physical) {
  std::string find = "SELECT name, rowid, sql FROM " + std::string(schema) +
                     ".sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE";
  // SQLite's errors (a file that is not a database, a lock) reach the caller: taken for "no such
  // table" they would become a wrong 208.
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db, find.c_str(), -1, &s, nullptr);
  if (rc != SQLITE_OK) ThrowSqlite(db, rc);
  sqlite3_bind_text(s, 1, physical.data(), static_cast<int>(physical.size()), SQLITE_TRANSIENT);
  std::string name;
  std::string create;
  int64_t rowid = 0;
  rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    name = ColumnText(s, 0);
    rowid = sqlite3_column_int64(s, 1);
    create = ColumnText(s, 2);
  }
  sqlite3_finalize(s);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) ThrowSqlite(db, rc);
  if (name.empty()) return nullptr;
  auto info = std::make_shared<TableInfo>();
  info->name = name;
  info->physical = name;
  info->sql_name = std::string(schema) + "." + QuoteId(name);
  info->temp = schema == "temp";
  info->object_id = rowid;
  std::string pragma = "PRAGMA " + std::string(schema) + ".table_info(" + QuoteId(name) + ")";
  rc = sqlite3_prepare_v2(db, pragma.c_str(), -1, &s, nullptr);
  if (rc != SQLITE_OK) ThrowSqlite(db, rc);
  bool by_key =
      create.size() >= 13 && EqualsNoCase(create.substr(create.size() - 13), "WITHOUT ROWID");
  std::vector<std::pair<int, int>> key;  // (position in the key, column)
  while (sqlite3_step(s) == SQLITE_ROW) {
    if (by_key && sqlite3_column_int(s, 5) != 0)
      key.emplace_back(sqlite3_column_int(s, 5), static_cast<int>(info->columns.size()));
    ColumnInfo c;
    c.name = ColumnText(s, 1);
    std::string decl = ColumnText(s, 2);
    c.type = SqlType::FromSqliteDecl(decl);
    c.not_null = sqlite3_column_int(s, 3) != 0;
    // A column declared exactly INTEGER PRIMARY KEY is SQLite's rowid: an identity when it
    // numbers with AUTOINCREMENT (the only column the keyword may stand on), otherwise an int key.
    bool rowid = !by_key && decl == "INTEGER" && sqlite3_column_int(s, 5) != 0;
    c.identity = rowid && create.find("PRIMARY KEY AUTOINCREMENT") != std::string::npos;
    c.rowid_key = rowid && !c.identity;
    if (c.rowid_key) c.default_sql = ColumnText(s, 4);
    if (rowid) c.not_null = true;
    info->columns.push_back(std::move(c));
  }
  sqlite3_finalize(s);
  std::sort(key.begin(), key.end());
  for (const auto& k : key) info->clustered_key.push_back(k.second);
  info->version = NextTableVersion();
  info->BuildIndex();
  if (info->identity >= 0 && schema == "main") {
    // An identity stepping by other than 1 keeps its step in the catalog table.
    if (sqlite3_prepare_v2(db,
                           "SELECT text FROM main.corva_catalog WHERE kind = 'ID' AND name = ?1",
                           -1, &s, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(s) == SQLITE_ROW) info->increment = std::atoll(ColumnText(s, 0).c_str());
      sqlite3_finalize(s);
    }
  }
  return info;
}

TablePtr Catalog::FindTable(sqlite3* db, std::string_view name) {
  std::string key = ToLower(name);
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = tables_.find(key);
    if (it != tables_.end()) return it->second;
  }
  if (key.rfind("sqlite_", 0) == 0 || key == "corva_catalog") return nullptr;
  std::shared_ptr<TableInfo> info = LoadTable(db, "main", name);
  if (!info) return nullptr;
  std::lock_guard<std::mutex> lock(mu_);
  tables_[key] = info;
  return info;
}

void Catalog::LoadRoutines(sqlite3* db) {
  routines_.clear();
  // A catalog that cannot be read is an error, never a database without triggers.
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db,
                              "SELECT rowid, kind, name, tbl, event, enabled, text FROM "
                              "main.corva_catalog",
                              -1, &s, nullptr);
  if (rc != SQLITE_OK) ThrowSqlite(db, rc);
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    auto r = std::make_shared<RoutineInfo>();
    r->id = sqlite3_column_int64(s, 0) + 1000000;
    r->kind = ColumnText(s, 1);
    r->name = ColumnText(s, 2);
    r->table = ColumnText(s, 3);
    r->events = ColumnText(s, 4);
    r->enabled = sqlite3_column_int(s, 5) != 0;
    r->text = ColumnText(s, 6);
    routines_.push_back(std::move(r));
  }
  sqlite3_finalize(s);
  if (rc != SQLITE_DONE) {
    routines_.clear();
    ThrowSqlite(db, rc);
  }
  routines_loaded_ = true;
}

std::shared_ptr<const RoutineInfo> Catalog::FindRoutine(sqlite3* db, std::string_view kind,
                                                        std::string_view name) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!routines_loaded_) LoadRoutines(db);
  for (const auto& r : routines_)
    if (r->kind == kind && EqualsNoCase(r->name, name)) return r;
  return nullptr;
}

std::vector<std::shared_ptr<const RoutineInfo>> Catalog::Triggers(sqlite3* db,
                                                                  std::string_view table,
                                                                  std::string_view event) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!routines_loaded_) LoadRoutines(db);
  std::vector<std::shared_ptr<const RoutineInfo>> out;
  for (const auto& r : routines_) {
    if (r->kind != "TR" || !r->enabled || !EqualsNoCase(r->table, table)) continue;
    std::string events = "," + r->events + ",";
    if (events.find("," + std::string(event) + ",") != std::string::npos) out.push_back(r);
  }
  return out;
}

void Catalog::Invalidate() {
  std::lock_guard<std::mutex> lock(mu_);
  tables_.clear();
  routines_.clear();
  routines_loaded_ = false;
  ++generation_;
  ++routine_generation_;
}

void Catalog::InvalidateRoutines() {
  std::lock_guard<std::mutex> lock(mu_);
  routines_.clear();
  routines_loaded_ = false;
  ++routine_generation_;
}

uint64_t Catalog::RoutineGeneration() const {
  std::lock_guard<std::mutex> lock(mu_);
  return routine_generation_;
}

void Catalog::Refresh(int64_t version) {
  std::lock_guard<std::mutex> lock(mu_);
  if (version != schema_version_) {
    schema_version_ = version;
    tables_.clear();
    routines_.clear();
    routines_loaded_ = false;
    ++generation_;
    ++routine_generation_;
  }
}

uint64_t Catalog::Generation() const { return generation_.load(); }

}  // namespace corva::tsql
