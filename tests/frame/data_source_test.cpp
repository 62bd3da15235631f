// CDataSource on embedded databases: fresh connections, the process-wide cache of provider facts
// (filled once per product and version), column-type lookups and the error check; and the two
// settings readers built on it, GetSystemProfile and GetLoginUserID.
#include "frame/data_source.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "corva/error.h"
#include "corva/sql_trace.h"
#include "frame/profile.h"
#include "support/test_db.h"

namespace corva::frame {
namespace {

using corva::testing::TestDatabase;

// A data source on `connect` whose property string names the product `name` `version`.
CDataSource MakeSource(const std::string& connect, const std::string& name,
                       const std::string& version) {
  auto parse = std::make_shared<CParse>();
  parse->ParseString("ConnectString={" + connect + "};UserID=16394;DBMS Name=" + name +
                     ";DBMS Version=" + version);
  CDataSource ds;
  ds.SetParseObject(parse);
  return ds;
}

// A product version no other case uses, so that its cache groups start unfilled.
std::string FreshVersion() {
  static int counter = 0;
  return "9.0.test" + std::to_string(++counter);
}

// How often a "DataSource" group was filled since the log was cleared.
int CountFills() {
  int fills = 0;
  for (const TraceEntry& entry : SqlTrace::Entries()) {
    if (entry.sql == "SELECT FProcName FROM t_SupportedProc") ++fills;
  }
  return fills;
}

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SqlTrace::EnableProcess(true);
    SqlTrace::Clear();
  }
  void TearDown() override {
    SqlTrace::EnableProcess(false);
    SqlTrace::Clear();
  }
};

TEST_F(DataSourceTest, ConnectionsAreNewAndNamesComeFromThePropertyString) {
  TestDatabase db;
  CDataSource ds = MakeSource(db.connect_string(), "oracle", FreshVersion());
  ConnectionPtr first = ds.Connection();
  ConnectionPtr second = ds.Connection();
  EXPECT_NE(first.get(), second.get());
  EXPECT_TRUE(first->IsOpen());
  EXPECT_TRUE(second->IsOpen());
  EXPECT_TRUE(ds.UnCommittedConnection()->IsOpen());
  EXPECT_EQ(ds.ConnectString(), db.connect_string());
  EXPECT_EQ(ds.DBMSName(), "oracle");
  EXPECT_FALSE(ds.IsOracle());
  EXPECT_TRUE(MakeSource(db.connect_string(), "Oracle", "1").IsOracle());

  CDataSource unset;
  EXPECT_THROW(unset.Connection(), Error);
}

TEST_F(DataSourceTest, FactsAreReadOncePerProductAndVersion) {
  TestDatabase db;
  const std::string version = FreshVersion();
  CDataSource ds = MakeSource(db.connect_string(), "Corva SQL", version);
  std::string provider_version = ds.Connection()->Properties("DBMS Version").ToText();
  SqlTrace::Clear();

  EXPECT_EQ(ds.DBMSVersion(), provider_version);
  EXPECT_TRUE(ds.MultipleResults());
  EXPECT_TRUE(ds.LikeEscapeClause());
  EXPECT_TRUE(ds.IEF());
  EXPECT_NE(ds.StringFunctions(), 0);
  EXPECT_NE(ds.DateTimeFunctions(), 0);
  EXPECT_TRUE(ds.ProcSupported("prc_SHUpdateBillDoubleQty"));
  EXPECT_TRUE(ds.ProcSupported("PRC_SHUPDATEBILLDOUBLEQTY"));
  EXPECT_FALSE(ds.ProcSupported("prc_NoSuchProc"));
  EXPECT_EQ(CountFills(), 1);

  // Another database of the same product and version reads the same cached facts, even though
  // its own table of procedures is empty.
  TestDatabase other;
  other.Execute("DELETE FROM t_SupportedProc");
  EXPECT_TRUE(MakeSource(other.connect_string(), "Corva SQL", version)
                  .ProcSupported("prc_SHUpdateBillDoubleQty"));
  EXPECT_EQ(CountFills(), 1);

  // A different version, or a different product name, has a group of its own.
  EXPECT_FALSE(MakeSource(other.connect_string(), "Corva SQL", FreshVersion())
                   .ProcSupported("prc_SHUpdateBillDoubleQty"));
  EXPECT_FALSE(MakeSource(other.connect_string(), "Corva SQL2", version)
                   .ProcSupported("prc_SHUpdateBillDoubleQty"));
  EXPECT_EQ(CountFills(), 3);
}

TEST_F(DataSourceTest, FailuresLeaveFactsUnknownWithoutRaising) {
  // A database that cannot be opened: nothing is cached and every fact reads as unknown.
  CDataSource broken = MakeSource("Provider=SQLite;Data Source=/nonexistent-corva-folder/x.db",
                                  "Corva SQL", FreshVersion());
  EXPECT_EQ(broken.DBMSVersion(), "");
  EXPECT_FALSE(broken.MultipleResults());
  EXPECT_EQ(broken.NumericFunctions(), 0);
  EXPECT_FALSE(broken.ProcSupported("prc_SHUpdateBillDoubleQty"));

  // A database without the table of procedures: that step is skipped, the other facts stay.
  TestDatabase db;
  db.Execute("DROP TABLE t_SupportedProc");
  CDataSource ds = MakeSource(db.connect_string(), "Corva SQL", FreshVersion());
  EXPECT_FALSE(ds.ProcSupported("prc_SHUpdateBillDoubleQty"));
  EXPECT_TRUE(ds.LikeEscapeClause());
  EXPECT_EQ(CountFills(), 1);
}

TEST_F(DataSourceTest, TwoThreadsFillingAtOnceAgree) {
  TestDatabase db;
  const std::string version = FreshVersion();
  bool answers[2] = {false, false};
  std::vector<std::thread> threads;
  for (bool& answer : answers) {
    threads.emplace_back([&] {
      answer = MakeSource(db.connect_string(), "Corva SQL", version)
                   .ProcSupported("prc_SHUpdateBillDoubleQty");
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_TRUE(answers[0]);
  EXPECT_TRUE(answers[1]);
  int fills = CountFills();
  EXPECT_GE(fills, 1);
  EXPECT_LE(fills, 2);
  EXPECT_TRUE(MakeSource(db.connect_string(), "Corva SQL", version).IEF());
  EXPECT_EQ(CountFills(), fills);
}

TEST_F(DataSourceTest, TypeLookupsLimitLengthAndScale) {
  TestDatabase db;
  CDataSource ds = MakeSource(db.connect_string(), "Corva SQL", FreshVersion());
  int32_t length = 50;
  int32_t scale = 40;
  EXPECT_EQ(ds.GetTypeName(3, length, scale), "decimal(38,38)");
  length = 9000;
  scale = 0;
  EXPECT_EQ(ds.GetTypeName(5, length, scale), "varchar(8000)");
  EXPECT_EQ(ds.GetTypeName(1, length, scale), "int");

  length = 100;
  EXPECT_EQ(ds.GetActualType(6, length, scale), 202);
  EXPECT_EQ(length, 100);  // no fixed size: the declared length
  EXPECT_EQ(ds.GetActualType(1, length, scale), 3);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(ds.GetBindType(7), 135);
  EXPECT_THROW(ds.GetBindType(99), Error);

  RecordsetPtr rs = db.Query("SELECT 7 AS FDataType, 'x' AS FTypeName");
  DictionaryPtr record = RecordToDictionary(*rs);
  EXPECT_EQ(record->Count(), 2);
  EXPECT_EQ(record->Value("FDataType").AsLong(), 7);
  EXPECT_EQ(record->Value("ftypename").AsString(), "x");
}

TEST_F(DataSourceTest, HasADOErrorReportsTheCollectedErrors) {
  TestDatabase db;
  CDataSource ds = MakeSource(db.connect_string(), "Corva SQL", FreshVersion());
  ConnectionPtr cn = ds.Connection();
  EXPECT_FALSE(ds.HasADOError(*cn, false));
  EXPECT_FALSE(ds.HasADOError(*cn, true));

  EXPECT_THROW(cn->Execute("SELECT * FROM NoSuchTable"), Error);
  ASSERT_EQ(cn->Errors().size(), 1u);
  const Error& collected = cn->Errors().front();
  EXPECT_TRUE(ds.HasADOError(*cn, false));
  try {
    ds.HasADOError(*cn, true);
    FAIL() << "a real error must be raised";
  } catch (const Error& raised) {
    EXPECT_EQ(raised.Number(), 208);
    std::string n = std::to_string(collected.Number());
    EXPECT_EQ(raised.Description(), "Number:" + n + "\r\nSource:" + collected.Source() +
                                        "\r\nDescription:" + collected.Description() +
                                        "\r\nNativeError:" + n + "\r\nSQLState:\r\n");
  }

  // The next batch starts a new list.
  cn->Execute("SELECT 1");
  EXPECT_TRUE(cn->Errors().empty());
  EXPECT_FALSE(ds.HasADOError(*cn, true));
}

TEST_F(DataSourceTest, SystemProfileAndLoginUser) {
  TestDatabase db;
  db.Execute(
      "INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES ('SH', 'CorvaTestKey', '7')");
  auto parse = std::make_shared<CParse>();
  parse->ParseString(db.dsn());
  CDataSource ds;
  ds.SetParseObject(parse);

  EXPECT_EQ(GetSystemProfile(ds, "CorvaTestKey", "SH", 3).ToText(), "7");
  EXPECT_EQ(GetSystemProfile(ds, "CorvaTestKey", "IC", 3).AsLong(), 3);
  Variant none = GetSystemProfile(ds, "CorvaNoSuchKey", "SH");
  EXPECT_EQ(none.Type(), VarType::kString);
  EXPECT_EQ(none.AsString(), "");

  EXPECT_EQ(GetLoginUserID(ds), 16394);
  parse->ParseString("ConnectString={" + db.connect_string() + "}");
  EXPECT_THROW(GetLoginUserID(ds), Error);  // no "UserID" in the property string
  parse->ParseString("ConnectString={Provider=SQLite;Data Source=/nonexistent-corva-folder/x.db}");
  EXPECT_THROW(GetSystemProfile(ds, "CorvaTestKey", "SH"), Error);
}

}  // namespace
}  // namespace corva::frame
