// Runs the engine's behaviour cases: every tests/tsql/<feature>/*.test file is one test, each of
// its records a batch in the SQL Server dialect and the result sets or error that batch must give
// (the format is described in tests/tsql/README.md). Each file runs against a database of its own,
// made in a fresh temporary directory, so that files never see each other's tables.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "corva/error.h"
#include "corva/variant.h"
#include "tsql/engine.h"

namespace corva::tsql {
namespace {

namespace fs = std::filesystem;

const fs::path kCaseRoot = fs::path(CORVA_SOURCE_DIR) / "tests" / "tsql";

// ---- Case files -------------------------------------------------------------------------------

using ExpectedRow = std::vector<std::string>;

struct ExpectedSet {
  std::vector<std::string> columns;
  std::vector<ExpectedRow> rows;
};

enum class Expect { kSuccess, kResults, kError };

struct Record {
  int line = 0;  // line of the "batch" header in the file
  int session = 1;
  bool unordered = false;
  bool crlf = false;
  std::optional<int64_t> rowcount;
  std::vector<Variant> params;
  std::vector<std::string> batch_lines;
  Expect expect = Expect::kSuccess;
  std::vector<ExpectedSet> result_sets;
  int32_t error_number = 0;
  int error_line = 0;
  int error_column = 0;
  std::string error_fragment;
  std::vector<std::string> expected_text;  // the expectation as written, for failure messages

  std::string Batch() const {
    std::string text;
    for (size_t i = 0; i < batch_lines.size(); ++i) {
      if (i > 0) text += crlf ? "\r\n" : "\n";
      text += batch_lines[i];
    }
    return text;
  }
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    cells.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

std::vector<std::string> SplitWords(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool ParseInt(const std::string& text, int64_t* out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

// A whole-text decimal number ("-12", "1.50", "3e-2"); `decimals` gets the digits after the point.
bool ParseNumber(const std::string& text, double* out, int* decimals = nullptr) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (decimals != nullptr) {
    size_t dot = text.find('.');
    size_t exp = text.find_first_of("eE");
    *decimals =
        dot == std::string::npos ? 0 : static_cast<int>(std::min(exp, text.size()) - dot - 1);
  }
  return true;
}

// Parameters of "params": integers, decimals, 'quoted text' ('' for a quote), NULL.
bool ParseParams(const std::string& text, std::vector<Variant>* out, std::string* problem) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (text[i] == '\'') {
      std::string value;
      for (++i;; ++i) {
        if (i >= text.size()) {
          *problem = "unterminated quoted parameter";
          return false;
        }
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            value += '\'';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        value += text[i];
      }
      out->push_back(Variant(value));
      continue;
    }
    size_t end = text.find(' ', i);
    std::string word = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
    i = end == std::string::npos ? text.size() : end;
    int64_t n = 0;
    double d = 0;
    if (word == "NULL") {
      out->push_back(Variant::Null());
    } else if (ParseInt(word, &n)) {
      out->push_back(Variant::FromInt64(n));
    } else if (ParseNumber(word, &d)) {
      out->push_back(Variant(d));
    } else {
      *problem = "bad parameter '" + word + "'";
      return false;
    }
  }
  return true;
}

// Reads the header "batch [session N] [rowcount N] [unordered] [crlf] [params ...]".
bool ParseHeader(const std::string& line, Record* record, std::string* problem) {
  std::string rest = line.substr(5);
  size_t params_at = rest.find(" params ");
  if (params_at != std::string::npos) {
    std::string params = rest.substr(params_at + 8);
    rest = rest.substr(0, params_at);
    if (!ParseParams(params, &record->params, problem)) return false;
  }
  std::vector<std::string> words = SplitWords(rest);
  for (size_t i = 0; i < words.size(); ++i) {
    int64_t n = 0;
    if (words[i] == "unordered") {
      record->unordered = true;
    } else if (words[i] == "crlf") {
      record->crlf = true;
    } else if ((words[i] == "session" || words[i] == "rowcount") && i + 1 < words.size() &&
               ParseInt(words[i + 1], &n)) {
      if (words[i] == "session")
        record->session = static_cast<int>(n);
      else
        record->rowcount = n;
      ++i;
    } else {
      *problem = "unknown option '" + words[i] + "'";
      return false;
    }
  }
  return true;
}

// Reads "error NNN [at LINE[:COLUMN]] [fragment]".
bool ParseErrorLine(const std::string& line, Record* record) {
  std::istringstream in(line.substr(6));
  std::string number;
  in >> number;
  int64_t n = 0;
  if (!ParseInt(number, &n)) return false;
  record->error_number = static_cast<int32_t>(n);
  std::string rest;
  std::getline(in, rest);
  rest.erase(0, rest.find_first_not_of(' '));
  if (rest.rfind("at ", 0) == 0) {
    size_t end = rest.find(' ', 3);
    std::string pos = rest.substr(3, end == std::string::npos ? std::string::npos : end - 3);
    size_t colon = pos.find(':');
    int64_t l = 0, c = 0;
    if (!ParseInt(pos.substr(0, colon), &l)) return false;
    if (colon != std::string::npos && !ParseInt(pos.substr(colon + 1), &c)) return false;
    record->error_line = static_cast<int>(l);
    record->error_column = static_cast<int>(c);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
  }
  record->error_fragment = rest;
  return true;
}

bool IsErrorLine(const std::string& line) {
  return line.rfind("error ", 0) == 0 && line.size() > 6 && std::isdigit(line[6]);
}

// Parses a whole case file. Problems with the file itself go to `problems` with their line.
std::vector<Record> ParseCaseFile(const fs::path& path, std::vector<std::string>* problems) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::vector<Record> records;
  size_t i = 0;
  auto problem = [&](size_t at, const std::string& what) {
    problems->push_back(path.filename().string() + ":" + std::to_string(at + 1) + ": " + what);
  };
  while (i < lines.size()) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '#' || line == "====") {
      ++i;
      continue;
    }
    if (line != "batch" && line.rfind("batch ", 0) != 0) {
      problem(i, "expected a 'batch' line, got '" + line + "'");
      ++i;
      continue;
    }
    Record record;
    record.line = static_cast<int>(i + 1);
    std::string why;
    if (!ParseHeader(line, &record, &why)) problem(i, why);
    ++i;
    while (i < lines.size() && lines[i] != "----" && lines[i] != "====" && !IsErrorLine(lines[i]))
      record.batch_lines.push_back(lines[i++]);
    while (!record.batch_lines.empty() && record.batch_lines.back().empty())
      record.batch_lines.pop_back();
    const size_t expectation_start = i;
    if (i < lines.size() && IsErrorLine(lines[i])) {
      record.expect = Expect::kError;
      if (!ParseErrorLine(lines[i], &record)) problem(i, "bad error line");
      ++i;
    } else if (i < lines.size() && lines[i] == "----") {
      record.expect = Expect::kResults;
      ++i;
      bool need_header = true;
      for (; i < lines.size() && lines[i] != "===="; ++i) {
        if (lines[i].empty()) continue;
        if (lines[i] == "~~~~") {
          need_header = true;
          continue;
        }
        if (need_header) {
          record.result_sets.push_back(ExpectedSet{SplitTabs(lines[i]), {}});
          need_header = false;
        } else {
          ExpectedRow row = SplitTabs(lines[i]);
          if (row.size() != record.result_sets.back().columns.size())
            problem(i, "row has " + std::to_string(row.size()) + " cells, header has " +
                           std::to_string(record.result_sets.back().columns.size()));
          record.result_sets.back().rows.push_back(std::move(row));
        }
      }
    }
    record.expected_text.assign(lines.begin() + expectation_start, lines.begin() + i);
    while (i < lines.size() && lines[i] != "====") {
      if (!lines[i].empty()) {
        problem(i, "unexpected text after the record's expectation: '" + lines[i] + "'");
      }
      ++i;
    }
    if (record.batch_lines.empty()) problem(record.line - 1, "empty batch");
    records.push_back(std::move(record));
  }
  return records;
}

// ---- Comparing --------------------------------------------------------------------------------

std::string Render(const Variant& v) {
  switch (v.Type()) {
    case VarType::kEmpty:
      return "(Empty)";
    case VarType::kNull:
      return "NULL";
    case VarType::kDate:
      return v.AsDate().ToCanonical();
    case VarType::kString:
      return v.AsString().empty() ? "(empty)" : v.AsString();
    case VarType::kBoolean:
      return v.AsBool() ? "1" : "0";
    case VarType::kObject:
      return "(Object)";
    default:
      return v.AsString();
  }
}

// One expected cell against one value: NULL only matches Null, (any) every other value; text
// matches text exactly; numbers
// compare as numbers (1.5 equals 1.50). A number written with six or more decimals matches to its
// last written digit, since SQL Server rounds decimal results to their scale.
bool CellMatches(const std::string& expected, const Variant& actual) {
  if (expected == "NULL" || actual.IsNull()) return expected == "NULL" && actual.IsNull();
  if (expected == "(any)") return !actual.IsEmpty();
  switch (actual.Type()) {
    case VarType::kString:
      return actual.AsString() == (expected == "(empty)" ? std::string() : expected);
    case VarType::kDate:
      return actual.AsDate().ToCanonical() == expected;
    case VarType::kBoolean:
      return expected == (actual.AsBool() ? "1" : "0");
    case VarType::kDecimal: {
      // Decimals compare exactly: 1.5 equals 1.50, 0.30000000000000004 does not equal 0.3;
      // six or more written decimals match within one unit of the last written digit.
      Decimal want, got = actual.AsDecimal(), diff;
      if (!Decimal::Parse(expected, &want)) return false;
      if (want.scale() < 6 || !Decimal::Subtract(got, want, &diff)) return got == want;
      if (diff.Sign() < 0) diff = -diff;
      return diff <= Decimal::FromUnits(1, want.scale());
    }
    case VarType::kLong:
    case VarType::kDouble: {
      double want = 0;
      int decimals = 0;
      if (!ParseNumber(expected, &want, &decimals)) return false;
      double got = actual.AsDouble();
      double tolerance = 1e-9 * std::max(1.0, std::fabs(want));
      if (decimals >= 6) tolerance = std::max(tolerance, std::pow(10.0, -decimals));
      return std::fabs(got - want) <= tolerance;
    }
    default:
      return false;
  }
}

bool RowMatches(const ExpectedRow& expected, const std::vector<Variant>& actual) {
  if (expected.size() != actual.size()) return false;
  for (size_t i = 0; i < expected.size(); ++i)
    if (!CellMatches(expected[i], actual[i])) return false;
  return true;
}

bool SameName(const std::string& expected, const std::string& actual) {
  if (expected == "*") return true;
  return std::equal(
      expected.begin(), expected.end(), actual.begin(), actual.end(),
      [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

// Empty when the set matches, else what differs.
std::string CompareSet(const ExpectedSet& want, const ResultSet& got, bool unordered) {
  if (want.columns.size() != got.columns.size())
    return "column count " + std::to_string(got.columns.size()) + ", expected " +
           std::to_string(want.columns.size());
  for (size_t c = 0; c < want.columns.size(); ++c)
    if (!SameName(want.columns[c], got.columns[c]))
      return "column " + std::to_string(c + 1) + " is named '" + got.columns[c] + "', expected '" +
             want.columns[c] + "'";
  if (want.rows.size() != got.rows.size())
    return std::to_string(got.rows.size()) + " rows, expected " + std::to_string(want.rows.size());
  if (!unordered) {
    for (size_t r = 0; r < want.rows.size(); ++r)
      if (!RowMatches(want.rows[r], got.rows[r]))
        return "row " + std::to_string(r + 1) + " differs";
    return "";
  }
  std::vector<bool> used(got.rows.size(), false);
  for (size_t r = 0; r < want.rows.size(); ++r) {
    bool found = false;
    for (size_t a = 0; a < got.rows.size() && !found; ++a) {
      if (!used[a] && RowMatches(want.rows[r], got.rows[a])) used[a] = found = true;
    }
    if (!found) return "expected row " + std::to_string(r + 1) + " is missing";
  }
  return "";
}

std::string Indent(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::string out = "    ";
  for (char ch : text) {
    if (ch == '\r') continue;
    out += ch;
    if (ch == '\n') out += "    ";
  }
  return out;
}

std::string DescribeExpected(const Record& record) {
  std::string text;
  if (record.rowcount) text = "rows affected: " + std::to_string(*record.rowcount) + "\n";
  for (const std::string& line : record.expected_text) text += line + "\n";
  return text.empty() ? "(success)" : text;
}

std::string DescribeActual(const BatchResult& result) {
  std::string text;
  for (size_t s = 0; s < result.result_sets.size(); ++s) {
    if (s > 0) text += "~~~~\n";
    const ResultSet& set = result.result_sets[s];
    for (size_t c = 0; c < set.columns.size(); ++c) text += (c ? "\t" : "") + set.columns[c];
    text += "\n";
    for (const auto& row : set.rows) {
      for (size_t c = 0; c < row.size(); ++c) text += (c ? "\t" : "") + Render(row[c]);
      text += "\n";
    }
  }
  text = text.empty() ? "(no result set)\n" : text;
  return text + "rows affected: " + std::to_string(result.rows_affected);
}

std::string DescribeError(const Error& e) {
  return "error " + std::to_string(e.Number()) + " at " + std::to_string(e.Line()) + ":" +
         std::to_string(e.Column()) + " '" + e.Description() + "'";
}

bool ContainsNoCase(const std::string& text, const std::string& fragment) {
  auto it = std::search(
      text.begin(), text.end(), fragment.begin(), fragment.end(),
      [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
  return it != text.end();
}

// Empty when the outcome is what the record expects, else why not.
std::string Judge(const Record& record, const BatchResult* result, const Error* error) {
  if (error != nullptr) {
    if (record.expect != Expect::kError) return "the batch failed";
    if (error->Number() != record.error_number) return "wrong error number";
    if (record.error_line > 0 && error->Line() != record.error_line) return "wrong error line";
    if (record.error_column > 0 && error->Column() != record.error_column)
      return "wrong error column";
    if (!ContainsNoCase(error->Description(), record.error_fragment))
      return "the message lacks '" + record.error_fragment + "'";
    return "";
  }
  if (record.expect == Expect::kError) return "the batch succeeded, an error was expected";
  if (record.rowcount && result->rows_affected != *record.rowcount) return "wrong rows affected";
  if (record.expect == Expect::kSuccess) return "";
  if (result->result_sets.size() != record.result_sets.size())
    return std::to_string(result->result_sets.size()) + " result sets, expected " +
           std::to_string(record.result_sets.size());
  for (size_t s = 0; s < record.result_sets.size(); ++s) {
    std::string why = CompareSet(record.result_sets[s], result->result_sets[s], record.unordered);
    if (!why.empty()) return "result set " + std::to_string(s + 1) + ": " + why;
  }
  return "";
}

// ---- Running ----------------------------------------------------------------------------------

// A database in a temporary directory of its own, removed with everything in it at the end.
class ScratchDatabase {
 public:
  ScratchDatabase() {
    std::string pattern = (fs::temp_directory_path() / "corva_tsql_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
  }
  ~ScratchDatabase() {
    sessions_.clear();
    handle_.reset();
    database_.reset();
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  bool ok() const { return !dir_.empty(); }

  Session& SessionNumber(int n) {
    if (!database_) {
      database_ = Database::Open((dir_ / "cases.db").string());
      handle_ = database_->AcquireHandle();
    }
    std::unique_ptr<Session>& session = sessions_[n];
    if (!session) session = std::make_unique<Session>(handle_);
    return *session;
  }

 private:
  fs::path dir_;
  std::shared_ptr<Database> database_;
  std::shared_ptr<Handle> handle_;
  std::map<int, std::unique_ptr<Session>> sessions_;
};

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(kCaseRoot, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file() && it->path().extension() == ".test")
      files.push_back(fs::relative(it->path(), kCaseRoot).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class EngineCases : public ::testing::TestWithParam<std::string> {};

TEST_P(EngineCases, File) {
  const fs::path path = kCaseRoot / GetParam();
  std::vector<std::string> problems;
  std::vector<Record> records = ParseCaseFile(path, &problems);
  for (const std::string& p : problems) ADD_FAILURE() << "malformed case file: " << p;
  ASSERT_FALSE(records.empty()) << path;

  ScratchDatabase db;
  ASSERT_TRUE(db.ok()) << "cannot make a temporary directory";
  int failed = 0;
  for (const Record& record : records) {
    std::optional<BatchResult> result;
    std::optional<Error> error;
    std::string crash;
    try {
      result = db.SessionNumber(record.session).Execute(record.Batch(), record.params);
    } catch (const Error& e) {
      error = e;
    } catch (const std::exception& e) {
      crash = std::string("unexpected exception: ") + e.what();
    }
    std::string why = crash.empty()
                          ? Judge(record, result ? &*result : nullptr, error ? &*error : nullptr)
                          : crash;
    if (why.empty()) continue;
    ++failed;
    ADD_FAILURE_AT(path.string().c_str(), record.line)
        << GetParam() << ":" << record.line << ": " << why << "\n  batch (session "
        << record.session << "):\n"
        << Indent(record.Batch()) << "\n  expected:\n"
        << Indent(DescribeExpected(record)) << "\n  actual:\n"
        << Indent(error    ? DescribeError(*error)
                  : result ? DescribeActual(*result)
                           : crash);
  }
  RecordProperty("records", static_cast<int>(records.size()));
  RecordProperty("failed", failed);
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.substr(0, info.param.size() - 5);  // without ".test"
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Tsql, EngineCases, ::testing::ValuesIn(CaseFiles()), CaseName);

}  // namespace
}  // namespace corva::tsql
