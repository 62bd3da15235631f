// The lexer: one character-class table and one switch over the class of the first character.
//
// Ambiguities resolved here: "N'" starts a national string, otherwise N begins a name; "--" is a
// comment, "-" before a digit is still an operator (the parser makes the literal negative);
// "/* */" comments nest as they do in SQL Server; "@@" starts a system variable and "@" a
// variable whose name may contain "#" (table variables are named "@#Data..." by the rules).
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "corva/error.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

enum CharClass : uint8_t {
  kCcSpace,
  kCcNewline,
  kCcAlpha,  // letters, "_", "#", bytes of UTF-8 sequences
  kCcDigit,
  kCcQuote,     // '
  kCcDquote,    // "
  kCcBracket,   // [
  kCcAt,        // @
  kCcMinus,     // -
  kCcSlash,     // /
  kCcLt,        // <
  kCcGt,        // >
  kCcBang,      // !
  kCcDot,       // .
  kCcQuestion,  // ?
  kCcOp,        // single-character operators
  kCcIllegal,
};

struct ClassTable {
  uint8_t cls[256];
  bool id[256];     // may continue a name
  bool plain[256];  // copied into the cache key as it stands (blanks, operators)
  constexpr ClassTable() : cls(), id(), plain() {
    for (int c = 0; c < 256; ++c) {
      uint8_t k = kCcIllegal;
      if (c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#')
        k = kCcAlpha;
      else if (c >= '0' && c <= '9')
        k = kCcDigit;
      else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || c == 0)
        k = kCcSpace;
      else if (c == '\n')
        k = kCcNewline;
      cls[c] = k;
    }
    cls[static_cast<unsigned char>('\'')] = kCcQuote;
    cls[static_cast<unsigned char>('"')] = kCcDquote;
    cls[static_cast<unsigned char>('[')] = kCcBracket;
    cls[static_cast<unsigned char>('@')] = kCcAt;
    cls[static_cast<unsigned char>('-')] = kCcMinus;
    cls[static_cast<unsigned char>('/')] = kCcSlash;
    cls[static_cast<unsigned char>('<')] = kCcLt;
    cls[static_cast<unsigned char>('>')] = kCcGt;
    cls[static_cast<unsigned char>('!')] = kCcBang;
    cls[static_cast<unsigned char>('.')] = kCcDot;
    cls[static_cast<unsigned char>('?')] = kCcQuestion;
    for (char c : {'(', ')', ',', ';', '+', '*', '%', '=', '&', '|', '^', '~'})
      cls[static_cast<unsigned char>(c)] = kCcOp;
    for (int c = 0; c < 256; ++c) {
      id[c] = cls[c] == kCcAlpha || cls[c] == kCcDigit || c == '@' || c == '$';
      plain[c] = (cls[c] == kCcSpace || cls[c] == kCcNewline || cls[c] == kCcOp ||
                  cls[c] == kCcLt || cls[c] == kCcGt || cls[c] == kCcBang) &&
                 c != 0;
    }
  }
};
constexpr ClassTable kClasses;

inline uint8_t ClassOf(char c) { return kClasses.cls[static_cast<unsigned char>(c)]; }
inline bool IsIdChar(char c) { return kClasses.id[static_cast<unsigned char>(c)]; }

// The value of a number literal as SQL Server types it: int when it fits 32 bits, numeric(p,s)
// for other digits with or without a point (2147483648 is numeric(10,0), 0.1 numeric(1,1)), float
// with an exponent or beyond 38 digits.
Value NumberLiteral(std::string_view text) {
  bool exponent = text.find_first_of("eE") != std::string_view::npos;
  if (!exponent && text.find('.') == std::string_view::npos && text.size() <= 10) {
    int64_t v = 0;
    for (char c : text) v = v * 10 + (c - '0');
    if (v <= INT32_MAX) return Value::Int(v);
  }
  corva::Decimal d;
  if (!exponent && corva::Decimal::Parse(text, &d)) return Value::Dec(d);
  return Value::Real(std::strtod(std::string(text).c_str(), nullptr));
}

// A numeric literal's part of the cache key: its type, since the precision and scale of a
// decimal shape the types of the results computed from it.
std::string NumberKey(const Value& v) {
  if (v.kind == Value::Kind::kInt) return "\x01i";
  if (v.kind == Value::Kind::kReal) return "\x01r";
  SqlType t = ValueType(v);
  return "\x01d" + std::to_string(t.precision) + "." + std::to_string(t.scale);
}

class Lexer {
 public:
  Lexer(std::string_view text, bool tokens) : s_(text), tokens_(tokens) {}

  LexedBatch Run() {
    LexedBatch out;
    out.key.reserve(s_.size());
    if (tokens_) out.tokens.reserve(s_.size() / 4 + 4);
    out.literals.reserve(16);
    while (true) {
      SkipSpaceAndComments();
      Token t;
      t.line = line_;
      t.column = static_cast<int>(pos_ - line_start_) + 1;
      t.offset = static_cast<int>(pos_);
      if (pos_ >= s_.size()) {
        out.tokens.push_back(std::move(t));
        break;
      }
      size_t start = pos_;
      Next(&t, &out);
      AppendKey(t, s_.substr(start, pos_ - start),
                t.literal >= 0 ? &out.literals[t.literal] : nullptr, &out.key);
      if (tokens_) out.tokens.push_back(std::move(t));
    }
    return out;
  }

 private:
  [[noreturn]] void Fail(int number, const std::string& msg, int line, int col) {
    throw corva::Error(number, "corva.tsql", msg).SetPosition(line, col);
  }

  char At(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

  void SkipSpaceAndComments() {
    const size_t n = s_.size();
    while (pos_ < n) {
      char c = s_[pos_];
      uint8_t k = ClassOf(c);
      if (k == kCcSpace) {
        ++pos_;
        while (pos_ < n && ClassOf(s_[pos_]) == kCcSpace) ++pos_;
      } else if (k == kCcNewline) {
        ++pos_;
        ++line_;
        line_start_ = pos_;
      } else if (c == '-' && At(pos_ + 1) == '-') {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      } else if (c == '/' && At(pos_ + 1) == '*') {
        int depth = 0;
        do {
          if (s_[pos_] == '/' && At(pos_ + 1) == '*') {
            ++depth;
            pos_ += 2;
          } else if (s_[pos_] == '*' && At(pos_ + 1) == '/') {
            --depth;
            pos_ += 2;
          } else {
            if (s_[pos_] == '\n') ++line_, line_start_ = pos_ + 1;
            ++pos_;
          }
        } while (depth > 0 && pos_ < s_.size());
      } else {
        break;
      }
    }
  }

  void ReadQuoted(char close, Token* t) {
    // pos_ is on the opening quote; a doubled closing quote stands for itself.
    ++pos_;
    std::string v;
    while (true) {
      if (pos_ >= s_.size()) {
        if (close == '\'')
          Fail(105, "Unclosed quotation mark after the character string '" + v + "'.", t->line,
               t->column);
        Fail(102, "Incorrect syntax near '" + v + "'.", t->line, t->column);
      }
      char c = s_[pos_];
      if (c == close) {
        if (At(pos_ + 1) == close) {
          v += close;
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      if (c == '\n') ++line_, line_start_ = pos_ + 1;
      v += c;
      ++pos_;
    }
    t->value = std::move(v);
  }

  void Next(Token* t, LexedBatch* out) {
    char c = s_[pos_];
    switch (ClassOf(c)) {
      case kCcAlpha: {
        if ((c == 'N' || c == 'n') && At(pos_ + 1) == '\'') {
          ++pos_;
          ReadQuoted('\'', t);
          t->kind = TokenKind::kNString;
          AddLiteral(t, out, Value::Text(t->value));
          return;
        }
        size_t b = pos_;
        while (pos_ < s_.size() && IsIdChar(s_[pos_])) ++pos_;
        t->kind = TokenKind::kIdentifier;
        if (tokens_) t->value.assign(s_.substr(b, pos_ - b));
        return;
      }
      case kCcDigit:
        ReadNumber(t, out);
        return;
      case kCcDot:
        if (ClassOf(At(pos_ + 1)) == kCcDigit) {
          ReadNumber(t, out);
          return;
        }
        ++pos_;
        t->kind = TokenKind::kOperator;
        t->value = ".";
        return;
      case kCcQuote:
        ReadQuoted('\'', t);
        t->kind = TokenKind::kString;
        AddLiteral(t, out, Value::Text(t->value));
        return;
      case kCcDquote:
        ReadQuoted('"', t);
        t->kind = TokenKind::kQuotedIdentifier;
        return;
      case kCcBracket: {
        ReadQuoted(']', t);
        t->kind = TokenKind::kQuotedIdentifier;
        return;
      }
      case kCcAt: {
        size_t b = pos_;
        bool system = At(pos_ + 1) == '@';
        pos_ += system ? 2 : 1;
        while (pos_ < s_.size() && IsIdChar(s_[pos_])) ++pos_;
        t->kind = system ? TokenKind::kSystemVariable : TokenKind::kVariable;
        if (tokens_) t->value.assign(s_.substr(b, pos_ - b));
        return;
      }
      case kCcQuestion:
        ++pos_;
        t->kind = TokenKind::kParam;
        t->value = "?";
        t->literal = static_cast<int>(out->literals.size());
        out->param_slots.push_back(t->literal);
        out->literals.push_back(Value::Null());
        ++out->param_count;
        return;
      case kCcLt:
        t->kind = TokenKind::kOperator;
        if (At(pos_ + 1) == '=' || At(pos_ + 1) == '>') {
          t->value.assign(s_.substr(pos_, 2));
          pos_ += 2;
        } else {
          t->value = "<";
          ++pos_;
        }
        return;
      case kCcGt:
        t->kind = TokenKind::kOperator;
        if (At(pos_ + 1) == '=') {
          t->value = ">=";
          pos_ += 2;
        } else {
          t->value = ">";
          ++pos_;
        }
        return;
      case kCcBang:
        if (At(pos_ + 1) == '=' || At(pos_ + 1) == '<' || At(pos_ + 1) == '>') {
          t->kind = TokenKind::kOperator;
          t->value.assign(s_.substr(pos_, 2));
          pos_ += 2;
          return;
        }
        break;
      case kCcMinus:
      case kCcSlash:
      case kCcOp:
        t->kind = TokenKind::kOperator;
        t->value.assign(1, c);
        ++pos_;
        return;
      default:
        break;
    }
    Fail(102, "Incorrect syntax near '" + std::string(1, c) + "'.", t->line, t->column);
  }

  void ReadNumber(Token* t, LexedBatch* out) {
    size_t b = pos_;
    bool real = false;  // a point or an exponent: never an int
    if (s_[pos_] == '0' && (At(pos_ + 1) == 'x' || At(pos_ + 1) == 'X')) {
      pos_ += 2;
      while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      t->kind = TokenKind::kInteger;
      t->value.assign(s_.substr(b, pos_ - b));
      AddLiteral(t, out, Value::Int(std::strtoll(t->value.c_str() + 2, nullptr, 16)));
      return;
    }
    while (ClassOf(At(pos_)) == kCcDigit) ++pos_;
    if (At(pos_) == '.') {
      real = true;
      ++pos_;
      while (ClassOf(At(pos_)) == kCcDigit) ++pos_;
    }
    if ((At(pos_) == 'e' || At(pos_) == 'E') &&
        (ClassOf(At(pos_ + 1)) == kCcDigit ||
         ((At(pos_ + 1) == '+' || At(pos_ + 1) == '-') && ClassOf(At(pos_ + 2)) == kCcDigit))) {
      real = true;
      pos_ += 2;
      while (ClassOf(At(pos_)) == kCcDigit) ++pos_;
    }
    std::string_view text = s_.substr(b, pos_ - b);
    if (tokens_) t->value.assign(text);
    Value v = NumberLiteral(text);
    (void)real;
    t->kind = v.kind == Value::Kind::kInt ? TokenKind::kInteger : TokenKind::kDecimal;
    AddLiteral(t, out, std::move(v));
  }

  static void AddLiteral(Token* t, LexedBatch* out, Value v) {
    t->literal = static_cast<int>(out->literals.size());
    out->literals.push_back(std::move(v));
  }

  static void AppendKey(const Token& t, std::string_view raw, const Value* literal,
                        std::string* key) {
    switch (t.kind) {
      case TokenKind::kInteger:
        *key += "\x01i";
        return;
      case TokenKind::kDecimal:
        *key += NumberKey(*literal);
        return;
      case TokenKind::kString:
        *key += "\x01s";
        return;
      case TokenKind::kNString:
        *key += "\x01n";
        return;
      default:
        key->append(raw.data(), raw.size());
        break;
    }
    *key += ' ';
  }

  std::string_view s_;
  bool tokens_;
  size_t pos_ = 0;
  int line_ = 1;
  size_t line_start_ = 0;
};

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string ToLower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool Token::Is(std::string_view word) const {
  return kind == TokenKind::kIdentifier && EqualsNoCase(value, word);
}

LexedBatch Lex(std::string_view text, bool tokens) { return Lexer(text, tokens).Run(); }

// The cache key without tokens: the text with comments left out and every literal replaced by a
// marker, literals numbered in the order Lex numbers them. Names are skipped whole so that digits
// inside them ("t1", "@v2") are not taken for numbers. The text is copied with the marker bytes
// \x01 and \x02 escaped (\x01 before each), so that no text, valid or not, can spell a literal
// marker or the parameter kinds the session appends: the key is unambiguous for every input.
LexedBatch LexKey(std::string_view s) {
  LexedBatch out;
  out.key.reserve(s.size());
  out.literals.reserve(8);  // the rules' batches carry a handful of ids and codes
  const size_t n = s.size();
  size_t i = 0, copied = 0;
  // Copies the text since the last literal into the key in runs; a marker byte that occurs in
  // the text itself is escaped, so that no text can take another's key.
  auto flush = [&](size_t upto) {
    size_t k = copied;
    while (k < upto) {
      // Marker bytes never occur in the rules' texts: two memchr scans find the run's end.
      const char* begin = s.data() + k;
      const void* m1 = std::memchr(begin, '\x01', upto - k);
      const void* m2 =
          std::memchr(begin, '\x02', m1 ? static_cast<const char*>(m1) - begin : upto - k);
      const char* stop = m2   ? static_cast<const char*>(m2)
                         : m1 ? static_cast<const char*>(m1)
                              : s.data() + upto;
      size_t run = static_cast<size_t>(stop - s.data());
      out.key.append(s.data() + k, run - k);
      if (run == upto) break;
      out.key += '\x01';
      out.key += s[run];
      k = run + 1;
    }
  };
  while (i < n) {
    while (i < n && kClasses.plain[static_cast<unsigned char>(s[i])]) ++i;
    if (i >= n) break;
    char c = s[i];
    uint8_t k = ClassOf(c);
    if (k == kCcAlpha || c == '@') {
      if ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'') {
        flush(i);
        size_t j = i + 2;
        std::string v;
        while (true) {
          if (j >= n) return Lex(s, false);  // unclosed: let the full lexer report it
          if (s[j] == '\'') {
            if (j + 1 < n && s[j + 1] == '\'') {
              v += '\'';
              j += 2;
              continue;
            }
            ++j;
            break;
          }
          v += s[j++];
        }
        out.literals.push_back(Value::Text(std::move(v)));
        out.key += "\x01n ";
        i = copied = j;
        continue;
      }
      ++i;
      while (i < n && IsIdChar(s[i])) ++i;
      continue;
    }
    if (k == kCcDigit || (c == '.' && i + 1 < n && ClassOf(s[i + 1]) == kCcDigit)) {
      flush(i);
      size_t b = i;
      bool real = false;
      if (c == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
        while (i < n && std::isxdigit(static_cast<unsigned char>(s[i]))) ++i;
        out.literals.push_back(
            Value::Int(std::strtoll(std::string(s.substr(b + 2, i - b - 2)).c_str(), nullptr, 16)));
        out.key += "\x01i ";
        copied = i;
        continue;
      }
      while (i < n && ClassOf(s[i]) == kCcDigit) ++i;
      if (i < n && s[i] == '.') {
        real = true;
        ++i;
        while (i < n && ClassOf(s[i]) == kCcDigit) ++i;
      }
      if (i + 1 < n && (s[i] == 'e' || s[i] == 'E') &&
          (ClassOf(s[i + 1]) == kCcDigit ||
           ((s[i + 1] == '+' || s[i + 1] == '-') && i + 2 < n && ClassOf(s[i + 2]) == kCcDigit))) {
        real = true;
        i += 2;
        while (i < n && ClassOf(s[i]) == kCcDigit) ++i;
      }
      std::string_view text = s.substr(b, i - b);
      (void)real;
      out.literals.push_back(NumberLiteral(text));
      out.key += NumberKey(out.literals.back());
      out.key += ' ';
      copied = i;
      continue;
    }
    switch (c) {
      case '\'': {
        flush(i);
        size_t j = i + 1;
        std::string v;
        while (true) {
          if (j >= n) return Lex(s, false);
          if (s[j] == '\'') {
            if (j + 1 < n && s[j + 1] == '\'') {
              v += '\'';
              j += 2;
              continue;
            }
            ++j;
            break;
          }
          v += s[j++];
        }
        out.literals.push_back(Value::Text(std::move(v)));
        out.key += "\x01s ";
        i = copied = j;
        continue;
      }
      case '[':
      case '"': {
        char close = c == '[' ? ']' : '"';
        size_t j = i + 1;
        while (j < n && !(s[j] == close && !(j + 1 < n && s[j + 1] == close)))
          j += s[j] == close ? 2 : 1;
        i = j < n ? j + 1 : n;
        continue;
      }
      case '?':
        out.param_slots.push_back(static_cast<int>(out.literals.size()));
        out.literals.push_back(Value::Null());
        ++out.param_count;
        ++i;
        continue;
      case '-':
        if (i + 1 < n && s[i + 1] == '-') {
          flush(i);
          while (i < n && s[i] != '\n') ++i;
          copied = i;
          continue;
        }
        break;
      case '/':
        if (i + 1 < n && s[i + 1] == '*') {
          flush(i);
          int depth = 0;
          do {
            if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
              ++depth;
              i += 2;
            } else if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
              --depth;
              i += 2;
            } else {
              ++i;
            }
          } while (depth > 0 && i < n);
          out.key += ' ';
          copied = i;
          continue;
        }
        break;
      default:
        break;
    }
    ++i;
  }
  flush(n);
  return out;
}

}  // namespace corva::tsql
