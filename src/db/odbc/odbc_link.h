// OdbcLink: one ODBC connection handle, with the few things the backend does on it: connect, run a
// batch and read every result set it returns, ask the driver for facts, disconnect. Text crosses
// the driver as UTF-16 so that no client code page gets in the way.
#ifndef CORVA_DB_ODBC_ODBC_LINK_H_
#define CORVA_DB_ODBC_ODBC_LINK_H_

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"

namespace corva::db {

class OdbcLink {
 public:
  // Connects with the ODBC connection string `odbc` (no prompting). Throws corva::Error.
  explicit OdbcLink(const std::string& odbc);
  ~OdbcLink();
  OdbcLink(const OdbcLink&) = delete;
  OdbcLink& operator=(const OdbcLink&) = delete;

  // Runs `batch`, reading every result set (SQLMoreResults) and adding up the row counts. When a
  // statement fails the rest of what the server sends is still read, then the first error is
  // thrown as corva::Error with SQL Server's native number.
  BatchOutput Run(std::string_view batch, const std::vector<Param>& params);
  // SQLGetInfo as text ("Y"/"N" facts, names) or as a 32-bit mask.
  std::string InfoText(SQLUSMALLINT info) const;
  int32_t InfoMask(SQLUSMALLINT info) const;
  // Manual commit (off) or a transaction per statement (on, the driver's default). Throws
  // corva::Error when the driver refuses.
  void SetAutoCommit(bool on);
  // Commits or rolls back the transaction manual commit opened. Throws corva::Error.
  void EndTransaction(bool commit);
  void Disconnect();
  bool Connected() const { return connected_; }

 private:
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

}  // namespace corva::db

#endif  // CORVA_DB_ODBC_ODBC_LINK_H_
