// Shared pieces of the command-line program's input and output.
#include "console.h"

#include <cstdio>

namespace corva::cli {

std::string ConnectStringFor(const std::string& db) {
  if (db.find('=') != std::string::npos) return db;
  bool plain = db.find_first_of(";{}\"'") == std::string::npos;
  return "Provider=SQLite;Data Source=" + (plain ? db : "{" + db + "}");
}

std::string ErrorLine(const Error& error, int first_line) {
  std::string text = "Msg " + std::to_string(error.Number());
  if (error.Line() > 0) {
    text += ", line " + std::to_string(first_line + error.Line() - 1);
    if (error.Column() > 0) text += ", col " + std::to_string(error.Column());
  }
  return text + ": " + error.Description();
}

std::string FormatTraceEntry(const TraceEntry& entry) {
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.2f ms", entry.duration_ms);
  std::string text = "-- " + entry.connection + " " + duration;
  if (!entry.error.empty()) {
    text += ", error " + entry.error;
  } else if (entry.rows_affected >= 0) {
    text +=
        ", " + std::to_string(entry.rows_affected) + (entry.rows_affected == 1 ? " row" : " rows");
  }
  text += "\n" + entry.sql;
  if (!entry.sql.empty() && entry.sql.back() != '\n') text += "\n";
  return text;
}

void PrintTraceToStderr() {
  SqlTrace::EnableProcess(true);
  SqlTrace::SetSink([](const TraceEntry& entry) {
    std::string text = FormatTraceEntry(entry);
    std::fwrite(text.data(), 1, text.size(), stderr);
  });
}

}  // namespace corva::cli
