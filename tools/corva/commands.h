// The subcommands of the command-line program. Each Add...Command registers its subcommand on
// `app`; when the subcommand runs, its result becomes `*exit_code`.
#ifndef CORVA_TOOLS_COMMANDS_H_
#define CORVA_TOOLS_COMMANDS_H_

#include <CLI/CLI.hpp>

namespace corva::cli {

void AddInitCommand(CLI::App& app, int* exit_code);  // corva init [--sample] [--force] DB
// corva sql DB [FILE] [--trace]
void AddSqlCommand(CLI::App& app, int* exit_code);
void AddDemoCommand(CLI::App& app, int* exit_code);  // corva demo [DB] [--language L] [--trace]
// corva call DB ProgID.Method [ARG...] [--language L] [--rollback]
void AddCallCommand(CLI::App& app, int* exit_code);
// corva verify DB [--repair] [--json]
void AddVerifyCommand(CLI::App& app, int* exit_code);

}  // namespace corva::cli

#endif  // CORVA_TOOLS_COMMANDS_H_
