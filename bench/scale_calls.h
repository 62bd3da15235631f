// The scaling benchmark's measurements beyond one operation at a time: the whole chain of one
// order, a read-only call against the same statements in plain SQLite (with and without another
// connection holding the database), and readers on two threads beside one writer. Plus the timing
// helpers they share.
#ifndef CORVA_BENCH_SCALE_CALLS_H_
#define CORVA_BENCH_SCALE_CALLS_H_

#include <time.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define CORVA_BENCH_TOGGLE_COUNT() CALLGRIND_TOGGLE_COLLECT
#else
#define CORVA_BENCH_TOGGLE_COUNT()
#endif

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

// Wall and thread CPU time of one run of `fn`, in microseconds. On a machine shared with other
// work the CPU time is the steadier measure: it leaves out the time the thread waited for a
// processor (it includes the kernel's work for the thread, and its waits for memory).
struct Timing {
  double wall = 0;
  double cpu = 0;
  Timing& operator+=(const Timing& t) {
    wall += t.wall;
    cpu += t.cpu;
    return *this;
  }
};

inline double ThreadCpuMicros() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

template <typename Fn>
Timing TimeRaw(Fn&& fn) {
  double cpu = ThreadCpuMicros();
  auto start = std::chrono::steady_clock::now();
  fn();
  Timing t;
  t.wall =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  t.cpu = ThreadCpuMicros() - cpu;
  return t;
}

// What reading the clocks itself costs (reading the thread's CPU clock is a system call), taken
// off every measurement.
inline const Timing& ClockCost() {
  static const Timing cost = [] {
    std::vector<double> wall, cpu;
    for (int i = 0; i < 2000; ++i) {
      Timing t = TimeRaw([] {});
      wall.push_back(t.wall);
      cpu.push_back(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return Timing{wall[wall.size() / 2], cpu[cpu.size() / 2]};
  }();
  return cost;
}

template <typename Fn>
Timing Time(Fn&& fn) {
  const Timing& cost = ClockCost();
  Timing t = TimeRaw(std::forward<Fn>(fn));
  t.wall = std::max(0.0, t.wall - cost.wall);
  t.cpu = std::max(0.0, t.cpu - cost.cpu);
  return t;
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

inline Timing Medians(const std::vector<Timing>& v) {
  std::vector<double> wall, cpu;
  for (const Timing& t : v) {
    wall.push_back(t.wall);
    cpu.push_back(t.cpu);
  }
  return Timing{Median(wall), Median(cpu)};
}

// Closes the databases the engine keeps open, so that their files are complete and can be copied.
inline void CloseDatabases() { tsql::CloseIdleDatabases(); }

// ---- The whole chain of one order ----------------------------------------------------------

struct ChainResult {
  Timing rules;  // medians: the rules' calls and the commits of their transactions
  Timing total;  // medians: with the host's own writes between them
  int orders = 0;
  std::string failure;
};

// Whether the rules' part of a chain is counted by callgrind: run under
// `valgrind --tool=callgrind --collect-atstart=no`, the instructions collected are exactly the
// timed parts of the chains after the warm-up ones (outside valgrind the toggle does nothing).
inline bool chain_counted = false;

// Work bill save and check, dispatch numbering, save, check and close of fresh order `k`, each
// step in a host transaction of its own that commits. Adds the rules' time and the whole time.
inline bool RunChain(const Site& s, int64_t k, Timing* rules, Timing* total) {
  const std::string bill = std::to_string(Task(k));
  bool ok = true;
  *rules = Timing();
  auto timed = [&](auto&& fn) {
    if (chain_counted) CORVA_BENCH_TOGGLE_COUNT();
    *rules += Time(fn);
    if (chain_counted) CORVA_BENCH_TOGGLE_COUNT();
  };
  *total = Time([&] {
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

// The chain for `orders` fresh orders of each factory, the factories taking turns order by order
// so that they share the machine's load alike. The first five orders warm up.
inline std::vector<ChainResult> TimeChains(const std::vector<std::pair<Site, int64_t>>& factories,
                                           int64_t orders) {
  std::vector<ChainResult> results(factories.size());
  std::vector<std::vector<Timing>> rules(factories.size()), totals(factories.size());
  for (int64_t j = 1; j <= orders; ++j) {
    for (size_t f = 0; f < factories.size(); ++f) {
      ChainResult& result = results[f];
      if (!result.failure.empty()) continue;
      const auto& [site, tasks] = factories[f];
      Timing r, t;
      chain_counted = j > 5;
      try {
        if (!RunChain(site, tasks + j, &r, &t))
          result.failure = "order " + std::to_string(tasks + j) + " answered other than expected";
      } catch (const Error& e) {
        result.failure = std::to_string(e.Number()) + ": " + e.Description();
      }
      if (j > 5) {
        rules[f].push_back(r);
        totals[f].push_back(t);
      }
    }
  }
  for (size_t f = 0; f < factories.size(); ++f) {
    results[f].rules = Medians(rules[f]);
    results[f].total = Medians(totals[f]);
    results[f].orders = static_cast<int>(rules[f].size());
  }
  return results;
}

inline void PrintChain(int64_t tasks, const ChainResult& c) {
  if (!c.failure.empty()) {
    std::printf("  %lld tasks: whole chain of one order FAILED: %s\n",
                static_cast<long long>(tasks), c.failure.c_str());
    return;
  }
  std::printf(
      "  %9lld tasks: rules %7.1f us CPU, %7.1f us wall; with the host's writes %7.1f us "
      "CPU, %7.1f us wall (%d orders)\n",
      static_cast<long long>(tasks), c.rules.cpu, c.rules.wall, c.total.cpu, c.total.wall,
      c.orders);
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
    double us = Time(fn).cpu;
    if (i >= 0) t.push_back(us);
  }
  return Median(t);
}

// The statements of GetRelatedBillStatus for dispatch entry `entry`, in plain SQLite.
inline void ChainBySqlite(PlainSqlite& plain, int32_t entry) {
  int32_t id = entry;
  for (const char* link : kChainQueries) {
    Rows rows = plain.Query(link, {id});
    if (rows.empty()) break;
    id = rows[0][9].AsLong();
  }
}

// One read-only call, and the same statements in plain SQLite, on one document (the overhead of a
// call): with nothing else holding the database, with a connection holding it, and SQLite running
// each statement by itself or the call's statements in one read transaction.
inline void PrintCallOverhead(const Site& s, const std::string& path, int calls) {
  std::printf(
      "\n  read-only calls on one document against plain SQLite (median us of thread CPU "
      "time):\n");
  auto profile = [&] { Call(kPublic, "GetICSysProfile", {s.dsn, "IC", "ICClosed"}); };
  auto chain = [&] {
    Call(kPublic, "GetRelatedBillStatus", {s.dsn, CheckedEntry(7), 502, MakeVector()});
  };
  CloseDatabases();
  double profile_alone = MedianOf(calls, profile);
  double chain_alone = MedianOf(calls, chain);
  Connection holder;
  holder.Open(s.connect);
  double profile_held = MedianOf(calls, profile);
  double chain_held = MedianOf(calls, chain);
  holder.Close();

  PlainSqlite plain(path);
  const char* const kSetting =
      "SELECT FValue FROM t_SystemProfile WHERE FCategory = ?1 AND FKey = ?2";
  auto setting = [&] { plain.Query(kSetting, {std::string("IC"), std::string("ICClosed")}); };
  double profile_sqlite = MedianOf(calls, setting);
  double chain_sqlite = MedianOf(calls, [&] { ChainBySqlite(plain, CheckedEntry(7)); });
  auto in_transaction = [&](auto&& work) {
    return MedianOf(calls, [&] {
      plain.Exec("BEGIN");
      work();
      plain.Exec("COMMIT");
    });
  };
  double profile_sqlite_tx = in_transaction(setting);
  double chain_sqlite_tx = in_transaction([&] { ChainBySqlite(plain, CheckedEntry(7)); });
  std::printf("  %-32s %9s %9s %11s %11s %12s\n", "", "alone", "held", "sqlite", "sqlite tx",
              "held/sqlite");
  std::printf("  %-32s %9.1f %9.1f %11.1f %11.1f %6.1fx-%.1fx\n", "clsPublic.GetICSysProfile",
              profile_alone, profile_held, profile_sqlite, profile_sqlite_tx,
              profile_held / profile_sqlite, profile_held / profile_sqlite_tx);
  std::printf("  %-32s %9.1f %9.1f %11.1f %11.1f %6.1fx-%.1fx\n", "clsPublic.GetRelatedBillStatus",
              chain_alone, chain_held, chain_sqlite, chain_sqlite_tx, chain_held / chain_sqlite,
              chain_held / chain_sqlite_tx);
}

// GetRelatedBillStatus and its statements in plain SQLite on documents spread over each factory:
// how much of an operation's growth with the factory is SQLite's own (B-trees one level deeper,
// pages no longer in the processor's caches).
struct SizedFactory {
  int64_t tasks;
  Site site;
  std::string path;
  std::vector<int64_t> docs;
};

inline void PrintSqliteGrowth(const std::vector<SizedFactory>& factories, int calls) {
  std::printf(
      "\n  the same statements on documents spread over the factory (median us of thread "
      "CPU time):\n");
  std::printf("  %-12s %14s %8s %14s %8s\n", "tasks", "engine call", "x", "plain SQLite", "x");
  double engine0 = 0, sqlite0 = 0;
  for (size_t f = 0; f < factories.size(); ++f) {
    const Site& site = factories[f].site;
    const std::string& path = factories[f].path;
    const std::vector<int64_t>& docs = factories[f].docs;
    Connection holder;
    holder.Open(site.connect);
    PlainSqlite plain(path);
    std::vector<double> engine, sqlite;
    for (int i = -static_cast<int>(docs.size()); i < calls; ++i) {
      int32_t entry =
          CheckedEntry(docs[static_cast<size_t>(i + static_cast<int>(docs.size())) % docs.size()]);
      double e = Time([&] {
                   Call(kPublic, "GetRelatedBillStatus", {site.dsn, entry, 502, MakeVector()});
                 }).cpu;
      double q = Time([&] {
                   plain.Exec("BEGIN");
                   ChainBySqlite(plain, entry);
                   plain.Exec("COMMIT");
                 }).cpu;
      if (i >= 0) {
        engine.push_back(e);
        sqlite.push_back(q);
      }
    }
    double em = Median(engine), sm = Median(sqlite);
    if (f == 0) engine0 = em, sqlite0 = sm;
    std::printf("  %-12lld %14.1f %8.2f %14.1f %8.2f\n", static_cast<long long>(factories[f].tasks),
                em, em / engine0, sm, sm / sqlite0);
  }
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
