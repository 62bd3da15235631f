// Descriptions of the data-access errors the database layer raises itself.
#include "db/errors.h"

namespace corva::db {

Error DataAccessError(int32_t number) {
  switch (number) {
    case kErrBadArguments:
      return DbError(number,
                     "Arguments are of the wrong type, are out of acceptable range, or are in "
                     "conflict with one another.");
    case kErrObjectClosed:
      return DbError(number, "Operation is not allowed when the object is closed.");
    case kErrAlreadyOpen:
      return DbError(number, "Operation is not allowed when the object is open.");
    case kErrProviderNotFound:
      return DbError(number, "Provider cannot be found. It may not be properly installed.");
    case kErrParameterMismatch:
      return DbError(number,
                     "Parameter object is improperly defined. Inconsistent or incomplete "
                     "information was provided.");
    default:
      return DbError(number, "Unspecified error");
  }
}

}  // namespace corva::db
