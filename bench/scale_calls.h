// The scaling benchmark's measurements beyond one operation at a time: the whole chain of one
// order, a read-only call against the same statements in plain SQLite (with and without another
// connection holding the database), and readers on two threads beside one writer. Plus the timing
// helpers they share.
#ifndef CORVA_BENCH_SCALE_CALLS_H_
#define CORVA_BENCH_SCALE_CALLS_H_

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "corva/connection.h"
#include "corva/host.h"
#include "plain_sqlite.h"
#include "scale_ops.h"
#include "tsql/engine.h"

namespace corva::bench {

template <typename Fn>
double Micros(Fn&& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

template <typename Fn>
double Seconds(Fn&& fn) {
  return Micros(std::forward<Fn>(fn)) / 1e6;
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Closes the databases the engine keeps open, so that their files are complete and can be copied.
inline void CloseDatabases() { tsql::CloseIdleDatabases(); }

// ---- The whole chain of one order ----------------------------------------------------------

struct ChainResult {
  double rules_median_us = 0;  // the rules' calls and the commits of their transactions
  double total_median_us = 0;  // with the host's own writes between them
  int orders = 0;
  std::string failure;
};

// Work bill save and check, dispatch numbering, save, check and close of fresh order `k`, each
// step in a host transaction of its own that commits. Adds the rules' time and the whole time.
inline bool RunChain(const Site& s, int64_t k, double* rules_us, double* total_us) {
  const std::string bill = std::to_string(Task(k));
  bool ok = true;
  *rules_us = 0;
  auto timed = [&](auto&& fn) { *rules_us += Micros(fn); };
  *total_us = Micros([&] {
    {
      TransactionScope scope;
      timed([&] {
        ok &= Call(kWorkBill, "BeginSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
        ok &= Call(kWorkBill, "EndSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
        ok &= scope.Commit();
      });
    }
    {
      TransactionScope scope;
      s.Host("UPDATE SHWorkBillEntry SET FStatus = 1, FCheckerID = 16394 WHERE FInterID = " + bill);
      s.Host(
          "UPDATE SHWorkBill SET FStatus = 1, FCheckerID = 16394, FCheckDate = '2026-03-02' "
          "WHERE FInterID = " +
          bill);
      timed([&] {
        ok &= Call(kWorkBill, "PostCheck", {s.dsn, Task(k), 0, 1, kUser, std::string()}).AsBool();
        ok &= scope.Commit();
      });
    }
    {
      TransactionScope scope;
      std::string number;
      timed([&] { number = Call(kTaskDisp, "GetBillNo", {502, s.dsn, 1, true}).AsString(); });
      s.Host(
          "INSERT INTO ICTaskDispBill (FInterID, FBillNo, FDate, FWorkBillInterID, FICMOInterID, "
          "FBillerID) VALUES (" +
          bill + ", '" + number + "', '2026-03-02', " + std::to_string(FirstOperation(k)) + ", " +
          bill + ", 16394)");
      for (int row : {1, 2}) {
        s.Host(
            "INSERT INTO ICTaskDispBillEntry (FInterID, FEntryID, FBillNum, FAuxQtyPlan, "
            "FOperMoveNo, FWorkStartDate, FWorkEndDate) VALUES (" +
            bill + ", " + std::to_string(row) + ", '" + number + "-" + std::to_string(row) +
            "', 50, 'MV" + bill + "-" + std::to_string(row) + "', '2026-03-02', '2026-03-03')");
      }
      timed([&] {
        ok &= Call(kTaskDisp, "BeginSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
        ok &= Call(kTaskDisp, "EndSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
        ok &= scope.Commit();
      });
    }
    Connection host;
    host.Open(s.connect);
    int32_t entry =
        host.Execute("SELECT FTaskDispInterID FROM ICTaskDispBillEntry WHERE FInterID = " + bill +
                     " AND FEntryID = 1")
            ->Fields(0)
            .AsLong();
    host.Close();
    for (int process : {1, 2}) {  // check, then close
      TransactionScope scope;
      timed([&] {
        ok &= CheckEntry(s, entry, 0, process);
        ok &= scope.Commit();
      });
    }
  });
  return ok;
}

inline ChainResult TimeChains(const Site& s, int64_t tasks, int64_t orders) {
  ChainResult result;
  std::vector<double> rules, totals;
  for (int64_t j = 1; j <= orders; ++j) {
    double r = 0, t = 0;
    try {
      if (!RunChain(s, tasks + j, &r, &t)) {
        result.failure = "order " + std::to_string(tasks + j) + " answered other than expected";
        break;
      }
    } catch (const Error& e) {
      result.failure = std::to_string(e.Number()) + ": " + e.Description();
      break;
    }
    if (j > 5) {  // the first orders warm up
      rules.push_back(r);
      totals.push_back(t);
    }
  }
  result.rules_median_us = Median(rules);
  result.total_median_us = Median(totals);
  result.orders = static_cast<int>(rules.size());
  return result;
}

inline void PrintChain(const ChainResult& c) {
  if (!c.failure.empty()) {
    std::printf("  whole chain of one order: FAILED: %s\n", c.failure.c_str());
    return;
  }
  std::printf(
      "  whole chain of one order (%d orders): rules %.1f us median, with the host's "
      "writes %.1f us\n",
      c.orders, c.rules_median_us, c.total_median_us);
}

// ---- A read-only call against plain SQLite --------------------------------------------------

// The statements GetRelatedBillStatus sends for a checked dispatch entry, hand-written: the entry,
// its operation, its production task.
inline const char* const kChainQueries[] = {
    "SELECT 502, 'Z10', u1.FTaskDispInterID, u1.FBillNum, u1.FStatus, u1.FCancellation, "
    "u1.FClose, 0, 52, v1.FWorkBillInterID FROM ICTaskDispBillEntry u1, ICTaskDispBill v1 "
    "WHERE u1.FInterID = v1.FInterID AND u1.FTaskDispInterID = ?1",
    "SELECT 52, 'Z03', u1.FWBInterID, u1.FWorkBillNo, u1.FStatus, u1.FCancellation, u1.FClose, 0, "
    "85, v1.FICMOInterID FROM SHWorkBillEntry u1, SHWorkBill v1 WHERE u1.FInterID = v1.FInterID "
    "AND u1.FWBInterID = ?1",
    "SELECT 85, 'J01', FInterID, FBillNo, FStatus, FCancellation, FClosed, FSuspend, 0, 0 "
    "FROM ICMO WHERE FInterID = ?1",
};

template <typename Fn>
double MedianOf(int calls, Fn&& fn) {
  std::vector<double> t;
  for (int i = -20; i < calls; ++i) {
    double us = Micros(fn);
    if (i >= 0) t.push_back(us);
  }
  return Median(t);
}

inline void PrintCallOverhead(const Site& s, const std::string& path, int kCalls) {
  std::printf("\n  read-only calls against plain SQLite (median us):\n");
  auto profile = [&] { Call(kPublic, "GetICSysProfile", {s.dsn, "IC", "ICClosed"}); };
  auto chain = [&] {
    Call(kPublic, "GetRelatedBillStatus", {s.dsn, CheckedEntry(7), 502, MakeVector()});
  };
  CloseDatabases();
  double profile_alone = MedianOf(kCalls, profile);
  double chain_alone = MedianOf(kCalls, chain);
  Connection holder;
  holder.Open(s.connect);
  double profile_held = MedianOf(kCalls, profile);
  double chain_held = MedianOf(kCalls, chain);
  holder.Close();

  PlainSqlite plain(path);
  double profile_sqlite = MedianOf(kCalls, [&] {
    plain.Query("SELECT FValue FROM t_SystemProfile WHERE FCategory = ?1 AND FKey = ?2",
                {std::string("IC"), std::string("ICClosed")});
  });
  double chain_sqlite = MedianOf(kCalls, [&] {
    int32_t id = CheckedEntry(7);
    for (const char* link : kChainQueries) {
      Rows rows = plain.Query(link, {id});
      if (rows.empty()) break;
      id = rows[0][9].AsLong();
    }
  });
  std::printf("  %-34s %10s %10s %10s %14s\n", "", "alone", "held open", "sqlite", "held/sqlite");
  std::printf("  %-34s %10.1f %10.1f %10.1f %13.1fx\n", "clsPublic.GetICSysProfile", profile_alone,
              profile_held, profile_sqlite, profile_held / profile_sqlite);
  std::printf("  %-34s %10.1f %10.1f %10.1f %13.1fx\n", "clsPublic.GetRelatedBillStatus",
              chain_alone, chain_held, chain_sqlite, chain_held / chain_sqlite);
}

// ---- Readers beside a writer ------------------------------------------------------------------

// Calls per second of `readers` threads calling GetRelatedBillStatus for `ms` milliseconds, while
// one more thread saves work bills (EndSave, committed) when `writer`.
inline void ReadersBesideWriter(const Site& s, int readers, bool writer, int ms, double* reads,
                                double* writes) {
  std::atomic<bool> stop{false};
  std::atomic<int64_t> read_count{0}, write_count{0};
  std::vector<std::thread> threads;
  for (int r = 0; r < readers; ++r) {
    threads.emplace_back([&, r] {
      for (int64_t i = r; !stop.load(); i += 2) {
        Call(kPublic, "GetRelatedBillStatus",
             {s.dsn, CheckedEntry(1 + i % 500), 502, MakeVector()});
        ++read_count;
      }
    });
  }
  if (writer) {
    threads.emplace_back([&] {
      for (int64_t i = 0; !stop.load(); ++i) {
        Call(kWorkBill, "EndSave", {s.dsn, SaveVect(Task(1 + i % 500)), std::string()});
        ++write_count;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  stop = true;
  for (std::thread& t : threads) t.join();
  *reads = static_cast<double>(read_count) * 1000.0 / ms;
  *writes = static_cast<double>(write_count) * 1000.0 / ms;
}

inline void PrintConcurrency(const Site& s, int ms) {
  std::printf(
      "\n  readers (GetRelatedBillStatus) beside a writer (clsMWorkBill.EndSave), calls/s:\n");
  for (auto [readers, writer] :
       {std::pair{1, false}, {2, false}, {1, true}, {2, true}, {0, true}}) {
    double reads = 0, writes = 0;
    ReadersBesideWriter(s, readers, writer, ms, &reads, &writes);
    std::printf("  %d reader(s)%-14s reads %8.0f/s   writes %6.0f/s\n", readers,
                writer ? " + 1 writer" : "", reads, writes);
  }
}

}  // namespace corva::bench

#endif  // CORVA_BENCH_SCALE_CALLS_H_
