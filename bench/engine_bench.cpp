// What the embedded engine costs over SQLite itself: (a) one-row statements (a point SELECT and an
// UPDATE by key) through tsql::Session against the same statements prepared once in plain SQLite,
// and (b) a 30-statement batch of the kind the rules send (temporary tables, UPDATE ... FROM joins,
// aggregates into variables, IDENTITY numbering) against the same work hand-written in SQLite's
// dialect. Both sides run on a file database of a few thousand rows with the same indexes, inside
// one long transaction, so that the numbers compare work and not disk flushes.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corva/connection.h"
#include "corva/error.h"
#include "engine_bench_work.h"
#include "tsql/engine.h"

namespace {

using corva::bench::DialectBatch;
using corva::bench::InsertText;
using corva::bench::kDialectSchema;
using corva::bench::kOpersPerBill;
using corva::bench::kSqliteSchema;
using corva::bench::kWorkBills;
using corva::bench::Row;
using corva::bench::SampleRows;
using corva::bench::Sqlite;
using corva::bench::SqliteBatch;

// --- The two databases, built once per run ---------------------------------------------------

struct Databases {
  std::filesystem::path dir;
  std::shared_ptr<corva::tsql::Database> engine_db;
  std::shared_ptr<corva::tsql::Handle> handle;
  std::unique_ptr<corva::tsql::Session> session;
  std::unique_ptr<Sqlite> sqlite;       // temporary tables created and dropped per batch
  std::unique_ptr<Sqlite> sqlite_kept;  // temporary tables kept between batches
  std::string engine_error;             // why the engine side could not be set up, if it could not

  Databases() {
    dir =
        std::filesystem::temp_directory_path() / ("corva_engine_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<Row> rows = SampleRows();

    sqlite = MakeSqlite("direct.db", rows);
    sqlite_kept = MakeSqlite("direct_kept.db", rows);

    try {
      engine_db = corva::tsql::Database::Open((dir / "engine.db").string());
      handle = engine_db->AcquireHandle();
      session = std::make_unique<corva::tsql::Session>(handle);
      handle->Begin(corva::tsql::Handle::Isolation::kSerialized);
      session->Execute(kDialectSchema);
      for (const Row& row : rows) session->Execute(InsertText(row), row.values);
      handle->Commit();
      handle->Begin(corva::tsql::Handle::Isolation::kSerialized);
      // Both sides re-total two work bills; they must then hold the same rows, or the numbers
      // would compare different work.
      for (int bill : {1, 2}) {
        session->Execute(DialectBatch(bill));
        SqliteBatch(*sqlite, bill, false);
        SqliteBatch(*sqlite_kept, bill, true);
      }
      engine_error = CompareSides(*sqlite);
      if (engine_error.empty()) engine_error = CompareSides(*sqlite_kept);
    } catch (const corva::Error& error) {
      engine_error = std::to_string(error.Number()) + ": " + error.Description();
    } catch (const std::exception& error) {
      engine_error = error.what();
    }
  }
  ~Databases() {
    session.reset();
    if (handle && handle->InTransaction()) handle->Rollback();
    handle.reset();
    engine_db.reset();
    sqlite.reset();
    sqlite_kept.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // The rows the batch writes, as text, on each side; "" when equal, else the first difference.
  std::unique_ptr<Sqlite> MakeSqlite(const char* name, const std::vector<Row>& rows) {
    auto db = std::make_unique<Sqlite>((dir / name).string());
    db->Exec("BEGIN");
    db->Exec(kSqliteSchema);
    for (const Row& row : rows) {
      sqlite3_stmt* stmt = db->Prepare(InsertText(row).c_str());
      BindVariants(stmt, row.values);
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    db->Exec("COMMIT");
    db->Exec("ANALYZE");
    db->Exec("BEGIN");
    return db;
  }

  std::string CompareSides(Sqlite& sqlite) {
    static const char* const kQueries[] = {
        "SELECT FWBInterID, FAuxQtyFinish, FAuxQtyPass, FAuxQtyScrap, FAuxQtyTaskDispSel, "
        "FStatus, FStartDate, FEndDate FROM WBEntry WHERE FInterID <= 2 ORDER BY FWBInterID",
        "SELECT FInterID, FQtyFinish, FStatus, FCloseDate, FNote FROM WB WHERE FInterID <= 2 "
        "ORDER BY FInterID",
        "SELECT FTaskDispInterID, FAuxQtyFinish, FAuxQtyPass, FStatus FROM TDEntry "
        "WHERE FWBInterID <= 12 ORDER BY FTaskDispInterID",
        "SELECT FInterID, FIndex, FWBInterID, FQty FROM WBLog ORDER BY FInterID, FIndex",
    };
    auto number = [](double v) {
      char text[32];
      std::snprintf(text, sizeof text, "%.10g", v);
      return std::string(text);
    };
    for (const char* query : kQueries) {
      std::string engine_text;
      corva::tsql::BatchResult result = session->Execute(query);
      for (const auto& row : result.result_sets.at(0).rows) {
        for (const corva::Variant& v : row) {
          corva::VarType type = v.Type();
          engine_text += v.IsNull()                      ? "NULL"
                         : type == corva::VarType::kDate ? v.AsDate().ToCanonical()
                         : v.IsNumeric() && type != corva::VarType::kString ? number(v.AsDouble())
                                                                            : v.AsString();
          engine_text += '|';
        }
        engine_text += '\n';
      }
      std::string sqlite_text;
      sqlite3_stmt* stmt = sqlite.Prepare(query);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
          int type = sqlite3_column_type(stmt, c);
          sqlite_text += type == SQLITE_NULL ? "NULL"
                         : type == SQLITE_INTEGER || type == SQLITE_FLOAT
                             ? number(sqlite3_column_double(stmt, c))
                             : reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
          sqlite_text += '|';
        }
        sqlite_text += '\n';
      }
      sqlite3_reset(stmt);
      if (engine_text != sqlite_text) {
        return std::string("engine and SQLite disagree on: ") + query + "\nengine:\n" +
               engine_text + "sqlite:\n" + sqlite_text;
      }
    }
    return "";
  }

  static void BindVariants(sqlite3_stmt* stmt, const std::vector<corva::Variant>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
      const corva::Variant& v = values[i];
      int at = static_cast<int>(i + 1);
      if (v.Type() == corva::VarType::kLong) {
        sqlite3_bind_int(stmt, at, v.AsLong());
      } else if (v.Type() == corva::VarType::kDouble) {
        sqlite3_bind_double(stmt, at, v.AsDouble());
      } else {
        std::string text = v.AsString();
        sqlite3_bind_text(stmt, at, text.c_str(), -1, SQLITE_TRANSIENT);
      }
    }
  }

  // True when the engine side is usable; otherwise marks `state` skipped with the reason.
  bool EngineReady(benchmark::State& state) {
    if (engine_error.empty()) return true;
    state.SkipWithError(("engine not ready: " + engine_error).c_str());
    return false;
  }
};

Databases& Data() {
  static Databases* data = new Databases;  // removed by main() after the run
  return *data;
}

// --- (a) per-statement overhead ------------------------------------------------------------

const char* const kPointSelect = "SELECT FBillNo, FQty, FStatus FROM WB WHERE FInterID = ?";
const char* const kPointUpdate =
    "UPDATE WBEntry SET FAuxQtyFinish = FAuxQtyFinish + 1 WHERE FWBInterID = ?";

void BM_PointSelect_Engine(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  int id = 0;
  for (auto _ : state) {
    auto result = d.session->Execute(kPointSelect, {corva::Variant(1 + id++ % kWorkBills)});
    benchmark::DoNotOptimize(result);
  }
}

void BM_PointSelect_EngineLiteral(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  int id = 0;
  for (auto _ : state) {
    auto result = d.session->Execute("SELECT FBillNo, FQty, FStatus FROM WB WHERE FInterID = " +
                                     std::to_string(1 + id++ % kWorkBills));
    benchmark::DoNotOptimize(result);
  }
}

void BM_PointSelect_Sqlite(benchmark::State& state) {
  Databases& d = Data();
  sqlite3_stmt* stmt = d.sqlite->Prepare(kPointSelect);
  int id = 0;
  for (auto _ : state) {
    sqlite3_bind_int(stmt, 1, 1 + id++ % kWorkBills);
    std::vector<std::vector<corva::Variant>> rows;  // the same values the engine hands back
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      rows.push_back({std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))),
                      sqlite3_column_double(stmt, 1), sqlite3_column_int(stmt, 2)});
    }
    sqlite3_reset(stmt);
    benchmark::DoNotOptimize(rows);
  }
}

// The same point SELECT through corva::Connection (a connection of its own, outside the
// benchmark's transaction), recordset included: what a rule pays.
void BM_PointSelect_Connection(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  corva::Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + (d.dir / "engine.db").string());
  int id = 0;
  for (auto _ : state) {
    auto rs = connection.Execute("SELECT FBillNo, FQty, FStatus FROM WB WHERE FInterID = " +
                                 std::to_string(1 + id++ % kWorkBills));
    benchmark::DoNotOptimize(rs);
  }
}

void BM_PointUpdate_Engine(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  const int rows = kWorkBills * kOpersPerBill;
  int id = 0;
  for (auto _ : state) {
    auto result = d.session->Execute(kPointUpdate, {corva::Variant(1 + id++ % rows)});
    benchmark::DoNotOptimize(result);
  }
}

void BM_PointUpdate_EngineLiteral(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  const int rows = kWorkBills * kOpersPerBill;
  int id = 0;
  for (auto _ : state) {
    auto result = d.session->Execute(
        "UPDATE WBEntry SET FAuxQtyFinish = FAuxQtyFinish + 1 WHERE FWBInterID = " +
        std::to_string(1 + id++ % rows));
    benchmark::DoNotOptimize(result);
  }
}

void BM_PointUpdate_Sqlite(benchmark::State& state) {
  Databases& d = Data();
  sqlite3_stmt* stmt = d.sqlite->Prepare(kPointUpdate);
  const int rows = kWorkBills * kOpersPerBill;
  int id = 0;
  for (auto _ : state) {
    sqlite3_bind_int(stmt, 1, 1 + id++ % rows);
    sqlite3_step(stmt);
    benchmark::DoNotOptimize(sqlite3_changes(d.sqlite->db()));
    sqlite3_reset(stmt);
  }
}

// --- (b) the 30-statement batch ------------------------------------------------------------

void BM_Batch_Engine(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  int bill = 0;
  for (auto _ : state) {
    auto result = d.session->Execute(DialectBatch(1 + bill++ % kWorkBills));
    benchmark::DoNotOptimize(result);
  }
}

void BM_Batch_Sqlite(benchmark::State& state) {
  Databases& d = Data();
  int bill = 0;
  for (auto _ : state) SqliteBatch(*d.sqlite, 1 + bill++ % kWorkBills, false);
}

void BM_Batch_SqliteKeptTemps(benchmark::State& state) {
  Databases& d = Data();
  int bill = 0;
  for (auto _ : state) SqliteBatch(*d.sqlite_kept, 1 + bill++ % kWorkBills, true);
}

// The calling thread's CPU time: on a shared machine, waits for the processor would blur wall time.
double ThreadCpuMicros() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// All three alternately on the same work bills, timed in CPU time. Counters: "ratio" = engine time
// over SQLite time with temporary tables created and dropped per batch as written (the target is at
// most 1.5); "ratio_kept" = engine time over SQLite time with the temporary tables kept between
// batches.
void BM_Batch_Ratio(benchmark::State& state) {
  Databases& d = Data();
  if (!d.EngineReady(state)) return;
  double engine = 0, direct = 0, kept = 0;
  int bill = 0;
  for (auto _ : state) {
    int id = 1 + bill++ % kWorkBills;
    double t0 = ThreadCpuMicros();
    d.session->Execute(DialectBatch(id));
    double t1 = ThreadCpuMicros();
    SqliteBatch(*d.sqlite, id, false);
    double t2 = ThreadCpuMicros();
    SqliteBatch(*d.sqlite_kept, id, true);
    double t3 = ThreadCpuMicros();
    engine += t1 - t0;
    direct += t2 - t1;
    kept += t3 - t2;
  }
  double n = static_cast<double>(state.iterations());
  state.counters["engine_us"] = engine / n;
  state.counters["sqlite_us"] = direct / n;
  state.counters["sqlite_kept_us"] = kept / n;
  state.counters["ratio"] = direct > 0 ? engine / direct : 0;
  state.counters["ratio_kept"] = kept > 0 ? engine / kept : 0;
}

BENCHMARK(BM_PointSelect_Engine);
BENCHMARK(BM_PointSelect_EngineLiteral);
BENCHMARK(BM_PointSelect_Sqlite);
BENCHMARK(BM_PointSelect_Connection);
BENCHMARK(BM_PointUpdate_Engine);
BENCHMARK(BM_PointUpdate_EngineLiteral);
BENCHMARK(BM_PointUpdate_Sqlite);
BENCHMARK(BM_Batch_Engine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Batch_Sqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Batch_SqliteKeptTemps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Batch_Ratio)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete &Data();
  return 0;
}
