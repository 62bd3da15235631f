// The rules and the consistency check agree: seeded random sequences of report saves, checks,
// unchecks and deletes, dispatch entry saves and synchronizations, called by ProgID as the host
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

struct Report {
  int entry;
  double finish, pass, scrap;
  bool checked = false;
};

int OperationOf(int entry) { return entry == kCutEntry ? kCut : kWeld; }

// The model: the reports that exist, the entries an uncheck zeroed, and the report ledger row of
// each operation (every report carries move number M1) as the rules keep it.
struct Model {
  std::map<int, Report> reports;
  std::set<int> zeroed;
  std::map<int, double> ledger;  // no row: absent
  int next_id = 1;

  double PassedAt(int operation) const {
    double passed = 0;
    for (const auto& [id, r] : reports) {
      if (OperationOf(r.entry) == operation) passed += r.pass;
    }
    return passed;
  }
  void RebuildLedger(int operation) { ledger[operation] = PassedAt(operation); }
  void TakeOffLedger(int operation, double pass) {
    auto row = ledger.find(operation);
    if (row == ledger.end()) return;
    row->second -= pass;
    if (row->second == 0) ledger.erase(row);
  }

  bool HasChecked(int entry) const {
    for (const auto& [id, r] : reports) {
      if (r.entry == entry && r.checked) return true;
    }
    return false;
  }
  // The drifts the rules leave: each reported quantity of a zeroed entry that its reports do not
  // sum to 0, on the entry and on its operation.
  std::set<std::string> ExpectedDrifts() const {
    std::set<std::string> expected;
    for (int entry : zeroed) {
      double sums[3] = {0, 0, 0};
      for (const auto& [id, r] : reports) {
        if (r.entry != entry) continue;
        sums[0] += r.finish;
        sums[1] += r.pass;
        sums[2] += r.scrap;
      }
      const char* names[3] = {"finished", "passed", "scrapped"};
      const int operation = OperationOf(entry);
      for (int i = 0; i < 3; ++i) {
        if (sums[i] == 0) continue;
        expected.insert(std::string("dispatch_entry.") + names[i] + "@" + N(entry));
        expected.insert(std::string("operation.") + names[i] + "@" + N(operation));
      }
    }
    for (int operation : {kCut, kWeld}) {
      auto row = ledger.find(operation);
      if ((row == ledger.end() ? 0 : row->second) != PassedAt(operation)) {
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

bool CheckReport(const TestDatabase& db, int id, bool undo) {
  TransactionScope tx;
  db.Execute("UPDATE SHProcRptMain SET FStatus = " + N(undo ? 0 : 1) +
             " WHERE FInterID = " + N(id));
  std::vector<Variant> args{db.dsn(), undo ? 1 : 0, id, std::string(), false};
  bool ok = CreateObject(kProgID)->Invoke("UpdateInfoAfterCheck", args).AsBool();
  return tx.Commit() && ok;
}

bool DeleteReport(const TestDatabase& db, int id) {
  TransactionScope tx;
  std::vector<Variant> args{
      db.dsn(), id,
      db.Scalar("SELECT ISNULL(SUM(FAuxQtyFinish), 0) FROM SHProcRpt WHERE FInterID = " + N(id))};
  bool ok = CreateObject(kProgID)->Invoke("UpdateInfoAfterDel", args).AsBool();
  db.Execute("DELETE FROM SHProcRpt WHERE FInterID = " + N(id) +
             "\nDELETE FROM SHProcRptMain WHERE FInterID = " + N(id));
  return tx.Commit() && ok;
}

bool Synchronize(const TestDatabase& db, int operation) {
  TransactionScope tx;
  std::vector<Variant> args{db.dsn(), operation, 0, 0};
  bool ok = CreateObject("CorvaMSHTransBills.clsMSynBills")
                ->Invoke("SynWorkBillAndTaskDisp", args)
                .AsBool();
  return tx.Commit() && ok;
}

// The host's save of one more dispatch entry of `plan` on bill 30 (cutting): its own write, then
// clsMTaskDispBill.EndSave, which re-totals the operation's dispatched quantities.
bool SaveDispatchEntry(const TestDatabase& db, int row, double plan) {
  TransactionScope tx;
  db.Execute(
      "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FStatus, "
      "FAuxQtyPlan) VALUES (30, " +
      N(row) + ", 0, 0, " + N(plan) + ")");
  corva::DictionaryPtr header = corva::MakeDictionary();
  header->SetValue("FInterID", 30);
  corva::VectorPtr save_vect = corva::MakeVector();
  save_vect->Add(header);
  std::vector<Variant> args{db.dsn(), save_vect, std::string()};
  bool ok = CreateObject("CorvaMSHTransBills.clsMTaskDispBill")->Invoke("EndSave", args).AsBool();
  return tx.Commit() && ok;
}

int Pick(std::mt19937& random, const std::map<int, Report>& reports) {
  auto it = reports.begin();
  std::advance(it, std::uniform_int_distribution<int>(0, reports.size() - 1)(random));
  return it->first;
}

TEST(RulesAgreeTest, VerifyAgreesWithTheRulesAfterEveryCall) {
  int steps_with_drift = 0;  // the sequences must reach the cases the rules leave
  for (unsigned seed : {7u, 42u, 2026u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestDatabase db;
    AddFactory(db);
    corva::Verify(db.connect_string(), {.repair = true});  // the factory's own totals first
    ASSERT_TRUE(Drifts(db).empty());

    std::mt19937 random(seed);
    Model model;
    for (int step = 0; step < 40; ++step) {
      const int action = std::uniform_int_distribution<int>(0, 5)(random);
      std::string what;
      if (action == 0 || model.reports.empty()) {
        const int entry = random() % 2 ? kCutEntry : kWeldEntry;
        Report r{entry, 0.5 * (1 + random() % 6), 0, 0};
        r.pass = 0.5 * (random() % (static_cast<int>(r.finish * 2) + 1));
        r.scrap = r.finish - r.pass;
        const int id = model.next_id++;
        what = "save " + N(id);
        const int operation = OperationOf(entry);
        if (SaveNew(db, id, operation, entry,
                    {{.finish = r.finish, .pass = r.pass, .scrap = r.scrap}})
                .ok) {
          model.reports[id] = r;
          model.zeroed.erase(entry);
          model.TakeOffLedger(operation, r.pass);
        }
      } else if (action == 1 || action == 2) {
        const int id = Pick(random, model.reports);
        Report& r = model.reports[id];
        const bool undo = r.checked;
        what = (undo ? "uncheck " : "check ") + N(id);
        ASSERT_TRUE(CheckReport(db, id, undo)) << what;
        r.checked = !undo;
        if (undo) {
          model.TakeOffLedger(OperationOf(r.entry), r.pass);
        } else {
          model.RebuildLedger(OperationOf(r.entry));
        }
        if (undo && !model.HasChecked(r.entry)) {
          model.zeroed.insert(r.entry);
        } else {
          model.zeroed.erase(r.entry);
        }
      } else if (action == 3) {
        const int id = Pick(random, model.reports);
        what = "delete " + N(id);
        const int entry = model.reports[id].entry;
        ASSERT_TRUE(DeleteReport(db, id)) << what;
        model.RebuildLedger(OperationOf(entry));  // before the host removed the report
        model.reports.erase(id);
        model.zeroed.erase(entry);
      } else if (action == 4) {
        what = "dispatch entry " + N(step);
        // A refused save (cutting closed once reported to its plan) writes nothing.
        SaveDispatchEntry(db, 100 + step, 0.5 * (1 + random() % 4));
      } else {
        const int operation = random() % 2 ? kCut : kWeld;
        what = "synchronize " + N(operation);
        // The operation takes its entries' totals as they stand, zeroed or not.
        ASSERT_TRUE(Synchronize(db, operation)) << what;
      }
      const std::set<std::string> expected = model.ExpectedDrifts();
      ASSERT_EQ(Drifts(db), expected) << "after step " << step << ": " << what;
      steps_with_drift += expected.empty() ? 0 : 1;
    }
  }
  EXPECT_GT(steps_with_drift, 0);
}

}  // namespace
}  // namespace CorvaMSHTransBills::procrpt_test
