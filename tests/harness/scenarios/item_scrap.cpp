// Scenarios of clsMItemScrap: the save and the check of a scrap bill under the site's scrap
// control. Neither writes; their vote is what keeps or undoes the host's own writes, so a failing
// statement must vote abort and answer False.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kItemScrap[] = "CorvaMSHTransBills.clsMItemScrap";

// Task 1's material line 1 (10 issued, 6 selected for scrapping, 4 scrapped) and scrap bill 5 of
// 6 on it, under the scrap control.
void ScrapBill(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_ICItem (FItemID, FNumber) VALUES (304, '1.01.001')\n"
      "INSERT INTO PPBOMEntry (FEntryID, FICMOInterID, FItemID, FStockQty, FSelDisCardQty,"
      " FDisCardQty) VALUES (1, 1, 304, 10, 6, 4)\n"
      "INSERT INTO ICItemScrapEntry (FInterID, FEntryID, FICMOInterID, FItemID, FQty,"
      " FSourceEntryID) VALUES (5, 1, 1, 304, 6, 1)\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FKey = 'ITEMSCRAP_CONTROLQTY'");
}

const Scenario kRows[] = {
    {"ItemScrap_EndSave_controlled", kItemScrap, "EndSave", ScrapBill,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FinteriD", 5}, {"FTypeID", 0}}), std::string()};
     },
     Returns(false)},
    {"ItemScrap_CheckValid_check", kItemScrap, "CheckValid", ScrapBill,
     [](const TestDatabase& db) { return Args{db.dsn(), 5, 0, 1, 9, Variant(), std::string()}; },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
