// Tests of clsMTaskDispBill through the host's interface (CreateObject, Invoke, TransactionScope)
// on a fresh embedded database per test: bill numbers; entry numbering and dispatch totals on
// save; check, uncheck, close and unclose of entries and whole bills with the header, the
// move-number ledger, rights, locks and the dispatch quantity control; and the delete of entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "bills/plan_check_component.h"
#include "corva/corva.h"
#include "host/registry.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills {
namespace {

using corva::CreateObject;
using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;
using test_util::Contains;
using test_util::Rows;
using test_util::Sent;

constexpr char kProgID[] = "CorvaMSHTransBills.clsMTaskDispBill";
constexpr char kPlanCheck[] = "CorvaMPlanCheckBill.CheckNow";
constexpr int kCutting = 101;  // first operation of work bill 10 (OperSN 10)
constexpr int kWelding = 102;  // its second operation (OperSN 20)
constexpr int kMaker = 7;      // who made the dispatch bills
constexpr int kChecker = 9;

std::string N(double v) { return Variant(v).AsString(); }

// Production task 1 and its work bill 10 with two checked operations.
void AddFactory(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO ICMO (FInterID, FStatus) VALUES (1, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FStatus) VALUES (10, 1, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(10, 101, 1, 10, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(10, 102, 2, 20, 1)");
}

// Dispatch bill `bill` of operation `op`, made by kMaker.
void AddBill(const TestDatabase& db, int bill, int op) {
  db.Execute(
      "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID, FICMOInterID, FBillerID) "
      "VALUES (" +
      N(bill) + ", 'TD" + N(bill) + "', " + N(op) + ", 1, " + N(kMaker) + ")");
}

// Entry `entry` of `bill` (numbered "TD<bill>-<entry>"), global id `id` (0: not yet numbered).
void AddEntry(const TestDatabase& db, int bill, int entry, double qty, const std::string& move_no,
              int id = 0, int status = 0) {
  db.Execute(
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum, FStatus,"
      " FAuxQtyPlan, FOperMoveNo) VALUES (" +
      N(bill) + ", " + N(entry) + ", " + N(id) + ", 'TD" + N(bill) + "-" + N(entry) + "', " +
      N(status) + ", " + N(qty) + ", '" + move_no + "')");
}

// "id:status:checker" of a bill's entries in entry order ("-" for a Null checker).
std::string Entries(const TestDatabase& db, int bill) {
  return Rows(db,
              "SELECT FTaskDispInterID, FStatus, FCheckerID FROM ICTaskDispBillEntry WHERE "
              "FInterID = " +
                  N(bill) + " ORDER BY FEntryID",
              ":");
}

// "status:checker:day" of a bill's header, or "missing".
std::string Header(const TestDatabase& db, int bill) {
  return Rows(db,
              "SELECT FStatus, FCheckerID, CONVERT(varchar(10), FCheckDate, 120) FROM "
              "ICTaskDispBill WHERE FInterID = " +
                  N(bill),
              ":", "missing");
}

// "selected/acknowledged" dispatch totals of an operation.
std::string Totals(const TestDatabase& db, int op) {
  return Rows(db,
              "SELECT FAuxQtyTaskDispSel, FAuxQtyTaskDispAck FROM SHWorkBillEntry WHERE "
              "FWBInterID = " +
                  N(op),
              "/");
}

// "move=qty" rows of an operation's dispatch ledger by move number.
std::string Ledger(const TestDatabase& db, int op) {
  return Rows(db,
              "SELECT FOperMoveNo, FQty FROM SHMoveNoManage WHERE FTransType = 502 AND FStatus = "
              "1 AND FICMOInterID = 1 AND FWBInterID = " +
                  N(op) + " ORDER BY FOperMoveNo",
              "=");
}

struct Outcome {
  Variant result;
  std::string message;
  Variant code;  // ReturnCode, or SaveRetCode
  bool doomed;
};

// Invokes `op` in a transaction of its own, as the host does.
Outcome Call(const std::string& op, std::vector<Variant> args, size_t message_at,
             size_t code_at = 99) {
  TransactionScope tx;
  Variant result = CreateObject(kProgID)->Invoke(op, args);
  Outcome outcome{result, args[message_at].ToText(),
                  code_at < args.size() ? args[code_at] : Variant(), tx.Doomed()};
  tx.Commit();
  return outcome;
}

Outcome EndSave(const std::string& dsn, int bill) {
  corva::VectorPtr save_vect = test_util::SaveVect(bill);
  Outcome outcome = Call("EndSave", {dsn, save_vect, std::string("keep")}, 2);
  outcome.code = test_util::Header(save_vect)->Value("SaveRetCode");
  return outcome;
}

// CheckTaskDispBill: entry `td` or bill `bill`; `undo` 0 or 1; `process` 1 check, 2 close.
Outcome Check(const std::string& dsn, int td, int emp, int undo, int bill = 0, int process = 1,
              Variant date = Variant("2026-03-05")) {
  return Call("CheckTaskDispBill", {dsn, td, emp, undo, 5, std::string("old"), bill, process, date},
              5, 4);
}

// A check's Returnstring, after making sure that its result, ReturnCode and vote agree.
std::string Answer(const Outcome& outcome) {
  bool ok = outcome.result.AsBool();
  EXPECT_EQ(outcome.code.AsLong(), ok ? 0 : -1);
  EXPECT_EQ(outcome.doomed, !ok);
  return outcome.message;
}

int MaxNum(const TestDatabase& db) {
  return db.Scalar("SELECT FMaxNum FROM ICMaxNum WHERE FTableName = 'ICTaskDispBill'").AsLong();
}

TEST(TaskDispSaveTest, NumbersNewEntriesFromICMaxNumAndTotalsTheOperation) {
  TestDatabase db;
  AddFactory(db);
  AddBill(db, 1, kCutting);
  AddEntry(db, 1, 1, 10, "M1");
  AddEntry(db, 1, 2, 5, "M2");
  AddEntry(db, 1, 3, 7.5, "M3");
  db.Execute("UPDATE ICTaskDispBillEntry SET FCheckerID = 0 WHERE FEntryID = 3");
  std::vector<std::string> sent = Sent([&] {
    Outcome saved = EndSave(db.dsn(), 1);
    EXPECT_TRUE(saved.result.AsBool() && !saved.doomed && saved.code.IsEmpty());
    EXPECT_EQ(saved.message, "keep");
  });
  EXPECT_EQ(Entries(db, 1), "1001:0:- 1002:0:- 1003:0:-");  // checker 0 became Null
  EXPECT_EQ(MaxNum(db), 1003);
  EXPECT_EQ(Totals(db, kCutting), "22.5/0");
  EXPECT_TRUE(Contains(
      sent,
      " EXEC prc_SHUpdateBillDoubleQty 502, 1\r\nDeclare @RecordCount int \r\nDeclare @MaxNum    "
      "  int \r\nDeclare @MaxEntry      int  \r\nSelect @recordcount=count(FTaskDispInterID),"
      "@MaxEntry=isnull(Max(FEntryID),0) from ICTaskDispBillEntry where FTaskDispInterID=0  \r\n"
      "Select @MaxNum=FMaxNum from ICMaxNum Where FTableName='ICTaskDispBill'\r\nif "
      "@Recordcount>0\r\nbegin\r\nUPDATE ICTaskDispBillEntry SET FTaskDispInterID=FEntryID+  "
      "@maxNum Where FTaskDispInterID=0\r\nUPDATE ICMaxNum SET FMaxNum=FMaxNum+@MaxEntry Where "
      "FTableName='ICTaskDispBill'\r\nend\r\nUPDATE ICTaskDispBillEntry SET FCheckerID=Null "
      "Where FCheckerID=0 \r\n"));

  // A second bill continues from the counter; the operation totals both bills.
  AddBill(db, 2, kCutting);
  AddEntry(db, 2, 1, 4, "M4");
  AddEntry(db, 2, 2, 6, "M5");
  EXPECT_TRUE(EndSave(db.dsn(), 2).result.AsBool());
  EXPECT_EQ(Entries(db, 2), "1004:0:- 1005:0:-");
  EXPECT_EQ(MaxNum(db), 1005);
  EXPECT_EQ(Totals(db, kCutting), "32.5/0");
}

TEST(TaskDispSaveTest, RefusesOperationsNotCheckedAndUndoesAFailedSave) {
  TestDatabase db;
  AddFactory(db);
  AddBill(db, 1, kCutting);
  AddEntry(db, 1, 1, 10, "M1");
  auto refusal = [&](const std::string& dsn, int op_status) {
    db.Execute("UPDATE SHWorkBillEntry SET FStatus = " + N(op_status) + " WHERE FWBInterID = 101");
    Outcome saved = EndSave(dsn, 1);
    EXPECT_TRUE(!saved.result.AsBool() && saved.doomed && saved.code.AsLong() == 99);
    return saved.message;
  };
  EXPECT_EQ(refusal(db.dsn(), 0), "派工单关联的工序计划单处于计划状态,单据不能保存,请检查。");
  EXPECT_EQ(refusal(db.dsn("en"), 3),
            "The operation plan of the task dispatch bill is closed; the bill cannot be saved. "
            "Please verify.");
  EXPECT_EQ(refusal(db.dsn(), 2), "派工单关联的工序计划单不在审核状态,单据不能保存,请检查。");
  db.Execute("UPDATE ICTaskDispBill SET FWorkBillInterID = 999 WHERE FInterID = 1");
  EXPECT_EQ(refusal(db.dsn(), 1), "派工单关联的工序计划单不存在,可能已被删除,请检查。");
  EXPECT_EQ(Entries(db, 1), "0:0:-");

  // The numbering fails after the totals were written: the abort vote takes the totals back, and
  // a run-time error leaves ReturnMsg and SaveRetCode alone.
  db.Execute("UPDATE ICTaskDispBill SET FWorkBillInterID = 101 WHERE FInterID = 1");
  db.Execute("DROP TABLE ICMaxNum");
  Outcome failed = EndSave(db.dsn(), 1);
  EXPECT_TRUE(!failed.result.AsBool() && failed.doomed && failed.code.IsEmpty());
  EXPECT_EQ(failed.message, "keep");
  EXPECT_EQ(Totals(db, kCutting), "0/0");
}

TEST(TaskDispNumberingTest, NumbersAndReservesFromTheCallersBillType) {
  TestDatabase db;
  db.Execute(
      "UPDATE ICBillNo SET FCurNo = 7, FFormat = '000', FSufLetter = '/T' WHERE FBillID = 502\n"
      "UPDATE ICBillNo SET FCurNo = 41 WHERE FBillID = 52");
  auto numbers = [&](int bill_type, Variant loop, Variant save) {
    TransactionScope tx;
    std::vector<Variant> args{bill_type, db.dsn(), loop, save};
    std::string result = CreateObject(kProgID)->Invoke("GetBillNo", args).AsString();
    EXPECT_FALSE(tx.Doomed());
    EXPECT_EQ(args[0].AsLong(), bill_type);  // the by-reference arguments come back unchanged
    tx.Commit();
    return result;
  };
  auto counters = [&] {
    return Rows(db,
                "SELECT FBillID, FCurNo FROM ICBillNo WHERE FBillID IN (52, 502, 581) "
                "ORDER BY FBillID",
                ":");
  };
  EXPECT_EQ(numbers(502, 3, true), "TD008/T,TD009/T,TD010/T,");
  EXPECT_EQ(counters(), "52:41 502:10 581:0");
  EXPECT_EQ(numbers(581, 3, false), "OS1,OS2,OS3,");  // no pattern, no suffix
  EXPECT_EQ(numbers(581, Variant(), Variant()), "OS1");
  EXPECT_EQ(numbers(502, 1, false), "TD010/T");  // one number laid out: the counter itself
  EXPECT_EQ(counters(), "52:41 502:10 581:0");
}

// Whole quantities stay whole: with 1000 received, two dispatches of 500 are both accepted. And an
// id counter one short of the int range cannot number two entries: the save fails with 8115 and
// writes nothing, where a silent 2147483648 would have been stored.
TEST(TaskDispSaveTest, ExactQuantitiesAndIdsWithinTheIntRange) {
  TestDatabase db;
  AddFactory(db);
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'TASKDISP_CONTROLQTYPLAN'");
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyRecive = 1000 WHERE FWBInterID = 102");
  AddBill(db, 1, kWelding);
  AddEntry(db, 1, 1, 500, "M1", 1001);
  AddEntry(db, 1, 2, 500, "M2", 1002);
  ASSERT_TRUE(EndSave(db.dsn(), 1).result.AsBool());
  EXPECT_TRUE(Check(db.dsn(), 1001, kChecker, 0).result.AsBool());
  EXPECT_EQ(Answer(Check(db.dsn(), 1002, kChecker, 0)), "审核[编号:TD1-2]单据成功!");
  EXPECT_EQ(Totals(db, kWelding), "1000/1000");

  db.Execute("UPDATE ICMaxNum SET FMaxNum = 2147483646 WHERE FTableName = 'ICTaskDispBill'");
  AddBill(db, 2, kWelding);
  AddEntry(db, 2, 1, 1, "M3");
  AddEntry(db, 2, 2, 1, "M4");
  Outcome failed = EndSave(db.dsn(), 2);
  EXPECT_TRUE(!failed.result.AsBool() && failed.doomed);
  EXPECT_EQ(Entries(db, 2), "0:0:- 0:0:-");
  EXPECT_EQ(MaxNum(db), 2147483646);
}

// Bill 1 on the cutting operation with entries 1001 (10, M1) and 1002 (5, M2), saved.
void AddSavedBill(const TestDatabase& db) {
  AddFactory(db);
  AddBill(db, 1, kCutting);
  AddEntry(db, 1, 1, 10, "M1", 1001);
  AddEntry(db, 1, 2, 5, "M2", 1002);
}

TEST(TaskDispCheckTest, EntriesCarryTotalsLedgerAndHeader) {
  TestDatabase db;
  AddSavedBill(db);
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 0)), "审核[编号:TD1-1]单据成功!");
  EXPECT_EQ(Entries(db, 1), "1001:1:9 1002:0:-");
  EXPECT_EQ(Header(db, 1), "0:-:-");  // an entry is still unchecked
  EXPECT_EQ(Totals(db, kCutting), "15/10");
  EXPECT_EQ(Ledger(db, kCutting), "M1=10");

  // A date not after 1990 leaves the entry's date Null; the header, now checked, records it.
  EXPECT_EQ(Answer(Check(db.dsn("en"), 1002, kChecker, 0, 0, 1, Variant("1990-01-01"))),
            "Check [No.: TD1-2] succeeded!");
  EXPECT_EQ(Header(db, 1), "1:9:1990-01-01");
  EXPECT_EQ(Rows(db, "SELECT FCheckDate FROM ICTaskDispBillEntry WHERE FEntryID = 2"), "-");
  EXPECT_EQ(Totals(db, kCutting), "15/15");
  EXPECT_EQ(Ledger(db, kCutting), "M1=10 M2=5");

  // Another bill's entry on a move number already in the ledger: the row is rebuilt as the sum.
  AddBill(db, 2, kCutting);
  AddEntry(db, 2, 1, 4, "M1", 1003);
  EXPECT_EQ(Answer(Check(db.dsn(), 1003, kChecker, 0)), "审核[编号:TD2-1]单据成功!");
  EXPECT_EQ(Ledger(db, kCutting), "M1=14 M2=5");

  // Uncheck: the header falls back, the quantity comes off its move number.
  EXPECT_EQ(Answer(Check(db.dsn(), 1002, kChecker, 1)), "反审核[编号:TD1-2]单据成功!");
  EXPECT_EQ(Entries(db, 1), "1001:1:9 1002:0:-");
  EXPECT_EQ(Header(db, 1), "0:-:-");
  EXPECT_EQ(Totals(db, kCutting), "19/14");
  EXPECT_EQ(Ledger(db, kCutting), "M1=14 M2=0");

  // Close and unclose move the ledger and leave the header and the totals alone.
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 0, 0, 2)), "关闭[编号:TD1-1]单据成功!");
  EXPECT_EQ(Entries(db, 1), "1001:3:9 1002:0:-");
  EXPECT_EQ(Ledger(db, kCutting), "M1=4 M2=0");
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 1, 0, 2)), "反关闭[编号:TD1-1]单据成功!");
  EXPECT_EQ(Entries(db, 1), "1001:1:9 1002:0:-");
  EXPECT_EQ(Ledger(db, kCutting), "M1=14 M2=0");
}

TEST(TaskDispCheckTest, WholeBillModeAndTheRefusalsOfEachMode) {
  TestDatabase db;
  AddSavedBill(db);
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 0)),
            "单据时未成功!系统传递给审核中间层的参数不合法![单据内码为 0 ]");
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, 0, 0)),
            "审核单据时未成功!审核状态时,系统传递给审核中间层的参数不合法![审核人为 0]");
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'ICClosed'");
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 0)),
            "单据时未成功!系统还未完成初始化，不能实现（反）审核/关闭功能!");
  db.Execute("DELETE FROM t_SystemProfile WHERE FKey = 'ICClosed'");  // missing is not 0

  // The whole bill: every entry but a closed one, no entry number in the answer.
  db.Execute("UPDATE ICTaskDispBillEntry SET FStatus = 3 WHERE FTaskDispInterID = 1002");
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 0, 1)), "审核单据成功!");
  EXPECT_EQ(Entries(db, 1), "1001:1:9 1002:3:-");
  EXPECT_EQ(Header(db, 1), "1:9:2026-03-05");
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 0, 1)), "审核单据时未成功!因为单据已审核!");
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 0)),
            "审核[编号:TD1-1]单据时未成功!因为单据已审核!");
  EXPECT_EQ(Answer(Check(db.dsn(), 1002, kChecker, 0, 0, 2)),
            "关闭[编号:TD1-2]单据时未成功!因为单据已关闭！");
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 1, 1, 2)), "反关闭单据时未成功!因为单据尚未关闭！");
  db.Execute("UPDATE ICTaskDispBill SET FStatus = 3 WHERE FInterID = 1");
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 0, 1)), "审核单据时未成功!因为单据已关闭!");
  db.Execute("UPDATE ICTaskDispBill SET FStatus = 1 WHERE FInterID = 1");

  EXPECT_EQ(Answer(Check(db.dsn("en"), 0, kChecker, 1, 1)), "Undo Check succeeded!");
  EXPECT_EQ(Entries(db, 1), "1001:0:- 1002:3:-");
  EXPECT_EQ(Header(db, 1), "0:-:-");
  EXPECT_EQ(Answer(Check(db.dsn("en"), 0, kChecker, 1, 1)),
            "Undo Check failed! Because the bill is not checked yet!");
  EXPECT_EQ(Answer(Check(db.dsn(), 4711, kChecker, 0)), "审核单据时未成功!因为单据不存在!");
}

// Two entries of one move number on the cutting operation, and a checked entry of that move
// number on the welding operation.
TEST(TaskDispCheckTest, LedgerHoldsOnlyCheckedQuantitiesOfItsOperation) {
  TestDatabase db;
  AddFactory(db);
  AddBill(db, 1, kCutting);
  AddEntry(db, 1, 1, 10, "M1", 1001);
  AddEntry(db, 1, 2, 5, "M1", 1002);
  AddBill(db, 2, kWelding);
  AddEntry(db, 2, 1, 3, "M1", 1003);
  ASSERT_TRUE(Check(db.dsn(), 1003, kChecker, 0).result.AsBool());
  EXPECT_EQ(Ledger(db, kWelding), "M1=3");

  ASSERT_TRUE(Check(db.dsn(), 1001, kChecker, 0).result.AsBool());
  EXPECT_EQ(Ledger(db, kCutting), "M1=10");  // the unchecked 5 is not on it
  ASSERT_TRUE(Check(db.dsn(), 1002, kChecker, 0).result.AsBool());
  EXPECT_EQ(Ledger(db, kCutting), "M1=15");
  ASSERT_TRUE(Check(db.dsn(), 1002, kChecker, 1).result.AsBool());
  EXPECT_EQ(Ledger(db, kCutting), "M1=10");  // only the unchecked entry comes off
  EXPECT_EQ(Ledger(db, kWelding), "M1=3");
}

// Locks, a close of entries never checked and an uncheck under a report: refused, nothing changed.
TEST(TaskDispCheckTest, RefusalsOfLocksClosesAndUnchecksChangeNothing) {
  TestDatabase db;
  AddSavedBill(db);
  const std::string locked = "因为上级关联单据已经结案或关闭!";
  db.Execute("UPDATE ICMO SET FStatus = 3 WHERE FInterID = 1");
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 0)), "审核[编号:TD1-1]单据时未成功!" + locked);
  db.Execute("UPDATE ICMO SET FStatus = 1 WHERE FInterID = 1");
  db.Execute("UPDATE SHWorkBillEntry SET FClose = 1 WHERE FWBInterID = 101");
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 0, 1)), "审核单据时未成功!" + locked);
  db.Execute("UPDATE SHWorkBillEntry SET FClose = 0 WHERE FWBInterID = 101");
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, kChecker, 0, 0, 2)),
            "关闭[编号:TD1-1]单据时未成功!因为单据尚未审核！");
  EXPECT_EQ(Entries(db, 1), "1001:0:- 1002:0:-");

  // The whole bill with one entry checked and one not: refused, the checked one stays checked.
  ASSERT_TRUE(Check(db.dsn(), 1001, kChecker, 0).result.AsBool());
  EXPECT_EQ(Answer(Check(db.dsn("en"), 0, kChecker, 0, 1, 2)),
            "Close failed! Because the bill is not checked yet!");
  EXPECT_EQ(Entries(db, 1), "1001:1:9 1002:0:-");
  EXPECT_EQ(Ledger(db, kCutting), "M1=10");

  // A report refers to entry 1002: neither it nor the whole bill may be unchecked.
  ASSERT_TRUE(Check(db.dsn(), 1002, kChecker, 0).result.AsBool());
  db.Execute("INSERT INTO SHProcRptMain (FInterID, FTaskDispBillID) VALUES (70, 1002)");
  const std::string refusal = "因为派工单存在关联的工序汇报,不能反审核!";
  EXPECT_EQ(Answer(Check(db.dsn(), 1002, kChecker, 1)),
            "反审核[编号:TD1-2]单据时未成功!" + refusal);
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kChecker, 1, 1)), "反审核单据时未成功!" + refusal);
  EXPECT_EQ(Entries(db, 1), "1001:1:9 1002:1:9");
  EXPECT_TRUE(Check(db.dsn(), 1001, kChecker, 1).result.AsBool());  // no report of its own
}

TEST(TaskDispCheckTest, DispatchQuantityControlAndItsAbortVote) {
  TestDatabase db;
  AddFactory(db);
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'TASKDISP_CONTROLQTYPLAN'");
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyRecive = 100, FAuxQtyGain = 5, FAuxQtyLost = 8, "
      "FAuxConvertQtyRecive = 2, FAuxRepReceiveQty = 1 WHERE FWBInterID = 102");  // 100 in all
  AddBill(db, 1, kWelding);
  AddEntry(db, 1, 1, 80, "M1", 1001, 1);
  AddEntry(db, 1, 2, 40, "M2", 1002);
  ASSERT_TRUE(EndSave(db.dsn(), 1).result.AsBool());
  ASSERT_EQ(Totals(db, kWelding), "120/80");

  EXPECT_EQ(Answer(Check(db.dsn(), 1002, kChecker, 0)),
            "审核[编号:TD1-2]单据时未成功!原因:新增加的派工数量[40]大于工序计划单的接收数+盘盈数-"
            "盘亏数+改制接收数+返修接收数和已派工数量的差值[20],审核不能进行。");
  // The entry status and the totals written before the control are rolled back.
  EXPECT_EQ(Entries(db, 1), "1001:1:- 1002:0:-");
  EXPECT_EQ(Totals(db, kWelding), "120/80");
  EXPECT_EQ(Ledger(db, kWelding), "");

  // A bill dispatched by the system itself is not controlled.
  db.Execute("UPDATE ICTaskDispBill SET FAutoTD = 1058 WHERE FInterID = 1");
  EXPECT_TRUE(Check(db.dsn(), 1002, kChecker, 0).result.AsBool());

  // The first operation done in house is controlled only with FirstOperIsNull 0; quantities
  // compare as decimals (0.1 + 0.2 is not above 0.3).
  AddBill(db, 2, kCutting);
  AddEntry(db, 2, 1, 0.1, "C1", 1003, 1);
  AddEntry(db, 2, 2, 0.2, "C2", 1004);
  AddEntry(db, 2, 3, 5, "C3", 1005);
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyRecive = 0.3 WHERE FWBInterID = 101");
  ASSERT_TRUE(EndSave(db.dsn(), 2).result.AsBool());
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'FirstOperIsNull'");
  EXPECT_TRUE(Check(db.dsn(), 1004, kChecker, 0).result.AsBool());
  EXPECT_EQ(Answer(Check(db.dsn("en"), 1005, kChecker, 0)),
            "Check [No.: TD2-3] failed! Reason: the added dispatch quantity [5] exceeds the "
            "operation plan's received + stocktake gain - stocktake loss + conversion received + "
            "rework received quantity less the quantity already dispatched [0]; the check cannot "
            "proceed.");
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'FirstOperIsNull'");
  EXPECT_TRUE(Check(db.dsn(), 1005, kChecker, 0).result.AsBool());
}

// Records the rights questions and answers them from `options` (index = control).
class RecordingPlanCheck : public corva::Dispatch {
 public:
  static inline std::vector<std::string> calls;
  static inline bool options[3] = {false, true, false};
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    calls.push_back(name + "(" + args[1].AsString() + "," + args[2].AsString() + ")");
    return options[args[1].AsLong()];
  }
};

// Puts the recording fake in place of the plan-check component, and the default back afterwards.
class FakePlanCheck {
 public:
  FakePlanCheck() {
    RecordingPlanCheck::calls.clear();
    corva::RegisterComponent(kPlanCheck, corva::host::FactoryOf<RecordingPlanCheck>());
  }
  ~FakePlanCheck() {
    corva::RegisterComponent(kPlanCheck,
                             corva::host::FactoryOf<corva::bills::PlanCheckComponent>());
  }
};

TEST(TaskDispCheckTest, RightsComeFromThePlanCheckComponentRowByRow) {
  TestDatabase db;
  AddSavedBill(db);
  FakePlanCheck fake;
  RecordingPlanCheck::options[1] = false;  // the maker may not check his own bill
  EXPECT_EQ(Answer(Check(db.dsn(), 0, kMaker, 0, 1)),
            "审核单据时未成功!你不能审核该单据，因为你与制单人是同一人，如果要获得本项权利，"
            "请修改相应的系统参数。");
  EXPECT_EQ(RecordingPlanCheck::calls, std::vector<std::string>{"GetBillControl(1,502)"});
  RecordingPlanCheck::calls.clear();
  EXPECT_TRUE(Check(db.dsn(), 0, kChecker, 0, 1).result.AsBool());
  EXPECT_EQ(RecordingPlanCheck::calls,
            (std::vector<std::string>{"GetBillControl(1,502)", "GetBillControl(1,502)"}));

  RecordingPlanCheck::options[2] = true;  // only the checker may uncheck
  EXPECT_EQ(Answer(Check(db.dsn(), 1001, 8, 1)),
            "反审核[编号:TD1-1]单据时未成功!你不是该单据的审核人。如果要获得本项的权利,"
            "请修改相应的系统参数。");
  EXPECT_TRUE(Check(db.dsn(), 1001, kChecker, 1).result.AsBool());
  RecordingPlanCheck::options[2] = false;
  EXPECT_TRUE(Check(db.dsn(), 1002, 8, 1).result.AsBool());
}

TEST(TaskDispCheckTest, SendsTheStatementsAsWritten) {
  TestDatabase db;
  AddSavedBill(db);
  std::vector<std::string> sent = Sent([&] { Check(db.dsn(), 1001, kChecker, 0); });
  EXPECT_TRUE(Contains(sent,
                       "Update ICTaskDispBillEntry Set Fstatus=1,FcheckerID=9,FCheckDate="
                       "'2026-03-05' Where (FinterID=0 OR FTaskDispInterID=1001) and Fstatus<>3"));
  EXPECT_TRUE(Contains(
      sent,
      " Delete From SHMoveNoManage Where FTransType = 502 and FWBInterID = 101 And FOperMoveNo = "
      "'M1' Insert into SHMoveNoManage(FOperMoveNo,FWBInterID,FICMOInterID,FTransType,FStatus,"
      "FQty)  select v.FOperMoveNo,u.FWorkBillInterID as FWBInterID,u.FICMOInterID,502 as "
      "FTransType,1 as FStatus,sum(FAuxQtyPlan) as FQty  From ictaskdispbill u inner join "
      "ictaskdispbillentry v on u.FInterID = v.FInterID  Where v.FStatus = 1 and "
      "u.FWorkBillInterID = 101 And FOperMoveNo = 'M1' Group by "
      "v.FOperMoveNo,u.FWorkBillInterID,u.FICMOInterID"));
  EXPECT_TRUE(Contains(sent,
                       "Update ICTaskDispBill Set FStatus=0,FCheckDate=Null,FCheckerID=Null Where "
                       " FInterID=1"));
  ASSERT_TRUE(Check(db.dsn(), 0, kChecker, 0, 1).result.AsBool());
  sent = Sent([&] { EXPECT_TRUE(Check(db.dsn(), 0, kChecker, 0, 1, 2).result.AsBool()); });
  EXPECT_TRUE(Contains(
      sent,
      " Update u set u.FQty=u.FQty - t.FAuxQtyPlan  From SHMoveNoManage u Inner join "
      "ICTaskDispBill v on u.FWBInterID = v.FWorkBillInterID  Inner join ICTaskDispBillEntry t on "
      "v.FInterID = t.FInterID and t.FOperMoveNo=u.FOperMoveNo  Where FTransType = 502  And "
      "v.FInterID = 1"));
}

TEST(TaskDispDeleteTest, DeletesUncheckedEntriesAndUndoesAFailedWriteBack) {
  TestDatabase db;
  AddSavedBill(db);
  ASSERT_TRUE(EndSave(db.dsn(), 1).result.AsBool());
  // Results -1 and -2 leave the transaction alone; 1 commits, -100 aborts.
  auto deleted = [&](const std::string& dsn, int td, int result) {
    Outcome outcome = Call("DeleteTDBill", {dsn, td, std::string("old")}, 2);
    EXPECT_EQ(outcome.result.AsLong(), result);
    EXPECT_EQ(outcome.doomed, result == -100);
    return outcome.message;
  };
  EXPECT_EQ(deleted(db.dsn(), 1002, 1), "\r\n派工单[TD1-2]删除成功. ");
  EXPECT_EQ(Entries(db, 1), "1001:0:-");
  EXPECT_EQ(Header(db, 1), "0:-:-");
  EXPECT_EQ(Totals(db, kCutting), "10/0");
  EXPECT_EQ(deleted(db.dsn(), 0, -1), "指定的派工单不存在");
  EXPECT_EQ(deleted(db.dsn(), 4711, -1), "指定的派工单不存在");

  ASSERT_TRUE(Check(db.dsn(), 1001, kChecker, 0).result.AsBool());
  EXPECT_EQ(deleted(db.dsn(), 1001, -2), "不能删除派工单[TD1-1],因为\r\n派工单[TD1-1 ]已经审核. ");
  ASSERT_TRUE(Check(db.dsn(), 1001, kChecker, 0, 0, 2).result.AsBool());
  EXPECT_EQ(deleted(db.dsn("en"), 1001, -2),
            "Cannot delete task dispatch entry [TD1-1] because\r\nTask dispatch entry [TD1-1 ] "
            "has already undergone Close. ");
  ASSERT_TRUE(Check(db.dsn(), 1001, kChecker, 1, 0, 2).result.AsBool());
  ASSERT_TRUE(Check(db.dsn(), 1001, kChecker, 1).result.AsBool());

  // Without its operation the write-back fails, and the abort vote brings the entry back.
  db.Execute("UPDATE ICTaskDispBill SET FWorkBillInterID = 0 WHERE FInterID = 1");
  EXPECT_EQ(deleted(db.dsn(), 1001, -100), "删除派工单出错,原因:工序计划单数据更新失败!");
  EXPECT_EQ(Entries(db, 1), "1001:0:-");
  db.Execute("UPDATE ICTaskDispBill SET FWorkBillInterID = 101 WHERE FInterID = 1");
  EXPECT_EQ(deleted(db.dsn(), 1001, 1), "\r\n派工单[TD1-1]删除成功. ");  // the last one
  EXPECT_EQ(Header(db, 1), "missing");
  EXPECT_EQ(Totals(db, kCutting), "0/0");
}

}  // namespace
}  // namespace CorvaMSHTransBills
