// Scenarios of clsMOperShift: one successful call of each operation that writes (save, the
// write-back of the shifted totals, the three-step check and the one-call check, delete) and of
// PreCheck, whose refusal is its vote. The fault-injection and bad-argument harnesses run them.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kOperShift[] = "CorvaMSHTransBills.clsMOperShift";

// Production task 1 in a unit of 2 base units; work bill 10 with checked operations 101 (cutting,
// passed 100 of 100) and 102 (welding); shift bill 1 hands 100 over from 101 to 102 on move
// number MV1, in `status`.
void Shift(const TestDatabase& db, int status) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 2)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (5, 2)\n"
      "INSERT INTO ICMO (FInterID, FItemID, FUnitID, FStatus) VALUES (1, 5, 2, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FStatus) VALUES (10, 1, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus,"
      " FAuxQtyPlan, FAuxQtyPass) VALUES (10, 101, 1, 10, 1, 100, 100)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus,"
      " FAuxQtyPlan) VALUES (10, 102, 2, 20, 1, 100)\n"
      "INSERT INTO ICOperShift (FInterID, FBillNo, FShiftTypeID, FOutWBInterID, FInWBInterID,"
      " FICMOInterID, FItemID, FAuxQtyShift, FOperMoveNo, FStatus) VALUES (1, 'OS1', 11301, 101,"
      " 102, 1, 5, 100, 'MV1', " +
      std::to_string(status) + ")");
}
void Saved(const TestDatabase& db) { Shift(db, 0); }
// Checked: the status written, the totals and the ledger row not yet brought up to date.
void StatusWritten(const TestDatabase& db) { Shift(db, 1); }
// Checked and complete: the operations carry it, the ledger holds it.
void Checked(const TestDatabase& db) {
  Shift(db, 1);
  db.Execute(
      "UPDATE ICOperShift SET FQtyShift = 200 WHERE FInterID = 1\n"
      "UPDATE SHWorkBillEntry SET FAuxQtyHandOverSel = 100, FAuxQtyHandOver = 100 WHERE"
      " FWBInterID = 101\n"
      "UPDATE SHWorkBillEntry SET FAuxQtyReceiveSel = 100, FAuxQtyRecive = 100 WHERE"
      " FWBInterID = 102\n"
      "INSERT INTO SHMoveNoManage (FOperMoveNo, FWBInterID, FICMOInterID, FTransType, FStatus,"
      " FQty) VALUES ('MV1', 101, 1, 581, 1, 100)");
}
// Checked, and made by the system: it may be deleted.
void Automatic(const TestDatabase& db) {
  Checked(db);
  db.Execute("UPDATE ICOperShift SET FAutoOF = 1058 WHERE FInterID = 1");
}
// Unchecked by the host's status write while cutting, which it finished, stands closed.
void StatusUndone(const TestDatabase& db) {
  Checked(db);
  db.Execute(
      "UPDATE ICOperShift SET FStatus = 0 WHERE FInterID = 1\n"
      "UPDATE SHWorkBillEntry SET FStatus = 3 WHERE FWBInterID = 101");
}

// The check steps of bill 1 by checker 9: `undo` 0 checks, 1 unchecks.
template <int kUndo>
Args PreCheckArgs(const TestDatabase& db) {
  return {db.dsn(), 1, kUndo, 1, 9, Variant(), std::string()};
}
template <int kUndo>
Args PostCheckArgs(const TestDatabase& db) {
  return {db.dsn(), 1, kUndo, 1, 9, std::string()};
}
Args CheckArgs(const TestDatabase& db) {
  return {db.dsn(), 1, 0, 1, 9, "2026-03-05", std::string()};
}

const Scenario kRows[] = {
    {"OperShift_EndSave_totals", kOperShift, "EndSave", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), SaveVect({{"FInterID", 1}}), std::string()};
     },
     Returns(false)},
    {"OperShift_SynWorkBillAndOperShift_of_bill", kOperShift, "SynWorkBillAndOperShift", Saved,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 0, 1};
     },
     Returns(false)},
    {"OperShift_PreCheck_uncheck", kOperShift, "PreCheck", Checked, PreCheckArgs<1>,
     Returns(false)},
    {"OperShift_CheckBill", kOperShift, "CheckBill", Saved, CheckArgs, Returns(false)},
    // The whole hand-over passed: the check closes cutting through clsMWorkBill.
    {"OperShift_PostCheck_closes", kOperShift, "PostCheck", StatusWritten, PostCheckArgs<0>,
     Returns(false)},
    // Taken back: cutting re-opens, the ledger row goes.
    {"OperShift_PostCheck_reopens", kOperShift, "PostCheck", StatusUndone, PostCheckArgs<1>,
     Returns(false)},
    {"OperShift_CheckOperShift", kOperShift, "CheckOperShift", Saved, CheckArgs, Returns(false)},
    {"OperShift_DeleteOperShift_automatic", kOperShift, "DeleteOperShift", Automatic,
     [](const TestDatabase& db) {
       return Args{db.dsn(), 1, std::string()};
     },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
