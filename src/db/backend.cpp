// Choosing the backend a connection string asks for.
#include "db/backend.h"

#include "db/connection_string.h"
#include "db/embedded/embedded_backend.h"
#include "db/errors.h"
#include "db/odbc/odbc_backend.h"

namespace corva::db {

std::unique_ptr<Backend> OpenBackend(const ConnectionString& connect) {
  if (EqualsNoCase(connect.Get("Provider"), "SQLite")) return OpenEmbedded(connect);
#ifdef CORVA_WITH_ODBC
  return OpenOdbc(connect);
#else
  throw DbError(kErrProviderNotFound,
                "This build of the library has no SQL Server backend (it was built without "
                "unixODBC); only \"Provider=SQLite;Data Source=PATH\" connections can be opened.");
#endif
}

}  // namespace corva::db
