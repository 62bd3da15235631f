// The SQL Server backend: connections over unixODBC to Microsoft's or FreeTDS's SQL Server driver.
// Compiled when the build has unixODBC (CORVA_WITH_ODBC); untested here for want of a server.
#ifndef CORVA_DB_ODBC_ODBC_BACKEND_H_
#define CORVA_DB_ODBC_ODBC_BACKEND_H_

#include <memory>

#include "db/backend.h"

namespace corva::db {

// Connects with the ODBC form of `connect` (ToOdbcConnectString). Inside a host transaction the
// first connection to a server and database starts a transaction on a session of its own, enlisted
// under "odbc:" + the ODBC connection string; every connection of the transaction binds its session
// to it (sp_bindsession), so they share its locks and uncommitted writes while keeping their own
// "#" tables. Errors carry SQL Server's native number; a failure without one (no driver, no
// server) is error -2147467259 with the driver manager's message.
std::unique_ptr<Backend> OpenOdbc(const ConnectionString& connect);

}  // namespace corva::db

#endif  // CORVA_DB_ODBC_ODBC_BACKEND_H_
