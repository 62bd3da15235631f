// Installs the schema compiled into the library (schema/CMakeLists.txt embeds the scripts) by
// running each script's batches in order, and builds the property string for an embedded database.
#include "db/schema_installer.h"

#include <cctype>
#include <cstddef>
#include <fstream>

#include "corva/error.h"
#include "db/embedded/embedded_backend.h"
#include "db/errors.h"
#include "tsql/engine.h"

namespace corva::db {

// Defined in the source generated from schema/*.sql and schema/sample/*.sql: per group, the
// scripts' names, bytes (each ended by a zero) and sizes, in name order.
extern const char* const kSchemaScriptNames[];
extern const unsigned char* const kSchemaScriptTexts[];
extern const std::size_t kSchemaScriptSizes[];
extern const std::size_t kSchemaScriptCount;
extern const char* const kSampleScriptNames[];
extern const unsigned char* const kSampleScriptTexts[];
extern const std::size_t kSampleScriptSizes[];
extern const std::size_t kSampleScriptCount;

namespace {

constexpr char kInstallerSource[] = "corva.SchemaInstaller";

// What the embedded engine reports as its "DBMS Name" (Connection::Properties).
constexpr char kEmbeddedDbmsName[] = "Corva SQL";

std::vector<std::pair<std::string, std::string>> LoadGroup(const char* const* names,
                                                           const unsigned char* const* texts,
                                                           const std::size_t* sizes,
                                                           std::size_t count) {
  std::vector<std::pair<std::string, std::string>> scripts;
  scripts.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    scripts.emplace_back(names[i], std::string(reinterpret_cast<const char*>(texts[i]), sizes[i]));
  }
  return scripts;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsGoLine(std::string_view line) {
  std::size_t begin = 0;
  std::size_t end = line.size();
  while (begin < end && IsBlank(line[begin])) ++begin;
  while (end > begin && IsBlank(line[end - 1])) --end;
  return end - begin == 2 && std::tolower(static_cast<unsigned char>(line[begin])) == 'g' &&
         std::tolower(static_cast<unsigned char>(line[begin + 1])) == 'o';
}

bool AllBlank(std::string_view text) {
  for (char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

// Runs the batches of one script; a failing batch becomes an error that names where it stands.
void RunScript(Connection& connection, const std::string& name, const std::string& text) {
  std::vector<ScriptBatch> batches = SplitBatches(text);
  for (std::size_t i = 0; i < batches.size(); ++i) {
    const ScriptBatch& batch = batches[i];
    try {
      connection.Execute(batch.text);
    } catch (const Error& error) {
      std::string where = "Installing the schema failed in " + name + ", batch " +
                          std::to_string(i + 1) + " (from line " +
                          std::to_string(batch.first_line) + ")";
      if (error.Line() > 0) {
        // The engine counts lines from the batch's start; the script's own count is what a
        // reader of the file looks for.
        where += ", at line " + std::to_string(batch.first_line + error.Line() - 1) + ", column " +
                 std::to_string(error.Column());
      }
      throw Error(error.Number(), error.Source().empty() ? kInstallerSource : error.Source(),
                  where + ": " + error.Description());
    }
  }
}

}  // namespace

const std::vector<std::pair<std::string, std::string>>& SchemaScripts() {
  static const auto* const scripts = new std::vector<std::pair<std::string, std::string>>(
      LoadGroup(kSchemaScriptNames, kSchemaScriptTexts, kSchemaScriptSizes, kSchemaScriptCount));
  return *scripts;
}

const std::vector<std::pair<std::string, std::string>>& SampleScripts() {
  static const auto* const scripts = new std::vector<std::pair<std::string, std::string>>(
      LoadGroup(kSampleScriptNames, kSampleScriptTexts, kSampleScriptSizes, kSampleScriptCount));
  return *scripts;
}

std::vector<ScriptBatch> SplitBatches(std::string_view script) {
  std::vector<ScriptBatch> batches;
  ScriptBatch current;
  int line_number = 0;
  auto flush = [&](int next_line) {
    if (!AllBlank(current.text)) batches.push_back(std::move(current));
    current = ScriptBatch{};
    current.first_line = next_line;
  };
  std::size_t pos = 0;
  while (pos < script.size()) {
    std::size_t end = script.find('\n', pos);
    if (end == std::string_view::npos) end = script.size();
    std::string_view line = script.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsGoLine(line)) {
      flush(line_number + 1);
      continue;
    }
    current.text.append(line);
    current.text += '\n';
  }
  flush(line_number + 1);
  return batches;
}

void InstallSchema(Connection& connection, bool sample) {
  InstallSchema(connection, sample, ScriptProgress());
}

void InstallSchema(Connection& connection, bool sample, const ScriptProgress& progress) {
  auto run_all = [&](const std::vector<std::pair<std::string, std::string>>& scripts) {
    for (const auto& [name, text] : scripts) {
      if (progress) progress(name);
      RunScript(connection, name, text);
    }
  };
  run_all(SchemaScripts());
  if (sample) run_all(SampleScripts());
}

void CreateDatabaseFile(const std::string& path) {
  // An empty file is an empty database to SQLite; appending leaves an existing file unchanged.
  std::ofstream file(path, std::ios::binary | std::ios::app);
  if (!file) {
    throw DbError(kErrCannotOpenDatabase, "Cannot open database \"" + CanonicalDatabasePath(path) +
                                              "\": it cannot be created.");
  }
}

std::string SampleDsn(const std::string& path, const std::string& language) {
  return "ConnectString={Provider=SQLite;Data Source=" + CanonicalDatabasePath(path) +
         "};UserName=administrator;UserID=16394;DBMS Name=" + kEmbeddedDbmsName +
         ";DBMS Version=" + tsql::SqliteVersion() + ";Language=" + language +
         ";AcctType=GY;CorvaVersion=QRB";
}

}  // namespace corva::db
