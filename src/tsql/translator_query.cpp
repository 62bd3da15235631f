// Queries to SQLite: SELECT cores with their FROM scopes, derived tables, set operations, ORDER BY
// (alias, ordinal, expression) and TOP as LIMIT; SELECT * expanded from the catalog so that every
// result column has a name and a dialect type.
#include "corva/error.h"
#include "tsql/token.h"
#include "tsql/translator.h"

namespace corva::tsql {
namespace {

std::string JoinName(const std::vector<std::string>& name) {
  std::string r;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i) r += '.';
    r += name[i];
  }
  return r;
}

bool IsSysObjects(const std::vector<std::string>& name) {
  return EqualsNoCase(name.back(), "sysobjects") ||
         (name.size() >= 2 && EqualsNoCase(name[name.size() - 2], "sys") &&
          (EqualsNoCase(name.back(), "objects") || EqualsNoCase(name.back(), "tables")));
}

bool IsTempdb(const std::vector<std::string>& name) {
  return name.size() >= 2 && EqualsNoCase(name.front(), "tempdb");
}

}  // namespace

TablePtr Translator::Resolve(const std::vector<std::string>& name, int line, int column) {
  TablePtr t = resolver_->ResolveTable(name);
  if (!t) {
    const std::string& last = name.back();
    if (!last.empty() && last[0] == '@')
      ThrowAt(1087, "Must declare the table variable \"" + last + "\".", line, column);
    ThrowAt(208, "Invalid object name '" + JoinName(name) + "'.", line, column);
  }
  plan_->deps.push_back(TableDep{name, t->version, !t->temp});
  return t;
}

void Translator::TableRefText(const TableRef& ref, Scope* scope, std::string* out) {
  switch (ref.kind) {
    case TableRef::Kind::kNamed: {
      std::string exposed = ref.alias.empty() ? ref.name.back() : ref.alias;
      if (IsSysObjects(ref.name)) {
        ScopeTable st;
        st.exposed = exposed;
        st.columns = {{"name", SqlType::FromName("sysname")},
                      {"id", SqlType::Of(TypeKind::kInt)},
                      {"object_id", SqlType::Of(TypeKind::kInt)},
                      {"xtype", SqlType::FromName("char", 2)},
                      {"type", SqlType::FromName("char", 2)}};
        if (IsTempdb(ref.name)) {
          plan_->uses_sysobjects = true;
          *out += "(SELECT name, id, id AS object_id, xtype, xtype AS type FROM " +
                  resolver_->TempObjectsTable() + ")";
        } else {
          *out +=
              "(SELECT name COLLATE TSQL AS name, rowid AS id, rowid AS object_id, 'U' AS xtype, "
              "'U' AS type FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE "
              "'sqlite%' AND name <> 'corva_catalog' UNION ALL SELECT name, rowid + 1000000, "
              "rowid + 1000000, kind, kind FROM main.corva_catalog)";
        }
        *out += " AS " + QuoteId(exposed);
        st.aliased = !ref.alias.empty();
        Expose(scope, std::move(st), ref.line, ref.column);
        return;
      }
      TablePtr t = Resolve(ref.name, ref.line, ref.column);
      if (&ref == target_ref_ && nested_joins_ > 0) {
        target_nested_ = true;
        std::vector<std::string> key = t->RowKey();
        *out += "(SELECT ";
        for (size_t k = 0; k < key.size(); ++k) *out += key[k] + " AS " + RidName(*t, k) + ", ";
        *out += "* FROM " + t->sql_name + ") AS " + QuoteId(exposed);
      } else {
        *out += t->sql_name + " AS " + QuoteId(exposed);
      }
      Expose(scope, ScopeTable{exposed, t, {}, !ref.alias.empty()}, ref.line, ref.column);
      return;
    }
    case TableRef::Kind::kDerived: {
      ScopeTable st;
      st.exposed = ref.alias;
      *out += '(';
      QueryText(*ref.query, scope->outer, out, &st.columns, false, nullptr, true);
      *out += ") AS " + QuoteId(ref.alias);
      st.aliased = true;
      Expose(scope, std::move(st), ref.line, ref.column);
      return;
    }
    case TableRef::Kind::kJoin: {
      TableRefText(*ref.left, scope, out);
      if (ref.join == "left")
        *out += " LEFT JOIN ";
      else if (ref.join == "right")
        *out += " RIGHT JOIN ";
      else if (ref.join == "full")
        *out += " FULL JOIN ";
      else
        *out += " JOIN ";
      // A join nested on the right keeps its parentheses: (t1 JOIN t2 ON ...) is one operand.
      bool nested = ref.right->kind == TableRef::Kind::kJoin;
      if (nested) *out += '(', ++nested_joins_;
      TableRefText(*ref.right, scope, out);
      if (nested) *out += ')', --nested_joins_;
      if (ref.on) {
        *out += " ON ";
        Expr(*ref.on, *scope, out);
      }
      return;
    }
  }
}

void Translator::Expose(Scope* scope, ScopeTable entry, int line, int column) {
  for (const ScopeTable& other : scope->tables) {
    if (!EqualsNoCase(other.exposed, entry.exposed)) continue;
    if (entry.aliased || other.aliased)
      ThrowAt(1011,
              "The correlation name '" + entry.exposed +
                  "' is specified multiple times in a FROM clause.",
              line, column);
    ThrowAt(1013,
            "The objects \"" + other.exposed + "\" and \"" + entry.exposed +
                "\" in the FROM clause have the same exposed names. Use correlation names to "
                "distinguish them.",
            line, column);
  }
  scope->tables.push_back(std::move(entry));
}

void Translator::FromList(const std::vector<TableRefPtr>& from, Scope* scope, std::string* out) {
  for (size_t i = 0; i < from.size(); ++i) {
    if (i) *out += ", ";
    TableRefText(*from[i], scope, out);
  }
}

void Translator::ExpandStar(const tsql::Expr& e, const Scope& scope, std::string* out,
                            std::vector<ResultColumn>* columns, bool* first,
                            const TableInfo* key_table) {
  bool any = false;
  for (const ScopeTable& t : scope.tables) {
    if (!e.qualifier.empty() && !EqualsNoCase(e.qualifier.back(), t.exposed)) continue;
    any = true;
    auto emit = [&](const std::string& name, const SqlType& type) {
      if (!*first) *out += ", ";
      *first = false;
      size_t start = out->size();
      *out += QuoteId(t.exposed) + "." + QuoteId(name);
      if (key_table && columns->size() == store_key_position_)
        GuardKey(*key_table, "INSERT", start, out);
      *out += " AS " + QuoteId(name);
      columns->push_back({name, type});
    };
    if (t.table) {
      for (const ColumnInfo& c : t.table->columns) emit(c.name, c.type);
    } else {
      for (const ResultColumn& c : t.columns) emit(c.name, c.type);
    }
  }
  if (!any) {
    if (e.qualifier.empty()) ThrowAt(263, "Must specify table to select from.", e.line, e.column);
    ThrowAt(4104, "The multi-part identifier \"" + JoinName(e.qualifier) + "\" could not be bound.",
            e.line, e.column);
  }
}

void Translator::SelectCore(const tsql::SelectCore& core, const Scope* outer, std::string* out,
                            std::vector<ResultColumn>* columns, bool extra_rowids,
                            const std::vector<SqlType>* convert_to, bool name_all) {
  Scope scope;
  scope.outer = outer;
  std::string from_sql;
  if (!core.from.empty()) FromList(core.from, &scope, &from_sql);
  *out += core.distinct ? "SELECT DISTINCT " : "SELECT ";
  bool first = true;
  // Only the values an INSERT stores pass the key's guard, not those of the subqueries.
  const TableInfo* key_table = convert_to ? store_key_table_ : nullptr;
  for (const SelectItem& item : core.items) {
    if (item.expr->kind == ExprKind::kStar) {
      size_t before = columns->size();
      ExpandStar(*item.expr, scope, out, columns, &first, key_table);
      (void)before;
      continue;
    }
    if (!first) *out += ", ";
    first = false;
    size_t position = columns->size();
    size_t start = out->size();
    SqlType type;
    if (convert_to && position < convert_to->size() &&
        (*convert_to)[position].kind != TypeKind::kUnknown)
      type = Converted(*item.expr, (*convert_to)[position], scope, out,
                       storing_ ? Conversion::kStore : Conversion::kPlain);
    else
      type = Expr(*item.expr, scope, out);
    if (key_table && position == store_key_position_) GuardKey(*key_table, "INSERT", start, out);
    // Text values compare without regard to case in DISTINCT and UNION as in SQL Server, and
    // decimals by value.
    if (item.expr->kind != ExprKind::kColumn) {
      if (type.kind == TypeKind::kText) *out += " COLLATE TSQL";
      if (type.kind == TypeKind::kDecimal) *out += " COLLATE TSQLDEC";
    }
    std::string name = item.alias;
    if (name.empty() && item.expr->kind == ExprKind::kColumn) name = item.expr->name;
    if (name.empty() && name_all)
      ThrowAt(8155, "No column name was specified for column " + std::to_string(position + 1) + ".",
              item.expr->line, item.expr->column);
    if (!name.empty()) *out += " AS " + QuoteId(name);
    columns->push_back({name, type});
  }
  if (extra_rowids) {
    cursor_tables_.clear();
    plan_->names.clear();
    std::vector<std::string> bases;
    for (const ScopeTable& t : scope.tables) {
      if (!t.table) continue;
      // A table stored by its key gives its key columns, named "<alias>\x1f<part>".
      std::vector<std::string> key = t.table->RowKey();
      for (size_t k = 0; k < key.size(); ++k) {
        *out += ", " + QuoteId(t.exposed) + "." + key[k];
        std::string part = t.table->clustered_key.empty() ? "" : "\x1f" + std::to_string(k);
        plan_->names.push_back(ToLower(t.exposed) + part);
        bases.push_back(ToLower(t.table->name) + part);
      }
    }
    // Then the same columns by their tables' names: UPDATE Ent ... WHERE CURRENT OF finds the
    // cursor's row of Ent also when the cursor calls the table by an alias.
    plan_->names.insert(plan_->names.end(), bases.begin(), bases.end());
  }
  if (!core.from.empty()) {
    *out += " FROM " + from_sql;
  }
  if (core.where) {
    *out += " WHERE ";
    Expr(*core.where, scope, out);
  }
  if (!core.group_by.empty()) {
    *out += " GROUP BY ";
    for (size_t i = 0; i < core.group_by.size(); ++i) {
      if (i) *out += ", ";
      SqlType t = Expr(*core.group_by[i], scope, out);
      if (core.group_by[i]->kind != ExprKind::kColumn) {
        if (t.kind == TypeKind::kText) *out += " COLLATE TSQL";
        if (t.kind == TypeKind::kDecimal) *out += " COLLATE TSQLDEC";
      }
    }
  }
  if (core.having) {
    *out += " HAVING ";
    Expr(*core.having, scope, out);
  }
  // ORDER BY and TOP are added by QueryText, which keeps this scope for them.
  last_scope_tables_ = std::move(scope.tables);
}

void Translator::QueryText(const tsql::Query& q, const Scope* outer, std::string* out,
                           std::vector<ResultColumn>* columns, bool extra_rowids,
                           const std::vector<SqlType>* convert_to, bool name_all) {
  if (q.cores.size() == 1) {
    const tsql::SelectCore& core = q.cores[0];
    SelectCore(core, outer, out, columns, extra_rowids, convert_to, name_all);
    Scope scope;
    scope.outer = outer;
    scope.tables = std::move(last_scope_tables_);
    std::vector<std::string> aliases;
    for (const SelectItem& item : core.items)
      if (!item.alias.empty()) aliases.push_back(item.alias);
    scope.aliases = &aliases;
    if (!q.order_by.empty()) {
      *out += " ORDER BY ";
      for (size_t i = 0; i < q.order_by.size(); ++i) {
        if (i) *out += ", ";
        const tsql::Expr& e = *q.order_by[i].expr;
        if (e.kind == ExprKind::kLiteral && resolver_->Literal(e.index).kind == Value::Kind::kInt) {
          resolver_->MarkStructural(e.index);
          int64_t n = resolver_->Literal(e.index).i;
          if (n < 1 || n > static_cast<int64_t>(columns->size()))
            ThrowAt(108,
                    "The ORDER BY position number " + std::to_string(n) +
                        " is out of range of the number of items in the select list.",
                    e.line, e.column);
          *out += std::to_string(n);
        } else {
          SqlType t = Expr(e, scope, out);
          if (t.kind == TypeKind::kText && e.kind != ExprKind::kColumn) *out += " COLLATE TSQL";
          if (t.kind == TypeKind::kDecimal && e.kind != ExprKind::kColumn)
            *out += " COLLATE TSQLDEC";
        }
        if (q.order_by[i].desc) *out += " DESC";
      }
    }
    if (core.top) {
      *out += " LIMIT ";
      Expr(*core.top, scope, out);
    }
    return;
  }
  // The columns of a UNION take the type of highest precedence among its queries, and every
  // query converts to it (decimals widened to hold each side).
  std::vector<SqlType> unified;
  if (!convert_to) {
    std::vector<ParamSource> scratch;
    std::vector<ParamSource>* saved = params_;
    params_ = &scratch;
    for (size_t i = 0; i < q.cores.size(); ++i) {
      std::string probe;
      std::vector<ResultColumn> cols;
      SelectCore(q.cores[i], outer, &probe, &cols, false, nullptr, false);
      for (size_t c = 0; c < cols.size(); ++c) {
        if (c >= unified.size()) unified.push_back(SqlType::Of(TypeKind::kNull));
        unified[c] = PrecedenceType(unified[c], cols[c].type);
      }
    }
    params_ = saved;
    for (SqlType& t : unified)
      if (t.kind == TypeKind::kNull || t.kind == TypeKind::kText) t = SqlType();
    convert_to = &unified;
  }
  for (size_t i = 0; i < q.cores.size(); ++i) {
    if (i) {
      std::string op = q.set_ops[i - 1];
      for (char& c : op) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      *out += " " + op + " ";
    }
    std::vector<ResultColumn> cols;
    const tsql::SelectCore& core = q.cores[i];
    if (core.top) *out += "SELECT * FROM (";
    SelectCore(core, outer, out, i == 0 ? columns : &cols, false, convert_to, name_all && i == 0);
    if (core.top) {
      Scope scope;
      scope.outer = outer;
      *out += " LIMIT ";
      Expr(*core.top, scope, out);
      *out += ")";
    }
    if (i > 0 && cols.size() != columns->size())
      ThrowAt(205,
              "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal "
              "number of expressions in their target lists.",
              core.line, core.column);
    for (size_t c = 0; i > 0 && c < cols.size(); ++c)
      if ((*columns)[c].type.kind == TypeKind::kNull || (*columns)[c].type.kind == TypeKind::kInt)
        if (cols[c].type.kind != TypeKind::kNull && cols[c].type.kind != TypeKind::kUnknown)
          (*columns)[c].type = cols[c].type;
  }
  if (!q.order_by.empty()) {
    *out += " ORDER BY ";
    for (size_t i = 0; i < q.order_by.size(); ++i) {
      if (i) *out += ", ";
      const tsql::Expr& e = *q.order_by[i].expr;
      int ordinal = 0;
      if (e.kind == ExprKind::kLiteral && resolver_->Literal(e.index).kind == Value::Kind::kInt) {
        resolver_->MarkStructural(e.index);
        ordinal = static_cast<int>(resolver_->Literal(e.index).i);
      } else if (e.kind == ExprKind::kColumn) {
        for (size_t c = 0; c < columns->size(); ++c)
          if (EqualsNoCase((*columns)[c].name, e.name)) {
            ordinal = static_cast<int>(c) + 1;
            break;
          }
      }
      if (ordinal <= 0)
        ThrowAt(104,
                "ORDER BY items must appear in the select list if the statement contains a "
                "UNION, INTERSECT or EXCEPT operator.",
                e.line, e.column);
      *out += std::to_string(ordinal);
      if (q.order_by[i].desc) *out += " DESC";
    }
  }
}

SqlText Translator::Query(const tsql::Query& q, bool extra_rowids) {
  SqlText t;
  params_ = &t.params;
  QueryText(
      q, nullptr, &t.sql, &t.columns,
      extra_rowids && q.cores.size() == 1 && !q.cores[0].distinct && q.cores[0].group_by.empty());
  params_ = nullptr;
  return t;
}

std::vector<ResultColumn> Translator::QueryColumns(const tsql::Query& q) {
  std::vector<ParamSource> scratch;
  std::vector<ParamSource>* saved = params_;
  params_ = &scratch;
  std::string sql;
  std::vector<ResultColumn> cols;
  QueryText(q, nullptr, &sql, &cols);
  params_ = saved;
  return cols;
}

SqlText Translator::Scalar(const tsql::Expr& e) {
  SqlText t;
  params_ = &t.params;
  Scope scope;
  t.sql = "SELECT ";
  SqlType type = Expr(e, scope, &t.sql);
  t.columns.push_back({"", type});
  params_ = nullptr;
  return t;
}

}  // namespace corva::tsql
