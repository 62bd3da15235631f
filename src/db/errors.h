// Error numbers the database layer raises itself, with the descriptions the data-access runtime
// gives them, so that a rule's message reads the same on either backend.
#ifndef CORVA_DB_ERRORS_H_
#define CORVA_DB_ERRORS_H_

#include <cstdint>
#include <string>

#include "corva/error.h"

namespace corva::db {

// "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one
// another." A connection string that cannot be read.
inline constexpr int32_t kErrBadArguments = 3001;
// "Operation is not allowed when the object is open."
inline constexpr int32_t kErrAlreadyOpen = 3705;
// "Provider cannot be found. It may not be properly installed."
inline constexpr int32_t kErrProviderNotFound = 3706;
// "Parameter object is improperly defined. Inconsistent or incomplete information was provided."
inline constexpr int32_t kErrParameterMismatch = 3708;
// SQL Server's "Cannot open database": the embedded database file cannot be opened or created.
inline constexpr int32_t kErrCannotOpenDatabase = 4060;
// E_FAIL as the data-access runtime reports it, for a failure without a number of its own.
inline constexpr int32_t kErrUnspecified = -2147467259;

inline constexpr const char* kDbSource = "Corva Data Access";

inline Error DbError(int32_t number, std::string description) {
  return Error(number, kDbSource, std::move(description));
}

// The error `number` (one of the data-access numbers above, or 3704) with its usual description.
Error DataAccessError(int32_t number);

}  // namespace corva::db

#endif  // CORVA_DB_ERRORS_H_
