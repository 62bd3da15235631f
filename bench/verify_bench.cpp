// The consistency check's cost: corva::Verify over factories of two sizes (10,000 and 100,000
// production tasks by default, each with its work bill, dispatch entries, report and ledger row),
// reported as time per 10,000 tasks, which stays flat when the cost grows linearly. The factory
// is repaired once before timing, so the timed runs check a consistent database, as at a site.
//
//   verify_bench [--sizes=10000,100000] [--dir=PATH] [--keep] [benchmark flags]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "corva/verify.h"
#include "scale_data.h"

namespace corva::bench {
namespace {

namespace fs = std::filesystem;

struct Options {
  std::vector<int64_t> sizes{10000, 100000};
  fs::path dir = fs::temp_directory_path();
  bool keep = false;
};

// Takes this benchmark's own flags out of argv, leaving Google Benchmark's.
Options ParseOptions(int* argc, char** argv) {
  Options o;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--sizes=", 0) == 0) {
      o.sizes.clear();
      std::string rest = arg.substr(8);
      for (size_t comma; (comma = rest.find(',')) != std::string::npos; rest.erase(0, comma + 1)) {
        o.sizes.push_back(std::stoll(rest.substr(0, comma)));
      }
      if (!rest.empty()) o.sizes.push_back(std::stoll(rest));
    } else if (arg.rfind("--dir=", 0) == 0) {
      o.dir = arg.substr(6);
    } else if (arg == "--keep") {
      o.keep = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  *argc = kept;
  return o;
}

// A consistent factory of `tasks` tasks at `path`, generated unless it is there already.
std::string Factory(const fs::path& path, int64_t tasks) {
  const std::string connect = "Provider=SQLite;Data Source=" + path.string();
  if (!fs::exists(path)) {
    std::fprintf(stderr, "generating %lld tasks into %s\n", static_cast<long long>(tasks),
                 path.c_str());
    GenerateFactory(path.string(), tasks, 0);
    Verify(connect, {.repair = true});  // the generator leaves the reported totals at 0
  }
  return connect;
}

void BM_Verify(benchmark::State& state, std::string connect, int64_t tasks) {
  double seconds = 0;
  size_t drifts = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    drifts = Verify(connect).size();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["tasks"] = static_cast<double>(tasks);
  state.counters["drifts"] = static_cast<double>(drifts);
  state.counters["ms_per_10k_tasks"] = seconds * 1000.0 / static_cast<double>(state.iterations()) *
                                       10000.0 / static_cast<double>(tasks);
}

}  // namespace
}  // namespace corva::bench

int main(int argc, char** argv) {
  using namespace corva::bench;
  Options o = ParseOptions(&argc, argv);
  std::vector<fs::path> made;
  for (int64_t tasks : o.sizes) {
    fs::path path = o.dir / ("corva_verify_bench_" + std::to_string(tasks) + ".db");
    const bool existed = fs::exists(path);
    std::string connect = Factory(path, tasks);
    if (!existed && !o.keep) made.push_back(path);
    benchmark::RegisterBenchmark(("Verify/tasks:" + std::to_string(tasks)).c_str(), BM_Verify,
                                 connect, tasks)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const fs::path& path : made) {
    std::error_code ignored;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
      fs::remove(path.string() + suffix, ignored);
    }
  }
  return 0;
}
