// The database layer's view of a backend: one open session of the embedded engine or of SQL Server
// over ODBC, running batches of the SQL Server dialect and answering provider facts. Connection and
// Command (include/corva/connection.h) are thin over this interface.
#ifndef CORVA_DB_BACKEND_H_
#define CORVA_DB_BACKEND_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "corva/connection.h"
#include "corva/variant.h"

namespace corva::db {

class ConnectionString;

// One result set, fully read.
struct ResultTable {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

// What one batch produced.
struct BatchOutput {
  std::vector<ResultTable> result_sets;  // in the order the batch produced them
  int64_t rows_affected = -1;            // rows the batch's DML changed in all; -1 when none ran
};

// An input parameter, already converted to its declared type (text cut to its size, Empty as Null).
struct Param {
  ParamType type;
  int32_t size;
  Variant value;
};

// One open session. Used by one thread at a time; not copyable.
class Backend {
 public:
  Backend() = default;
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;
  virtual ~Backend() = default;

  // Runs one batch; `params` fill its "?" markers in order. A failing statement stops the batch and
  // throws corva::Error with the database's native number and message.
  virtual BatchOutput Execute(std::string_view batch, const std::vector<Param>& params) = 0;
  // A provider fact by name (compared without regard to case); Empty when unknown.
  virtual Variant Property(const std::string& name) const = 0;
  // Ends the session: its "#" tables go. Idempotent; the destructor closes too.
  virtual void Close() = 0;

  // Result sets of the last batch that the connection has not handed out yet (NextRecordset).
  std::vector<ResultTable> pending_results;
  size_t next_pending = 0;
};

// Opens the backend `connect` selects: "Provider=SQLite" the embedded engine, anything else SQL
// Server over ODBC. Joins the transaction active on the calling thread, if any. Throws corva::Error
// when it cannot open.
std::unique_ptr<Backend> OpenBackend(const ConnectionString& connect);

// Runs `batch` on `connection`'s backend, records it in the statement log when the log is on for
// the process or the connection, and keeps the result sets after the first for NextRecordset.
// Returns the first result set or a closed recordset. Error 3704 when the connection is closed.
RecordsetPtr RunBatch(Connection& connection, std::string_view batch,
                      const std::vector<Param>& params, int64_t* records_affected);

}  // namespace corva::db

#endif  // CORVA_DB_BACKEND_H_
