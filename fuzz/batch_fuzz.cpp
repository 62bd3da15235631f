// Fuzz target: batches run by the embedded engine on the process's in-memory database, which holds
// the schema (installed once). The input is split into batches at lines holding only "GO", run one
// after another on one connection (so the batch cache sees them all), inside a host transaction
// that is rolled back, so that every input starts from the same database. A batch either runs or
// fails with corva::Error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "db/schema_installer.h"

namespace {

constexpr char kMemory[] = "Provider=SQLite;Data Source=:memory:";

// "WHILE" makes a loop that may legally never end; such inputs are left out rather than reported
// as hangs. Compared without regard to case.
bool HasLoop(std::string_view text) {
  for (size_t i = 0; i + 5 <= text.size(); ++i) {
    bool match = true;
    for (size_t k = 0; k < 5 && match; ++k) {
      match = (text[i + k] | 0x20) == "while"[k];
    }
    if (match) return true;
  }
  return false;
}

std::vector<std::string_view> Batches(std::string_view text) {
  std::vector<std::string_view> batches;
  size_t start = 0, line = 0;
  while (line <= text.size()) {
    size_t end = text.find('\n', line);
    if (end == std::string_view::npos) end = text.size();
    std::string_view current = text.substr(line, end - line);
    if (!current.empty() && current.back() == '\r') current.remove_suffix(1);
    if (current == "GO" || current == "go") {
      batches.push_back(text.substr(start, line - start));
      start = end + 1;
    }
    line = end + 1;
  }
  if (start < text.size()) batches.push_back(text.substr(start));
  return batches;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corva::TransactionScope scope;
  corva::Connection connection;
  connection.Open(kMemory);
  corva::db::InstallSchema(connection, true);
  connection.Close();
  scope.Commit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (HasLoop(text)) return 0;
  corva::TransactionScope scope;  // never committed
  corva::Connection connection;
  connection.Open(kMemory);
  for (std::string_view batch : Batches(text)) {
    try {
      connection.Execute(std::string(batch));
    } catch (const corva::Error&) {
    }
  }
  return 0;
}
