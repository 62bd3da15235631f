// The process keeps embedded databases open between connections, and a transaction reads without
// the write lock: a database stays open after its last connection until closed idle, a file
// removed or replaced meanwhile is opened afresh, readers go on beside a writer, and a transaction
// that read before another one committed still writes (after waiting) instead of failing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "db/db_test_util.h"
#include "tsql/engine.h"

namespace corva {
namespace {

namespace fs = std::filesystem;
using testing::OpenConnection;
using testing::Scalar;
using testing::ScratchDir;

void RemoveDatabase(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
}

TEST(OpenDatabasesTest, KeptOpenUntilIdleAndOpenedAfreshWhenTheFileChanges) {
  ScratchDir dir;
  const std::string path = dir.File("shop.db");
  OpenConnection(dir.Connect("shop.db"))
      ->Execute("CREATE TABLE t (FName varchar(10))\r\nINSERT INTO t VALUES ('first')");
  // No connection is left, yet the database is open: its log is still there.
  EXPECT_TRUE(fs::exists(path + "-wal"));
  OpenConnection(dir.Connect("other.db"))
      ->Execute("CREATE TABLE t (FName varchar(10))\r\nINSERT INTO t VALUES ('second')");
  // Closing what is idle folds each log into its file and removes it.
  tsql::CloseIdleDatabases();
  EXPECT_FALSE(fs::exists(path + "-wal"));

  // Open again (and kept open), then replace the file by another database under the same name.
  EXPECT_EQ(Scalar(*OpenConnection(dir.Connect("shop.db")), "SELECT FName FROM t").AsString(),
            "first");
  RemoveDatabase(path);
  fs::rename(dir.File("other.db"), path);
  EXPECT_EQ(Scalar(*OpenConnection(dir.Connect("shop.db")), "SELECT FName FROM t").AsString(),
            "second");
  // A relative spelling of the same file finds the same database.
  fs::path cwd = fs::current_path();
  fs::current_path(fs::path(path).parent_path());
  EXPECT_EQ(Scalar(*OpenConnection("Provider=SQLite;Data Source=./shop.db"), "SELECT FName FROM t")
                .AsString(),
            "second");
  fs::current_path(cwd);

  // Removed: the path is a new, empty database.
  RemoveDatabase(path);
  try {
    OpenConnection(dir.Connect("shop.db"))->Execute("SELECT FName FROM t");
    FAIL() << "the removed database was still served";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 208);
  }
}

TEST(OpenDatabasesTest, ReadersGoOnBesideAWriter) {
  ScratchDir dir;
  OpenConnection(dir.Connect())
      ->Execute(
          "CREATE TABLE t_Qty (FID int NOT NULL PRIMARY KEY, FQty decimal(28,10))\r\n"
          "INSERT INTO t_Qty VALUES (1, 5)");
  std::promise<void> writing;
  std::promise<double> read;
  std::future<double> read_done = read.get_future();
  std::thread writer([&] {
    TransactionScope scope;
    OpenConnection(dir.Connect())->Execute("UPDATE t_Qty SET FQty = 6 WHERE FID = 1");
    writing.set_value();
    // The reader must finish while this transaction holds the write lock.
    EXPECT_EQ(read_done.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "a reader waited for the writer";
    scope.Commit();
  });
  writing.get_future().wait();
  {
    TransactionScope scope;
    ConnectionPtr c = OpenConnection(dir.Connect());
    read.set_value(Scalar(*c, "SELECT FQty FROM t_Qty WHERE FID = 1").AsDouble());
    scope.Commit();
  }
  writer.join();
  EXPECT_DOUBLE_EQ(read_done.get(), 5.0);  // the committed value, not the writer's
  EXPECT_DOUBLE_EQ(
      Scalar(*OpenConnection(dir.Connect()), "SELECT FQty FROM t_Qty WHERE FID = 1").AsDouble(),
      6.0);
}

// Each way a batch writes must be known before it runs: the write then starts from a fresh
// snapshot, where an upgrade of the stale one would fail (1205).
TEST(OpenDatabasesTest, AWriterThatReadBeforeAnotherCommitWaitsAndWrites) {
  ScratchDir dir;
  OpenConnection(dir.Connect())
      ->Execute(
          "CREATE TABLE t_Qty (FID int NOT NULL PRIMARY KEY, FQty decimal(28,10))\r\n"
          "INSERT INTO t_Qty VALUES (1, 0)");
  OpenConnection(dir.Connect())
      ->Execute(
          "CREATE PROCEDURE bump @by int AS\r\n"
          "UPDATE t_Qty SET FQty = FQty + @by WHERE FID = 1\r\n"
          "SELECT FQty FROM t_Qty WHERE FID = 1");
  const char* const kWrites[] = {
      "UPDATE t_Qty SET FQty = FQty + 10 WHERE FID = 1",
      "UPDATE q SET q.FQty = q.FQty + 10 FROM t_Qty q WHERE q.FID = 1",
      "EXEC bump 10",
      "CREATE TABLE #seen (FQty decimal(28,10))\r\nINSERT INTO #seen EXEC bump 10",
  };
  double expected = 0;
  for (const char* write : kWrites) {
    SCOPED_TRACE(write);
    TransactionScope scope;
    ConnectionPtr c = OpenConnection(dir.Connect());
    EXPECT_DOUBLE_EQ(Scalar(*c, "SELECT FQty FROM t_Qty WHERE FID = 1").AsDouble(), expected);
    // Another transaction writes and commits after this one read...
    std::thread([&] {
      TransactionScope other;
      OpenConnection(dir.Connect())->Execute("UPDATE t_Qty SET FQty = FQty + 1 WHERE FID = 1");
      other.Commit();
    }).join();
    // ...and this one still writes, on top of the other's commit.
    EXPECT_NO_THROW(c->Execute(write));
    expected += 11;
    EXPECT_DOUBLE_EQ(Scalar(*c, "SELECT FQty FROM t_Qty WHERE FID = 1").AsDouble(), expected);
    c->Close();
    EXPECT_TRUE(scope.Commit());
  }
}

}  // namespace
}  // namespace corva
