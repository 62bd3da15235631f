// corva::Command: a statement with typed input parameters marked "?". The values are converted to
// their declared types here, once for both backends, and text is cut to its declared length the
// way SQL Server cuts a value assigned to an nvarchar(n).
#include <algorithm>
#include <string_view>

#include "corva/connection.h"
#include "corva/error.h"
#include "db/backend.h"
#include "db/errors.h"

namespace corva {
namespace {

// Counts the "?" markers of `sql` that stand outside string literals, quoted or bracketed names and
// comments (a "?" inside 'Is it?' is text, not a marker).
size_t CountParamMarkers(std::string_view sql) {
  size_t count = 0;
  size_t i = 0;
  auto skip_quoted = [&](char close) {
    ++i;
    while (i < sql.size()) {
      if (sql[i] == close) {
        if (i + 1 < sql.size() && sql[i + 1] == close) {  // doubled: part of the text
          i += 2;
          continue;
        }
        ++i;
        return;
      }
      ++i;
    }
  };
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'') {
      skip_quoted('\'');
    } else if (c == '"') {
      skip_quoted('"');
    } else if (c == '[') {
      skip_quoted(']');
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      int depth = 0;  // block comments nest in this dialect
      while (i < sql.size()) {
        if (sql.compare(i, 2, "/*") == 0) {
          ++depth;
          i += 2;
        } else if (sql.compare(i, 2, "*/") == 0) {
          i += 2;
          if (--depth == 0) break;
        } else {
          ++i;
        }
      }
    } else {
      if (c == '?') ++count;
      ++i;
    }
  }
  return count;
}

// The first `size` characters of UTF-8 `text`, a character beyond the 16-bit range counting twice
// (SQL Server measures nvarchar in UTF-16 units). Never splits a character.
std::string CutText(const std::string& text, int32_t size) {
  if (size <= 0) return text;
  int32_t units = 0;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    int32_t width = length == 4 ? 2 : 1;
    if (units + width > size) break;
    units += width;
    i += length;
  }
  return text.substr(0, std::min(i, text.size()));
}

}  // namespace

void Command::AppendParameter(ParamType type, int32_t size, Variant value) {
  parameters_.push_back(Parameter{type, size, std::move(value)});
}

RecordsetPtr Command::Execute(int64_t* records_affected) {
  if (!connection_ || !connection_->IsOpen()) throw db::DataAccessError(kErrObjectClosed);
  if (CountParamMarkers(text_) != parameters_.size()) {
    throw db::DataAccessError(db::kErrParameterMismatch);
  }
  std::vector<db::Param> params;
  params.reserve(parameters_.size());
  for (const Parameter& p : parameters_) {
    Variant value;
    if (p.value.IsEmpty() || p.value.IsNull()) {
      value = Variant::Null();
    } else {
      switch (p.type) {
        case ParamType::kInteger:
          value = p.value.AsLong();
          break;
        case ParamType::kDouble:
          value = p.value.AsDouble();
          break;
        case ParamType::kBoolean:
          value = p.value.AsBool();
          break;
        case ParamType::kDate:
          value = p.value.AsDate();
          break;
        case ParamType::kVarChar:
        case ParamType::kVarWChar:
          value = CutText(p.value.AsString(), p.size);
          break;
        default:
          throw db::DataAccessError(db::kErrParameterMismatch);
      }
    }
    params.push_back(db::Param{p.type, p.size, std::move(value)});
  }
  return db::RunBatch(*connection_, text_, params, records_affected);
}

}  // namespace corva
