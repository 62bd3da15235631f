// Tests of clsMItemScrap through the host's interface on a fresh embedded database per test: the
// scrap control across several scrap bills of one material line, up to and past the issued
// quantity, and what leaves a bill outside it (setting off, exempt bill type, backflushed
// material, the scrapped total on a check).
#include <gtest/gtest.h>

#include <string>
#include <utility>
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

constexpr char kProgID[] = "CorvaMSHTransBills.clsMItemScrap";

void SetControl(const TestDatabase& db, const std::string& value) {
  db.Execute("UPDATE t_SystemProfile SET FValue = '" + value +
             "' WHERE FKey = 'ITEMSCRAP_CONTROLQTY'");
}

// Task 1's material list: line 1 steel (10 issued), 2 shades (4 issued), 3 bases (backflushed,
// none issued). The scrap control is on.
void AddMaterialList(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_ICItem (FItemID, FNumber) VALUES (304, '1.01.001')\n"
      "INSERT INTO t_ICItem (FItemID, FNumber) VALUES (302, '2.01.001')\n"
      "INSERT INTO t_ICItem (FItemID, FNumber) VALUES (303, '2.01.002')\n"
      "INSERT INTO PPBOMEntry (FEntryID, FICMOInterID, FItemID, FStockQty) VALUES (1, 1, 304, 10)\n"
      "INSERT INTO PPBOMEntry (FEntryID, FICMOInterID, FItemID, FStockQty) VALUES (2, 1, 302, 4)\n"
      "INSERT INTO PPBOMEntry (FEntryID, FICMOInterID, FItemID, FBackFlush) VALUES (3, 1, 303, "
      "1058)");
  SetControl(db, "1");
}

// The host's save of scrap bill `bill` with (material line, quantity) lines: it writes each line
// and adds it to its material line's total selected for scrapping, then calls EndSave, all in one
// transaction. "<result> <message> <vote> <SaveRetCode>", the vote "abort" or "-", the message
// "keep" unless the call changed it.
std::string SaveScrap(const TestDatabase& db, int bill,
                      const std::vector<std::pair<int, double>>& lines, int type = 0) {
  TransactionScope tx;
  int row = 0;
  for (const auto& [material_line, qty] : lines) {
    const std::string where =
        " WHERE FICMOInterID = 1 AND FEntryID = " + std::to_string(material_line);
    db.Execute(
        "INSERT INTO ICItemScrapEntry (FInterID, FEntryID, FICMOInterID, FItemID, FQty, "
        "FSourceEntryID) SELECT " +
        std::to_string(bill) + ", " + std::to_string(++row) + ", 1, FItemID, " +
        Variant(qty).AsString() + ", FEntryID FROM PPBOMEntry" + where +
        "\nUPDATE PPBOMEntry SET FSelDisCardQty = FSelDisCardQty + " + Variant(qty).AsString() +
        where);
  }
  corva::VectorPtr save_vect = test_util::SaveVect(bill, "FinteriD");
  corva::DictionaryPtr header = test_util::Header(save_vect);
  header->SetValue("FTypeID", type);
  std::vector<Variant> args{db.dsn(), save_vect, std::string("keep")};
  bool ok = CreateObject(kProgID)->Invoke("EndSave", args).AsBool();
  std::string outcome = Variant(ok).AsString() + " " + args[2].AsString() +
                        (tx.Doomed() ? " abort " : " - ") + header->Value("SaveRetCode").ToText();
  tx.Commit();
  return outcome;
}

TEST(ItemScrapTest, ScrapBillsOfOneMaterialLineStopAtTheIssuedQuantity) {
  TestDatabase db;
  AddMaterialList(db);
  EXPECT_EQ(SaveScrap(db, 1, {{1, 6}}), "True keep - ");
  // 6 already selected + 4 = the 10 issued: still allowed.
  EXPECT_EQ(SaveScrap(db, 2, {{2, 1}, {1, 4}}), "True keep - ");
  // Half a kilogram more is too much: the bill's second row names the steel, and the refused
  // save leaves nothing, neither its lines nor its share of the totals.
  EXPECT_EQ(SaveScrap(db, 3, {{2, 1}, {1, 0.5}}),
            "False 第2行物料:[1.01.001]的报废数量>对应投料单中对应物料的（已领数量－报废选单数量） "
            "abort 99");
  EXPECT_EQ(db.Scalar("SELECT SUM(FSelDisCardQty) FROM PPBOMEntry").AsString(), "11");
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM ICItemScrapEntry WHERE FInterID = 3").AsLong(), 0);
}

TEST(ItemScrapTest, ControlOffExemptTypeAndBackflushedMaterialPassAndCheckUsesScrappedTotal) {
  TestDatabase db;
  AddMaterialList(db);
  // Backflushed material is consumed by receipts, not issued: scrapping it is never held back.
  EXPECT_EQ(SaveScrap(db, 1, {{3, 2}}), "True keep - ");
  EXPECT_EQ(SaveScrap(db, 2, {{1, 12}}, 14062), "True keep - ");  // a type saved without control
  SetControl(db, "0");
  EXPECT_EQ(SaveScrap(db, 3, {{1, 1}}), "True keep - ");
  SetControl(db, "1");
  EXPECT_EQ(SaveScrap(db, 4, {{1, 0.25}}).substr(0, 5), "False");

  // Bill 2's line now has 13 selected for scrapping and 8 scrapped of 10 issued: a check (process
  // status 1, also when left out) compares the scrapped total; any other status the selected one.
  db.Execute("UPDATE PPBOMEntry SET FDisCardQty = 8 WHERE FEntryID = 1");
  auto check = [&](std::vector<Variant> args) {
    TransactionScope tx;
    args.insert(args.begin(), {db.dsn(), 2});
    args.resize(7);
    args[6] = std::string("keep");
    bool ok = CreateObject(kProgID)->Invoke("CheckValid", args).AsBool();
    EXPECT_EQ(tx.Doomed(), !ok);
    return ok ? "passed " + args[6].AsString() : args[6].AsString();
  };
  EXPECT_EQ(check({0, 1}), "passed keep");
  EXPECT_EQ(check({}), "passed keep");
  EXPECT_EQ(check({0, 0}),
            "第1行物料:[1.01.001]的报废数量>对应投料单中对应物料的（已领数量－报废选单数量）");
  db.Execute("UPDATE PPBOMEntry SET FDisCardQty = 10.5 WHERE FEntryID = 1");
  EXPECT_NE(check({1, 1}), "passed keep");
}

}  // namespace
}  // namespace CorvaMSHTransBills
