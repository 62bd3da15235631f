// The shapes of caller text a rule splices into SQL: small scanners over the text, one per shape,
// and the one error every refusal raises.
#include "frame/caller_text.h"

#include <array>
#include <cstddef>

#include "corva/error.h"
#include "corva/variant.h"

namespace corva::frame {
namespace {

// The caller's text in the message is cut, so that a long statement does not flood the log.
constexpr size_t kQuotedTextLimit = 80;

[[noreturn]] void Refuse(std::string_view what, const std::string& text, std::string_view shape) {
  std::string shown = text.substr(0, kQuotedTextLimit);
  if (text.size() > kQuotedTextLimit) shown += "...";
  throw Error(kErrInvalidProcedureCall, "CorvaMSHTransBills",
              "The argument " + std::string(what) + " \"" + shown + "\" is not " +
                  std::string(shape) + ".");
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Letters, "_", "#", "@" and the bytes of UTF-8 sequences (names in Chinese).
bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c == '@' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '$'; }

void SkipBlanks(std::string_view s, size_t* i) {
  while (*i < s.size() && IsBlank(s[*i])) ++(*i);
}

// A signed whole number at *i; false when there is none.
bool ReadWholeNumber(std::string_view s, size_t* i) {
  if (*i < s.size() && (s[*i] == '-' || s[*i] == '+')) ++(*i);
  size_t digits = *i;
  while (*i < s.size() && IsDigit(s[*i])) ++(*i);
  return *i > digits;
}

// The end of the quoted run that starts at `open` (a quote or "["), the closing character doubled
// inside; npos when it is not closed.
size_t QuotedEnd(std::string_view s, size_t open) {
  const char close = s[open] == '[' ? ']' : s[open];
  for (size_t i = open + 1; i < s.size(); ++i) {
    if (s[i] != close) continue;
    if (i + 1 < s.size() && s[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

// Words that begin a statement of the dialect (or take part only in one), so that they can never
// stand in a condition.
constexpr std::array<std::string_view, 46> kStatementWords = {
    "alter",  "backup",   "begin",    "break",     "bulk",       "checkpoint",  "close",
    "commit", "continue", "create",   "dbcc",      "deallocate", "declare",     "delete",
    "deny",   "disable",  "drop",     "enable",    "exec",       "execute",     "fetch",
    "go",     "goto",     "grant",    "if",        "insert",     "into",        "kill",
    "merge",  "open",     "print",    "raiserror", "readtext",   "reconfigure", "restore",
    "return", "revoke",   "rollback", "save",      "set",        "shutdown",    "truncate",
    "update", "use",      "waitfor",  "while"};

bool EqualsLower(std::string_view word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

const std::string& CheckIdText(std::string_view what, const std::string& text) {
  size_t i = 0;
  SkipBlanks(text, &i);
  bool number = ReadWholeNumber(text, &i);
  SkipBlanks(text, &i);
  if (!number || i != text.size()) Refuse(what, text, "an id");
  return text;
}

const std::string& CheckIdListText(std::string_view what, const std::string& text) {
  size_t i = 0;
  while (true) {
    SkipBlanks(text, &i);
    if (!ReadWholeNumber(text, &i)) Refuse(what, text, "a list of ids");
    SkipBlanks(text, &i);
    if (i == text.size()) return text;
    if (text[i++] != ',') Refuse(what, text, "a list of ids");
  }
}

const std::string& CheckDateListText(std::string_view what, const std::string& text) {
  constexpr std::string_view kShape = "a list of quoted dates ('2026-05-01','2026-05-04')";
  size_t i = 0;
  while (true) {
    SkipBlanks(text, &i);
    if (i >= text.size() || text[i] != '\'') Refuse(what, text, kShape);
    size_t close = text.find('\'', i + 1);
    Date day;
    if (close == std::string::npos || !Date::Parse(text.substr(i + 1, close - i - 1), &day)) {
      Refuse(what, text, kShape);
    }
    i = close + 1;
    SkipBlanks(text, &i);
    if (i == text.size()) return text;
    if (text[i++] != ',') Refuse(what, text, kShape);
  }
}

const std::string& CheckTableNameText(std::string_view what, const std::string& text) {
  constexpr std::string_view kShape = "a table name";
  size_t i = 0;
  SkipBlanks(text, &i);
  bool named = false;  // the part just read holds a name
  while (i < text.size() && !IsBlank(text[i])) {
    if (text[i] == '.') {
      named = false;
      ++i;
    } else if (named) {
      Refuse(what, text, kShape);
    } else if (text[i] == '[') {
      size_t end = QuotedEnd(text, i);
      if (end == std::string::npos || end == i + 2) Refuse(what, text, kShape);
      i = end;
      named = true;
    } else if (IsNameStart(text[i])) {
      while (i < text.size() && IsNameChar(text[i])) ++i;
      named = true;
    } else {
      Refuse(what, text, kShape);
    }
  }
  SkipBlanks(text, &i);
  if (!named || i != text.size()) Refuse(what, text, kShape);
  return text;
}

const std::string& CheckConditionText(std::string_view what, const std::string& text) {
  constexpr std::string_view kShape = "a condition";
  std::string_view s = text;
  int depth = 0;  // parentheses: a subquery's SELECT stands inside them
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == '\'' || c == '"' || c == '[') {
      i = QuotedEnd(s, i);
      if (i == std::string_view::npos) Refuse(what, text, kShape);
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      // Block comments nest, as the dialect reads them.
      int comments = 0;
      do {
        if (i + 1 >= s.size()) Refuse(what, text, kShape);
        if (s[i] == '/' && s[i + 1] == '*') {
          ++comments;
          i += 2;
        } else if (s[i] == '*' && s[i + 1] == '/') {
          --comments;
          i += 2;
        } else {
          ++i;
        }
      } while (comments > 0);
    } else if (c == ';') {
      Refuse(what, text, kShape);
    } else if (c == '(' || c == ')') {
      depth += c == '(' ? 1 : -1;
      if (depth < 0) Refuse(what, text, kShape);
      ++i;
    } else if (IsNameStart(c)) {
      size_t start = i;
      while (i < s.size() && IsNameChar(s[i])) ++i;
      std::string_view word = s.substr(start, i - start);
      if (depth == 0 && EqualsLower(word, "select")) Refuse(what, text, kShape);
      for (std::string_view statement_word : kStatementWords) {
        if (EqualsLower(word, statement_word)) Refuse(what, text, kShape);
      }
    } else if (IsDigit(c)) {
      // Digits only: a word right after a number ("1UPDATE") is read as a word of its own, as
      // the dialect reads it.
      while (i < s.size() && (IsDigit(s[i]) || s[i] == '.')) ++i;
    } else {
      ++i;
    }
  }
  if (depth != 0) Refuse(what, text, kShape);
  return text;
}

const std::string& CheckQuotedText(std::string_view what, const std::string& text) {
  if (text.find('\'') != std::string::npos) Refuse(what, text, "text without a quote");
  return text;
}

}  // namespace corva::frame
