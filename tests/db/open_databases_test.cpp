// The process keeps embedded databases open between connections, and a transaction reads without
// the write lock: a database stays open after its last connection until closed idle, a file
// removed or replaced meanwhile is opened afresh, a call's reads go on beside a writer, and a call
// whose reads another transaction made stale before it wrote runs again.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "db/db_test_util.h"
#include "host/fakes.h"
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

// A call a host makes without a transaction of its own reads without the write lock: it goes on
// beside a host transaction that holds it.
TEST(OpenDatabasesTest, ReadersGoOnBesideAWriter) {
  ScratchDir dir;
  OpenConnection(dir.Connect())
      ->Execute(
          "CREATE TABLE t_Qty (FID int NOT NULL PRIMARY KEY, FQty decimal(28,10))\r\n"
          "INSERT INTO t_Qty VALUES (1, 5)");
  testing::RegistrationGuard guard("Test.QtyReader");
  testing::RegisterLambda("Test.QtyReader", [&](const std::string&, std::vector<Variant>&) {
    return Scalar(*OpenConnection(dir.Connect()), "SELECT FQty FROM t_Qty WHERE FID = 1");
  });
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
  std::vector<Variant> none;
  read.set_value(CreateObject("Test.QtyReader")->Invoke("Read", none).AsDouble());
  writer.join();
  EXPECT_DOUBLE_EQ(read_done.get(), 5.0);  // the committed value, not the writer's
  EXPECT_DOUBLE_EQ(
      Scalar(*OpenConnection(dir.Connect()), "SELECT FQty FROM t_Qty WHERE FID = 1").AsDouble(),
      6.0);
}

// A call in a transaction of its own that read, then wrote after another transaction committed a
// change to what it read, is run again from its arguments: no update is lost, whichever way the
// batch writes. A host transaction reads under the write lock, so what it read cannot go stale.
TEST(OpenDatabasesTest, ACallWhoseReadsWentStaleRunsAgain) {
  ScratchDir dir;
  OpenConnection(dir.Connect())
      ->Execute(
          "CREATE TABLE t_Qty (FID int NOT NULL PRIMARY KEY, FQty decimal(28,10))\r\n"
          "INSERT INTO t_Qty VALUES (1, 0)");
  OpenConnection(dir.Connect())
      ->Execute(
          "CREATE PROCEDURE bump @by int AS\r\n"
          "UPDATE t_Qty SET FQty = @by WHERE FID = 1\r\n"
          "SELECT FQty FROM t_Qty WHERE FID = 1");
  // Set(write): reads the quantity, lets another transaction add 1 (on its first run only), then
  // writes what it read plus 10 — a lost update unless the stale read is noticed.
  int runs = 0;
  testing::RegistrationGuard guard("Test.QtySetter");
  testing::RegisterLambda("Test.QtySetter", [&](const std::string&, std::vector<Variant>& args) {
    ++runs;
    ConnectionPtr c = OpenConnection(dir.Connect());
    int64_t seen = Scalar(*c, "SELECT FQty FROM t_Qty WHERE FID = 1").AsLong();
    if (runs == 1) {
      std::thread([&] {
        TransactionScope other;
        OpenConnection(dir.Connect())->Execute("UPDATE t_Qty SET FQty = FQty + 1 WHERE FID = 1");
        other.Commit();
      }).join();
    }
    std::string write = args[0].AsString();
    const std::string value = std::to_string(seen + 10);
    for (size_t at; (at = write.find("@v")) != std::string::npos;) write.replace(at, 2, value);
    c->Execute(write);
    return Variant(true);
  });
  const char* const kWrites[] = {
      "UPDATE t_Qty SET FQty = @v WHERE FID = 1",
      "UPDATE q SET q.FQty = @v FROM t_Qty q WHERE q.FID = 1",
      "EXEC bump @v",
      "CREATE TABLE #seen (FQty decimal(28,10))\r\nINSERT INTO #seen EXEC bump @v",
  };
  int64_t expected = 0;
  for (const char* write : kWrites) {
    SCOPED_TRACE(write);
    runs = 0;
    std::vector<Variant> args{write};
    EXPECT_TRUE(CreateObject("Test.QtySetter")->Invoke("Set", args).AsBool());
    EXPECT_EQ(runs, 2);
    expected += 11;
    EXPECT_EQ(
        Scalar(*OpenConnection(dir.Connect()), "SELECT FQty FROM t_Qty WHERE FID = 1").AsLong(),
        expected);
  }
}

}  // namespace
}  // namespace corva
