// clsPublic as the host calls it: the calendar answers on a small calendar with holidays and
// resource exceptions, the statement services and their fallbacks, and the first-call data source.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/corva.h"
#include "corva/sql_trace.h"
#include "shared/public_test_util.h"
#include "support/test_db.h"

namespace {

using corva::Variant;
using corva::testing::CallPublic;
using corva::testing::TestDatabase;

class ClsPublicTest : public ::testing::Test {
 protected:
  // Department 70 on calendar 7. Work centre 60 (8 h at 90 % x 50 % = 3.6 h) has resources of 8 h
  // (71: off on 03-05, 10 h on 03-07) and 4 h; work centre 61's counting resources give 7.5 h
  // (beside 99 h that do not count), 62's 6.5 h.
  void SetUp() override {
    corva::testing::InstallCalendars(db_);
    db_.Execute(
        "INSERT INTO T_Department (FItemID, FCalID) VALUES (70, 7)\n"
        "INSERT INTO T_WorkCenter (FItemID, FEfficiency, FUseingRate) VALUES (60, 90, 50)\n"
        // A figure a resource lacks is the default: counting, 1 run of 8 h, rates of 1.
        "INSERT INTO T_Resource (FInterID, FWorkCenterID, FKey, FRuns, FHours, FUseingRate, "
        "FEfficiency) VALUES (71, 60, 1, 2, 8, 0.5, 1), (72, 60, 1, 1, 4, 1, 1), "
        "(73, 61, 0, 1, 99, 1, 1), (74, 61, 1, 1, 10, 1, 0.75), (75, 62, 1, 1, 13, 0.5, 1)\n"
        "INSERT INTO T_ResourceExpInfo (FInterID, FDate, FRelAbility) VALUES "
        "(71, '2030-03-05', 0), (71, '2030-03-07', 10)\n"
        "INSERT INTO t_ICItem (FItemID, FNumber) VALUES (301, '3.01')");
  }
  void TearDown() override { corva::SqlTrace::EnableProcess(false); }

  std::string WorkDate(const std::string& days, int id, int type) {
    return CallPublic("CheckIsWorkDate", {db_.dsn(), days, id, type}).AsString();
  }

  TestDatabase db_;
};

TEST_F(ClsPublicTest, CalendarAnswersNonWorkingDaysAndWeakestCapacity) {
  corva::TransactionScope tx;
  EXPECT_EQ(WorkDate("'2030-03-05','2030-03-06'", 0, 0), "2030-03-06");
  EXPECT_EQ(WorkDate("'2030-03-06','2030-03-09'", 0, 0).size(), 21u);  // both days, one comma
  EXPECT_EQ(WorkDate("'2030-03-11','2030-03-12'", 0, 0), "");
  EXPECT_EQ(WorkDate("'2030-03-11','2030-03-12'", 70, 1), "2030-03-12");
  // Resource 71: an exception day off gives 0, a longer day does not lift the weakest, and a
  // factory holiday without exception counts as 0.
  EXPECT_EQ(WorkDate("'2030-03-04','2030-03-05'", 71, 2), "0");
  EXPECT_EQ(WorkDate("'2030-03-07','2030-03-08'", 71, 2), "8");
  EXPECT_EQ(WorkDate("'2030-03-07'", 71, 2), "10");
  EXPECT_EQ(WorkDate("'2030-03-06','2030-03-07'", 71, 2), "0");
  EXPECT_EQ(WorkDate("'2030-03-04'", 60, 3), "3.6");
  EXPECT_EQ(WorkDate("'2030-03-04'", 60, 4), "");

  // The extended form: the weakest (or earliest non-working) day into an emptied ReturnOBJ.
  corva::DictionaryPtr day = corva::MakeDictionary();
  auto ex = [&](const std::string& days, int id, int type) {
    day->SetValue("Stale", 1);
    return CallPublic("CheckIsWorkDateEx", {db_.dsn(), days, id, day, type}).AsBool();
  };
  ASSERT_TRUE(ex("'2030-03-04','2030-03-05'", 71, 2));
  EXPECT_EQ(day->Count(), 3);
  EXPECT_EQ(day->Value("Day").AsString(), "2030-03-05");
  EXPECT_EQ(day->Value("IsWorkDay").AsLong(), 2);
  EXPECT_EQ(day->Value("RelAbility").AsDouble(), 0);
  ASSERT_TRUE(ex("'2030-03-04','2030-03-05'", 60, 3));  // 8 + 4 h, then 0 + 4 h
  EXPECT_EQ(day->Value("Day").AsString(), "2030-03-05");
  EXPECT_EQ(day->Value("RelAbility").AsDouble(), 4);
  ASSERT_TRUE(ex("'2030-03-09','2030-03-06','2030-03-05'", 0, 0));
  EXPECT_EQ(day->Value("Day").AsString(), "2030-03-06");
  EXPECT_EQ(day->Value("IsWorkDay").AsLong(), 0);
  EXPECT_TRUE(day->Value("RelAbility").IsNull());
  EXPECT_FALSE(ex("'2031-01-01'", 71, 2));
  EXPECT_EQ(day->Count(), 0);
  EXPECT_FALSE(tx.Doomed());

  // A malformed day list: the error reaches the caller.
  try {
    WorkDate("'2030-03-04',", 71, 2);
    ADD_FAILURE() << "no error";
  } catch (const corva::Error& e) {
    EXPECT_EQ(e.Source().rfind("CorvaMSHTransBills.clsPublic.CheckIsWorkDate.", 0), 0u);
    EXPECT_FALSE(e.Description().empty());
  }
  EXPECT_THROW(CallPublic("CheckIsWorkDateEx", {db_.dsn(), "'2030-03-04',", 71, day, 2}),
               corva::Error);
}

TEST_F(ClsPublicTest, StatementServicesAndTheirFallbacks) {
  {
    corva::TransactionScope tx;
    EXPECT_EQ(CallPublic("JudgeBillNO", {db_.dsn(), "select FNumber from t_ICItem"}), "3.01");
    EXPECT_EQ(CallPublic("JudgeBillNO", {db_.dsn(), "select 1 from t_ICItem where 1=0"}), "None");
    // Capacity rounded half to even; no resources, or no centre, is 8 hours.
    const int centres[] = {60, 61, 62, 63}, hours[] = {12, 8, 6, 8};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(CallPublic("GetHour", {db_.dsn(), centres[i]}).AsLong(), hours[i]) << centres[i];
    }
    corva::SqlTrace::EnableProcess(true);
    corva::SqlTrace::Clear();
    EXPECT_EQ(CallPublic("GetHour", {db_.dsn(), 0}).AsLong(), 8);
    EXPECT_TRUE(corva::SqlTrace::Entries().empty());
    auto item = CallPublic("GetItem", {db_.dsn()}).As<corva::Recordset>();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Fields("Fitemid").AsLong(), 301);
    EXPECT_EQ(CallPublic("GetICSysProfile", {db_.dsn(), "SH", "WIPDeductMode"}), "0");
    EXPECT_TRUE(CallPublic("GetICSysProfile", {db_.dsn(), "SH", "NoSuchKey"}).IsEmpty());
    // No vote: even its failure leaves the transaction alone.
    EXPECT_EQ(CallPublic("GetICSysProfile", {db_.dsn(), "S'H", "WIPDeductMode"}), 1);
    EXPECT_FALSE(tx.Doomed());
  }
  auto fails = [&](const std::string& op, std::vector<Variant> args, const Variant& fallback) {
    corva::TransactionScope tx;
    EXPECT_EQ(CallPublic(op, std::move(args)), fallback) << op;
    EXPECT_TRUE(tx.Doomed()) << op;
  };
  fails("JudgeBillNO", {db_.dsn(), "select x from NoSuchTable"}, "False");
  fails("JudgeBillNO", {db_.dsn(), "select NULL"}, "False");
  fails("GetHour", {"UserID=1", 60}, 8);
  fails("GetRs", {db_.dsn(), "select x from NoSuchTable"}, Variant(corva::ObjectPtr()));
  fails("GetItem", {"UserID=1"}, Variant(corva::ObjectPtr()));
}

TEST_F(ClsPublicTest, UpdateSqlFailureDoomsItsScope) {
  db_.Execute("INSERT INTO t_Stock (FItemID, FNumber) VALUES (9, 'W9')");
  {
    corva::TransactionScope tx;
    CallPublic("UpdateSql", {db_.dsn(), "UPDATE t_Stock SET FName = N'lost'"});
    EXPECT_FALSE(tx.Doomed());
    CallPublic("UpdateSql", {db_.dsn(), "INSERT INTO t_Stock (FItemID) VALUES (9)"});
    EXPECT_FALSE(tx.Commit());
  }
  EXPECT_EQ(db_.Scalar("select FNumber + FName from t_Stock"), "W9");
}

TEST_F(ClsPublicTest, FirstCallsDataSourceServesLaterCalls) {
  TestDatabase other;  // no items
  std::shared_ptr<corva::Dispatch> pub = corva::CreateObject("CorvaMSHTransBills.clsPublic");
  std::vector<Variant> first{db_.dsn(), "select count(*) from t_ICItem"}, second = first;
  second[0] = other.dsn();
  EXPECT_EQ(pub->Invoke("JudgeBillNO", first), "1");
  EXPECT_EQ(pub->Invoke("JudgeBillNO", second), "1");
  EXPECT_EQ(CallPublic("JudgeBillNO", second), "0");
}

}  // namespace
