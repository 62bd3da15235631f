// Tokens of the dialect and the lexer that makes them. The lexer also builds the batch's cache key:
// the token stream with every literal replaced by a marker of its kind, so that batches differing
// only in literal values share one parsed and translated entry, the values riding along as
// bound parameters.
#ifndef CORVA_TSQL_TOKEN_H_
#define CORVA_TSQL_TOKEN_H_

#include <string>
#include <string_view>
#include <vector>

#include "tsql/value.h"

namespace corva::tsql {

enum class TokenKind : uint8_t {
  kEnd,
  kIdentifier,        // name or keyword: SELECT, FTable, #temp
  kQuotedIdentifier,  // [name] or "name": never a keyword
  kVariable,          // @name
  kSystemVariable,    // @@ROWCOUNT
  kInteger,           // 12
  kDecimal,           // 1.5, 2e3
  kString,            // 'text'
  kNString,           // N'text'
  kParam,             // ?
  kOperator,          // ( ) , . ; + - * / % = < > <= >= <> != !< !> & | ^ ~
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string value;  // identifier without quotes, string without quotes, operator text
  int line = 1;
  int column = 1;
  int literal = -1;  // index into LexedBatch::literals for literals and "?" markers
  int offset = 0;    // byte offset in the batch text

  bool IsOp(char c) const {
    return kind == TokenKind::kOperator && value.size() == 1 && value[0] == c;
  }
  bool IsOp(std::string_view op) const { return kind == TokenKind::kOperator && value == op; }
  // An unquoted identifier equal to `word` without regard to case.
  bool Is(std::string_view word) const;
  bool IsLiteral() const {
    return kind == TokenKind::kInteger || kind == TokenKind::kDecimal ||
           kind == TokenKind::kString || kind == TokenKind::kNString;
  }
};

struct LexedBatch {
  std::vector<Token> tokens;     // ends with a kEnd token
  std::vector<Value> literals;   // values of the literals, in order; "?" markers get a slot too
  std::string key;               // the cache key
  int param_count = 0;           // "?" markers
  std::vector<int> param_slots;  // literal slot of each "?" marker, in order
};

// Splits `text` into tokens. Throws corva::Error 105 for an unclosed quotation mark and 102 for a
// character the dialect does not know, with line and column.
// With `tokens` false only the key, the literals and the markers are made (enough to find a
// cached parse).
LexedBatch Lex(std::string_view text, bool tokens = true);

// The cache key, literals and "?" markers of a batch without making tokens: the fast path of a
// batch whose parse is cached. Literals are numbered as Lex numbers them.
LexedBatch LexKey(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLower(std::string_view s);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_TOKEN_H_
