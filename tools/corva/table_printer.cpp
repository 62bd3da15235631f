// Aligned text tables for the command-line program.
#include "table_printer.h"

#include <algorithm>
#include <cstdint>

namespace corva::cli {
namespace {

// Columns a terminal gives `text`: East Asian wide and full-width characters take two.
size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length && i + k < text.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += length;
    bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
    width += wide ? 2 : 1;
  }
  return width;
}

bool IsNumber(const Variant& value) {
  VarType type = value.Type();
  return type == VarType::kLong || type == VarType::kDouble || type == VarType::kBoolean ||
         type == VarType::kDecimal;
}

void Pad(std::string* line, size_t count) { line->append(count, ' '); }

void TrimRight(std::string* line) {
  while (!line->empty() && line->back() == ' ') line->pop_back();
}

}  // namespace

std::string FormatValue(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return "";
    case VarType::kNull:
      return "NULL";
    case VarType::kBoolean:
      return value.AsBool() ? "1" : "0";
    case VarType::kDate:
      return value.AsDate().ToCanonical();
    case VarType::kObject:
      return "<object>";
    default: {
      std::string text = value.AsString();
      std::replace_if(
          text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
          ' ');
      return text;
    }
  }
}

std::string FormatTable(const std::vector<std::string>& columns,
                        const std::vector<std::vector<Variant>>& rows) {
  std::vector<std::vector<std::string>> cells(rows.size());
  std::vector<size_t> widths(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) widths[c] = DisplayWidth(columns[c]);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < columns.size(); ++c) {
      cells[r].push_back(c < rows[r].size() ? FormatValue(rows[r][c]) : std::string());
      widths[c] = std::max(widths[c], DisplayWidth(cells[r][c]));
    }
  }

  std::string out;
  std::string line;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) line += ' ';
    line += columns[c];
    Pad(&line, widths[c] - DisplayWidth(columns[c]));
  }
  TrimRight(&line);
  out += line + "\n";
  line.clear();
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) line += ' ';
    line.append(std::max<size_t>(widths[c], 1), '-');
  }
  out += line + "\n";
  for (size_t r = 0; r < rows.size(); ++r) {
    line.clear();
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) line += ' ';
      size_t gap = widths[c] - DisplayWidth(cells[r][c]);
      bool right = c < rows[r].size() && IsNumber(rows[r][c]);
      if (right) Pad(&line, gap);
      line += cells[r][c];
      if (!right) Pad(&line, gap);
    }
    TrimRight(&line);
    out += line + "\n";
  }
  return out;
}

std::string FormatRecordset(const Recordset& recordset) {
  return FormatTable(recordset.Columns(), recordset.Rows());
}

std::string RowsAffectedLine(int64_t rows) {
  return "(" + std::to_string(rows) + (rows == 1 ? " row affected)" : " rows affected)");
}

}  // namespace corva::cli
