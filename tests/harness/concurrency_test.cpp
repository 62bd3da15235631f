// Eight hosts at once on one database file: each thread, in transactions of its own, reserves a
// dispatch bill number and an operation plan number, writes a dispatch bill under it as a host
// does, saves it (its entries take global ids from ICMaxNum, the operation's totals are rewritten)
// and checks it. Afterwards no call may have failed, no number or id may be doubled, every counter
// must have moved by exactly what the committed calls reserved, and every total must be the sum of
// its rows.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr int kThreads = 8;
constexpr int kBillsPerThread = 4;
constexpr int kOperations[] = {101, 102};
constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";
constexpr char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";

std::string N(int value) { return std::to_string(value); }

// One host's work: kBillsPerThread dispatch bills, each numbered, written, saved and checked in a
// transaction of its own. Returns what went wrong, "" when nothing did.
std::string Host(const TestDatabase& db, int thread) {
  std::string failures;
  for (int i = 0; i < kBillsPerThread; ++i) {
    const int bill = 1000 + thread * 100 + i;
    const int operation = kOperations[(thread + i) % 2];
    TransactionScope scope;
    Args numbering{502, db.dsn(), 1, true};
    std::string number = CreateObject(kTaskDisp)->Invoke("GetBillNo", numbering).AsString();
    Args plan_numbering{db.dsn(), 1, true};
    CreateObject(kWorkBill)->Invoke("GetThisBillNo", plan_numbering);
    db.Execute(
        "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FWorkBillInterID, FICMOInterID) "
        "VALUES (" +
        N(bill) + ", '" + number + "', " + N(operation) +
        ", 1)\n"
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum,"
        " FStatus, FAuxQtyPlan, FOperMoveNo) VALUES (" +
        N(bill) + ", 1, 0, '" + number + "-1', 0, " + N(thread + 1) + ", 'M" + N(thread) +
        "')\n"
        "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FTaskDispInterID, FBillNum,"
        " FStatus, FAuxQtyPlan, FOperMoveNo) VALUES (" +
        N(bill) + ", 2, 0, '" + number + "-2', 0, 0.5, 'M" + N(thread) + "')");
    Args save{db.dsn(), SaveVect({{"FInterID", bill}}), std::string()};
    if (!CreateObject(kTaskDisp)->Invoke("EndSave", save).AsBool()) {
      failures += "save of " + N(bill) + ": " + save[2].ToText() + "\n";
    }
    Args check{db.dsn(), 0, 9, 0, 0, std::string(), bill, 1, "2026-03-05"};
    if (!CreateObject(kTaskDisp)->Invoke("CheckTaskDispBill", check).AsBool()) {
      failures += "check of " + N(bill) + ": " + check[5].ToText() + "\n";
    }
    if (!scope.Commit()) failures += "bill " + N(bill) + " rolled back\n";
  }
  return failures;
}

// The rows of `sql` as "a:b" joined by blanks.
std::string Rows(const TestDatabase& db, const std::string& sql) {
  std::string text;
  for (RecordsetPtr rows = db.Query(sql); !rows->Eof(); rows->MoveNext()) {
    if (!text.empty()) text += " ";
    for (int c = 0; c < rows->FieldCount(); ++c) text += (c ? ":" : "") + rows->Fields(c).ToText();
  }
  return text;
}

TEST(ConcurrencyTest, EightHostsNumberSaveAndCheckWithoutLosingAnything) {
  TestDatabase db;
  db.Execute(
      "INSERT INTO ICMO (FInterID, FStatus) VALUES (1, 1)\n"
      "INSERT INTO SHWorkBill (FInterID, FICMOInterID, FStatus) VALUES (10, 1, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(10, 101, 1, 10, 1)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FWBInterID, FEntryID, FOperSN, FStatus) VALUES "
      "(10, 102, 2, 20, 1)\n"
      "UPDATE ICBillNo SET FCurNo = 0, FFormat = NULL, FPreLetter = 'TD' WHERE FBillID = 502\n"
      "UPDATE ICBillNo SET FCurNo = 0 WHERE FBillID = 52");
  const int max_num_before =
      db.Scalar("SELECT FMaxNum FROM ICMaxNum WHERE FTableName = 'ICTaskDispBill'").AsLong();

  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> hosts;
  for (int t = 0; t < kThreads; ++t) {
    hosts.emplace_back([&, t] {
      try {
        failures[t] = Host(db, t);
      } catch (const std::exception& e) {
        failures[t] = std::string("raised: ") + e.what();
      }
    });
  }
  for (std::thread& host : hosts) host.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;

  const int bills = kThreads * kBillsPerThread;
  EXPECT_EQ(Rows(db, "SELECT COUNT(*), COUNT(DISTINCT FBillNo) FROM ICTaskDispBill"),
            N(bills) + ":" + N(bills));
  EXPECT_EQ(Rows(db,
                 "SELECT COUNT(*), COUNT(DISTINCT FTaskDispInterID), MIN(FTaskDispInterID),"
                 " MIN(FStatus) FROM ICTaskDispBillEntry"),
            N(2 * bills) + ":" + N(2 * bills) + ":" + N(max_num_before + 1) + ":1");
  EXPECT_EQ(Rows(db,
                 "SELECT FBillID, FCurNo FROM ICBillNo WHERE FBillID IN (52, 502)"
                 " ORDER BY FBillID"),
            "52:" + N(bills) + " 502:" + N(bills));
  EXPECT_EQ(Rows(db, "SELECT FMaxNum FROM ICMaxNum WHERE FTableName = 'ICTaskDispBill'"),
            N(max_num_before + 2 * bills));
  // Each operation's totals equal the sum of its entries, all of them checked.
  EXPECT_EQ(Rows(db,
                 "SELECT COUNT(*) FROM SHWorkBillEntry w WHERE FAuxQtyTaskDispSel <> "
                 "(SELECT SUM(e.FAuxQtyPlan) FROM ICTaskDispBillEntry e INNER JOIN "
                 "ICTaskDispBill b ON b.FInterID = e.FInterID WHERE b.FWorkBillInterID = "
                 "w.FWBInterID) OR FAuxQtyTaskDispAck <> FAuxQtyTaskDispSel"),
            "0");
  EXPECT_EQ(Rows(db, "SELECT SUM(FAuxQtyTaskDispSel) FROM SHWorkBillEntry"),
            Variant(kBillsPerThread * (kThreads * (kThreads + 1) / 2 + 0.5 * kThreads)).AsString());
}

}  // namespace
}  // namespace corva::harness
