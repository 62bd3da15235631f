// corva verify, run as a user runs it on the database the demo walked through the whole chain with
// the rules: consistent, then a total edited by hand is reported (as a table and as JSON) with the
// documents behind it, the repair rewrites it, and a database that cannot be read is exit code 2.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "corva/decimal.h"
#include "support/run_corva.h"
#include "support/test_db.h"

namespace corva {
namespace {

namespace fs = std::filesystem;

using testing::ProgramRun;
using testing::RunCorva;

TEST(VerifyCommandTest, DemoChainIsConsistentAndAHandEditIsFoundAndRepaired) {
  const fs::path folder = testing::test_db_internal::MakeTempFolder("corva_verify_");
  const std::string db = (folder / "demo.db").string();

  ProgramRun demo = RunCorva("demo " + db);
  ASSERT_EQ(demo.exit_code, 0) << demo.output;
  // The demo's own last step checks, edits, finds and repairs. What the walk leaves is what the
  // rules leave by design: the ledger row a delete re-totals with the deleted report counted, and
  // the steel's work in process consumed by reports under a setting the site then changed.
  const size_t step = demo.output.find("Consistency check");
  ASSERT_NE(step, std::string::npos);
  const std::string walk_left = demo.output.substr(step, demo.output.find("by design") - step);
  EXPECT_NE(walk_left.find("3 drifted"), std::string::npos) << walk_left;
  EXPECT_NE(walk_left.find("ledger.reported"), std::string::npos) << walk_left;
  EXPECT_NE(walk_left.find("material_line.in_process "), std::string::npos) << walk_left;
  EXPECT_NE(demo.output.find("FAuxQtyTaskDispSel", step), std::string::npos) << demo.output;

  ProgramRun clean = RunCorva("verify " + db);
  EXPECT_EQ(clean.exit_code, 0) << clean.output;
  EXPECT_NE(clean.output.find("Consistent"), std::string::npos) << clean.output;

  // A script raises the checked hand-over of cutting by 2.5.
  const std::string edit = (folder / "edit.sql").string();
  std::ofstream(edit) << "UPDATE SHWorkBillEntry SET FAuxQtyHandOver = FAuxQtyHandOver + 2.5 "
                         "WHERE FWBInterID = 2101\n";
  ASSERT_EQ(RunCorva("sql " + db + " " + edit).exit_code, 0);

  ProgramRun drift = RunCorva("verify --json " + db);
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
  EXPECT_EQ(RunCorva("verify " + db).exit_code, 1);  // still there: nothing was written

  ProgramRun repair = RunCorva("verify --repair " + db);
  EXPECT_EQ(repair.exit_code, 1) << repair.output;
  EXPECT_NE(repair.output.find("Repaired: 1 total"), std::string::npos) << repair.output;
  EXPECT_EQ(RunCorva("verify " + db).exit_code, 0);

  ProgramRun missing = RunCorva("verify " + (folder / "missing.db").string());
  EXPECT_EQ(missing.exit_code, 2) << missing.output;
  EXPECT_NE(missing.output.find("4060"), std::string::npos) << missing.output;

  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace corva
