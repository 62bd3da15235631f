// Reading "key=value;..." connection strings in the forms both data-access worlds write them:
// OLE DB's quoted values and ODBC's braced ones.
#include "db/connection_string.h"

#include <cctype>

#include "db/errors.h"

namespace corva::db {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

Error Malformed(std::string_view text, const std::string& why) {
  return DbError(kErrBadArguments,
                 "The connection string cannot be read (" + why + "): " + std::string(text));
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString result;
  result.text_ = std::string(text);
  size_t i = 0;
  while (i < text.size()) {
    // Key: up to "=". A segment that ends (";") before any "=" must be blank.
    size_t eq = text.find_first_of("=;", i);
    if (eq == std::string_view::npos || text[eq] == ';') {
      size_t end = eq == std::string_view::npos ? text.size() : eq;
      if (!Trim(text.substr(i, end - i)).empty()) throw Malformed(text, "a part without '='");
      i = end + 1;
      continue;
    }
    std::string key(Trim(text.substr(i, eq - i)));
    if (key.empty()) throw Malformed(text, "an empty key");
    i = eq + 1;
    while (i < text.size() && IsBlank(text[i])) ++i;

    std::string value;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
      char close = text[i] == '{' ? '}' : text[i];
      ++i;
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {  // doubled: a literal one
            value += close;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += text[i++];
      }
      if (!closed) throw Malformed(text, "an unterminated value of '" + key + "'");
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i < text.size() && text[i] != ';') {
        throw Malformed(text, "text after the quoted value of '" + key + "'");
      }
      ++i;
    } else {
      size_t end = text.find(';', i);
      if (end == std::string_view::npos) end = text.size();
      value = std::string(Trim(text.substr(i, end - i)));
      i = end + 1;
    }

    bool replaced = false;
    for (auto& item : result.items_) {
      if (EqualsNoCase(item.first, key)) {
        item.second = value;
        replaced = true;
      }
    }
    if (!replaced) result.items_.emplace_back(std::move(key), std::move(value));
  }
  return result;
}

std::string ConnectionString::Get(std::string_view key, std::string_view fallback) const {
  for (const auto& item : items_) {
    if (EqualsNoCase(item.first, key)) return item.second;
  }
  return std::string(fallback);
}

bool ConnectionString::Has(std::string_view key) const {
  for (const auto& item : items_) {
    if (EqualsNoCase(item.first, key)) return true;
  }
  return false;
}

std::string ConnectionString::QuoteValue(std::string_view value) {
  bool plain = value.find_first_of(";={}\"'") == std::string_view::npos &&
               Trim(value).size() == value.size();
  if (plain) return std::string(value);
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

}  // namespace corva::db
