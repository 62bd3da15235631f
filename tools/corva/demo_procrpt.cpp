// Demo steps 40 and 45: the cutting crews report their work on operation reports, which from now
// on carry the figures the earlier steps posted by hand. The first crew reports against its
// (closed) dispatch entry and the entry, the operation, the task and the steel in process follow;
// the second crew's report is refused while its entry is not released; the planner re-opens
// cutting, the foreman releases the entry, and the report that brings cutting to its plan closes
// it. Then the first report is checked, quality management re-grades its frames, and the second
// report is deleted, which re-opens cutting.
#include <string>
#include <utility>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kProcRpt[] = "CorvaMSHTransBills.clsMProcRpt";
constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";  // numbers any bill type
constexpr char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";
constexpr int32_t kBillTypeProcRpt = 582;
constexpr int32_t kCutting = 2101;  // WB1's first operation
constexpr int32_t kFirstReport = 5001;
constexpr int32_t kSecondReport = 5002;

using Returned = std::vector<std::pair<std::string, Variant>>;

std::string Number(int32_t value) { return std::to_string(value); }

// One report of one line, as the foreman types it in.
struct Report {
  int32_t id;
  int entry_row;  // of TD1
  std::string move_no;
  int finished;
  int passed;
  int scrapped;
  std::string start;
  std::string end;
  int hours;            // working hours, in the operation's unit (hours)
  int prepare_minutes;  // preparation, booked in minutes
};

void PrintReports(const DemoSession& demo) {
  RecordsetPtr rows = demo.Query(
      "SELECT h.FBillNo AS Report, e.FBillNum AS Entry, h.FOperMoveNo AS MoveNo,"
      " CASE h.FStatus WHEN 0 THEN 'saved' ELSE 'checked' END AS Status,"
      " SUM(l.FAuxQtyFinish) AS Finished, SUM(l.FAuxQtyPass) AS Passed, SUM(l.FAuxQtyScrap) AS"
      " Scrapped, SUM(l.FQtyFinish) AS FinishedBase FROM SHProcRptMain h"
      " INNER JOIN SHProcRpt l ON l.FInterID = h.FInterID"
      " LEFT JOIN ICTaskDispBillEntry e ON e.FTaskDispInterID = h.FTaskDispBillID"
      " WHERE h.FICMOInterID = 1001 GROUP BY h.FInterID, h.FBillNo, e.FBillNum, h.FOperMoveNo,"
      " h.FStatus ORDER BY h.FInterID");
  demo.PrintTable("Operation reports of MO1001", *rows);
}

void PrintState(const DemoSession& demo, const std::string& title) {
  demo.Say("\n" + title + ".");
  PrintReports(demo);
  RecordsetPtr entries = demo.Query(
      "SELECT FBillNum AS Entry, CASE FStatus WHEN 0 THEN 'saved' WHEN 3 THEN 'closed' ELSE"
      " 'checked' END AS Status, FAuxQtyPlan AS Dispatched, FAuxQtyFinish AS Finished,"
      " FAuxQtyPass AS Passed, FAuxQtyScrap AS Scrapped, CONVERT(varchar(16), FWorkStartDate, 120)"
      " AS WorkStart, CONVERT(varchar(16), FWorkEndDate, 120) AS WorkEnd, FTimeHrWork AS Hours,"
      " FHRReadyTime AS PrepHours FROM ICTaskDispBillEntry WHERE FInterID = 3001"
      " ORDER BY FEntryID");
  demo.PrintTable("Dispatch entries of TD1 (cutting)", *entries);
  RecordsetPtr operation = demo.Query(
      "SELECT FWorkBillNo AS Operation, CASE FStatus WHEN 0 THEN 'planned' WHEN 3 THEN 'closed'"
      " ELSE 'checked' END AS Status, FAuxQtyPlan AS Planned, FAuxQtyFinish AS Finished,"
      " FAuxQtyPass AS Passed, FAuxQtyScrap AS Scrapped, FAuxQtyHandOver AS HandedOver,"
      " FFinishTime AS Hours, FHRReadyTime AS PrepHours FROM SHWorkBillEntry"
      " WHERE FWBInterID = 2101");
  demo.PrintTable("The cutting operation", *operation);
  RecordsetPtr task = demo.Query(
      "SELECT FBillNo AS Task, FAuxQtyFinish AS Finished, CONVERT(varchar(10), FStartDate, 120)"
      " AS StartDate, CONVERT(varchar(10), FFinishDate, 120) AS FinishDate, FFinishTime AS Hours,"
      " FHRReadyTime AS PrepHours FROM ICMO WHERE FInterID = 1001");
  demo.PrintTable("Production task MO1001", *task);
  RecordsetPtr material = demo.Query(
      "SELECT i.FShortNumber AS Material, e.FOperSN AS OperSN, e.FAuxQtyMust AS Required,"
      " e.FWIPAuxQty AS InProcess FROM PPBOMEntry e INNER JOIN t_ICItem i ON i.FItemID = e.FItemID"
      " WHERE e.FICMOInterID = 1001 AND e.FOperSN = 10");
  demo.PrintTable("Material list: work in process at cutting (kg)", *material);
}

int32_t EntryID(const DemoSession& demo, int row) {
  return demo
      .Query(
          "SELECT FTaskDispInterID FROM ICTaskDispBillEntry WHERE FInterID = 3001 AND"
          " FEntryID = " +
          Number(row))
      ->Fields(0)
      .AsLong();
}

// The host's save of a new report: BeginSave (no id yet), a number for the bill (type 582), the
// host's own write of header and line, EndSave. A refusal shows in ReturnMsg and "SaveRetCode".
void SaveReport(const DemoSession& demo, const Report& report) {
  auto rules = CreateObject(kProcRpt);
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", 0);
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
  demo.PrintCall("clsMProcRpt.BeginSave", rules->Invoke("BeginSave", args));

  std::vector<Variant> number_args{kBillTypeProcRpt, demo.dsn(), 1, true};
  std::string bill_no = CreateObject(kTaskDisp)->Invoke("GetBillNo", number_args).AsString();
  const std::string id = Number(report.id);
  demo.Execute(
      "INSERT INTO SHProcRptMain (FInterID, FBillNo, FDate, FICMOInterID, FWBInterID,"
      " FTaskDispBillID, FOperMoveNo, FBillerID) VALUES (" +
      id + ", '" + bill_no + "', '" + report.end.substr(0, 10) + "', 1001, 2101, " +
      Number(EntryID(demo, report.entry_row)) + ", '" + report.move_no + "', 16394)");
  demo.Execute(
      "INSERT INTO SHProcRpt (FInterID, FEntryID, FICMOInterID, FAuxQtyFinish, FAuxQtyPass,"
      " FAuxQtyScrap, FStartWorkDate, FEndWorkDate, FFinishTime, FTimeUnit, FHRReadyTime)"
      " VALUES (" +
      id + ", 1, 1001, " + Number(report.finished) + ", " + Number(report.passed) + ", " +
      Number(report.scrapped) + ", '" + report.start + "', '" + report.end + "', " +
      Number(report.hours) + ", 11081, " + Number(report.prepare_minutes) + ")");
  header->SetValue("FInterID", report.id);
  header->SetValue("FBillNo", bill_no);
  args = {demo.dsn(), save_vect, std::string()};
  Variant saved = rules->Invoke("EndSave", args);
  // A refused report answers True: the abort vote and "SaveRetCode" 99 tell the host.
  demo.PrintCall(
      "clsMProcRpt.EndSave(" + bill_no + ")", saved,
      header->Contains("SaveRetCode")
          ? Returned{{"ReturnMsg", args[2]}, {"SaveRetCode", header->Value("SaveRetCode")}}
          : Returned{});
}

void WalkReports(DemoSession& demo) {
  if (demo.Query("SELECT COUNT(*) FROM SHProcRptMain WHERE FICMOInterID = 1001")
          ->Fields(0)
          .AsLong() > 0) {
    demo.Say("The crews' reports were saved by an earlier run of the demo in this database.");
    PrintState(demo, "As it stands");
    return;
  }
  if (demo.Query("SELECT COUNT(*) FROM ICTaskDispBillEntry WHERE FInterID = 3001")
          ->Fields(0)
          .AsLong() < 2) {
    demo.Say("TD1 of the dispatch step is missing: nothing for the crews to report on.");
    return;
  }

  demo.Say("The crews report their work at cutting; from now on the reports carry the figures the");
  demo.Say("earlier steps posted by hand. The site lets reports consume work in process (SH");
  demo.Say("WIPDeductMode 1), and the store has issued 13 kg of steel to MO1001 (the stock bills'");
  demo.Say("step posts issues; here the host does).");
  demo.Execute(
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'SH' AND FKey = 'WIPDeductMode'");
  demo.Execute(
      "UPDATE PPBOMEntry SET FWIPQty = 13, FWIPAuxQty = 13 WHERE FInterID = 1101 AND FEntryID = 1");

  demo.Say("\nReport: the first crew reports against its dispatch entry (TD1 row 1, MV-01, closed");
  demo.Say("when the crew was done): 60 frames finished, 58 passed, 2 scrapped, 14 hours of work");
  demo.Say("and 30 minutes of preparation.");
  demo.Transaction([&] {
    SaveReport(demo, {kFirstReport, 1, "MV-01", 60, 58, 2, "2026-03-02 08:00", "2026-03-03 17:00",
                      14, 30});
  });
  PrintState(demo,
             "The entry, cutting and MO1001 now follow the reports; 60 frames consumed 7.5 kg");

  demo.Say("\nRefused: the second crew reports 42 frames against TD1 row 2, which was never");
  demo.Say("released (the synchronization step could not: cutting was closed).");
  demo.Transaction([&] {
    SaveReport(demo, {kSecondReport, 2, "MV-02", 42, 42, 0, "2026-03-03 08:00", "2026-03-05 12:00",
                      10, 15});
  });
  PrintReports(demo);

  demo.Say("\nThe planner re-opens cutting, closed by hand-overs while only 58 are reported");
  demo.Say("passed, and the foreman releases the second crew's entry.");
  demo.Transaction([&] {
    std::vector<Variant> args{demo.dsn(), kCutting, DemoSession::kUserID, std::string()};
    demo.PrintCall("clsMWorkBill.AutoCloseBill(2101)",
                   CreateObject(kWorkBill)->Invoke("AutoCloseBill", args));
    std::vector<Variant> check{
        demo.dsn(), EntryID(demo, 2),         DemoSession::kUserID, 0, 0, std::string(), 0,
        1,          std::string("2026-03-03")};
    Variant done = CreateObject(kTaskDisp)->Invoke("CheckTaskDispBill", check);
    demo.PrintCall("clsMTaskDispBill.CheckTaskDispBill(TD1 row 2)", done,
                   {{"Returnstring", check[5]}});
  });

  demo.Say("\nReport again: the second crew's 40 frames and 2 more to replace the first crew's");
  demo.Say("scrap. Cutting has now passed its 100 and handed all of them to welding: it closes.");
  demo.Transaction([&] {
    SaveReport(demo, {kSecondReport, 2, "MV-02", 42, 42, 0, "2026-03-03 08:00", "2026-03-05 12:00",
                      10, 15});
  });
  PrintState(demo, "Cutting is finished and closed; the task has finished 102 frames");
}

void PrintLedger(const DemoSession& demo) {
  RecordsetPtr ledger = demo.Query(
      "SELECT e.FWorkBillNo AS Operation, m.FOperMoveNo AS MoveNo, m.FQty AS Qty FROM"
      " SHMoveNoManage m INNER JOIN SHWorkBillEntry e ON e.FWBInterID = m.FWBInterID"
      " WHERE m.FTransType = 582 ORDER BY m.FOperMoveNo");
  demo.PrintTable("Move-number ledger of the reports (passed quantity per move number)", *ledger);
}

// Quality management's verdict on the first crew's report line: `passed` and `scrapped` added.
void FeedQuality(const DemoSession& demo, int passed, int scrapped) {
  DictionaryPtr data = MakeDictionary();
  data->SetValue("FTranType", kBillTypeProcRpt);
  data->SetValue("FInterID", kFirstReport);
  data->SetValue("FEntryID", 1);
  data->SetValue("FQty", passed);
  data->SetValue("FQtyScrap", scrapped);
  std::vector<Variant> args{demo.dsn(), data, std::string()};
  Variant done = CreateObject(kProcRpt)->Invoke("UpdateQtyPassByQM", args);
  demo.PrintCall("clsMProcRpt.UpdateQtyPassByQM(OR1, passed " + std::to_string(passed) +
                     ", scrapped " + std::to_string(scrapped) + ")",
                 done, done.AsBool() ? Returned{} : Returned{{"Returnstring", args[2]}});
}

void WalkCheckAndDelete(DemoSession& demo) {
  RecordsetPtr first = demo.Query("SELECT FStatus FROM SHProcRptMain WHERE FInterID = 5001");
  if (first->Eof()) {
    demo.Say("The crews' reports are missing: nothing to check.");
    return;
  }
  if (first->Fields(0).AsLong() > 0) {
    demo.Say("OR1 was checked by an earlier run of the demo in this database.");
    PrintState(demo, "As it stands");
    return;
  }

  demo.Say("Check: the foreman checks OR1; the host writes its status and the rules follow. The");
  demo.Say("totals stand, and the ledger now records what OR1 passed on its move number.");
  demo.Transaction([&] {
    demo.Execute(
        "UPDATE SHProcRptMain SET FStatus = 1, FCheckerID = 16394, FCheckDate = '2026-03-06'"
        " WHERE FInterID = 5001");
    std::vector<Variant> args{demo.dsn(), 0, kFirstReport, std::string(), false};
    demo.PrintCall("clsMProcRpt.UpdateInfoAfterCheck(OR1)",
                   CreateObject(kProcRpt)->Invoke("UpdateInfoAfterCheck", args));
  });
  PrintReports(demo);
  PrintLedger(demo);

  demo.Say(
      "\nQuality: the inspector finds a faulty frame among OR1's passed ones, but cutting has");
  demo.Say("handed all 100 on: it may not end up having passed fewer than it handed over.");
  demo.Transaction([&] { FeedQuality(demo, -1, 1); });
  demo.Say(
      "Instead one of the 2 scrapped frames proves usable: one more passed, one less scrapped.");
  demo.Transaction([&] { FeedQuality(demo, 1, -1); });
  PrintState(demo, "The report line, its entry and cutting follow the inspection");
  PrintLedger(demo);

  demo.Say("\nDelete: OR2 was entered on the wrong bill and is deleted. While it is still stored");
  demo.Say("the host takes its hours and quantities back; cutting has passed only 59 without it,");
  demo.Say("so clsMWorkBill re-opens the operation, and the steel of its 42 frames (5.25 kg)");
  demo.Say("goes back into process.");
  demo.Transaction([&] {
    auto rules = CreateObject(kProcRpt);
    std::vector<Variant> times{demo.dsn(), kSecondReport, true, std::string()};
    demo.PrintCall("clsMProcRpt.WriteBackTime(OR2, removed)",
                   rules->Invoke("WriteBackTime", times));
    std::vector<Variant> args{demo.dsn(), kSecondReport, 42.0};
    demo.PrintCall("clsMProcRpt.UpdateInfoAfterDel(OR2)",
                   rules->Invoke("UpdateInfoAfterDel", args));
    demo.Execute("DELETE FROM SHProcRpt WHERE FInterID = 5002");
    demo.Execute("DELETE FROM SHProcRptMain WHERE FInterID = 5002");
  });
  PrintState(demo, "OR2 is gone: its entry shows nothing reported, cutting is open again");
  demo.Say("(The site goes back to consuming work in process by product receipts, its default.)");
  demo.Execute(
      "UPDATE t_SystemProfile SET FValue = '0' WHERE FCategory = 'SH' AND FKey = 'WIPDeductMode'");
}

const DemoStepRegistrar kStep({40, "Operation reports: report, refuse, finish and close",
                               &WalkReports});
const DemoStepRegistrar kCheckStep({45, "Operation reports: check, quality, delete",
                                    &WalkCheckAndDelete});

}  // namespace
}  // namespace corva::cli::demo
