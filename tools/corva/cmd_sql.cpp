// corva sql DB [FILE]: runs batches of the SQL Server dialect against a database, from a file (or
// piped input) split at lines holding only GO, or typed at a prompt with line editing, printing
// result sets as tables and errors as one line each.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "console.h"
#include "corva/connection.h"
#include "corva/error.h"
#include "table_printer.h"

#ifdef CORVA_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace corva::cli {
namespace {

struct SqlOptions {
  std::string db;
  std::string file;
  bool trace = false;
};

struct Batch {
  std::string text;
  int first_line = 1;  // line of the input the batch starts on
};

std::string Trim(const std::string& line) {
  size_t begin = line.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = line.find_last_not_of(" \t\r\n");
  return line.substr(begin, end - begin + 1);
}

bool IsWord(const std::string& line, const char* word) {
  std::string trimmed = Trim(line);
  std::string lower;
  for (char c : trimmed) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == word;
}

// Splits a script at lines holding only "GO" (in any case). Batches of blanks only are dropped; a
// line "exit" or "quit" where a batch would begin ends the script.
std::vector<Batch> SplitBatches(std::istream& in) {
  std::vector<Batch> batches;
  Batch current;
  std::string line;
  int number = 0;
  auto flush = [&](int next_line) {
    if (!Trim(current.text).empty()) batches.push_back(current);
    current = Batch{};
    current.first_line = next_line;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsWord(line, "go")) {
      flush(number + 1);
      continue;
    }
    if (Trim(current.text).empty() && (IsWord(line, "exit") || IsWord(line, "quit"))) break;
    current.text += line + "\n";
  }
  flush(number + 1);
  return batches;
}

// Runs one batch and prints what it gave. Returns false when it failed.
bool RunBatch(Connection& connection, const Batch& batch) {
  try {
    int64_t affected = -1;
    RecordsetPtr result = connection.Execute(batch.text, &affected);
    for (; result; result = connection.NextRecordset()) {
      if (!result->IsOpen()) continue;
      std::string table = FormatRecordset(*result);
      std::printf("%s\n%s\n\n", table.c_str(),
                  RowsAffectedLine(static_cast<int64_t>(result->Rows().size())).c_str());
    }
    if (affected >= 0) std::printf("%s\n\n", RowsAffectedLine(affected).c_str());
    std::fflush(stdout);
    return true;
  } catch (const Error& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", ErrorLine(error, batch.first_line).c_str());
    return false;
  }
}

// One line typed at `prompt`; false at the end of input.
bool ReadLine(const std::string& prompt, std::string* line) {
#ifdef CORVA_HAVE_READLINE
  char* text = readline(prompt.c_str());
  if (text == nullptr) return false;
  *line = text;
  if (!Trim(*line).empty()) add_history(text);
  std::free(text);
  return true;
#else
  std::fputs(prompt.c_str(), stdout);
  std::fflush(stdout);
  return static_cast<bool>(std::getline(std::cin, *line));
#endif
}

// The prompt loop: "1> ", "2> ", ... numbering the lines of the batch being typed; GO or an empty
// line runs it, "exit" or "quit" on a batch's first line ends the program.
void Interactive(Connection& connection) {
  Batch batch;
  int line_number = 1;
  std::string line;
  while (ReadLine(std::to_string(line_number) + "> ", &line)) {
    bool blank = Trim(line).empty();
    if (batch.text.empty() && (blank || IsWord(line, "go"))) continue;
    if (batch.text.empty() && (IsWord(line, "exit") || IsWord(line, "quit"))) return;
    if (blank || IsWord(line, "go")) {
      RunBatch(connection, batch);
      batch = Batch{};
      line_number = 1;
      continue;
    }
    batch.text += line + "\n";
    ++line_number;
  }
  if (!batch.text.empty()) RunBatch(connection, batch);
  std::printf("\n");
}

int RunSql(const SqlOptions& options) {
  if (options.trace) PrintTraceToStderr();
  auto connection = std::make_shared<Connection>();
  try {
    connection->Open(ConnectStringFor(options.db));
  } catch (const Error& error) {
    std::fprintf(stderr, "%s\n", ErrorLine(error).c_str());
    return 2;
  }

  bool from_terminal = options.file.empty() && isatty(STDIN_FILENO);
  if (from_terminal) {
    Interactive(*connection);
    return 0;
  }
  std::vector<Batch> batches;
  if (options.file.empty() || options.file == "-") {
    batches = SplitBatches(std::cin);
  } else {
    std::ifstream in(options.file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "corva sql: cannot read %s\n", options.file.c_str());
      return 2;
    }
    batches = SplitBatches(in);
  }
  bool all_ran = true;
  for (const Batch& batch : batches) all_ran = RunBatch(*connection, batch) && all_ran;
  return all_ran ? 0 : 1;
}

}  // namespace

void AddSqlCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<SqlOptions>();
  CLI::App* command = app.add_subcommand(
      "sql",
      "Run batches of the SQL Server dialect: from FILE (batches end at lines holding only "
      "GO), from piped input, or typed at a prompt (GO or an empty line runs a batch)");
  command
      ->add_option("DB", options->db,
                   "Embedded database path, or a whole connection string when it holds '='")
      ->required();
  command->add_option("FILE", options->file, "Script to run ('-' for standard input)");
  command->add_flag("--trace", options->trace, "Print the statement log to standard error");
  command->callback([options, exit_code] { *exit_code = RunSql(*options); });
}

}  // namespace corva::cli
