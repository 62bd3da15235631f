// corva init, sql and verify run as a user runs them: the built program on temporary paths, its
// exit codes and what it prints (progress, the property string, result tables, errors naming the
// script's line, drift reports), and the databases it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "corva/connection.h"
#include "corva/decimal.h"
#include "db/schema_installer.h"
#include "support/run_corva.h"
#include "support/test_db.h"

namespace corva {
namespace {

namespace fs = std::filesystem;

using testing::ProgramRun;
using testing::RunCorva;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string LastLine(const std::string& text) {
  std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
  return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

double Count(const std::string& path, const std::string& table) {
  Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + path);
  return connection.Execute("select count(*) from " + table)->Fields(0).AsDouble();
}

// A temporary folder per test, removed afterwards.
class CommandTest : public ::testing::Test {
 protected:
  ~CommandTest() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string File(const std::string& name) const { return (folder_ / name).string(); }

  // Runs "corva sql <db> <script>" with `extra` options, keeping standard output and error apart;
  // returns the exit code.
  int RunSql(const std::string& db, const std::string& script, const std::string& extra = "") {
    std::ofstream(File("script.sql"), std::ios::binary) << script;
    std::string command = std::string(CORVA_BINARY_DIR) + "/tools/corva/corva sql " + extra + " " +
                          db + " " + File("script.sql") + " >" + File("out") + " 2>" + File("err");
    int status = std::system(command.c_str());
    out_ = ReadAll(File("out"));
    err_ = ReadAll(File("err"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path folder_ = testing::test_db_internal::MakeTempFolder("corva_cli_");
  std::string out_, err_;
};

TEST_F(CommandTest, InitMakesTheSampleDatabaseAndPrintsItsPropertyString) {
  std::string path = File("factory.db");
  ProgramRun run = RunCorva("init --sample '" + path + "'");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("  01_frame.sql\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("  sample/10_factory.sql\n"), std::string::npos) << run.output;
  std::string dsn = LastLine(run.output);
  EXPECT_EQ(dsn.rfind("ConnectString={Provider=SQLite;Data Source=" + path + "};", 0), 0u) << dsn;
  EXPECT_EQ(dsn, db::SampleDsn(path));
  EXPECT_EQ(Count(path, "ICMO"), 3);
  EXPECT_EQ(Count(path, "SHWorkBillEntry"), 3);
}

TEST_F(CommandTest, InitRefusesAnExistingDatabaseUnlessForced) {
  std::string path = File("site.db");
  ASSERT_EQ(RunCorva("init --sample " + path).exit_code, 0);
  ProgramRun refused = RunCorva("init " + path);
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.output.find("--force"), std::string::npos) << refused.output;

  ProgramRun forced = RunCorva("init --force " + path);
  ASSERT_EQ(forced.exit_code, 0) << forced.output;
  EXPECT_EQ(Count(path, "ICMO"), 0);  // a new database, without the sample
  EXPECT_GT(Count(path, "t_SystemProfile"), 0);

  ProgramRun nowhere = RunCorva("init " + File("missing/x.db"));
  EXPECT_EQ(nowhere.exit_code, 2);
  EXPECT_FALSE(fs::exists(File("missing")));
  EXPECT_NE(RunCorva("init").exit_code, 0);  // DB is required
}

// A script split at GO lines, result sets printed as aligned tables with their row counts, errors
// as one line on stderr naming the line of the script, and the exit code telling whether every
// batch ran.
TEST_F(CommandTest, SqlPrintsTablesAndCountsAndFailsOnABadBatch) {
  const std::string db = File("test.db");
  std::ofstream(db, std::ios::binary);  // corva sql opens databases that exist
  int code = RunSql(db,
                    "CREATE TABLE t_Item (FItemID int NOT NULL PRIMARY KEY, FName nvarchar(20), "
                    "FQty decimal(28,10))\n"
                    "INSERT INTO t_Item VALUES (1, N'螺栓', 2.5)\n"
                    "INSERT INTO t_Item VALUES (12, NULL, 10)\n"
                    "go\n"
                    "SELECT FItemID, FName, FQty FROM t_Item ORDER BY FItemID\n"
                    "  GO  \n"
                    "\n"
                    "SELECT FItemID\n"
                    "FROM t_Item WHERE )\n"
                    "GO\n"
                    "UPDATE t_Item SET FQty = FQty + 1\n");
  EXPECT_EQ(code, 1) << err_;
  EXPECT_EQ(out_,
            "(2 rows affected)\n"
            "\n"
            "FItemID FName FQty\n"
            "------- ----- ----\n"
            "      1 螺栓   2.5\n"
            "     12 NULL    10\n"
            "\n"
            "(2 rows affected)\n"
            "\n"
            "(2 rows affected)\n"
            "\n");
  // The error names the script's line, not the batch's.
  EXPECT_EQ(err_.rfind("Msg 102, line 9", 0), 0u) << err_;
  EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << err_;

  EXPECT_EQ(RunSql(db, "SELECT COUNT(*) AS n FROM t_Item WHERE FQty > 3", "--trace"), 0) << err_;
  EXPECT_EQ(out_, "n\n-\n2\n\n(1 row affected)\n\n");
  EXPECT_NE(err_.find("SELECT COUNT(*) AS n FROM t_Item WHERE FQty > 3"), std::string::npos);
}

// On the database the demo walked through the whole chain with the rules: consistent, then a total
// edited by hand is reported (as a table and as JSON) with the documents behind it, the repair
// rewrites it, and a database that cannot be read is exit code 2.
TEST_F(CommandTest, VerifyFindsAndRepairsAHandEditOfTheDemoChain) {
  const std::string db = File("demo.db");

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
  const std::string edit = File("edit.sql");
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

  ProgramRun missing = RunCorva("verify " + File("missing.db"));
  EXPECT_EQ(missing.exit_code, 2) << missing.output;
  EXPECT_NE(missing.output.find("4060"), std::string::npos) << missing.output;
}

}  // namespace
}  // namespace corva
