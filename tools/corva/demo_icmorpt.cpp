// Demo step 50: the assembly line reports finished lamps against production task MO1001 on
// production task reports. Each save brings the task's finished and passed quantities, dates and
// hours in line with all its reports; a report against the planned task MO1002 is refused; the
// first report is checked, unchecked and deleted, and the task follows every step.
#include <string>
#include <utility>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kICMORpt[] = "CorvaMSHTransBills.clsMICMORpt";
constexpr int32_t kFirstReport = 5001;   // TR1
constexpr int32_t kSecondReport = 5002;  // TR2
constexpr int32_t kRefusedReport = 5003;
constexpr int32_t kBillTypeICMORpt = 551;

using Returned = std::vector<std::pair<std::string, Variant>>;

void PrintTask(const DemoSession& demo, const std::string& title) {
  RecordsetPtr task = demo.Query(
      "SELECT FBillNo AS Task, FAuxQty AS Planned, FAuxQtyFinish AS Finished, FAuxQtyPass AS"
      " Passed, FAuxQtyScrap AS Scrapped, FQtyFinish AS FinishedBase, CONVERT(varchar(10),"
      " FStartDate, 120) AS StartDate, CONVERT(varchar(10), FFinishDate, 120) AS FinishDate,"
      " FFinishTime AS WorkHours, FHRReadyTime AS PrepHours FROM ICMO WHERE FInterID = 1001");
  demo.PrintTable(title, *task);
}

void PrintReports(const DemoSession& demo) {
  RecordsetPtr lines = demo.Query(
      "SELECT r.FBillNo AS Report, CASE r.FStatus WHEN 1 THEN 'checked' ELSE 'saved' END AS"
      " Status, e.FEntryID AS Line, e.FICMORptInterID AS LineId, t.FBillNo AS Task,"
      " e.FAuxQtyFinish AS Finished, e.FAuxQtyPass AS Passed, e.FAuxQtyScrap AS Scrapped,"
      " e.FBTimeHrWork AS WorkHours FROM ICMORpt r INNER JOIN ICMORptEntry e ON e.FInterID ="
      " r.FInterID INNER JOIN ICMO t ON t.FInterID = e.FSourceInterID ORDER BY r.FInterID,"
      " e.FEntryID");
  demo.PrintTable("Production task reports", *lines);
}

// The host's save of a one-line report: its own write of header and line (times in minutes), then
// BeginSave and EndSave. Returns whether EndSave accepted it.
bool SaveReport(const DemoSession& demo, int32_t report, const std::string& bill_no, int32_t task,
                int finished, int passed, int scrapped, const std::string& start,
                const std::string& end, int work_minutes, int ready_minutes) {
  const std::string id = std::to_string(report);
  demo.Execute("INSERT INTO ICMORpt (FInterID, FBillNo, FDate, FBillerID) VALUES (" + id + ", '" +
               bill_no + "', '" + end + "', " + std::to_string(DemoSession::kUserID) + ")");
  demo.Execute(
      "INSERT INTO ICMORptEntry (FInterID, FEntryID, FSourceInterID, FItemID, FUnitID,"
      " FWorkStartDate, FWorkEndDate, FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap, FTimeUnitID,"
      " FTimeHrWork, FHRReadyTime) SELECT " +
      id + ", 1, FInterID, FItemID, FUnitID, '" + start + "', '" + end + "', " +
      std::to_string(finished) + ", " + std::to_string(passed) + ", " + std::to_string(scrapped) +
      ", 11081, " + std::to_string(work_minutes) + ", " + std::to_string(ready_minutes) +
      " FROM ICMO WHERE FInterID = " + std::to_string(task));
  auto rules = CreateObject(kICMORpt);
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", report);
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
  demo.PrintCall("clsMICMORpt.BeginSave(" + bill_no + ")", rules->Invoke("BeginSave", args));
  args = {demo.dsn(), save_vect, std::string()};
  Variant saved = rules->Invoke("EndSave", args);
  demo.PrintCall("clsMICMORpt.EndSave(" + bill_no + ")", saved,
                 saved.AsBool() ? Returned{}
                                : Returned{{"ReturnMsg", args[2]},
                                           {"SaveRetCode", header->Value("SaveRetCode")}});
  return saved.AsBool();
}

// The host's check (`undo` 0) or uncheck (1): PreCheck, CheckBill, PostCheck, stopping at the first
// that refuses.
void CheckReport(const DemoSession& demo, int32_t report, int undo) {
  auto rules = CreateObject(kICMORpt);
  const std::string what = undo == 0 ? "check" : "uncheck";
  std::vector<Variant> args{demo.dsn(),           report,    undo,         1,
                            DemoSession::kUserID, Variant(), std::string()};
  Variant ok = rules->Invoke("PreCheck", args);
  demo.PrintCall("clsMICMORpt.PreCheck(TR1, " + what + ")", ok,
                 ok.AsBool() ? Returned{} : Returned{{"ReturnMsg", args[6]}});
  if (!ok.AsBool()) return;
  args = {demo.dsn(),   report, undo, 1, DemoSession::kUserID, std::string("2026-03-11"),
          std::string()};
  ok = rules->Invoke("CheckBill", args);
  demo.PrintCall("clsMICMORpt.CheckBill(TR1, " + what + ")", ok);
  if (!ok.AsBool()) return;
  args = {demo.dsn(), report, undo, 1, DemoSession::kUserID, std::string()};
  ok = rules->Invoke("PostCheck", args);
  demo.PrintCall("clsMICMORpt.PostCheck(TR1, " + what + ")", ok,
                 ok.AsBool() ? Returned{} : Returned{{"ReturnMsg", args[5]}});
}

void WalkTaskReports(DemoSession& demo) {
  if (demo.Query("SELECT COUNT(*) FROM ICMORpt WHERE FInterID = 5002")->Fields(0).AsLong() > 0) {
    demo.Say("The production task reports were made by an earlier run of the demo.");
    PrintReports(demo);
    PrintTask(demo, "MO1001 as it stands");
    return;
  }
  PrintTask(demo, "Production task MO1001 before any report");

  demo.Say("\nThe assembly line reports on TR1: 40 lamps finished, 38 passed, 2 scrapped, from");
  demo.Say("2026-03-09 to 2026-03-11, in 360 minutes of work with 90 minutes of preparation.");
  demo.Say("The save gives the line its id from the 'IcmoRpt' counter, fills its hours and base");
  demo.Say("quantities and brings the task in line with all its reports at once.");
  demo.Transaction([&] {
    SaveReport(demo, kFirstReport, "TR1", 1001, 40, 38, 2, "2026-03-09", "2026-03-11", 360, 90);
  });
  PrintReports(demo);
  PrintTask(demo, "MO1001 after TR1 (its totals now come from its reports)");

  demo.Say("\nThe supervisor checks TR1. The check first makes sure that the task's reports");
  demo.Say("together finished at least what they passed, scrapped and lost.");
  demo.Transaction([&] { CheckReport(demo, kFirstReport, 0); });
  PrintReports(demo);

  demo.Say("\nA second report, TR2: 30 more lamps, all passed. The task sums both reports.");
  demo.Transaction([&] {
    SaveReport(demo, kSecondReport, "TR2", 1001, 30, 30, 0, "2026-03-12", "2026-03-13", 240, 0);
  });
  PrintTask(demo, "MO1001 after TR2");

  demo.Say("\nA report against MO1002, whose task is still planned, is refused; the host's own");
  demo.Say("write of it goes with the rolled-back transaction.");
  demo.Transaction([&] {
    SaveReport(demo, kRefusedReport, "TR3", 1002, 5, 5, 0, "2026-03-12", "2026-03-12", 30, 0);
  });

  demo.Say("\nTR1 is unchecked: the totals stay (every report counts, checked or not).");
  demo.Transaction([&] { CheckReport(demo, kFirstReport, 1); });
  PrintReports(demo);

  demo.Say("\nTR1 is deleted: before the host removes it, the task is recomputed without it.");
  demo.Transaction([&] {
    auto rules = CreateObject(kICMORpt);
    DictionaryPtr params = MakeDictionary();
    std::vector<Variant> args{demo.dsn(), kFirstReport, kBillTypeICMORpt, params};
    Variant done = rules->Invoke("WriteBackAfterDeleteBill", args);
    demo.PrintCall("clsMICMORpt.WriteBackAfterDeleteBill(TR1)", done,
                   {{"ReturnString", params->Value("ReturnString")}});
    if (done.AsBool()) {
      demo.Execute("DELETE FROM ICMORptEntry WHERE FInterID = 5001");
      demo.Execute("DELETE FROM ICMORpt WHERE FInterID = 5001");
    }
  });
  PrintReports(demo);
  PrintTask(demo, "MO1001 after TR1 was deleted");
}

const DemoStepRegistrar kStep({50, "Production task report: the task follows its reports",
                               &WalkTaskReports});

}  // namespace
}  // namespace corva::cli::demo
