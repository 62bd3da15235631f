// Fuzz target: connection strings, read as the database layer reads them and translated for ODBC.
// Reading either gives pairs or fails with corva::Error 3001; every value read, written back with
// QuoteValue, must read back unchanged; the ODBC translation and its redaction must read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "corva/error.h"
#include "db/connection_string.h"
#include "db/odbc/odbc_connect_string.h"

using corva::db::ConnectionString;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ConnectionString parsed;
  try {
    parsed = ConnectionString::Parse(text);
  } catch (const corva::Error&) {
    return 0;
  }
  for (const auto& [key, value] : parsed.Items()) {
    std::string written = "K=" + ConnectionString::QuoteValue(value);
    try {
      if (ConnectionString::Parse(written).Get("K") != value) std::abort();
    } catch (const corva::Error&) {
      std::abort();  // QuoteValue wrote what Parse cannot read
    }
  }
  try {
    // A failed connect reports the redacted string: it must read.
    corva::db::RedactOdbcConnectString(corva::db::ToOdbcConnectString(parsed));
  } catch (const corva::Error&) {
    std::abort();
  }
  return 0;
}
