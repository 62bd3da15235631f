// The engine's SQL functions and its collation, registered on every SQLite connection it opens.
#ifndef CORVA_TSQL_FUNCTIONS_H_
#define CORVA_TSQL_FUNCTIONS_H_

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string_view>

namespace corva::tsql {

// What functions that depend on the running session ask of it.
struct FunctionContext {
  std::function<int64_t(std::string_view name)> object_id;  // OBJECT_ID(name), 0 = none
};

// Registers the collation TSQL (case-insensitive for ASCII, trailing blanks ignored) and the
// tsql_* functions. `context` must outlive the connection.
void RegisterFunctions(sqlite3* db, FunctionContext* context);

// The collation's comparison, for the engine's own use.
int CompareText(std::string_view a, std::string_view b);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_FUNCTIONS_H_
