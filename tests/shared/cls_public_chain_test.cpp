// clsPublic's chain, stock and bill-of-material services as the host calls them: the status rows
// along a bill chain and the lock answers with one closed link at each level, the stocks kept out
// of planning, and BOM lines with their send dates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/corva.h"
#include "shared/public_test_util.h"
#include "support/test_db.h"

namespace {

using corva::Variant;
using corva::testing::CallPublic;
using corva::testing::TestDatabase;

// The rows of a status chain as "type/template/id/number/upper type/upper id", one per bill.
std::string Describe(const corva::VectorPtr& chain) {
  std::string text;
  for (int i = 1; i <= chain->Count(); ++i) {
    corva::DictionaryPtr row = chain->Item(i).As<corva::Dictionary>();
    EXPECT_EQ(row->Count(), 10);
    for (const char* key : {"FTransID", "FTemplateID", "FInterID", "FBillNo", "FUpperTransID"}) {
      text += row->Value(key).AsString() + "/";
    }
    text += row->Value("FUpperInterID").AsString() + (i < chain->Count() ? " " : "");
  }
  return text;
}

// The remaining rows of `rs` as their `columns` joined by "/", rows separated by a blank.
std::string Rows(const corva::RecordsetPtr& rs, std::initializer_list<const char*> columns) {
  if (rs == nullptr) return "<none>";
  std::string text;
  for (; !rs->Eof(); rs->MoveNext()) {
    if (!text.empty()) text += " ";
    for (const char* column : columns) text += rs->Fields(column).ToText() + "/";
    text.pop_back();
  }
  return text;
}

class ClsPublicChainTest : public ::testing::Test {
 protected:
  // Task 1 <- operations 101 and 102 of work bill 10 <- dispatch entry 201 (of 101) <- report 30;
  // shift bill 40 from 101 to 102; task report 50 on task 1; dispatch entry 211 under a missing
  // operation.
  void SetUp() override {
    db_.Execute(
        "INSERT INTO ICMO (FInterID, FBillNo, FStatus) VALUES (1, 'MO1', 1)\n"
        "INSERT INTO SHWorkBill (FInterID, FBillNo, FICMOInterID) VALUES (10, 'WB10', 1)\n"
        "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo) "
        "VALUES (10, 1, 101, 'WB10-1'), (10, 2, 102, 'WB10-2')\n"
        "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID) VALUES (20, 'TD20', "
        "101)\n"
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum) "
        "VALUES (20, 1, 201, 'TD20-1')\n"
        "INSERT INTO SHProcRptMain (FInterID, FBillNo, FTaskDispBillID) VALUES (30, 'OR30', 201)\n"
        "INSERT INTO ICOperShift (FInterID, FBillNo, FOutWBInterID, FInWBInterID) "
        "VALUES (40, 'OS40', 101, 102)\n"
        "INSERT INTO ICMORpt (FInterID, FBillNo) VALUES (50, 'TR50')\n"
        "INSERT INTO ICMORptEntry (FInterID, FEntryID, FSourceTranType, FSourceInterID) "
        "VALUES (50, 1, 85, 1)\n"
        "INSERT INTO ICTaskDispBill (FInterID, FWorkBillInterID) VALUES (21, 999)\n"
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID) VALUES (21, 1, "
        "211)");
  }

  // IsLockByUpperBills in a transaction of its own; `doomed` receives the transaction's fate.
  bool Locked(int id, int type, bool self = false, bool* doomed = nullptr) {
    corva::TransactionScope tx;
    bool locked = CallPublic("IsLockByUpperBills", {db_.dsn(), id, type, self}).AsBool();
    if (doomed != nullptr) *doomed = tx.Doomed();
    return locked;
  }

  TestDatabase db_;
};

TEST_F(ClsPublicChainTest, RelatedBillStatusListsTheBillThenItsAncestors) {
  corva::TransactionScope tx;
  corva::VectorPtr chain = corva::MakeVector();
  ASSERT_TRUE(CallPublic("GetRelatedBillStatus", {db_.dsn(), 30, 582, chain}).AsBool());
  EXPECT_EQ(Describe(chain),
            "582/Y52/30/OR30/502/201 502/Z10/201/TD20-1/52/101 "
            "52/Z03/101/WB10-1/85/1 85/J01/1/MO1/0/0");

  // Without the upper bills, only the bill; a task report continues at its production task.
  corva::VectorPtr one = corva::MakeVector(), report = corva::MakeVector();
  EXPECT_TRUE(CallPublic("GetRelatedBillStatus", {db_.dsn(), 40, 581, one, 1, false}).AsBool());
  EXPECT_EQ(Describe(one), "581/Y51/40/OS40/52/101");  // the sending side
  EXPECT_TRUE(CallPublic("GetRelatedBillStatus", {db_.dsn(), 50, 551, report}).AsBool());
  EXPECT_EQ(Describe(report), "551/J11/50/TR50/85/1 85/J01/1/MO1/0/0");

  // Unknown type, id 0 or a failing connection: False, the vector untouched, and no vote.
  corva::VectorPtr kept = corva::MakeVector();
  kept->Add(1);
  EXPECT_FALSE(CallPublic("GetRelatedBillStatus", {db_.dsn(), 30, 999, kept}).AsBool());
  EXPECT_FALSE(CallPublic("GetRelatedBillStatus", {db_.dsn(), 0, 582, kept}).AsBool());
  EXPECT_FALSE(CallPublic("GetRelatedBillStatus", {"UserID=1", 30, 582, kept}).AsBool());
  EXPECT_EQ(kept->Count(), 1);
  EXPECT_FALSE(tx.Doomed());
}

TEST_F(ClsPublicChainTest, OneClosedLinkAtEachLevelLocksTheBillsBelow) {
  bool doomed = true;
  EXPECT_FALSE(Locked(201, 502, false, &doomed));
  EXPECT_FALSE(doomed);
  EXPECT_FALSE(Locked(30, 582));
  EXPECT_FALSE(Locked(40, 581));
  EXPECT_FALSE(Locked(50, 551));

  // The dispatch entry itself closed: its own lock only when asked for, but the report is locked.
  db_.Execute("UPDATE ICTaskDispBillEntry SET FClose = 1 WHERE FTaskDispInterID = 201");
  EXPECT_FALSE(Locked(201, 502));
  EXPECT_TRUE(Locked(201, 502, true));
  EXPECT_TRUE(Locked(30, 582));
  db_.Execute("UPDATE ICTaskDispBillEntry SET FClose = 0");

  // A closed operation locks its dispatch entries and a shift bill out of it; a cancelled
  // receiving operation locks the shift bill too.
  db_.Execute("UPDATE SHWorkBillEntry SET FClose = 1 WHERE FWBInterID = 101");
  EXPECT_TRUE(Locked(201, 502));
  EXPECT_TRUE(Locked(40, 581));
  db_.Execute(
      "UPDATE SHWorkBillEntry SET FClose = 0\n"
      "UPDATE SHWorkBillEntry SET FCancellation = 1 WHERE FWBInterID = 102");
  EXPECT_FALSE(Locked(201, 502));
  EXPECT_TRUE(Locked(40, 581));
  db_.Execute("UPDATE SHWorkBillEntry SET FCancellation = 0");

  // A closed or suspended production task locks everything below it.
  db_.Execute("UPDATE ICMO SET FStatus = 3");
  EXPECT_TRUE(Locked(30, 582, false, &doomed));
  EXPECT_FALSE(doomed);
  EXPECT_TRUE(Locked(50, 551));
  db_.Execute("UPDATE ICMO SET FStatus = 1, FSuspend = 1");
  EXPECT_TRUE(Locked(201, 502));

  // A chain that cannot be read counts as locked, and the abort vote stands.
  EXPECT_TRUE(Locked(211, 502, false, &doomed));
  EXPECT_TRUE(doomed);
  EXPECT_TRUE(Locked(30, 999, false, &doomed));
  EXPECT_TRUE(doomed);
}

TEST_F(ClsPublicChainTest, StocksOutsideMaterialPlanning) {
  db_.Execute(
      "INSERT INTO t_Stock (FItemID, FNumber, FName) VALUES (401, 'WH01', N'Raw')\n"
      "INSERT INTO t_Stock (FItemID, FNumber, FName, FMRPAvail) VALUES (403, 'WH09', N'Hold', 0)");
  corva::VectorPtr stocks = corva::MakeVector();
  for (int stock : {401, 403, 403}) {
    corva::DictionaryPtr row = corva::MakeDictionary();
    row->SetValue("FRowID", stocks->Count() + 1);
    row->SetValue("FStockID", stock);
    stocks->Add(row);
  }
  corva::TransactionScope tx;
  auto rs = CallPublic("GetStockNoMrp", {db_.dsn(), stocks}).As<corva::Recordset>();
  EXPECT_EQ(Rows(rs, {"FRowID", "FStockID", "FNumber", "FName"}),
            "2/403/WH09/Hold 3/403/WH09/Hold");
  rs = CallPublic("GetStockNoMrp", {db_.dsn(), corva::MakeVector()}).As<corva::Recordset>();
  EXPECT_EQ(Rows(rs, {"FRowID"}), "");
  rs = CallPublic("GetStockNoMrpBySql", {db_.dsn(),
                                         "CREATE TABLE #MaterialHead (FStockID int) INSERT INTO "
                                         "#MaterialHead VALUES (7) SELECT * FROM #MaterialHead"})
           .As<corva::Recordset>();
  EXPECT_EQ(Rows(rs, {"FStockID"}), "7");
  EXPECT_FALSE(tx.Doomed());
  // Without a statement there is no table to drop: no recordset, and the transaction is doomed.
  EXPECT_EQ(CallPublic("GetStockNoMrpBySql", {db_.dsn(), ""}).As<corva::Recordset>(), nullptr);
  EXPECT_TRUE(tx.Doomed());
}

TEST_F(ClsPublicChainTest, BomLinesCarryTheSendDateAndPlanModeRules) {
  corva::testing::InstallCalendars(db_);
  // Lamp 301 (lead time 2 working days) of 2 shades 302 (planned from stock, backflushed) and half
  // a base 303 (to order). Task 61 (to order SO-1) in workshop 70 (calendar 7) is committed on
  // 03-05, task 62 on 03-14, two working days before the calendar ends; subcontract order 5
  // line 3 is fetched on 03-11.
  db_.Execute(
      "INSERT INTO T_Department (FItemID, FCalID) VALUES (70, 7)\n"
      "INSERT INTO t_ICItem (FItemID, FFixLeadTime) VALUES (301, 2)\n"
      "INSERT INTO t_ICItem (FItemID) VALUES (302)\n"
      "INSERT INTO t_ICItem (FItemID, FPlanMode) VALUES (303, 14035)\n"
      "INSERT INTO ICBom (FInterID, FItemID) VALUES (3001, 301)\n"
      "INSERT INTO ICBomChild (FInterID, FEntryID, FItemID, FQty, FAuxQty, FBackFlush) "
      "VALUES (3001, 1, 302, 2, 2, 1058), (3001, 2, 303, 0.5, 0.5, 1058)\n"
      "INSERT INTO ICMO (FInterID, FItemID, FAuxQty, FWorkShop, FPlanCommitDate, FMTONO, FPlanMode)"
      " VALUES (61, 301, 10, 70, '2030-03-05', 'SO-1', 14035)\n"
      "INSERT INTO ICMO (FInterID, FItemID, FAuxQty, FWorkShop, FPlanCommitDate) "
      "VALUES (62, 301, 1, 70, '2030-03-14')\n"
      "INSERT INTO ICSubContractEntry (FInterID, FEntryID, FItemID, FAuxQty, FFetchDate) "
      "VALUES (5, 1, 302, 1, '2030-03-04'), (5, 3, 301, 4, '2030-03-11')");
  corva::TransactionScope tx;
  auto bom = [&](const std::string& dsn, const std::string& id, const std::string& filter,
                 const Variant& options) {
    return CallPublic("GetBomEntry", {dsn, id, filter, options}).As<corva::Recordset>();
  };
  const std::initializer_list<const char*> columns = {
      "FItemID",          "FSendItemDate", "FPlanMode",       "FBackFlush",
      "FBackFlushNumber", "FMTONO",        "FBomQty",         "FBomInputAuxQty",
      "FQtyFromICMO",     "FChangeType",   "FChangeTypeName", "FChangeTypeNumber"};
  // Calendar 7 rests on 03-06: two working days after 03-05 is 03-08. The shade keeps its own
  // backflush and no order number; the base follows the order and is not backflushed.
  auto lines = bom(db_.dsn("en"), "61", "", Variant());
  EXPECT_EQ(Rows(lines, columns),
            "302/2030-03-08/14036/1058/Y//20/20/10/11022/Change/ALT "
            "303/2030-03-08/14035/1059/N/SO-1/5/5/10/11022/Change/ALT");
  // Past the calendar's end: its last day. The caller's condition narrows the lines.
  lines = bom(db_.dsn(), "62", " AND ICBomChild.FEntryID = 2", Variant());
  EXPECT_EQ(Rows(lines, {"FItemID", "FSendItemDate"}), "303/2030-03-15");
  // Subcontract line 3 of order 5, on the factory calendar: 03-11 plus two working days.
  corva::DictionaryPtr options = corva::MakeDictionary();
  options->SetValue("FHeadOrderEntryID", 3);
  lines = bom(db_.dsn(), "5", "", options);
  EXPECT_EQ(Rows(lines, {"FSendItemDate", "FBomQty"}), "2030-03-13/8 2030-03-13/2");
  EXPECT_FALSE(tx.Doomed());
  // No error trap: a broken id reaches the caller.
  EXPECT_THROW(CallPublic("GetBomEntry", {db_.dsn(), "1 +"}), corva::Error);
}

// Text a rule splices by design must have the shape the operation documents; otherwise the call
// fails as the database's error would fail it, but before anything runs. These operations vote
// SetComplete first (or not at all), so a statement smuggled in would have been committed.
TEST_F(ClsPublicChainTest, SplicedTextOfAnotherShapeIsRefusedBeforeItRuns) {
  const std::string update = " UPDATE ICMaxNum SET FMaxNum = 7 --";
  auto refused = [&](const std::string& op, std::vector<Variant> args) {
    try {
      CallPublic(op, std::move(args));
      ADD_FAILURE() << op << " ran";
    } catch (const corva::Error& e) {
      EXPECT_EQ(e.Number(), corva::kErrInvalidProcedureCall) << op << ": " << e.Description();
    }
  };
  refused("GetBomEntry", {db_.dsn(), "999" + update});
  refused("GetBomEntry", {db_.dsn(), "999", "AND 1=1" + update});
  corva::DictionaryPtr options = corva::MakeDictionary();
  options->SetValue("FIsSrcItemChar", 1);
  options->SetValue("DataTable", "#t ON 1=1" + update);
  refused("GetBomEntry", {db_.dsn(), "999", "", options});
  refused("CheckIsWorkDate", {db_.dsn(), "'2030-03-04')" + update, 0});
  refused("CheckIsWorkDateEx", {db_.dsn(), "'2030-03-04')" + update, 0, corva::MakeDictionary()});
  EXPECT_EQ(CallPublic("GetICSysProfile", {db_.dsn(), "SH'" + update, "x"}), 1);
  EXPECT_EQ(db_.Scalar("SELECT COUNT(*) FROM ICMaxNum WHERE FMaxNum = 7").AsLong(), 0);
}

}  // namespace
