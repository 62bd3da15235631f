// Turning the connection strings the host hands the rules (the OLE DB form "Provider=SQLOLEDB;Data
// Source=server;Initial Catalog=db;User ID=..;Password=..") into the ODBC form a SQL Server driver
// under unixODBC understands.
#ifndef CORVA_DB_ODBC_ODBC_CONNECT_STRING_H_
#define CORVA_DB_ODBC_ODBC_CONNECT_STRING_H_

#include <string>

namespace corva::db {

class ConnectionString;

// The driver used when the connection string names none: Microsoft's SQL Server driver for Linux.
// FreeTDS is chosen by adding "Driver=FreeTDS" to the connection string.
inline constexpr const char* kDefaultOdbcDriver = "ODBC Driver 18 for SQL Server";

// The ODBC connection string for `connect`. OLE DB keys become their ODBC names ("Data Source" ->
// Server, "Initial Catalog" -> Database, "User ID" -> UID, "Password" -> PWD, "Integrated
// Security=SSPI" -> Trusted_Connection=yes, "Application Name" -> APP, "Workstation ID" -> WSID);
// OLE DB-only keys (Provider, Persist Security Info, Connect Timeout, ...) are dropped; any other
// key (Encrypt, TrustServerCertificate, Port, ...) passes unchanged. "Driver=" is added with
// kDefaultOdbcDriver unless the string names a Driver or a DSN.
std::string ToOdbcConnectString(const ConnectionString& connect);

// `odbc` with the password replaced by "***", for messages.
std::string RedactOdbcConnectString(const std::string& odbc);

}  // namespace corva::db

#endif  // CORVA_DB_ODBC_ODBC_CONNECT_STRING_H_
