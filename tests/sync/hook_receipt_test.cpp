// Tests of the product receipt hook: the kit control capping a receipt, work in process by standard
// usage, a red receipt carried back through the blue one to its shift bill, the close option, and
// refusals and failing statements that leave nothing written but the host's keys.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sync/hook_test_util.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::testing::TestDatabase;
using sync_test::AddHookFactory;
using sync_test::AddStockBill;
using sync_test::Hook;
using sync_test::HookOutcome;
using sync_test::HookState;
using sync_test::kDone;
using sync_test::kFailed;
using sync_test::Rows;
using sync_test::Setting;

HookOutcome Receive(const TestDatabase& db, int bill, int code,
                    std::vector<std::pair<std::string, Variant>> more = {}) {
  more.insert(more.end(), {{"TranType", 2}, {"OperateCode", code}, {"InterID", bill}});
  return Hook(db, std::move(more));
}

TEST(HookReceiptTest, KitControlCapsTheReceipt) {
  TestDatabase db;
  AddHookFactory(db);
  Setting(db, "IC", "ProductSuitControl", "2");
  Setting(db, "IC", "ProductSuitControlItem", "2");
  // Key material 11 (1.25 pairs a product): 10 pairs issued make 8 kits. Key material 15, listed
  // after it: 3.4 issued make 3.4 kits, 3 whole products. The shorter one decides.
  db.Execute(
      "INSERT INTO t_ICItem (FItemID, FNumber, FShortNumber, FIsKeyItem) VALUES (15, 'M15', "
      "'m15', 1)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FAuxQtyMust, "
      "FAuxQtyScrap, FAuxStockQty) VALUES (800, 5, 90, 15, 1, 10, 1, 3.4)");
  AddStockBill(db, "ICStockBill", 7103, 1, 0, {{1, 3, 90, 0, 85}});
  AddStockBill(db, "ICStockBill", 7104, 1, 0, {{1, 1, 90, 0, 85}});
  const std::vector<std::pair<std::string, Variant>> check{{"ReCheck", 0}, {"BillNo", "IN7104"}};
  EXPECT_EQ(Receive(db, 7103, 1, check).outcome, kDone);
  HookOutcome fourth = Receive(db, 7104, 1, check);
  EXPECT_EQ(fourth.outcome, kFailed);
  EXPECT_EQ(fourth.keys,
            "-207/2/编号为[IN7104]的单据第1行非倒冲关键物料编号为M15领用套数小于累计入库数,"
            "不能更新库存！");
  EXPECT_EQ(Rows(db, "SELECT FAuxStockQty FROM ICMO"), "3");
  // Not checked: a host that does not ask (ReCheck bit 64, the default), a red receipt, a reversal.
  // Both leave the task short (5 received), and so does taking one back.
  EXPECT_EQ(Receive(db, 7104, 1, {{"ReCheck", 64}}).outcome, kDone);
  EXPECT_EQ(Receive(db, 7104, 1, {{"ReCheck", 0}, {"ROB", -1}}).outcome, kDone);
  EXPECT_EQ(Receive(db, 7104, 2, check).outcome, kDone);
  EXPECT_EQ(Receive(db, 7104, 2, check).outcome, kDone);

  // Warning level: its own code and message, short numbers; passes when the user ignores it.
  Setting(db, "IC", "ProductSuitControl", "1");
  Setting(db, "IC", "UseShortNumber", "1");
  EXPECT_EQ(Receive(db, 7104, 1, check).keys,
            "-206/2/编号为[IN7104]的单据第1行非倒冲关键物料编号为m15领用套数小于累计入库数");
  std::vector<std::pair<std::string, Variant>> ignore = check;
  ignore.emplace_back("IgnoreAlert", true);
  EXPECT_EQ(Receive(db, 7104, 1, ignore).outcome, kDone);

  // Any issue: a task with material to issue must have issued some of it.
  Setting(db, "IC", "ProductSuitControlItem", "1");
  EXPECT_EQ(Receive(db, 7103, 1, check).outcome, kDone);
  db.Execute("UPDATE PPBOMEntry SET FStockQty = 0");
  EXPECT_EQ(Receive(db, 7103, 1, check).keys, "-206/2/编号为[IN7104]的单据第1行未领用任何物料");
}

TEST(HookReceiptTest, WorkInProcessSourcesAndClose) {
  TestDatabase db;
  AddHookFactory(db);
  AddStockBill(db, "ICStockBill", 7101, 1, 0, {{1, 5, 90, 0, 581, 70}, {14, 1, 90, 4, 85}});
  // A red receipt made from the blue one: it reaches the shift bill through the blue line.
  AddStockBill(db, "ICStockBill", 7102, -1, 0, {{1, -5, 90, 0, 2, 7101, 1}});
  const std::string wip = "SELECT FWIPQty, FWIPAuxQty FROM PPBOMEntry WHERE FEntryID = 1";
  // By standard usage: 2.5 (1.25 pairs) per product, for 5 products and 1 grade product.
  Setting(db, "SH", "BACKFLUSH_STANDARD", "1");
  Setting(db, "SH", "MO_CLOSEOPTION", "6");  // lower limit reached and nothing in process
  EXPECT_EQ(Receive(db, 7101, 1).outcome, kDone);
  EXPECT_EQ(Rows(db, wip), "5/2.5");
  EXPECT_EQ(Rows(db, "SELECT FQtyStock, FAuxQtyStock FROM ICOperShift"), "5/5");
  // The red receipt takes the products back from the task and the shift bill, and gives back the
  // work in process of the products (not of the grade product it does not carry).
  EXPECT_EQ(Receive(db, 7102, 1).outcome, kDone);
  EXPECT_EQ(Rows(db, "SELECT FQtyStock, FAuxQtyStock FROM ICOperShift"), "0/0");
  EXPECT_EQ(Rows(db, "SELECT FStatus, FStockQty, FAuxStockQty FROM ICMO"), "1/0/0");
  EXPECT_EQ(Rows(db, wip), "17.5/8.75");
  EXPECT_EQ(Receive(db, 7102, 2).outcome, kDone);
  EXPECT_EQ(Receive(db, 7101, 2).outcome, kDone);
  EXPECT_EQ(Rows(db, wip), "20/10");
  // Where reports consume work in process, receipts leave it alone.
  Setting(db, "SH", "WIPDeductMode", "1");
  db.Execute("UPDATE ICMO SET FAuxInLowLimitQty = 5");
  EXPECT_EQ(Receive(db, 7101, 1).outcome, kDone);
  EXPECT_EQ(Rows(db, wip), "20/10");
  EXPECT_EQ(Rows(db, "SELECT FStatus FROM ICMO"), "1");  // limit reached, but still in process
  EXPECT_EQ(Receive(db, 7101, 2).outcome, kDone);
  Setting(db, "SH", "MO_CLOSEOPTION", "2");
  EXPECT_EQ(Receive(db, 7101, 1).outcome, kDone);
  EXPECT_EQ(Rows(db, "SELECT FStatus FROM ICMO"), "3");
}

TEST(HookReceiptTest, RefusalsAndFailuresLeaveNothingWrittenButTheKeys) {
  TestDatabase db;
  AddHookFactory(db);
  AddStockBill(db, "ICStockBill", 7101, 1, 0, {{1, 5, 90, 0, 581, 70}, {1, 3, 90, 0, 551, 80, 1}});
  const std::string before = HookState(db);
  // The upper limit, where the site holds receipts to it: 8 received against 7 is refused.
  Setting(db, "SH", "ReportInStockExceedsUpperLimit", "0");
  db.Execute("UPDATE ICMO SET FAuxInHighLimitQty = 7");
  HookOutcome result = Receive(db, 7101, 1);
  EXPECT_EQ(result.outcome, kFailed);
  EXPECT_EQ(result.keys, "-1000/2/入库数量不允许超过完工入库上限!");
  EXPECT_EQ(HookState(db), before);
  db.Execute("UPDATE ICMO SET FAuxInHighLimitQty = 8");  // exactly at the limit
  EXPECT_EQ(Receive(db, 7101, 1).outcome, kDone);
  EXPECT_EQ(Receive(db, 7101, 2).outcome, kDone);
  // A statement failing after the shift bill was booked: the report line's unit has no ratio.
  db.Execute(
      "UPDATE t_MeasureUnit SET FCoefficient = 0 WHERE FItemID = 1\n"
      "UPDATE ICOperShift SET FUnitID = 2");
  result = Receive(db, 7101, 1);
  EXPECT_EQ(result.outcome, kFailed);
  EXPECT_EQ(result.keys.substr(0, 7), "8134/2/");
  EXPECT_EQ(HookState(db), before);
  // A bill of an operation the hook does not know, and a site without a close option.
  result = Hook(db, {{"TranType", 24}, {"OperateCode", 3}, {"InterID", 7101}});
  EXPECT_EQ(result.keys, "5/24/Invalid procedure call or argument");
  db.Execute("DELETE FROM t_SystemProfile WHERE FKey = 'MO_CLOSEOPTION'");
  EXPECT_EQ(Hook(db, {{"TranType", 24}, {"OperateCode", 1}}).keys.substr(0, 8), "3021/24/");
  // Types that are none of production's business: true, without reading anything else.
  EXPECT_EQ(Hook(db, {{"TranType", 99}, {"sDsn", Variant::Null()}}).outcome, kDone);
  EXPECT_EQ(Hook(db, {}).outcome, kDone);
}

}  // namespace
}  // namespace CorvaMSHTransBills
