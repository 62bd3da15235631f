// corva call DB ProgID.Method [ARG...]: calls one operation of a public class as the host does,
// inside a host transaction, and prints its result, every argument after the call (marking those
// the operation changed), the transaction's vote and the SQL the call sent.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/late_binding.h"
#include "commands.h"
#include "console.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "corva/sql_trace.h"
#include "db/schema_installer.h"
#include "frame/parse.h"
#include "host/binding.h"
#include "table_printer.h"
#include "value_syntax.h"

namespace corva::cli {
namespace {

struct CallOptions {
  std::string db;
  std::string operation;  // ProgID.Method
  std::vector<std::string> arguments;
  std::string language;  // "" keeps the property string's own (chs for a path)
  bool rollback = false;
  bool list = false;  // --list [PROGID]: DB holds the ProgID, if any
};

// A command line the program cannot act on; the message is printed as it stands, exit code 2.
struct UsageError {
  std::string message;
};

// A property string given whole, with its Language replaced by `language` when one is given.
std::string WithLanguage(const std::string& props, const std::string& language) {
  if (language.empty()) return props;
  frame::CParse parse;
  parse.ParseString(props);
  std::string rebuilt;
  bool replaced = false;
  for (auto [key, value] : parse.Properties()) {
    if (corva::IEquals(key, "Language")) {
      value = language;
      replaced = true;
    }
    bool braced = value.find_first_of(";=") != std::string::npos;
    rebuilt += key + "=" + (braced ? "{" + value + "}" : value) + ";";
  }
  if (!replaced) rebuilt += "Language=" + language + ";";
  rebuilt.pop_back();
  return rebuilt;
}

// The sDsn the call gets: DB itself when it is a property string, otherwise the property string
// of the embedded database at that path, which must exist (a missing file would silently become a
// new, empty database without tables).
std::string PropertyStringFor(const CallOptions& options) {
  if (corva::IFind(options.db, "ConnectString=") != std::string::npos) {
    return WithLanguage(options.db, options.language);
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(options.db, error)) {
    throw UsageError{"no database file " + options.db + " (corva init --sample " + options.db +
                     " creates one)"};
  }
  return db::SampleDsn(options.db, options.language.empty() ? "chs" : options.language);
}

// "CorvaMSHTransBills.clsPublic.GetHour" -> ProgID and method, split at the last dot.
void SplitOperation(const std::string& operation, std::string* progid, std::string* method) {
  size_t dot = operation.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == operation.size()) {
    throw UsageError{
        "write the operation as ProgID.Method (e.g. "
        "CorvaMSHTransBills.clsPublic.GetHour), not " +
        operation};
  }
  *progid = operation.substr(0, dot);
  *method = operation.substr(dot + 1);
}

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// `value` for reading: a scalar in the argument syntax on one line; a container as a headline
// ("Dictionary, 2 keys") followed by its entries on lines of their own, each starting with
// `indent`. Every line but the first ends with "\n"; the first line does too.
std::string Show(const Variant& value, const std::string& indent) {
  ObjectPtr object = value.Type() == VarType::kObject ? value.AsObject() : nullptr;
  if (auto dictionary = std::dynamic_pointer_cast<Dictionary>(object)) {
    std::string text = "Dictionary, " + Plural(dictionary->Count(), "key", "keys") + "\n";
    for (int32_t i = 1; i <= dictionary->Count(); ++i) {
      const std::string& key = dictionary->Key(i);
      text += indent + key + " = " + Show(dictionary->Value(key), indent + "  ");
    }
    return text;
  }
  if (auto vector = std::dynamic_pointer_cast<Vector>(object)) {
    std::string text = "Vector, " + Plural(vector->Count(), "element", "elements") + "\n";
    for (int32_t i = 1; i <= vector->Count(); ++i) {
      text += indent + "[" + std::to_string(i) + "] " + Show(vector->Item(i), indent + "    ");
    }
    return text;
  }
  if (auto recordset = std::dynamic_pointer_cast<Recordset>(object)) {
    if (!recordset->IsOpen()) return "Recordset, closed\n";
    std::string text = "Recordset, " + Plural(recordset->Rows().size(), "row", "rows") + "\n";
    std::string table = FormatRecordset(*recordset);
    for (size_t begin = 0; begin < table.size();) {
      size_t end = table.find('\n', begin);
      if (end == std::string::npos) end = table.size();
      text += indent + table.substr(begin, end - begin) + "\n";
      begin = end + 1;
    }
    return text;
  }
  return ToValueSyntax(value) + "\n";
}

// The arguments after the call, numbered as the operation declares them; a "*" marks each one
// whose contents differ from what went in. The property string (at `dsn`, when the operation
// takes one) is long and the program's own, so it shows only when the operation changed it.
std::string ShowArguments(const std::vector<Variant>& args, const std::vector<std::string>& before,
                          std::optional<size_t> dsn) {
  std::string text = "arguments (* changed by the call):\n";
  for (size_t i = 0; i < args.size(); ++i) {
    std::string shown = Show(args[i], "        ");
    bool changed = i >= before.size() || shown != before[i];
    char number[32];
    std::snprintf(number, sizeof number, "%c %3zu  ", changed ? '*' : ' ', i + 1);
    text += number;
    if (dsn == i) {
      text += changed ? "sDsn = " + shown : "sDsn (the property string)\n";
    } else {
      text += shown;
    }
  }
  return text;
}

std::string ShowSql(const std::vector<TraceEntry>& entries) {
  std::string text = "sql: " + Plural(entries.size(), "batch", "batches") + "\n";
  for (const TraceEntry& entry : entries) text += FormatTraceEntry(entry);
  return text;
}

std::string ErrorText(const Error& error) {
  std::string text = "error " + std::to_string(error.Number());
  if (!error.Source().empty()) text += " from " + error.Source();
  return text + ": " + error.Description();
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int Fail(const std::string& message, int exit_code) {
  std::fflush(stdout);
  std::fprintf(stderr, "corva call: %s\n", message.c_str());
  return exit_code;
}

// One operation as a late-bound caller sees it, e.g.
//   GetThisBillNo(sDsn As String, Optional ByRef LoopNum As Long = 0, ...) As String
std::string Signature(const host::OperationDescription& operation) {
  std::string text = operation.name + "(";
  for (size_t i = 0; i < operation.params.size(); ++i) {
    const host::ParamDescription& param = operation.params[i];
    if (i > 0) text += ", ";
    if (param.optional) text += "Optional ";
    if (param.by_ref) text += "ByRef ";
    text += param.name + " As " + param.type;
    if (param.optional) text += " = " + param.default_text;
  }
  text += ")";
  if (!operation.result_type.empty()) text += " As " + operation.result_type;
  return text;
}

// corva call --list [PROGID]: the declared classes and their operations, from the same tables
// that dispatch the calls.
int ListOperations(const std::string& progid) {
  std::vector<const host::ClassDescription*> classes;
  if (progid.empty()) {
    classes = host::DescribedClasses();
  } else if (const host::ClassDescription* one = host::FindClassDescription(progid)) {
    classes.push_back(one);
  } else {
    return Fail("no public class " + progid + " (corva call --list shows them all)", 2);
  }
  for (const host::ClassDescription* described : classes) {
    Print(described->progid + "\n");
    for (const host::OperationDescription& operation : described->operations) {
      Print("  " + Signature(operation) + "\n");
    }
  }
  return 0;
}

// Where the operation takes the property string: its parameter named sDsn or MtsString (the
// first one of most operations, the second of GetBillNo), or none (HookInvoke finds it in its
// dictionary, UpdateICMOStockFlag in the object context). An operation the tables do not
// describe gets it first, and the call reports what it makes of that.
std::optional<size_t> DsnPosition(const std::string& progid, const std::string& method) {
  const host::ClassDescription* described = host::FindClassDescription(progid);
  if (described == nullptr) return 0;
  for (const host::OperationDescription& operation : described->operations) {
    if (!IEquals(operation.name, method)) continue;
    for (size_t i = 0; i < operation.params.size(); ++i) {
      const std::string& name = operation.params[i].name;
      if (IEquals(name, "sDsn") || IEquals(name, "MtsString")) return i;
    }
    return std::nullopt;
  }
  return 0;
}

int RunCall(const CallOptions& options) {
  if (options.list) {
    if (!options.operation.empty()) return Fail("--list takes at most one ProgID", 2);
    return ListOperations(options.db);
  }
  if (options.db.empty() || options.operation.empty()) {
    return Fail("give DB and ProgID.Method (or --list); corva call --help shows how", 2);
  }
  std::string progid;
  std::string method;
  std::optional<size_t> dsn;
  std::vector<Variant> args;
  try {
    SplitOperation(options.operation, &progid, &method);
    dsn = DsnPosition(progid, method);
    for (size_t i = 0; i < options.arguments.size(); ++i) {
      if (dsn == args.size()) args.emplace_back(PropertyStringFor(options));
      try {
        args.push_back(ParseValue(options.arguments[i]));
      } catch (const ValueSyntaxError& error) {
        throw UsageError{"argument " + std::to_string(args.size() + 1) + ": " + error.what()};
      }
    }
    if (dsn == args.size()) args.emplace_back(PropertyStringFor(options));
  } catch (const UsageError& error) {
    return Fail(error.message, 2);
  } catch (const Error& error) {  // a property string the library cannot read
    return Fail("DB: " + ErrorText(error), 2);
  }

  std::vector<std::string> before;
  for (const Variant& arg : args) before.push_back(Show(arg, "        "));
  SqlTrace::EnableProcess(true);
  SqlTrace::Clear();

  Variant result;
  bool doomed = false;
  bool committed = false;
  try {
    TransactionScope transaction;
    std::shared_ptr<Dispatch> object = CreateObject(progid);
    result = object->Invoke(method, args);
    object.reset();  // released before the transaction ends, as a host does
    doomed = transaction.Doomed();
    if (!options.rollback) committed = transaction.Commit();
  } catch (const Error& error) {
    std::vector<TraceEntry> sent = SqlTrace::Entries();
    if (!sent.empty()) Print(ShowSql(sent));
    return Fail(ErrorText(error), 1);
  } catch (const std::exception& error) {
    return Fail(error.what(), 1);
  }

  Print("result: " + Show(result, "  "));
  Print(ShowArguments(args, before, dsn));
  if (doomed) {
    Print("vote: abort; the transaction was doomed and rolled back\n");
  } else if (committed) {
    Print("vote: commit; the transaction was committed\n");
  } else {
    Print(std::string("vote: commit; the transaction was rolled back") +
          (options.rollback ? " (--rollback)\n" : "\n"));
  }
  Print(ShowSql(SqlTrace::Entries()));
  return 0;
}

}  // namespace

void AddCallCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<CallOptions>();
  CLI::App* command = app.add_subcommand(
      "call",
      "Call one operation of a public class as the host does, inside a transaction, and print "
      "its result, its arguments after the call (* marks those it changed), the vote and the "
      "SQL it sent. The program supplies the property string (sDsn); give the others.");
  command->footer(std::string(kValueSyntaxHelp) +
                  "\nExamples: corva call factory.db CorvaMSHTransBills.clsPublic.GetHour 701\n"
                  "          corva call --rollback factory.db "
                  "CorvaMSHTransBills.clsMWorkBill.EndSave [{FInterID=2001}] ''\n"
                  "          corva call --list CorvaMSHTransBills.clsMWorkBill");
  command->add_option("DB", options->db,
                      "Path of an embedded database (corva init), or a whole property string "
                      "holding ConnectString= (with --list: a ProgID, to list one class)");
  command->add_option("OPERATION", options->operation,
                      "ProgID.Method, e.g. CorvaMSHTransBills.clsPublic.GetHour; the operation's "
                      "arguments but sDsn follow it, in order");
  // The arguments after OPERATION are taken exactly as written, as extras: an option of CLI11's
  // would split a "[...]" argument (a Vector in the value syntax) into several values.
  command->allow_extras();
  command->add_option("--language", options->language, "Language of messages (sets Language)")
      ->check(CLI::IsMember({"chs", "cht", "en"}));
  command->add_flag("--rollback", options->rollback,
                    "Roll the transaction back even when the call votes commit");
  command->add_flag("--list", options->list,
                    "List the public classes (or the one ProgID given) with every operation's "
                    "parameters, which are by reference (ByRef) and which may be left out");
  command->callback([command, options, exit_code] {
    options->arguments = command->remaining();
    *exit_code = RunCall(*options);
  });
}

}  // namespace corva::cli
