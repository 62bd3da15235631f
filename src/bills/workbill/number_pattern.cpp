// Issuing bill numbers from a bill-number rule, and laying out a number by a user-defined number
// pattern: the pattern is cut into sections, each section into tokens (placeholders, point, commas,
// percent, literal text), and the rounded digits are dealt out to the placeholders.
#include "bills/workbill/number_pattern.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

enum class TokenKind { kZero, kHash, kPoint, kComma, kPercent, kLiteral };

struct Token {
  TokenKind kind;
  std::string text;  // what a literal shows
};

bool IsPlaceholder(const Token& token) {
  return token.kind == TokenKind::kZero || token.kind == TokenKind::kHash;
}

// Length of the UTF-8 sequence that starts with `lead`, so that a literal Chinese character stays
// whole.
size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// The sections of a pattern, cut at ";" outside quotes and escapes.
std::vector<std::string> SplitSections(std::string_view pattern) {
  std::vector<std::string> sections(1);
  bool quoted = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '\\' && i + 1 < pattern.size()) {
      sections.back() += pattern.substr(i, 2);
      ++i;
    } else if (!quoted && c == ';') {
      sections.emplace_back();
    } else {
      sections.back() += c;
    }
  }
  return sections;
}

std::vector<Token> Tokenize(std::string_view section) {
  std::vector<Token> tokens;
  bool seen_point = false;
  for (size_t i = 0; i < section.size();) {
    char c = section[i];
    switch (c) {
      case '0':
        tokens.push_back({TokenKind::kZero, ""});
        ++i;
        break;
      case '#':
        tokens.push_back({TokenKind::kHash, ""});
        ++i;
        break;
      case '.':
        // Only the first point is the decimal point; later ones are plain text.
        tokens.push_back(seen_point ? Token{TokenKind::kLiteral, "."}
                                    : Token{TokenKind::kPoint, ""});
        seen_point = true;
        ++i;
        break;
      case ',':
        tokens.push_back({TokenKind::kComma, ""});
        ++i;
        break;
      case '%':
        tokens.push_back({TokenKind::kPercent, "%"});
        ++i;
        break;
      case '"': {
        size_t close = section.find('"', i + 1);
        if (close == std::string_view::npos) close = section.size();
        tokens.push_back({TokenKind::kLiteral, std::string(section.substr(i + 1, close - i - 1))});
        i = close + 1;
        break;
      }
      case '\\':
        if (i + 1 < section.size()) {
          size_t len = Utf8Length(static_cast<unsigned char>(section[i + 1]));
          tokens.push_back({TokenKind::kLiteral, std::string(section.substr(i + 1, len))});
          i += 1 + len;
        } else {
          ++i;
        }
        break;
      default: {
        size_t len = Utf8Length(static_cast<unsigned char>(c));
        tokens.push_back({TokenKind::kLiteral, std::string(section.substr(i, len))});
        i += len;
      }
    }
  }
  return tokens;
}

// The digits of `value` (>= 0) rounded half away from zero to `decimals` places: the integer
// digits without leading zeros ("" for 0) and exactly `decimals` fraction digits.
void RoundedDigits(double value, int decimals, std::string* integer, std::string* fraction) {
  double scaled = value * std::pow(10.0, decimals);
  std::string digits;
  if (scaled < 9e15) {
    digits = std::to_string(static_cast<uint64_t>(std::floor(scaled + 0.5)));
  } else {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", scaled);
    digits = buffer;
  }
  if (digits.size() < static_cast<size_t>(decimals) + 1) {
    digits.insert(0, decimals + 1 - digits.size(), '0');
  }
  *fraction = digits.substr(digits.size() - decimals);
  *integer = digits.substr(0, digits.size() - decimals);
  size_t first = integer->find_first_not_of('0');
  integer->erase(0, first == std::string::npos ? integer->size() : first);
}

struct Laid {
  std::string text;
  bool nonzero = false;  // some digit shown is not 0
};

// One section applied to `value` (>= 0).
Laid LayOut(const std::vector<Token>& tokens, double value) {
  size_t point = tokens.size();
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == TokenKind::kPoint) {
      point = i;
      break;
    }
  }
  // Integer placeholders; commas between two of them group, commas after the last one scale.
  std::vector<size_t> slots;
  for (size_t i = 0; i < point; ++i) {
    if (IsPlaceholder(tokens[i])) slots.push_back(i);
  }
  bool grouping = false;
  int scale_commas = 0;
  for (size_t i = 0; i < point; ++i) {
    if (tokens[i].kind != TokenKind::kComma || slots.empty() || i < slots.front()) continue;
    if (i > slots.back()) {
      ++scale_commas;
    } else {
      grouping = true;
    }
  }
  int decimals = 0;
  bool any_placeholder = !slots.empty();
  for (size_t i = point; i < tokens.size(); ++i) {
    if (IsPlaceholder(tokens[i])) {
      ++decimals;
      any_placeholder = true;
    }
  }
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::kPercent) value *= 100;
  }
  value /= std::pow(1000.0, scale_commas);

  std::string integer, fraction;
  RoundedDigits(value, decimals, &integer, &fraction);
  Laid laid;
  laid.nonzero = integer.find_first_not_of('0') != std::string::npos ||
                 fraction.find_first_not_of('0') != std::string::npos;
  if (!any_placeholder) {
    // A pattern of text alone shows its text, without the number.
    for (const Token& token : tokens) laid.text += token.text;
    return laid;
  }

  // Integer part: pieces left to right, digits marked so that grouping can count them.
  struct Piece {
    std::string text;
    bool digit;
  };
  std::vector<Piece> pieces;
  size_t n = slots.size();
  auto emit_digits = [&](const std::string& digits) {
    for (char d : digits) pieces.push_back({std::string(1, d), true});
  };
  if (n == 0) emit_digits(integer);  // ".00": the integer digits stand before the point
  for (size_t i = 0; i < point; ++i) {
    const Token& token = tokens[i];
    if (!IsPlaceholder(token)) {
      if (token.kind != TokenKind::kComma || i < (n ? slots.front() : point)) {
        pieces.push_back({token.kind == TokenKind::kComma ? "," : token.text, false});
      }
      continue;
    }
    size_t k = 0;  // the slot's position counted from the right
    while (slots[n - 1 - k] != i) ++k;
    if (k == n - 1 && integer.size() > n) emit_digits(integer.substr(0, integer.size() - n));
    if (k < integer.size()) {
      emit_digits(std::string(1, integer[integer.size() - 1 - k]));
    } else if (token.kind == TokenKind::kZero) {
      emit_digits("0");
    }
  }
  size_t digit_count = 0;
  for (const Piece& piece : pieces) digit_count += piece.digit;
  size_t seen = 0;
  for (const Piece& piece : pieces) {
    laid.text += piece.text;
    if (!piece.digit) continue;
    size_t from_right = digit_count - 1 - seen++;
    if (grouping && from_right > 0 && from_right % 3 == 0) laid.text += ',';
  }

  if (point == tokens.size()) return laid;
  laid.text += '.';
  // Fraction: digits from the left; trailing zeros under "#" are dropped.
  std::vector<size_t> fraction_slots;
  for (size_t i = point + 1; i < tokens.size(); ++i) {
    if (IsPlaceholder(tokens[i])) fraction_slots.push_back(i);
  }
  size_t shown = fraction_slots.size();
  while (shown > 0 && tokens[fraction_slots[shown - 1]].kind == TokenKind::kHash &&
         fraction[shown - 1] == '0') {
    --shown;
  }
  size_t j = 0;
  for (size_t i = point + 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (IsPlaceholder(token)) {
      if (j < shown) laid.text += fraction[j];
      ++j;
    } else {
      laid.text += token.kind == TokenKind::kComma ? "," : token.text;
    }
  }
  return laid;
}

}  // namespace

std::string FormatNumberPattern(const corva::Variant& value, std::string_view pattern) {
  std::vector<std::string> sections = SplitSections(pattern);
  if (value.IsNull()) return sections.size() >= 4 ? LayOut(Tokenize(sections[3]), 0).text : "";
  double number = value.AsDouble();
  bool negative = number < 0;
  const std::string* section = &sections[0];
  bool own_negative = false;  // the negative section shows its own signs
  if (negative && sections.size() >= 2 && !sections[1].empty()) {
    section = &sections[1];
    own_negative = true;
  } else if (number == 0 && sections.size() >= 3 && !sections[2].empty()) {
    section = &sections[2];
  }
  Laid laid = LayOut(Tokenize(*section), std::fabs(number));
  if (negative && !own_negative && laid.nonzero) return "-" + laid.text;
  return laid.text;
}

corva::Variant CounterPlus(const corva::Variant& counter, int32_t step) {
  if (counter.Type() == corva::VarType::kLong) {
    int64_t next = static_cast<int64_t>(counter.AsLong()) + step;
    if (next > std::numeric_limits<int32_t>::max() || next < std::numeric_limits<int32_t>::min()) {
      throw corva::Error::Runtime(corva::kErrOverflow);
    }
    return static_cast<int32_t>(next);
  }
  return counter.AsDouble() + step;
}

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string IssueBillNumbers(corva::frame::Call& call, int32_t bill_type, int32_t count,
                             bool reserve) {
  if (count < 0 || count > kMaxNumbersPerCall) {
    throw corva::Error(corva::kErrInvalidProcedureCall, "CorvaMSHTransBills",
                       "LoopNum " + std::to_string(count) +
                           " is not a count of bill numbers (0 to " +
                           std::to_string(kMaxNumbersPerCall) + ").");
  }
  std::string numbers;
  corva::RecordsetPtr rule = call.Connection()->Execute(
      "select FPreLetter,FSufLetter,FCurNo,FFormat from ICBillNo where FBillID= " +
      SqlNumber(bill_type));
  if (!rule->Eof()) {
    const std::string pattern = TrimBlanks(rule->Fields("FFormat").ToText());
    const std::string prefix = rule->Fields("FPreLetter").ToText();
    const std::string suffix = rule->Fields("FSufLetter").ToText();
    const corva::Variant counter = rule->Fields("FCurNo");
    // The `index`-th number after the counter (1 = the next), without the prefix.
    auto nth = [&](int32_t index) {
      if (pattern.empty()) {
        return counter.IsNull() ? std::string("1") : CounterPlus(counter, index).AsString();
      }
      corva::Variant next = counter.IsNull() ? corva::Variant::Null() : CounterPlus(counter, index);
      return FormatNumberPattern(next, pattern) + suffix;
    };
    if (count <= 1) {
      numbers =
          prefix + (pattern.empty() ? nth(1) : FormatNumberPattern(counter, pattern) + suffix);
    } else {
      for (int32_t i = 1; i <= count; ++i) numbers += prefix + nth(i) + ",";
    }
  }
  if (reserve) {
    call.NewConnection()->Execute("update ICBillNo set FCurNo=FCurNo+" + SqlNumber(count) +
                                  "  where FBillID=" + SqlNumber(bill_type));
  }
  return TrimBlanks(numbers);
}

}  // namespace CorvaMSHTransBills
