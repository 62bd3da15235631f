// Tests of the stock-bill hook through the host's interface: every bill type applied and then
// reversed (per-type tables included), the automatic close by the site's option and what never
// closes, the strict issue control at its boundary, and the backflush marks of operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sync/hook_test_util.h"

namespace CorvaMSHTransBills {
namespace {

using corva::testing::TestDatabase;
using sync_test::AddHookFactory;
using sync_test::AddStockBill;
using sync_test::Hook;
using sync_test::HookState;
using sync_test::kDone;
using sync_test::kFailed;
using sync_test::Rows;
using sync_test::Setting;

constexpr char kLine1[] =
    "SELECT FStockQty, FAuxStockQty, FWIPQty, FWIPAuxQty, FTransLateQty, FTransLateAuxQty FROM "
    "PPBOMEntry WHERE FEntryID = 1";

TEST(HookTest, ApplyThenReverseRestoresEveryQuantity) {
  TestDatabase db;
  AddHookFactory(db);
  Setting(db, "SH", "MO_CLOSEOPTION", "3");
  // Issues: ordinary and returned material, a line without source (not counted).
  AddStockBill(db, "ICStockBill", 7001, 1, 501,
               {{11, 8, 90, 1, 85}, {12, 1, 90, 2, 85}, {11, 2, 90, 1, 0}});
  AddStockBill(db, "ICStockBill_24", 7002, 1, 502, {{11, 4, 90, 1, 85}});
  AddStockBill(db, "ICStockBill", 7011, 1, 0, {{11, 6, 800, 1, 85}});  // names the list
  AddStockBill(db, "ICSTJGBill", 7021, 1, 0, {{11, 2, 90, 1, 85}});
  // Transfers: back to the line's own store and place, and away from another store.
  AddStockBill(db, "ICStockBill", 7031, 1, 0, {{11, 4, 90, 1, 85, 90, 0, 401}});
  AddStockBill(db, "ICStockBill_41", 7032, 1, 0, {{11, 6, 90, 1, 85, 90, 0, 403}});
  // A receipt from a shift bill and a task report, with a co-product and a grade product.
  AddStockBill(
      db, "ICStockBill", 7101, 1, 0,
      {{1, 5, 90, 0, 581, 70}, {13, 2, 90, 3, 85}, {14, 1, 90, 4, 85}, {1, 3, 90, 0, 551, 80, 1}});
  struct Case {
    int type, bill, per_type, apply, reverse;
    std::string query, applied;
  };
  const std::string issue_state =
      "SELECT u.FEntryID, u.FStockQty, u.FAuxStockQty, u.FWIPQty, u.FWIPAuxQty, m.FStockFlag FROM "
      "PPBOMEntry u, ICMO m WHERE u.FEntryID <= 2 ORDER BY u.FEntryID";
  const std::vector<Case> cases = {
      {24, 7001, 0, 1, 2, issue_state, "1/28/14/28/14/14216 2/-1/-1/0/0/14216"},
      {24, 7002, 1, 4, 8, kLine1, "24/12/24/12/0/0"},
      {28, 7011, 0, 16, 32, kLine1, "26/13/26/13/0/0"},
      {137, 7021, 0, 1, 2, kLine1, "22/11/22/11/0/0"},
      {41, 7031, 0, 1, 2, kLine1, "20/10/20/10/-4/-2"},
      {41, 7032, 1, 4, 8, kLine1, "20/10/20/10/6/3"},
      // 8 received (5 + 3) and 1 grade product consume 9/10 of line 1's 10 pairs in process.
      {2, 7101, 0, 16, 32,
       "SELECT u.FEntryID, u.FStockQty, u.FWIPQty, u.FWIPAuxQty, m.FStatus, m.FAuxStockQty FROM "
       "PPBOMEntry u, ICMO m WHERE u.FEntryID <> 2 ORDER BY u.FEntryID",
       "1/20/2/1/3/8 3/2/0/0/3/8 4/1/0/0/3/8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("TranType " + std::to_string(c.type) + ", bill " + std::to_string(c.bill));
    const std::string before = HookState(db);
    auto call = [&](int code) {
      return Hook(db, {{"TranType", c.type},
                       {"OperateCode", code},
                       {"InterID", c.bill},
                       {"BillPosTag", c.per_type}});
    };
    EXPECT_EQ(call(c.apply).outcome, kDone);
    EXPECT_EQ(Rows(db, c.query), c.applied);
    EXPECT_EQ(call(c.reverse).outcome, kDone);
    EXPECT_EQ(HookState(db), before);
  }
}

TEST(HookTest, TasksCloseByTheSiteOptionButNotOnRedOrOutsourcedIssues) {
  TestDatabase db;
  AddHookFactory(db);
  Setting(db, "SH", "MO_CLOSEOPTION", "1");  // close when every material is issued
  // Line 1 is 4 short; the task was closed today, so a close check that fails reopens it.
  db.Execute(
      "UPDATE PPBOMEntry SET FStockQty = 16, FAuxStockQty = 8, FWIPQty = 16, FWIPAuxQty = 8 "
      "WHERE FEntryID = 1\n"
      "UPDATE ICMO SET FStatus = 3, FCloseDate = CONVERT(varchar(10), GETDATE(), 120)");
  AddStockBill(db, "ICStockBill", 7003, -1, 0, {{11, -2, 90, 1, 85}});
  AddStockBill(db, "ICStockBill", 7011, 1, 0, {{11, 2, 800, 1, 85}});
  AddStockBill(db, "ICStockBill", 7001, 1, 0, {{11, 2, 90, 1, 85}});
  auto issue = [&](int type, int bill, int rob = 1) {
    return Hook(db, {{"TranType", type}, {"OperateCode", 1}, {"InterID", bill}, {"Rob", rob}})
        .outcome;
  };
  auto task = [&] { return Rows(db, "SELECT FStatus FROM ICMO") + " " + Rows(db, kLine1); };
  EXPECT_EQ(issue(24, 7003, -1), kDone);
  EXPECT_EQ(task(), "3 14/7/14/7/0/0");
  EXPECT_EQ(issue(28, 7011), kDone);
  EXPECT_EQ(task(), "3 16/8/16/8/0/0");
  EXPECT_EQ(issue(24, 7001), kDone);  // still short: reopened
  EXPECT_EQ(task(), "1 18/9/18/9/0/0");
  EXPECT_EQ(issue(24, 7001), kDone);  // the same bill again: all issued, closed
  EXPECT_EQ(task(), "3 20/10/20/10/0/0");

  // The scrap hook's option comes with the call, not from the site: the task has received its
  // lower limit, so "Profile" 2 closes it (and refreshes the issue status) and 0 leaves it alone.
  Setting(db, "SH", "MO_CLOSEOPTION", "0");
  db.Execute(
      "UPDATE ICMO SET FStatus = 1, FCloseDate = Null, FAuxStockQty = 8, FStockFlag = 0\n"
      "INSERT INTO ICItemScrapEntry (FInterID, FEntryID, FICMOInterID, FItemID) VALUES (7201, 1, "
      "90, 11)");
  for (int profile : {0, 4, 2}) {
    EXPECT_EQ(Hook(db, {{"TranType", 55}, {"InterID", 7201}, {"Profile", profile}}).outcome, kDone);
    EXPECT_EQ(Rows(db, "SELECT FStatus, FStockFlag FROM ICMO"), profile == 2 ? "3/14217" : "1/0");
  }
}

TEST(HookTest, StrictIssueControlAtItsBoundary) {
  TestDatabase db;
  AddHookFactory(db);
  Setting(db, "IC", "StrictToPPBOM", "1");
  AddStockBill(db, "ICStockBill_24", 7002, 1, 0, {{11, 0.5, 90, 1, 85}});
  auto issue = [&](int code, int operate_delete = 0) {
    return Hook(db, {{"TranType", 24},
                     {"OperateCode", code},
                     {"InterID", 7002},
                     {"BillPosTag", 1},
                     {"OperateDelete", operate_delete}});
  };
  const std::string refused = "10008/24/严格按投料单发料，不允许超过关联的生产投料单数量。";
  // 20 required and issued: half a pair more is refused and leaves nothing behind...
  const std::string before = HookState(db);
  auto result = issue(1);
  EXPECT_EQ(result.outcome, kFailed);
  EXPECT_EQ(result.keys, refused);
  EXPECT_EQ(HookState(db), before);
  // ...unless it is supplied beyond the requirement: exactly at required + supplied passes.
  db.Execute("UPDATE PPBOMEntry SET FQtySupply = 0.5 WHERE FEntryID = 1");
  EXPECT_EQ(issue(1).outcome, kDone);
  // A line still above its limit after a reversal: only a real deletion is checked.
  db.Execute("UPDATE PPBOMEntry SET FQtySupply = 0, FStockQty = 25 WHERE FEntryID = 1");
  EXPECT_EQ(issue(8, 1).keys, refused);
  EXPECT_EQ(issue(8).outcome, kDone);

  // Scrap control: the issued quantity may not fall below the scrapped one.
  Setting(db, "IC", "StrictToPPBOM", "0");
  Setting(db, "SH", "ITEMSCRAP_CONTROLQTY", "1");
  db.Execute("UPDATE PPBOMEntry SET FDisCardQty = 24.5 WHERE FEntryID = 1");
  result = issue(2);  // 24.5 - 0.5
  EXPECT_EQ(result.outcome, kFailed);
  EXPECT_EQ(result.keys, "10008/24/关联的生产投料单的已领数量不允许小于报废数量。");
  EXPECT_EQ(issue(1).outcome, kDone);  // 24.5 + 0.5
}

TEST(HookTest, BackflushMarkClearedOnlyByTheLastBillOfTheOperation) {
  TestDatabase db;
  AddHookFactory(db);
  AddStockBill(db, "ICStockBill", 7001, 1, 501, {{11, 1, 90, 1, 85}});
  AddStockBill(db, "ICStockBill", 7004, 1, 501, {{11, 1, 90, 1, 85}});
  auto post = [&](int type, int bill, int code, int operate_delete = 0) {
    return Hook(db, {{"TranType", type},
                     {"OperateCode", code},
                     {"InterID", bill},
                     {"OperateDelete", operate_delete}})
        .outcome;
  };
  auto marks = [&] {
    return Rows(db, "SELECT FBackFlushed FROM SHWorkBillEntry ORDER BY FWBInterID");
  };
  EXPECT_EQ(post(24, 7001, 1), kDone);
  EXPECT_EQ(post(24, 7004, 1), kDone);
  EXPECT_EQ(marks(), "1 0");
  EXPECT_EQ(post(24, 7004, 2), kDone);  // 7001 is still made for operation 501
  EXPECT_EQ(marks(), "1 0");
  db.Execute(
      "DELETE FROM ICStockBillEntry WHERE FInterID = 7004\n"
      "DELETE FROM ICStockBill WHERE FInterID = 7004");
  AddStockBill(db, "ICSTJGBill", 7021, 1, 501, {{11, 1, 90, 1, 85}});
  EXPECT_EQ(post(24, 7001, 2), kDone);  // a workshop material bill is made for it too
  EXPECT_EQ(marks(), "1 0");
  EXPECT_EQ(post(137, 7021, 8, 1), kDone);  // deleting that one: 7001 still counts
  EXPECT_EQ(marks(), "1 0");
  db.Execute("DELETE FROM ICSTJGBill");
  EXPECT_EQ(post(24, 7001, 2), kDone);
  EXPECT_EQ(marks(), "0 0");
  // A workshop material bill clears the mark only when it is deleted, and is the operation's last.
  db.Execute("UPDATE SHWorkBillEntry SET FBackFlushed = 1 WHERE FWBInterID = 502");
  AddStockBill(db, "ICSTJGBill", 7022, 1, 502, {{11, 1, 90, 1, 85}});
  EXPECT_EQ(post(137, 7022, 8), kDone);
  EXPECT_EQ(marks(), "0 1");
  EXPECT_EQ(post(137, 7022, 8, 1), kDone);
  EXPECT_EQ(marks(), "0 0");
}

}  // namespace
}  // namespace CorvaMSHTransBills
