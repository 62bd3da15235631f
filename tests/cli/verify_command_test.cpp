// corva verify, run as a user runs it on the database the demo walked through the whole chain with
// the rules: consistent, then a total edited by hand is reported (as a table and as JSON) with the
// documents behind it, the repair rewrites it, and a database that cannot be read is exit code 2.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "corva/decimal.h"

namespace corva {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int exit_code = -1;
  std::string output;  // standard output and error together
};

ProgramRun Corva(const std::string& arguments) {
  std::string command = std::string(CORVA_BINARY_DIR) + "/tools/corva/corva " + arguments + " 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, read);
  int status = pclose(pipe);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

TEST(VerifyCommandTest, DemoChainIsConsistentAndAHandEditIsFoundAndRepaired) {
  std::string pattern = (fs::temp_directory_path() / "corva_verify_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;
  const std::string db = (folder / "demo.db").string();

  ProgramRun demo = Corva("demo " + db);
  ASSERT_EQ(demo.exit_code, 0) << demo.output;
  // The demo's own last step checks, edits, finds and repairs. What the walk leaves is the one
  // ledger row the rules leave by design (a delete re-totals it with the deleted report counted).
  const size_t step = demo.output.find("Consistency check");
  ASSERT_NE(step, std::string::npos);
  const std::string walk_left = demo.output.substr(step, demo.output.find("by design") - step);
  EXPECT_NE(walk_left.find("1 drifted"), std::string::npos) << walk_left;
  EXPECT_NE(walk_left.find("ledger.reported"), std::string::npos) << walk_left;
  EXPECT_NE(demo.output.find("FAuxQtyTaskDispSel", step), std::string::npos) << demo.output;

  ProgramRun clean = Corva("verify " + db);
  EXPECT_EQ(clean.exit_code, 0) << clean.output;
  EXPECT_NE(clean.output.find("Consistent"), std::string::npos) << clean.output;

  // A script raises the checked hand-over of cutting by 2.5.
  const std::string edit = (folder / "edit.sql").string();
  std::ofstream(edit) << "UPDATE SHWorkBillEntry SET FAuxQtyHandOver = FAuxQtyHandOver + 2.5 "
                         "WHERE FWBInterID = 2101\n";
  ASSERT_EQ(Corva("sql " + db + " " + edit).exit_code, 0);

  ProgramRun drift = Corva("verify --json " + db);
  EXPECT_EQ(drift.exit_code, 1) << drift.output;
  nlohmann::json report = nlohmann::json::parse(drift.output);
  ASSERT_EQ(report["drifts"].size(), 1u) << drift.output;
  const nlohmann::json& found = report["drifts"][0];
  EXPECT_EQ(found["total"], "operation.handed_over_checked");
  EXPECT_EQ(found["row_id"], 2101);
  // Exact decimal texts: stored = recomputed + 2.5.
  Decimal stored, recomputed, difference;
  ASSERT_TRUE(Decimal::Parse(found["stored"].get<std::string>(), &stored));
  ASSERT_TRUE(Decimal::Parse(found["recomputed"].get<std::string>(), &recomputed));
  ASSERT_TRUE(Decimal::Subtract(stored, recomputed, &difference));
  EXPECT_EQ(difference.ToString(), "2.5");
  EXPECT_FALSE(found["documents"].empty());
  EXPECT_EQ(Corva("verify " + db).exit_code, 1);  // still there: nothing was written

  ProgramRun repair = Corva("verify --repair " + db);
  EXPECT_EQ(repair.exit_code, 1) << repair.output;
  EXPECT_NE(repair.output.find("Repaired: 1 total"), std::string::npos) << repair.output;
  EXPECT_EQ(Corva("verify " + db).exit_code, 0);

  ProgramRun missing = Corva("verify " + (folder / "missing.db").string());
  EXPECT_EQ(missing.exit_code, 2) << missing.output;
  EXPECT_NE(missing.output.find("4060"), std::string::npos) << missing.output;

  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace corva
