// corva demo [DB] [--language L] [--trace]: opens the sample database (creating it with the schema
// and the sample factory when it does not exist yet) and runs the registered demo steps in order,
// printing the state of the chain after each. Also the demo session the steps share.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "commands.h"
#include "console.h"
#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "db/schema_installer.h"
#include "demo.h"
#include "table_printer.h"

namespace corva::cli {
namespace demo {
namespace {

std::vector<DemoStep>& Registry() {
  static std::vector<DemoStep> steps;
  return steps;
}

}  // namespace

DemoStepRegistrar::DemoStepRegistrar(DemoStep step) { Registry().push_back(std::move(step)); }

std::vector<DemoStep> DemoSteps() {
  std::vector<DemoStep> steps = Registry();
  std::stable_sort(steps.begin(), steps.end(),
                   [](const DemoStep& a, const DemoStep& b) { return a.order < b.order; });
  return steps;
}

DemoSession::DemoSession(std::string path, std::string language, std::FILE* out)
    : path_(std::move(path)), dsn_(db::SampleDsn(path_, language)), out_(out) {}

void DemoSession::Execute(const std::string& sql) const {
  Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + path_);
  connection.Execute(sql);
}

RecordsetPtr DemoSession::Query(const std::string& sql) const {
  Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + path_);
  return connection.Execute(sql);
}

bool DemoSession::Transaction(const std::function<void()>& body) const {
  TransactionScope scope;
  body();
  bool committed = scope.Commit();
  Say(committed ? "  -> committed" : "  -> a call voted abort: the transaction is rolled back");
  return committed;
}

void DemoSession::Heading(const std::string& text) const {
  std::fprintf(out_, "\n== %s ==\n", text.c_str());
  std::fflush(out_);
}

void DemoSession::Say(const std::string& text) const {
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

void DemoSession::PrintTable(const std::string& title, const Recordset& rows) const {
  std::fprintf(out_, "%s\n%s", title.c_str(), FormatRecordset(rows).c_str());
  std::fflush(out_);
}

void DemoSession::PrintCall(const std::string& call, const Variant& result,
                            const std::vector<std::pair<std::string, Variant>>& returned) const {
  // Results as the host's language shows them: True / False rather than the table's 1 / 0.
  std::string shown = result.Type() == VarType::kBoolean ? result.AsString() : FormatValue(result);
  std::fprintf(out_, "  %s -> %s\n", call.c_str(), shown.c_str());
  for (const auto& [name, value] : returned) {
    std::fprintf(out_, "     %s: %s\n", name.c_str(), FormatValue(value).c_str());
  }
  std::fflush(out_);
}

}  // namespace demo

namespace {

namespace fs = std::filesystem;

struct DemoOptions {
  std::string db = "corva-demo.db";
  std::string language = "chs";
  bool trace = false;
};

bool DatabaseExists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error) &&
         (!fs::is_regular_file(path, error) || fs::file_size(path, error) > 0);
}

// A new sample database: the schema and the sample factory in one transaction.
void CreateSampleDatabase(const fs::path& path) {
  db::CreateDatabaseFile(path.string());
  TransactionScope transaction;
  {
    Connection connection;
    connection.Open("Provider=SQLite;Data Source=" + path.string());
    db::InstallSchema(connection, true, [](const std::string& script) {
      std::printf("  %s\n", script.c_str());
      std::fflush(stdout);
    });
  }
  if (!transaction.Commit()) {
    throw Error(0, "corva demo", "the installation's transaction was rolled back");
  }
}

int RunDemo(const DemoOptions& options) {
  if (options.db.find_first_of("=;}") != std::string::npos || options.db == ":memory:") {
    std::fprintf(stderr, "corva demo: DB is the path of an embedded database file, not %s\n",
                 options.db.c_str());
    return 2;
  }
  std::error_code error;
  fs::path path = fs::absolute(options.db, error).lexically_normal();
  if (error || !fs::is_directory(path.parent_path(), error)) {
    std::fprintf(stderr, "corva demo: the folder of %s does not exist\n", options.db.c_str());
    return 2;
  }
  if (options.trace) PrintTraceToStderr();
  try {
    if (DatabaseExists(path)) {
      std::printf("Opening the sample database %s\n", path.c_str());
    } else {
      std::printf("Creating the sample database %s\n", path.c_str());
      CreateSampleDatabase(path);
    }
    demo::DemoSession session(path.string(), options.language, stdout);
    for (const demo::DemoStep& step : demo::DemoSteps()) {
      session.Heading(step.title);
      step.run(session);
    }
  } catch (const Error& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "corva demo: %s\n", ErrorLine(failure).c_str());
    return 1;
  } catch (const std::exception& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "corva demo: %s\n", failure.what());
    return 1;
  }
  std::printf("\nThe demo is complete.\n");
  return 0;
}

}  // namespace

void AddDemoCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<DemoOptions>();
  CLI::App* command = app.add_subcommand(
      "demo",
      "Walk the sample factory's production task through its chain, calling the rules "
      "as the host does and showing the state after each step");
  command
      ->add_option("DB", options->db,
                   "Sample database file (created with the sample factory when absent)")
      ->capture_default_str();
  command
      ->add_option("--language", options->language,
                   "Language of the rules' messages: chs, cht or en")
      ->capture_default_str();
  command->add_flag("--trace", options->trace, "Print every batch sent to the database");
  command->callback([options, exit_code] { *exit_code = RunDemo(*options); });
}

}  // namespace corva::cli
