// Demo step 20: the cutting operation of WB1 (100 frames) goes to the floor on task dispatch
// bills. The foreman dispatches it to two crews on TD1 and a night shift on TD2, checks the first
// crew's entry, tries to check the night shift's with the dispatch control on (refused: not enough
// steel reached cutting), closes the first crew's entry and deletes the night shift's.
#include <string>
#include <utility>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";
constexpr int32_t kCrewsBill = 3001;  // TD1: two day crews
constexpr int32_t kNightBill = 3002;  // TD2: the night shift
constexpr int32_t kBillTypeTaskDisp = 502;

using Returned = std::vector<std::pair<std::string, Variant>>;

void PrintState(const DemoSession& demo, const std::string& title) {
  demo.Say("\n" + title + ".");
  RecordsetPtr entries = demo.Query(
      "SELECT b.FBillNo AS Bill, CASE b.FStatus WHEN 0 THEN 'unchecked' ELSE 'checked' END AS"
      " BillStatus, e.FBillNum AS Entry, e.FTaskDispInterID AS Id, CASE e.FStatus WHEN 0 THEN"
      " 'saved' WHEN 3 THEN 'closed' ELSE 'checked' END AS Status, e.FAuxQtyPlan AS Qty,"
      " e.FOperMoveNo AS MoveNo FROM ICTaskDispBill b INNER JOIN ICTaskDispBillEntry e ON"
      " e.FInterID = b.FInterID WHERE b.FWorkBillInterID = 2101 ORDER BY b.FInterID, e.FEntryID");
  demo.PrintTable("Task dispatch entries of the cutting operation", *entries);
  RecordsetPtr operation = demo.Query(
      "SELECT FWorkBillNo AS Operation, FAuxQtyPlan AS Planned, FAuxQtyRecive AS Received,"
      " FAuxQtyTaskDispSel AS Dispatched, FAuxQtyTaskDispAck AS DispatchedChecked"
      " FROM SHWorkBillEntry WHERE FWBInterID = 2101");
  demo.PrintTable("The cutting operation's dispatch totals", *operation);
  RecordsetPtr ledger = demo.Query(
      "SELECT FOperMoveNo AS MoveNo, FQty AS Qty FROM SHMoveNoManage WHERE FTransType = 502"
      " AND FWBInterID = 2101 ORDER BY FOperMoveNo");
  demo.PrintTable("Move-number ledger (checked dispatch per move number)", *ledger);
}

// The host's save of one dispatch bill: a number from the rules, the host's own write of the
// header and its entries (quantity and move number each), BeginSave and EndSave.
void SaveBill(const DemoSession& demo, int32_t bill,
              const std::vector<std::pair<int, std::string>>& entries) {
  auto rules = CreateObject(kTaskDisp);
  std::vector<Variant> number_args{kBillTypeTaskDisp, demo.dsn(), 1, true};
  std::string bill_no = rules->Invoke("GetBillNo", number_args).AsString();
  demo.PrintCall("clsMTaskDispBill.GetBillNo(502)", bill_no);
  const std::string id = std::to_string(bill);
  demo.Execute(
      "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FDate, FWorkBillInterID, FICMOInterID,"
      " FBillerID) VALUES (" +
      id + ", '" + bill_no + "', '2026-03-02', 2101, 1001, " +
      std::to_string(DemoSession::kUserID) + ")");
  int row = 0;
  for (const auto& [quantity, move_no] : entries) {
    ++row;
    demo.Execute(
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FBillNum, FAuxQtyPlan,"
        " FOperMoveNo, FWorkStartDate, FWorkEndDate) VALUES (" +
        id + ", " + std::to_string(row) + ", '" + bill_no + "-" + std::to_string(row) + "', " +
        std::to_string(quantity) + ", '" + move_no + "', '2026-03-02', '2026-03-03')");
  }
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", bill);
  header->SetValue("FBillNo", bill_no);
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
  demo.PrintCall("clsMTaskDispBill.BeginSave", rules->Invoke("BeginSave", args));
  args = {demo.dsn(), save_vect, std::string()};
  Variant saved = rules->Invoke("EndSave", args);
  demo.PrintCall("clsMTaskDispBill.EndSave", saved,
                 saved.AsBool() ? Returned{}
                                : Returned{{"ReturnMsg", args[2]},
                                           {"SaveRetCode", header->Value("SaveRetCode")}});
}

int32_t EntryID(const DemoSession& demo, int32_t bill, int row) {
  return demo
      .Query("SELECT FTaskDispInterID FROM ICTaskDispBillEntry WHERE FInterID = " +
             std::to_string(bill) + " AND FEntryID = " + std::to_string(row))
      ->Fields(0)
      .AsLong();
}

// CheckTaskDispBill for one entry: `undo` 0 or 1, `process` 1 check / 2 close.
void CheckEntry(const DemoSession& demo, const std::string& label, int32_t entry, int undo,
                int process) {
  auto rules = CreateObject(kTaskDisp);
  std::vector<Variant> args{demo.dsn(), entry,   DemoSession::kUserID,     undo, 0, std::string(),
                            0,          process, std::string("2026-03-02")};
  Variant done = rules->Invoke("CheckTaskDispBill", args);
  demo.PrintCall("clsMTaskDispBill.CheckTaskDispBill(" + label + ")", done,
                 {{"ReturnCode", args[4]}, {"Returnstring", args[5]}});
}

void WalkTaskDispatch(DemoSession& demo) {
  if (demo.Query("SELECT COUNT(*) FROM ICTaskDispBill WHERE FWorkBillInterID = 2101")
          ->Fields(0)
          .AsLong() > 0) {
    demo.Say(
        "The cutting operation was dispatched by an earlier run of the demo in this database.");
    PrintState(demo, "As it stands");
    return;
  }

  demo.Say("Dispatch: the foreman hands cutting to two day crews on TD1 (60 frames on move");
  demo.Say("MV-01, 40 on MV-02) and, as a spare, to the night shift on TD2 (20 on MV-03).");
  demo.Transaction([&] { SaveBill(demo, kCrewsBill, {{60, "MV-01"}, {40, "MV-02"}}); });
  demo.Transaction([&] { SaveBill(demo, kNightBill, {{20, "MV-03"}}); });
  PrintState(demo, "Saved: the entries have their ids; 120 dispatched against 100 planned");
  const int32_t first_crew = EntryID(demo, kCrewsBill, 1);
  const int32_t night_shift = EntryID(demo, kNightBill, 1);

  demo.Say("\nCheck: the first crew's entry is released; TD1 stays unchecked while MV-02 is not.");
  demo.Transaction([&] { CheckEntry(demo, "TD1 row 1", first_crew, 0, 1); });
  PrintState(demo, "Checked");

  demo.Say("\nOver-dispatch: the site turns the dispatch control on, also for a first operation");
  demo.Say("done in house; steel for only 70 frames has reached cutting. Checking the night");
  demo.Say("shift's 20 would put 80 on the floor.");
  demo.Execute(
      "UPDATE t_SystemProfile SET FValue = '0' WHERE FCategory = 'SH' AND FKey IN"
      " ('TASKDISP_CONTROLQTYPLAN', 'FirstOperIsNull')");
  demo.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyRecive = 70, FQtyRecive = 70 WHERE FWBInterID = 2101");
  demo.Transaction([&] { CheckEntry(demo, "TD2 row 1", night_shift, 0, 1); });
  PrintState(demo, "Refused and rolled back");
  demo.Say("(The site switches the control off again; the receipt is left to the later steps.)");
  demo.Execute(
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'SH' AND FKey IN"
      " ('TASKDISP_CONTROLQTYPLAN', 'FirstOperIsNull')");
  demo.Execute(
      "UPDATE SHWorkBillEntry SET FAuxQtyRecive = 0, FQtyRecive = 0 WHERE FWBInterID = 2101");

  demo.Say("\nClose: the first crew is done with MV-01; its ledger quantity is taken off.");
  demo.Transaction([&] { CheckEntry(demo, "TD1 row 1", first_crew, 0, 2); });
  PrintState(demo, "Closed");

  demo.Say("\nDelete: the night shift is cancelled; TD2 loses its only entry and goes with it.");
  demo.Transaction([&] {
    auto rules = CreateObject(kTaskDisp);
    std::vector<Variant> args{demo.dsn(), night_shift, std::string()};
    Variant result = rules->Invoke("DeleteTDBill", args);
    demo.PrintCall("clsMTaskDispBill.DeleteTDBill", result, {{"sMsg", args[2]}});
  });
  PrintState(demo, "Deleted");
}

const DemoStepRegistrar kStep({20, "Task dispatch bills: save, check, control, close, delete",
                               &WalkTaskDispatch});

}  // namespace
}  // namespace corva::cli::demo
