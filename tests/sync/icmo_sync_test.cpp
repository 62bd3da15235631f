// Tests of clsMSynBills's synchronization through the host's interface on a fresh embedded
// database per test: the production task following its work bill, the start mark, the re-totals of
// an operation from its dispatch entries and its shift bills, and the two links that do nothing.
// Task 1 counts in boxes of ten; its work bill 10 has operations 102 (row 1), 101 (row 2) and 103
// (row 3), so the first and last operation are not those of the lowest and highest id.
#include <gtest/gtest.h>

#include <string>

#include "corva/corva.h"
#include "support/test_db.h"
#include "sync/sync_test_util.h"

namespace CorvaMSHTransBills {
namespace {

using corva::CreateObject;
using corva::testing::TestDatabase;
using sync_test::Call;
using sync_test::kDone;
using sync_test::kFailed;
using sync_test::Rows;

void AddFactory(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 10)\n"
      "INSERT INTO ICMO (FInterID, FUnitID, FStatus, FStartFlag, FAuxQtyPass, FAuxQtyBack, "
      "FStartDate) VALUES (1, 2, 1, 1, 4, 0.5, '2026-01-05')\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID) VALUES (10, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FAuxQtyFinish, FAuxQtyPass,"
      " FStartWorkDate, FEndWorkDate, FAuxQtyBack, FAuxQtyLost, FAuxQtyScrap, FAuxQtyForItem,"
      " FFinishTime, FFixTime, FPowerCutTime, FWaitItemTime, FWaitToolTime, FReadyTime) VALUES "
      "(10, 102, 1, 12.5, 11, '2026-03-02', '2026-03-04', 1, 0.5, 0.25, 0, 1, 2, 3, 4, 5, 6), "
      "(10, 101, 2, 10, 9.5, '2026-03-05', '2026-03-09', 2, 0, 0, 0.75, 0, 0, 0, 0, 0, 0), "
      "(10, 103, 3, 9.5, 9, '2026-03-10', '2026-03-13', 0, 0, 0, 0, 10, 20, 30, 40, 50, 60)");
}

std::string Task(const TestDatabase& db, int task = 1) {
  return Rows(db,
              "SELECT CONVERT(varchar(10), FStartDate, 120), CONVERT(varchar(10), FFinishDate, "
              "120), FAuxQtyFinish, FQtyFinish, FAuxQtyPass, FQtyPass, FAuxQtyBack, FQtyBack, "
              "FAuxQtyLost, FAuxQtyScrap, FAuxQtyForItem, FStartFlag FROM ICMO WHERE FInterID = " +
                  std::to_string(task));
}

TEST(SynICMOAndWorkBillTest, TaskTakesFirstAndLastOperationAndTheSumsOfAll) {
  TestDatabase db;
  AddFactory(db);
  // Found through its middle operation. The base passed and returned quantities come from the
  // auxiliary ones stored before the update (4 and 0.5 boxes); the finished one follows at once.
  Call("SynICMOAndWorkBill", {db.dsn(), 0, 101});
  EXPECT_EQ(Task(db), "2026-03-02/2026-03-13/12.5/125/9/40/3/5/0.5/0.25/0.75/1");
  EXPECT_EQ(Rows(db,
                 "SELECT FFinishTime, FFixTime, FPowerCutTime, FWaitItemTime, FWaitToolTime,"
                 " FReadyTime FROM ICMO"),
            "11/22/33/44/55/66");
  EXPECT_EQ(Call("SynICMOAndWorkBill", {db.dsn(), 1}), kDone);
  EXPECT_EQ(Task(db), "2026-03-02/2026-03-13/12.5/125/9/90/3/30/0.5/0.25/0.75/1");

  // Nothing to find: false with the abort vote, nothing written.
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyFinish = 1");
  for (int operation : {0, 999}) {
    EXPECT_EQ(Call("SynICMOAndWorkBill", {db.dsn(), 0, operation}), kFailed) << operation;
  }
  // A task without a work bill keeps what it has.
  db.Execute("INSERT INTO ICMO (FInterID, FUnitID, FStartDate) VALUES (2, 2, '2026-01-05')");
  EXPECT_EQ(Call("SynICMOAndWorkBill", {db.dsn(), 2}), kDone);
  EXPECT_EQ(Task(db, 2), "2026-01-05/-/0/0/0/0/0/0/0/0/0/0");
  EXPECT_EQ(Task(db), "2026-03-02/2026-03-13/12.5/125/9/90/3/30/0.5/0.25/0.75/1");
}

// Task dispatch bill 50 hands out the first operation (102) in four entries.
void AddDispatch(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO ICTaskDispBill (FInterID, FWorkBillInterID) VALUES (50, 102)\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FStatus, FAuxQtyPlan,"
      " FAuxQtyFinish, FAuxQtyPass, FAuxQtyLoss, FAuxQtyScrap, FAuxQtyForItem, FWorkStartDate,"
      " FWorkEndDate) VALUES (50, 1, 5001, 1, 10, 8, 7.5, 0.5, 0.25, 0.25, '2026-03-03',"
      " '2026-03-05'), (50, 2, 5002, 0, 5, 0, 0, 0, 0, 0, '2026-03-01', '2026-03-09'),"
      " (50, 3, 5003, 2, 4, 2, 2, 0, 0, 0, '2026-03-04', '2026-03-06'),"
      " (50, 4, 5004, 3, 1, 1, 0, 0, 0, 0, '2026-02-20', '2026-03-20')");
}

std::string Operation(const TestDatabase& db, int operation) {
  return Rows(db,
              "SELECT FAuxQtyTaskDispSel, FQtyTaskDispSel, FAuxQtyTaskDispAck, FQtyTaskDispAck, "
              "FAuxQtyFinish, FQtyFinish, FAuxQtyLost, FAuxQtyPass, FQtyPass, FAuxQtyScrap, "
              "FAuxQtyForItem, CONVERT(varchar(10), FStartWorkDate, 120), CONVERT(varchar(10), "
              "FEndWorkDate, 120) FROM SHWorkBillEntry WHERE FWBInterID = " +
                  std::to_string(operation));
}

TEST(SynWorkBillAndTaskDispTest, OperationTotalsItsEntriesAndTheTaskFollows) {
  TestDatabase db;
  AddFactory(db);
  AddDispatch(db);
  // Only an entry id: the operation is found through the entry's bill. Every entry counts as
  // dispatched, those above status 0 as checked (the closed one too); the dates span only the
  // entries the floor works on (status 1 or 2).
  EXPECT_EQ(Call("SynWorkBillAndTaskDisp", {db.dsn(), 0, 5003}), kDone);
  EXPECT_EQ(Operation(db, 102), "20/200/15/150/11/110/0.5/9.5/95/0.25/0.25/2026-03-03/2026-03-06");
  EXPECT_EQ(Task(db), "2026-03-03/2026-03-13/11/110/9/40/3/5/0.5/0.25/1/1");

  // An operation without entries: zero totals and no dates, which the task takes over as its
  // finish date.
  EXPECT_TRUE(Call("SynWorkBillAndTaskDisp", {db.dsn(), 103}).result);
  EXPECT_EQ(Operation(db, 103), "0/0/0/0/0/0/0/0/0/0/0/-/-");
  EXPECT_EQ(Task(db), "2026-03-03/-/11/110/0/90/3/30/0.5/0.25/1/1");

  // No operation to re-total: false, abort vote, nothing written.
  db.Execute("UPDATE ICTaskDispBillEntry SET FAuxQtyPlan = 100");
  for (int entry : {0, 9999}) {
    EXPECT_EQ(Call("SynWorkBillAndTaskDisp", {db.dsn(), 0, entry}), kFailed) << entry;
  }
  EXPECT_EQ(Operation(db, 102), "20/200/15/150/11/110/0.5/9.5/95/0.25/0.25/2026-03-03/2026-03-06");
}

// Shift bills around operation 101 -> 102 -> 103: (id, out, in, quantity, status).
void AddShifts(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO ICOperShift (FInterID, FShiftTypeID, FOutWBInterID, FInWBInterID, FAuxQtyShift,"
      " FStatus) VALUES (1, 11301, 101, 102, 4, 1), (2, 11301, 101, 102, 6, 0),"
      " (3, 11301, 102, 103, 2.5, 1), (4, 11303, 101, 0, 0.5, 0)");
}

// "operation:handed-over sel/ack/base sel/base ack:received sel/ack/base sel/base ack".
std::string ShiftTotals(const TestDatabase& db) {
  return Rows(db,
              "SELECT FWBInterID, FAuxQtyHandOverSel, FAuxQtyHandOver, FQtyHandOverSel, "
              "FQtyHandOver, FAuxQtyReceiveSel, FAuxQtyRecive, FQtyReceiveSel, FQtyRecive FROM "
              "SHWorkBillEntry ORDER BY FWBInterID");
}

TEST(SynWorkBillAndOperShiftTest, BillKeyedAndOperationKeyedTotals) {
  TestDatabase db;
  AddFactory(db);
  AddShifts(db);
  // By bill 1 (the operation id is ignored): the hand-over of its out operation over every bill
  // leaving it (the repair shift too), the receipt of its in operation; nothing else.
  EXPECT_EQ(Call("SynWorkBillAndOperShift", {db.dsn(), 103, 1}), kDone);
  EXPECT_EQ(ShiftTotals(db),
            "101/10.5/4/105/40/0/0/0/0 102/0/0/0/0/10/4/100/40 103/0/0/0/0/0/0/0/0");

  // By operation 102: both of its sides.
  EXPECT_TRUE(Call("SynWorkBillAndOperShift", {db.dsn(), 102}).result);
  EXPECT_EQ(ShiftTotals(db),
            "101/10.5/4/105/40/0/0/0/0 102/2.5/2.5/25/25/10/4/100/40 103/0/0/0/0/0/0/0/0");
}

TEST(UpdateICMoStartFlagTest, MarksAReleasedTaskOnceAndVotesCommitEitherWay) {
  TestDatabase db;
  db.Execute(
      "INSERT INTO ICMO (FInterID, FStatus, FSuspend, FCancellation) VALUES (1, 1, 0, 0), "
      "(2, 1, 1, 0), (3, 1, 0, 1), (4, 0, 0, 0), (5, 1, 0, 0)");
  auto start = [&](int task) {
    sync_test::Outcome outcome = Call("UpdateICMoStartFlag", {db.dsn(), task});
    EXPECT_FALSE(outcome.doomed) << task;
    return outcome.result;
  };
  EXPECT_TRUE(start(1));
  EXPECT_FALSE(start(1));  // already started: the mark stays
  for (int task : {2, 3, 4, 0}) EXPECT_FALSE(start(task)) << task;
  EXPECT_EQ(Rows(db, "SELECT FStartFlag FROM ICMO ORDER BY FInterID"), "1 0 0 0 0");

  // The instance keeps its first call's database: a later call with another property string
  // still marks task 5 there.
  TestDatabase other;
  auto synchronizer = CreateObject(sync_test::kProgID);
  EXPECT_FALSE(Call("UpdateICMoStartFlag", {db.dsn(), 4}, synchronizer).result);
  EXPECT_TRUE(Call("UpdateICMoStartFlag", {other.dsn(), 5}, synchronizer).result);
  EXPECT_EQ(Rows(db, "SELECT FStartFlag FROM ICMO WHERE FInterID = 5"), "1");
}

TEST(SynBillsPassThroughTest, ReportLinksSucceedWithoutReadingTheirArguments) {
  // A property string that no initializer could read: the links never set one up or vote.
  const std::string unreadable = "UserID=1;UserID=2";
  for (const char* op : {"SynTaskDispAndOperRpt", "SynOperRptAndOperCheck"}) {
    EXPECT_EQ(Call(op, {unreadable, 7, 8, 9}), kDone) << op;
  }
}

}  // namespace
}  // namespace CorvaMSHTransBills
