// corva::Verify on a small chain written row by row: consistent totals pass, each kind of total
// edited by hand is found with the value its sources add up to and the documents behind it, the
// repair rewrites exactly the drifted rows, and the totals whose sources are optional or decided
// elsewhere are left alone.
#include "corva/verify.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "corva/corva.h"
#include "support/test_db.h"

namespace corva {
namespace {

using corva::testing::TestDatabase;

// Operation 101 hands over to 102; dispatch bill TD30 dispatches 101 in entry 301 (checked, 12.5)
// and 302 (saved, 7.5). Shift bills: OS41 hands over 5 (checked), OS42 2.5 (saved), OS43 sends
// 1.5 to repair (checked), OS44 returns 0.5 qualified from repair into 101 (checked). Report OR51
// on entry 301: finished 10, passed 8, scrapped 2 for work and 0.75 for material, 1.25 sent to
// rework, over two lines. Move number M1 carries entry
// 301, OS41, OS42 and OR51, M2 OS43; the ledger holds what the checked ones put there.
// Production task 1 has work bill WB10 (101 first, 102 last, which passed 4.5 posted by hand) and
// no task reports; task 2 has task report MR61 (two lines) and work bill WB11 (operation 103),
// whose operations the reports overrule.
void AddChain(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FStatus, FAuxQtyTaskDispSel, "
      "FAuxQtyTaskDispAck, FAuxQtyHandOverSel, FAuxQtyHandOver, FAuxReprocessedMoveSelQty, "
      "FAuxReprocessedMoveQty, FAuxQualifiedReprocessedQty, FAuxQtyFinish, FAuxQtyPass, "
      "FAuxQtyScrap, FAuxQtyReceiveSel, FAuxQtyRecive, FAuxQtyLost, FAuxQtyForItem, "
      "FAuxReprocessedQty) VALUES "
      "(10, 101, 1, 1, 20, 12.5, 7.5, 5, 1.5, 1.5, 0.5, 10, 8, 2, 0, 0, 0.25, 0.75, 1.25), "
      "(10, 102, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 4.5, 0, 7.5, 5, 0.5, 0, 0), "
      "(11, 103, 1, 1, 0, 0, 0, 0, 0, 0, 0, 99, 99, 9, 0, 0, 9, 9, 9)\n"
      "INSERT INTO t_ICItem (FItemID, FProChkMde) VALUES (5, 352), (6, 352)\n"
      "INSERT INTO SHWorkBill (FInterID, FBillNo, FICMOInterID) VALUES (10, 'WB10', 1), "
      "(11, 'WB11', 2)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap, "
      "FAuxQtyForItem, FAuxQtyLost) VALUES (1, 'MO1', 5, 10, 4.5, 2, 0.75, 0.75), "
      "(2, 'MO2', 6, 7, 6, 0.5, 0.25, 0.25)\n"
      "INSERT INTO ICMORpt (FInterID, FBillNo) VALUES (61, 'MR61')\n"
      "INSERT INTO ICMORptEntry (FInterID, FEntryID, FSourceInterID, FAuxQtyFinish, FAuxQtyPass, "
      "FAuxQtyScrap, FAuxQtyForItem, FAuxQtyLoss) VALUES (61, 1, 2, 6, 5, 0.5, 0, 0.25), "
      "(61, 2, 2, 1, 1, 0, 0.25, 0)\n"
      "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID) VALUES (30, 'TD30', 101)\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FStatus, "
      "FAuxQtyPlan, FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap, FAuxQtyForItem, FAuxReprocessedQty, "
      "FOperMoveNo) VALUES (30, 1, 301, 1, 12.5, 10, 8, 2, 0.75, 1.25, 'M1'), "
      "(30, 2, 302, 0, 7.5, 0, 0, 0, 0, 0, 'M1')\n"
      "INSERT INTO ICOperShift (FInterID, FBillNo, FShiftTypeID, FOutWBInterID, FInWBInterID, "
      "FAuxQtyShift, FStatus, FOperMoveNo) VALUES (41, 'OS41', 11301, 101, 102, 5, 1, 'M1'), "
      "(42, 'OS42', 11301, 101, 102, 2.5, 0, 'M1'), (43, 'OS43', 11303, 101, 0, 1.5, 1, 'M2'), "
      "(44, 'OS44', 11304, 0, 101, 0.5, 1, '')\n"
      "INSERT INTO SHMoveNoManage (FOperMoveNo, FWBInterID, FTransType, FStatus, FQty) VALUES "
      "('M1', 101, 502, 1, 12.5), ('M1', 101, 581, 1, 5), ('M2', 101, 581, 1, 1.5), "
      "('M1', 101, 582, 1, 8)\n"
      "INSERT INTO SHProcRptMain (FInterID, FBillNo, FWBInterID, FTaskDispBillID, FStatus, "
      "FOperMoveNo) VALUES (51, 'OR51', 101, 301, 1, 'M1')\n"
      "INSERT INTO SHProcRpt (FInterID, FEntryID, FStatus, FAuxQtyFinish, FAuxQtyPass, "
      "FAuxQtyScrap, FAuxQtyForItem, FAuxReprocessedQty) VALUES (51, 1, 1, 6, 5, 1, 0.5, 1.25), "
      "(51, 2, 1, 4, 3, 1, 0.25, 0)");
}

// Task 7 (8 planned, unit 3) has material list PB7: line 1 (item 40, 2 decimals) needs 4 and was
// issued 4, line 2 (item 41, no decimals) needs 1 and was issued 1, both at operation 107 (oper 71,
// sequence 10). Operation report OR57 finishes 3 there (two lines), task report MR67 finishes 2 on
// the task. Reports consume (WIPDeductMode '1') in proportion: line 1 keeps 4 - 1.5 - 1 = 1.5,
// line 2 keeps 1, each report's share of it (0.375, 0.25) rounding to 0 on its own.
void AddWorkInProcess(const TestDatabase& db) {
  db.Execute(
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'SH' AND FKey = "
      "'WIPDeductMode'\n"
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (3, 3, 1)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (40, 2), (41, 0)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FQty, FAuxQty) VALUES "
      "(7, 'MO7', 5, 3, 8, 8)\n"
      "INSERT INTO SHWorkBill (FInterID, FBillNo, FICMOInterID) VALUES (17, 'WB17', 7)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperID, FOperSN, "
      "FAuxQtyFinish) VALUES (17, 107, 1, 71, 10, 3)\n"
      "INSERT INTO PPBOM (FInterID, FBillNo, FICMOInterID) VALUES (1701, 'PB7', 7)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, "
      "FOperSN, FQtyMust, FAuxQtyMust, FQtyScrap, FAuxQtyScrap, FStockQty, FAuxStockQty, FWIPQty, "
      "FWIPAuxQty) VALUES (1701, 1, 7, 40, 3, 71, 10, 4, 4, 0.25, 0.25, 4, 4, 1.5, 1.5), "
      "(1701, 2, 7, 41, 3, 71, 10, 1, 1, 0.125, 0.125, 1, 1, 1, 1)\n"
      "INSERT INTO SHProcRptMain (FInterID, FBillNo, FICMOInterID, FWBInterID) VALUES "
      "(57, 'OR57', 7, 107)\n"
      "INSERT INTO SHProcRpt (FInterID, FEntryID, FAuxQtyFinish) VALUES (57, 1, 2), (57, 2, 1)\n"
      "INSERT INTO ICMORpt (FInterID, FBillNo) VALUES (67, 'MR67')\n"
      "INSERT INTO ICMORptEntry (FInterID, FEntryID, FSourceInterID, FQtyFinish) VALUES "
      "(67, 1, 7, 2)");
}

// A drift as one line: "total row[/move number] stored -> recomputed [documents]".
std::string Line(const Drift& d) {
  std::string documents;
  for (const std::string& text : d.documents) documents += (documents.empty() ? "" : ", ") + text;
  return d.total + " " + std::to_string(d.row_id) + (d.move_no.empty() ? "" : "/" + d.move_no) +
         (d.entry_id == 0 ? "" : "/" + std::to_string(d.entry_id)) + " " + d.stored.ToString() +
         " -> " + d.recomputed.ToString() + " [" + documents + "]";
}

// Each total of the chain: its column, its row (entries 3xx, operations 1xx) and, edited to 3.25,
// the drift found.
struct Case {
  const char* column;
  int32_t id;
  const char* drift;
};
const Case kCases[] = {
    {"FAuxQtyTaskDispSel", 101, "operation.dispatched 101 3.25 -> 20 [TD30]"},
    {"FAuxQtyTaskDispAck", 101, "operation.dispatched_checked 101 3.25 -> 12.5 [TD30]"},
    {"FAuxQtyHandOverSel", 101, "operation.handed_over 101 3.25 -> 7.5 [OS41, OS42]"},
    {"FAuxQtyHandOver", 101, "operation.handed_over_checked 101 3.25 -> 5 [OS41, OS42]"},
    {"FAuxReprocessedMoveSelQty", 101, "operation.to_repair 101 3.25 -> 1.5 [OS43]"},
    {"FAuxReprocessedMoveQty", 101, "operation.to_repair_checked 101 3.25 -> 1.5 [OS43]"},
    {"FAuxQualifiedReprocessedQty", 101, "operation.repaired_qualified 101 3.25 -> 0.5 [OS44]"},
    {"FAuxQtyReceiveSel", 102, "operation.received 102 3.25 -> 7.5 [OS41, OS42]"},
    {"FAuxQtyRecive", 102, "operation.received_checked 102 3.25 -> 5 [OS41, OS42]"},
    {"FAuxQtyFinish", 101, "operation.finished 101 3.25 -> 10 [OR51]"},
    {"FAuxQtyPass", 101, "operation.passed 101 3.25 -> 8 [OR51]"},
    {"FAuxQtyScrap", 101, "operation.scrapped 101 3.25 -> 2 [OR51]"},
    {"FAuxQtyForItem", 101, "operation.material_scrapped 101 3.25 -> 0.75 [OR51]"},
    {"FAuxReprocessedQty", 101, "operation.reworked 101 3.25 -> 1.25 [OR51]"},
    {"FAuxQtyFinish", 301, "dispatch_entry.finished 301 3.25 -> 10 [OR51]"},
    {"FAuxQtyPass", 301, "dispatch_entry.passed 301 3.25 -> 8 [OR51]"},
    {"FAuxQtyScrap", 301, "dispatch_entry.scrapped 301 3.25 -> 2 [OR51]"},
    {"FAuxQtyForItem", 301, "dispatch_entry.material_scrapped 301 3.25 -> 0.75 [OR51]"},
    {"FAuxReprocessedQty", 301, "dispatch_entry.reworked 301 3.25 -> 1.25 [OR51]"},
    {"FAuxQtyFinish", 1, "task.finished 1 3.25 -> 10 [WB10]"},
    {"FAuxQtyPass", 1, "task.passed 1 3.25 -> 4.5 [WB10]"},
    {"FAuxQtyScrap", 1, "task.scrapped 1 3.25 -> 2 [WB10]"},
    {"FAuxQtyForItem", 1, "task.material_scrapped 1 3.25 -> 0.75 [WB10]"},
    {"FAuxQtyLost", 1, "task.lost 1 3.25 -> 0.75 [WB10]"},
    {"FAuxQtyFinish", 2, "task.finished 2 3.25 -> 7 [MR61]"},
    {"FAuxQtyPass", 2, "task.passed 2 3.25 -> 6 [MR61]"},
    {"FAuxQtyScrap", 2, "task.scrapped 2 3.25 -> 0.5 [MR61]"},
    {"FAuxQtyForItem", 2, "task.material_scrapped 2 3.25 -> 0.25 [MR61]"},
    {"FAuxQtyLost", 2, "task.lost 2 3.25 -> 0.25 [MR61]"},
    {"FWIPQty", 1701, "material_line.in_process 1701/1 3.25 -> 1.5 [MR67, OR57, PB7]"},
    {"FWIPAuxQty", 1702, "material_line.in_process_aux 1701/2 3.25 -> 1 [MR67, OR57, PB7]"},
};

// Rows 1xx are operations, 3xx dispatch entries, 17xx the lines of material list 1701, below 100
// production tasks.
std::string Edit(const Case& c, const std::string& value) {
  if (c.id > 1700) {
    return std::string("UPDATE PPBOMEntry SET ") + c.column + " = " + value +
           " WHERE FInterID = 1701 AND FEntryID = " + std::to_string(c.id - 1700);
  }
  const char* target = c.id > 300   ? "ICTaskDispBillEntry SET %s WHERE FTaskDispInterID = "
                       : c.id > 100 ? "SHWorkBillEntry SET %s WHERE FWBInterID = "
                                    : "ICMO SET %s WHERE FInterID = ";
  std::string sql = std::string("UPDATE ") + target + std::to_string(c.id);
  return sql.replace(sql.find("%s"), 2, std::string(c.column) + " = " + value);
}

TEST(VerifyTest, EachKindOfTotalEditedByHandIsFoundWithItsSourcesSumAndRepaired) {
  TestDatabase db;
  AddChain(db);
  AddWorkInProcess(db);
  ASSERT_TRUE(Verify(db.connect_string()).empty());
  std::set<std::string> kinds;
  for (const Case& c : kCases) {
    const std::string drift = c.drift;
    kinds.insert(drift.substr(0, drift.find(' ')));
  }
  EXPECT_EQ(VerifiedTotals().size(), kinds.size() + 3);  // and the three ledger kinds
  for (const Case& c : kCases) {
    db.Execute(Edit(c, "3.25"));
    std::vector<Drift> drifts =
        Verify(db.connect_string(), {.repair = true, .work_in_process = true});
    ASSERT_EQ(drifts.size(), 1u) << c.drift;
    EXPECT_EQ(Line(drifts[0]), c.drift);
    EXPECT_EQ(drifts[0].column, c.column);
    EXPECT_TRUE(Verify(db.connect_string(), {.work_in_process = true}).empty()) << c.drift;
  }
}

TEST(VerifyTest, LedgerRowsThatAreWrongMissingOrExtraAreFoundAndRebuilt) {
  TestDatabase db;
  AddChain(db);
  db.Execute(
      "UPDATE SHMoveNoManage SET FQty = 20 WHERE FTransType = 502\n"                // wrong
      "DELETE FROM SHMoveNoManage WHERE FTransType = 581 AND FOperMoveNo = 'M2'\n"  // missing
      "INSERT INTO SHMoveNoManage (FOperMoveNo, FWBInterID, FTransType, FStatus, FQty) VALUES "
      "('M9', 102, 582, 1, 3)\n"  // no report behind it
      // A row of 0 is no row: the unchecked OS42 has none, and this one is not a drift.
      "INSERT INTO SHMoveNoManage (FOperMoveNo, FWBInterID, FTransType, FStatus, FQty) VALUES "
      "('M8', 102, 581, 1, 0)");
  std::vector<Drift> drifts = Verify(db.connect_string());
  ASSERT_EQ(drifts.size(), 3u);
  EXPECT_EQ(Line(drifts[0]), "ledger.dispatched 101/M1 20 -> 12.5 [TD30]");
  EXPECT_EQ(Line(drifts[1]), "ledger.shifted 101/M2 0 -> 1.5 [OS43]");
  EXPECT_EQ(Line(drifts[2]), "ledger.reported 102/M9 3 -> 0 []");

  EXPECT_EQ(Verify(db.connect_string(), {.repair = true}).size(), 3u);
  EXPECT_TRUE(Verify(db.connect_string()).empty());
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM SHMoveNoManage WHERE FOperMoveNo = 'M2' AND "
                      "FTransType = 581 AND FWBInterID = 101 AND FQty = 1.5")
                .AsLong(),
            1);
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM SHMoveNoManage WHERE FOperMoveNo = 'M9'").AsLong(), 0);
}

TEST(VerifyTest, RepairRewritesTheDriftedTotalsOnlyAndInOneGo) {
  TestDatabase db;
  AddChain(db);
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyTaskDispAck = 0, FAuxQtyRecive = 99 WHERE FWBInterID IN "
      "(101, 102)\n"
      "UPDATE ICTaskDispBillEntry SET FAuxQtyFinish = 0 WHERE FTaskDispInterID = 301\n"
      // A total that agrees stays untouched by the repair: a marker in its base twin survives.
      "UPDATE SHWorkBillEntry SET FQtyTaskDispSel = 77 WHERE FWBInterID = 101");
  // Without --repair nothing is written.
  ASSERT_EQ(Verify(db.connect_string()).size(), 4u);  // Ack 101, Recive 101 and 102, entry finish
  ASSERT_EQ(Verify(db.connect_string()).size(), 4u);

  ASSERT_EQ(Verify(db.connect_string(), {.repair = true}).size(), 4u);
  EXPECT_TRUE(Verify(db.connect_string()).empty());
  EXPECT_EQ(db.Query("SELECT e.FAuxQtyTaskDispAck, e.FAuxQtyRecive, e.FQtyTaskDispSel, "
                     "d.FAuxQtyFinish FROM SHWorkBillEntry e, ICTaskDispBillEntry d WHERE "
                     "e.FWBInterID = 101 AND d.FTaskDispInterID = 301")
                ->Rows()[0],
            (std::vector<Variant>{12.5, 0, 77, 10}));

  // Inside a host transaction that rolls back, the repair goes with it.
  db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyTaskDispSel = 1 WHERE FWBInterID = 101");
  {
    TransactionScope host;
    EXPECT_EQ(Verify(db.connect_string(), {.repair = true}).size(), 1u);
  }
  EXPECT_EQ(Verify(db.connect_string()).size(), 1u);
}

TEST(VerifyTest, TotalsWithoutSourcesAreZeroUnlessTheFloorPostsThem) {
  TestDatabase db;
  AddChain(db);
  // Operation 102 has no dispatch entries: its dispatched total is 0 by definition. Entry 302 has
  // no reports: what the floor posted on it stands. A report under quality management (mode 353)
  // leaves the passed, scrapped and reworked quantities of its entry and its operation to quality
  // management.
  db.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyTaskDispSel = 4 WHERE FWBInterID = 102\n"
      "UPDATE ICTaskDispBillEntry SET FAuxQtyFinish = 6, FAuxQtyPass = 6 WHERE FTaskDispInterID = "
      "302\n"
      "UPDATE SHProcRptMain SET FQualityChkID = 353 WHERE FInterID = 51\n"
      "UPDATE ICTaskDispBillEntry SET FAuxQtyPass = 1, FAuxQtyForItem = 0, FAuxReprocessedQty = 3 "
      "WHERE FTaskDispInterID = 301\n"
      "UPDATE SHWorkBillEntry SET FAuxQtyPass = 1, FAuxReprocessedQty = 0 WHERE FWBInterID = 101\n"
      // Task 2's product under quality management keeps its passed quantity, not its finished
      // one. Task 3 has only a rework bill, which never defines a task's totals, and no reports:
      // what was posted on it stands.
      "UPDATE t_ICItem SET FProChkMde = 353 WHERE FItemID = 6\n"
      "UPDATE ICMO SET FAuxQtyPass = 1, FAuxQtyScrap = 1 WHERE FInterID = 2\n"
      "INSERT INTO ICMO (FInterID, FItemID, FAuxQtyFinish) VALUES (3, 5, 5)\n"
      "INSERT INTO SHWorkBill (FInterID, FBillNo, FICMOInterID, FBillType) VALUES "
      "(12, 'WB12', 3, 11621)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FAuxQtyFinish) VALUES "
      "(12, 104, 1, 7)");
  std::vector<Drift> drifts = Verify(db.connect_string());
  ASSERT_EQ(drifts.size(), 1u);
  EXPECT_EQ(Line(drifts[0]), "operation.dispatched 102 4 -> 0 []");

  // A cancelled report line no longer counts in its operation, which counts lines by their own
  // status; the dispatch entry counts its reports by the header's, which still counts.
  db.Execute("UPDATE SHProcRpt SET FStatus = -1 WHERE FInterID = 51 AND FEntryID = 2");
  drifts = Verify(db.connect_string());
  ASSERT_EQ(drifts.size(), 2u);
  EXPECT_EQ(Line(drifts[1]), "operation.finished 101 10 -> 6 [OR51]");
}

// Work in process follows the settings in force: by standard usage each report consumes its
// quantity times the line's usage; where receipts consume (WIPDeductMode '0') a task that
// received nothing keeps what was issued, and one that received something is not defined.
TEST(VerifyTest, WorkInProcessFollowsTheSettingsInForce) {
  const VerifyOptions kWip{.work_in_process = true};
  TestDatabase db;
  AddChain(db);
  AddWorkInProcess(db);
  ASSERT_TRUE(Verify(db.connect_string(), kWip).empty());
  // Left out when asked, work in process is not read.
  db.Execute("UPDATE PPBOMEntry SET FWIPQty = 0");
  EXPECT_TRUE(Verify(db.connect_string(), {.work_in_process = false}).empty());
  db.Execute("UPDATE PPBOMEntry SET FWIPQty = 1.5 WHERE FEntryID = 1");
  db.Execute("UPDATE PPBOMEntry SET FWIPQty = 1 WHERE FEntryID = 2");
  // Line 1: 4 - 3 x 0.25 - 2 x 0.25; line 2: 0.375 and 0.25 round to 0 each.
  db.Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'BACKFLUSH_STANDARD'");
  std::vector<std::string> lines;
  for (const Drift& d : Verify(db.connect_string(), {.repair = true, .work_in_process = true}))
    lines.push_back(Line(d));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "material_line.in_process 1701/1 1.5 -> 2.75 [MR67, OR57, PB7]",
                       "material_line.in_process_aux 1701/1 1.5 -> 2.75 [MR67, OR57, PB7]"}));

  db.Execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'WIPDeductMode'");
  lines.clear();
  for (const Drift& d : Verify(db.connect_string(), kWip)) lines.push_back(Line(d));
  EXPECT_EQ(lines,
            (std::vector<std::string>{"material_line.in_process 1701/1 2.75 -> 4 [PB7]",
                                      "material_line.in_process_aux 1701/1 2.75 -> 4 [PB7]"}));
  db.Execute("UPDATE ICMO SET FStockQty = 1 WHERE FInterID = 7");
  EXPECT_TRUE(Verify(db.connect_string(), kWip).empty());
}

}  // namespace
}  // namespace corva
