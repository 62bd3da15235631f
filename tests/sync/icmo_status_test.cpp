// Tests of the production task status statements, run on the embedded engine the way the hooks
// run them (appended to a batch that fills the table of tasks): the issue status from material
// lines, and the close / reopen of tasks under every combination of the close option bits.
#include "sync/icmo_status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/codes.h"
#include "support/test_db.h"
#include "sync/sync_test_util.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::testing::TestDatabase;
using sync_test::Rows;

// A material line of task `task` (material list 10 + task): type, order line, required, issued.
std::string Line(int task, int entry, int type, int order_entry, double must, double issued,
                 double wip = 0) {
  auto n = [](double v) { return Variant(v).AsString(); };
  return "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FMaterielType, "
         "FOrderEntryID, FQtyMust, FAuxQtyMust, FStockQty, FAuxStockQty, FWIPAuxQty) VALUES (" +
         n(10 + task) + ", " + n(entry) + ", " + n(task) + ", 1, " + n(type) + ", " +
         n(order_entry) + ", " + n(must) + ", " + n(must) + ", " + n(issued) + ", " + n(issued) +
         ", " + n(wip) + ")\n";
}

TEST(ICMOStockFlagTest, TaskStatusFromTheClassesOfItsLines) {
  TestDatabase db;
  std::string setup;
  for (int task = 1; task <= 7; ++task) {
    setup += "INSERT INTO ICMO (FInterID, FStockFlag) VALUES (" + std::to_string(task) + ", " +
             std::to_string(task == 6 ? kStockFlagFullyIssued : kStockFlagNoneIssued) + ")\n";
  }
  db.Execute(setup + Line(1, 1, 371, 0, 10, 12) + Line(1, 2, 371, 0, 5, 5) +  // over + exact
             Line(2, 1, 371, 0, 10, 10) + Line(2, 2, 371, 0, 4, 4) +          // exact twice
             Line(2, 3, 372, 0, 3, 0) +                                       // a co-product
             Line(3, 1, 371, 0, 10, 0) + Line(3, 2, 376, 0, 2, 0) +           // nothing issued
             Line(4, 1, 371, 0, 10, 12) + Line(4, 2, 371, 0, 10, 0) +         // over + none
             Line(5, 1, 376, 0, 2, 3) + Line(5, 2, 371, 1, 10, 0) +  // returned over; another order
             Line(6, 1, 371, 0, 10, 0) +                             // not in the table
             Line(7, 1, 371, 0, 10, 2.5));                           // partly
  // Run twice in one batch, as a hook may: the work table is dropped again each time.
  const std::string statement = ComposeICMOStockFlagSql("#Tasks");
  db.Execute(
      "create table #Tasks (FICMOInterID int)\r\n"
      "insert into #Tasks (FICMOInterID) select FInterID from ICMO where FInterID <> 6\r\n" +
      statement + statement);
  EXPECT_EQ(Rows(db, "SELECT FStockFlag FROM ICMO ORDER BY FInterID"),
            "14218 14217 14215 14216 14218 14217 14216");

  // The same through the public operation, and with the tasks in a table variable.
  auto synchronizer = corva::CreateObject(sync_test::kProgID);
  std::vector<Variant> args{std::string("@#Data1")};
  db.Execute(
      "UPDATE ICMO SET FStockFlag = 0\r\ndeclare @#Data1 table (FICMOInterID int)\r\n"
      "insert into @#Data1 (FICMOInterID) values (7)\r\n" +
      synchronizer->Invoke("UpdateICMOStockFlag", args).AsString());
  EXPECT_EQ(Rows(db, "SELECT FStockFlag FROM ICMO ORDER BY FInterID"), "0 0 0 0 0 0 14216");

  // A blank name gives nothing.
  args = {std::string("   ")};
  EXPECT_EQ(synchronizer->Invoke("UpdateICMOStockFlag", args).AsString(), "");
}

// Six tasks of item 1 (whole units), lower receipt limit 95, each meeting some of the close
// conditions: R the receipt reached the limit, I every ordinary line is issued, W nothing in
// process. A: R I W (rounding only: 94.5 received, 9.5 of 10 issued, 0.25 in process); B: I W;
// C: R W; D: R I; E: W, closed in the current period; F: W, closed in an earlier period. Every task
// starts closed by hand (FHandworkClose 1).
void AddTasks(const TestDatabase& db) {
  const double receipts[] = {94.5, 90, 100, 95, 0, 0};
  std::string sql = "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (1, 0)\n";
  for (int task = 1; task <= 6; ++task) {
    sql += "INSERT INTO ICMO (FInterID, FItemID, FAuxInLowLimitQty, FAuxStockQty) VALUES (" +
           std::to_string(task) + ", 1, 95, " + Variant(receipts[task - 1]).AsString() + ")\n";
  }
  db.Execute(sql + Line(1, 1, 371, 0, 10, 9.5, 0.25) + Line(1, 2, 376, 0, 5, 0) +
             Line(2, 1, 371, 0, 10, 10) + Line(3, 1, 371, 0, 10, 5) +
             Line(4, 1, 371, 0, 10, 10, 2) + Line(5, 1, 371, 0, 10, 0) + Line(6, 1, 371, 0, 10, 0));
}

void ResetTasks(const TestDatabase& db) {
  db.Execute(
      "UPDATE ICMO SET FStatus = 1, FCloseDate = Null, FCheckerID = Null, FMrpClosed = 0, "
      "FHandworkClose = 1 WHERE FInterID <= 4\n"
      "UPDATE ICMO SET FStatus = 3, FCloseDate = '2024-06-01', FCheckerID = 5, FMrpClosed = 1, "
      "FHandworkClose = 1 WHERE FInterID = 5\n"
      "UPDATE ICMO SET FStatus = 3, FCloseDate = '2023-12-15', FCheckerID = 5, FMrpClosed = 1, "
      "FHandworkClose = 1 WHERE FInterID = 6");
}

// Runs the close statements for every task as the hooks do and answers the tasks' statuses.
std::string CloseAndReadStatus(const TestDatabase& db, int close_option) {
  ResetTasks(db);
  db.Execute("select Distinct FICMOInterID, 0 as FStatus into #ICMO1 from PPBOMEntry\r\n" +
             ComposeICMOCloseSql("#ICMO1", close_option, 16394));
  return Rows(db, "SELECT FStatus FROM ICMO ORDER BY FInterID");
}

TEST(ICMOCloseTest, EveryCombinationOfTheCloseOptionBits) {
  TestDatabase db;
  AddTasks(db);
  //                                      A B C D E F
  EXPECT_EQ(CloseAndReadStatus(db, 1), "3 3 1 3 1 3");
  EXPECT_EQ(CloseAndReadStatus(db, 2), "3 1 3 3 1 3");
  EXPECT_EQ(CloseAndReadStatus(db, 5), "3 3 1 1 1 3");
  EXPECT_EQ(CloseAndReadStatus(db, 6), "3 1 3 1 1 3");
  EXPECT_EQ(CloseAndReadStatus(db, 7), "3 1 1 1 1 3");
  // "Nothing in process" alone, or no bit: no statement, nothing closed or reopened.
  EXPECT_EQ(ComposeICMOCloseSql("#ICMO1", kCloseWhenNothingInProcess, 1), "");
  EXPECT_EQ(ComposeICMOCloseSql("#ICMO1", 0, 1), "");

  // What a close, a reopen and a task left alone write: A closed today by the caller's user
  // (closed by hand stays as it was), E reopened, B and F only lose the hand-close mark.
  EXPECT_EQ(CloseAndReadStatus(db, 3), "3 1 1 3 1 3");
  const std::string today = db.Scalar("SELECT CONVERT(varchar(10), GETDATE(), 120)").AsString();
  EXPECT_EQ(Rows(db,
                 "SELECT FInterID, FStatus, CONVERT(varchar(10), FCloseDate, 120), FCheckerID, "
                 "FMrpClosed, FHandworkClose FROM ICMO WHERE FInterID IN (1, 2, 5, 6) ORDER BY "
                 "FInterID"),
            "1/3/" + today + "/16394/1/1 2/1/-/-/0/0 5/1/-/-/0/0 6/3/2023-12-15/5/1/0");
}

}  // namespace
}  // namespace CorvaMSHTransBills
