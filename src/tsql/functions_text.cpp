// Text functions without regard to case, as SQL Server's default collation compares: REPLACE,
// CHARINDEX, LIKE with [set] classes, PATINDEX, and the small helpers REPLICATE, SPACE, REVERSE,
// STUFF, STR, ASCII, CHAR; also bitwise XOR and SQUARE.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "tsql/functions.h"
#include "tsql/functions_internal.h"

namespace corva::tsql {
namespace {

using sqlfn::TextArg;

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
  if (needle.empty()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && Fold(hay[i + k]) == Fold(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

void ReplaceFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string hay(TextArg(argv[0]));
  std::string from(TextArg(argv[1]));
  std::string to(TextArg(argv[2]));
  if (from.empty())
    return sqlite3_result_text(ctx, hay.data(), static_cast<int>(hay.size()), SQLITE_TRANSIENT);
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t at = FindNoCase(hay, from, pos);
    if (at == std::string::npos) break;
    out.append(hay, pos, at - pos);
    out += to;
    pos = at + from.size();
  }
  out.append(hay, pos, std::string::npos);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// Position in characters (UTF-8) of the byte offset `bytes` of `s`, from 1.
int64_t CharPos(std::string_view s, size_t bytes) {
  int64_t n = 0;
  for (size_t i = 0; i < bytes && i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) ++n;
  return n + 1;
}

void CharIndexFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string_view needle = TextArg(argv[0]);
  std::string hay(TextArg(argv[1]));
  size_t start = 0;
  if (argc > 2 && sqlite3_value_int64(argv[2]) > 1) {
    int64_t chars = sqlite3_value_int64(argv[2]) - 1;
    while (start < hay.size() && chars > 0) {
      ++start;
      while (start < hay.size() && (static_cast<unsigned char>(hay[start]) & 0xC0) == 0x80) ++start;
      --chars;
    }
  }
  size_t at = FindNoCase(hay, needle, start);
  sqlite3_result_int64(ctx, at == std::string::npos ? 0 : CharPos(hay, at));
}

bool LikeMatch(const char* s, const char* p, char escape) {
  while (*p) {
    if (escape && *p == escape && p[1]) {
      if (Fold(*s) != Fold(p[1])) return false;
      ++s;
      p += 2;
      continue;
    }
    if (*p == '%') {
      while (*p == '%') ++p;
      if (!*p) return true;
      for (; *s; ++s)
        if (LikeMatch(s, p, escape)) return true;
      return false;
    }
    if (!*s) return false;
    if (*p == '_') {
      ++s;
      ++p;
      while ((static_cast<unsigned char>(*s) & 0xC0) == 0x80) ++s;
      continue;
    }
    if (*p == '[') {
      const char* q = p + 1;
      bool negate = *q == '^';
      if (negate) ++q;
      bool matched = false;
      while (*q && *q != ']') {
        if (q[1] == '-' && q[2] && q[2] != ']') {
          if (Fold(*s) >= Fold(q[0]) && Fold(*s) <= Fold(q[2])) matched = true;
          q += 3;
        } else {
          if (Fold(*s) == Fold(*q)) matched = true;
          ++q;
        }
      }
      if (*q != ']') return false;
      if (matched == negate) return false;
      ++s;
      p = q + 1;
      continue;
    }
    if (Fold(*s) != Fold(*p)) return false;
    ++s;
    ++p;
  }
  return *s == 0;
}

void LikeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string s(TextArg(argv[0]));
  std::string p(TextArg(argv[1]));
  char esc = 0;
  if (argc > 2) {
    std::string_view e = TextArg(argv[2]);
    if (!e.empty()) esc = e[0];
  }
  sqlite3_result_int(ctx, LikeMatch(s.c_str(), p.c_str(), esc) ? 1 : 0);
}

void ReplicateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string s(TextArg(argv[0])), out;
  int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_null(ctx);
  for (int64_t i = 0; i < n && out.size() < 8000; ++i) out += s;
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void SpaceFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  int64_t n = sqlite3_value_int64(argv[0]);
  if (n < 0) return sqlite3_result_null(ctx);
  std::string out(static_cast<size_t>(std::min<int64_t>(n, 8000)), ' ');
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void ReverseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string s(TextArg(argv[0]));
  std::string out(s.rbegin(), s.rend());
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void StuffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string s(TextArg(argv[0]));
  int64_t start = sqlite3_value_int64(argv[1]), len = sqlite3_value_int64(argv[2]);
  if (start < 1 || start > static_cast<int64_t>(s.size()) || len < 0)
    return sqlite3_result_null(ctx);
  std::string repl =
      sqlite3_value_type(argv[3]) == SQLITE_NULL ? "" : std::string(TextArg(argv[3]));
  s.replace(static_cast<size_t>(start - 1), static_cast<size_t>(len), repl);
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void StrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  int len = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
  int dec = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%*.*f", len, dec, sqlite3_value_double(argv[0]));
  std::string out = buf;
  if (static_cast<int>(out.size()) > len) out = std::string(static_cast<size_t>(len), '*');
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void AsciiFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string_view s = TextArg(argv[0]);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || s.empty()) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, static_cast<unsigned char>(s[0]));
}

void CharFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  char c = static_cast<char>(sqlite3_value_int(argv[0]));
  sqlite3_result_text(ctx, &c, 1, SQLITE_TRANSIENT);
}

void BitXorFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]) ^ sqlite3_value_int64(argv[1]));
}

void SquareFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  double x = sqlite3_value_double(argv[0]);
  sqlite3_result_double(ctx, x * x);
}

void PatIndexFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string p(TextArg(argv[0]));
  std::string s(TextArg(argv[1]));
  std::string core = p;
  if (!core.empty() && core.front() == '%') core.erase(0, 1);
  for (size_t i = 0; i < s.size(); ++i) {
    std::string tail = s.substr(i);
    if (LikeMatch(tail.c_str(), (core + (core.empty() || core.back() != '%' ? "%" : "")).c_str(),
                  0)) {
      if (!p.empty() && p.front() != '%' && i > 0) break;
      return sqlite3_result_int64(ctx, CharPos(s, i));
    }
  }
  sqlite3_result_int(ctx, 0);
}

// tsql_scalar: the one value of a scalar subquery; more than one row is SQL Server's error 512.

}  // namespace

void RegisterTextFunctions(sqlite3* db) {
  struct Fn {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  static const Fn kFns[] = {
      {"tsql_replace", 3, ReplaceFn},
      {"tsql_charindex", 2, CharIndexFn},
      {"tsql_charindex", 3, CharIndexFn},
      {"tsql_like", 2, LikeFn},
      {"tsql_like", 3, LikeFn},
      {"tsql_replicate", 2, ReplicateFn},
      {"tsql_space", 1, SpaceFn},
      {"tsql_reverse", 1, ReverseFn},
      {"tsql_stuff", 4, StuffFn},
      {"tsql_str", 1, StrFn},
      {"tsql_str", 2, StrFn},
      {"tsql_str", 3, StrFn},
      {"tsql_ascii", 1, AsciiFn},
      {"tsql_char", 1, CharFn},
      {"tsql_nchar", 1, CharFn},
      {"tsql_unicode", 1, AsciiFn},
      {"tsql_bitxor", 2, BitXorFn},
      {"tsql_square", 1, SquareFn},
      {"tsql_patindex", 2, PatIndexFn},
  };
  for (const Fn& f : kFns)
    sqlite3_create_function_v2(db, f.name, f.argc, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               f.fn, nullptr, nullptr, nullptr);
}

}  // namespace corva::tsql
