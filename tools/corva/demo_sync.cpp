// Demo step 35: production task MO1001 catches up with its floor. The first crew's figures reach
// its dispatch entry (the second crew's entry is refused: cutting is closed), and clsMSynBills
// carries them into the cutting operation and on to the task (finished, passed and scrapped
// quantities, start and finish dates); the task is marked as started, once; the host refreshes its
// issue status with the statement the class composes.
#include <string>
#include <utility>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kSynBills[] = "CorvaMSHTransBills.clsMSynBills";
constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";
constexpr int32_t kTask = 1001;     // MO1001
constexpr int32_t kCutting = 2101;  // WB1's first operation

void PrintOperations(const DemoSession& demo, const std::string& title) {
  RecordsetPtr rows = demo.Query(
      "SELECT FWorkBillNo AS Operation, FOperSN AS OperSN, FAuxQtyTaskDispSel AS Dispatched,"
      " FAuxQtyTaskDispAck AS DispatchedChecked, FAuxQtyFinish AS Finished, FAuxQtyPass AS Passed,"
      " FAuxQtyScrap AS Scrapped, CONVERT(varchar(10), FStartWorkDate, 120) AS WorkStart,"
      " CONVERT(varchar(10), FEndWorkDate, 120) AS WorkEnd FROM SHWorkBillEntry"
      " WHERE FInterID = 2001 ORDER BY FEntryID");
  demo.PrintTable(title, *rows);
}

void PrintTask(const DemoSession& demo, const std::string& title) {
  RecordsetPtr task = demo.Query(
      "SELECT FBillNo AS Task, CASE FStartFlag WHEN 1 THEN 'yes' ELSE 'no' END AS Started,"
      " CONVERT(varchar(10), FStartDate, 120) AS StartDate, CONVERT(varchar(10), FFinishDate,"
      " 120) AS FinishDate, FAuxQtyFinish AS Finished, FAuxQtyPass AS Passed, FAuxQtyScrap AS"
      " Scrapped, FQtyFinish AS FinishedBase, CASE FStockFlag WHEN 14215 THEN 'nothing issued'"
      " WHEN 14216 THEN 'partly issued' WHEN 14217 THEN 'fully issued' ELSE 'over-issued' END AS"
      " Issue FROM ICMO WHERE FInterID = 1001");
  demo.PrintTable(title, *task);
}

// The host's post of a crew's figures on its dispatch entry (the operation reports do this when
// they are saved; here the foreman types them in).
void PostCrew(const DemoSession& demo, int row, int finished, int passed, int scrapped,
              const std::string& start_date, const std::string& end_date) {
  demo.Execute("UPDATE ICTaskDispBillEntry SET FAuxQtyFinish = " + std::to_string(finished) +
               ", FAuxQtyPass = " + std::to_string(passed) +
               ", FAuxQtyScrap = " + std::to_string(scrapped) + ", FWorkStartDate = '" +
               start_date + "', FWorkEndDate = '" + end_date +
               "' WHERE FInterID = 3001 AND FEntryID = " + std::to_string(row));
  demo.Execute("EXEC prc_SHUpdateBillDoubleQty 502, 3001");
}

void ReleaseSecondCrew(const DemoSession& demo) {
  RecordsetPtr entry = demo.Query(
      "SELECT FTaskDispInterID, FStatus FROM ICTaskDispBillEntry WHERE FInterID = 3001 AND"
      " FEntryID = 2");
  if (entry->Eof() || entry->Fields(1).AsLong() != 0) return;  // already released
  auto rules = CreateObject(kTaskDisp);
  std::vector<Variant> args{
      demo.dsn(), entry->Fields(0).AsLong(), DemoSession::kUserID, 0, 0, std::string(), 0,
      1,          std::string("2026-03-02")};
  Variant done = rules->Invoke("CheckTaskDispBill", args);
  demo.PrintCall("clsMTaskDispBill.CheckTaskDispBill(TD1 row 2)", done,
                 {{"ReturnCode", args[4]}, {"Returnstring", args[5]}});
}

void WalkSynchronization(DemoSession& demo) {
  if (demo.Query("SELECT FStartFlag FROM ICMO WHERE FInterID = 1001")->Fields(0).AsLong() == 1) {
    demo.Say("MO1001 was synchronized and marked as started by an earlier run of the demo.");
    PrintTask(demo, "As it stands");
    return;
  }
  if (demo.Query("SELECT COUNT(*) FROM ICTaskDispBill WHERE FInterID = 3001")->Fields(0).AsLong() ==
      0) {
    demo.Say("TD1 of the dispatch step is missing: nothing for the floor to report on.");
    return;
  }
  PrintTask(demo, "Production task MO1001 as planned");

  demo.Say("\nThe floor: the first crew (MV-01, its entry closed) finished 60 frames, 58 passed");
  demo.Say("and 2 scrapped; the foreman types the figures into its dispatch entry.");
  demo.Transaction([&] { PostCrew(demo, 1, 60, 58, 2, "2026-03-02", "2026-03-03"); });
  demo.Say("\nThe second crew's entry (MV-02) can no longer be released: the shift step closed");
  demo.Say(
      "cutting once all 100 frames were handed over, and a closed operation takes no new work.");
  demo.Transaction([&] { ReleaseSecondCrew(demo); });

  demo.Say("\nSynchronize: the cutting operation is re-totalled from its dispatch entries and the");
  demo.Say(
      "task follows its work bill: start date and finished quantity from the first operation,");
  demo.Say("finish date and passed quantity from the last (assembly, nothing passed yet), the");
  demo.Say("scrap of all. The work dates count only entries the floor works on, so the closed");
  demo.Say("MV-01 entry's dates no longer do.");
  demo.Transaction([&] {
    auto sync = CreateObject(kSynBills);
    std::vector<Variant> args{demo.dsn(), kCutting};
    demo.PrintCall("clsMSynBills.SynWorkBillAndTaskDisp(2101)",
                   sync->Invoke("SynWorkBillAndTaskDisp", args));
  });
  PrintOperations(demo, "Operations of WB1");
  PrintTask(demo, "MO1001 after the synchronization");

  demo.Say("\nStart mark: the released task is marked as started; asking again changes nothing.");
  for (int round = 0; round < 2; ++round) {
    demo.Transaction([&] {
      auto sync = CreateObject(kSynBills);
      std::vector<Variant> args{demo.dsn(), kTask};
      demo.PrintCall("clsMSynBills.UpdateICMoStartFlag(1001)",
                     sync->Invoke("UpdateICMoStartFlag", args));
    });
  }

  demo.Say("\nIssue status: the host asks for the statement over a table of its tasks and runs it");
  demo.Say("in its own batch. No material has been issued yet; the stock bills will change that.");
  demo.Transaction([&] {
    auto sync = CreateObject(kSynBills);
    std::vector<Variant> args{std::string("#Tasks")};
    std::string statement = sync->Invoke("UpdateICMOStockFlag", args).AsString();
    demo.PrintCall("clsMSynBills.UpdateICMOStockFlag(\"#Tasks\")",
                   std::to_string(statement.size()) + " characters of SQL");
    demo.Execute("SELECT FInterID AS FICMOInterID INTO #Tasks FROM ICMO WHERE FInterID = 1001\r\n" +
                 statement);
  });
  PrintTask(demo, "MO1001 started");
}

const DemoStepRegistrar kStep({35, "Bill synchronization: the production task follows its floor",
                               &WalkSynchronization});

}  // namespace
}  // namespace corva::cli::demo
