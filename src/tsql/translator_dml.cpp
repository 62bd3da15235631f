// DML and table definitions to SQLite. INSERT converts each value to its column's type; UPDATE
// and DELETE with a FROM list find their target among the FROM entries (by alias, or by the one
// entry of that table, or as an added entry) and work through the target's rowid:
//   UPDATE t AS __t SET c = __s.v0 FROM (SELECT x.rowid AS __rid, <value> AS v0 FROM ...) AS __s
//   WHERE __t.rowid = __s.__rid
// so that every SET value is computed from the rows as they were before the update. A table stored
// by its key has no rowid: its key columns stand in its place (__rid0, __rid1, ...).
#include <algorithm>

#include "corva/error.h"
#include "tsql/token.h"
#include "tsql/translator.h"

namespace corva::tsql {
namespace {

// Finds a named FROM entry by alias or table name.
void FindNamed(const TableRef& ref, const std::string& target, const TableRef** by_alias,
               std::vector<const TableRef*>* by_name) {
  if (ref.kind == TableRef::Kind::kJoin) {
    FindNamed(*ref.left, target, by_alias, by_name);
    FindNamed(*ref.right, target, by_alias, by_name);
    return;
  }
  if (ref.kind != TableRef::Kind::kNamed) {
    if (EqualsNoCase(ref.alias, target) && !*by_alias) *by_alias = &ref;
    return;
  }
  if (!ref.alias.empty() && EqualsNoCase(ref.alias, target)) {
    if (!*by_alias) *by_alias = &ref;
  } else if (EqualsNoCase(ref.name.back(), target)) {
    by_name->push_back(&ref);
  }
}

std::string DefaultSql(const Expr& e, const SqlType& type, const Resolver& r) {
  switch (e.kind) {
    case ExprKind::kLiteral: {
      Value v = ConvertTo(r.Literal(e.index), type.kind == TypeKind::kUnknown ? e.type : type);
      if (v.kind == Value::Kind::kText || v.kind == Value::Kind::kDecimal)
        return QuoteText(v.ToText());
      return v.ToText();
    }
    case ExprKind::kNull:
      return "NULL";
    case ExprKind::kUnary:
      if (e.name == "-" && e.args[0]->kind == ExprKind::kLiteral)
        return "-" + DefaultSql(*e.args[0], SqlType(), r);
      break;
    case ExprKind::kFunction:
      if (e.name == "getdate" || e.name == "current_timestamp" || e.name == "sysdatetime")
        return "strftime('%Y-%m-%d %H:%M:%f','now','localtime')";
      if (e.name == "newid") return "tsql_newid()";
      break;
    default:
      break;
  }
  ThrowAt(1752, "Only constants, GETDATE() and NEWID() are supported as column defaults.", e.line,
          e.column);
}

}  // namespace

bool Translator::StoredByKey(const TableDefAst& def) {
  if (def.primary_key.size() < 2) return false;
  for (const ColumnDefAst& c : def.columns)
    if (c.identity || c.primary_key) return false;
  for (const std::string& k : def.primary_key) {
    auto c = std::find_if(def.columns.begin(), def.columns.end(),
                          [&](const ColumnDefAst& c) { return EqualsNoCase(c.name, k); });
    if (c == def.columns.end() || c->type.kind != TypeKind::kInt) return false;
  }
  return true;
}

std::string Translator::ColumnDefinitions(const TableDefAst& def,
                                          std::vector<ColumnInfo>* columns) {
  bool has_identity = false;
  int key_columns = static_cast<int>(def.primary_key.size());
  for (const ColumnDefAst& c : def.columns) {
    has_identity = has_identity || c.identity;
    key_columns += c.primary_key ? 1 : 0;
  }
  std::string sql;
  bool rowid_key_written = false;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDefAst& c = def.columns[i];
    if (i) sql += ", ";
    sql += QuoteId(c.name) + " ";
    ColumnInfo info{c.name, c.type, c.not_null || c.identity, c.identity};
    bool pk =
        c.primary_key || std::any_of(def.primary_key.begin(), def.primary_key.end(),
                                     [&](const std::string& n) { return EqualsNoCase(n, c.name); });
    if (c.identity) {
      // The identity becomes the rowid: rows are numbered in the order they are inserted.
      sql += "INTEGER PRIMARY KEY AUTOINCREMENT";
    } else if (pk && key_columns == 1 && !has_identity && c.type.name == "int") {
      // A single int key becomes the rowid itself (declared exactly INTEGER, which the catalog
      // reads back as int): a lookup by id descends one B-tree instead of a separate index and
      // then the table. bigint, smallint and tinyint keep their own declared type and an index.
      sql += "INTEGER NOT NULL";
      info.not_null = true;
      info.rowid_key = true;
      if (c.default_value) {
        info.default_sql = DefaultSql(*c.default_value, c.type, *resolver_);
        sql += " DEFAULT (" + info.default_sql + ")";
      }
      sql += " PRIMARY KEY";
      rowid_key_written = true;
    } else {
      sql += c.type.SqliteDecl();
      if (c.not_null || pk) sql += " NOT NULL";
      if (c.default_value)
        sql += " DEFAULT (" + DefaultSql(*c.default_value, c.type, *resolver_) + ")";
      if (c.type.kind == TypeKind::kText) sql += " COLLATE TSQL";
      if (c.type.kind == TypeKind::kDecimal) sql += " COLLATE TSQLDEC";
      if (c.primary_key)
        sql += has_identity ? " UNIQUE" : " PRIMARY KEY";
      else if (c.unique)
        sql += " UNIQUE";
      info.not_null = c.not_null || pk;
    }
    columns->push_back(std::move(info));
  }
  auto key_list = [&](const std::vector<std::string>& cols) {
    std::string r = "(";
    for (size_t i = 0; i < cols.size(); ++i) {
      if (i) r += ", ";
      r += QuoteId(cols[i]);
    }
    return r + ")";
  };
  if (!def.primary_key.empty() && !rowid_key_written)
    sql += std::string(has_identity ? ", UNIQUE " : ", PRIMARY KEY ") + key_list(def.primary_key);
  for (const auto& u : def.uniques) sql += ", UNIQUE " + key_list(u);
  return sql;
}

// SQLite numbers a NULL stored into its rowid where SQL Server refuses it (515): every value
// written into a rowid key, converted to int first, passes tsql_key.
void Translator::GuardKey(const TableInfo& table, const char* verb, size_t start,
                          std::string* out) {
  out->insert(start, "tsql_key(");
  *out += ", " + QuoteText(table.columns[table.rowid_key].name) + ", " + QuoteText(table.name) +
          ", '" + verb + "')";
}

// What an INSERT that leaves the rowid key out stores there: its DEFAULT, or NULL and thus 515.
std::string Translator::KeyDefault(const TableInfo& table) {
  const std::string& d = table.columns[table.rowid_key].default_sql;
  std::string sql = d.empty() ? "NULL" : "(" + d + ")";
  GuardKey(table, "INSERT", 0, &sql);
  return sql;
}

SqlText Translator::Insert(const InsertStmt& s, const TablePtr& table) {
  SqlText t;
  params_ = &t.params;
  std::vector<int> cols;
  if (s.columns.empty()) {
    for (size_t i = 0; i < table->columns.size(); ++i)
      if (!table->columns[i].identity) cols.push_back(static_cast<int>(i));
  } else {
    for (const std::string& name : s.columns) {
      int idx = table->Find(name);
      if (idx < 0) ThrowAt(207, "Invalid column name '" + name + "'.", s.line, s.column);
      if (table->columns[idx].identity)
        ThrowAt(544,
                "Cannot insert explicit value for identity column in table '" + table->name +
                    "' when IDENTITY_INSERT is set to OFF.",
                s.line, s.column);
      cols.push_back(idx);
    }
  }
  int key = table->rowid_key;
  bool key_left_out = key >= 0 && std::find(cols.begin(), cols.end(), key) == cols.end();
  t.sql = "INSERT INTO " + table->sql_name;
  if (s.default_values) {
    if (key_left_out)
      t.sql += " (" + QuoteId(table->columns[key].name) + ") VALUES (" + KeyDefault(*table) + ")";
    else
      t.sql += " DEFAULT VALUES";
    params_ = nullptr;
    return t;
  }
  t.sql += " (";
  for (size_t i = 0; i < cols.size(); ++i) {
    if (i) t.sql += ", ";
    t.sql += QuoteId(table->columns[cols[i]].name);
  }
  if (key_left_out) t.sql += ", " + QuoteId(table->columns[key].name);
  t.sql += ") ";
  std::vector<SqlType> types;
  for (int c : cols) types.push_back(table->columns[c].type);
  if (!s.rows.empty()) {
    Scope scope;
    t.sql += "VALUES ";
    for (size_t r = 0; r < s.rows.size(); ++r) {
      const auto& row = s.rows[r];
      if (row.size() != cols.size())
        ThrowAt(row.size() < cols.size() ? 109 : 110,
                row.size() < cols.size()
                    ? "There are more columns in the INSERT statement than values specified in "
                      "the VALUES clause. The number of values in the VALUES clause must match "
                      "the number of columns specified in the INSERT statement."
                    : "There are fewer columns in the INSERT statement than values specified in "
                      "the VALUES clause. The number of values in the VALUES clause must match "
                      "the number of columns specified in the INSERT statement.",
                s.line, s.column);
      t.sql += r ? ", (" : "(";
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) t.sql += ", ";
        size_t start = t.sql.size();
        Converted(*row[i], types[i], scope, &t.sql, Conversion::kStore);
        if (cols[i] == key) GuardKey(*table, "INSERT", start, &t.sql);
      }
      if (key_left_out) t.sql += ", " + KeyDefault(*table);
      t.sql += ')';
    }
  } else if (s.query) {
    std::vector<ResultColumn> produced;
    storing_ = true;
    std::string select;
    if (key >= 0 && !key_left_out) {
      store_key_table_ = table.get();
      store_key_position_ = std::find(cols.begin(), cols.end(), key) - cols.begin();
    }
    QueryText(*s.query, nullptr, &select, &produced, false, &types);
    store_key_table_ = nullptr;
    storing_ = false;
    // The key's value goes after the query's own columns, which need no names to be passed on.
    if (key_left_out) select = "SELECT *, " + KeyDefault(*table) + " FROM (" + select + ")";
    t.sql += select;
    if (produced.size() != cols.size())
      ThrowAt(produced.size() < cols.size() ? 120 : 121,
              produced.size() < cols.size()
                  ? "The select list for the INSERT statement contains fewer items than the "
                    "insert list. The number of SELECT values must match the number of INSERT "
                    "columns."
                  : "The select list for the INSERT statement contains more items than the "
                    "insert list. The number of SELECT values must match the number of INSERT "
                    "columns.",
              s.line, s.column);
  }
  params_ = nullptr;
  plan_->ints = cols;
  return t;
}

SqlText Translator::InsertRow(const TablePtr& table, const std::vector<int>& columns) {
  SqlText t;
  t.sql = "INSERT INTO " + table->sql_name + " (";
  std::string values;
  int key = table->rowid_key;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) t.sql += ", ", values += ", ";
    t.sql += QuoteId(table->columns[columns[i]].name);
    size_t start = values.size();
    values += '?';
    if (columns[i] == key) GuardKey(*table, "INSERT", start, &values);
    ParamSource p;
    p.kind = ParamSource::Kind::kScratch;
    p.index = static_cast<int>(i);
    p.convert = table->columns[columns[i]].type;
    p.store = true;
    t.params.push_back(std::move(p));
  }
  if (key >= 0 && std::find(columns.begin(), columns.end(), key) == columns.end()) {
    t.sql += ", " + QuoteId(table->columns[key].name);
    values += ", " + KeyDefault(*table);
  }
  t.sql += ") VALUES (" + values + ")";
  return t;
}

std::string Translator::TargetAlias(const std::vector<std::string>& target,
                                    const std::vector<TableRefPtr>& from, TablePtr* table) {
  const std::string& name = target.back();
  const TableRef* by_alias = nullptr;
  std::vector<const TableRef*> by_name;
  for (const auto& ref : from) FindNamed(*ref, name, &by_alias, &by_name);
  const TableRef* chosen = by_alias;
  if (!chosen && by_name.size() == 1) chosen = by_name[0];
  if (!chosen && by_name.size() > 1) {
    for (const TableRef* r : by_name)
      if (r->alias.empty()) chosen = r;
    // Every entry of the table has its own alias: none of them is the target more than another.
    if (!chosen)
      ThrowAt(8154, "The table '" + name + "' is ambiguous.", by_name[1]->line, by_name[1]->column);
  }
  target_ref_ = chosen;
  if (chosen) {
    if (chosen->kind != TableRef::Kind::kNamed)
      ThrowAt(4421, "Derived table '" + name + "' is not updatable.", chosen->line, chosen->column);
    *table = Resolve(chosen->name, chosen->line, chosen->column);
    return chosen->alias.empty() ? chosen->name.back() : chosen->alias;
  }
  *table = nullptr;
  return std::string();
}

std::string Translator::RidName(const TableInfo& table, size_t k) {
  return table.clustered_key.empty() ? "__rid" : "__rid" + std::to_string(k);
}

void Translator::CurrentOf(const TableInfo& table, const std::string& alias,
                           const std::string& cursor, std::string* out) {
  std::vector<std::string> key = table.RowKey();
  for (size_t k = 0; k < key.size(); ++k) {
    if (k) *out += " AND ";
    *out += QuoteId(alias) + "." + key[k] + " = ";
    ParamSource p;
    p.kind = ParamSource::Kind::kCursorRowid;
    p.name = ToLower(cursor) + "\x1f" + ToLower(alias);
    if (!table.clustered_key.empty()) p.name += "\x1f" + std::to_string(k);
    Param(std::move(p), out);
  }
}

std::string Translator::RowidSelect(const std::vector<std::string>& target,
                                    const std::vector<TableRefPtr>& from, const tsql::Expr* where,
                                    const std::string& current_of, const tsql::Expr* top,
                                    const std::vector<const SetClause*>& sets, TablePtr* table,
                                    std::vector<SqlType>* set_types) {
  Scope scope;
  std::string from_sql;
  std::string alias = TargetAlias(target, from, table);
  FromList(from, &scope, &from_sql);
  if (alias.empty()) {
    // The target is not among the FROM entries: it joins them as one more.
    *table = Resolve(target, 0, 0);
    alias = target.back();
    if (!from_sql.empty()) from_sql += ", ";
    from_sql += (*table)->sql_name + " AS " + QuoteId(alias);
    scope.tables.push_back(ScopeTable{alias, *table, {}});
  }
  std::string sql = "SELECT ";
  std::vector<std::string> key = (*table)->RowKey();
  for (size_t k = 0; k < key.size(); ++k) {
    if (k) sql += ", ";
    std::string rid = RidName(**table, k);
    sql += QuoteId(alias) + "." + (target_nested_ ? rid : key[k]) + " AS " + rid;
  }
  target_ref_ = nullptr;
  target_nested_ = false;
  for (size_t i = 0; i < sets.size(); ++i) {
    sql += ", ";
    int col = (*table)->Find(sets[i]->column.back());
    if (col < 0)
      ThrowAt(207, "Invalid column name '" + sets[i]->column.back() + "'.", sets[i]->value->line,
              sets[i]->value->column);
    set_types->push_back((*table)->columns[col].type);
    size_t start = sql.size();
    Converted(*sets[i]->value, (*table)->columns[col].type, scope, &sql, Conversion::kStore);
    if (col == (*table)->rowid_key) GuardKey(**table, "UPDATE", start, &sql);
    sql += " AS v" + std::to_string(i);
  }
  sql += " FROM " + from_sql;
  if (!current_of.empty()) {
    sql += " WHERE ";
    CurrentOf(**table, alias, current_of, &sql);
  } else if (where) {
    sql += " WHERE ";
    Expr(*where, scope, &sql);
  }
  if (top) {
    sql += " LIMIT ";
    Expr(*top, scope, &sql);
  }
  return sql;
}

SqlText Translator::Update(const UpdateStmt& s) {
  SqlText t;
  params_ = &t.params;
  std::vector<const SetClause*> sets;
  for (const SetClause& c : s.sets) {
    if (c.var_slot >= 0 || c.column.empty())
      ThrowAt(102, "Assigning variables in UPDATE is not supported.", s.line, s.column);
    sets.push_back(&c);
  }
  TablePtr table;
  if (s.from.empty() && !s.top) {
    table = Resolve(s.target, s.line, s.column);
    std::string alias = s.target.back();
    Scope scope;
    scope.tables.push_back(ScopeTable{alias, table, {}});
    t.sql = "UPDATE " + table->sql_name + " AS " + QuoteId(alias) + " SET ";
    for (size_t i = 0; i < sets.size(); ++i) {
      if (i) t.sql += ", ";
      const std::vector<std::string>& col = sets[i]->column;
      if (col.size() > 1 && !EqualsNoCase(col[col.size() - 2], alias))
        ThrowAt(
            4104,
            "The multi-part identifier \"" + col[0] + "." + col.back() + "\" could not be bound.",
            s.line, s.column);
      int idx = table->Find(col.back());
      if (idx < 0) ThrowAt(207, "Invalid column name '" + col.back() + "'.", s.line, s.column);
      t.sql += QuoteId(table->columns[idx].name) + " = ";
      size_t start = t.sql.size();
      Converted(*sets[i]->value, table->columns[idx].type, scope, &t.sql, Conversion::kStore);
      if (idx == table->rowid_key) GuardKey(*table, "UPDATE", start, &t.sql);
    }
    if (!s.current_of.empty()) {
      t.sql += " WHERE ";
      CurrentOf(*table, alias, s.current_of, &t.sql);
    } else if (s.where) {
      t.sql += " WHERE ";
      Expr(*s.where, scope, &t.sql);
    }
  } else {
    std::vector<SqlType> types;
    std::string select = RowidSelect(s.target, s.from, s.where.get(), s.current_of, s.top.get(),
                                     sets, &table, &types);
    t.sql = "UPDATE " + table->sql_name + " AS __t SET ";
    for (size_t i = 0; i < sets.size(); ++i) {
      if (i) t.sql += ", ";
      t.sql += QuoteId(table->columns[table->Find(sets[i]->column.back())].name) + " = __s.v" +
               std::to_string(i);
    }
    t.sql += " FROM (" + select + ") AS __s WHERE ";
    std::vector<std::string> key = table->RowKey();
    for (size_t k = 0; k < key.size(); ++k)
      t.sql += (k ? " AND __t." : "__t.") + key[k] + " = __s." + RidName(*table, k);
  }
  plan_->table = table;
  params_ = nullptr;
  return t;
}

SqlText Translator::Delete(const DeleteStmt& s) {
  SqlText t;
  params_ = &t.params;
  TablePtr table;
  if (s.from.empty() && !s.top) {
    table = Resolve(s.target, s.line, s.column);
    std::string alias = s.target.back();
    Scope scope;
    scope.tables.push_back(ScopeTable{alias, table, {}});
    t.sql = "DELETE FROM " + table->sql_name + " AS " + QuoteId(alias);
    if (!s.current_of.empty()) {
      t.sql += " WHERE ";
      CurrentOf(*table, alias, s.current_of, &t.sql);
    } else if (s.where) {
      t.sql += " WHERE ";
      Expr(*s.where, scope, &t.sql);
    }
  } else {
    std::vector<SqlType> types;
    std::string select =
        RowidSelect(s.target, s.from, s.where.get(), s.current_of, s.top.get(), {}, &table, &types);
    std::string key, rid;
    std::vector<std::string> parts = table->RowKey();
    for (size_t k = 0; k < parts.size(); ++k) {
      key += (k ? ", " : "") + parts[k];
      rid += (k ? ", " : "") + RidName(*table, k);
    }
    if (parts.size() > 1) key = "(" + key + ")";
    t.sql = "DELETE FROM " + table->sql_name + " WHERE " + key + " IN (SELECT " + rid + " FROM (" +
            select + "))";
  }
  plan_->table = table;
  params_ = nullptr;
  return t;
}

SqlText Translator::TargetRowids(const std::vector<std::string>& target,
                                 const std::vector<TableRefPtr>& from, const tsql::Expr* where,
                                 const std::string& current_of, const tsql::Expr* top) {
  SqlText t;
  params_ = &t.params;
  TablePtr table;
  std::vector<SqlType> types;
  if (from.empty()) {
    auto ref = std::make_unique<TableRef>();
    ref->name = target;
    std::vector<TableRefPtr> single;
    single.push_back(std::move(ref));
    t.sql = RowidSelect(target, single, where, current_of, top, {}, &table, &types);
  } else {
    t.sql = RowidSelect(target, from, where, current_of, top, {}, &table, &types);
  }
  params_ = nullptr;
  return t;
}

}  // namespace corva::tsql
