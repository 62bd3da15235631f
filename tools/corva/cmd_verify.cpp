// corva verify [--repair] [--json] DB: recomputes every derived total of the shop-floor chain from
// its sources (corva::Verify) and prints each total that disagrees, as a table or as JSON; with
// --repair rewrites them in one transaction. Exit 0 consistent (or repaired), 1 drift found,
// 2 unreadable.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands.h"
#include "console.h"
#include "corva/error.h"
#include "corva/verify.h"
#include "table_printer.h"

namespace corva::cli {
namespace {

struct VerifyCommandOptions {
  std::string db;
  bool repair = false;
  bool work_in_process = true;
  bool json = false;
};

std::string Joined(const std::vector<std::string>& documents) {
  std::string text;
  for (const std::string& document : documents) {
    if (!text.empty()) text += ", ";
    text += document;
  }
  return text;
}

// {"consistent": bool, "repaired": bool, "totals_checked": [...], "drifts": [{...}]}. Quantities
// are exact decimal texts, never binary numbers.
void PrintJson(const std::vector<Drift>& drifts, bool repaired) {
  nlohmann::json out;
  out["consistent"] = drifts.empty();
  out["repaired"] = repaired && !drifts.empty();
  out["totals_checked"] = VerifiedTotals();
  out["drifts"] = nlohmann::json::array();
  for (const Drift& drift : drifts) {
    out["drifts"].push_back({{"total", drift.total},
                             {"table", drift.table},
                             {"key_column", drift.key_column},
                             {"row_id", drift.row_id},
                             {"column", drift.column},
                             {"stored", drift.stored.ToString()},
                             {"recomputed", drift.recomputed.ToString()},
                             {"documents", drift.documents}});
    if (!drift.move_no.empty()) out["drifts"].back()["move_no"] = drift.move_no;
    if (drift.entry_id != 0) out["drifts"].back()["entry_id"] = drift.entry_id;
  }
  std::printf("%s\n", out.dump(2).c_str());
}

void PrintText(const std::vector<Drift>& drifts, bool repaired) {
  const size_t kinds = VerifiedTotals().size();
  if (drifts.empty()) {
    std::printf("Consistent: every total of the %zu kinds checked agrees with its sources.\n",
                kinds);
    return;
  }
  // Ledger rows are named by operation and move number; the move number column shows only when
  // one of them drifted.
  bool ledger = false;
  for (const Drift& drift : drifts) ledger = ledger || drift.table == "SHMoveNoManage";
  std::vector<std::string> columns{"Table", "Row", "Column", "Stored", "Recomputed", "Documents"};
  if (ledger) columns.insert(columns.begin() + 2, "Move no");
  std::vector<std::vector<Variant>> rows;
  for (const Drift& drift : drifts) {
    // A material list line is named by its list and line: "1101/2".
    const Variant row =
        drift.entry_id == 0
            ? Variant(drift.row_id)
            : Variant(std::to_string(drift.row_id) + "/" + std::to_string(drift.entry_id));
    rows.push_back(
        {drift.table, row, drift.column, drift.stored, drift.recomputed, Joined(drift.documents)});
    if (ledger) rows.back().insert(rows.back().begin() + 2, drift.move_no);
  }
  std::printf("%zu total%s disagree%s with %s sources (%zu kinds checked):\n", drifts.size(),
              drifts.size() == 1 ? "" : "s", drifts.size() == 1 ? "s" : "",
              drifts.size() == 1 ? "its" : "their", kinds);
  std::printf("%s", FormatTable(columns, rows).c_str());
  if (repaired) {
    std::printf("Repaired: %zu total%s rewritten with the recomputed value, in one transaction.\n",
                drifts.size(), drifts.size() == 1 ? "" : "s");
  } else {
    std::printf("Nothing was written (--repair rewrites them).\n");
  }
}

int RunVerify(const VerifyCommandOptions& options) {
  std::vector<Drift> drifts;
  try {
    drifts = Verify(ConnectStringFor(options.db),
                    {.repair = options.repair, .work_in_process = options.work_in_process});
  } catch (const Error& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "corva verify: %s\n", ErrorLine(error).c_str());
    return 2;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "corva verify: %s\n", error.what());
    return 2;
  }
  if (options.json) {
    PrintJson(drifts, options.repair);
  } else {
    PrintText(drifts, options.repair);
  }
  // Drift found is 1 whether or not it was repaired, as a file system check answers "errors
  // corrected": a script learns that something had drifted; the output says what changed.
  return drifts.empty() ? 0 : 1;
}

}  // namespace

void AddVerifyCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<VerifyCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "verify",
      "Recompute every derived total of the shop-floor chain from its sources and report each "
      "one that disagrees (exit 0 consistent, 1 drift found, 2 database unreadable)");
  command->add_option("DB", options->db, "Path of an embedded database, or a connection string")
      ->required();
  command->add_flag("!--no-wip", options->work_in_process,
                    "Leave work in process of material list lines out (for a site that changed its "
                    "work-in-process settings since its last count)");
  command->add_flag("--repair", options->repair,
                    "Rewrite the drifted totals with their recomputed values, in one transaction "
                    "(still exit 1 when drift was found and repaired)");
  command->add_flag("--json", options->json, "Print the result as JSON");
  command->callback([options, exit_code] { *exit_code = RunVerify(*options); });
}

}  // namespace corva::cli
