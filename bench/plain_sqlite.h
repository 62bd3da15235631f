// Plain SQLite as a careful hand-written client uses it: one connection, every statement prepared
// once and kept, parameters bound, rows read into the same Variants the engine hands out (dates as
// dates). The schema's text columns are declared COLLATE TSQL, so the connection registers the
// engine's collation and functions, as any client of these files must.
#ifndef CORVA_BENCH_PLAIN_SQLITE_H_
#define CORVA_BENCH_PLAIN_SQLITE_H_

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "corva/variant.h"
#include "tsql/functions.h"

namespace corva::bench {

using Rows = std::vector<std::vector<Variant>>;

class PlainSqlite {
 public:
  explicit PlainSqlite(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("sqlite: cannot open " + path);
    }
    sqlite3_busy_timeout(db_, 30000);
    // The settings the engine gives its own connections, on SQLite's own file layer (which maps
    // at most 2 GiB; the engine's maps all of the file: src/tsql/mapped_vfs.cpp).
    sqlite3_exec(
        db_, "PRAGMA temp_store=MEMORY; PRAGMA synchronous=NORMAL; PRAGMA mmap_size=2147418112;",
        nullptr, nullptr, nullptr);
    tsql::RegisterFunctions(db_, &functions_);
  }
  ~PlainSqlite() {
    for (auto& [text, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }
  PlainSqlite(const PlainSqlite&) = delete;
  PlainSqlite& operator=(const PlainSqlite&) = delete;

  sqlite3* db() const { return db_; }

  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
  }

  // The statement for `sql`, prepared on first use; `sql` is a literal, known by its address.
  sqlite3_stmt* Prepare(const char* sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
      Fail(sql);
    }
    statements_.emplace(sql, s);
    return s;
  }

  // Runs `sql` with `params` (Long, Double, Null or text) and returns its rows; columns listed in
  // `dates` (by position) read as dates.
  Rows Query(const char* sql, const std::vector<Variant>& params = {},
             const std::vector<int>& dates = {}) {
    sqlite3_stmt* s = Prepare(sql);
    Bind(s, params);
    Rows rows;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      std::vector<Variant> row;
      int n = sqlite3_column_count(s);
      row.reserve(n);
      for (int c = 0; c < n; ++c) row.push_back(Column(s, c, dates));
      rows.push_back(std::move(row));
    }
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) Fail(sql);
    return rows;
  }

  // Runs a statement without rows; returns the rows it changed.
  int Run(const char* sql, const std::vector<Variant>& params = {}) {
    sqlite3_stmt* s = Prepare(sql);
    Bind(s, params);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(sql);
    return sqlite3_changes(db_);
  }

  // The first column of the first row, or `otherwise` when there is no row.
  Variant Value(const char* sql, const std::vector<Variant>& params, Variant otherwise = {}) {
    sqlite3_stmt* s = Prepare(sql);
    Bind(s, params);
    Variant v = otherwise;
    if (sqlite3_step(s) == SQLITE_ROW) v = Column(s, 0, {});
    sqlite3_reset(s);
    return v;
  }

 private:
  static void Bind(sqlite3_stmt* s, const std::vector<Variant>& params) {
    for (size_t i = 0; i < params.size(); ++i) {
      int at = static_cast<int>(i + 1);
      const Variant& p = params[i];
      switch (p.Type()) {
        case VarType::kLong:
          sqlite3_bind_int(s, at, p.AsLong());
          break;
        case VarType::kDouble:
          sqlite3_bind_double(s, at, p.AsDouble());
          break;
        case VarType::kEmpty:
        case VarType::kNull:
          sqlite3_bind_null(s, at);
          break;
        default: {
          std::string text = p.AsString();
          sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
      }
    }
  }

  static Variant Column(sqlite3_stmt* s, int c, const std::vector<int>& dates) {
    switch (sqlite3_column_type(s, c)) {
      case SQLITE_INTEGER: {
        int64_t v = sqlite3_column_int64(s, c);
        if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
        return Variant(static_cast<double>(v));
      }
      case SQLITE_FLOAT:
        return Variant(sqlite3_column_double(s, c));
      case SQLITE_NULL:
        return Variant::Null();
      default: {
        std::string text(reinterpret_cast<const char*>(sqlite3_column_text(s, c)),
                         static_cast<size_t>(sqlite3_column_bytes(s, c)));
        for (int d : dates) {
          if (d == c) return Variant(text).AsDate();
        }
        return Variant(std::move(text));
      }
    }
  }

  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("sqlite: " + std::string(sqlite3_errmsg(db_)) + ": " + what);
  }

  sqlite3* db_ = nullptr;
  tsql::FunctionContext functions_;
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

}  // namespace corva::bench

#endif  // CORVA_BENCH_PLAIN_SQLITE_H_
