// Tests of clsMOperShift through the host's interface (CreateObject, Invoke, TransactionScope) on
// a fresh embedded database per test: the shifted totals each shift type writes into the out and
// in operations on save, check, uncheck and delete; the hand-over and receive limits at their
// boundaries; the refusals with their messages, "SaveRetCode" and votes; the lock, the automatic
// close of a finished out operation and the move-number ledger.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills {
namespace {

using corva::CreateObject;
using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;
using test_util::Sent;

constexpr char kProgID[] = "CorvaMSHTransBills.clsMOperShift";
constexpr int kCut = 101;  // work bill 10: cut (row 1), weld (row 2), paint (row 3)
constexpr int kWeld = 102;
constexpr int kPaint = 103;
constexpr int kRepair = 201;  // the only operation of repair work bill 20
constexpr int kChecker = 9;

std::string N(double v) { return Variant(v).AsString(); }

// `text` as an SQL literal.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// Production task 1 in a unit of 2 base units, its item kept to 2 decimals; work bill 10 with
// three checked operations planned at 100 (cutting passed 100), and repair work bill 20.
void AddFactory(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 2)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (5, 2)\n"
      "INSERT INTO ICMO (FInterID, FItemID, FUnitID, FStatus) VALUES (1, 5, 2, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FStatus) VALUES (10, 1, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FStatus, FBillType) VALUES (20, 1, 1, "
      "11621)");
  for (auto [op, bill, row] :
       {std::tuple{kCut, 10, 1}, {kWeld, 10, 2}, {kPaint, 10, 3}, {kRepair, 20, 1}}) {
    db.Execute(
        "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus, "
        "FAuxQtyPlan) VALUES (" +
        N(bill) + ", " + N(op) + ", " + N(row) + ", " + N(row * 10) + ", 1, 100)");
  }
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyPass = 100 WHERE FWBInterID = 101");
}

// Shift bill `id` ("OS<id>") of `type` from `out` to `in` (0: none).
void AddShift(const TestDatabase& db, int id, int type, int out, int in, double qty,
              const std::string& move_no = "", int status = 0) {
  db.Execute(
      "INSERT INTO ICOperShift (FInterID, FBillNo, FShiftTypeID, FOutWBInterID, FInWBInterID, "
      "FICMOInterID, FItemID, FAuxQtyShift, FOperMoveNo, FStatus) VALUES (" +
      N(id) + ", 'OS" + N(id) + "', " + N(type) + ", " + N(out) + ", " + N(in) + ", 1, 5, " +
      N(qty) + ", " + Quote(move_no) + ", " + N(status) + ")");
}

// The first column of the first row of `sql`, as text ("-" for Null or no row).
std::string Value(const TestDatabase& db, const std::string& sql) {
  return corva::ValueOr(db.Scalar(sql), "-").ToText();
}

// An operation's shift totals, all bills/checked bills: "handed over/received".
std::string Totals(const TestDatabase& db, int op) {
  corva::RecordsetPtr row = db.Query(
      "SELECT FAuxQtyHandOverSel, FAuxQtyHandOver, FAuxQtyReceiveSel, FAuxQtyRecive FROM "
      "SHWorkBillEntry WHERE FWBInterID = " +
      N(op));
  return row->Fields(0).ToText() + "/" + row->Fields(1).ToText() + " " + row->Fields(2).ToText() +
         "/" + row->Fields(3).ToText();
}

double Column(const TestDatabase& db, const std::string& column, int op) {
  return db.Scalar("SELECT " + column + " FROM SHWorkBillEntry WHERE FWBInterID = " + N(op))
      .AsDouble();
}

// The quantity on the shift ledger row of an operation and move number ("" when there is none).
std::string Ledger(const TestDatabase& db, int op, const std::string& move_no) {
  return db
      .Scalar(
          "SELECT FQty FROM SHMoveNoManage WHERE FTransType = 581 AND FStatus = 1 AND "
          "FICMOInterID = 1 AND FWBInterID = " +
          N(op) + " AND FOperMoveNo = " + Quote(move_no))
      .ToText();
}

void SetSetting(const TestDatabase& db, const std::string& key, const std::string& value) {
  db.Execute("UPDATE t_SystemProfile SET FValue = '" + value + "' WHERE FKey = '" + key + "'");
}

struct Outcome {
  bool ok;
  std::string message;
  Variant save_ret_code;
  bool doomed;
};

// EndSave of bill `id` in a transaction of its own, as the host saves.
Outcome EndSave(const std::string& dsn, int id) {
  corva::VectorPtr save_vect = test_util::SaveVect(id);
  corva::DictionaryPtr header = test_util::Header(save_vect);
  TransactionScope tx;
  std::vector<Variant> args{dsn, save_vect, std::string("keep")};
  bool ok = CreateObject(kProgID)->Invoke("EndSave", args).AsBool();
  Outcome outcome{ok, args[2].ToText(), header->Value("SaveRetCode"), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// The host's check (`undo` 0) or uncheck (1) in three calls and one transaction: PreCheck,
// CheckBill, PostCheck, stopping at the first that fails.
Outcome Check(const std::string& dsn, int id, int undo, int emp = kChecker) {
  TransactionScope tx;
  auto rules = CreateObject(kProgID);
  std::vector<Variant> pre{dsn, id, undo, 1, emp, Variant(), std::string("keep")};
  std::vector<Variant> bill{dsn, id, undo, 1, emp, std::string("2026-03-05"), std::string("keep")};
  std::vector<Variant> post{dsn, id, undo, 1, emp, std::string("keep")};
  bool ok = rules->Invoke("PreCheck", pre).AsBool() && rules->Invoke("CheckBill", bill).AsBool() &&
            rules->Invoke("PostCheck", post).AsBool();
  std::string message = pre[6].ToText() != "keep"    ? pre[6].ToText()
                        : bill[6].ToText() != "keep" ? bill[6].ToText()
                                                     : post[5].ToText();
  Outcome outcome{ok, message, Variant(), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// A one-call operation (`message_at`: its ReturnMsg) in a transaction of its own.
Outcome Call(const std::string& op, std::vector<Variant> args, size_t message_at) {
  TransactionScope tx;
  bool ok = CreateObject(kProgID)->Invoke(op, args).AsBool();
  Outcome outcome{ok, args[message_at].ToText(), Variant(), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// A refusal: false, the abort vote, and its message.
std::string Refused(const Outcome& outcome) {
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.doomed);
  return outcome.message;
}

// Whether a batch of `batches` holds `text`.
bool Contains(const std::vector<std::string>& batches, const std::string& text) {
  return test_util::Contains(batches, text, true);
}

TEST(OperShiftSaveTest, EachShiftTypeTotalsIntoItsOperations) {
  TestDatabase db;
  AddFactory(db);
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyPass = 10 WHERE FWBInterID IN (102, 201)");
  AddShift(db, 1, 11301, kCut, kWeld, 30, "", 1);    // hand over and receive, checked
  AddShift(db, 2, 11301, kCut, kWeld, 20.5);         // the same, saved
  AddShift(db, 3, 11302, kWeld, 0, 5);               // hand over only
  AddShift(db, 4, 11300, 0, kPaint, 7);              // receive only
  AddShift(db, 5, 11303, kWeld, kRepair, 4, "", 1);  // to repair, checked
  AddShift(db, 6, 11304, kRepair, kWeld, 3, "", 1);  // qualified back from repair, checked
  AddShift(db, 7, 11304, kRepair, kWeld, 1);         // ... saved: not yet qualified
  for (int id = 1; id <= 7; ++id) {
    Outcome saved = EndSave(db.dsn(), id);
    EXPECT_TRUE(saved.ok && !saved.doomed) << id << ": " << saved.message;
    EXPECT_EQ(saved.message, "keep");
    EXPECT_TRUE(saved.save_ret_code.IsEmpty());
  }
  EXPECT_EQ(Totals(db, kCut), "50.5/30 0/0");
  // Weld: hands over 5 (not the 4 sent to repair), receives 50.5 (not the repair returns).
  EXPECT_EQ(Totals(db, kWeld), "5/0 50.5/30");
  EXPECT_EQ(Column(db, "FAuxReprocessedMoveSelQty", kWeld), 4);
  EXPECT_EQ(Column(db, "FAuxReprocessedMoveQty", kWeld), 4);
  EXPECT_EQ(Column(db, "FAuxQualifiedReprocessedQty", kWeld), 3);
  EXPECT_EQ(Totals(db, kPaint), "0/0 7/0");
  EXPECT_EQ(Totals(db, kRepair), "4/3 0/0");  // returns count as handed over by the repair
  // Base units through the task's unit of 2.
  EXPECT_EQ(Column(db, "FQtyHandOverSel", kCut), 101);
  EXPECT_EQ(Column(db, "FQtyRecive", kWeld), 60);
  EXPECT_EQ(db.Scalar("SELECT FQtyShift FROM ICOperShift WHERE FInterID = 2").AsDouble(), 41);

  // The bill-keyed form rewrites both operations of the bill, as the operation-keyed form does.
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyHandOverSel = 0, FAuxQtyReceiveSel = 0");
  EXPECT_TRUE(Call("SynWorkBillAndOperShift", {db.dsn(), 0, 2}, 0).ok);
  EXPECT_EQ(Totals(db, kCut), "50.5/30 0/0");
  EXPECT_EQ(Totals(db, kWeld), "5/0 50.5/30");
  Outcome nothing = Call("SynWorkBillAndOperShift", {db.dsn(), 0, 0}, 0);
  EXPECT_TRUE(!nothing.ok && nothing.doomed);
}

TEST(OperShiftSaveTest, ASubcontractedFormerOperationKeepsTheReceiptItBooked) {
  TestDatabase db;
  AddFactory(db);
  db.Execute(
      "UPDATE SHWorkBillEntry SET FISOut = 1058, FAuxQtyFinish = 100 WHERE FWBInterID = 101\n"
      "UPDATE SHWorkBillEntry SET FAuxQtyReceiveSel = 77, FAuxQtyRecive = 70 WHERE FWBInterID = "
      "102");
  AddShift(db, 1, 11301, kCut, kWeld, 30);
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  EXPECT_EQ(Totals(db, kCut), "30/0 0/0");
  EXPECT_EQ(Totals(db, kWeld), "0/0 77/70");
  auto ask = [&](const char* op, int wb) {
    std::vector<Variant> args{db.dsn(), wb};
    return CreateObject(kProgID)->Invoke(op, args).AsBool();
  };
  EXPECT_TRUE(ask("IsFormerOperSubced", kWeld));
  EXPECT_FALSE(ask("IsFormerOperSubced", kCut));  // a first operation has none before it
  EXPECT_TRUE(ask("IsCurOperSubced", kCut));
  EXPECT_FALSE(ask("IsCurOperSubced", kWeld));
}

TEST(OperShiftSaveTest, HandOverLimitAtItsBoundary) {
  TestDatabase db;
  AddFactory(db);
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyPass = 49.5, FAuxQtyFinish = 60 WHERE "
      "FWBInterID = 101");
  AddShift(db, 9, 11304, kRepair, kCut, 0.5, "", 1);  // 0.5 came back qualified from repair
  AddShift(db, 1, 11301, kCut, kWeld, 30);
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  AddShift(db, 2, 11301, kCut, kWeld, 20);  // 50 in all: passed 49.5 + repaired 0.5
  ASSERT_TRUE(EndSave(db.dsn(), 2).ok);
  EXPECT_EQ(Totals(db, kCut), "50/0 0/0");

  db.Execute("UPDATE ICOperShift SET FAuxQtyShift = 20.25 WHERE FInterID = 2");
  Outcome over = EndSave(db.dsn(), 2);
  EXPECT_EQ(Refused(over),
            "工序移转单的移转数量超出转出工序计划单的合格数量与已移交数的差值，请检查!");
  EXPECT_EQ(over.save_ret_code.AsLong(), 99);
  EXPECT_EQ(Totals(db, kCut), "50/0 0/0");  // the abort undid the write-back
  EXPECT_EQ(Totals(db, kWeld), "0/0 50/0");

  // A subcontracted operation whose reports count directly hands over what was finished: 60.
  db.Execute("UPDATE SHWorkBillEntry SET FISOut = 1058 WHERE FWBInterID = 101");
  EXPECT_TRUE(EndSave(db.dsn(), 2).ok);
  db.Execute("UPDATE ICOperShift SET FAuxQtyShift = 30.5 WHERE FInterID = 2");
  EXPECT_TRUE(EndSave(db.dsn(), 2).ok);  // 60.5 = finished 60 + repaired 0.5
  db.Execute("UPDATE ICOperShift SET FAuxQtyShift = 30.75 WHERE FInterID = 2");
  EXPECT_EQ(Refused(EndSave(db.dsn("en"), 2)),
            "The shifted quantity exceeds the sending operation plan's finished quantity less the "
            "quantity already handed over. Please verify!");
  // ... but only on a hand-over: a return from repair counts as handed over and is held to
  // what passed.
  db.Execute(
      "UPDATE ICOperShift SET FAuxQtyShift = 20.25, FShiftTypeID = 11304 WHERE FInterID = 2");
  EXPECT_EQ(Refused(EndSave(db.dsn(), 2)),
            "工序移转单的移转数量超出转出工序计划单的合格数量与已移交数的差值，请检查!");
}

TEST(OperShiftSaveTest, ReceiveLimitFollowsPlanYieldAndTheItemsDecimals) {
  TestDatabase db;
  AddFactory(db);
  const std::string over = "工序移转单的移转数量超出接收工序计划单的允许接收数量，请检查!";
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyPlan = 95 WHERE FWBInterID = 103");
  AddShift(db, 1, 11300, 0, kPaint, 100.01);
  db.Execute("UPDATE ICOperShift SET FYield = 95 WHERE FInterID = 1");
  EXPECT_TRUE(EndSave(db.dsn(), 1).ok);  // no control while SHOPPROC_CONTROLRECEIVE is on
  SetSetting(db, "SHOPPROC_CONTROLRECEIVE", "0");
  Outcome refused = EndSave(db.dsn(), 1);
  EXPECT_EQ(Refused(refused), over);
  EXPECT_EQ(refused.save_ret_code.AsLong(), 99);
  db.Execute("UPDATE ICOperShift SET FAuxQtyShift = 100.0000000001 WHERE FInterID = 1");
  EXPECT_TRUE(EndSave(db.dsn(), 1).ok);  // 95 x 100 / 95 = 100, within the tolerance

  // 1 x 100 / 8 = 12.5, rounded half to even to no decimals: 12.
  db.Execute(
      "UPDATE t_ICItem SET FQtyDecimal = 0\n"
      "UPDATE SHWorkBillEntry SET FAuxQtyPlan = 1 WHERE FWBInterID = 103\n"
      "UPDATE ICOperShift SET FYield = 8, FAuxQtyShift = 12 WHERE FInterID = 1");
  EXPECT_TRUE(EndSave(db.dsn(), 1).ok);
  db.Execute("UPDATE ICOperShift SET FAuxQtyShift = 12.5 WHERE FInterID = 1");
  EXPECT_EQ(Refused(EndSave(db.dsn(), 1)), over);

  // A yield of 0 is a run-time error: no rule message, no "SaveRetCode", nothing written.
  db.Execute("UPDATE ICOperShift SET FYield = 0 WHERE FInterID = 1");
  Outcome failed = EndSave(db.dsn(), 1);
  EXPECT_EQ(Refused(failed), "keep");
  EXPECT_TRUE(failed.save_ret_code.IsEmpty());
  EXPECT_EQ(Totals(db, kPaint), "0/0 12/0");
}

TEST(OperShiftSaveTest, RefusesShiftsBetweenOperationsNotChecked) {
  TestDatabase db;
  AddFactory(db);
  auto refusal = [&](const std::string& dsn, int id) {
    Outcome saved = EndSave(dsn, id);
    EXPECT_EQ(saved.save_ret_code.AsLong(), 99);
    return Refused(saved);
  };
  EXPECT_EQ(refusal(db.dsn(), 9), "工序移转单[内码:9]不存在,请检查！");
  db.Execute("UPDATE SHWorkBillEntry SET FStatus = 0 WHERE FWBInterID IN (101, 103)");
  AddShift(db, 1, 11302, kCut, 0, 5);
  EXPECT_EQ(refusal(db.dsn(), 1), "工序移转单关联的转出工序计划单不在审核状态,请检查！");
  AddShift(db, 2, 11300, 0, kPaint, 5);
  EXPECT_EQ(refusal(db.dsn("en"), 2),
            "The receiving operation plan of the operation shift bill is not checked. Please "
            "verify!");
  AddShift(db, 3, 11300, 0, 999, 5);
  EXPECT_EQ(refusal(db.dsn(), 3), "工序移转单关联的接收工序计划单不存在,可能已被删除,请检查！");
  EXPECT_EQ(Totals(db, kPaint), "0/0 0/0");

  // A write-back that fails (here a trigger refusing the update) is no rule refusal.
  db.Execute("UPDATE SHWorkBillEntry SET FStatus = 1");
  db.Execute(
      "CREATE TRIGGER NoUpdate ON SHWorkBillEntry AFTER UPDATE AS DECLARE @x int SET @x = "
      "CAST('no' AS int)");
  Outcome failed = EndSave(db.dsn(), 1);
  EXPECT_EQ(Refused(failed), "反写工序计划单[101]移转数量失败！");
  EXPECT_TRUE(failed.save_ret_code.IsEmpty());
}

TEST(OperShiftCheckTest, CheckAndUncheckCountTheBillAndKeepTheLedger) {
  TestDatabase db;
  AddFactory(db);
  AddShift(db, 1, 11301, kCut, kWeld, 30, "MV1");
  AddShift(db, 2, 11301, kCut, kWeld, 20, "MV1");
  AddShift(db, 3, 11301, kCut, kWeld, 5, "MV2");
  for (int id = 1; id <= 3; ++id) ASSERT_TRUE(EndSave(db.dsn(), id).ok);

  Outcome checked = Check(db.dsn(), 1, 0);
  EXPECT_TRUE(checked.ok && !checked.doomed) << checked.message;
  EXPECT_EQ(checked.message, "keep");
  EXPECT_EQ(Value(db,
                  "SELECT CAST(FStatus AS varchar(9)) + ':' + CAST(FCheckerID AS varchar(9)) "
                  "+ ':' + CONVERT(varchar(10), FCheckDate, 120) FROM ICOperShift WHERE "
                  "FInterID = 1"),
            "1:9:2026-03-05");
  EXPECT_EQ(Totals(db, kCut), "55/30 0/0");
  EXPECT_EQ(Totals(db, kWeld), "0/0 55/30");
  EXPECT_EQ(Column(db, "FQtyRecive", kWeld), 60);
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "50");  // every bill of the move number counts
  EXPECT_EQ(Ledger(db, kCut, "MV2"), "");

  ASSERT_TRUE(Check(db.dsn(), 3, 0).ok);
  EXPECT_EQ(Ledger(db, kCut, "MV2"), "5");
  ASSERT_TRUE(Check(db.dsn(), 1, 1).ok);
  EXPECT_EQ(Value(db, "SELECT ISNULL(FCheckerID, -1) FROM ICOperShift WHERE FInterID = 1"), "-1");
  EXPECT_EQ(Totals(db, kCut), "55/5 0/0");
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "20");  // the bill's 30 came off
  ASSERT_TRUE(Check(db.dsn(), 3, 1).ok);
  EXPECT_EQ(Ledger(db, kCut, "MV2"), "");  // the row reached 0 and went

  // CheckOperShift does it in one call, without limits, close or ledger.
  Outcome one = Call("CheckOperShift", {db.dsn(), 2, 0, 1, kChecker, "2026-03-06", "keep"}, 6);
  EXPECT_TRUE(one.ok && !one.doomed && one.message == "keep");
  EXPECT_EQ(Totals(db, kCut), "55/20 0/0");
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "20");
  EXPECT_EQ(Refused(Call("CheckOperShift", {db.dsn(), 9, 0, 1, kChecker, "2026-03-06", ""}, 6)),
            "该移转单不存在！");
}

TEST(OperShiftCheckTest, PostCheckLimitsUndoTheWholeCheck) {
  TestDatabase db;
  AddFactory(db);
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyPass = 40 WHERE FWBInterID = 101");
  AddShift(db, 1, 11301, kCut, kWeld, 40, "MV1");
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  AddShift(db, 2, 11301, kCut, kWeld, 10, "MV1");  // saved behind the limit's back
  EXPECT_EQ(Refused(Check(db.dsn(), 1, 0)),
            "本操作不能进行,因为会导致如下错误结果:\r\n转出工序计划单的合格数[40]小于移交选单数量"
            "[50]\r\n");
  EXPECT_EQ(Value(db, "SELECT FStatus FROM ICOperShift WHERE FInterID = 1"), "0");
  EXPECT_EQ(Totals(db, kCut), "40/0 0/0");
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "");
  AddShift(db, 9, 11304, kRepair, kCut, 10, "", 1);  // 40 passed + 10 repaired cover the 50

  // The dispatch control tests the in operation on a check and on an uncheck alike.
  ASSERT_TRUE(Check(db.dsn(), 1, 0).ok);
  SetSetting(db, "TASKDISP_CONTROLQTYPLAN", "0");
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyTaskDispAck = 40.5, FAuxQtyGain = 1, "
      "FAuxQtyLost = 0.5 WHERE FWBInterID = 102");
  ASSERT_TRUE(Check(db.dsn(), 1, 0).ok);  // 40.5 = 40 + 1 - 0.5
  EXPECT_EQ(Refused(Check(db.dsn(), 1, 1)),
            "本操作不能进行,因为会导致如下错误结果:\r\n接收工序计划单的派工数[40.5]大于工序计划单"
            "的接收数+盘盈数-盘亏数+改制接收数+返修接收数[0.5]\r\n");
  EXPECT_EQ(Totals(db, kWeld), "0/0 50/40");
  SetSetting(db, "TASKDISP_CONTROLQTYPLAN", "1");

  // Finished beyond what was received, with the report control on.
  SetSetting(db, "PROCRPT_REPORTQTY", "0");
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyFinish = 41 WHERE FWBInterID = 102");
  EXPECT_EQ(Refused(Check(db.dsn("en"), 1, 1)),
            "This operation cannot proceed because it would lead to the following error:\r\nThe "
            "finished quantity [41] of the receiving operation plan exceeds its received + "
            "stocktake gain - stocktake loss + conversion received + rework received quantity "
            "[0.5]\r\n");
  EXPECT_EQ(Value(db, "SELECT FStatus FROM ICOperShift WHERE FInterID = 1"), "1");
}

TEST(OperShiftCheckTest, AFinishedOutOperationClosesAndThenLocksItsBills) {
  TestDatabase db;
  AddFactory(db);
  AddShift(db, 1, 11301, kCut, kWeld, 60, "MV1");
  AddShift(db, 2, 11301, kCut, kWeld, 40, "MV2");
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok && EndSave(db.dsn(), 2).ok);
  ASSERT_TRUE(Check(db.dsn(), 1, 0).ok);
  EXPECT_EQ(Value(db, "SELECT FStatus FROM SHWorkBillEntry WHERE FWBInterID = 101"), "1");
  ASSERT_TRUE(Check(db.dsn(), 2, 0).ok);  // passed 100, all 100 handed over
  EXPECT_EQ(Value(db, "SELECT FStatus FROM SHWorkBillEntry WHERE FWBInterID = 101"), "3");

  const std::string locked = "工序移转单的相关单据处于关闭或结案状态，本操作被禁止！\r\n";
  EXPECT_EQ(Refused(Check(db.dsn(), 2, 1)), locked);
  EXPECT_EQ(Refused(Call("DeleteOperShift", {db.dsn(), 2, ""}, 2)),
            "该工序移转单[OS2]的关联单据已经处于关闭或结案状态,本操作不能进行！");
  EXPECT_EQ(Value(db, "SELECT FStatus FROM ICOperShift WHERE FInterID = 2"), "1");
}

TEST(OperShiftCheckTest, PreCheckRefusals) {
  TestDatabase db;
  AddFactory(db);
  AddShift(db, 1, 11301, kCut, kWeld, 10, "", 1);
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  auto pre = [&](const std::string& dsn, int undo, int emp) {
    return Call("PreCheck", {dsn, 1, undo, 1, emp, Variant(), "keep"}, 6);
  };
  EXPECT_EQ(Refused(pre(db.dsn(), 0, 0)), "审核操作时,系统传递给审核中间层的审核人为空！\r\n");
  db.Execute(
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FBillType, FOperShiftBillID) "
      "VALUES (30, 1, 11621, 1)");
  EXPECT_EQ(Refused(pre(db.dsn(), 1, kChecker)), "该工序移转单存在关联的单据:返修工序计划单！\r\n");
  db.Execute(
      "DELETE FROM SHWorkBill WHERE FInterID = 30\n"
      "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FSourceTranType, FSourceInterID) "
      "VALUES (1, 1, 581, 1)");
  EXPECT_EQ(Refused(pre(db.dsn(), 1, kChecker)), "该工序移转单存在关联的单据:产品入库单！\r\n");
  db.Execute("DELETE FROM ICStockBillEntry\nUPDATE ICOperShift SET FAutoOF = 1058");
  EXPECT_EQ(Refused(pre(db.dsn(), 1, kChecker)), "自动移转的工序移转单不允许反审核。\r\n");
  db.Execute("UPDATE ICOperShift SET FAutoOF = 1059");
  Outcome passed = pre(db.dsn(), 1, kChecker);
  EXPECT_TRUE(passed.ok && !passed.doomed && passed.message == "keep");

  // Locked from the sending side as from the receiving side.
  db.Execute("UPDATE SHWorkBillEntry SET FCancellation = 1 WHERE FWBInterID = 101");
  EXPECT_EQ(Refused(pre(db.dsn(), 0, kChecker)),
            "工序移转单的相关单据处于关闭或结案状态，本操作被禁止！\r\n");
  db.Execute("UPDATE SHWorkBillEntry SET FCancellation = 0\nUPDATE ICMO SET FStatus = 3");
  EXPECT_FALSE(pre(db.dsn(), 0, kChecker).ok);
}

TEST(OperShiftDeleteTest, DeletesUncheckedOrAutomaticBillsAndUndoesAFailedOne) {
  TestDatabase db;
  AddFactory(db);
  AddShift(db, 1, 11301, kCut, kWeld, 30, "MV1");
  AddShift(db, 2, 11301, kCut, kWeld, 20, "MV1");
  for (int id = 1; id <= 2; ++id) ASSERT_TRUE(EndSave(db.dsn(), id).ok);
  ASSERT_TRUE(Check(db.dsn(), 1, 0).ok);
  ASSERT_EQ(Ledger(db, kCut, "MV1"), "50");
  auto remove = [&](const std::string& dsn, int id) {
    return Call("DeleteOperShift", {dsn, id, "old"}, 2);
  };
  EXPECT_EQ(Refused(remove(db.dsn(), 1)), "该工序移转单[OS1]已经被审核！");
  EXPECT_EQ(Refused(remove(db.dsn(), 9)), "该移转单不存在！");

  Outcome deleted = remove(db.dsn(), 2);
  EXPECT_TRUE(deleted.ok && !deleted.doomed);
  EXPECT_EQ(deleted.message, "删除工序移转单[OS2]成功！");
  EXPECT_EQ(Totals(db, kCut), "30/30 0/0");
  EXPECT_EQ(Totals(db, kWeld), "0/0 30/30");
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "30");

  // A checked bill the system made goes; its ledger row reaches 0 and goes too.
  db.Execute("UPDATE ICOperShift SET FAutoOF = 1058 WHERE FInterID = 1");
  AddShift(db, 3, 11301, kCut, kWeld, 5, "MV3");
  ASSERT_TRUE(EndSave(db.dsn(), 3).ok);
  // ... but not while the write-back fails: the abort brings bill and ledger row back.
  db.Execute(
      "CREATE TRIGGER NoUpdate ON SHWorkBillEntry AFTER UPDATE AS DECLARE @x int SET @x = "
      "CAST('no' AS int)");
  EXPECT_EQ(Refused(remove(db.dsn(), 1)), "反写工序计划单[101]移转数量失败！");
  EXPECT_EQ(Value(db, "SELECT COUNT(*) FROM ICOperShift"), "2");
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "30");
  db.Execute("ALTER TABLE SHWorkBillEntry DISABLE TRIGGER NoUpdate");
  EXPECT_EQ(remove(db.dsn("en"), 1).message, "Deleting operation shift bill [OS1] succeeded!");
  EXPECT_EQ(Ledger(db, kCut, "MV1"), "");
  EXPECT_EQ(Totals(db, kCut), "5/0 0/0");
}

// Outside tests compare these statements character for character.
TEST(OperShiftCheckTest, SendsTheStatementsAsWritten) {
  TestDatabase db;
  AddFactory(db);
  AddShift(db, 1, 11301, kCut, kWeld, 30, "M'1");
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  std::vector<std::string> sent = Sent([&] { ASSERT_TRUE(Check(db.dsn(), 1, 0).ok); });
  EXPECT_TRUE(Contains(sent,
                       "Update ICOperShift Set FCheckerID = 9,FCheckDate = '2026-03-05',FStatus = "
                       "1 Where FInterID = 1"));
  EXPECT_TRUE(Contains(
      sent,
      " Delete From SHMoveNoManage Where FTransType = 581 and FWBInterID = 101 And FOperMoveNo = "
      "'M''1'\r\n Insert into SHMoveNoManage(FOperMoveNo,FWBInterID,FICMOInterID,FTransType,"
      "FStatus,FQty) \r\n select u.FOperMoveNo,u.FOutWBInterID as FWBInterID,u.FICMOInterID,581 as "
      "FTransType,1 as FStatus,sum(FAuxQtyShift) as FQty \r\n From ICOperShift u \r\n Where "
      "u.FOutWBInterID = 101 and FOperMoveNo = 'M''1' Group By "
      "u.FICMOInterID,u.FOutWBInterID,u.FOperMOveNo"));
  EXPECT_EQ(Ledger(db, kCut, "M'1"), "30");
  sent = Sent([&] { ASSERT_TRUE(Check(db.dsn(), 1, 1).ok); });
  EXPECT_TRUE(Contains(sent,
                       "Update ICOperShift Set FCheckerID = NULL,FCheckDate = NULL,FStatus = 0 "
                       "Where FInterID = 1"));
  EXPECT_TRUE(Contains(
      sent,
      " Update u Set u.FQty = u.FQty - v.FAuxQtyShift \r\n From SHMoveNoManage u Inner join "
      "ICOperShift v on u.FWBInterID = v.FOutWBInterID and u.FOperMoveNo = v.FOperMoveNo \r\n "
      "Where u.FTransType=581 and v.FInterID = 1 And v.FOperMoveNo = 'M''1'\r\n Delete From "
      "SHMoveNoManage where FQty=0 and FTransType = 581 and FWBInterID = 101 And FOperMoveNo = "
      "'M''1'"));
}

}  // namespace
}  // namespace CorvaMSHTransBills
