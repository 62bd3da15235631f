// The scaling benchmark: every rule operation timed on one document at a time, as a host calls it,
// on factories of 1,000, 10,000 and 100,000 production tasks (1,000,000 with CORVA_SCALE_1M=1 or
// --sizes), with each median's growth against the smallest size; the whole chain of one order;
// what a read-only call costs over the same statements in plain SQLite, with and without another
// connection holding the database; and readers on two threads beside one writer.
//
//   scale_bench [--sizes=1000,10000] [--calls=200] [--documents=100] [--chains=100]
//               [--dir=PATH] [--keep] [--smoke]
//               [--alone] [--only=clsPublic.GetRelatedBillStatus | --only=chain | --only=readers]
//               [--trace=clsPublic.GetRelatedBillStatus]
//
// The operations and the chain are timed while the benchmark holds a connection of its own open,
// so that what grows with the tables shows apart from the cost of opening the database, which the
// call-overhead lines show; --alone times them with nothing else holding the database.
//
// Factories are generated once into --dir (default: the system's temporary folder) and copied for
// each run, so the timed calls always start from the same rows.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "corva/error.h"
#include "corva/sql_trace.h"
#include "scale_calls.h"
#include "scale_ops.h"

namespace corva::bench {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kFreshOrders = 400;  // fresh orders generated after the tasks, for the chain
constexpr int kFactoryVersion = 5;     // bump when the generator or the schema changes

struct Options {
  std::vector<int64_t> sizes{1000, 10000, 100000};
  int calls = 200;
  int chains = 100;
  int documents = 100;  // documents the calls go round
  int repeat = 1;       // passes over every operation; each figure is the median of the passes'
  fs::path dir = fs::temp_directory_path();
  bool keep = false;
  bool alone = false;
  bool smoke = false;  // everything once, briefly: proves the benchmark runs
  std::string only;    // one operation, without the chain and the other measurements
  std::string trace;
};

Options ParseOptions(int argc, char** argv) {
  Options o;
  if (const char* big = std::getenv("CORVA_SCALE_1M"); big && std::string(big) == "1") {
    o.sizes.push_back(1000000);
  }
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      size_t n = std::string(name).size();
      return arg.compare(0, n, name) == 0 ? argv[i] + n : nullptr;
    };
    if (const char* v = value("--sizes=")) {
      o.sizes.clear();
      for (std::string rest = v; !rest.empty();) {
        size_t comma = rest.find(',');
        o.sizes.push_back(std::stoll(rest.substr(0, comma)));
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
      }
    } else if (const char* v = value("--calls=")) {
      o.calls = std::atoi(v);
    } else if (const char* v = value("--repeat=")) {
      o.repeat = std::max(1, std::atoi(v));
    } else if (const char* v = value("--documents=")) {
      o.documents = std::atoi(v);
    } else if (const char* v = value("--chains=")) {
      o.chains = std::atoi(v);
    } else if (const char* v = value("--dir=")) {
      o.dir = v;
    } else if (arg == "--keep") {
      o.keep = true;
    } else if (arg == "--smoke") {
      o.smoke = true;
    } else if (arg == "--alone") {
      o.alone = true;
    } else if (const char* v = value("--only=")) {
      o.only = v;
    } else if (const char* v = value("--trace=")) {
      o.trace = v;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      std::exit(2);
    }
  }
  return o;
}

// A copy of the generated factory of `tasks` for one run (generating it first when missing).
std::string PrepareFactory(const Options& o, int64_t tasks) {
  std::string stem =
      "corva_scale_v" + std::to_string(kFactoryVersion) + "_" + std::to_string(tasks);
  fs::path pristine = o.dir / (stem + ".db");
  if (!fs::exists(pristine)) {
    std::printf("generating %lld tasks into %s ...\n", static_cast<long long>(tasks),
                pristine.c_str());
    std::fflush(stdout);
    fs::path partial = o.dir / (stem + ".partial.db");
    fs::remove(partial);
    double seconds = Seconds([&] { GenerateFactory(partial.string(), tasks, kFreshOrders); });
    CloseDatabases();  // folds the log into the file, so that a plain copy is complete
    fs::rename(partial, pristine);
    std::printf("  generated in %.1f s\n", seconds);
  }
  fs::path run = o.dir / (stem + ".run.db");
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(run.string() + suffix);
  fs::copy_file(pristine, run);
  return run.string();
}

// Documents spread over the whole range of tasks, so that the calls reach all of the file.
std::vector<int64_t> Documents(int64_t tasks, int count) {
  std::vector<int64_t> docs;
  for (int i = 0; i < count; ++i) docs.push_back(1 + (static_cast<int64_t>(i) * 7919) % tasks);
  return docs;
}

// What one operation cost on one factory: medians of the timed calls.
struct Result {
  Timing median;
  double cpu_p90 = 0;
  bool failed = false;
  std::string failure;
};

// One factory as the operations see it.
struct Factory {
  int64_t tasks = 0;
  std::string path;
  Site site;
  std::vector<int64_t> docs;
  size_t next = 0;  // the document the next call takes
  std::unique_ptr<corva::Connection> holder;
};

// Times one call of `op` on the next document of `f`; false when it failed.
bool TimeCall(Factory& f, const Operation& op, Timing* t, std::string* failure) {
  int64_t doc = f.docs[f.next++ % f.docs.size()];
  bool ok = false;
  try {
    if (op.writes) {
      TransactionScope scope;  // rolled back when it goes
      if (op.prepare) op.prepare(f.site, doc);
      *t = Time([&] { ok = op.call(f.site, doc); });
    } else {
      if (op.prepare) op.prepare(f.site, doc);
      *t = Time([&] { ok = op.call(f.site, doc); });
    }
  } catch (const Error& e) {
    *failure = std::to_string(e.Number()) + ": " + e.Description();
  }
  if (!ok && failure->empty()) *failure = "answered other than expected";
  return ok;
}

// `calls` timed calls of `op` on each factory. The factories take turns in rounds of a few calls,
// so that the sizes share the machine's load alike. Before timing, one call per document: the
// timed calls measure the work on documents whose pages were read before, not a first read of
// the file from disk.
std::vector<Result> TimeOperation(std::vector<Factory>& factories, const Operation& op, int calls) {
  constexpr int kRounds = 10;
  std::vector<Result> results(factories.size());
  std::vector<std::vector<Timing>> times(factories.size());
  for (size_t f = 0; f < factories.size(); ++f) {
    Timing ignored;
    for (size_t i = 0; i < factories[f].docs.size() && !results[f].failed; ++i)
      results[f].failed = !TimeCall(factories[f], op, &ignored, &results[f].failure);
  }
  for (int round = 0; round < kRounds; ++round) {
    for (size_t f = 0; f < factories.size(); ++f) {
      for (int i = round * calls / kRounds; i < (round + 1) * calls / kRounds; ++i) {
        if (results[f].failed) break;
        Timing t;
        results[f].failed = !TimeCall(factories[f], op, &t, &results[f].failure);
        times[f].push_back(t);
      }
    }
  }
  for (size_t f = 0; f < factories.size(); ++f) {
    if (results[f].failed || times[f].empty()) continue;
    results[f].median = Medians(times[f]);
    std::vector<double> cpu;
    for (const Timing& t : times[f]) cpu.push_back(t.cpu);
    std::sort(cpu.begin(), cpu.end());
    results[f].cpu_p90 = cpu[cpu.size() * 9 / 10];
  }
  return results;
}

// Every operation (or the one of --only) timed on every factory, `repeat` times over: each
// figure is the median of the passes' medians. The machine's processors do not run alike, and
// which one is slow changes within minutes, so the passes spread one run's figures over time.
std::map<std::string, std::vector<Result>> TimeAll(std::vector<Factory>& factories,
                                                   const std::vector<Operation>& ops,
                                                   const Options& o, bool print) {
  std::map<std::string, std::vector<std::vector<Result>>> passes;  // by operation, by pass
  for (int pass = 0; pass < o.repeat; ++pass) {
    for (const Operation& op : ops) {
      if (!o.only.empty() && op.name != o.only) continue;  // "--only=chain": the chain alone
      passes[op.name].push_back(TimeOperation(factories, op, o.calls));
    }
  }
  std::map<std::string, std::vector<Result>> results;
  for (auto& [name, list] : passes) {
    std::vector<Result>& r = results[name] = list.front();
    for (size_t f = 0; f < r.size(); ++f) {
      std::vector<Timing> medians;
      std::vector<double> p90;
      for (const std::vector<Result>& pass : list) {
        if (pass[f].failed) {
          r[f] = pass[f];
          break;
        }
        medians.push_back(pass[f].median);
        p90.push_back(pass[f].cpu_p90);
      }
      if (r[f].failed) continue;
      r[f].median = Medians(medians);
      r[f].cpu_p90 = Median(p90);
    }
    if (!print) continue;
    std::printf("  %-46s", name.c_str());
    for (const Result& one : r) {
      if (one.failed)
        std::printf(" FAILED: %s", one.failure.c_str());
      else
        std::printf(" %8.1f (%.1f)", one.median.cpu, one.cpu_p90);
    }
    std::printf("\n");
  }
  std::fflush(stdout);
  return results;
}

// The table of one measure (CPU or wall time) with each size's growth against the first.
void PrintTable(const char* title, const std::vector<Factory>& factories,
                const std::vector<Operation>& ops,
                const std::map<std::string, std::vector<Result>>& results,
                const std::vector<ChainResult>& chains, double Timing::*measure) {
  std::printf("\n== %s: median per call (us) and growth against %lld tasks ==\n", title,
              static_cast<long long>(factories.front().tasks));
  std::printf("%-46s", "operation");
  for (const Factory& f : factories)
    std::printf(" %10lld %6s", static_cast<long long>(f.tasks), "x");
  std::printf("\n");
  double worst = 0;
  for (const Operation& op : ops) {
    auto it = results.find(op.name);
    if (it == results.end()) continue;
    const std::vector<Result>& r = it->second;
    std::printf("%-46s", op.name.c_str());
    for (size_t i = 0; i < r.size(); ++i) {
      if (r[i].failed || r[0].failed) {
        std::printf(" %10s %6s", "failed", "");
        continue;
      }
      double growth = r[i].median.*measure / r[0].median.*measure;
      // Calls of a few microseconds that do no database work are left out of the judgement.
      if (r[0].median.*measure >= 5.0) worst = std::max(worst, growth);
      std::printf(" %10.1f %6.2f", r[i].median.*measure, growth);
    }
    std::printf("\n");
  }
  if (!chains.empty() && chains[0].failure.empty()) {
    std::printf("%-46s", "whole chain of one order (rules only)");
    for (const ChainResult& c : chains)
      std::printf(" %10.1f %6.2f", c.rules.*measure, c.rules.*measure / chains[0].rules.*measure);
    std::printf("\n");
  }
  std::printf("largest growth: %.2fx (target: at most 1.3x)\n", worst);
}

void PrintTrace(const Site& site, const std::vector<Operation>& ops, const std::string& name) {
  for (const Operation& op : ops) {
    if (op.name != name) continue;
    TransactionScope scope;
    if (op.prepare) op.prepare(site, 1);
    SqlTrace::Clear();
    SqlTrace::EnableProcess(true);
    // SQLite's plan of each statement the engine prepares for the call, printed as it prepares.
    corva::tsql::SetPlanObserver([](const std::string& sql, const std::vector<std::string>& plan) {
      std::printf("  sqlite: %s\n", sql.c_str());
      for (const std::string& line : plan) std::printf("    plan: %s\n", line.c_str());
    });
    bool ok = op.call(site, 1);
    corva::tsql::SetPlanObserver(nullptr);
    SqlTrace::EnableProcess(false);
    std::printf("%s -> %s\n", name.c_str(), ok ? "ok" : "FAILED");
    for (const TraceEntry& e : SqlTrace::Entries()) {
      std::printf("[%s %.3f ms] %s\n", e.connection.c_str(), e.duration_ms, e.sql.c_str());
    }
    return;
  }
  std::printf("no operation named %s\n", name.c_str());
}

}  // namespace
}  // namespace corva::bench

int main(int argc, char** argv) {
  using namespace corva::bench;
  Options o = ParseOptions(argc, argv);
  std::vector<Operation> ops = Operations();
  std::vector<Factory> factories;
  for (int64_t tasks : o.sizes) {
    Factory& f = factories.emplace_back();
    f.tasks = tasks;
    f.path = PrepareFactory(o, tasks);
    f.site = Site{corva::db::SampleDsn(f.path), "Provider=SQLite;Data Source=" + f.path};
    f.docs = Documents(tasks, o.documents);
    if (!o.trace.empty()) {
      PrintTrace(f.site, ops, o.trace);
      return 0;
    }
    if (!o.alone) {
      f.holder = std::make_unique<corva::Connection>();
      f.holder->Open(f.site.connect);
    }
  }

  std::printf("\n== Each operation on one document (thread CPU time; p90 in brackets) ==\n");
  // By operation, one per size.
  std::map<std::string, std::vector<Result>> results = TimeAll(factories, ops, o, true);

  std::vector<ChainResult> chains;
  if (o.only.empty() || o.only == "chain") {
    std::printf("\n== Whole chain of one order ==\n");
    std::vector<std::pair<Site, int64_t>> sites;
    for (const Factory& f : factories) sites.emplace_back(f.site, f.tasks);
    chains = TimeChains(sites, std::min<int64_t>(o.chains, kFreshOrders));
    for (size_t i = 0; i < chains.size(); ++i) PrintChain(factories[i].tasks, chains[i]);
  }
  for (Factory& f : factories) f.holder.reset();
  if (o.only == "readers") PrintConcurrency(factories.front().site, 1500);
  if (o.only.empty()) {
    PrintCallOverhead(factories.front().site, factories.front().path, o.smoke ? 3 : 300);
    std::vector<SizedFactory> sized;
    for (const Factory& f : factories) sized.push_back({f.tasks, f.site, f.path, f.docs});
    PrintSqliteGrowth(sized, o.smoke ? 3 : o.calls);
    PrintConcurrency(factories.front().site, o.smoke ? 20 : 1500);
  }

  // The same calls going round two documents, whose pages stay in the processor's caches: what
  // grows here grows with the work a call does; what grows only above grows with the memory the
  // factory's pages are read from.
  std::map<std::string, std::vector<Result>> cached;
  if (o.only.empty() && o.documents > 2) {
    for (Factory& f : factories) f.docs = Documents(f.tasks, 2);
    cached = TimeAll(factories, ops, o, false);
  }

  PrintTable("Thread CPU time", factories, ops, results, chains, &Timing::cpu);
  PrintTable("Wall time", factories, ops, results, chains, &Timing::wall);
  if (!cached.empty())
    PrintTable("Thread CPU time, the calls going round 2 documents", factories, ops, cached, {},
               &Timing::cpu);

  bool failed = false;
  for (const auto* all : {&results, &cached})
    for (const auto& [name, list] : *all)
      for (const Result& r : list) failed = failed || r.failed;
  for (const ChainResult& c : chains) failed = failed || !c.failure.empty();
  if (!o.keep) {
    corva::bench::CloseDatabases();
    for (const Factory& f : factories) {
      for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(f.path + suffix);
    }
  }
  return failed ? 1 : 0;
}
