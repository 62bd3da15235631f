// Tests of clsMItemScrap through the host's interface on a fresh embedded database per test: the
// scrap control across several scrap bills of one material line, up to and past the issued
// quantity, and what leaves a bill outside it (setting off, exempt bill type, backflushed
// material, the scrapped total on a check).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills {
namespace {

using corva::CreateObject;
using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;

constexpr char kProgID[] = "CorvaMSHTransBills.clsMItemScrap";

// Task 1's material list: line 1 steel (10 issued), line 2 shades (4 issued), line 3 bases
// (backflushed, nothing issued). The scrap control is on.
void AddMaterialList(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_ICItem (FItemID, FNumber, FName) VALUES (304, '1.01.001', 'Steel')\n"
      "INSERT INTO t_ICItem (FItemID, FNumber, FName) VALUES (302, '2.01.001', 'Shade')\n"
      "INSERT INTO t_ICItem (FItemID, FNumber, FName) VALUES (303, '2.01.002', 'Base')\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FStockQty) VALUES "
      "(11, 1, 1, 304, 10)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FStockQty) VALUES "
      "(11, 2, 1, 302, 4)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FBackFlush) VALUES "
      "(11, 3, 1, 303, 1058)\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'ITEMSCRAP_CONTROLQTY'");
}

struct Line {
  int material_line;  // PPBOMEntry.FEntryID of task 1
  int item;
  double qty;
};

struct Outcome {
  bool ok;
  std::string message;
  Variant save_ret_code;
  bool doomed;
};

// The host's save of scrap bill `bill`: it writes the bill's lines and adds each to its material
// line's total selected for scrapping, then calls EndSave, all in one transaction.
Outcome SaveScrap(const TestDatabase& db, int bill, const std::vector<Line>& lines, int type = 0,
                  const std::string& dsn = "") {
  TransactionScope tx;
  int row = 0;
  for (const Line& line : lines) {
    const std::string qty = Variant(line.qty).AsString();
    db.Execute(
        "INSERT INTO ICItemScrapEntry (FInterID, FEntryID, FICMOInterID, FItemID, FQty, "
        "FSourceEntryID) VALUES (" +
        std::to_string(bill) + ", " + std::to_string(++row) + ", 1, " + std::to_string(line.item) +
        ", " + qty + ", " + std::to_string(line.material_line) +
        ")\nUPDATE PPBOMEntry SET FSelDisCardQty = FSelDisCardQty + " + qty +
        " WHERE FICMOInterID = 1 AND FEntryID = " + std::to_string(line.material_line));
  }
  corva::DictionaryPtr header = corva::MakeDictionary();
  header->SetValue("FinteriD", bill);
  header->SetValue("FTypeID", type);
  corva::VectorPtr save_vect = corva::MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{dsn.empty() ? db.dsn() : dsn, save_vect, std::string("keep")};
  bool ok = CreateObject(kProgID)->Invoke("EndSave", args).AsBool();
  Outcome outcome{ok, args[2].AsString(), header->Value("SaveRetCode"), tx.Doomed()};
  tx.Commit();
  return outcome;
}

std::string Selected(const TestDatabase& db, int material_line) {
  return db
      .Scalar("SELECT FSelDisCardQty FROM PPBOMEntry WHERE FICMOInterID = 1 AND FEntryID = " +
              std::to_string(material_line))
      .AsString();
}

TEST(ItemScrapTest, ScrapBillsOfOneMaterialLineStopAtTheIssuedQuantity) {
  TestDatabase db;
  AddMaterialList(db);

  Outcome first = SaveScrap(db, 1, {{1, 304, 6}});
  EXPECT_TRUE(first.ok && !first.doomed && first.save_ret_code.IsEmpty());
  EXPECT_EQ(first.message, "keep");
  // 6 already selected + 4 = the 10 issued: still allowed.
  Outcome second = SaveScrap(db, 2, {{2, 302, 1}, {1, 304, 4}});
  EXPECT_TRUE(second.ok && !second.doomed) << second.message;
  EXPECT_EQ(Selected(db, 1), "10");

  // Half a kilogram more is too much: the bill's second row names the steel.
  Outcome third = SaveScrap(db, 3, {{2, 302, 1}, {1, 304, 0.5}});
  EXPECT_FALSE(third.ok);
  EXPECT_TRUE(third.doomed);
  EXPECT_EQ(third.save_ret_code, Variant(99));
  EXPECT_EQ(third.message,
            "第2行物料:[1.01.001]的报废数量>对应投料单中对应物料的（已领数量－报废选单数量）");
  // The refused save left nothing: neither its lines nor its share of the totals.
  EXPECT_EQ(Selected(db, 1), "10");
  EXPECT_EQ(Selected(db, 2), "1");
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM ICItemScrapEntry WHERE FInterID = 3").AsLong(), 0);

  // The shades' line is refused too once past its 4, in the caller's language.
  Outcome shades = SaveScrap(db, 4, {{2, 302, 3.5}}, 0, db.dsn("en"));
  EXPECT_FALSE(shades.ok);
  EXPECT_EQ(shades.message,
            "Row 1, material [2.01.001]: the scrapped quantity exceeds the material's issued "
            "quantity less its scrap-selected quantity in the material list");
}

TEST(ItemScrapTest, ControlOffExemptTypeAndBackflushedMaterialPassAndCheckUsesScrappedTotal) {
  TestDatabase db;
  AddMaterialList(db);
  // Backflushed material is consumed by receipts, not issued: scrapping it is never held back.
  EXPECT_TRUE(SaveScrap(db, 1, {{3, 303, 2}}).ok);
  // Bill type 14062 is saved without the control.
  Outcome exempt = SaveScrap(db, 2, {{1, 304, 12}}, 14062);
  EXPECT_TRUE(exempt.ok && !exempt.doomed && exempt.save_ret_code.IsEmpty());
  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'ITEMSCRAP_CONTROLQTY'");
  EXPECT_TRUE(SaveScrap(db, 3, {{1, 304, 1}}).ok);
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'ITEMSCRAP_CONTROLQTY'");
  EXPECT_FALSE(SaveScrap(db, 4, {{1, 304, 0.25}}).ok);

  // Bill 2 now points at a line with 13 selected for scrapping but 8 scrapped, of 10 issued: a
  // check (process status 1, also when left out) looks at the scrapped total and passes it; the
  // selected total fails any other status.
  db.Execute("UPDATE PPBOMEntry SET FDisCardQty = 8 WHERE FICMOInterID = 1 AND FEntryID = 1");
  auto check = [&](std::vector<Variant> args, std::string* message = nullptr) {
    TransactionScope tx;
    args.insert(args.begin(), {db.dsn(), 2});
    args.resize(7);
    args[6] = std::string("keep");
    bool ok = CreateObject(kProgID)->Invoke("CheckValid", args).AsBool();
    EXPECT_EQ(tx.Doomed(), !ok);
    if (message) *message = args[6].AsString();
    return ok;
  };
  std::string message;
  EXPECT_TRUE(check({0, 1}, &message));
  EXPECT_EQ(message, "keep");
  EXPECT_TRUE(check({}));
  EXPECT_FALSE(check({0, 0}, &message));
  EXPECT_EQ(message,
            "第1行物料:[1.01.001]的报废数量>对应投料单中对应物料的（已领数量－报废选单数量）");
  db.Execute("UPDATE PPBOMEntry SET FDisCardQty = 10.5 WHERE FICMOInterID = 1 AND FEntryID = 1");
  EXPECT_FALSE(check({1, 1}));
}

}  // namespace
}  // namespace CorvaMSHTransBills
