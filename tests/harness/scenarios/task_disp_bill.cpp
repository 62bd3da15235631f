// Scenarios of clsMTaskDispBill: one successful call of each operation that writes (numbering,
// save, check, uncheck, close, unclose, delete and the write-back of the dispatch totals). The
// fault-injection and bad-argument harnesses run them; a row here is all a new case needs.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";

// Production task 1 and its work bill 10 with checked operations 101 and 102; dispatch bill 1 on
// 101 with entries 1 and 2 (10 and 5 pieces on moves M1 and M2), global ids 1001 and 1002 (0 when
// not `numbered`), the entries and the header in `status`.
void DispatchBill(const TestDatabase& db, int status, bool numbered) {
  const std::string s = std::to_string(status);
  const std::string id1 = numbered ? "1001" : "0", id2 = numbered ? "1002" : "0";
  db.Execute(
      "INSERT INTO ICMO (FInterID, FStatus) VALUES (1, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FStatus) VALUES (10, 1, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(10, 101, 1, 10, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(10, 102, 2, 20, 1)\n"
      "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID, FICMOInterID, FBillerID,"
      " FStatus) VALUES (1, 'TD1', 101, 1, 7, " +
      s +
      ")\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum, FStatus,"
      " FAuxQtyPlan, FOperMoveNo) VALUES (1, 1, " +
      id1 + ", 'TD1-1', " + s +
      ", 10, 'M1')\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum, FStatus,"
      " FAuxQtyPlan, FOperMoveNo) VALUES (1, 2, " +
      id2 + ", 'TD1-2', " + s + ", 5, 'M2')");
}
void NoRows(const TestDatabase&) {}
void Unnumbered(const TestDatabase& db) { DispatchBill(db, 0, false); }
void Saved(const TestDatabase& db) { DispatchBill(db, 0, true); }
void Checked(const TestDatabase& db) { DispatchBill(db, 1, true); }
void Closed(const TestDatabase& db) { DispatchBill(db, 3, true); }

// CheckTaskDispBill by checker 9 of entry `entry` (or, when 0, of bill `bill`); `undo` 0 does, 1
// undoes; `process` 1 checks, 2 closes.
template <int kEntry, int kUndo, int kBill, int kProcess>
Args CheckArgs(const TestDatabase& db) {
  return {db.dsn(), kEntry, 9, kUndo, 5, std::string("old"), kBill, kProcess, "2026-03-05"};
}

const Scenario kRows[] = {
    {"TaskDisp_GetBillNo_reserves", kTaskDisp, "GetBillNo", NoRows,
     [](const TestDatabase& db) {
       return Args{502, db.dsn(), 3, true};
     },
     Raises()},
    {"TaskDisp_EndSave_numbers_entries", kTaskDisp, "EndSave", Unnumbered,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FInterID", 1}}), std::string()};
     },
     Returns(false)},
    {"TaskDisp_SynWorkBillAndTaskDisp_of_entry", kTaskDisp, "SynWorkBillAndTaskDisp", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 0, 1001, 0};
     },
     Returns(false)},
    {"TaskDisp_Check_entry", kTaskDisp, "CheckTaskDispBill", Saved, CheckArgs<1001, 0, 0, 1>,
     Returns(false)},
    {"TaskDisp_Check_bill", kTaskDisp, "CheckTaskDispBill", Saved, CheckArgs<0, 0, 1, 1>,
     Returns(false)},
    {"TaskDisp_Uncheck_bill", kTaskDisp, "CheckTaskDispBill", Checked, CheckArgs<0, 1, 1, 1>,
     Returns(false)},
    {"TaskDisp_Close_entry", kTaskDisp, "CheckTaskDispBill", Checked, CheckArgs<1001, 0, 0, 2>,
     Returns(false)},
    {"TaskDisp_Unclose_entry", kTaskDisp, "CheckTaskDispBill", Closed, CheckArgs<1001, 1, 0, 2>,
     Returns(false)},
    {"TaskDisp_DoAfterTaskDispBillCheck", kTaskDisp, "DoAfterTaskDispBillCheck", Checked,
     [](const TestDatabase& db) { return Args{db.dsn(), 1001, 0, 0, 0, 1, 9, std::string()}; },
     Returns(false)},
    {"TaskDisp_DeleteTDBill_entry", kTaskDisp, "DeleteTDBill", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 1002, std::string("old")};
     },
     Returns(-100)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
