// Recordset: a result set read in full when its statement ran, walked forward row by row, with the
// equality filter the rules put on it ("FEntryID = 3 AND FStatus = 'A'") to pick rows without a
// new round trip to the database.
#include "corva/recordset.h"

#include <cctype>

#include "corva/error.h"

namespace corva {
namespace {

constexpr const char* kSource = "ADODB.Recordset";

Error RecordsetError(int32_t number) { return Error::Runtime(number, kSource); }

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One "Field = literal" term of a filter.
struct Condition {
  int32_t column;
  Variant literal;  // String for a quoted literal, Double for a number
};

// Reads filter text: terms "Field = 'text'" or "Field = number" joined by AND. Field names may be
// bracketed ("[Bill No] = 'A'"). Throws 3001 for anything else.
class FilterReader {
 public:
  explicit FilterReader(const std::string& text) : text_(text) {}

  template <typename ColumnLookup>
  std::vector<Condition> Read(ColumnLookup column_of) {
    std::vector<Condition> terms;
    SkipBlanks();
    while (true) {
      const std::string field = ReadField();
      SkipBlanks();
      if (!Consume('=')) throw RecordsetError(kErrInvalidArguments);
      SkipBlanks();
      Variant literal = ReadLiteral();
      terms.push_back(Condition{column_of(field), std::move(literal)});
      SkipBlanks();
      if (pos_ == text_.size()) return terms;
      if (!ConsumeAnd()) throw RecordsetError(kErrInvalidArguments);
      SkipBlanks();
    }
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  bool Consume(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  static bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
  }
  std::string ReadField() {
    if (Consume('[')) {
      const size_t close = text_.find(']', pos_);
      if (close == std::string::npos || close == pos_) throw RecordsetError(kErrInvalidArguments);
      std::string name = text_.substr(pos_, close - pos_);
      pos_ = close + 1;
      return name;
    }
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    if (pos_ == start) throw RecordsetError(kErrInvalidArguments);
    return text_.substr(start, pos_ - start);
  }
  Variant ReadLiteral() {
    if (Consume('\'')) {
      std::string value;
      while (true) {
        if (pos_ >= text_.size()) throw RecordsetError(kErrInvalidArguments);  // unterminated
        const char c = text_[pos_++];
        if (c != '\'') {
          value.push_back(c);
        } else if (Consume('\'')) {
          value.push_back('\'');  // a doubled quote stands for one
        } else {
          return Variant(std::move(value));
        }
      }
    }
    const size_t start = pos_;
    while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
    const Variant number(text_.substr(start, pos_ - start));
    if (pos_ == start || !number.IsNumeric()) throw RecordsetError(kErrInvalidArguments);
    try {
      return Variant(number.AsDouble());
    } catch (const Error&) {
      throw RecordsetError(kErrInvalidArguments);
    }
  }
  bool ConsumeAnd() {
    if (pos_ + 3 >= text_.size() || !EqualsNoCase(text_.substr(pos_, 3), "and") ||
        !IsBlank(text_[pos_ + 3]))
      return false;
    pos_ += 3;
    return true;
  }

  const std::string& text_;
  size_t pos_ = 0;
};

// Whether a field's value meets "= literal": numbers compare as numbers, text without regard to
// case, dates as dates; Null meets nothing.
bool Matches(const Variant& value, const Variant& literal) {
  try {
    switch (value.Type()) {
      case VarType::kNull:
      case VarType::kObject:
        return false;
      case VarType::kString:
        if (literal.Type() == VarType::kString) {
          return EqualsNoCase(value.AsString(), literal.AsString());
        }
        return value.IsNumeric() && value.AsDouble() == literal.AsDouble();
      case VarType::kDate: {
        Date date;
        if (literal.Type() == VarType::kString && !Date::Parse(literal.AsString(), &date)) {
          return false;
        }
        return value.AsDate() == literal.AsDate();
      }
      default:  // Empty, Boolean, Long, Double
        if (literal.Type() == VarType::kString && !literal.IsNumeric()) {
          return value.IsEmpty() && literal.AsString().empty();
        }
        return value.AsDouble() == literal.AsDouble();
    }
  } catch (const Error&) {
    return false;  // a value that does not convert does not match
  }
}

}  // namespace

Recordset::Recordset(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows)
    : open_(true), columns_(std::move(columns)), rows_(std::move(rows)) {
  for (auto& row : rows_) row.resize(columns_.size());
  visible_.resize(rows_.size());
  for (size_t i = 0; i < visible_.size(); ++i) visible_[i] = i;
}

bool Recordset::Eof() const {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  return position_ >= visible_.size();
}

bool Recordset::Bof() const {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  return visible_.empty();
}

int32_t Recordset::RecordCount() const {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  return static_cast<int32_t>(visible_.size());
}

int32_t Recordset::FieldCount() const { return static_cast<int32_t>(columns_.size()); }

const std::string& Recordset::FieldName(int32_t index) const {
  if (index < 0 || index >= FieldCount()) throw RecordsetError(kErrItemNotFound);
  return columns_[static_cast<size_t>(index)];
}

int32_t Recordset::ColumnIndex(const std::string& name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (EqualsNoCase(columns_[i], name)) return static_cast<int32_t>(i);
  }
  throw RecordsetError(kErrItemNotFound);
}

const std::vector<Variant>& Recordset::Current() const {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  if (position_ >= visible_.size()) throw RecordsetError(kErrBofOrEof);
  return rows_[visible_[position_]];
}

Variant Recordset::Fields(const std::string& name) const {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  const int32_t index = ColumnIndex(name);
  return Current()[static_cast<size_t>(index)];
}

Variant Recordset::Fields(int32_t index) const {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  if (index < 0 || index >= FieldCount()) throw RecordsetError(kErrItemNotFound);
  return Current()[static_cast<size_t>(index)];
}

void Recordset::MoveNext() {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  if (position_ >= visible_.size()) throw RecordsetError(kErrBofOrEof);
  ++position_;
}

void Recordset::MoveFirst() {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  position_ = 0;
}

void Recordset::Filter(const std::string& condition) {
  if (!open_) throw RecordsetError(kErrObjectClosed);
  std::vector<Condition> terms;
  if (condition.find_first_not_of(" \t\r\n") != std::string::npos) {
    terms = FilterReader(condition).Read([this](const std::string& f) { return ColumnIndex(f); });
  }
  visible_.clear();
  for (size_t r = 0; r < rows_.size(); ++r) {
    bool keep = true;
    for (const Condition& term : terms) {
      if (!Matches(rows_[r][static_cast<size_t>(term.column)], term.literal)) {
        keep = false;
        break;
      }
    }
    if (keep) visible_.push_back(r);
  }
  position_ = 0;
}

// Closing twice is harmless: the rules close whatever they executed, result set or not.
void Recordset::Close() {
  open_ = false;
  columns_.clear();
  rows_.clear();
  visible_.clear();
  position_ = 0;
}

}  // namespace corva
