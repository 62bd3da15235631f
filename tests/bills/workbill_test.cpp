// Tests of clsMWorkBill through the host's interface (CreateObject, Invoke, TransactionScope) on a
// fresh embedded database per test: numbering and its number patterns, the operation order a save
// keeps around checked operations, the rework follow-up, and the close / re-open decision with the
// plan-check component both recorded by a fake and carried out by the library's default.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "bills/plan_check_component.h"
#include "bills/workbill/number_pattern.h"
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
using test_util::Sent;

constexpr char kProgID[] = "CorvaMSHTransBills.clsMWorkBill";
constexpr char kPlanCheck[] = "CorvaMPlanCheckBill.CheckNow";

// Operation `wb` of bill `bill` at row `entry`, sequence `sn`, status `status`.
void AddOperation(const TestDatabase& db, int bill, int wb, int entry, int sn, int status = 0,
                  const std::string& more_columns = "", const std::string& more_values = "") {
  db.Execute("INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus" +
             more_columns + ") VALUES (" + std::to_string(bill) + ", " + std::to_string(wb) + ", " +
             std::to_string(entry) + ", " + std::to_string(sn) + ", " + std::to_string(status) +
             more_values + ")");
}

void AddBill(const TestDatabase& db, int bill, int type = 11620, int shift_bill = 0,
             int status = 0) {
  db.Execute("INSERT INTO SHWorkBill (FInterID, FBillType, FOperShiftBillID, FStatus) VALUES (" +
             std::to_string(bill) + ", " + std::to_string(type) + ", " +
             std::to_string(shift_bill) + ", " + std::to_string(status) + ")");
}

// Every value of a query's rows, joined by blanks ("10 1 15 2").
std::string Text(const TestDatabase& db, const std::string& sql) {
  std::string text;
  for (corva::RecordsetPtr rows = db.Query(sql); !rows->Eof(); rows->MoveNext()) {
    for (int i = 0; i < rows->FieldCount(); ++i)
      text += (text.empty() ? "" : " ") + rows->Fields(i).AsString();
  }
  return text;
}

// FOperSN and FEntryID of the bill's operations in FOperSN order.
std::string Rows(const TestDatabase& db, int bill) {
  return Text(db, "SELECT FOperSN, FEntryID FROM SHWorkBillEntry WHERE FInterID = " +
                      std::to_string(bill) + " ORDER BY FOperSN");
}

// Column `column` of work bill operation `wb`.
Variant Operation(const TestDatabase& db, int wb, const std::string& column) {
  return db.Scalar("SELECT " + column +
                   " FROM SHWorkBillEntry WHERE FWBInterID = " + std::to_string(wb));
}

struct SaveOutcome {
  bool ok;
  std::string message;
  Variant save_ret_code;
  bool doomed;
};

// EndSave of `bill` as the host calls it, in a transaction of its own.
SaveOutcome EndSave(const std::string& dsn, const Variant& bill) {
  TransactionScope tx;
  corva::VectorPtr save_vect = test_util::SaveVect(bill);
  corva::DictionaryPtr header = test_util::Header(save_vect);
  std::vector<Variant> args{dsn, save_vect, std::string("keep")};
  bool ok = CreateObject(kProgID)->Invoke("EndSave", args).AsBool();
  SaveOutcome outcome{ok, args[2].AsString(), header->Value("SaveRetCode"), tx.Doomed()};
  tx.Commit();
  return outcome;
}

TEST(NumberPatternTest, LaysOutCountersAsTheNumberFormatting) {
  EXPECT_EQ(FormatNumberPattern(42, "0000"), "0042");
  EXPECT_EQ(FormatNumberPattern(12345, "0000"), "12345");  // never loses digits
  EXPECT_EQ(FormatNumberPattern(0, "#"), "");
  EXPECT_EQ(FormatNumberPattern(0, "##0"), "0");
  EXPECT_EQ(FormatNumberPattern(12345, "00-00"), "123-45");
  EXPECT_EQ(FormatNumberPattern(5, "##-##"), "-5");
  EXPECT_EQ(FormatNumberPattern(7, "A\"-No.\"000B"), "A-No.007B");
  EXPECT_EQ(FormatNumberPattern(7, "\\#000"), "#007");
  EXPECT_EQ(FormatNumberPattern(1234567, "#,##0"), "1,234,567");
  EXPECT_EQ(FormatNumberPattern(12345, "0,"), "12");
  EXPECT_EQ(FormatNumberPattern(2.5, "0"), "3");  // half away from zero
  EXPECT_EQ(FormatNumberPattern(2.5, "0.00"), "2.50");
  EXPECT_EQ(FormatNumberPattern(5, "#.##"), "5.");
  EXPECT_EQ(FormatNumberPattern(0.25, "0%"), "25%");
  EXPECT_EQ(FormatNumberPattern(-5, "0000"), "-0005");
  EXPECT_EQ(FormatNumberPattern(-5, "0;(0)"), "(5)");
  EXPECT_EQ(FormatNumberPattern(0, "0;(0);\"none\""), "none");
  EXPECT_EQ(FormatNumberPattern(Variant::Null(), "0;0;0;\"nil\""), "nil");
  EXPECT_EQ(FormatNumberPattern(Variant::Null(), "0000"), "");
  EXPECT_THROW(FormatNumberPattern("x", "0"), corva::Error);
}

TEST(WorkBillNumberingTest, NumbersFromTheRuleOfBillType52) {
  TestDatabase db;
  auto numbers = [&](Variant loop, Variant save, bool* doomed = nullptr) {
    TransactionScope tx;
    std::vector<Variant> args{db.dsn(), loop, save};
    std::string result = CreateObject(kProgID)->Invoke("GetThisBillNo", args).AsString();
    if (doomed) *doomed = tx.Doomed();
    tx.Commit();
    return result;
  };
  db.Execute(
      "UPDATE ICBillNo SET FPreLetter = 'WB', FSufLetter = '-X', FCurNo = 41, FFormat = ' '"
      " WHERE FBillID = 52");
  bool doomed = true;
  EXPECT_EQ(numbers(Variant(), Variant(), &doomed), "WB42");  // no pattern: no suffix
  EXPECT_FALSE(doomed);
  EXPECT_EQ(numbers(2, false), "WB42,WB43,");

  db.Execute("UPDATE ICBillNo SET FFormat = '0000' WHERE FBillID = 52");
  EXPECT_EQ(numbers(1, false), "WB0041-X");  // one number laid out: the counter itself
  std::vector<std::string> sent =
      Sent([&] { EXPECT_EQ(numbers(3, true), "WB0042-X,WB0043-X,WB0044-X,"); });
  EXPECT_TRUE(Contains(
      sent, "select FPreLetter,FSufLetter,FCurNo,FFormat from ICBillNo where FBillID= 52"));
  EXPECT_TRUE(Contains(sent, "update ICBillNo set FCurNo=FCurNo+3  where FBillID=52"));
  EXPECT_EQ(db.Scalar("SELECT FCurNo FROM ICBillNo WHERE FBillID = 52").AsLong(), 44);
  numbers(Variant(), true);  // reserving without a count moves the counter by 0
  EXPECT_EQ(db.Scalar("SELECT FCurNo FROM ICBillNo WHERE FBillID = 52").AsLong(), 44);

  db.Execute("UPDATE ICBillNo SET FCurNo = NULL, FFormat = NULL WHERE FBillID = 52");
  EXPECT_EQ(numbers(2, false), "WB1,WB1,");
  db.Execute("DELETE FROM ICBillNo WHERE FBillID = 52");
  EXPECT_EQ(numbers(1, true), "");

  // No error trap: the database's error reaches the caller and the abort vote stands.
  db.Execute("DROP TABLE ICBillNo");
  TransactionScope tx;
  std::vector<Variant> args{db.dsn()};
  EXPECT_THROW(CreateObject(kProgID)->Invoke("GetThisBillNo", args), corva::Error);
  EXPECT_TRUE(tx.Doomed());
}

// Both numbering classes share one rule; a count a host could not mean (below 0, True, a runaway
// maximum) is refused before any work, so no counter ever moves backwards or loops without end.
TEST(WorkBillNumberingTest, RefusesCountsOutsideTheRangeAndNeverMovesACounterBack) {
  TestDatabase db;
  db.Execute("UPDATE ICBillNo SET FCurNo = 41, FFormat = NULL WHERE FBillID IN (52, 502)");
  struct Numbering {
    const char* progid;
    const char* op;
    std::vector<Variant> args;  // LoopNum and isSave follow
  };
  const Numbering numberings[] = {
      {kProgID, "GetThisBillNo", {db.dsn()}},
      {"CorvaMSHTransBills.clsMTaskDispBill", "GetBillNo", {502, db.dsn()}},
  };
  for (const Numbering& n : numberings) {
    SCOPED_TRACE(n.op);
    for (Variant count : {Variant(-1), Variant(true), Variant(-2147483647 - 1), Variant(2147483647),
                          Variant(kMaxNumbersPerCall + 1)}) {
      SCOPED_TRACE(count.AsString());
      TransactionScope tx;
      std::vector<Variant> args = n.args;
      args.insert(args.end(), {count, true});
      try {
        CreateObject(n.progid)->Invoke(n.op, args);
        ADD_FAILURE() << "the count was served";
      } catch (const corva::Error& e) {
        EXPECT_EQ(e.Number(), corva::kErrInvalidProcedureCall);
        EXPECT_NE(e.Description().find("LoopNum"), std::string::npos) << e.Description();
      }
      EXPECT_TRUE(tx.Doomed());
      tx.Commit();
    }
    TransactionScope tx;
    std::vector<Variant> args = n.args;
    args.insert(args.end(), {kMaxNumbersPerCall, false});
    std::string all = CreateObject(n.progid)->Invoke(n.op, args).AsString();
    EXPECT_EQ(std::count(all.begin(), all.end(), ','), kMaxNumbersPerCall);
    tx.Commit();
  }
  EXPECT_EQ(Text(db, "SELECT FCurNo FROM ICBillNo WHERE FBillID IN (52, 502)"), "41 41");
}

TEST(WorkBillSaveTest, RenumbersInOperationOrder) {
  TestDatabase db;
  AddBill(db, 1);
  AddOperation(db, 1, 11, 1, 10);
  AddOperation(db, 1, 12, 2, 20);
  AddOperation(db, 1, 13, 3, 30);
  SaveOutcome saved = EndSave(db.dsn(), 1);
  EXPECT_TRUE(saved.ok);
  EXPECT_EQ(saved.message, "keep");
  EXPECT_TRUE(saved.save_ret_code.IsEmpty());
  EXPECT_FALSE(saved.doomed);
  EXPECT_EQ(Rows(db, 1), "10 1 20 2 30 3");

  AddOperation(db, 1, 14, 4, 15);  // a new operation saved as the last row
  EXPECT_TRUE(EndSave(db.dsn(), 1).ok);
  EXPECT_EQ(Rows(db, 1), "10 1 15 2 20 3 30 4");
}

// The host's bill id is spliced into every statement of the save: text that is not an id fails
// the save as a run-time error does (false, abort, no "SaveRetCode") before any statement runs.
TEST(WorkBillSaveTest, AnIdThatIsNotAnIdFailsBeforeAnyStatement) {
  TestDatabase db;
  AddBill(db, 1);
  AddOperation(db, 1, 11, 1, 10);
  SaveOutcome out = EndSave(db.dsn(), "1 UPDATE ICMaxNum SET FMaxNum = 7 --");
  EXPECT_FALSE(out.ok);
  EXPECT_TRUE(out.doomed);
  EXPECT_TRUE(out.save_ret_code.IsEmpty());
  EXPECT_NE(out.message.find("FInterID"), std::string::npos) << out.message;
  EXPECT_EQ(Text(db, "SELECT COUNT(*) FROM ICMaxNum WHERE FMaxNum = 7"), "0");
}

TEST(WorkBillSaveTest, RefusesToMoveOperationsAcrossCheckedOnes) {
  TestDatabase db;
  AddBill(db, 1);
  AddOperation(db, 1, 11, 1, 10);
  AddOperation(db, 1, 12, 2, 20, 1);  // checked
  AddOperation(db, 1, 13, 3, 30);
  AddOperation(db, 1, 14, 4, 15);  // would move in front of the checked row 2
  std::vector<std::string> sent;
  SaveOutcome refused;
  sent = Sent([&] { refused = EndSave(db.dsn(), 1); });
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "第2行的工序计划单已经审核,不允许在前面插入工序！");
  EXPECT_EQ(refused.save_ret_code.AsLong(), 99);
  EXPECT_TRUE(refused.doomed);
  EXPECT_TRUE(Contains(sent, " Drop Table #Oper "));
  EXPECT_EQ(Rows(db, 1), "10 1 15 4 20 2 30 3");
  EXPECT_EQ(EndSave(db.dsn("en"), 1).message,
            "The operation plan in row 2 is already checked; no operation may be inserted before "
            "it!");

  // Row 1 moved behind the checked row 2.
  db.Execute("DELETE FROM SHWorkBillEntry WHERE FWBInterID = 14");
  db.Execute("UPDATE SHWorkBillEntry SET FOperSN = 25 WHERE FWBInterID = 11");
  refused = EndSave(db.dsn(), 1);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "第2行的工序计划单已经审核,不允许在后面插入工序！");
  EXPECT_EQ(refused.save_ret_code.AsLong(), 99);

  // A run-time error is no refusal: no "SaveRetCode", the error's text as the message.
  db.Execute("DROP TABLE SHWorkBillEntry");
  SaveOutcome failed = EndSave(db.dsn(), 1);
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.save_ret_code.IsEmpty());
  EXPECT_NE(failed.message.find("SHWorkBillEntry"), std::string::npos) << failed.message;
  EXPECT_TRUE(failed.doomed);
}

TEST(WorkBillSaveTest, PointsTheReworkShiftBillAtTheFirstOperation) {
  TestDatabase db;
  db.Execute("INSERT INTO ICOperShift (FInterID, FAuxQtyShift) VALUES (31, 7)");
  AddBill(db, 1, 11621, 31);
  const std::string columns = ", FOperID, FWorkCenterID, FSupplyID, FWorkerID, FCheckerID";
  AddOperation(db, 1, 12, 1, 20, 0, columns, ", 82, 62, 0, 0, 0");
  AddOperation(db, 1, 11, 2, 10, 0, columns, ", 81, 61, 5, 9, 0");
  AddBill(db, 2, 11621, 0);  // a rework bill without a shift bill
  AddOperation(db, 2, 21, 1, 10);
  AddOperation(db, 9, 91, 1, 10, 1, ", FCheckerID", ", 0");  // another bill's operation

  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  EXPECT_EQ(Text(db,
                 "SELECT FInWBInterID, FInOperID, FInWorkCenterID, FInSupplier, FInOperatorID"
                 " FROM ICOperShift WHERE FInterID = 31"),
            "11 81 61 5 9");
  // The shifted quantity is the first operation's rework receipt, in the base unit too.
  EXPECT_EQ(Text(db,
                 "SELECT FAuxRepReceiveSelQty, FAuxRepReceiveQty, FRepReceiveQty FROM "
                 "SHWorkBillEntry WHERE FWBInterID = 11"),
            "7 7 7");
  EXPECT_EQ(Operation(db, 12, "FAuxRepReceiveQty").AsDouble(), 0);
  // Checker 0 means nobody, in every bill.
  EXPECT_TRUE(Operation(db, 91, "FCheckerID").IsNull());

  db.Execute("UPDATE ICOperShift SET FInWBInterID = 0 WHERE FInterID = 31");
  ASSERT_TRUE(EndSave(db.dsn(), 2).ok);
  EXPECT_EQ(db.Scalar("SELECT FInWBInterID FROM ICOperShift WHERE FInterID = 31").AsLong(), 0);
  EXPECT_EQ(Operation(db, 21, "FAuxRepReceiveQty").AsDouble(), 0);
}

TEST(WorkBillSaveTest, UncheckedOperationUnchecksTheBill) {
  TestDatabase db;
  AddBill(db, 1, 11620, 0, 1);
  AddOperation(db, 1, 11, 1, 10, 1);
  AddOperation(db, 1, 12, 2, 20, 3);
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  EXPECT_EQ(db.Scalar("SELECT FStatus FROM SHWorkBill WHERE FInterID = 1").AsLong(), 1);
  db.Execute("UPDATE SHWorkBillEntry SET FStatus = 0 WHERE FWBInterID = 12");
  ASSERT_TRUE(EndSave(db.dsn(), 1).ok);
  EXPECT_EQ(db.Scalar("SELECT FStatus FROM SHWorkBill WHERE FInterID = 1").AsLong(), 0);
}

TEST(WorkBillSaveTest, SendsTheOrderCheckAsOneBatch) {
  TestDatabase db;
  AddBill(db, 7);
  AddOperation(db, 7, 71, 1, 10);
  std::vector<std::string> sent = Sent([&] { EndSave(db.dsn(), 7); });
  EXPECT_TRUE(Contains(
      sent,
      "--检查插入的工序计划单是否符合条件 \r\n SET NOCOUNT ON \r\n Create Table #Oper (FNewEntryID "
      "int IDENTITY (1, 1) not null,FOperSN int not null,FEntryID int not null,FStatus int not "
      "null) \r\n Insert Into #Oper\r\n Select FOperSN,FEntryID,FStatus from SHWorkBillEntry "
      "where FinterID = 7 Order by FOperSN \r\n Select t2.FEntryID From \r\n #oper t1, "
      "shworkbillentry t2 \r\n Where t1.FNewEntryID<t1.FEntryID and t2.FEntryID >= "
      "t1.FNewEntryID And t2.FEntryID<t1.FEntryID And t2.FStatus <> 0 And t2.FinterID = 7"));
  EXPECT_TRUE(
      Contains(sent, "Select Count(*) From SHWorkBillEntry where FInterID = 7 and FStatus=0"));
  EXPECT_TRUE(Contains(sent, "Update SHWorkBill set FStatus = 0 Where FInterID = 7"));
}

TEST(WorkBillCheckTest, PostCheckCountsReworkReceiptWhileChecked) {
  TestDatabase db;
  auto post_check = [&](const std::string& dsn, int bill, std::string* message) {
    TransactionScope tx;
    std::vector<Variant> args{dsn, bill, 0, 1, 16394, std::string("keep")};
    bool ok = CreateObject(kProgID)->Invoke("PostCheck", args).AsBool();
    *message = args[5].AsString();
    EXPECT_EQ(tx.Doomed(), !ok);
    tx.Commit();
    return ok;
  };
  std::string message;
  AddBill(db, 1);  // ordinary: nothing to do
  EXPECT_TRUE(post_check(db.dsn(), 1, &message));
  EXPECT_EQ(message, "keep");

  AddBill(db, 2, 11621);
  const std::string columns = ", FAuxRepReceiveSelQty, FRepReceiveSelQty, FAuxRepReceiveQty";
  AddOperation(db, 2, 21, 1, 10, 1, columns, ", 5, 50, 0");
  AddOperation(db, 2, 22, 2, 20, 1, columns, ", 6, 60, 0");
  EXPECT_TRUE(post_check(db.dsn(), 2, &message));
  EXPECT_EQ(Text(db,
                 "SELECT FAuxRepReceiveQty, FRepReceiveQty FROM SHWorkBillEntry WHERE "
                 "FWBInterID = 21"),
            "5 50");
  EXPECT_EQ(Operation(db, 22, "FAuxRepReceiveQty").AsDouble(), 0);
  db.Execute("UPDATE SHWorkBillEntry SET FStatus = 0 WHERE FWBInterID = 21");  // unchecked
  EXPECT_TRUE(post_check(db.dsn(), 2, &message));
  EXPECT_EQ(Operation(db, 21, "FAuxRepReceiveQty").AsDouble(), 0);

  // Failures carry CR LF between the reason and the (here empty) error description.
  EXPECT_FALSE(post_check(db.dsn(), 77, &message));
  EXPECT_EQ(message, "内码为[77]的工序计划单不存在，数据有误！\r\n");
  EXPECT_FALSE(post_check(db.dsn("en"), 77, &message));
  EXPECT_EQ(
      message,
      "The operation plan with internal ID [77] does not exist; the data is inconsistent!\r\n");
  AddBill(db, 3, 11621);
  AddOperation(db, 3, 0, 1, 10, 1);
  EXPECT_FALSE(post_check(db.dsn(), 3, &message));
  EXPECT_EQ(message, "内码为[3]的工序计划单的最小工序号不存在，数据有误！\r\n");
}

// Records the plan-check calls of AutoCloseBill and answers with `answer`.
class RecordingPlanCheck : public corva::Dispatch {
 public:
  static inline std::vector<std::vector<Variant>> calls;
  static inline bool answer = true;
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    EXPECT_EQ(name, "CheckWorkBill");
    calls.push_back(args);
    if (!answer) args[4] = std::string("plan check says no");
    return answer;
  }
};

// Puts the recording fake in place of the plan-check component, and the default back afterwards.
class FakePlanCheck {
 public:
  FakePlanCheck() {
    RecordingPlanCheck::calls.clear();
    RecordingPlanCheck::answer = true;
    corva::RegisterComponent(kPlanCheck, corva::host::FactoryOf<RecordingPlanCheck>());
  }
  ~FakePlanCheck() {
    corva::RegisterComponent(kPlanCheck,
                             corva::host::FactoryOf<corva::bills::PlanCheckComponent>());
    corva::RegisterComponent(std::string("QRA_") + kPlanCheck, nullptr);  // none of its own
  }
};

TEST(WorkBillCheckTest, AutoCloseDecidesCloseOrReopen) {
  TestDatabase db;
  FakePlanCheck fake;
  struct Outcome {
    bool ok;
    std::string message;
    bool doomed;
  };
  auto auto_close = [&](const std::string& dsn, int wb) {
    TransactionScope tx;
    std::vector<Variant> args{dsn, wb, 16394, std::string()};
    bool ok = CreateObject(kProgID)->Invoke("AutoCloseBill", args).AsBool();
    return Outcome{ok, args[3].AsString(), tx.Doomed()};
  };
  const std::string quantities =
      ", FAuxQtyPlan, FAuxQtyPass, FAuxQtyHandOver, FAuxConvertQtyHandover, FAuxQtyGain, "
      "FQualifiedReprocessedQty, FReprocessedQty, FReprocessedMoveQty";
  AddBill(db, 1, 11621);  // rework
  AddOperation(db, 1, 11, 1, 10, 1, quantities, ", 100, 100, 60, 40, 0, 0, 0, 0");
  AddOperation(db, 1, 12, 2, 20, 3, quantities, ", 100, 90, 60, 40, 0, 0, 0, 0");
  AddOperation(db, 1, 13, 3, 30, 0, quantities, ", 100, 100, 100, 0, 0, 0, 0, 0");
  AddBill(db, 2);  // ordinary
  AddOperation(db, 2, 21, 1, 10, 1, quantities, ", 100, 95, 100, 0, 0, 5, 5, 5");
  AddOperation(db, 2, 22, 2, 20, 1, quantities, ", 100, 95, 99, 0, 0, 5, 5, 5");

  EXPECT_TRUE(auto_close(db.dsn(), 11).ok);
  EXPECT_TRUE(auto_close(db.dsn(), 12).ok);
  EXPECT_TRUE(auto_close(db.dsn(), 21).ok);
  ASSERT_EQ(RecordingPlanCheck::calls.size(), 3u);
  const std::vector<Variant>& close = RecordingPlanCheck::calls[0];
  ASSERT_EQ(close.size(), 7u);
  EXPECT_EQ(close[0].AsString(), db.dsn());
  EXPECT_EQ(close[1].AsLong(), 11);
  EXPECT_EQ(close[2].AsLong(), 16394);
  EXPECT_EQ(close[3].AsLong(), 0);  // close
  EXPECT_EQ(close[5].AsLong(), 0);
  EXPECT_EQ(close[6].AsLong(), 2);
  EXPECT_EQ(RecordingPlanCheck::calls[1][3].AsLong(), 1);  // re-open
  EXPECT_EQ(RecordingPlanCheck::calls[2][3].AsLong(), 0);

  RecordingPlanCheck::calls.clear();
  EXPECT_TRUE(auto_close(db.dsn(), 22).ok);  // 99 handed over: nothing to do, no call
  Outcome planned = auto_close(db.dsn(), 13);
  EXPECT_FALSE(planned.ok);
  EXPECT_EQ(planned.message, "对应的工序计划单处于计划状态，不能执行关闭或反关闭操作！");
  EXPECT_TRUE(planned.doomed);
  EXPECT_EQ(auto_close(db.dsn("en"), 99).message,
            "The corresponding operation plan does not exist!");
  EXPECT_TRUE(RecordingPlanCheck::calls.empty());

  RecordingPlanCheck::answer = false;
  Outcome refused = auto_close(db.dsn(), 11);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "plan check says no");
  EXPECT_TRUE(refused.doomed);

  // The QRA edition's name falls back to the plain registration, unless it has its own.
  std::string qra = db.dsn();
  ASSERT_NE(qra.find("CorvaVersion=QRB"), std::string::npos);
  qra.replace(qra.find("CorvaVersion=QRB"), 16, "CorvaVersion=QRA");
  RecordingPlanCheck::answer = true;
  RecordingPlanCheck::calls.clear();
  EXPECT_TRUE(auto_close(qra, 11).ok);
  EXPECT_EQ(RecordingPlanCheck::calls.size(), 1u);
  corva::RegisterComponent(std::string("QRA_") + kPlanCheck,
                           corva::host::FactoryOf<RecordingPlanCheck>());
  RecordingPlanCheck::answer = false;  // only the edition's own component is asked now
  corva::RegisterComponent(kPlanCheck, corva::host::FactoryOf<corva::bills::PlanCheckComponent>());
  EXPECT_EQ(auto_close(qra, 11).message, "plan check says no");
}

TEST(PlanCheckComponentTest, ClosesAndReopensOperations) {
  TestDatabase db;
  AddBill(db, 1, 11621);
  const std::string quantities = ", FAuxQtyPlan, FAuxQtyPass, FAuxQtyHandOver";
  AddOperation(db, 1, 11, 1, 10, 1, quantities, ", 100, 100, 100");
  auto auto_close = [&] {
    TransactionScope tx;
    std::vector<Variant> args{db.dsn(), 11, 16394, std::string()};
    EXPECT_TRUE(CreateObject(kProgID)->Invoke("AutoCloseBill", args).AsBool()) << args[3].ToText();
    EXPECT_TRUE(tx.Commit());
  };
  auto_close();
  EXPECT_EQ(Operation(db, 11, "FStatus").AsLong(), 3);
  EXPECT_EQ(Operation(db, 11, "FCheckerID").AsLong(), 16394);
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyPass = 80 WHERE FWBInterID = 11");
  auto_close();
  EXPECT_EQ(Operation(db, 11, "FStatus").AsLong(), 1);

  auto check = [&](const std::string& dsn, int action, int process, std::string* message) {
    TransactionScope tx;
    std::vector<Variant> args{dsn, 11, 0, action, std::string(), 0, process};
    bool ok = CreateObject(kPlanCheck)->Invoke("CheckWorkBill", args).AsBool();
    EXPECT_EQ(tx.Doomed(), !ok);
    *message = args[4].AsString();
    tx.Commit();
    return ok;
  };
  std::string message;
  EXPECT_FALSE(check(db.dsn(), 1, 2, &message));  // not closed
  EXPECT_EQ(message, "工序计划单尚未关闭，不能反关闭！");
  EXPECT_FALSE(check(db.dsn("en"), 0, 1, &message));
  EXPECT_EQ(message, "The plan check component only closes and reopens operation plans!");
  EXPECT_TRUE(check(db.dsn(), 0, 2, &message));
  EXPECT_TRUE(Operation(db, 11, "FCheckerID").IsNull());
}

// An operation that passed 0.8 of a plan of 0.8 and handed over 0.7 to the next operation (booked
// as 0.6 and then 0.1) and 0.1 to conversion has handed over exactly what it passed, as SQL
// Server's decimals add: it closes, and a second look does not re-open it.
TEST(PlanCheckComponentTest, ClosesOnExactDecimalHandOver) {
  TestDatabase db;
  AddBill(db, 1, 11621);
  AddOperation(db, 1, 11, 1, 10, 1,
               ", FAuxQtyPlan, FAuxQtyPass, FAuxQtyHandOver, FAuxConvertQtyHandover",
               ", 0.8, 0.8, 0.6, 0.1");
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyHandOver = FAuxQtyHandOver + 0.1 WHERE FWBInterID = 11");
  for (int look = 0; look < 2; ++look) {
    TransactionScope tx;
    std::vector<Variant> args{db.dsn(), 11, 16394, std::string()};
    EXPECT_TRUE(CreateObject(kProgID)->Invoke("AutoCloseBill", args).AsBool()) << args[3].ToText();
    EXPECT_TRUE(tx.Commit());
    EXPECT_EQ(Operation(db, 11, "FStatus").AsLong(), 3) << "look " << look;
  }
  EXPECT_EQ(Operation(db, 11, "FAuxQtyHandOver").AsString(), "0.7");
}

TEST(PlanCheckComponentTest, AnswersRightsFromSettings) {
  TestDatabase db;
  auto control = [&](int which, int bill_type) {
    std::vector<Variant> args{db.dsn(), which, bill_type};
    return CreateObject(kPlanCheck)->Invoke("GetBillControl", args).AsBool();
  };
  EXPECT_TRUE(control(1, 502));  // shipped settings restrict nothing
  EXPECT_FALSE(control(2, 502));
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'TASKDISP_MAKERMAYCHECK'");
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'TASKDISP_ONLYCHECKERUNCHECKS'");
  EXPECT_FALSE(control(1, 502));
  EXPECT_TRUE(control(2, 502));
  EXPECT_TRUE(control(1, 581));  // no setting for this bill type
  EXPECT_FALSE(control(2, 581));
  db.Execute("DELETE FROM t_SystemProfile WHERE FKey = 'TASKDISP_MAKERMAYCHECK'");
  EXPECT_TRUE(control(1, 502));
}

}  // namespace
}  // namespace CorvaMSHTransBills
