// corva sql run as a user runs it: a script split at GO lines, result sets printed as aligned
// tables with their row counts, errors as one line on stderr naming the line of the script, and
// the exit code telling whether every batch ran.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_db.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SqlCommandTest : public ::testing::Test {
 protected:
  SqlCommandTest() : dir_(corva::testing::test_db_internal::MakeTempFolder("corva_cli_test_")) {
    std::ofstream(dir_ / "test.db", std::ios::binary);  // corva sql opens databases that exist
  }
  ~SqlCommandTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Runs "corva sql <db> <script>" with `extra` options; returns the exit code.
  int Run(const std::string& script, const std::string& extra = "") {
    std::ofstream(dir_ / "script.sql", std::ios::binary) << script;
    std::string command = std::string(CORVA_BINARY_DIR) + "/tools/corva/corva sql " + extra + " " +
                          (dir_ / "test.db").string() + " " + (dir_ / "script.sql").string() +
                          " >" + (dir_ / "out").string() + " 2>" + (dir_ / "err").string();
    int status = std::system(command.c_str());
    out_ = ReadAll(dir_ / "out");
    err_ = ReadAll(dir_ / "err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::filesystem::path dir_;
  std::string out_;
  std::string err_;
};

TEST_F(SqlCommandTest, PrintsTablesAndCountsAndFailsOnABadBatch) {
  int code =
      Run("CREATE TABLE t_Item (FItemID int NOT NULL PRIMARY KEY, FName nvarchar(20), "
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

  EXPECT_EQ(Run("SELECT COUNT(*) AS n FROM t_Item WHERE FQty > 3", "--trace"), 0) << err_;
  EXPECT_EQ(out_, "n\n-\n2\n\n(1 row affected)\n\n");
  EXPECT_NE(err_.find("SELECT COUNT(*) AS n FROM t_Item WHERE FQty > 3"), std::string::npos);
}

}  // namespace
