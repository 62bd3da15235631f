// What the tests of clsMProcRpt share: a small factory with one production task, its work bill of
// two operations, a dispatch entry on each and a material line consumed at the first, reports
// written as the host writes them, the host's save and calls in transactions of their own, and
// compact readings of the totals the reports keep.
#ifndef CORVA_TESTS_BILLS_PROCRPT_TEST_UTIL_H_
#define CORVA_TESTS_BILLS_PROCRPT_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills::procrpt_test {

using corva::CreateObject;
using corva::TransactionScope;
using corva::Variant;
using corva::testing::TestDatabase;

inline constexpr char kProgID[] = "CorvaMSHTransBills.clsMProcRpt";
// Task 1 (50 in a unit of 2 base units: 100) with work bill 10: cutting 101 (row 1, times in
// minutes) and welding 102 (row 2, hours), each planned at 20 and checked; dispatch entry 301 of
// cutting (times in days) and 302 of welding, checked, 20 each.
inline constexpr int kCut = 101;
inline constexpr int kWeld = 102;
inline constexpr int kCutEntry = 301;
inline constexpr int kWeldEntry = 302;

inline std::string N(double v) { return Variant(v).AsString(); }

inline void AddFactory(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 2)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (5, 2)\n"
      "INSERT INTO ICMO (FInterID, FItemID, FUnitID, FStatus, FAuxQty, FQty) VALUES "
      "(1, 5, 2, 1, 50, 100)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FBillType, FStatus) VALUES (10, 1, 11620, "
      "1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FWorkBillNo, FOperID, FOperSN, "
      "FStatus, FAuxQtyPlan, FTimeUnit) VALUES (10, 101, 1, 'WB1-1', 71, 10, 1, 20, 11081)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FWorkBillNo, FOperID, FOperSN, "
      "FStatus, FAuxQtyPlan, FTimeUnit) VALUES (10, 102, 2, 'WB1-2', 72, 20, 1, 20, 11082)\n"
      "INSERT INTO ICTaskDispBill (FInterID, FWorkBillInterID, FICMOInterID) VALUES (30, 101, 1)\n"
      "INSERT INTO ICTaskDispBill (FInterID, FWorkBillInterID, FICMOInterID) VALUES (31, 102, 1)\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FStatus, "
      "FAuxQtyPlan, FTimeUnit) VALUES (30, 1, 301, 1, 20, 11083)\n"
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FStatus, "
      "FAuxQtyPlan) VALUES (31, 1, 302, 1, 20)\n"
      // 0.5 per product at cutting: 50 required for the task's 100.
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FOperID, FOperSN, "
      "FQtyMust, FAuxQtyMust, FQtyScrap, FAuxQtyScrap, FWIPQty, FWIPAuxQty) VALUES "
      "(1, 1, 1, 5, 71, 10, 50, 25, 0.5, 0.25, 30, 15)\n"
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'SH' AND FKey = 'WIPDeductMode'");
}

// One report line as the floor fills it in.
struct Line {
  double finish = 0;
  double pass = 0;
  double scrap = 0;
  std::string start = "2026-03-02 08:00";
  std::string end = "2026-03-02 16:00";
  double finish_time = 0;  // in the operation's time unit
  double hr_ready = 0;     // in `time_unit`
  int time_unit = 11082;
};

// Report `id` on `operation` against dispatch entry `entry`, as the host writes it.
inline void WriteReport(const TestDatabase& db, int id, int operation, int entry,
                        const std::vector<Line>& lines, int quality = 352) {
  db.Execute(
      "INSERT INTO SHProcRptMain (FInterID, FBillNo, FICMOInterID, FWBInterID, FTaskDispBillID, "
      "FQualityChkID, FOperMoveNo) VALUES (" +
      N(id) + ", 'OR" + N(id) + "', 1, " + N(operation) + ", " + N(entry) + ", " + N(quality) +
      ", 'M1')");
  int row = 0;
  for (const Line& l : lines) {
    db.Execute(
        "INSERT INTO SHProcRpt (FInterID, FEntryID, FICMOInterID, FQualityChkID, FAuxQtyFinish, "
        "FAuxQtyPass, FAuxQtyScrap, FStartWorkDate, FEndWorkDate, FFinishTime, FHRReadyTime, "
        "FTimeUnit) VALUES (" +
        N(id) + ", " + N(++row) + ", 1, " + N(quality) + ", " + N(l.finish) + ", " + N(l.pass) +
        ", " + N(l.scrap) + ", '" + l.start + "', '" + l.end + "', " + N(l.finish_time) + ", " +
        N(l.hr_ready) + ", " + N(l.time_unit) + ")");
  }
}

struct Outcome {
  bool ok;
  std::string message;
  Variant save_ret_code;
  bool doomed;
};

// The host's save in one transaction: BeginSave with the id the report has so far (0 when new),
// the host's own `write`, EndSave with the report's id.
inline Outcome Save(const std::string& dsn, int id, bool is_new,
                    const std::function<void()>& write) {
  corva::VectorPtr save_vect = test_util::SaveVect(is_new ? 0 : id);
  corva::DictionaryPtr header = test_util::Header(save_vect);
  TransactionScope tx;
  auto rules = CreateObject(kProgID);
  std::vector<Variant> args{dsn, save_vect, std::string("keep")};
  EXPECT_TRUE(rules->Invoke("BeginSave", args).AsBool());
  write();
  header->SetValue("FInterID", id);
  args = {dsn, save_vect, std::string("keep")};
  bool ok = rules->Invoke("EndSave", args).AsBool();
  Outcome outcome{ok, args[2].ToText(), header->Value("SaveRetCode"), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// Saves a new report `id` with `lines`.
inline Outcome SaveNew(const TestDatabase& db, int id, int operation, int entry,
                       const std::vector<Line>& lines, int quality = 352) {
  return Save(db.dsn(), id, true, [&] { WriteReport(db, id, operation, entry, lines, quality); });
}

// A one-call operation (`message_at`: its message argument, -1 for none) in a transaction of its
// own; the arguments come back in `args`.
inline Outcome Call(const std::string& op, std::vector<Variant>& args, int message_at = -1) {
  TransactionScope tx;
  bool ok = CreateObject(kProgID)->Invoke(op, args).AsBool();
  Outcome outcome{ok, message_at < 0 ? "" : args[message_at].ToText(), Variant(), tx.Doomed()};
  tx.Commit();
  return outcome;
}

// The columns of `sql`'s rows as text joined by "/" ("-" for Null, "" for no row).
using test_util::Rows;

// Finished/passed/scrapped of dispatch entry `entry` and of operation `operation`.
inline std::string EntryTotals(const TestDatabase& db, int entry) {
  return Rows(db,
              "SELECT FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap FROM ICTaskDispBillEntry WHERE "
              "FTaskDispInterID = " +
                  N(entry));
}
inline std::string OperationTotals(const TestDatabase& db, int operation) {
  return Rows(db,
              "SELECT FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap FROM SHWorkBillEntry WHERE "
              "FWBInterID = " +
                  N(operation));
}
// Work in process of the material line at cutting: base/auxiliary.
inline std::string Wip(const TestDatabase& db) {
  return Rows(db, "SELECT FWIPQty, FWIPAuxQty FROM PPBOMEntry WHERE FICMOInterID = 1");
}
// The quantity on the report ledger row of `operation` and move number "M1" ("" for none).
inline std::string Ledger(const TestDatabase& db, int operation) {
  return Rows(db,
              "SELECT FQty FROM SHMoveNoManage WHERE FTransType = 582 AND FOperMoveNo = 'M1' AND "
              "FWBInterID = " +
                  N(operation));
}

// Record `n` (from 1) of the engine case tests/tsql/rules/procrpt_totals.test that the rules send
// ("batch crlf"), each line ended with CR LF.
inline std::string EngineCaseBatch(int n) {
  std::ifstream file(std::string(CORVA_SOURCE_DIR) + "/tests/tsql/rules/procrpt_totals.test");
  std::string line;
  std::string batch;
  for (int found = 0; found < n && std::getline(file, line);) found += line == "batch crlf";
  while (std::getline(file, line) && line != "----") batch += line + "\r\n";
  return batch;
}

// The batch sent while `action` runs that declares the report's variables ("" when none did).
inline std::string SentBatch(const std::function<void()>& action) {
  corva::SqlTrace::EnableProcess(true);
  corva::SqlTrace::Clear();
  action();
  corva::SqlTrace::EnableProcess(false);
  for (const corva::TraceEntry& entry : corva::SqlTrace::Entries()) {
    if (entry.sql.find("Declare @FWBinterID int") != std::string::npos) return entry.sql;
  }
  return std::string();
}

}  // namespace CorvaMSHTransBills::procrpt_test

#endif  // CORVA_TESTS_BILLS_PROCRPT_TEST_UTIL_H_
