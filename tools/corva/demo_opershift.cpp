// Demo step 30: operation shift bills move WB1's frames from operation to operation. Cutting hands
// its frames to welding in two bills (a third, too large, is refused), the check of the last one
// closes the finished cutting, which then locks its bills; welding hands frames on and takes the
// bill back (check, uncheck, delete); and four bad frames go round the repair path: shifted to
// repair, re-welded, coated by a subcontractor and returned qualified.
#include <string>
#include <utility>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kOperShift[] = "CorvaMSHTransBills.clsMOperShift";
constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";  // numbers any bill type
constexpr char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";
constexpr int32_t kBillTypeOperShift = 581;
constexpr int32_t kCutting = 2101;  // WB1's cutting and welding
constexpr int32_t kWelding = 2102;
constexpr int32_t kRepairBill = 2002;  // WB1-R1, made in the walk: re-weld, coat by a subcontractor
constexpr int32_t kReweld = 2201;
constexpr int32_t kCoating = 2202;
// Shift types.
constexpr int32_t kHandOverAndReceive = 11301;
constexpr int32_t kToRepair = 11303;
constexpr int32_t kBackFromRepair = 11304;

using Returned = std::vector<std::pair<std::string, Variant>>;

// One shift bill as the host writes it.
struct Shift {
  int32_t id;
  int32_t type;
  int32_t out;  // 0: none
  int32_t in;   // 0: none
  int quantity;
  std::string move_no;
};

std::string Number(int32_t value) { return std::to_string(value); }

// The operations' shift totals: all bills and checked ones.
void PrintOperations(const DemoSession& demo, const std::string& title,
                     const std::string& operations) {
  RecordsetPtr rows = demo.Query(
      "SELECT FWorkBillNo AS Operation, CASE FStatus WHEN 0 THEN 'planned' WHEN 3 THEN 'closed'"
      " ELSE 'checked' END AS Status, FAuxQtyPass AS Passed, FAuxQtyHandOverSel AS HandOverAll,"
      " FAuxQtyHandOver AS HandedOver, FAuxQtyReceiveSel AS ReceiveAll, FAuxQtyRecive AS Received"
      " FROM SHWorkBillEntry WHERE FWBInterID IN (" +
      operations + ") ORDER BY FInterID, FOperSN");
  demo.PrintTable(title, *rows);
}

// The repair totals: what welding shifted to repair and got back qualified, what the repair
// operations received and handed on.
void PrintRepair(const DemoSession& demo, const std::string& title) {
  RecordsetPtr rows = demo.Query(
      "SELECT FWorkBillNo AS Operation, CASE FStatus WHEN 0 THEN 'planned' WHEN 3 THEN 'closed'"
      " ELSE 'checked' END AS Status, FAuxReprocessedMoveSelQty AS ToRepairAll,"
      " FAuxReprocessedMoveQty AS ToRepair, FAuxQualifiedReprocessedQty AS QualifiedBack,"
      " FAuxRepReceiveSelQty AS RepairReceived, FAuxQtyPass AS Passed,"
      " FAuxQtyHandOverSel AS HandOverAll, FAuxQtyReceiveSel AS ReceiveAll"
      " FROM SHWorkBillEntry WHERE FWBInterID IN (2102, 2201, 2202) ORDER BY FInterID, FOperSN");
  demo.PrintTable(title, *rows);
}

void PrintBills(const DemoSession& demo) {
  RecordsetPtr bills = demo.Query(
      "SELECT s.FBillNo AS Bill, CASE s.FShiftTypeID WHEN 11300 THEN 'receive' WHEN 11301 THEN"
      " 'hand over' WHEN 11302 THEN 'hand over only' WHEN 11303 THEN 'to repair' ELSE"
      " 'back from repair' END AS Type, ISNULL(o.FWorkBillNo, '') AS FromOperation,"
      " ISNULL(i.FWorkBillNo, '') AS ToOperation, s.FAuxQtyShift AS Qty, s.FOperMoveNo AS MoveNo,"
      " CASE s.FStatus WHEN 0 THEN 'saved' ELSE 'checked' END AS Status FROM ICOperShift s"
      " LEFT JOIN SHWorkBillEntry o ON o.FWBInterID = s.FOutWBInterID"
      " LEFT JOIN SHWorkBillEntry i ON i.FWBInterID = s.FInWBInterID"
      " WHERE s.FICMOInterID = 1001 ORDER BY s.FInterID");
  demo.PrintTable("Operation shift bills", *bills);
  RecordsetPtr ledger = demo.Query(
      "SELECT e.FWorkBillNo AS Operation, m.FOperMoveNo AS MoveNo, m.FQty AS Qty FROM"
      " SHMoveNoManage m INNER JOIN SHWorkBillEntry e ON e.FWBInterID = m.FWBInterID"
      " WHERE m.FTransType = 581 ORDER BY e.FInterID, e.FOperSN, m.FOperMoveNo");
  demo.PrintTable("Move-number ledger of the shift bills (quantity moved out per move number)",
                  *ledger);
}

void PrintState(const DemoSession& demo, const std::string& title, const std::string& operations) {
  demo.Say("\n" + title + ".");
  PrintBills(demo);
  PrintOperations(demo, "Shift totals of the operations", operations);
}

// The host's save of one shift bill: a number (bill type 581), the host's own write of the row,
// BeginSave and EndSave.
void SaveShift(const DemoSession& demo, const Shift& shift) {
  std::vector<Variant> number_args{kBillTypeOperShift, demo.dsn(), 1, true};
  std::string bill_no = CreateObject(kTaskDisp)->Invoke("GetBillNo", number_args).AsString();
  demo.Execute(
      "INSERT INTO ICOperShift (FInterID, FBillNo, FDate, FShiftTypeID, FOutWBInterID,"
      " FInWBInterID, FICMOInterID, FItemID, FUnitID, FAuxQtyShift, FOperMoveNo, FBillerID)"
      " VALUES (" +
      Number(shift.id) + ", '" + bill_no + "', '2026-03-05', " + Number(shift.type) + ", " +
      Number(shift.out) + ", " + Number(shift.in) + ", 1001, 301, 1, " + Number(shift.quantity) +
      ", '" + shift.move_no + "', " + Number(DemoSession::kUserID) + ")");
  auto rules = CreateObject(kOperShift);
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", shift.id);
  header->SetValue("FBillNo", bill_no);
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
  demo.PrintCall("clsMOperShift.BeginSave(" + bill_no + ")", rules->Invoke("BeginSave", args));
  args = {demo.dsn(), save_vect, std::string()};
  Variant saved = rules->Invoke("EndSave", args);
  demo.PrintCall("clsMOperShift.EndSave(" + bill_no + ")", saved,
                 saved.AsBool() ? Returned{}
                                : Returned{{"ReturnMsg", args[2]},
                                           {"SaveRetCode", header->Value("SaveRetCode")}});
}

// The host's check (`undo` 0) or uncheck (1) of a shift bill: PreCheck, the status write through
// CheckBill, PostCheck; it stops at the first call that fails.
void CheckShift(const DemoSession& demo, int32_t id, int undo) {
  auto rules = CreateObject(kOperShift);
  const Variant user = DemoSession::kUserID;
  const Variant day = std::string("2026-03-05");
  std::vector<std::pair<std::string, std::vector<Variant>>> calls = {
      {"PreCheck", {demo.dsn(), id, undo, 1, user, day, std::string()}},
      {"CheckBill", {demo.dsn(), id, undo, 1, user, day, std::string()}},
      {"PostCheck", {demo.dsn(), id, undo, 1, user, std::string()}},
  };
  for (auto& [name, args] : calls) {
    Variant done = rules->Invoke(name, args);
    demo.PrintCall("clsMOperShift." + name + "(" + Number(id) + (undo ? ", uncheck)" : ")"), done,
                   done.AsBool() ? Returned{} : Returned{{"ReturnMsg", args.back()}});
    if (!done.AsBool()) return;
  }
}

void DeleteShift(const DemoSession& demo, int32_t id) {
  std::vector<Variant> args{demo.dsn(), id, std::string()};
  Variant done = CreateObject(kOperShift)->Invoke("DeleteOperShift", args);
  demo.PrintCall("clsMOperShift.DeleteOperShift(" + Number(id) + ")", done,
                 {{"ReturnMsg", args[2]}});
}

// The floor's report of an operation, as the operation reports post it (their own step follows).
void PostPassed(const DemoSession& demo, int32_t operation, int quantity) {
  const std::string q = Number(quantity);
  demo.Execute("UPDATE SHWorkBillEntry SET FAuxQtyFinish = " + q + ", FQtyFinish = " + q +
               ", FAuxQtyPass = " + q + ", FQtyPass = " + q +
               " WHERE FWBInterID = " + Number(operation));
}

// Saves (`check` false) or checks (true) WB1-R1 through clsMWorkBill, as the host does after its
// own write.
void WorkBillCall(const DemoSession& demo, bool check) {
  auto bills = CreateObject(kWorkBill);
  if (check) {
    std::vector<Variant> args{demo.dsn(), kRepairBill, 0, 1, DemoSession::kUserID, std::string()};
    demo.PrintCall("clsMWorkBill.PostCheck(WB1-R1)", bills->Invoke("PostCheck", args));
    return;
  }
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", kRepairBill);
  header->SetValue("FBillNo", "WB1-R1");
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
  Variant saved = bills->Invoke("EndSave", args);
  demo.PrintCall("clsMWorkBill.EndSave(WB1-R1)", saved,
                 saved.AsBool() ? Returned{} : Returned{{"ReturnMsg", args[2]}});
}

// The planner makes the repair bill WB1-R1 from the shift bill that sent frames to repair: re-weld
// at the welding centre (10), then powder coat at the coating shop, a subcontractor whose reported
// quantities count directly (20). Saving it lets clsMWorkBill point the shift bill at the repair's
// first operation and book the frames as its rework receipt; then the planner checks it.
void MakeRepairBill(const DemoSession& demo, int32_t shift_id, int quantity) {
  const std::string q = Number(quantity);
  demo.Transaction([&] {
    demo.Execute(
        "INSERT INTO SHWorkBill (FInterID, FBillNo, FDate, FICMOInterID, FBillType,"
        " FOperShiftBillID, FStatus, FBillerID) VALUES (2002, 'WB1-R1', '2026-03-06', 1001,"
        " 11621, " +
        Number(shift_id) + ", 0, 16394)");
    demo.Execute(
        "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN,"
        " FOperID, FWorkCenterID, FStatus, FAuxQtyPlan, FQtyPlan) VALUES (2002, 1, 2201,"
        " 'WB1-R1-1', 10, 804, 602, 0, " +
        q + ", " + q + ")");
    demo.Execute(
        "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN,"
        " FOperID, FSupplyID, FISOut, FQualityChkID, FStatus, FAuxQtyPlan, FQtyPlan) VALUES"
        " (2002, 2, 2202, 'WB1-R1-2', 20, 805, 901, 1058, 352, 0, " +
        q + ", " + q + ")");
    WorkBillCall(demo, false);
  });
  demo.Transaction([&] {
    demo.Execute(
        "UPDATE SHWorkBillEntry SET FStatus = 1, FCheckerID = 16394 WHERE FInterID = 2002");
    demo.Execute(
        "UPDATE SHWorkBill SET FStatus = 1, FCheckerID = 16394, FCheckDate = '2026-03-06'"
        " WHERE FInterID = 2002");
    WorkBillCall(demo, true);
  });
}

void WalkRepair(DemoSession& demo, int32_t next_id) {
  const int32_t to_repair = next_id;
  const int32_t to_coating = next_id + 1;
  const int32_t back = next_id + 2;
  demo.Say("\nRepair: welding finds 4 frames with bad seams and shifts them to repair (type");
  demo.Say("11303); they count apart from what welding hands over.");
  demo.Transaction([&] { SaveShift(demo, {to_repair, kToRepair, kWelding, 0, 4, "MV-09"}); });
  demo.Transaction([&] { CheckShift(demo, to_repair, 0); });
  demo.Say("\nThe planner makes the repair bill WB1-R1 from the shift bill and checks it.");
  MakeRepairBill(demo, to_repair, 4);
  PrintBills(demo);
  PrintRepair(demo, "Sent to repair; the repair bill WB1-R1 received them");

  demo.Say("\nThe shift to repair cannot be unchecked while the repair bill made from it stands.");
  demo.Transaction([&] { CheckShift(demo, to_repair, 1); });

  demo.Say("\nRe-welding passes all 4 and hands them to the coating shop, a subcontractor");
  demo.Say("(type 11301); once all it passed is handed on, the re-welding closes.");
  PostPassed(demo, kReweld, 4);
  demo.Transaction([&] {
    SaveShift(demo, {to_coating, kHandOverAndReceive, kReweld, kCoating, 4, "MV-09"});
  });
  demo.Transaction([&] { CheckShift(demo, to_coating, 0); });

  demo.Say("\nThe coating shop sends the 4 frames back, all good: the qualified return from");
  demo.Say("repair (type 11304) counts them at welding, which may now hand them on.");
  PostPassed(demo, kCoating, 4);
  demo.Transaction([&] {
    SaveShift(demo, {back, kBackFromRepair, kCoating, kWelding, 4, "MV-09"});
  });
  demo.Transaction([&] { CheckShift(demo, back, 0); });
  PrintBills(demo);
  PrintRepair(demo, "Back from repair");
}

void WalkOperShift(DemoSession& demo) {
  if (demo.Query("SELECT COUNT(*) FROM ICOperShift WHERE FICMOInterID = 1001")->Fields(0).AsLong() >
      0) {
    demo.Say("WB1's frames were shifted by an earlier run of the demo in this database.");
    PrintState(demo, "As it stands", "2101, 2102, 2104");
    PrintRepair(demo, "The repair path");
    return;
  }
  // The operation after welding in WB1 (the second welding pass the planner added).
  RecordsetPtr next = demo.Query(
      "SELECT TOP 1 FWBInterID FROM SHWorkBillEntry WHERE FInterID = 2001 AND FOperSN > 20"
      " ORDER BY FOperSN");
  const int32_t after_welding = next->Eof() ? 0 : next->Fields(0).AsLong();
  const std::string operations = "2101, 2102, " + Number(after_welding);

  demo.Say("The floor reports all 100 frames cut and passed (the operation reports have a step of");
  demo.Say("their own; here the host posts the quantities).");
  PostPassed(demo, kCutting, 100);

  demo.Say("\nHand over: the cutting crew hands 60 frames on move MV-01 to welding (type 11301).");
  demo.Transaction([&] {
    SaveShift(demo, {4001, kHandOverAndReceive, kCutting, kWelding, 60, "MV-01"});
  });
  PrintState(demo, "Saved: counted in the totals of all bills", operations);

  demo.Say("\nCheck: PreCheck, the status write, PostCheck.");
  demo.Transaction([&] { CheckShift(demo, 4001, 0); });
  PrintState(demo, "Checked: acknowledged on both sides, and in the ledger", operations);

  demo.Say("\nOver-shift: a second bill would hand over 50 more, 110 against 100 passed.");
  demo.Transaction([&] {
    SaveShift(demo, {4002, kHandOverAndReceive, kCutting, kWelding, 50, "MV-02"});
  });
  PrintState(demo, "Refused: the host's row and the totals are rolled back", operations);

  demo.Say("\nThe crew hands over the remaining 40 instead and checks the bill: cutting has");
  demo.Say("handed over all it passed, so clsMWorkBill.AutoCloseBill closes it.");
  demo.Transaction([&] {
    SaveShift(demo, {4002, kHandOverAndReceive, kCutting, kWelding, 40, "MV-02"});
  });
  demo.Transaction([&] { CheckShift(demo, 4002, 0); });
  PrintState(demo, "Cutting is finished and closed", operations);

  demo.Say("\nUncheck: the closed cutting now locks its shift bills.");
  demo.Transaction([&] { CheckShift(demo, 4002, 1); });

  demo.Say("\nWelding passes 30 frames and hands them to the next operation on MV-01; the");
  demo.Say("foreman checks the bill, then takes it back: uncheck and delete.");
  PostPassed(demo, kWelding, 30);
  demo.Transaction([&] {
    SaveShift(demo, {4003, kHandOverAndReceive, kWelding, after_welding, 30, "MV-01"});
  });
  demo.Transaction([&] { CheckShift(demo, 4003, 0); });
  PrintState(demo, "Checked", operations);
  demo.Transaction([&] { CheckShift(demo, 4003, 1); });
  demo.Transaction([&] { DeleteShift(demo, 4003); });
  PrintState(demo, "Unchecked and deleted", operations);

  WalkRepair(demo, 4004);
}

const DemoStepRegistrar kStep({30, "Operation shift bills: hand over, check, close, repair",
                               &WalkOperShift});

}  // namespace
}  // namespace corva::cli::demo
