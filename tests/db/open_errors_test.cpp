// Opening an embedded database that is not there or is not a database: error 4060 with a reason
// that names the file once, and no file made behind the caller's back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "corva/connection.h"
#include "corva/error.h"
#include "db/db_test_util.h"
#include "db/schema_installer.h"

namespace corva {
namespace {

using testing::ScratchDir;

// The error opening `path` gives; number 0 when it opens.
Error OpenError(const std::string& path) {
  try {
    Connection connection;
    connection.Open("Provider=SQLite;Data Source=" + path);
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "", "opened");
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(OpenErrorsTest, MissingOrForeignFilesSayWhyOnceAndNothingIsCreated) {
  ScratchDir dir;
  const std::string missing = dir.File("missing.db");
  Error e = OpenError(missing);
  EXPECT_EQ(e.Number(), 4060);
  EXPECT_NE(e.Description().find(missing), std::string::npos) << e.Description();
  EXPECT_NE(e.Description().find("does not exist"), std::string::npos) << e.Description();
  EXPECT_FALSE(std::filesystem::exists(missing));

  const std::string text = dir.File("notes.db");
  std::ofstream(text, std::ios::binary) << std::string(8192, 'x');
  e = OpenError(text);
  EXPECT_EQ(e.Number(), 4060);
  EXPECT_NE(e.Description().find("not a database"), std::string::npos) << e.Description();
  EXPECT_EQ(Occurrences(e.Description(), "Cannot open database"), 1u) << e.Description();

  e = OpenError(dir.File("no/such/folder/x.db"));
  EXPECT_EQ(e.Number(), 4060);
  EXPECT_EQ(Occurrences(e.Description(), "Cannot open database"), 1u) << e.Description();

  // A database made on purpose opens, empty.
  db::CreateDatabaseFile(missing);
  EXPECT_EQ(OpenError(missing).Number(), 0);
}

}  // namespace
}  // namespace corva
