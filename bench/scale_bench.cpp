// The scaling benchmark: every rule operation timed on one document at a time, as a host calls it,
// on factories of 1,000, 10,000 and 100,000 production tasks (1,000,000 with CORVA_SCALE_1M=1 or
// --sizes), with each median's growth against the smallest size; the whole chain of one order;
// what a read-only call costs over the same statements in plain SQLite, with and without another
// connection holding the database; and readers on two threads beside one writer.
//
//   scale_bench [--sizes=1000,10000] [--calls=200] [--documents=100] [--chains=100]
//               [--dir=PATH] [--keep] [--smoke]
//               [--alone] [--only=clsPublic.GetRelatedBillStatus | --only=chain]
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
constexpr int kFactoryVersion = 2;     // bump when the generator or the schema changes

struct Options {
  std::vector<int64_t> sizes{1000, 10000, 100000};
  int calls = 200;
  int chains = 100;
  int documents = 100;  // documents the calls go round
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

struct Result {
  double median_us = 0;
  double p90_us = 0;
  bool failed = false;
  std::string failure;
};

Result TimeOperation(const Site& site, const Operation& op, const std::vector<int64_t>& docs,
                     int calls) {
  std::vector<double> times;
  Result result;
  // One untimed call per document first: the timed calls measure the work on a document whose
  // pages were read before, not the first read of a file from disk (which the OS cache decides).
  const int warm = static_cast<int>(docs.size());
  for (int i = -warm; i < calls; ++i) {
    int64_t doc = docs[static_cast<size_t>(i + warm) % docs.size()];
    bool ok = false;
    double us = 0;
    try {
      if (op.writes) {
        TransactionScope scope;  // rolled back when it goes
        if (op.prepare) op.prepare(site, doc);
        us = Micros([&] { ok = op.call(site, doc); });
      } else {
        if (op.prepare) op.prepare(site, doc);
        us = Micros([&] { ok = op.call(site, doc); });
      }
    } catch (const Error& e) {
      result.failure = std::to_string(e.Number()) + ": " + e.Description();
    }
    if (!ok) {
      result.failed = true;
      if (result.failure.empty()) result.failure = "answered other than expected";
      return result;
    }
    if (i >= 0) times.push_back(us);
  }
  result.median_us = Median(times);
  std::sort(times.begin(), times.end());
  result.p90_us = times[times.size() * 9 / 10];
  return result;
}

void PrintTrace(const Site& site, const std::vector<Operation>& ops, const std::string& name) {
  for (const Operation& op : ops) {
    if (op.name != name) continue;
    TransactionScope scope;
    if (op.prepare) op.prepare(site, 1);
    SqlTrace::Clear();
    SqlTrace::EnableProcess(true);
    bool ok = op.call(site, 1);
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
  std::map<std::string, std::vector<Result>> results;  // by operation, one per size
  std::vector<ChainResult> chains;
  std::vector<std::string> runs;
  for (int64_t tasks : o.sizes) {
    std::string path = PrepareFactory(o, tasks);
    runs.push_back(path);
    Site site{corva::db::SampleDsn(path), "Provider=SQLite;Data Source=" + path};
    if (!o.trace.empty()) {
      PrintTrace(site, ops, o.trace);
      return 0;
    }
    std::printf("\n== %lld production tasks ==\n", static_cast<long long>(tasks));
    std::vector<int64_t> docs = Documents(tasks, o.documents);
    corva::Connection holder;
    if (!o.alone) holder.Open(site.connect);
    for (const Operation& op : ops) {
      if (!o.only.empty() && op.name != o.only) continue;  // "--only=chain": the chain alone
      Result r = TimeOperation(site, op, docs, o.calls);
      results[op.name].push_back(r);
      if (r.failed) {
        std::printf("  %-46s FAILED: %s\n", op.name.c_str(), r.failure.c_str());
      } else {
        std::printf("  %-46s %9.1f us  (p90 %.1f)\n", op.name.c_str(), r.median_us, r.p90_us);
      }
      std::fflush(stdout);
    }
    if (!o.only.empty() && o.only != "chain") continue;
    chains.push_back(TimeChains(site, tasks, std::min<int64_t>(o.chains, kFreshOrders)));
    PrintChain(chains.back());
    holder.Close();
    if (tasks == o.sizes.front()) {
      PrintCallOverhead(site, path, o.smoke ? 3 : 300);
      PrintConcurrency(site, o.smoke ? 20 : 1500);
    }
  }

  std::printf("\n== Median per call (us) and growth against %lld tasks ==\n",
              static_cast<long long>(o.sizes.front()));
  std::printf("%-46s", "operation");
  for (int64_t tasks : o.sizes) std::printf(" %10lld %6s", static_cast<long long>(tasks), "x");
  std::printf("\n");
  double worst = 0;
  for (const Operation& op : ops) {
    const std::vector<Result>& r = results[op.name];
    if (r.empty()) continue;
    std::printf("%-46s", op.name.c_str());
    for (size_t i = 0; i < r.size(); ++i) {
      if (r[i].failed || r[0].failed) {
        std::printf(" %10s %6s", "failed", "");
        continue;
      }
      double growth = r[i].median_us / r[0].median_us;
      worst = std::max(worst, growth);
      std::printf(" %10.1f %6.2f", r[i].median_us, growth);
    }
    std::printf("\n");
  }
  if (!chains.empty()) std::printf("%-46s", "whole chain of one order (rules only)");
  for (const ChainResult& c : chains) {
    std::printf(" %10.1f %6.2f", c.rules_median_us, c.rules_median_us / chains[0].rules_median_us);
  }
  std::printf("\nlargest growth: %.2fx (target: at most 1.3x)\n", worst);
  bool failed = false;
  for (const auto& [name, list] : results)
    for (const Result& r : list) failed = failed || r.failed;
  for (const ChainResult& c : chains) failed = failed || !c.failure.empty();
  if (!o.keep) {
    corva::bench::CloseDatabases();
    for (const std::string& run : runs) {
      for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(run + suffix);
    }
  }
  return failed ? 1 : 0;
}
