// TestDatabase: a fresh embedded database file with the schema installed (optionally the sample
// factory too), in a temporary folder of its own, for tests of the rules. The schema is installed
// once per process into a template file, which each TestDatabase copies: the engine keeps its
// catalog (procedures, triggers) in the database file, so a copy is complete.
#ifndef CORVA_TESTS_SUPPORT_TEST_DB_H_
#define CORVA_TESTS_SUPPORT_TEST_DB_H_

#include <stdlib.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "corva/connection.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "corva/variant.h"
#include "db/schema_installer.h"
#include "tsql/engine.h"

namespace corva::testing {

namespace test_db_internal {

// A new, empty folder under the system's temporary folder.
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder from " + pattern);
  }
  // Canonical, as the embedded backend names the database it opens.
  return std::filesystem::canonical(pattern);
}

// The database file and, when the engine keeps one, its write-ahead log (a copy without the log
// would lack the last commits).
inline void CopyDatabase(const std::filesystem::path& from, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::path wal = from.string() + "-wal";
  std::error_code ignored;
  if (fs::exists(wal, ignored)) {
    fs::copy_file(wal, to.string() + "-wal", fs::copy_options::overwrite_existing);
  }
}

// The process's template databases, built on first use and removed when the process exits.
class Templates {
 public:
  static Templates& Instance() {
    static Templates templates;
    return templates;
  }

  // The template with the schema, and with the sample factory when `sample`. Throws what the
  // installation threw, on every call once it failed.
  std::filesystem::path Get(bool sample) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entries_[sample ? 1 : 0];
    if (!entry.built) {
      entry.built = true;
      if (folder_.empty()) folder_ = MakeTempFolder("corva_templates_");
      entry.path = folder_ / (sample ? "sample.db" : "schema.db");
      entry.failure = Build(entry.path, sample);
    }
    if (entry.failure) std::rethrow_exception(entry.failure);
    return entry.path;
  }

 private:
  struct Entry {
    bool built = false;
    std::filesystem::path path;
    std::exception_ptr failure;
  };

  ~Templates() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  // Installs on a thread of its own, so that a transaction active on the test's thread has no part
  // in it, inside one transaction of its own, so that the statements do not each commit to disk.
  static std::exception_ptr Build(const std::filesystem::path& path, bool sample) {
    std::exception_ptr failure;
    std::thread builder([&] {
      try {
        db::CreateDatabaseFile(path.string());
        TransactionScope transaction;
        {
          Connection connection;
          connection.Open("Provider=SQLite;Data Source=" + path.string());
          db::InstallSchema(connection, sample);
        }
        if (!transaction.Commit()) throw std::runtime_error("installing the schema rolled back");
        // The engine keeps databases open; closing the template folds its log into the file, so
        // that a copy of the file alone is complete.
        tsql::CloseIdleDatabases();
      } catch (...) {
        failure = std::current_exception();
      }
    });
    builder.join();
    return failure;
  }

  std::mutex mutex_;
  std::filesystem::path folder_;
  Entry entries_[2];
};

}  // namespace test_db_internal

// A fresh database file for one test, removed with its folder when the object goes:
// `TestDatabase db;` holds the schema, `TestDatabase db(TestDatabase::Contents::kSample);` the
// sample factory too. Execute, Query and Scalar each open a connection of their own, which joins
// the thread's transaction when one is active (a corva::TransactionScope), as every connection
// does.
class TestDatabase {
 public:
  enum class Contents { kSchema, kSample };

  explicit TestDatabase(Contents contents = Contents::kSchema) {
    std::filesystem::path source =
        test_db_internal::Templates::Instance().Get(contents == Contents::kSample);
    folder_ = test_db_internal::MakeTempFolder("corva_test_");
    path_ = (folder_ / "test.db").string();
    test_db_internal::CopyDatabase(source, path_);
    connect_string_ = "Provider=SQLite;Data Source=" + path_;
    dsn_ = db::SampleDsn(path_);
    keep_open_ = tsql::Database::Open(path_);
  }
  ~TestDatabase() {
    keep_open_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The property string (sDsn) of a caller whose language is "chs", or `language`.
  const std::string& dsn() const { return dsn_; }
  std::string dsn(const std::string& language) const { return db::SampleDsn(path_, language); }
  // The database file and the connection string that opens it.
  const std::string& path() const { return path_; }
  const std::string& connect_string() const { return connect_string_; }

  // Runs a batch; a failure throws corva::Error with the engine's number and message.
  void Execute(const std::string& sql) const { Open()->Execute(sql); }
  // The first result set of a batch.
  RecordsetPtr Query(const std::string& sql) const { return Open()->Execute(sql); }
  // The first column of the first row of a batch's first result set (Empty when there is none).
  Variant Scalar(const std::string& sql) const {
    RecordsetPtr rows = Query(sql);
    if (!rows->IsOpen() || rows->Eof()) return Variant();
    return rows->Fields(0);
  }

 private:
  ConnectionPtr Open() const {
    auto connection = std::make_shared<Connection>();
    connection->Open(connect_string_);
    return connection;
  }

  std::filesystem::path folder_;
  std::string path_;
  std::string connect_string_;
  std::string dsn_;
  // Keeps the engine's database (its catalog and pooled connections) alive between the short-lived
  // connections of Execute and Query and those of the code under test.
  std::shared_ptr<tsql::Database> keep_open_;
};

}  // namespace corva::testing

#endif  // CORVA_TESTS_SUPPORT_TEST_DB_H_
