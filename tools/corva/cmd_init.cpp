// corva init [--sample] [--force] DB: creates an embedded database file with the schema (and the
// sample factory), one progress line per script, and prints the property string a caller of the
// library passes as sDsn to work on it.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "commands.h"
#include "console.h"
#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "db/schema_installer.h"

namespace corva::cli {
namespace {

namespace fs = std::filesystem;

struct InitOptions {
  std::string db;
  bool sample = false;
  bool force = false;
};

// The database file and the journals SQLite keeps beside it.
void RemoveDatabaseFiles(const fs::path& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    fs::remove(fs::path(path.string() + suffix), ignored);
  }
}

bool NonEmptyFile(const fs::path& path) {
  std::error_code error;
  if (!fs::exists(path, error)) return false;
  return !fs::is_regular_file(path, error) || fs::file_size(path, error) > 0;
}

// Installs into a new database at `path` inside one transaction: a statement that committed by
// itself would cost a disk sync each, and a failure leaves nothing half-installed.
void Install(const fs::path& path, bool sample) {
  db::CreateDatabaseFile(path.string());
  TransactionScope transaction;
  {
    Connection connection;
    connection.Open("Provider=SQLite;Data Source=" + path.string());
    db::InstallSchema(connection, sample, [](const std::string& script) {
      std::printf("  %s\n", script.c_str());
      std::fflush(stdout);
    });
  }
  if (!transaction.Commit()) {
    throw Error(0, "corva init", "the installation's transaction was rolled back");
  }
}

int RunInit(const InitOptions& options) {
  if (options.db.find_first_of("=;}") != std::string::npos || options.db == ":memory:") {
    std::fprintf(stderr,
                 "corva init: DB is the path of a new embedded database file (without '=', ';' or "
                 "'}'), not %s\n",
                 options.db.c_str());
    return 2;
  }
  std::error_code error;
  fs::path path = fs::absolute(options.db, error).lexically_normal();
  if (error || !fs::is_directory(path.parent_path(), error)) {
    std::fprintf(stderr, "corva init: the folder of %s does not exist\n", options.db.c_str());
    return 2;
  }
  if (fs::is_directory(path, error)) {
    std::fprintf(stderr, "corva init: %s is a folder\n", path.c_str());
    return 2;
  }
  if (NonEmptyFile(path)) {
    if (!options.force) {
      std::fprintf(stderr, "corva init: %s exists and is not empty (--force replaces it)\n",
                   path.c_str());
      return 2;
    }
    std::printf("Replacing %s\n", path.c_str());
  } else {
    std::printf("Creating %s\n", path.c_str());
  }
  RemoveDatabaseFiles(path);

  try {
    Install(path, options.sample);
  } catch (const Error& failure) {
    RemoveDatabaseFiles(path);
    std::fflush(stdout);
    std::fprintf(stderr, "corva init: %s\n", ErrorLine(failure).c_str());
    return 1;
  } catch (const std::exception& failure) {
    RemoveDatabaseFiles(path);
    std::fflush(stdout);
    std::fprintf(stderr, "corva init: %s\n", failure.what());
    return 1;
  }
  std::printf("Schema installed%s.\n", options.sample ? " with the sample factory" : "");
  std::printf("Property string (sDsn):\n%s\n", db::SampleDsn(path.string()).c_str());
  return 0;
}

}  // namespace

void AddInitCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<InitOptions>();
  CLI::App* command = app.add_subcommand(
      "init",
      "Create an embedded database with the schema (and, with --sample, a small factory) "
      "and print the property string to use with it");
  command->add_option("DB", options->db, "Path of the new database file")->required();
  command->add_flag("--sample", options->sample,
                    "Also install the sample factory: items, calendar, work centres, two "
                    "production tasks and an operation plan bill");
  command->add_flag("--force", options->force, "Replace an existing database file");
  command->callback([options, exit_code] { *exit_code = RunInit(*options); });
}

}  // namespace corva::cli
