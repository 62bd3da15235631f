// ConnectionString: a parsed "key=value;key=value" connection string. Keys compare without regard
// to case; a value may be quoted ("..." or '...', the quote doubled inside) or braced ({...}, "}}"
// for a closing brace inside), which lets it hold ";" and "=".
#ifndef CORVA_DB_CONNECTION_STRING_H_
#define CORVA_DB_CONNECTION_STRING_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corva::db {

class ConnectionString {
 public:
  // Parses `text`. Blank segments are skipped and a key given twice keeps its last value. Throws
  // corva::Error 3001 for a segment without "=", an empty key or an unterminated quote or brace.
  static ConnectionString Parse(std::string_view text);

  // The value of `key`, or `fallback` when absent.
  std::string Get(std::string_view key, std::string_view fallback = {}) const;
  bool Has(std::string_view key) const;
  // The pairs in the order given, keys as written.
  const std::vector<std::pair<std::string, std::string>>& Items() const { return items_; }
  const std::string& Text() const { return text_; }

  // `value` as it can stand in a connection string: unchanged when plain, else braced.
  static std::string QuoteValue(std::string_view value);

 private:
  std::string text_;
  std::vector<std::pair<std::string, std::string>> items_;
};

// ASCII case-insensitive equality, as keys and provider names compare.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace corva::db

#endif  // CORVA_DB_CONNECTION_STRING_H_
