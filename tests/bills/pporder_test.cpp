// Tests of clsMPPOrder through the host's interface on a fresh embedded database per test: the
// uncheck refused for a forecast order with a closed line or a derived sales order, and the need
// dates that may not lie before the order's date.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::testing::TestDatabase;

// `op` on order `order` as the host calls it, in a transaction of its own, with the message
// "keep": "<result> <message> <vote>", the vote "abort" or "-"; `sent` gets the batches sent.
std::string Call(const std::string& op, const std::string& dsn, int order, int check_switch,
                 std::string* sent = nullptr) {
  std::vector<Variant> args{dsn, order, check_switch, 1, 16394, Variant(), std::string("keep")};
  if (op != "PreCheck") args.erase(args.begin() + 5);  // PostCheck has no check date
  corva::TransactionScope tx;
  if (sent) sent->clear();
  corva::SqlTrace::EnableProcess(true);
  corva::SqlTrace::Clear();
  bool ok = corva::CreateObject("CorvaMSHTransBills.clsMPPOrder")->Invoke(op, args).AsBool();
  corva::SqlTrace::EnableProcess(false);
  for (const corva::TraceEntry& entry : corva::SqlTrace::Entries())
    if (sent) *sent += entry.sql + "\n";
  return Variant(ok).AsString() + " " + args.back().AsString() + (tx.Doomed() ? " abort" : " -");
}

TEST(PPOrderTest, UncheckIsRefusedForAClosedLineOrADerivedSalesOrder) {
  TestDatabase db;
  db.Execute(
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FOrderClosed) VALUES (1, 1, 0)\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FOrderClosed) VALUES (1, 2, 1)\n"
      "INSERT INTO SEOrderEntry (FInterID, FEntryID, FSourceTranType, FSourceInterID) VALUES "
      "(70, 1, 87, 1)\n"
      "INSERT INTO SEOrderEntry (FInterID, FEntryID, FSourceTranType, FSourceInterID) VALUES "
      "(71, 1, 81, 2)");
  std::string sent;
  EXPECT_EQ(Call("PreCheck", db.dsn(), 1, 0, &sent), "True keep -");  // a check: no look at all
  EXPECT_EQ(sent, "");
  // Order 1 has a closed line (and a derived sales order, which is then not asked about).
  EXPECT_EQ(Call("PreCheck", db.dsn(), 1, 1, &sent),
            "False 存在行业务关闭的分录, 不允许反审核。 -");
  EXPECT_EQ(sent.find("SEOrderEntry"), std::string::npos) << sent;
  db.Execute("UPDATE PPOrderEntry SET FOrderClosed = 0 WHERE FInterID = 1");
  EXPECT_EQ(Call("PreCheck", db.dsn("en"), 1, 1),
            "False Sales orders already refer to the order; it cannot be unchecked. -");
  // Order 2's sales order line names it, but not as a PP order (source type 81).
  EXPECT_EQ(Call("PreCheck", db.dsn(), 2, 1), "True keep -");
  // A database error: its own description, not localized, and still no vote.
  db.Execute("DROP TABLE SEOrderEntry");
  EXPECT_EQ(Call("PreCheck", db.dsn(), 2, 1), "False Invalid object name 'SEOrderEntry'. -");
}

TEST(PPOrderTest, PostCheckRefusesANeedDateBeforeTheOrderDate) {
  TestDatabase db;
  db.Execute(
      "INSERT INTO PPOrder (FInterID, FDate) VALUES (1, '2024-03-10')\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FNeedDate) VALUES (1, 1, '2024-03-10')\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FNeedDate) VALUES (1, 2, '2024-04-01')\n"
      "INSERT INTO PPOrder (FInterID, FDate) VALUES (2, '2024-03-10')\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FNeedDate) VALUES (2, 1, '2024-03-09')");
  for (int check_switch : {0, 1}) {
    EXPECT_EQ(Call("PostCheck", db.dsn(), 1, check_switch), "True keep -");
    EXPECT_EQ(Call("PostCheck", db.dsn("cht"), 2, check_switch),
              "False 預測開始日期不應小於建立日期! abort");
  }
  // A run-time error keeps the abort vote and leaves the message alone.
  db.Execute("DROP TABLE PPOrderEntry");
  EXPECT_EQ(Call("PostCheck", db.dsn(), 1, 0), "False keep abort");
}

}  // namespace
}  // namespace CorvaMSHTransBills
