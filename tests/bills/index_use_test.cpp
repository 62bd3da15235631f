// Every statement the rules send must find its rows through an index, never by reading a whole
// table that grows with the production tasks: one full scan makes an operation's cost grow with the
// factory instead of with the document. The test walks the operations of clsMWorkBill,
// clsMTaskDispBill and clsPublic through the sample factory as a host calls them, and checks
// SQLite's query plan of every statement the engine prepared for them (SQLite assumes large tables
// when it has no statistics, so the plans are those of a big site).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "corva/corva.h"
#include "support/test_db.h"
#include "tsql/engine.h"

namespace CorvaMSHTransBills {
namespace {

using corva::CreateObject;
using corva::MakeDictionary;
using corva::MakeVector;
using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;
using test_util::SaveVect;

constexpr char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";
constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";
constexpr char kPublic[] = "CorvaMSHTransBills.clsPublic";
constexpr int kUser = 16394;

// Tables that grow with the production tasks and the documents below them (lower case). Master
// data (items, units, work centres, calendars) and settings grow with the site, not with its work.
const std::set<std::string> kGrowingTables = [] {
  std::istringstream names(
      "icmo ppbom ppbomentry shworkbill shworkbillentry ictaskdispbill ictaskdispbillentry "
      "icopershift shmovenomanage shprocrptmain shprocrpt icshop_flowcardentry icmorpt "
      "icmorptentry icstockbill icstockbillentry icstockbill_2 icstockbillentry_2 "
      "icstockbill_24 icstockbillentry_24 icstockbill_28 icstockbillentry_28 icstockbill_41 "
      "icstockbillentry_41 icstjgbill icstjgbillentry icitemscrap icitemscrapentry "
      "qmicmockrequest qm_qualitycheckentry seorder seorderentry pporder pporderentry "
      "icmrpinfo icmrpresult icsubcontractentry");
  std::set<std::string> tables;
  for (std::string name; names >> name;) tables.insert(name);
  return tables;
}();

struct Scan {
  std::string sql;
  std::string line;
};

// Collects the plan lines that read a growing table whole, for the statements prepared while a
// host call runs (the rules' own statements, not the test's).
class ScanWatch {
 public:
  ScanWatch() {
    corva::tsql::SetPlanObserver(
        [this](const std::string& sql, const std::vector<std::string>& plan) {
          if (!corva::GetObjectContext().IsInTransaction()) return;
          ++statements_;
          std::map<std::string, std::string> tables = TablesByAlias(sql);
          for (const std::string& line : plan) {
            std::smatch m;
            static const std::regex kScan("^SCAN (\\S+)");
            static const std::regex kAutomatic("^SEARCH (\\S+) USING AUTOMATIC");
            if (!std::regex_search(line, m, kScan) && !std::regex_search(line, m, kAutomatic))
              continue;
            auto table = tables.find(Lower(m[1].str()));
            if (table != tables.end() && kGrowingTables.count(table->second))
              scans_.push_back({sql, line});
          }
        });
  }
  ~ScanWatch() { corva::tsql::SetPlanObserver(nullptr); }

  const std::vector<Scan>& scans() const { return scans_; }
  int statements() const { return statements_; }

 private:
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  // main."Table" AS "alias" (or AS alias) in the SQLite text, by lower-case alias.
  static std::map<std::string, std::string> TablesByAlias(const std::string& sql) {
    static const std::regex kRef("main\\.\"([^\"]+)\" AS \"?([^\" ,)]+)\"?");
    std::map<std::string, std::string> tables;
    for (std::sregex_iterator it(sql.begin(), sql.end(), kRef), end; it != end; ++it)
      tables[Lower((*it)[2].str())] = Lower((*it)[1].str());
    return tables;
  }

  std::vector<Scan> scans_;
  int statements_ = 0;
};

Variant Call(const char* progid, const char* method, std::vector<Variant> args) {
  return CreateObject(progid)->Invoke(method, args);
}

// CheckTaskDispBill of one entry (`bill` 0) or a whole bill: `undo` 0/1, `process` 1 check, 2
// close.
bool CheckTaskDisp(const TestDatabase& db, int entry, int undo, int process, int bill = 0) {
  TransactionScope scope;
  bool ok = Call(kTaskDisp, "CheckTaskDispBill",
                 {db.dsn(), entry, kUser, undo, 0, std::string(), bill, process,
                  std::string("2026-03-02")})
                .AsBool();
  return scope.Commit() && ok;
}

TEST(IndexUseTest, NoRuleStatementReadsAGrowingTableWhole) {
  TestDatabase db(TestDatabase::Contents::kSample);
  ScanWatch watch;
  const std::string dsn = db.dsn();

  // The work bill of task 1001: save, check, close and re-open its first operation.
  EXPECT_FALSE(Call(kWorkBill, "GetThisBillNo", {dsn, 1, false}).AsString().empty());
  EXPECT_TRUE(Call(kWorkBill, "EndSave", {dsn, SaveVect(2001), std::string()}).AsBool());
  db.Execute("UPDATE SHWorkBillEntry SET FStatus = 1, FCheckerID = 16394 WHERE FInterID = 2001");
  EXPECT_TRUE(Call(kWorkBill, "PostCheck", {dsn, 2001, 0, 1, kUser, std::string()}).AsBool());
  for (int quantity : {100, 0}) {
    std::string q = std::to_string(quantity);
    db.Execute("UPDATE SHWorkBillEntry SET FAuxQtyRecive = " + q + ", FAuxQtyFinish = " + q +
               ", FAuxQtyPass = " + q + ", FAuxQtyHandOver = " + q + " WHERE FWBInterID = 2101");
    EXPECT_TRUE(Call(kWorkBill, "AutoCloseBill", {dsn, 2101, kUser, std::string()}).AsBool());
  }

  // A dispatch bill of two entries on the cutting operation: numbering, save, check, close.
  std::string number = Call(kTaskDisp, "GetBillNo", {502, dsn, 1, true}).AsString();
  db.Execute(
      "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID, FICMOInterID, "
      "FBillerID) VALUES (3001, '" +
      number + "', 2101, 1001, 16394)");
  for (int row : {1, 2}) {
    db.Execute(
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FBillNum, FAuxQtyPlan, "
        "FOperMoveNo) VALUES (3001, " +
        std::to_string(row) + ", 'TD-" + std::to_string(row) + "', 50, 'MV-0" +
        std::to_string(row) + "')");
  }
  EXPECT_TRUE(Call(kTaskDisp, "EndSave", {dsn, SaveVect(3001), std::string()}).AsBool());
  EXPECT_TRUE(Call(kTaskDisp, "SynWorkBillAndTaskDisp", {dsn, 0, 1001}).AsBool());
  int first = db.Scalar(
                    "SELECT FTaskDispInterID FROM ICTaskDispBillEntry WHERE FInterID = 3001 "
                    "AND FEntryID = 1")
                  .AsLong();
  int second = first + 1;
  EXPECT_TRUE(CheckTaskDisp(db, first, 0, 1));
  EXPECT_TRUE(
      Call(kTaskDisp, "DoAfterTaskDispBillCheck", {dsn, first, 0, 0, 0, 1, kUser, std::string()})
          .AsBool());
  EXPECT_TRUE(CheckTaskDisp(db, first, 1, 1));
  EXPECT_TRUE(CheckTaskDisp(db, 0, 0, 1, 3001));
  EXPECT_TRUE(CheckTaskDisp(db, first, 0, 2));
  EXPECT_TRUE(CheckTaskDisp(db, first, 1, 2));
  EXPECT_TRUE(CheckTaskDisp(db, 0, 1, 1, 3001));
  EXPECT_EQ(Call(kTaskDisp, "DeleteTDBill", {dsn, second, std::string()}).AsLong(), 1);

  // clsPublic's services on the same documents.
  Call(kPublic, "UpdateSql", {dsn, "UPDATE ICMO SET FStartFlag = 1 WHERE FInterID = 1001"});
  EXPECT_EQ(Call(kPublic, "JudgeBillNO", {dsn, "SELECT FBillNo FROM ICMO WHERE FInterID = 1001"})
                .AsString(),
            "MO1001");
  EXPECT_GT(Call(kPublic, "GetHour", {dsn, 602}).AsLong(), 0);
  std::string item_dsn = dsn;
  Call(kPublic, "GetItem", {item_dsn});
  Call(kPublic, "GetRs", {dsn, "SELECT * FROM SHWorkBillEntry WHERE FInterID = 2001"});
  for (int type : {0, 1, 2, 3}) {
    int id = type == 0 ? 0 : type == 1 ? 501 : type == 2 ? 701 : 601;
    Call(kPublic, "CheckIsWorkDate", {dsn, "'2026-05-01','2026-05-04'", id, type});
    Call(kPublic, "CheckIsWorkDateEx",
         {dsn, "'2026-05-01','2026-05-04'", id, MakeDictionary(), type});
  }
  for (auto [id, type] : {std::pair{first, 502}, {2101, 52}, {1001, 85}}) {
    EXPECT_TRUE(Call(kPublic, "GetRelatedBillStatus", {dsn, id, type, MakeVector()}).AsBool());
    EXPECT_FALSE(Call(kPublic, "IsLockByUpperBills", {dsn, id, type, true}).AsBool());
  }
  EXPECT_EQ(Call(kPublic, "GetICSysProfile", {dsn, "IC", "ICClosed"}).AsString(), "1");
  corva::VectorPtr stocks = MakeVector();
  corva::DictionaryPtr stock = MakeDictionary();
  stock->SetValue("FRowID", 1);
  stock->SetValue("FStockID", 403);
  stocks->Add(stock);
  Call(kPublic, "GetStockNoMrp", {dsn, stocks});
  Call(kPublic, "GetBomEntry", {dsn, "1001"});

  EXPECT_GT(watch.statements(), 50);  // the walk reached the rules' statements
  for (const Scan& scan : watch.scans()) {
    ADD_FAILURE() << "reads a growing table whole (" << scan.line << "):\n" << scan.sql;
  }
}

}  // namespace
}  // namespace CorvaMSHTransBills
