// The harnesses' shared parts: the scenario registry, snapshots read with SQLite past the engine,
// and calls made as the host makes them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "base/late_binding.h"
#include "corva/corva.h"
#include "harness/harness.h"

namespace corva::harness {
namespace {

std::vector<Scenario>& Registry() {
  static std::vector<Scenario> rows;
  return rows;
}

// One SQLite value as text that tells the types apart ("i:5", "r:2.5", "t:x", "b:3 bytes", "null").
std::string ValueText(sqlite3_stmt* st, int column) {
  switch (sqlite3_column_type(st, column)) {
    case SQLITE_INTEGER:
      return "i:" + std::to_string(sqlite3_column_int64(st, column));
    case SQLITE_FLOAT: {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "r:%.17g", sqlite3_column_double(st, column));
      return buffer;
    }
    case SQLITE_TEXT:
      return "t:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, column)));
    case SQLITE_BLOB:
      return "b:" + std::string(static_cast<const char*>(sqlite3_column_blob(st, column)),
                                sqlite3_column_bytes(st, column));
    default:
      return "null";
  }
}

// The rows of `sql` as text lines.
std::vector<std::string> Rows(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    throw std::runtime_error("snapshot: " + message + " in " + sql);
  }
  std::vector<std::string> rows;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::string line;
    for (int c = 0; c < sqlite3_column_count(st); ++c) line += ValueText(st, c) + "|";
    rows.push_back(std::move(line));
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) throw std::runtime_error("snapshot: reading " + sql + " failed");
  return rows;
}

}  // namespace

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

size_t RegisterScenarios(const Scenario* rows, size_t count) {
  Registry().insert(Registry().end(), rows, rows + count);
  return Registry().size();
}

const std::vector<Scenario>& Scenarios() { return Registry(); }

const Scenario* FindScenario(const std::string& progid, const std::string& operation) {
  for (const Scenario& row : Registry()) {
    if (IEquals(row.progid, progid) && IEquals(row.operation, operation)) return &row;
  }
  return nullptr;
}

VectorPtr SaveVect(std::initializer_list<std::pair<const char*, Variant>> values) {
  DictionaryPtr header = MakeDictionary();
  for (const auto& [key, value] : values) header->SetValue(key, value);
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  return save_vect;
}

Snapshot TakeSnapshot(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("snapshot: cannot open " + path);
  }
  sqlite3_busy_timeout(db, 10000);
  Snapshot snapshot;
  try {
    for (const std::string& row :
         Rows(db, "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name")) {
      const std::string table = row.substr(2, row.size() - 3);  // "t:name|"
      std::string quoted = "\"";
      for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      std::vector<std::string> rows = Rows(db, "SELECT * FROM " + quoted + "\"");
      std::sort(rows.begin(), rows.end());
      snapshot[table] = std::move(rows);
    }
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
  return snapshot;
}

std::string Difference(const Snapshot& before, const Snapshot& after) {
  std::string text;
  auto rows_of = [](const Snapshot& s, const std::string& table) {
    auto it = s.find(table);
    return it == s.end() ? std::vector<std::string>{"<no table>"} : it->second;
  };
  std::vector<std::string> tables;
  for (const auto& [table, rows] : before) tables.push_back(table);
  for (const auto& [table, rows] : after) {
    if (!before.count(table)) tables.push_back(table);
  }
  for (const std::string& table : tables) {
    std::vector<std::string> was = rows_of(before, table), is = rows_of(after, table);
    if (was == is) continue;
    std::vector<std::string> gone, added;
    std::set_difference(was.begin(), was.end(), is.begin(), is.end(), std::back_inserter(gone));
    std::set_difference(is.begin(), is.end(), was.begin(), was.end(), std::back_inserter(added));
    text += table + ": " + std::to_string(gone.size()) + " rows gone, " +
            std::to_string(added.size()) + " new";
    constexpr size_t kShown = 300;  // of a row's text
    if (!gone.empty()) text += "; was " + gone.front().substr(0, kShown);
    if (!added.empty()) text += "; now " + added.front().substr(0, kShown);
    text += "\n";
  }
  return text;
}

Outcome CallAndCommit(const std::string& progid, const std::string& operation, Args args,
                      bool keep_success) {
  Outcome outcome;
  TransactionScope scope;
  try {
    outcome.result = CreateObject(progid)->Invoke(operation, args);
  } catch (const Error& e) {
    outcome.raised = true;
    outcome.error_number = e.Number();
    outcome.error = e.Description();
  } catch (const std::exception& e) {
    ADD_FAILURE() << progid << "." << operation << " let out an exception that is not an error "
                  << "of the library: " << e.what();
    outcome.raised = true;
  }
  outcome.args = std::move(args);
  outcome.doomed = scope.Doomed();
  if (keep_success || outcome.raised || outcome.doomed) scope.Commit();
  return outcome;
}

bool IsPropertyString(const host::ParamDescription& param) {
  return param.type == "String" &&
         (IFind(param.name, "dsn") != std::string::npos || IEquals(param.name, "MtsString"));
}

}  // namespace corva::harness
