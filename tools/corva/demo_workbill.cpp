// Demo step 10: the operation plan bill WB1 of production task 1001 (cut, weld, assemble 100 desk
// lamps). The planner adds an operation and saves (the rules renumber the rows), checks the bill,
// then tries to insert an operation in front of the checked ones (refused); the floor finishes
// the cutting, so the operation is closed, and re-opened when its report is withdrawn.
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr const char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";
constexpr int32_t kBillID = 2001;   // WB1
constexpr int32_t kCutting = 2101;  // its first operation

void PrintOperations(const DemoSession& demo, const std::string& title) {
  RecordsetPtr header = demo.Query(
      "SELECT FBillNo, CASE FStatus WHEN 0 THEN 'unchecked' ELSE 'checked' END AS FStatus "
      "FROM SHWorkBill WHERE FInterID = 2001");
  std::string status = header->Eof() ? "missing" : header->Fields("FStatus").ToText();
  RecordsetPtr rows = demo.Query(
      "SELECT e.FEntryID AS Row, e.FOperSN AS OperSN, e.FWBInterID AS Operation, s.FName AS Name,"
      " CASE e.FStatus WHEN 0 THEN 'planned' WHEN 3 THEN 'closed' ELSE 'checked' END AS Status,"
      " e.FAuxQtyPlan AS Planned, e.FAuxQtyPass AS Passed, e.FAuxQtyHandOver AS HandedOver"
      " FROM SHWorkBillEntry e LEFT JOIN t_SubMessage s ON s.FInterID = e.FOperID"
      " WHERE e.FInterID = 2001 ORDER BY e.FEntryID");
  demo.PrintTable(title + " (bill " + status + ")", *rows);
}

// The host's save of WB1 around its own write of the rows: BeginSave, the write, EndSave.
void SaveBill(const DemoSession& demo, const std::string& write) {
  auto bills = CreateObject(kWorkBill);
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", kBillID);
  header->SetValue("FBillNo", "WB1");
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
  demo.PrintCall("clsMWorkBill.BeginSave", bills->Invoke("BeginSave", args));
  demo.Execute(write);
  args = {demo.dsn(), save_vect, std::string()};
  Variant saved = bills->Invoke("EndSave", args);
  std::vector<std::pair<std::string, Variant>> returned;
  if (!saved.AsBool()) {
    returned = {{"ReturnMsg", args[2]}, {"SaveRetCode", header->Value("SaveRetCode")}};
  }
  demo.PrintCall("clsMWorkBill.EndSave", saved, returned);
}

// The floor's quantities at the cutting operation, as its reports and shift bills post them, and
// the rules' verdict on closing it.
void PostCuttingAndAutoClose(const DemoSession& demo, int quantity) {
  std::string q = std::to_string(quantity);
  demo.Execute("UPDATE SHWorkBillEntry SET FAuxQtyFinish = " + q + ", FQtyFinish = " + q +
               ", FAuxQtyPass = " + q + ", FQtyPass = " + q + ", FAuxQtyHandOver = " + q +
               ", FQtyHandOver = " + q + " WHERE FWBInterID = 2101");
  auto bills = CreateObject(kWorkBill);
  std::vector<Variant> args{demo.dsn(), kCutting, DemoSession::kUserID, std::string()};
  Variant done = bills->Invoke("AutoCloseBill", args);
  demo.PrintCall("clsMWorkBill.AutoCloseBill(2101)", done,
                 done.AsBool()
                     ? std::vector<std::pair<std::string, Variant>>{}
                     : std::vector<std::pair<std::string, Variant>>{{"ReturnMsg", args[3]}});
}

void WalkWorkBill(DemoSession& demo) {
  PrintOperations(demo, "Operation plan bill WB1 of production task MO1001, 100 desk lamps");
  Variant walked = demo.Query(
                           "SELECT COUNT(*) FROM SHWorkBillEntry WHERE FInterID = 2001 AND "
                           "(FStatus <> 0 OR FWBInterID = 2104)")
                       ->Fields(0);
  if (walked.AsLong() > 0) {
    demo.Say("WB1 was saved and checked by an earlier run of the demo in this database.");
    return;
  }

  demo.Say("\nSave: the planner adds a second welding pass (OperSN 25) as row 4 and saves.");
  demo.Transaction([&] {
    SaveBill(demo,
             "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN,"
             " FOperID, FWorkCenterID, FStatus, FAuxQtyPlan, FQtyPlan, FStartWorkDate,"
             " FEndWorkDate) VALUES (2001, 4, 2104, 'WB1-4', 25, 802, 602, 0, 100, 100,"
             " '2026-03-09', '2026-03-09')");
  });
  PrintOperations(demo, "The rows follow the operation order again");

  demo.Say("\nCheck: the planner checks WB1; the rules' PostCheck follows.");
  demo.Transaction([&] {
    demo.Execute(
        "UPDATE SHWorkBillEntry SET FStatus = 1, FCheckerID = 16394 WHERE FInterID = 2001");
    demo.Execute(
        "UPDATE SHWorkBill SET FStatus = 1, FCheckerID = 16394, FCheckDate = '2026-03-02'"
        " WHERE FInterID = 2001");
    auto bills = CreateObject(kWorkBill);
    std::vector<Variant> args{demo.dsn(), kBillID, 0, 1, DemoSession::kUserID, std::string()};
    demo.PrintCall("clsMWorkBill.PostCheck", bills->Invoke("PostCheck", args));
  });
  PrintOperations(demo, "Checked: released to the floor");

  demo.Say("\nSave again: a deburring pass (OperSN 15) would go in front of the checked welding.");
  demo.Transaction([&] {
    SaveBill(demo,
             "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN,"
             " FOperID, FWorkCenterID, FStatus, FAuxQtyPlan, FQtyPlan) VALUES (2001, 5, 2105,"
             " 'WB1-5', 15, 801, 601, 0, 100, 100)");
  });
  PrintOperations(demo, "Unchanged");

  demo.Say("\nClose: all 100 frames are cut, passed and handed over to welding.");
  demo.Transaction([&] { PostCuttingAndAutoClose(demo, 100); });
  PrintOperations(demo, "Cutting is finished");

  demo.Say("\nRe-open: the cutting report is withdrawn, so the operation is no longer finished.");
  demo.Transaction([&] { PostCuttingAndAutoClose(demo, 0); });
  PrintOperations(demo, "Cutting is open again");
}

const DemoStepRegistrar kStep({10, "Operation plan bill: save, check, close", &WalkWorkBill});

}  // namespace
}  // namespace corva::cli::demo
