// Helpers of the database-layer tests: a scratch folder per test for embedded database files, and
// connection strings naming them.
#ifndef CORVA_TESTS_DB_DB_TEST_UTIL_H_
#define CORVA_TESTS_DB_DB_TEST_UTIL_H_

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "corva/connection.h"

namespace corva::testing {

// A folder that exists while the object lives, removed with everything in it afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("corva_db_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // "Provider=SQLite;Data Source=<folder>/<name>", the database created empty when missing (in a
  // folder that exists).
  std::string Connect(const std::string& name = "test.db") const {
    std::ofstream(File(name), std::ios::binary | std::ios::app);
    return "Provider=SQLite;Data Source=" + File(name);
  }

 private:
  std::filesystem::path path_;
};

// An open connection on `connect`.
inline ConnectionPtr OpenConnection(const std::string& connect) {
  auto connection = std::make_shared<Connection>();
  connection->Open(connect);
  return connection;
}

// The first column of the first row of `sql`'s first result set.
inline Variant Scalar(Connection& connection, const std::string& sql) {
  RecordsetPtr rs = connection.Execute(sql);
  return rs->Fields(0);
}

}  // namespace corva::testing

#endif  // CORVA_TESTS_DB_DB_TEST_UTIL_H_
