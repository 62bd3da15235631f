// Reading command-line values for `corva call` (a small recursive-descent reader over one
// argument) and writing values back in the same syntax.
#include "value_syntax.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "corva/containers.h"
#include "corva/recordset.h"
#include "host/late_binding.h"

namespace corva::cli {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// [+-]digits[.digits][(e|E)[+-]digits], or [+-].digits...: the numbers the syntax reads. Sets
// *integral when there is neither a decimal point nor an exponent.
bool IsNumber(std::string_view text, bool* integral) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  auto skip_digits = [&] {
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - start;
  };
  digits += skip_digits();
  *integral = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += skip_digits();
    *integral = false;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (skip_digits() == 0) return false;
    *integral = false;
  }
  return i == text.size();
}

// The value of a bare (unquoted) word: a keyword, a number, a date, or else the text itself.
// `where` says where the word began, for the error of a bad date.
Variant WordValue(std::string_view word, size_t where) {
  if (word.empty() || word == "-" || host::IEquals(word, "empty")) return Variant();
  if (host::IEquals(word, "null")) return Variant::Null();
  if (host::IEquals(word, "true")) return Variant(true);
  if (host::IEquals(word, "false")) return Variant(false);
  if (host::IStartsWith(word, "date:")) {
    Date date;
    std::string text(Trim(word.substr(5)));
    if (!Date::Parse(text, &date)) {
      throw ValueSyntaxError("'" + text + "' at character " + std::to_string(where + 1) +
                             " is not a date (write date:YYYY-MM-DD or date:YYYY-MM-DD HH:MM:SS)");
    }
    return Variant(date);
  }
  bool integral = false;
  if (IsNumber(word, &integral)) {
    std::string text(word);
    if (integral) {
      errno = 0;
      long long number = std::strtoll(text.c_str(), nullptr, 10);
      if (errno == 0) return Variant::FromInt64(number);
    }
    return Variant(std::strtod(text.c_str(), nullptr));
  }
  return Variant(std::string(word));
}

// Reads one argument from left to right; each Read* starts at its first character and leaves
// pos_ after what it read.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  Variant ReadArgument() {
    SkipBlanks();
    if (AtEnd()) return Variant();
    char first = text_[pos_];
    if (first != '{' && first != '[' && first != '\'') {
      return WordValue(text_, 0);  // the whole argument, blanks and commas included
    }
    Variant value = ReadValue();
    SkipBlanks();
    if (!AtEnd()) Fail("unexpected text after the value");
    return value;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
  }

  [[noreturn]] void Fail(const std::string& problem) const {
    throw ValueSyntaxError(problem + " at character " + std::to_string(pos_ + 1) + " of " +
                           std::string(text_));
  }

  // A value inside a Dictionary or Vector (or a whole argument opening with "{", "[" or a quote).
  Variant ReadValue() {
    SkipBlanks();
    switch (Peek()) {
      case '{':
        return ReadDictionary();
      case '[':
        return ReadVector();
      case '\'':
        return Variant(ReadQuoted());
      default: {
        size_t start = pos_;
        return WordValue(ReadWord(",}]"), start);
      }
    }
  }

  // Up to (not including) one of `stops` or the end, without the blanks around it.
  std::string_view ReadWord(std::string_view stops) {
    size_t start = pos_;
    while (!AtEnd() && stops.find(text_[pos_]) == std::string_view::npos) {
      if (text_[pos_] == '\'' || text_[pos_] == '{' || text_[pos_] == '[') {
        Fail(std::string("quote the text holding '") + text_[pos_] + "'");
      }
      ++pos_;
    }
    return Trim(text_.substr(start, pos_ - start));
  }

  // 'text' with '' standing for one quote.
  std::string ReadQuoted() {
    size_t open = pos_++;
    std::string text;
    while (true) {
      if (AtEnd()) {
        pos_ = open;
        Fail("unterminated quote");
      }
      char c = text_[pos_++];
      if (c == '\'') {
        if (Peek() != '\'') return text;
        ++pos_;
      }
      text += c;
    }
  }

  // Moves past `separator` or `close` after an element; true when the container ended.
  bool EndOfElement(char close) {
    SkipBlanks();
    if (Peek() == ',') {
      ++pos_;
      return false;
    }
    if (Peek() == close) {
      ++pos_;
      return true;
    }
    Fail(std::string("expected ',' or '") + close + "'");
  }

  Variant ReadDictionary() {
    DictionaryPtr dictionary = MakeDictionary();
    ++pos_;
    SkipBlanks();
    if (Peek() == '}') {
      ++pos_;
      return Variant(dictionary);
    }
    do {
      SkipBlanks();
      size_t key_start = pos_;
      std::string key = Peek() == '\'' ? ReadQuoted() : std::string(ReadWord("=,}]"));
      if (key.empty()) Fail("expected a key");
      if (dictionary->Contains(key)) {
        pos_ = key_start;
        Fail("key '" + key + "' given twice");
      }
      SkipBlanks();
      if (Peek() != '=') Fail("expected '=' after key '" + key + "'");
      ++pos_;
      dictionary->SetValue(key, ReadValue());
    } while (!EndOfElement('}'));
    return Variant(dictionary);
  }

  Variant ReadVector() {
    VectorPtr vector = MakeVector();
    ++pos_;
    SkipBlanks();
    if (Peek() == ']') {
      ++pos_;
      return Variant(vector);
    }
    do {
      vector->Add(ReadValue());
    } while (!EndOfElement(']'));
    return Variant(vector);
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// Text as a word or, where a bare word would read as something else, in quotes.
std::string TextSyntax(const std::string& text, std::string_view specials) {
  bool bare = !text.empty() && Trim(text).size() == text.size() &&
              text.find_first_of(specials) == std::string::npos &&
              !host::IStartsWith(text, "date:") && WordValue(text, 0).Type() == VarType::kString;
  if (bare) return text;
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

std::string DoubleSyntax(double number) {
  std::string text = Variant(number).AsString();
  bool integral = false;
  if (IsNumber(text, &integral) && integral) text += ".0";
  return text;
}

}  // namespace

Variant ParseValue(std::string_view text) { return Reader(text).ReadArgument(); }

std::string ToValueSyntax(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return "empty";
    case VarType::kNull:
      return "null";
    case VarType::kBoolean:
    case VarType::kLong:
    case VarType::kDecimal:
      return value.AsString();
    case VarType::kDouble:
      return DoubleSyntax(value.AsDouble());
    case VarType::kString:
      return TextSyntax(value.AsString(), ",{}[]'");
    case VarType::kDate:
      return "date:" + value.AsDate().ToString();
    case VarType::kObject:
      break;
  }
  ObjectPtr object = value.AsObject();
  if (object == nullptr) return "nothing";
  if (auto dictionary = std::dynamic_pointer_cast<Dictionary>(object)) {
    std::string text = "{";
    for (int32_t i = 1; i <= dictionary->Count(); ++i) {
      const std::string& key = dictionary->Key(i);
      if (i > 1) text += ",";
      text += TextSyntax(key, "=,{}[]'") + "=" + ToValueSyntax(dictionary->Value(key));
    }
    return text + "}";
  }
  if (auto vector = std::dynamic_pointer_cast<Vector>(object)) {
    std::string text = "[";
    for (int32_t i = 1; i <= vector->Count(); ++i) {
      if (i > 1) text += ",";
      text += ToValueSyntax(vector->Item(i));
    }
    return text + "]";
  }
  if (auto recordset = std::dynamic_pointer_cast<Recordset>(object)) {
    if (!recordset->IsOpen()) return "<Recordset, closed>";
    size_t rows = recordset->Rows().size();
    return "<Recordset, " + std::to_string(rows) + (rows == 1 ? " row>" : " rows>");
  }
  return "<object>";
}

}  // namespace corva::cli
