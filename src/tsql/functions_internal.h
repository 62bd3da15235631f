// Helpers shared by the files of the engine's SQL functions.
#ifndef CORVA_TSQL_FUNCTIONS_INTERNAL_H_
#define CORVA_TSQL_FUNCTIONS_INTERNAL_H_

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "tsql/value.h"

namespace corva::tsql::sqlfn {

Value ArgValue(sqlite3_value* v);
void Result(sqlite3_context* ctx, const Value& v);
// Raises SQL Server error `number` from inside a function (see EncodeError).
void Fail(sqlite3_context* ctx, int number, const std::string& message);
std::string_view TextArg(sqlite3_value* v);

}  // namespace corva::tsql::sqlfn

namespace corva::tsql {
// Text functions: REPLACE, CHARINDEX, LIKE with classes, REPLICATE, SPACE, STUFF, STR, ...
void RegisterTextFunctions(sqlite3* db);
// Decimal arithmetic, conversions and aggregates, checked integer arithmetic, the collation
// TSQLDEC and storing into char(n)/varchar(n) (functions_decimal.cpp).
void RegisterDecimalFunctions(sqlite3* db);
}  // namespace corva::tsql

#endif  // CORVA_TSQL_FUNCTIONS_INTERNAL_H_
