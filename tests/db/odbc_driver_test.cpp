// The ODBC backend through a real driver manager and driver: unixODBC with SQLite's ODBC driver
// (Debian's libsqliteodbc, "Driver=SQLite3"), for everything that does not depend on SQL Server's
// dialect: connecting by a Driver= string, text in and out as UTF-16 (Chinese included), parameters
// of every type, row counts, the driver's native error numbers and messages, a connect that fails,
// and the connections of one host transaction sharing its work.
//
// The SQLite driver has no UTF-16 entry points, so the driver manager converts text to the
// process's character set on the way: the test runs under a UTF-8 locale, as a host serving
// Chinese text through such a driver must. A driver with UTF-16 entry points (SQL Server's) needs
// none.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "db/db_test_util.h"

namespace corva {
namespace {

using testing::OpenConnection;
using testing::ScratchDir;

class OdbcDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    connect_ = "Driver=SQLite3;Database=" + dir_.File("odbc.db");
    try {
      OpenConnection(connect_)->Execute(
          "CREATE TABLE t (id int, qty double, done bit, day datetime, code varchar(20),"
          " name nvarchar(40))");
    } catch (const Error& e) {
      // A build without unixODBC has no ODBC backend to test.
      if (e.Number() == 3706) GTEST_SKIP() << e.Description();
      FAIL() << e.Description();
    }
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }

  // The rows of `sql` on a connection of its own, columns joined by "|", rows by " ".
  std::string Rows(const std::string& sql) {
    std::string text;
    for (RecordsetPtr rs = OpenConnection(connect_)->Execute(sql); !rs->Eof(); rs->MoveNext()) {
      if (!text.empty()) text += " ";
      for (int i = 0; i < rs->FieldCount(); ++i) {
        text += (i ? "|" : "") + (rs->Fields(i).IsNull() ? "NULL" : rs->Fields(i).AsString());
      }
    }
    return text;
  }

  ScratchDir dir_;
  std::string connect_;
};

TEST_F(OdbcDriverTest, TextRowCountsFactsAndParametersCrossTheDriver) {
  ConnectionPtr c = OpenConnection(connect_);
  EXPECT_EQ(c->Properties("DBMS Name").AsString(), "SQLite");
  int64_t affected = 0;
  c->Execute("INSERT INTO t (id, name) VALUES (1, '工序计划单')", &affected);
  EXPECT_EQ(affected, 1);
  std::string long_name;
  for (int i = 0; i < 3000; ++i) long_name += "派";  // read back in several pieces
  c->Execute("INSERT INTO t (id, name) VALUES (2, '" + long_name + "')");
  c->Execute("UPDATE t SET code = 'x'", &affected);
  EXPECT_EQ(affected, 2);
  EXPECT_EQ(Rows("SELECT name, length(name) FROM t WHERE id = 1"), "工序计划单|5");
  EXPECT_EQ(Rows("SELECT name FROM t WHERE id = 2"), long_name);
  c->Execute("DELETE FROM t", &affected);
  EXPECT_EQ(affected, 2);

  // Parameters of every type, and Null of each.
  Command insert(c, "INSERT INTO t VALUES (?, ?, ?, ?, ?, ?)");
  insert.AppendParameter(ParamType::kInteger, 0, 42);
  insert.AppendParameter(ParamType::kDouble, 0, 2.5);
  insert.AppendParameter(ParamType::kBoolean, 0, true);
  insert.AppendParameter(ParamType::kDate, 0, Variant(Date::FromParts(2026, 3, 5, 8, 30)));
  insert.AppendParameter(ParamType::kVarChar, 5, "abcdefg");  // cut to its declared size
  insert.AppendParameter(ParamType::kVarWChar, 3, "派工单据");
  insert.Execute(&affected);
  EXPECT_EQ(affected, 1);
  Command nulls(c, "INSERT INTO t VALUES (?, ?, ?, ?, ?, ?)");
  for (ParamType type : {ParamType::kInteger, ParamType::kDouble, ParamType::kBoolean,
                         ParamType::kDate, ParamType::kVarChar, ParamType::kVarWChar}) {
    nulls.AppendParameter(type, 10, Variant::Null());
  }
  nulls.Execute();
  EXPECT_EQ(Rows("SELECT id, qty, done, day, code, name FROM t ORDER BY id"),
            "NULL|NULL|NULL|NULL|NULL|NULL 42|2.5|True|2026-03-05 08:30:00|abcde|派工单");
  Command find(c, "SELECT COUNT(*) FROM t WHERE name = ? AND id = ?");
  find.AppendParameter(ParamType::kVarWChar, 40, "派工单");
  find.AppendParameter(ParamType::kInteger, 0, "42");  // text read as a number
  EXPECT_EQ(find.Execute()->Fields(0).AsLong(), 1);
}

TEST_F(OdbcDriverTest, ErrorsCarryTheDriversNumberAndMessage) {
  try {
    OpenConnection(connect_)->Execute("SELECT * FROM missing");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 1);  // SQLite's own number, as the driver reports it
    EXPECT_NE(e.Description().find("no such table: missing"), std::string::npos);
    EXPECT_EQ(e.Description().find('['), std::string::npos) << e.Description();
  }
  try {
    OpenConnection("Driver=SQLite3;Database=" + dir_.File("no/such/folder.db") + ";PWD=secret");
    ADD_FAILURE() << "connected";
  } catch (const Error& e) {
    EXPECT_NE(e.Description().find("Cannot connect to the database"), std::string::npos);
    EXPECT_NE(e.Description().find("PWD=***"), std::string::npos) << e.Description();
    EXPECT_EQ(e.Description().find("secret"), std::string::npos);
  }
  try {
    OpenConnection("Driver=No Such Driver;Database=x");
    ADD_FAILURE() << "connected";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), -2147467259);  // no native number: the driver manager's own failure
    EXPECT_NE(e.Description().find("SQLSTATE"), std::string::npos) << e.Description();
  }
}

TEST_F(OdbcDriverTest, ConnectionsOfOneHostTransactionShareItsWork) {
  {
    TransactionScope scope;
    OpenConnection(connect_)->Execute("INSERT INTO t (id) VALUES (1)");
    // Another connection of the transaction sees the uncommitted row and adds to it.
    ConnectionPtr second = OpenConnection(connect_);
    EXPECT_EQ(second->Execute("SELECT COUNT(*) FROM t")->Fields(0).AsLong(), 1);
    second->Execute("INSERT INTO t (id) VALUES (2)");
  }  // no Commit: rolled back
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM t"), "0");
  {
    TransactionScope scope;
    OpenConnection(connect_)->Execute("INSERT INTO t (id) VALUES (3)");
    OpenConnection(connect_)->Execute("INSERT INTO t (id) VALUES (4)");
    EXPECT_TRUE(scope.Commit());
  }
  EXPECT_EQ(Rows("SELECT id FROM t ORDER BY id"), "3 4");
}

}  // namespace
}  // namespace corva
