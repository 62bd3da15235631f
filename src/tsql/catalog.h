// What the engine knows of tables: their columns with the dialect's declared types (read back from
// the SQLite declarations the engine wrote), identity columns, and where a table lives in SQLite
// (main, or the handle's temp schema under a per-session mangled name). Also the stored routines
// (procedures and triggers) kept in the database's own catalog table.
#ifndef CORVA_TSQL_CATALOG_H_
#define CORVA_TSQL_CATALOG_H_

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tsql/value.h"

namespace corva::tsql {

struct ColumnInfo {
  std::string name;
  SqlType type;
  bool not_null = false;
  bool identity = false;
  // The table's single int primary key, stored as SQLite's rowid (declared INTEGER PRIMARY KEY):
  // SQLite numbers a NULL stored there and ignores its DEFAULT, so the translator supplies both.
  bool rowid_key = false;
  std::string default_sql = {};  // of the rowid key: its DEFAULT as SQLite SQL, "" for none
};

struct TableInfo {
  std::string name;      // as created ("#Oper", "SHWorkBill", "@t")
  std::string sql_name;  // reference in SQLite: main."SHWorkBill", temp."#Oper$0"
  std::string physical;  // the bare SQLite table name: "#Oper$0"
  std::vector<ColumnInfo> columns;
  int identity = -1;
  int rowid_key = -1;     // the column that is SQLite's rowid without being an identity, or -1
  int64_t increment = 1;  // of the identity; rows are renumbered after an insert when not 1
  bool temp = false;
  // A table keyed by two or more int columns is stored by its key, as SQL Server clusters a table
  // on its primary key (SQLite's WITHOUT ROWID): a lookup by key descends one B-tree instead of
  // the key's index and then the table. Such rows are told apart by these columns, in key order;
  // empty for a table with a rowid.
  std::vector<int> clustered_key;
  uint64_t version = 0;  // equal versions mean equal definitions
  int64_t object_id = 0;

  // What tells one row from another in SQLite: "rowid", or the quoted key columns.
  std::vector<std::string> RowKey() const;
  // Index of a column by name without regard to case, or -1.
  int Find(std::string_view column) const;
  void BuildIndex();

 private:
  std::unordered_map<std::string, int> by_name_;
};
using TablePtr = std::shared_ptr<const TableInfo>;

// The persistent catalog of a database: procedures and triggers by name, and the layout of main
// tables loaded on demand. Shared by the handles of one Database; thread-safe.
struct RoutineInfo {
  std::string kind;  // "P" procedure, "TR" trigger
  std::string name;
  std::string table;   // triggers: the table
  std::string events;  // triggers: "insert,update"
  bool enabled = true;
  std::string text;
  int64_t id = 0;
};

class Catalog {
 public:
  // The main table `name` (without regard to case), loaded through `db`; nullptr when missing.
  TablePtr FindTable(sqlite3* db, std::string_view name);
  // The routine of `kind` named `name`, or nullptr.
  std::shared_ptr<const RoutineInfo> FindRoutine(sqlite3* db, std::string_view kind,
                                                 std::string_view name);
  // Enabled triggers on `table` for `event` ("insert", "update", "delete").
  std::vector<std::shared_ptr<const RoutineInfo>> Triggers(sqlite3* db, std::string_view table,
                                                           std::string_view event);
  // Forget everything loaded (after DDL, or when another process changed the schema).
  void Invalidate();
  // Forget the routines only (a trigger was enabled or disabled).
  void InvalidateRoutines();
  uint64_t RoutineGeneration() const;
  // Checks SQLite's schema cookie and the catalog table's data version; invalidates on change.
  void Refresh(int64_t schema_version);
  uint64_t Generation() const;

 private:
  void LoadRoutines(sqlite3* db);

  mutable std::mutex mu_;
  std::unordered_map<std::string, TablePtr> tables_;
  bool routines_loaded_ = false;
  std::vector<std::shared_ptr<const RoutineInfo>> routines_;
  int64_t schema_version_ = -1;
  std::atomic<uint64_t> generation_{1};
  uint64_t routine_generation_ = 1;
};

// Reads the layout of table `physical` in `schema` ("main" or "temp"); nullptr when missing.
std::shared_ptr<TableInfo> LoadTable(sqlite3* db, std::string_view schema,
                                     std::string_view physical);

// "name" quoted as a SQLite identifier.
std::string QuoteId(std::string_view name);
// 'text' quoted as a SQLite string literal.
std::string QuoteText(std::string_view text);

// A fresh version number for a definition loaded from the database.
uint64_t NextTableVersion();

// Creates the catalog table when it is missing.
void EnsureCatalogTable(sqlite3* db);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_CATALOG_H_
