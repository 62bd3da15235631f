// Scenarios of clsPublic: its operations that run several statements and vote (the stocks kept
// out of planning, through the temporary table either way, and the lock along a bill chain). The
// fault-injection and bad-argument harnesses run them; a row here is all a new case needs.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kPublic[] = "CorvaMSHTransBills.clsPublic";

// Stock 9 takes no part in material planning, stock 8 does.
void Stocks(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_Stock (FItemID, FNumber, FName, FMRPAvail) VALUES (9, 'W9', 'scrap', 0)\n"
      "INSERT INTO t_Stock (FItemID, FNumber, FName, FMRPAvail) VALUES (8, 'W8', 'main', 1)");
}

// Task 1 <- operation 101 of work bill 10 <- dispatch entry 201, none of them locked.
void Chain(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO ICMO (FInterID, FBillNo, FStatus) VALUES (1, 'MO1', 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FBillNo, FICMOInterID) VALUES (10, 'WB10', 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo) "
      "VALUES (10, 1, 101, 'WB10-1')\n"
      "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID) VALUES (20, 'TD20', 101)\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum) "
      "VALUES (20, 1, 201, 'TD20-1')");
}

VectorPtr StockRows() {
  VectorPtr rows = MakeVector();
  for (int stock : {9, 8}) {
    DictionaryPtr row = MakeDictionary();
    row->SetValue("FRowID", stock * 10);
    row->SetValue("FStockID", stock);
    rows->Add(row);
  }
  return rows;
}

const Scenario kRows[] = {
    {"Public_GetStockNoMrp", kPublic, "GetStockNoMrp", Stocks,
     [](const TestDatabase& db) {
       return Args{db.dsn(), StockRows()};
     },
     Returns(Variant(ObjectPtr()))},
    {"Public_GetStockNoMrpBySql", kPublic, "GetStockNoMrpBySql", Stocks,
     [](const TestDatabase& db) {
       return Args{db.dsn(),
                   "SELECT FItemID AS FStockID INTO #MaterialHead FROM t_Stock WHERE FMRPAvail = 0 "
                   "SELECT * FROM #MaterialHead"};
     },
     Returns(Variant(ObjectPtr()))},
    {"Public_IsLockByUpperBills", kPublic, "IsLockByUpperBills", Chain,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 201, 502, true};
     },
     Returns(true)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
