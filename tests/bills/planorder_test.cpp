// Tests of clsMPlanOrder through the host's interface on a fresh embedded database per test: the
// sales orders' counts of planned orders over save, re-save and delete; the rows brought to the
// items' units and decimals; the MRP run a hand-entered bill joins; and the failure that leaves
// everything as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills {
namespace {

using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;

std::string N(double v) { return Variant(v).AsString(); }

// Item 40 (2 decimals) and 41 (0 decimals), both counted in unit 1; use unit 12 holds 12 of it.
TestDatabase& AddItems(TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (1, 1, 1)\n"
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (12, 12, 12)\n"
      "INSERT INTO t_ICItem (FItemID, FUnitID, FQtyDecimal) VALUES (40, 1, 2)\n"
      "INSERT INTO t_ICItem (FItemID, FUnitID, FQtyDecimal) VALUES (41, 1, 0)");
  return db;
}

// Row `entry` of bill `bill` for sales order `order` (0: none): `qty` of item 40 in use unit 12.
void AddRow(const TestDatabase& db, int bill, int entry, int order, double qty = 1) {
  db.Execute(
      "INSERT INTO ICMRPResult (FInterID, FEntryID, FBillNo, FItemID, FUseUnitID, FAuxPlanQty, "
      "FOrgSaleInterID) VALUES (" +
      N(bill) + ", " + N(entry) + ", 'PL" + N(bill) + "-" + N(entry) + "', 40, 12, " + N(qty) +
      ", " + N(order) + ")");
}

// BeginSave or EndSave of `bill` as the host calls it, in the transaction of the caller's scope;
// the header's other keys are "FAuxReleasedQty", "FromManual", "FromSystem" when not Empty.
bool Save(const TestDatabase& db, const std::string& op, int bill, Variant released = 0,
          Variant manual = Variant(), Variant kind = Variant()) {
  corva::VectorPtr save_vect = test_util::SaveVect(bill);
  corva::DictionaryPtr header = test_util::Header(save_vect);
  for (auto [key, value] : {std::pair<const char*, Variant>{"FAuxReleasedQty", released},
                            {"FromManual", manual},
                            {"FromSystem", kind}})
    if (!value.IsEmpty()) header->SetValue(key, value);
  std::vector<Variant> args{db.dsn(), save_vect, std::string("keep")};
  bool ok = corva::CreateObject("CorvaMSHTransBills.clsMPlanOrder")->Invoke(op, args).AsBool();
  EXPECT_EQ(args[2].AsString(), "keep");  // neither touches the message
  EXPECT_FALSE(header->Contains("SaveRetCode"));
  return ok;
}

// The rows of `sql`, values joined by " " and rows by " | ".
std::string Rows(const TestDatabase& db, const std::string& sql) {
  std::string text;
  for (corva::RecordsetPtr rows = db.Query(sql); !rows->Eof(); rows->MoveNext()) {
    text += text.empty() ? "" : " | ";
    for (int i = 0; i < rows->FieldCount(); ++i) text += (i ? " " : "") + rows->Fields(i).ToText();
  }
  return text;
}

std::string Children(const TestDatabase& db) {
  return Rows(db, "SELECT FChildren FROM SEOrder ORDER BY FInterID");
}

TEST(PlanOrderTest, SalesOrdersCountPlannedOrdersOverSaveResaveAndDelete) {
  TestDatabase db;
  AddItems(db).Execute(
      "INSERT INTO SEOrder (FInterID, FChildren) VALUES (700, 5)\n"
      "INSERT INTO SEOrder (FInterID, FChildren) VALUES (701, 1)\n"
      "INSERT INTO SEOrder (FInterID, FChildren) VALUES (702, 2)");
  // Order 700 counts bill 1's two rows and bill 2's three; order 701 one row of bill 2; order 702
  // counts 2 but has three rows of bill 3.
  for (int entry : {1, 2}) AddRow(db, 1, entry, 700);
  for (int entry : {1, 2, 3}) AddRow(db, 2, entry, 700);
  AddRow(db, 2, 4, 701);
  AddRow(db, 2, 5, 0);
  for (int entry : {1, 2, 3}) AddRow(db, 3, entry, 702);

  // Re-save of bill 2 with two rows for order 700: between BeginSave and EndSave the host deletes
  // the old rows, writes the new ones and counts them in.
  {
    TransactionScope tx;
    EXPECT_TRUE(Save(db, "BeginSave", 2));
    db.Execute("DELETE FROM ICMRPResult WHERE FInterID = 2");
    EXPECT_EQ(Children(db), "2 | 0 | 2");  // counted out once, not again by the delete
    for (int entry : {1, 2}) AddRow(db, 2, entry, 700);
    db.Execute("UPDATE SEOrder SET FChildren = FChildren + 2 WHERE FInterID = 700");
    EXPECT_TRUE(Save(db, "EndSave", 2));
    EXPECT_TRUE(tx.Commit());
  }
  EXPECT_EQ(Children(db), "4 | 0 | 2");
  db.Execute("DELETE FROM ICMRPResult WHERE FInterID = 1");  // the delete trigger is on again
  EXPECT_EQ(Children(db), "2 | 0 | 2");
  TransactionScope abandoned;
  EXPECT_TRUE(Save(db, "BeginSave", 3));
  EXPECT_EQ(Children(db), "2 | 0 | 0");  // never below 0
}

TEST(PlanOrderTest, RowsTakeTheItemsUnitAndDecimals) {
  TestDatabase db;
  AddItems(db).Execute(
      "INSERT INTO ICMRPResult (FInterID, FEntryID, FBillNo, FItemID, FUseUnitID, FAuxPlanQty,"
      " FAuxPutInQty, FAuxNoBatchQty, FAuxNeedQty, FAuxHaveOrderQty, FReleasedQty) VALUES"
      " (3, 1, 'PL1', 40, 12, 10.456, 1.125, 2.5, 0.25, 3, 7)\n"
      "INSERT INTO ICMRPResult (FInterID, FEntryID, FBillNo, FItemID, FUseUnitID, FAuxPlanQty)"
      " VALUES (3, 2, 'PL2', 41, 1, 2.5)");
  AddRow(db, 4, 1, 0, 10.456);
  EXPECT_TRUE(Save(db, "EndSave", 3, 0.5));
  // Rounded to 2 decimals in the use unit; base quantities 12 times the unrounded value, rounded
  // alike; the released quantity as the host gave it, in both columns; another bill untouched.
  EXPECT_EQ(Rows(db,
                 "SELECT FUnitID, FAuxPlanQty, FPlanQty, FAuxPutInQty, FPutInQty, FAuxNoBatchQty,"
                 " FNoBatchQty, FAuxNeedQty, FNeedQty, FAuxHaveOrderQty, FHaveOrderQty,"
                 " FAuxReleasedQty, FReleasedQty, FPlanOrderNo, FPlanOrderInterID FROM ICMRPResult"
                 " ORDER BY FInterID, FEntryID"),
            "1 10.46 125.47 1.13 13.5 2.5 30 0.25 3 3 36 0.5 0.5 PL1 3 | "
            "1 3 3 0 0 0 0 0 0 0 0 0.5 0.5 PL2 3 | "
            "0 10.456 0 0 0 0 0 0 0 0 0 0 0  0");
}

TEST(PlanOrderTest, AHandEnteredBillJoinsTheLatestRunOfItsKind) {
  TestDatabase db;
  AddItems(db);
  AddRow(db, 5, 1, 0);
  AddRow(db, 5, 2, 0);
  auto run_after = [&](Variant manual, Variant kind) {
    EXPECT_TRUE(Save(db, "EndSave", 5, 0, manual, kind));
    return Rows(db, "SELECT DISTINCT FRunID, FType, FCloseType FROM ICMRPResult");
  };
  // No run of any kind yet: kind 1 joins run -1, kinds 0 and 4 run 0.
  EXPECT_EQ(run_after(1, 1), "-1 1 -1");
  EXPECT_EQ(run_after(1, 4), "0 1 -1");
  db.Execute("INSERT INTO ICMRPInfo (FInterID, FType) VALUES (1, 0)");
  for (const char* run : {"(6, 0)", "(2, 1)", "(7, 1)", "(3, 4)", "(9, 4)", "(8, 2)"})
    db.Execute("INSERT INTO ICMRPInfo (FInterID, FType) VALUES " + std::string(run));
  EXPECT_EQ(run_after(1, 0), "6 1 -1");
  EXPECT_EQ(run_after(1, 1), "7 1 -1");
  EXPECT_EQ(run_after(1, 4), "9 1 -1");
  EXPECT_EQ(run_after(std::string("1"), Variant()), "6 1 -1");  // no kind: kind 0
  // A bill taken over from a run keeps its run; so does a hand-entered one of a kind unknown here.
  db.Execute("UPDATE ICMRPResult SET FRunID = 42, FType = 7, FCloseType = 3");
  EXPECT_EQ(run_after(Variant(), 1), "42 7 3");
  EXPECT_EQ(run_after(0, 1), "42 7 3");
  EXPECT_EQ(run_after(1, 2), "42 7 3");
}

TEST(PlanOrderTest, AFailedEndSaveLeavesEverythingAndTheOtherOperationsDoNothing) {
  TestDatabase db;
  AddItems(db).Execute("INSERT INTO SEOrder (FInterID, FChildren) VALUES (700, 1)");
  AddRow(db, 6, 1, 700, 1.005);
  {
    // Without a released quantity the statement is incomplete: false, abort, nothing written.
    TransactionScope tx;
    EXPECT_TRUE(Save(db, "BeginSave", 6, Variant()));
    EXPECT_FALSE(Save(db, "EndSave", 6, Variant()));
    EXPECT_TRUE(tx.Doomed());
  }
  EXPECT_EQ(Rows(db, "SELECT FAuxPlanQty, FChildren FROM ICMRPResult, SEOrder"), "1.005 1");

  for (const char* op :
       {"UnionPlanOrder", "SplitPlanOrder", "UndoSplitPlanOrder", "UndoUnionPlanOrder"}) {
    TransactionScope tx;
    std::vector<Variant> args{std::string("no property string"), 17, std::string("keep")};
    auto rules = corva::CreateObject("CorvaMSHTransBills.clsMPlanOrder");
    EXPECT_FALSE(rules->Invoke(op, args).AsBool() || tx.Doomed()) << op;
    EXPECT_EQ(Variant(17), args[1]);
  }
}

}  // namespace
}  // namespace CorvaMSHTransBills
