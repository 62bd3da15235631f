// The embedded backend: connections on "Provider=SQLite;Data Source=PATH", running the SQL Server
// dialect through the engine in src/tsql.
#ifndef CORVA_DB_EMBEDDED_EMBEDDED_BACKEND_H_
#define CORVA_DB_EMBEDDED_EMBEDDED_BACKEND_H_

#include <memory>
#include <string>

#include "db/backend.h"

namespace corva::db {

// Opens a session on the database named by "Data Source" (":memory:" is the process's in-memory
// database; a path is made absolute, so "a.db" and "./a.db" are one database). Inside a transaction
// every connection to the same database shares one engine handle, begun when the first of them
// opened and enlisted in the transaction under "sqlite:" + path; each still has its own session and
// so its own "#" tables. Outside a transaction the connection has a handle of its own and each
// statement commits by itself. Throws corva::Error 4060 when the database cannot be opened.
std::unique_ptr<Backend> OpenEmbedded(const ConnectionString& connect);

// The absolute, normalized form of an embedded database path (":memory:" unchanged).
std::string CanonicalDatabasePath(const std::string& path);

}  // namespace corva::db

#endif  // CORVA_DB_EMBEDDED_EMBEDDED_BACKEND_H_
