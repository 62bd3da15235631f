// The command-line program: sets up embedded databases, runs batches of the SQL Server dialect,
// calls the public classes as the host does, and walks the sample factory through its chain. Each
// subcommand lives in its own cmd_*.cpp.
#include <CLI/CLI.hpp>

#include "commands.h"
#include "corva/corva.h"

int main(int argc, char** argv) {
  CLI::App app{"corva: the shop-floor rules library's command-line program"};
  app.set_version_flag("--version", std::string(corva::Version()));
  app.require_subcommand(1);
  int exit_code = 0;
  corva::cli::AddInitCommand(app, &exit_code);
  corva::cli::AddSqlCommand(app, &exit_code);
  corva::cli::AddDemoCommand(app, &exit_code);
  corva::cli::AddCallCommand(app, &exit_code);
  corva::cli::AddVerifyCommand(app, &exit_code);
  CLI11_PARSE(app, argc, argv);
  return exit_code;
}
