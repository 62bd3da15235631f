// corva::Connection: opens the backend its connection string selects, runs batches through it,
// hands out their result sets as client-side recordsets and records each batch in the statement
// log.
#include "corva/connection.h"

#include <atomic>
#include <chrono>
#include <optional>

#include "corva/error.h"
#include "corva/sql_trace.h"
#include "db/backend.h"
#include "db/connection_string.h"
#include "db/errors.h"
#include "db/fault_injection.h"

namespace corva {
namespace {

std::atomic<int64_t> connection_counter{0};

RecordsetPtr ToRecordset(db::ResultTable&& table) {
  return std::make_shared<Recordset>(std::move(table.columns), std::move(table.rows));
}

}  // namespace

namespace db {

// Runs `batch` on `connection`'s backend and keeps the result sets after the first for
// NextRecordset. Shared by Connection::Execute and Command::Execute so that both are logged alike.
RecordsetPtr RunBatch(Connection& connection, std::string_view batch,
                      const std::vector<Param>& params, int64_t* records_affected) {
  Backend* backend = connection.backend();
  if (backend == nullptr) throw DataAccessError(kErrObjectClosed);
  backend->pending_results.clear();
  backend->next_pending = 0;
  connection.MutableErrors().clear();

  bool trace = connection.Trace() || SqlTrace::ProcessEnabled();
  auto start = std::chrono::steady_clock::now();
  BatchOutput output;
  try {
    FaultInjection::BeforeBatch();  // a test mode; nothing unless a test armed it
    output = backend->Execute(batch, params);
  } catch (const Error& error) {
    connection.MutableErrors().push_back(error);
    if (trace) {
      TraceEntry entry;
      entry.connection = connection.Name();
      entry.sql = std::string(batch);
      entry.duration_ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      entry.error = std::to_string(error.Number()) + ": " + error.Description();
      SqlTrace::Record(std::move(entry));
    }
    throw;
  }
  if (trace) {
    TraceEntry entry;
    entry.connection = connection.Name();
    entry.sql = std::string(batch);
    entry.duration_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    entry.rows_affected = output.rows_affected;
    SqlTrace::Record(std::move(entry));
  }

  if (records_affected != nullptr) *records_affected = output.rows_affected;
  if (output.result_sets.empty()) return std::make_shared<Recordset>();
  RecordsetPtr first = ToRecordset(std::move(output.result_sets.front()));
  backend->pending_results = std::move(output.result_sets);
  backend->next_pending = 1;
  return first;
}

}  // namespace db

Connection::Connection() : name_("c" + std::to_string(++connection_counter)) {}

Connection::~Connection() {
  try {
    Close();
  } catch (...) {  // a destructor must not throw; closing a session only drops its "#" tables
  }
}

namespace {

// A call opens a connection for nearly every group of statements, always on the same connection
// string: the last string parsed on the thread is kept with its parse. A string that does not
// parse leaves the kept one as it was.
const db::ConnectionString& ParsedConnectString(const std::string& text) {
  thread_local std::string last_text;
  thread_local std::optional<db::ConnectionString> last;
  if (!last || text != last_text) {
    last.emplace(db::ConnectionString::Parse(text));
    last_text = text;
  }
  return *last;
}

}  // namespace

void Connection::Open(const std::string& connect_string) {
  if (backend_) throw db::DataAccessError(db::kErrAlreadyOpen);
  backend_ = db::OpenBackend(ParsedConnectString(connect_string));
}

bool Connection::IsOpen() const { return backend_ != nullptr; }

RecordsetPtr Connection::Execute(const std::string& sql, int64_t* records_affected) {
  return db::RunBatch(*this, sql, {}, records_affected);
}

RecordsetPtr Connection::NextRecordset() {
  if (!backend_) throw db::DataAccessError(kErrObjectClosed);
  auto& pending = backend_->pending_results;
  if (backend_->next_pending >= pending.size()) {
    pending.clear();
    backend_->next_pending = 0;
    return nullptr;
  }
  return ToRecordset(std::move(pending[backend_->next_pending++]));
}

Variant Connection::Properties(const std::string& name) const {
  if (!backend_) return Variant();
  return backend_->Property(name);
}

void Connection::Close() {
  if (!backend_) return;
  std::unique_ptr<db::Backend> backend = std::move(backend_);
  backend->Close();
}

}  // namespace corva
