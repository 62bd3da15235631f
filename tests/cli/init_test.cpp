// corva init, run as a user runs it: the built program on a temporary path, its exit code, its
// progress and the property string it prints, and the database it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "corva/connection.h"
#include "db/schema_installer.h"
#include "support/run_corva.h"
#include "support/test_db.h"

namespace corva {
namespace {

namespace fs = std::filesystem;

using testing::ProgramRun;
using testing::RunCorva;

std::string LastLine(const std::string& text) {
  std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
  return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

class InitTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string File(const std::string& name) const { return (folder_ / name).string(); }

  fs::path folder_ = testing::test_db_internal::MakeTempFolder("corva_cli_");
};

double Count(const std::string& path, const std::string& table) {
  Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + path);
  return connection.Execute("select count(*) from " + table)->Fields(0).AsDouble();
}

TEST_F(InitTest, SampleDatabaseAndItsPropertyString) {
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

TEST_F(InitTest, RefusesAnExistingDatabaseUnlessForced) {
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

}  // namespace
}  // namespace corva
