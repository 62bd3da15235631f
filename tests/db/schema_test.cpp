// The installed schema: the embedded scripts and their batches, defaults that let a scenario name
// only the columns it needs, every code of prc_SHUpdateBillDoubleQty, the ICMRPResult triggers
// switched by name, the sample factory, and the property string that goes with a database.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corva/connection.h"
#include "corva/error.h"
#include "db/schema_installer.h"
#include "frame/parse.h"
#include "support/test_db.h"

namespace corva {
namespace {

using testing::TestDatabase;

double Number(const TestDatabase& db, const std::string& sql) { return db.Scalar(sql).AsDouble(); }

// The rows of `sql`: values joined by "|", rows by " ", Null written NULL.
std::string Rows(const TestDatabase& db, const std::string& sql) {
  std::string text;
  for (RecordsetPtr rows = db.Query(sql); !rows->Eof(); rows->MoveNext()) {
    text += text.empty() ? "" : " ";
    for (int i = 0; i < rows->FieldCount(); ++i) {
      text += (i ? "|" : "") + (rows->Fields(i).IsNull() ? "NULL" : rows->Fields(i).ToText());
    }
  }
  return text;
}

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(CORVA_SOURCE_DIR) + "/schema/" + relative, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SchemaScriptsTest, EmbeddedAsWrittenInNameOrder) {
  const auto& scripts = db::SchemaScripts();
  ASSERT_GE(scripts.size(), 10u);
  EXPECT_EQ(scripts.front().first, "01_frame.sql");
  for (size_t i = 1; i < scripts.size(); ++i) EXPECT_LT(scripts[i - 1].first, scripts[i].first);
  for (const auto& [name, text] : scripts) EXPECT_EQ(text, ReadSource(name)) << name;
  ASSERT_FALSE(db::SampleScripts().empty());
  EXPECT_EQ(db::SampleScripts().front().first, "sample/10_factory.sql");
  EXPECT_EQ(db::SampleScripts().front().second, ReadSource("sample/10_factory.sql"));
}

TEST(SchemaScriptsTest, SplitsAtGoLines) {
  auto batches = db::SplitBatches(
      "create table a (x int)\r\nGO\r\n\n  go  \n-- a comment\nselect 'GO'\nGOTO\nGo\n \t\n");
  ASSERT_EQ(batches.size(), 2u);  // the blank batch between the two GO lines is dropped
  EXPECT_EQ(batches[0].text, "create table a (x int)\n");
  EXPECT_EQ(batches[0].first_line, 1);
  EXPECT_EQ(batches[1].text, "-- a comment\nselect 'GO'\nGOTO\n");
  EXPECT_EQ(batches[1].first_line, 5);
  EXPECT_EQ(db::SplitBatches("select 1").at(0).text, "select 1\n");
  EXPECT_TRUE(db::SplitBatches("GO\n\ngo").empty());
}

TEST(SchemaTest, InstallsWithItsStartingRowsAndReportsWhereItFails) {
  TestDatabase db;
  EXPECT_EQ(db.Scalar("select FValue from t_SystemProfile where FCategory='SH' and "
                      "FKey='TASKDISP_CONTROLQTYPLAN'")
                .AsString(),
            "1");
  EXPECT_EQ(Number(db, "select FMaxNum from ICMaxNum where FTableName='ICTaskDispBill'"), 1000);
  EXPECT_EQ(db.Scalar("select FPreLetter from ICBillNo where FBillID=52").AsString(), "WB");
  EXPECT_EQ(Number(db,
                   "select count(*) from t_SupportedProc "
                   "where FProcName='prc_SHUpdateBillDoubleQty'"),
            1);
  EXPECT_EQ(Number(db, "select count(*) from T_PeriodDate"), 48);

  // A second installation stops at the first table that exists, and says where.
  Connection connection;
  connection.Open(db.connect_string());
  try {
    db::InstallSchema(connection);
    FAIL() << "installed twice";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 2714);
    EXPECT_NE(error.Description().find("01_frame.sql, batch 1 (from line 1)"), std::string::npos)
        << error.Description();
    EXPECT_NE(error.Description().find("t_SystemProfile"), std::string::npos);
  }
}

TEST(SchemaTest, RowsNeedOnlyTheColumnsAScenarioNames) {
  TestDatabase db;
  db.Execute(
      "insert into ICMO (FInterID, FItemID, FUnitID, FAuxQty) values (1, 10, 1, 5)\n"
      "insert into SHWorkBill (FInterID, FICMOInterID) values (2, 1)\n"
      "insert into SHWorkBillEntry (FInterID, FEntryID, FWBInterID) values (2, 1, 21)\n"
      "insert into ICTaskDispBill (FInterID, FWorkBillInterID) values (3, 21)\n"
      "insert into ICTaskDispBillEntry (FInterID, FEntryID) values (3, 1)\n"
      "insert into SHProcRptMain (FInterID, FWBInterID) values (4, 21)\n"
      "insert into SHProcRpt (FInterID, FEntryID) values (4, 1)\n"
      "insert into ICOperShift (FInterID, FOutWBInterID) values (5, 21)\n"
      "insert into ICMORptEntry (FInterID, FEntryID, FSourceInterID) values (6, 1, 1)\n"
      "insert into SHMoveNoManage (FOperMoveNo, FWBInterID) values ('M1', 21)\n"
      "insert into SHMoveNoManage (FOperMoveNo, FWBInterID) values ('M2', 21)\n");
  EXPECT_EQ(Rows(db,
                 "select FStatus, FISOut, FAutoTD, FQualityChkID, FTimeUnit, FCheckerID, "
                 "FStartWorkDate, FQtyPlan from SHWorkBillEntry where FWBInterID = 21"),
            "0|1059|1059|352|11082|NULL|NULL|0");
  EXPECT_EQ(Number(db, "select FBillType from SHWorkBill where FInterID = 2"), 11620);
  EXPECT_EQ(Number(db, "select FStockFlag from ICMO where FInterID = 1"), 14215);
  EXPECT_TRUE(db.Scalar("select FCloseDate from ICMO where FInterID = 1").IsNull());
  EXPECT_EQ(Number(db, "select FTaskDispInterID from ICTaskDispBillEntry where FInterID = 3"), 0);
  EXPECT_EQ(Number(db, "select FConversion from SHProcRpt where FInterID = 4"), 1);
  EXPECT_EQ(Number(db, "select FShiftTypeID + FYield from ICOperShift where FInterID = 5"),
            11301 + 100);
  EXPECT_EQ(Number(db, "select FICMORptInterID + FSourceTranType from ICMORptEntry"), 85);
  EXPECT_EQ(Number(db, "select max(FID) from SHMoveNoManage"), 2);
}

// Task 1 counts in boxes of 10 (ratio 10); task 2 names no unit row (ratio 1). Report lines count
// their operation unit in unit 3 (coefficient 4).
void SeedQuantityChain(const TestDatabase& db) {
  db.Execute(
      "insert into t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) values (2, 2, 10)\n"
      "insert into t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) values (3, 3, 4)\n"
      "insert into ICMO (FInterID, FUnitID) values (1, 2)\n"
      "insert into ICMO (FInterID, FUnitID) values (2, 99)\n"
      "insert into SHWorkBill (FInterID, FICMOInterID) values (10, 1)\n"
      "insert into SHWorkBill (FInterID, FICMOInterID) values (11, 1)\n"
      "insert into SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FAuxQtyPlan) "
      "values (10, 1, 101, 1)\n"
      "insert into SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FAuxQtyPlan) "
      "values (10, 2, 102, 2)\n"
      "insert into SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FAuxQtyPlan) "
      "values (11, 1, 111, 3)\n"
      "insert into ICTaskDispBill (FInterID, FICMOInterID) values (20, 1)\n"
      "insert into ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FAuxQtyPlan, "
      "FAuxQtyLoss) values (20, 1, 201, 1, 0.5)\n"
      "insert into ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FAuxQtyPlan, "
      "FAuxQtyLoss) values (20, 2, 202, 2, 0.25)\n"
      "insert into ICOperShift (FInterID, FICMOInterID, FAuxQtyShift, FAuxQtyStock) "
      "values (30, 1, 7, 7)\n"
      "insert into ICOperShift (FInterID, FICMOInterID, FAuxQtyShift) values (31, 2, 7)\n"
      "insert into SHProcRptMain (FInterID, FICMOInterID) values (40, 1)\n"
      "insert into SHProcRpt (FInterID, FEntryID, FUnitID, FConversion, FAuxQtyFinish, "
      "FAuxQtyPass, FAuxQtyScrap, FAuxQtyForItem, FAuxReprocessedQty) "
      "values (40, 1, 3, 0.5, 9, 6, 1, 1, 1)\n");
}

TEST(UpdateBillDoubleQtyTest, WorkBillCodesConvertEveryPairOfTheNamedRowsOnly) {
  TestDatabase db;
  SeedQuantityChain(db);
  // Every auxiliary-unit quantity of an operation, each set to its place; its base twin drops
  // the "Aux".
  std::istringstream names(
      "FAuxQtyPlan FAuxQtyFinish FAuxQtyPass FAuxQtyScrap FAuxQtyForItem FAuxQtyLost FAuxQtyGain "
      "FAuxQtyBack FAuxQtyTaskDispSel FAuxQtyTaskDispAck FAuxQtyHandOverSel FAuxQtyHandOver "
      "FAuxQtyReceiveSel FAuxQtyRecive FAuxConvertQtyHandover FAuxConvertQtyRecive "
      "FAuxRepReceiveSelQty FAuxRepReceiveQty FAuxReprocessedQty FAuxReprocessedMoveSelQty "
      "FAuxReprocessedMoveQty FAuxQualifiedReprocessedQty FAuxCheckCommitQty");
  std::vector<std::string> bases;
  std::string set_aux = "update SHWorkBillEntry set ";
  std::string select_base = "select ";
  for (std::string aux; names >> aux;) {
    set_aux += (bases.empty() ? "" : ", ") + aux + " = " + std::to_string(bases.size() + 1);
    bases.push_back("F" + aux.substr(4));
    select_base += (bases.size() == 1 ? "" : ", ") + bases.back();
  }
  ASSERT_EQ(bases.size(), 23u);
  db.Execute(set_aux + " where FInterID = 10");
  db.Execute("EXEC prc_SHUpdateBillDoubleQty 52,10");
  for (int wb : {101, 102}) {
    auto row =
        db.Query(select_base + " from SHWorkBillEntry where FWBInterID = " + std::to_string(wb));
    for (size_t i = 0; i < bases.size(); ++i) {
      EXPECT_DOUBLE_EQ(row->Fields(static_cast<int32_t>(i)).AsDouble(), (i + 1) * 10.0)
          << bases[i] << " of " << wb;
    }
  }
  EXPECT_EQ(Number(db, "select FQtyPlan from SHWorkBillEntry where FWBInterID = 111"), 0);

  db.Execute("update SHWorkBillEntry set FAuxQtyPass = 0.5 where FInterID = 10");
  db.Execute("EXEC prc_SHUpdateBillDoubleQty -52,102");
  EXPECT_EQ(Number(db, "select FQtyPass from SHWorkBillEntry where FWBInterID = 102"), 5);
  EXPECT_EQ(Number(db, "select FQtyPass from SHWorkBillEntry where FWBInterID = 101"), 30);
}

TEST(UpdateBillDoubleQtyTest, DispatchShiftAndReportCodesAndAnUnknownOne) {
  TestDatabase db;
  SeedQuantityChain(db);
  db.Execute("EXEC prc_SHUpdateBillDoubleQty -502,202");
  EXPECT_EQ(Number(db,
                   "select FQtyPlan + FQtyLoss from ICTaskDispBillEntry "
                   "where FTaskDispInterID = 202"),
            22.5);
  EXPECT_EQ(Number(db, "select FQtyPlan from ICTaskDispBillEntry where FTaskDispInterID = 201"), 0);
  db.Execute("EXEC prc_SHUpdateBillDoubleQty 502,20");
  EXPECT_EQ(Number(db,
                   "select FQtyPlan + FQtyLoss from ICTaskDispBillEntry "
                   "where FTaskDispInterID = 201"),
            15);

  // The shift bill's stock quantity belongs to the receipt hook; a task without a unit row
  // converts one to one.
  db.Execute("EXEC prc_SHUpdateBillDoubleQty 581,30\nEXEC prc_SHUpdateBillDoubleQty 581,31");
  EXPECT_EQ(Number(db, "select FQtyShift from ICOperShift where FInterID = 30"), 70);
  EXPECT_EQ(Number(db, "select FQtyStock from ICOperShift where FInterID = 30"), 0);
  EXPECT_EQ(Number(db, "select FQtyShift from ICOperShift where FInterID = 31"), 7);

  const char* report =
      "select FQtyFinish, FQtyPass, FQtyScrap, FQtyForItem, FReprocessedQty, FOperAuxQtyPass, "
      "FOperAuxQtyScrap, FOperAuxQtyForItem, FOperAuxReprocessedQty from SHProcRpt";
  // 582 keeps no operation unit; 5821 and 2520 keep it too (pass x conversion x coefficient).
  db.Execute("EXEC prc_SHUpdateBillDoubleQty 582,40");
  EXPECT_EQ(Rows(db, report), "90|60|10|10|10|0|0|0|0");
  db.Execute("update SHProcRpt set FAuxQtyPass = 6\nEXEC prc_SHUpdateBillDoubleQty 5821,40");
  EXPECT_EQ(Rows(db, report), "90|60|10|10|10|12|2|2|2");
  db.Execute(
      "update SHProcRpt set FOperAuxQtyPass = 0, FAuxQtyPass = 8\n"
      "EXEC prc_SHUpdateBillDoubleQty 2520,40");
  EXPECT_EQ(Rows(db, report), "90|80|10|10|10|16|2|2|2");

  // An unknown code stops the caller's batch: what follows the call does not run.
  try {
    db.Execute(
        "EXEC prc_SHUpdateBillDoubleQty 53,10\n"
        "update SHWorkBillEntry set FAuxQtyPlan = 99");
    FAIL() << "code 53 accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 245);
    EXPECT_NE(error.Description().find("prc_SHUpdateBillDoubleQty: unknown code 53"),
              std::string::npos)
        << error.Description();
  }
  EXPECT_EQ(Number(db, "select max(FAuxQtyPlan) from SHWorkBillEntry"), 3);
}

TEST(IcmrpResultTriggersTest, CountChildrenAndSwitchOffAndOnByName) {
  TestDatabase db;
  db.Execute(
      "insert into SEOrder (FInterID, FChildren) values (1, 3)\n"
      "insert into SEOrder (FInterID, FChildren) values (2, 0)\n"
      "insert into ICMRPResult (FInterID, FEntryID, FOrgSaleInterID) values (7, 1, 1)\n"
      "insert into ICMRPResult (FInterID, FEntryID, FOrgSaleInterID) values (7, 2, 1)\n"
      "insert into ICMRPResult (FInterID, FEntryID, FOrgSaleInterID) values (7, 3, 1)\n"
      "insert into ICMRPResult (FInterID, FEntryID, FOrgSaleInterID) values (8, 1, 1)\n");
  auto children = [&](int order) {
    return Number(db, "select FChildren from SEOrder where FInterID = " + std::to_string(order));
  };
  EXPECT_EQ(children(1), 3);  // inserting counts nothing

  db.Execute("delete from ICMRPResult where FInterID = 7 and FEntryID = 1");
  EXPECT_EQ(children(1), 2);
  db.Execute(
      "ALTER TABLE ICMRPResult DISABLE Trigger ICMrpResult_Del\n"
      "delete from ICMRPResult where FInterID = 7 and FEntryID = 2");
  EXPECT_EQ(children(1), 2);

  db.Execute("update ICMRPResult set FOrgSaleInterID = 2 where FInterID = 8");
  db.Execute("update ICMRPResult set FAuxPlanQty = 5");  // the order stays: no change
  EXPECT_EQ(children(1), 1);
  EXPECT_EQ(children(2), 1);
  db.Execute(
      "ALTER TABLE ICMRPResult DISABLE Trigger Update_ICMrpResult\n"
      "update ICMRPResult set FOrgSaleInterID = 2 where FInterID = 7");
  EXPECT_EQ(children(2), 1);

  db.Execute(
      "ALTER TABLE ICMRPResult ENABLE Trigger ALL\n"
      "delete from ICMRPResult where FInterID = 8");
  EXPECT_EQ(children(2), 0);
  db.Execute("delete from ICMRPResult");  // never below 0
  EXPECT_EQ(children(2), 0);
  EXPECT_THROW(db.Execute("ALTER TABLE ICMRPResult DISABLE Trigger NoSuchTrigger"), Error);
}

TEST(SampleFactoryTest, HoldsWhatTheDemoWalksThrough) {
  TestDatabase db(TestDatabase::Contents::kSample);
  EXPECT_EQ(Number(db, "select FStatus from ICMO where FInterID = 1001"), 1);
  EXPECT_EQ(Number(db, "select FStatus from ICMO where FInterID = 1002"), 0);
  EXPECT_EQ(Number(db,
                   "select count(*) from ICMO m inner join t_MeasureUnit u "
                   "on u.FItemID = m.FUnitID where m.FQty = m.FAuxQty * u.FCoefficient"),
            3);
  EXPECT_EQ(Number(db,
                   "select count(*) from PPBOMEntry e inner join PPBOM b "
                   "on b.FInterID = e.FInterID and b.FICMOInterID = e.FICMOInterID"),
            7);

  EXPECT_EQ(Rows(db,
                 "select e.FOperSN, e.FStatus, e.FAuxQtyPlan, e.FQtyPlan from SHWorkBillEntry e "
                 "inner join SHWorkBill b on b.FInterID = e.FInterID and b.FICMOInterID = 1001 "
                 "inner join T_WorkCenter c on c.FItemID = e.FWorkCenterID "
                 "where e.FStartWorkDate <= e.FEndWorkDate order by e.FOperSN"),
            "10|0|100|100 20|0|100|100 30|0|100|100");
  EXPECT_EQ(Number(db, "select FCurNo from ICBillNo where FBillID = 52"), 1);

  // Two years of calendar: 104 weekend days a year and Labour Day 2026 are off; working days are
  // numbered without a gap, alike in both calendar tables.
  EXPECT_EQ(Rows(db,
                 "select count(*), sum(case when FInterID > 0 then 1 else 0 end), max(FInterID) "
                 "from t_WorkCalendar"),
            "730|521|521");
  EXPECT_EQ(Number(db,
                   "select count(*) from t_WorkCalendar w inner join T_MutiWorkCal m "
                   "on m.FDay = w.FDay and m.FInterID = w.FInterID and m.FCalID = 999"),
            730);
  EXPECT_EQ(Rows(db,
                 "select FInterID from t_WorkCalendar "
                 "where FDay in ('2026-01-02', '2026-03-07', '2026-05-01') order by FDay"),
            "2 0 0");
}

TEST(SampleDsnTest, NamesTheDatabaseAndTheEngineAsTheConnectionReportsIt) {
  TestDatabase db;
  frame::CParse parse;
  parse.ParseString(db.dsn("en"));
  EXPECT_EQ(parse.ConStr(), "Provider=SQLite;Data Source=" + db.path());
  EXPECT_EQ(parse.LanguageID(), "en");
  EXPECT_EQ(parse.UserID(), 16394);
  EXPECT_TRUE(parse.IsIndustry());
  Connection connection;
  connection.Open(parse.ConStr());
  EXPECT_EQ(parse.ConDBMSName(), connection.Properties("DBMS Name").AsString());
  EXPECT_EQ(parse.ConDBMSVersion(), connection.Properties("DBMS Version").AsString());
  EXPECT_EQ(parse.GetProperty("CorvaVersion"), "QRB");
  EXPECT_NE(db.dsn().find(";Language=chs;"), std::string::npos);
}

}  // namespace
}  // namespace corva
