// What every subcommand of the command-line program shares: naming a database on the command line,
// the one-line form of an error, and the statement log as the program prints it.
#ifndef CORVA_TOOLS_CONSOLE_H_
#define CORVA_TOOLS_CONSOLE_H_

#include <string>

#include "corva/error.h"
#include "corva/sql_trace.h"

namespace corva::cli {

// The connection string for a DB argument: a text holding "=" is a connection string already;
// anything else is the path of an embedded database.
std::string ConnectStringFor(const std::string& db);

// "Msg 208, line 3, col 8: Invalid object name 'x'." The line is counted from `first_line`, the
// line of the input where the batch began; line and column are left out when the error has none.
std::string ErrorLine(const Error& error, int first_line = 1);

// One statement-log entry as "-- c1 0.42 ms, 3 rows" (or ", error 208: ...") followed by the
// batch's text.
std::string FormatTraceEntry(const TraceEntry& entry);

// Switches the statement log on for the process and prints each entry to stderr as it happens.
void PrintTraceToStderr();

}  // namespace corva::cli

#endif  // CORVA_TOOLS_CONSOLE_H_
