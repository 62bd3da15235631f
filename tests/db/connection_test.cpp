// The database layer outside transactions: connection strings and their translation for ODBC,
// opening and its failures, provider facts, batches with several result sets, typed command
// parameters, native error numbers, the statement log with its connection names; and the
// Recordset a rule walks: reading fields, the equality filter and the errors a rule meets when it
// reads past the end or a closed result.
#include "corva/connection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "corva/error.h"
#include "corva/sql_trace.h"
#include "db/connection_string.h"
#include "db/db_test_util.h"
#include "db/odbc/odbc_connect_string.h"
#include "db/schema_installer.h"
#include "support/error_number.h"

namespace corva {
namespace {

using db::ConnectionString;
using testing::OpenConnection;
using testing::Scalar;
using testing::ScratchDir;

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

using testing::ErrorNumberOf;

TEST(ConnectionStringTest, QuotedBracedAndRepeatedValues) {
  ConnectionString cs = ConnectionString::Parse(
      " Provider = SQLite ; data source={C:\\a;b}}c.db};Password='it''s';Name=\"x=y\";;"
      "PROVIDER=Other");
  EXPECT_EQ(cs.Get("Data Source"), "C:\\a;b}c.db");
  EXPECT_EQ(cs.Get("password"), "it's");
  EXPECT_EQ(cs.Get("NAME"), "x=y");
  EXPECT_EQ(cs.Get("Provider"), "Other");  // the last one given wins
  EXPECT_EQ(cs.Items().size(), 4u);
  EXPECT_EQ(cs.Get("Missing", "dflt"), "dflt");

  for (const char* bad : {"Provider", "=x", "A={open", "A='x' y"}) {
    EXPECT_EQ(ErrorNumberOf([&] { ConnectionString::Parse(bad); }), 3001) << bad;
  }
  // What QuoteValue writes reads back unchanged.
  std::string odd = "a;b}c";
  EXPECT_EQ(ConnectionString::Parse("K=" + ConnectionString::QuoteValue(odd)).Get("K"), odd);
}

TEST(ConnectionStringTest, OleDbFormBecomesOdbcForm) {
  auto odbc = [](const char* text) {
    return db::ToOdbcConnectString(ConnectionString::Parse(text));
  };
  EXPECT_EQ(odbc("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=srv\\inst;"
                 "Initial Catalog=AIS2024;User ID=sa;Password={p;w};Connect Timeout=15"),
            "Driver={ODBC Driver 18 for SQL Server};Server=srv\\inst;Database=AIS2024;UID=sa;"
            "PWD={p;w}");
  EXPECT_EQ(odbc("Provider=SQLOLEDB;Driver=FreeTDS;Server=srv;Port=1433;"
                 "Integrated Security=SSPI;TrustServerCertificate=yes"),
            "Driver={FreeTDS};Server=srv;Port=1433;Trusted_Connection=yes;"
            "TrustServerCertificate=yes");
  EXPECT_EQ(odbc("DSN=plant;UID=u;PWD={a;b}"), "DSN=plant;UID=u;PWD={a;b}");
  EXPECT_EQ(db::RedactOdbcConnectString("Driver={X};Server=s;PWD={a;b}"),
            "Driver=X;Server=s;PWD=***");
}

TEST(ConnectionTest, OpenFailuresAreClearErrors) {
  ScratchDir dir;
  Connection connection;
  EXPECT_EQ(ErrorNumberOf([&] { connection.Execute("SELECT 1"); }), kErrObjectClosed);
  EXPECT_TRUE(connection.Properties("DBMS Name").IsEmpty());

  // A file that is missing, in a folder that is missing, or not a database: 4060 with a reason
  // that names the file once, and no file made behind the caller's back.
  const std::string missing = dir.File("missing.db");
  const std::string text = dir.File("notes.db");
  std::ofstream(text, std::ios::binary) << std::string(8192, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {missing, "does not exist"},
      {dir.File("no/such/folder/x.db"), "does not exist"},
      {text, "not a database"}};
  for (const auto& [path, reason] : cases) {
    try {
      connection.Open("Provider=SQLite;Data Source=" + path);
      ADD_FAILURE() << "opened " << path;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), 4060);
      EXPECT_NE(error.Description().find(path), std::string::npos) << error.Description();
      EXPECT_NE(error.Description().find(reason), std::string::npos) << error.Description();
      EXPECT_EQ(Occurrences(error.Description(), "Cannot open database"), 1u)
          << error.Description();
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(ErrorNumberOf([&] { connection.Open("Provider=SQLite"); }), 4060);
  EXPECT_EQ(ErrorNumberOf([&] { connection.Open("Provider=SQLite;Data Source={x"); }), 3001);

  // No SQL Server here: the open fails with a message that names the server but not the password.
  try {
    connection.Open(
        "Provider=SQLOLEDB;Data Source=corva-no-such-host;Initial Catalog=x;"
        "User ID=sa;Password=Secret123;Driver=corva-no-such-driver");
    FAIL() << "opened a SQL Server connection without a server";
  } catch (const Error& error) {
    EXPECT_NE(error.Number(), 0);
    EXPECT_FALSE(error.Description().empty());
    EXPECT_EQ(error.Description().find("Secret123"), std::string::npos) << error.Description();
  }

  // A database made on purpose opens, empty; opening an open connection is 3705.
  db::CreateDatabaseFile(missing);
  connection.Open("Provider=SQLite;Data Source=" + missing);
  EXPECT_EQ(ErrorNumberOf([&] { connection.Open(dir.Connect()); }), 3705);
  connection.Close();
  connection.Close();  // closing twice is harmless
  EXPECT_FALSE(connection.IsOpen());
}

// Connections of one thread opened on changing strings: each opens what its own string names,
// however often a string repeats, and a string that does not parse fails every time it is given.
TEST(ConnectionTest, EachOpenFollowsItsOwnString) {
  ScratchDir dir;
  const std::string a = dir.Connect("a.db"), b = dir.Connect("b.db");
  OpenConnection(a)->Execute(
      "CREATE TABLE t_Where (FName varchar(10)) INSERT t_Where VALUES ('a')");
  OpenConnection(b)->Execute(
      "CREATE TABLE t_Where (FName varchar(10)) INSERT t_Where VALUES ('b')");
  const std::string bad = "Provider=SQLite;Data Source={" + dir.File("a.db");
  for (const std::string& text : {a, b, b, a, bad, bad, a, bad, b}) {
    Connection c;
    if (text == bad) {
      EXPECT_EQ(ErrorNumberOf([&] { c.Open(text); }), 3001);
      EXPECT_FALSE(c.IsOpen());
      continue;
    }
    c.Open(text);
    EXPECT_EQ(Scalar(c, "SELECT FName FROM t_Where").AsString(), text == a ? "a" : "b");
  }
}

TEST(ConnectionTest, BatchesResultSetsAndErrors) {
  ScratchDir dir;
  ConnectionPtr c = OpenConnection(dir.Connect());
  EXPECT_EQ(c->Properties("DBMS Name").AsString(), "Corva SQL");
  EXPECT_FALSE(c->Properties("dbms version").AsString().empty());
  EXPECT_TRUE(c->Properties("No Such Fact").IsEmpty());
  int64_t affected = 0;
  RecordsetPtr none = c->Execute(
      "CREATE TABLE t_Item (FItemID int NOT NULL PRIMARY KEY, FName nvarchar(80), FQty "
      "decimal(28,10))\r\n"
      "INSERT INTO t_Item VALUES (1, 'bolt', 10)\r\n"
      "INSERT INTO t_Item VALUES (2, 'nut', 2.5)\r\n"
      "INSERT INTO t_Item VALUES (3, NULL, 0)",
      &affected);
  EXPECT_FALSE(none->IsOpen());
  EXPECT_EQ(affected, 3);
  EXPECT_EQ(c->NextRecordset(), nullptr);

  RecordsetPtr first = c->Execute(
      "SELECT FItemID, FName FROM t_Item WHERE FItemID < 3 ORDER BY FItemID\r\n"
      "UPDATE t_Item SET FQty = FQty * 2 WHERE FItemID >= 2\r\n"
      "SELECT SUM(FQty) AS FTotal FROM t_Item\r\n"
      "SELECT FName FROM t_Item WHERE FItemID = 3",
      &affected);
  EXPECT_EQ(affected, 2);
  ASSERT_TRUE(first->IsOpen());
  EXPECT_EQ(first->RecordCount(), 2);
  EXPECT_EQ(first->Fields("FName").AsString(), "bolt");
  RecordsetPtr second = c->NextRecordset();
  ASSERT_NE(second, nullptr);
  EXPECT_DOUBLE_EQ(second->Fields("FTotal").AsDouble(), 15.0);
  RecordsetPtr third = c->NextRecordset();
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(third->Fields(0).IsNull());
  EXPECT_EQ(c->NextRecordset(), nullptr);
  EXPECT_EQ(c->NextRecordset(), nullptr);

  // A failing statement throws the native number; what ran before it stays (no transaction).
  try {
    c->Execute("UPDATE t_Item SET FQty = 99 WHERE FItemID = 1\r\nSELECT * FROM t_Missing");
    FAIL() << "a missing table did not fail";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 208);
    EXPECT_NE(error.Description().find("t_Missing"), std::string::npos);
  }
  EXPECT_DOUBLE_EQ(Scalar(*c, "SELECT FQty FROM t_Item WHERE FItemID = 1").AsDouble(), 99.0);
  EXPECT_EQ(ErrorNumberOf([&] { c->Execute("SELECT 1 / 0"); }), 8134);
  // The result sets of a failed batch do not linger.
  EXPECT_EQ(c->NextRecordset(), nullptr);
}

TEST(CommandTest, TypedParametersInOrder) {
  ScratchDir dir;
  ConnectionPtr c = OpenConnection(dir.Connect());
  c->Execute(
      "CREATE TABLE t_Note (FID int, FText nvarchar(200), FQty float, FOk bit, FDate datetime)");
  Command insert(c, "INSERT INTO t_Note (FID, FText, FQty, FOk, FDate) VALUES (?, ?, ?, ?, ?)");
  insert.AppendParameter(ParamType::kInteger, 0, "12");  // text read as a number
  insert.AppendParameter(ParamType::kVarWChar, 30, std::string(40, 'x') + "?");
  insert.AppendParameter(ParamType::kDouble, 0, 2.5);
  insert.AppendParameter(ParamType::kBoolean, 0, true);
  insert.AppendParameter(ParamType::kDate, 0, "2024-03-10 08:30:00");
  int64_t affected = 0;
  insert.Execute(&affected);
  EXPECT_EQ(affected, 1);

  Command cut(c, "INSERT INTO t_Note (FID, FText) VALUES (?, ?)");
  cut.AppendParameter(ParamType::kInteger, 0, 13);
  cut.AppendParameter(ParamType::kVarWChar, 4, "工序汇报单");  // four characters survive
  cut.Execute();
  Command null_param(c, "INSERT INTO t_Note (FID, FText) VALUES (?, ?)");
  null_param.AppendParameter(ParamType::kInteger, 0, 14);
  null_param.AppendParameter(ParamType::kVarChar, 10, Variant());
  null_param.Execute();

  RecordsetPtr rs = c->Execute(
      "SELECT FID, FText, FQty, FOk, CONVERT(varchar(20), FDate, 120) AS FDay FROM t_Note "
      "ORDER BY FID");
  EXPECT_EQ(rs->Fields("FID").AsLong(), 12);
  EXPECT_EQ(rs->Fields("FText").AsString(), std::string(30, 'x'));
  EXPECT_DOUBLE_EQ(rs->Fields("FQty").AsDouble(), 2.5);
  EXPECT_TRUE(rs->Fields("FOk").AsBool());
  EXPECT_EQ(rs->Fields("FDay").AsString(), "2024-03-10 08:30:00");
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("FText").AsString(), "工序汇报");
  rs->MoveNext();
  EXPECT_TRUE(rs->Fields("FText").IsNull());

  // A "?" inside a literal or a comment is not a marker; a count that differs is error 3708.
  Command literal(c, "SELECT COUNT(*) FROM t_Note WHERE FText <> 'why?' /* ? */ AND FID > ? -- ?");
  literal.AppendParameter(ParamType::kInteger, 0, 12);
  EXPECT_EQ(literal.Execute()->Fields(0).AsLong(), 1);
  Command missing(c, "SELECT ? + ?");
  missing.AppendParameter(ParamType::kInteger, 0, 1);
  EXPECT_EQ(ErrorNumberOf([&] { missing.Execute(); }), 3708);
}

TEST(SqlTraceTest, LogsPerConnectionAndPerProcess) {
  ScratchDir dir;
  SqlTrace::Clear();
  ConnectionPtr traced = OpenConnection(dir.Connect());
  ConnectionPtr quiet = OpenConnection(dir.Connect());
  EXPECT_NE(traced->Name(), quiet->Name());
  traced->SetTrace(true);
  std::vector<std::string> sunk;
  SqlTrace::SetSink([&sunk](const TraceEntry& entry) { sunk.push_back(entry.connection); });

  const std::string create = "CREATE TABLE t_Log (FID int)\r\nINSERT INTO t_Log VALUES (1)";
  traced->Execute(create);
  quiet->Execute("INSERT INTO t_Log VALUES (2)");  // neither switch is on for it
  EXPECT_THROW(traced->Execute("SELECT FNope FROM t_Log"), Error);
  SqlTrace::EnableProcess(true);
  Command update(quiet, "UPDATE t_Log SET FID = FID + ?");
  update.AppendParameter(ParamType::kInteger, 0, 10);
  update.Execute();
  SqlTrace::EnableProcess(false);
  SqlTrace::SetSink(nullptr);

  std::vector<TraceEntry> entries = SqlTrace::Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].connection, traced->Name());
  EXPECT_EQ(entries[0].sql, create);
  EXPECT_EQ(entries[0].rows_affected, 1);
  EXPECT_EQ(entries[0].error, "");
  EXPECT_GE(entries[0].duration_ms, 0.0);
  EXPECT_EQ(entries[1].error.rfind("207: ", 0), 0u) << entries[1].error;
  EXPECT_EQ(entries[2].connection, quiet->Name());
  EXPECT_EQ(entries[2].sql, "UPDATE t_Log SET FID = FID + ?");
  EXPECT_EQ(entries[2].rows_affected, 2);
  EXPECT_EQ(sunk, (std::vector<std::string>{traced->Name(), traced->Name(), quiet->Name()}));
  SqlTrace::Clear();
  EXPECT_TRUE(SqlTrace::Entries().empty());
}

// Routing lines of a work bill: operation number, item, quantity, note (Null when none), date.
Recordset RoutingLines() {
  return Recordset({"FEntryID", "FNumber", "FQty", "FNote", "FDate"},
                   {{1, "A.01", 10.0, "O'Brien", Date::FromParts(2024, 3, 10)},
                    {2, "a.01", 1.5, Variant::Null(), Date::FromParts(2024, 3, 11)},
                    {3, "B.02", 1.5, "", Date::FromParts(2024, 3, 10, 8, 30)},
                    {4, "12", 12.0, "x", Date::FromParts(2024, 3, 12)}});
}

// The FEntryID of each visible row, walking from the current position to the end.
std::vector<int32_t> Walk(Recordset& rs) {
  std::vector<int32_t> ids;
  while (!rs.Eof()) {
    ids.push_back(rs.Fields("FEntryID").AsLong());
    rs.MoveNext();
  }
  return ids;
}

using Ids = std::vector<int32_t>;

TEST(RecordsetTest, WalksRowsReadsFieldsAndRefusesWhatIsNotThere) {
  Recordset rs = RoutingLines();
  EXPECT_FALSE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 4);
  EXPECT_EQ(rs.FieldCount(), 5);
  EXPECT_EQ(rs.FieldName(1), "FNumber");
  EXPECT_EQ(rs.Fields("fnumber").AsString(), "A.01");
  EXPECT_EQ(Walk(rs), (Ids{1, 2, 3, 4}));

  // At the end there is no current row: reading or moving on is 3021; an unknown field is 3265
  // whether or not there is a current row.
  EXPECT_TRUE(rs.Eof());
  EXPECT_FALSE(rs.Bof());
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { rs.Fields("FQty"); }, [&] { rs.Fields(0); }, [&] { rs.MoveNext(); }}) {
    EXPECT_EQ(ErrorNumberOf(call), kErrBofOrEof);
  }
  EXPECT_EQ(ErrorNumberOf([&] { rs.Fields("FMissing"); }), kErrItemNotFound);
  rs.MoveFirst();
  EXPECT_EQ(rs.Fields("FEntryID").AsLong(), 1);
  for (const auto& call :
       std::vector<std::function<void()>>{[&] { rs.Fields("FMissing"); }, [&] { rs.Fields(5); },
                                          [&] { rs.Fields(-1); }, [&] { rs.FieldName(5); }}) {
    EXPECT_EQ(ErrorNumberOf(call), kErrItemNotFound);
  }
  // Short rows are padded so that every column can be read.
  EXPECT_TRUE(Recordset({"A", "B"}, {{1}}).Fields("B").IsEmpty());

  Recordset empty({"FEntryID"}, {});
  EXPECT_TRUE(empty.Eof() && empty.Bof());
  EXPECT_EQ(ErrorNumberOf([&] { empty.Fields("FEntryID"); }), kErrBofOrEof);
  empty.MoveFirst();  // nothing to move to, and no error
  EXPECT_TRUE(empty.Eof());

  // What a statement without a result set gives, and a recordset closed (twice, harmlessly).
  Recordset closed;
  EXPECT_FALSE(closed.IsOpen());
  EXPECT_EQ(closed.FieldCount(), 0);
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { closed.Eof(); }, [&] { closed.Bof(); }, [&] { closed.RecordCount(); },
           [&] { closed.Fields("x"); }, [&] { closed.Fields(0); }, [&] { closed.MoveNext(); },
           [&] { closed.MoveFirst(); }, [&] { closed.Filter(""); }}) {
    EXPECT_EQ(ErrorNumberOf(call), kErrObjectClosed);
  }
  rs.Close();
  rs.Close();
  try {
    rs.Fields("FEntryID");
    ADD_FAILURE() << "read a closed recordset";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrObjectClosed);
    EXPECT_EQ(e.Source(), "ADODB.Recordset");
    EXPECT_STREQ(e.what(), "Operation is not allowed when the object is closed.");
  }
}

TEST(RecordsetTest, FilterPicksEqualRows) {
  Recordset rs = RoutingLines();
  const auto filtered = [&](const std::string& condition) {
    rs.Filter(condition);
    return Walk(rs);
  };
  // Text without regard to case; numbers as numbers, whichever way the literal is written.
  EXPECT_EQ(filtered("FNumber = 'a.01'"), (Ids{1, 2}));
  EXPECT_EQ(filtered("fentryid = 3"), (Ids{3}));
  EXPECT_EQ(filtered("FQty = 1.50"), (Ids{2, 3}));
  EXPECT_EQ(filtered("FQty = '1.5'"), (Ids{2, 3}));
  EXPECT_EQ(filtered("FNumber = 12"), (Ids{4}));
  EXPECT_EQ(filtered("FNumber = 12.0"), (Ids{4}));
  EXPECT_EQ(filtered("FDate = '2024-03-10'"), (Ids{1}));
  // Doubled quotes inside, blanks anywhere, AND in any case; a later filter replaces the earlier.
  EXPECT_EQ(filtered("FNote = 'o''brien'"), (Ids{1}));
  EXPECT_EQ(filtered("  FQty=1.5   and   [FNumber] = 'B.02'  "), (Ids{3}));
  EXPECT_EQ(filtered("FQty = 1.5 AND FEntryID = 2 AND FNumber = 'A.01'"), (Ids{2}));
  // Null meets nothing; an empty text meets only empty text.
  EXPECT_EQ(filtered("FNote = ''"), (Ids{3}));
  EXPECT_EQ(filtered("FQty = 99"), (Ids{}));
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_EQ(filtered(""), (Ids{1, 2, 3, 4}));

  // Filtering moves to the first visible row whatever row was current.
  rs.MoveFirst();
  rs.MoveNext();
  rs.MoveNext();
  rs.Filter("FNumber = 'A.01'");
  EXPECT_EQ(rs.Fields("FEntryID").AsLong(), 1);
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Rows().size(), 4u);
  rs.Filter("   ");
  EXPECT_EQ(rs.RecordCount(), 4);
}

TEST(RecordsetTest, FilterRefusesWhatItCannotRead) {
  Recordset rs = RoutingLines();
  for (const char* bad : {"FEntryID > 2", "FEntryID = 2 OR FEntryID = 3", "FNumber = 'A.01",
                          "FEntryID = abc", "FEntryID = 2 AND", "FEntryID = 2 ANDFQty = 1", "= 2",
                          "FEntryID 2", "FEntryID = ", "(FEntryID = 2)", "FEntryID = 2 FQty = 1"}) {
    EXPECT_EQ(ErrorNumberOf([&] { rs.Filter(bad); }), kErrInvalidArguments) << bad;
  }
  EXPECT_EQ(ErrorNumberOf([&] { rs.Filter("FMissing = 1"); }), kErrItemNotFound);
  // A refused filter leaves the earlier view alone.
  rs.Filter("FEntryID = 4");
  EXPECT_EQ(ErrorNumberOf([&] { rs.Filter("FEntryID >= 4"); }), kErrInvalidArguments);
  EXPECT_EQ(rs.RecordCount(), 1);
}

}  // namespace
}  // namespace corva
