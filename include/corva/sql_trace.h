// corva::SqlTrace: the statement log. When switched on (for the process, or for one connection with
// Connection::SetTrace) every batch a connection sends is recorded with its connection, duration,
// rows affected and error. Tests compare the exact text a rule sent; the command-line program prints
// it.
#ifndef CORVA_SQL_TRACE_H_
#define CORVA_SQL_TRACE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corva {

struct TraceEntry {
  std::string connection;  // Connection::Name()
  std::string sql;         // the batch exactly as sent
  double duration_ms = 0;
  int64_t rows_affected = -1;
  std::string error;  // "" on success, else "number: message"
};

class SqlTrace {
 public:
  static void EnableProcess(bool on);
  static bool ProcessEnabled();
  // Recorded entries, oldest first (thread-safe copy), and clearing them.
  static std::vector<TraceEntry> Entries();
  static void Clear();
  // Also hands each entry to `sink` as it is recorded (nullptr removes it).
  static void SetSink(std::function<void(const TraceEntry&)> sink);
  // Records one entry (used by the database layer).
  static void Record(TraceEntry entry);
};

}  // namespace corva

#endif  // CORVA_SQL_TRACE_H_
