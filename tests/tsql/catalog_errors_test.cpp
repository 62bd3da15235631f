// The engine's catalog of routines read from the database file: when it cannot be read the
// statement fails, instead of running as though the table had no triggers.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "corva/error.h"
#include "tsql/engine.h"

namespace corva::tsql {
namespace {

TEST(CatalogErrorsTest, AnUnreadableCatalogFailsTheStatementInsteadOfSkippingTriggers) {
  const std::string path =
      std::string(CORVA_BINARY_DIR) + "/catalog_errors_" + std::to_string(getpid()) + ".db";
  std::remove(path.c_str());
  {
    std::shared_ptr<Database> db = Database::Open(path);
    Session s(db->AcquireHandle());
    s.Execute("create table t (a int) create table log (n int)");
    s.Execute("create trigger t_log on t after insert as insert into log select a from inserted");
    s.Execute("insert into t values (1)");
    // Another program breaks the catalog table.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "ALTER TABLE corva_catalog RENAME TO corva_catalog_gone", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_THROW(s.Execute("insert into t values (2)"), corva::Error);
    BatchResult rows = s.Execute("select count(*) from t select count(*) from log");
    ASSERT_EQ(rows.result_sets.size(), 2u);
    EXPECT_EQ(rows.result_sets[0].rows[0][0].AsLong(), 1);  // nothing written without its trigger
    EXPECT_EQ(rows.result_sets[1].rows[0][0].AsLong(), 1);
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

}  // namespace
}  // namespace corva::tsql
