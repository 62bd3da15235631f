// The rules and the consistency check agree: seeded random sequences of report saves, checks,
// unchecks and deletes and synchronizations, called by ProgID as the host
// calls them, with corva::Verify after every call. The only drifts expected are those the rules
// leave by design (docs/verify.md): the zeroing uncheck and the report ledger's upkeep.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bills/procrpt_test_util.h"
#include "corva/verify.h"

namespace CorvaMSHTransBills::procrpt_test {
namespace {

int OperationOf(int entry) { return entry == kCutEntry ? kCut : kWeld; }
const char* const kReported[] = {"finished", "passed", "scrapped"};

struct Report {
  int entry;
  double qty[3];  // finished, passed, scrapped
  bool checked = false;
};

// The model: the reports that exist, the entries an uncheck zeroed, and each operation's report
// ledger row (every report carries move number M1; no row: absent) as the rules keep it.
struct Model {
  std::map<int, Report> reports;
  std::set<int> zeroed;
  std::map<int, double> ledger;

  // Quantity `i` of the reports on `entry`, or with `operation` on the operation.
  double Sum(int i, int entry, int operation = 0) const {
    double sum = 0;
    for (const auto& [id, r] : reports) {
      if (operation ? OperationOf(r.entry) == operation : r.entry == entry) sum += r.qty[i];
    }
    return sum;
  }
  void TakeOffLedger(int operation, double pass) {
    auto row = ledger.find(operation);
    if (row != ledger.end() && (row->second -= pass) == 0) ledger.erase(row);
  }
  // The drifts the rules leave: the reported quantities of a zeroed entry and its operation, and
  // a ledger row that is not its reports' passed quantity.
  std::set<std::string> ExpectedDrifts() const {
    std::set<std::string> expected;
    for (int entry : zeroed) {
      for (int i = 0; i < 3; ++i) {
        if (Sum(i, entry) == 0) continue;
        expected.insert(std::string("dispatch_entry.") + kReported[i] + "@" + N(entry));
        expected.insert(std::string("operation.") + kReported[i] + "@" + N(OperationOf(entry)));
      }
    }
    for (int operation : {kCut, kWeld}) {
      auto row = ledger.find(operation);
      if ((row == ledger.end() ? 0 : row->second) != Sum(1, 0, operation)) {
        expected.insert("ledger.reported@" + N(operation));
      }
    }
    return expected;
  }
};

std::set<std::string> Drifts(const TestDatabase& db) {
  std::set<std::string> found;
  for (const corva::Drift& d : corva::Verify(db.connect_string())) {
    found.insert(d.total + "@" + N(d.row_id));
  }
  return found;
}

// One host action in a transaction of its own: its own writes `before` and `after` the call.
bool HostCall(const char* progid, const std::string& op, std::vector<Variant> args,
              const std::string& before, const std::string& after, const TestDatabase& db) {
  TransactionScope tx;
  if (!before.empty()) db.Execute(before);
  bool ok = CreateObject(progid)->Invoke(op, args).AsBool();
  if (!after.empty()) db.Execute(after);
  return tx.Commit() && ok;
}

TEST(RulesAgreeTest, VerifyAgreesWithTheRulesAfterEveryCall) {
  int steps_with_drift = 0;  // the sequences must reach the cases the rules leave
  for (unsigned seed : {7u, 42u, 2026u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestDatabase db;
    AddFactory(db);
    corva::Verify(db.connect_string(), {.repair = true});  // the factory's own totals first
    std::mt19937 random(seed);
    Model model;
    for (int step = 0, next_id = 1; step < 40; ++step) {
      const int action = model.reports.empty() ? 0 : random() % 5;
      auto picked = model.reports.begin();
      std::advance(picked, random() % std::max<size_t>(model.reports.size(), 1));
      const int id = action == 0 ? next_id++ : picked->first;
      std::string what = std::to_string(action) + " on " + N(id);
      if (action == 0) {  // a new report, saved
        Report r{random() % 2 ? kCutEntry : kWeldEntry, {0.5 * (1 + random() % 6), 0, 0}};
        r.qty[1] = 0.5 * (random() % (static_cast<int>(r.qty[0] * 2) + 1));
        r.qty[2] = r.qty[0] - r.qty[1];
        if (SaveNew(db, id, OperationOf(r.entry), r.entry,
                    {{.finish = r.qty[0], .pass = r.qty[1], .scrap = r.qty[2]}})
                .ok) {
          model.reports[id] = r;
          model.zeroed.erase(r.entry);
          model.TakeOffLedger(OperationOf(r.entry), r.qty[1]);
        }
      } else if (action <= 2) {  // checked, or unchecked when it is
        Report& r = picked->second;
        const bool undo = r.checked;
        ASSERT_TRUE(HostCall(
            kProgID, "UpdateInfoAfterCheck", {db.dsn(), undo ? 1 : 0, id, std::string(), false},
            "UPDATE SHProcRptMain SET FStatus = " + N(undo ? 0 : 1) + " WHERE FInterID = " + N(id),
            "", db))
            << what;
        r.checked = !undo;
        if (undo) {
          model.TakeOffLedger(OperationOf(r.entry), r.qty[1]);
        } else {
          model.ledger[OperationOf(r.entry)] = model.Sum(1, 0, OperationOf(r.entry));
        }
        bool any_checked = false;
        for (const auto& [other, o] : model.reports) any_checked |= o.entry == r.entry && o.checked;
        if (undo && !any_checked) {
          model.zeroed.insert(r.entry);
        } else {
          model.zeroed.erase(r.entry);
        }
      } else if (action == 3) {  // deleted: the rules run while it is still stored
        const int entry = picked->second.entry;
        ASSERT_TRUE(HostCall(kProgID, "UpdateInfoAfterDel", {db.dsn(), id, picked->second.qty[0]},
                             "",
                             "DELETE FROM SHProcRpt WHERE FInterID = " + N(id) +
                                 "\nDELETE FROM SHProcRptMain WHERE FInterID = " + N(id),
                             db))
            << what;
        model.ledger[OperationOf(entry)] = model.Sum(1, 0, OperationOf(entry));
        model.reports.erase(id);
        model.zeroed.erase(entry);
      } else {  // the operation takes its entries' totals as they stand, zeroed or not
        ASSERT_TRUE(HostCall("CorvaMSHTransBills.clsMSynBills", "SynWorkBillAndTaskDisp",
                             {db.dsn(), OperationOf(picked->second.entry), 0, 0}, "", "", db))
            << what;
      }
      const std::set<std::string> expected = model.ExpectedDrifts();
      ASSERT_EQ(Drifts(db), expected) << "after step " << step << ": action " << what;
      steps_with_drift += expected.empty() ? 0 : 1;
    }
  }
  EXPECT_GT(steps_with_drift, 0);
}

}  // namespace
}  // namespace CorvaMSHTransBills::procrpt_test
