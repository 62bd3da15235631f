// Translation of OLE DB connection strings to ODBC ones (no ODBC headers needed: the translation
// is tested on builds without unixODBC too).
#include "db/odbc/odbc_connect_string.h"

#include <array>
#include <string_view>
#include <utility>

#include "db/connection_string.h"

namespace corva::db {
namespace {

// OLE DB key -> ODBC key.
constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kRenamed = {{
    {"Data Source", "Server"},
    {"Address", "Server"},
    {"Addr", "Server"},
    {"Network Address", "Server"},
    {"Initial Catalog", "Database"},
    {"User ID", "UID"},
    {"User", "UID"},
    {"Password", "PWD"},
    {"Application Name", "APP"},
    {"Workstation ID", "WSID"},
    {"Initial File Name", "AttachDBFileName"},
    {"Current Language", "Language"},
}};

// Keys that mean something only to OLE DB or ADO; a driver would reject or ignore them.
constexpr std::array<std::string_view, 12> kDropped = {
    "Provider",
    "Persist Security Info",
    "Connect Timeout",
    "Connection Timeout",
    "Packet Size",
    "Use Procedure for Prepare",
    "Auto Translate",
    "Locale Identifier",
    "Extended Properties",
    "Tag with column collation when possible",
    "General Timeout",
    "Pooling",
};

bool IsTrueWord(std::string_view value) {
  return EqualsNoCase(value, "SSPI") || EqualsNoCase(value, "true") || EqualsNoCase(value, "yes");
}

}  // namespace

std::string ToOdbcConnectString(const ConnectionString& connect) {
  std::vector<std::pair<std::string, std::string>> out;
  auto put = [&out](std::string_view key, const std::string& value) {
    for (auto& item : out) {
      if (EqualsNoCase(item.first, key)) {
        item.second = value;
        return;
      }
    }
    out.emplace_back(std::string(key), value);
  };

  bool names_driver = connect.Has("Driver") || connect.Has("DSN");
  if (!names_driver) put("Driver", kDefaultOdbcDriver);
  for (const auto& [key, value] : connect.Items()) {
    bool handled = false;
    for (std::string_view dropped : kDropped) {
      if (EqualsNoCase(key, dropped)) handled = true;
    }
    for (const auto& [ole_key, odbc_key] : kRenamed) {
      if (!handled && EqualsNoCase(key, ole_key)) {
        put(odbc_key, value);
        handled = true;
      }
    }
    if (handled) continue;
    if (EqualsNoCase(key, "Integrated Security") || EqualsNoCase(key, "Trusted_Connection")) {
      if (IsTrueWord(value)) put("Trusted_Connection", "yes");
      continue;
    }
    put(key, value);
  }

  std::string text;
  for (const auto& [key, value] : out) {
    if (!text.empty()) text += ';';
    // A driver name is always braced: that is how every driver manager expects it.
    if (EqualsNoCase(key, "Driver")) {
      std::string braced = "{";
      for (char c : value) braced += c == '}' ? std::string("}}") : std::string(1, c);
      text += key + "=" + braced + "}";
    } else {
      text += key + "=" + ConnectionString::QuoteValue(value);
    }
  }
  return text;
}

std::string RedactOdbcConnectString(const std::string& odbc) {
  ConnectionString parsed = ConnectionString::Parse(odbc);
  std::string text;
  for (const auto& [key, value] : parsed.Items()) {
    if (!text.empty()) text += ';';
    bool secret = EqualsNoCase(key, "PWD") || EqualsNoCase(key, "Password");
    text += key + "=" + (secret ? std::string("***") : ConnectionString::QuoteValue(value));
  }
  return text;
}

}  // namespace corva::db
