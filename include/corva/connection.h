// corva::Connection and corva::Command: the way every rule reaches its database. The connection
// string selects the backend: "Provider=SQLite;Data Source=PATH" the embedded engine (the SQL Server
// dialect executed on SQLite; ":memory:" is one in-memory database per process), any other form
// SQL Server over ODBC. A connection opened on a thread while a transaction is active there takes
// part in it: it sees the uncommitted writes of the transaction's other connections and its work is
// committed or rolled back with the transaction. Each connection keeps its own "#" tables.
#ifndef CORVA_CONNECTION_H_
#define CORVA_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corva/error.h"
#include "corva/recordset.h"
#include "corva/variant.h"

namespace corva {

namespace db {
class Backend;  // one open session of a backend (internal)
}

class Connection : public Object {
 public:
  Connection();
  ~Connection() override;  // closes
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens on `connect_string`. Error (from the backend) when it cannot; error 3705 when open already.
  void Open(const std::string& connect_string);
  bool IsOpen() const;
  // Runs a batch. Returns its first result set, or a closed recordset when it has none; later result
  // sets come from NextRecordset. `records_affected`, when given, receives the rows the batch's
  // statements affected (-1 when none counts). A failing statement stops the batch and throws
  // corva::Error with the database's native number and message; the transaction decides what stays.
  RecordsetPtr Execute(const std::string& sql, int64_t* records_affected = nullptr);
  // The next result set of the last Execute, or nullptr when there is none left.
  RecordsetPtr NextRecordset();
  // Provider facts ("DBMS Name", "DBMS Version", "Multiple Results", ...); Empty when unknown.
  Variant Properties(const std::string& name) const;
  void Close();

  // The errors the last batch collected, as a data-access connection's error list: the error that
  // stopped it (Execute threw it too). Empty after a batch that ran through; cleared as the next
  // batch (of Execute or of a Command) starts.
  const std::vector<Error>& Errors() const { return errors_; }
  // For the database layer, which clears and fills the list around each batch.
  std::vector<Error>& MutableErrors() { return errors_; }

  // Logs this connection's batches to SqlTrace even when the process-wide switch is off.
  void SetTrace(bool on) { trace_ = on; }
  bool Trace() const { return trace_; }
  // A short name for the statement log ("c3").
  const std::string& Name() const { return name_; }

  db::Backend* backend() { return backend_.get(); }

 private:
  std::unique_ptr<db::Backend> backend_;
  std::string name_;
  bool trace_ = false;
  std::vector<Error> errors_;
};
using ConnectionPtr = std::shared_ptr<Connection>;

// ADO's parameter type codes, as the rules name them.
enum class ParamType : int32_t {
  kInteger = 3,      // adInteger
  kDouble = 5,       // adDouble
  kBoolean = 11,     // adBoolean
  kDate = 135,       // adDBTimeStamp
  kVarChar = 200,    // adVarChar
  kVarWChar = 202,   // adVarWChar
};

// A statement with typed input parameters, marked "?" in its text in order.
class Command {
 public:
  explicit Command(ConnectionPtr connection, std::string text = {})
      : connection_(std::move(connection)), text_(std::move(text)) {}
  void SetCommandText(std::string text) { text_ = std::move(text); }
  // Appends an input parameter. `size` is the declared length of a text parameter (nvarchar(size));
  // longer text is cut to it, as SQL Server does.
  void AppendParameter(ParamType type, int32_t size, Variant value);
  // Runs the text with the parameters bound in order; returns the first result set (or a closed
  // one). Error 3708 when the number of "?" differs from the parameters appended.
  RecordsetPtr Execute(int64_t* records_affected = nullptr);

 private:
  struct Parameter {
    ParamType type;
    int32_t size;
    Variant value;
  };
  ConnectionPtr connection_;
  std::string text_;
  std::vector<Parameter> parameters_;
};

}  // namespace corva

#endif  // CORVA_CONNECTION_H_
