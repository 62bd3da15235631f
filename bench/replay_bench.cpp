// The engine against plain SQLite on the rules' own batches: each unit of replay_work.h is captured
// from the statement log while its operation runs on a factory of 2,000 production tasks, for 64
// documents; the captured text is then replayed through tsql::Session, alternately with the same
// work written by hand for SQLite (replay_work.h), each side on its own copy of the factory inside
// one long transaction. Before timing, both sides run every unit on a few documents and must give
// the same rows and leave the same data. Counters per unit, in thread CPU time: engine_us,
// sqlite_us and ratio (engine / SQLite; the target is at most 1.2).
//
//   replay_bench [Google Benchmark flags, e.g. --benchmark_filter=ledger]
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corva/error.h"
#include "corva/sql_trace.h"
#include "replay_work.h"
#include "tsql/engine.h"

namespace corva::bench {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kTasks = 2000;
constexpr int kDocuments = 64;
constexpr int kVerified = 3;  // documents both sides run before timing, then compare

std::string Text(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return "NULL";
  if (v.Type() == VarType::kDate) return v.AsDate().ToCanonical();
  // Both sides print numbers the same way: the engine hands back exact decimals, plain SQLite
  // text such as "40.0000000000" or a real 40.0.
  std::string text = v.AsString();
  char* end = nullptr;
  double number = std::strtod(text.c_str(), &end);
  if (v.IsNumeric() || (!text.empty() && end == text.c_str() + text.size())) {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%.10g", v.IsNumeric() ? v.AsDouble() : number);
    return printed;
  }
  return text;
}

std::string Text(const Rows& rows) {
  std::string text;
  for (const auto& row : rows) {
    for (const Variant& v : row) text += Text(v) + "|";
    text += "\n";
  }
  return text;
}

// What the units leave behind, to compare both sides (with the columns that hold dates).
struct Digest {
  const char* query;
  std::vector<int> dates;
};
const Digest kDigests[] = {
    {"SELECT FWBInterID, FEntryID, FCheckerID, FAuxQtyTaskDispSel, FAuxQtyTaskDispAck, FQtyPlan, "
     "FQtyTaskDispSel, FQtyTaskDispAck FROM SHWorkBillEntry WHERE FInterID <= 10000100 "
     "ORDER BY FWBInterID",
     {}},
    {"SELECT FInterID, FEntryID, FTaskDispInterID, FStatus, FCheckerID, FCheckDate, FQtyPlan "
     "FROM ICTaskDispBillEntry WHERE FInterID <= 10000100 ORDER BY FInterID, FEntryID",
     {5}},
    {"SELECT FOperMoveNo, FWBInterID, FICMOInterID, FTransType, FStatus, FQty FROM SHMoveNoManage "
     "WHERE FICMOInterID <= 10000100 ORDER BY FWBInterID, FOperMoveNo, FQty",
     {}},
    {"SELECT FTableName, FMaxNum FROM ICMaxNum ORDER BY FTableName", {}},
};

struct Captured {
  int64_t document;
  std::vector<std::string> batches;
};

struct Replay {
  fs::path dir;
  std::vector<ReplayUnit> units = ReplayUnits();
  std::vector<std::vector<Captured>> captured;  // per unit
  std::shared_ptr<tsql::Database> database;
  std::shared_ptr<tsql::Handle> handle;
  std::unique_ptr<tsql::Session> session;
  std::unique_ptr<PlainSqlite> plain;
  std::string error;  // why the replay could not be set up or the sides differ
  std::map<std::string, double> ratios;

  Replay() {
    dir = fs::temp_directory_path() / ("corva_replay_" + std::to_string(getpid()));
    fs::create_directories(dir);
    try {
      Setup();
    } catch (const Error& e) {
      error = std::to_string(e.Number()) + ": " + e.Description();
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
  ~Replay() {
    session.reset();
    if (handle && handle->InTransaction()) handle->Rollback();
    handle.reset();
    database.reset();
    plain.reset();
    tsql::CloseIdleDatabases();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  void Setup() {
    const std::string engine_path = (dir / "engine.db").string();
    const std::string sqlite_path = (dir / "sqlite.db").string();
    GenerateFactory(engine_path, kTasks, 0);
    tsql::CloseIdleDatabases();
    fs::copy_file(engine_path, sqlite_path);
    Capture(Site{db::SampleDsn(engine_path), "Provider=SQLite;Data Source=" + engine_path});

    database = tsql::Database::Open(engine_path);
    handle = database->AcquireHandle();
    session = std::make_unique<tsql::Session>(handle);
    handle->Begin(corva::tsql::Handle::Isolation::kSerialized);
    plain = std::make_unique<PlainSqlite>(sqlite_path);
    plain->Exec("BEGIN IMMEDIATE");
    Verify();
  }

  // Each unit's batches, for kDocuments documents, as the rules sent them; the operations run in
  // transactions that are rolled back, so the factory stays as generated.
  void Capture(const Site& site) {
    for (const ReplayUnit& unit : units) {
      std::vector<Captured>& list = captured.emplace_back();
      for (int i = 0; i < kDocuments; ++i) {
        int64_t k = 1 + (static_cast<int64_t>(i) * 31) % kTasks;
        {
          TransactionScope scope;
          SqlTrace::Clear();
          SqlTrace::EnableProcess(true);
          unit.send(site, k);
          SqlTrace::EnableProcess(false);
        }
        Captured c{k, {}};
        for (const TraceEntry& e : SqlTrace::Entries()) {
          if (c.batches.size() < unit.batches.size() && unit.batches[c.batches.size()](e.sql))
            c.batches.push_back(e.sql);
        }
        if (c.batches.size() != unit.batches.size())
          throw std::runtime_error(unit.name + ": its batches were not all in the log");
        list.push_back(std::move(c));
      }
    }
    SqlTrace::Clear();
  }

  // Runs unit `u` for its `i`-th captured document through the engine; the first result set.
  Rows RunEngine(size_t u, size_t i) {
    const Captured& c = captured[u][i % captured[u].size()];
    Rows first;
    bool found = false;
    for (const std::string& batch : c.batches) {
      tsql::BatchResult r = session->Execute(batch);
      if (!found && !r.result_sets.empty()) {
        first = std::move(r.result_sets[0].rows);
        found = true;
      }
    }
    return first;
  }

  Rows RunByHand(size_t u, size_t i) {
    return units[u].by_hand(*plain, captured[u][i % captured[u].size()].document);
  }

  void Verify() {
    for (size_t u = 0; u < units.size(); ++u) {
      for (int i = 0; i < kVerified; ++i) {
        std::string engine = Text(RunEngine(u, i));
        std::string by_hand = Text(RunByHand(u, i));
        if (engine != by_hand) {
          error = units[u].name + ": the rows differ\nengine:\n" + engine + "sqlite:\n" + by_hand;
          return;
        }
      }
    }
    for (const Digest& digest : kDigests) {
      tsql::BatchResult r = session->Execute(digest.query);
      std::string engine = Text(r.result_sets.at(0).rows);
      std::string by_hand = Text(plain->Query(digest.query, {}, digest.dates));
      if (engine != by_hand) {
        error = std::string("the sides left different data: ") + digest.query + "\nengine:\n" +
                engine.substr(0, 2000) + "sqlite:\n" + by_hand.substr(0, 2000);
        return;
      }
    }
  }

  bool Ready(benchmark::State& state) {
    if (error.empty()) return true;
    state.SkipWithError(error.c_str());
    return false;
  }
};

Replay& Data() {
  static Replay* replay = new Replay;  // deleted by main() after the run
  return *replay;
}

double ThreadCpuMicros() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

void BM_Replay(benchmark::State& state) {
  Replay& r = Data();
  if (!r.Ready(state)) return;
  const size_t u = static_cast<size_t>(state.range(0));
  state.SetLabel(r.units[u].name);
  double engine = 0, by_hand = 0;
  size_t i = 0;
  for (auto _ : state) {
    double t0 = ThreadCpuMicros();
    benchmark::DoNotOptimize(r.RunEngine(u, i));
    double t1 = ThreadCpuMicros();
    benchmark::DoNotOptimize(r.RunByHand(u, i));
    double t2 = ThreadCpuMicros();
    engine += t1 - t0;
    by_hand += t2 - t1;
    ++i;
  }
  double n = static_cast<double>(state.iterations());
  state.counters["engine_us"] = engine / n;
  state.counters["sqlite_us"] = by_hand / n;
  state.counters["ratio"] = by_hand > 0 ? engine / by_hand : 0;
  r.ratios[r.units[u].name] = by_hand > 0 ? engine / by_hand : 0;
}

// The batch every rule connection sends first: it has nothing to do in SQLite at all.
void BM_IsolationLevelBatch(benchmark::State& state) {
  Replay& r = Data();
  if (!r.Ready(state)) return;
  for (auto _ : state) {
    benchmark::DoNotOptimize(r.session->Execute("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"));
  }
}

}  // namespace
}  // namespace corva::bench

int main(int argc, char** argv) {
  using namespace corva::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (size_t u = 0; u < ReplayUnits().size(); ++u) {
    benchmark::RegisterBenchmark("BM_Replay", BM_Replay)
        ->Arg(static_cast<int64_t>(u))
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("BM_IsolationLevelBatch", BM_IsolationLevelBatch);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Replay& r = Data();
  bool failed = !r.error.empty();
  if (failed) std::printf("\n%s\n", r.error.c_str());
  if (!r.ratios.empty()) {
    std::printf("\n%-58s %s\n", "unit (the rules' batches)", "engine / sqlite (target <= 1.2)");
    for (const auto& [name, ratio] : r.ratios) std::printf("%-58s %.2f\n", name.c_str(), ratio);
  }
  delete &r;
  return failed ? 1 : 0;
}
