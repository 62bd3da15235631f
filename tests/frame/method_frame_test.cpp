// The frame of an operation. CDataSource on embedded databases: fresh connections, the
// process-wide cache of provider facts (filled once per product and version), column-type lookups
// and the error check, and the two settings readers built on it, GetSystemProfile and
// GetLoginUserID. Then the method frame as the host sees an operation: its result, vote, message
// and "SaveRetCode", for success, rule violations and run-time errors, and the two initializer
// variants.
#include "frame/method_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/late_binding.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/sql_trace.h"
#include "frame/data_source.h"
#include "frame/fake_loader.h"
#include "frame/pending_error.h"
#include "frame/profile.h"
#include "host/fakes.h"
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

TEST_F(DataSourceTest, ConnectionsNamesAndTypeLookups) {
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

  // Type lookups limit length and scale.
  int32_t length = 50, scale = 40;
  EXPECT_EQ(ds.GetTypeName(3, length, scale), "decimal(38,38)");
  length = 9000, scale = 0;
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

TEST_F(DataSourceTest, FactsAreReadOncePerProductAndVersionOrLeftUnknown) {
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
  SqlTrace::Clear();

  // A database that cannot be opened: nothing is cached and every fact reads as unknown.
  CDataSource broken = MakeSource("Provider=SQLite;Data Source=/nonexistent-corva-folder/x.db",
                                  "Corva SQL", FreshVersion());
  EXPECT_EQ(broken.DBMSVersion(), "");
  EXPECT_FALSE(broken.MultipleResults());
  EXPECT_EQ(broken.NumericFunctions(), 0);
  EXPECT_FALSE(broken.ProcSupported("prc_SHUpdateBillDoubleQty"));

  // A database without the table of procedures: that step is skipped, the other facts stay.
  other.Execute("DROP TABLE t_SupportedProc");
  CDataSource no_table = MakeSource(other.connect_string(), "Corva SQL", FreshVersion());
  EXPECT_FALSE(no_table.ProcSupported("prc_SHUpdateBillDoubleQty"));
  EXPECT_TRUE(no_table.LikeEscapeClause());
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

constexpr char kDsnWithoutConnection[] = "UserName=li;UserID=7;Language=en";

class MethodFrameTest : public ::testing::Test {
 protected:
  // Runs `operation` as the body of a host call inside a scope; true when the call doomed it.
  bool Doomed(const std::function<void()>& operation) {
    testing::RegisterLambda("Test.Bill", [&](const std::string&, std::vector<Variant>&) {
      operation();
      return Variant();
    });
    TransactionScope scope;
    std::vector<Variant> none;
    CreateObject("Test.Bill")->Invoke("Operate", none);
    return scope.Doomed();
  }

  static VectorPtr NewSaveVect() {
    VectorPtr save_vect = MakeVector();
    save_vect->Add(MakeDictionary());
    return save_vect;
  }
  static Variant SaveRetCode(const VectorPtr& save_vect) {
    return save_vect->Item(1).As<Dictionary>()->Value("SaveRetCode");
  }

  testing::FakeLoader loader_;  // marks what it localized with the language
  testing::RegistrationGuard bill_guard_{"Test.Bill"};
  ClassFrame frame_{InitMode::kEveryCall};
};

TEST_F(MethodFrameTest, ErrorBeforeTheConnectionAbortsWithTheLocalizedDescription) {
  std::string msg = "left by the caller";
  bool result = true, body_ran = false;
  EXPECT_TRUE(Doomed([&] {
    result = frame_.Run(kDsnWithoutConnection, msg, {.crlf = true}, [&](Call&) {
      body_ran = true;
      return true;
    });
  }));
  EXPECT_FALSE(result);
  EXPECT_FALSE(body_ran);
  EXPECT_EQ(msg,
            "\r\n[en]Invalid procedure call or argument: the property string has no "
            "\"ConnectString\"");

  // The same without a separator, and in the default language of a string without "Language".
  EXPECT_TRUE(Doomed([&] { frame_.Run("UserID=7", msg, {}, [](Call&) {}); }));
  EXPECT_EQ(
      msg, "[cht]Invalid procedure call or argument: the property string has no \"ConnectString\"");
}

TEST_F(MethodFrameTest, OpensTheCallsConnectionReadCommitted) {
  SqlTrace::EnableProcess(true);
  SqlTrace::Clear();
  std::string msg = "unchanged", first, second;
  EXPECT_FALSE(Doomed([&] {
    frame_.Run("ConnectString={Provider=SQLite;Data Source=:memory:};Language=en", msg, {},
               [&](Call& call) {
                 first = call.Connection()->Name();
                 second = call.NewConnection()->Name();
                 return call.Connection()->Name() == first;
               });
  }));
  SqlTrace::EnableProcess(false);
  EXPECT_EQ(msg, "unchanged");
  EXPECT_NE(first, second);
  std::vector<std::string> isolation;  // connections told to read committed data only
  for (const TraceEntry& entry : SqlTrace::Entries()) {
    if (entry.sql == "SET TRANSACTION ISOLATION LEVEL READ COMMITTED") {
      isolation.push_back(entry.connection);
    }
  }
  EXPECT_EQ(isolation, (std::vector<std::string>{first, second}));

  // A database that cannot be opened is a run-time error of the operation.
  EXPECT_TRUE(Doomed([&] {
    frame_.Run("ConnectString={Provider=SQLite;Data Source=/no-such-dir/x/f.db};Language=en", msg,
               {}, [](Call&) {});
  }));
  EXPECT_EQ(msg.rfind("[en]", 0), 0u) << msg;
  EXPECT_GT(msg.size(), 4u);
}

TEST_F(MethodFrameTest, OnlyRuleViolationsMarkTheSaveAsRefusedSuccessCommits) {
  VectorPtr save_vect = NewSaveVect();
  std::string msg;
  EXPECT_TRUE(Doomed([&] {
    EXPECT_FALSE(frame_.Run(kDsnWithoutConnection, msg, {.save_vect = save_vect, .connect = false},
                            [](Call& call) { return call.Refuse("第2行已审核"); }));
  }));
  EXPECT_EQ(SaveRetCode(save_vect).AsLong(), kSaveRefusedByRule);
  EXPECT_EQ(msg, "第2行已审核");

  // A violation thrown from a helper ends the same way; with CR LF the empty description follows.
  save_vect = NewSaveVect();
  EXPECT_TRUE(Doomed([&] {
    frame_.Run(kDsnWithoutConnection, msg, {.crlf = true, .save_vect = save_vect, .connect = false},
               [](Call&) -> bool { throw RuleViolation("超量"); });
  }));
  EXPECT_EQ(SaveRetCode(save_vect).AsLong(), kSaveRefusedByRule);
  EXPECT_EQ(msg, "超量\r\n");

  // A run-time error keeps the rule message built so far and appends its description.
  save_vect = NewSaveVect();
  EXPECT_TRUE(Doomed([&] {
    frame_.Run(kDsnWithoutConnection, msg, {.save_vect = save_vect, .connect = false},
               [](Call& call) -> bool {
                 call.sMsg() = "partly: ";
                 throw Error(208, "db", "Invalid object name '#Oper'.");
               });
  }));
  EXPECT_TRUE(SaveRetCode(save_vect).IsEmpty());
  EXPECT_EQ(msg, "partly: [en]Invalid object name '#Oper'.");

  // Errors that are not the library's own are trapped too.
  EXPECT_TRUE(Doomed([&] {
    frame_.Run(kDsnWithoutConnection, msg, {.connect = false},
               [](Call&) -> bool { throw std::runtime_error("bad"); });
  }));
  EXPECT_EQ(msg, "[en]bad");
  EXPECT_FALSE(PendingError::IsSet());

  // Success commits, whatever the body voted, and leaves the caller's message.
  msg = "caller's text";
  std::string seen_lang;
  EXPECT_FALSE(Doomed([&] {
    EXPECT_TRUE(frame_.Run(kDsnWithoutConnection, msg, {.connect = false}, [&](Call& call) {
      seen_lang = call.lang();
      GetObjectContext().SetAbort();  // replaced by the frame's final vote
      return call.Parse().UserID() == 7;
    }));
  }));
  EXPECT_EQ(msg, "caller's text");
  EXPECT_EQ(seen_lang, "en");
}

TEST_F(MethodFrameTest, InitializerQueryAndVoteVariants) {
  auto connect_string = [](ClassFrame& frame, const std::string& dsn) {
    return frame.Query<std::string>(dsn, "failed", {.connect = false},
                                    [](Call& call) { return call.DataSource().ConnectString(); });
  };
  ClassFrame first_call(InitMode::kFirstCall);
  EXPECT_EQ(connect_string(first_call, "ConnectString={A=1;B=2}"), "A=1;B=2");
  EXPECT_EQ(connect_string(first_call, "ConnectString={C=3}"), "A=1;B=2");
  EXPECT_EQ(connect_string(frame_, "ConnectString={A=1}"), "A=1");
  EXPECT_EQ(connect_string(frame_, "ConnectString={C=3}"), "C=3");
  // A property string the parse rejects is a run-time error of the operation.
  EXPECT_EQ(connect_string(frame_, "ConnectString={D=4};connectstring={E=5}"), "failed");
  std::string msg;
  frame_.Run("Language=en;language=en", msg, {.connect = false}, [](Call&) {});
  EXPECT_EQ(msg,
            "[en]This key is already associated with an element of this collection: the property "
            "string repeats \"language\"");

  // Queries answer a default on error; a read-only query may leave the vote alone.
  int32_t hours = 0;
  Error trapped(0, "", "");
  EXPECT_TRUE(Doomed([&] {
    hours =
        frame_.Query<int32_t>(kDsnWithoutConnection, 8,
                              {.connect = false, .on_error = [&](const Error& e) { trapped = e; }},
                              [](Call&) -> int32_t { throw Error(8134, "db", "Divide by zero"); });
  }));
  EXPECT_EQ(hours, 8);
  EXPECT_EQ(trapped.Number(), 8134);
  EXPECT_FALSE(Doomed([&] {
    hours = frame_.Query<int32_t>(kDsnWithoutConnection, 8, {.connect = false},
                                  [](Call&) { return 6; });
  }));
  EXPECT_EQ(hours, 6);
  // A read-only query that never votes leaves the transaction alone even when it fails.
  EXPECT_FALSE(Doomed([&] {
    frame_.Query<bool>(kDsnWithoutConnection, false, {.vote = false, .connect = false},
                       [](Call&) -> bool { throw Error(208, "db", "Invalid object name"); });
  }));

  // Without a trap the error reaches the caller; an abort cast first still stands.
  auto untrapped = [&](FrameVote first) {
    return Doomed([&] {
      EXPECT_THROW(
          frame_.Run(kDsnWithoutConnection, {.first_vote = first, .connect = false, .trap = false},
                     [](Call&) -> bool { throw Error(5, "x", "y"); }),
          Error);
    });
  };
  EXPECT_TRUE(untrapped(FrameVote::kAbort));
  EXPECT_FALSE(untrapped(FrameVote::kNone));
}

}  // namespace
}  // namespace corva::frame
