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

using corva::CreateObject;
using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;

constexpr char kProgID[] = "CorvaMSHTransBills.clsMPPOrder";

struct Outcome {
  bool ok;
  std::string message;
  bool doomed;
  std::vector<std::string> sent;  // the batches sent to the database during the call
};

bool Sent(const Outcome& outcome, const std::string& table) {
  for (const std::string& batch : outcome.sent)
    if (batch.find(table) != std::string::npos) return true;
  return false;
}

// `op` on order `order` as the host calls it, in a transaction of its own; the message starts as
// "keep".
Outcome Call(const std::string& op, const std::string& dsn, int order, int check_switch) {
  // PreCheck takes a check date before the message; PostCheck does not.
  std::vector<Variant> args{
      dsn, order, check_switch, 1, 16394, std::string("2024-03-10"), std::string("keep")};
  if (op != "PreCheck") args.erase(args.begin() + 5);
  TransactionScope tx;
  corva::SqlTrace::EnableProcess(true);
  corva::SqlTrace::Clear();
  bool ok = CreateObject(kProgID)->Invoke(op, args).AsBool();
  corva::SqlTrace::EnableProcess(false);
  Outcome outcome{ok, args.back().AsString(), tx.Doomed(), {}};
  for (const corva::TraceEntry& entry : corva::SqlTrace::Entries())
    outcome.sent.push_back(entry.sql);
  tx.Commit();
  return outcome;
}

TEST(PPOrderTest, UncheckIsRefusedForAClosedLineOrADerivedSalesOrder) {
  TestDatabase db;
  db.Execute(
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FOrderClosed) VALUES (1, 1, 0)\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FOrderClosed) VALUES (1, 2, 1)\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FOrderClosed) VALUES (2, 1, 0)\n"
      "INSERT INTO SEOrderEntry (FInterID, FEntryID, FSourceTranType, FSourceInterID) VALUES "
      "(70, 1, 87, 1)\n"
      "INSERT INTO SEOrderEntry (FInterID, FEntryID, FSourceTranType, FSourceInterID) VALUES "
      "(71, 1, 81, 2)");

  // A check passes without a look at the database.
  Outcome check = Call("PreCheck", db.dsn(), 1, 0);
  EXPECT_TRUE(check.ok);
  EXPECT_TRUE(check.sent.empty());
  // Order 1 has a closed line (and a derived sales order, which is then not asked about).
  Outcome closed = Call("PreCheck", db.dsn(), 1, 1);
  EXPECT_FALSE(closed.ok);
  EXPECT_EQ(closed.message, "存在行业务关闭的分录, 不允许反审核。");
  EXPECT_TRUE(Sent(closed, "PPOrderEntry"));
  EXPECT_FALSE(Sent(closed, "SEOrderEntry"));
  EXPECT_FALSE(closed.doomed);  // PreCheck never votes
  db.Execute("UPDATE PPOrderEntry SET FOrderClosed = 0 WHERE FInterID = 1");
  Outcome derived = Call("PreCheck", db.dsn("en"), 1, 1);
  EXPECT_FALSE(derived.ok);
  EXPECT_EQ(derived.message, "Sales orders already refer to the order; it cannot be unchecked.");
  // Order 2's sales order line names it, but not as a PP order (source type 81).
  Outcome free = Call("PreCheck", db.dsn(), 2, 1);
  EXPECT_TRUE(free.ok && !free.doomed);
  EXPECT_EQ(free.message, "keep");

  // A database error: its own description, not localized, and still no vote.
  db.Execute("DROP TABLE SEOrderEntry");
  Outcome failed = Call("PreCheck", db.dsn(), 2, 1);
  EXPECT_FALSE(failed.ok || failed.doomed);
  EXPECT_NE(failed.message.find("SEOrderEntry"), std::string::npos) << failed.message;
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
    Outcome same_day = Call("PostCheck", db.dsn(), 1, check_switch);
    EXPECT_TRUE(same_day.ok && !same_day.doomed);
    EXPECT_EQ(same_day.message, "keep");
    Outcome early = Call("PostCheck", db.dsn("cht"), 2, check_switch);
    EXPECT_FALSE(early.ok);
    EXPECT_TRUE(early.doomed);
    EXPECT_EQ(early.message, "預測開始日期不應小於建立日期!");
  }
  // A run-time error keeps the abort vote and leaves the message alone.
  db.Execute("DROP TABLE PPOrderEntry");
  Outcome failed = Call("PostCheck", db.dsn(), 1, 0);
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.doomed);
  EXPECT_EQ(failed.message, "keep");
}

}  // namespace
}  // namespace CorvaMSHTransBills
