// Engine internals that the case files cannot reach: the batch cache reused across different
// literal values (and never matched by text that spells its markers), routines and triggers kept in
// the database file, a catalog that cannot be read, transactions of two threads on one file, and
// an int key that is its table's rowid, an index's included columns, a file read through a map of
// all of it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "corva/error.h"
#include "tsql/database_impl.h"
#include "tsql/engine.h"

namespace corva::tsql {
namespace {

// A database file of this process that does not exist yet.
std::string FreshPath() {
  static std::atomic<int> counter{0};
  std::string path = std::string(CORVA_BINARY_DIR) + "/engine_core_" + std::to_string(getpid()) +
                     "_" + std::to_string(counter++) + ".db";
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  return path;
}

std::shared_ptr<Database> FreshDatabase() { return Database::Open(FreshPath()); }

// The rows of the first result set as "a|b;c|d" text.
std::string Rows(const BatchResult& r, size_t set = 0) {
  std::string out;
  if (set >= r.result_sets.size()) return "<no result>";
  for (const auto& row : r.result_sets[set].rows) {
    if (!out.empty()) out += ";";
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += "|";
      out += row[i].IsNull() ? "NULL" : row[i].AsString();
    }
  }
  return out;
}

int ErrorOf(Session& s, const std::string& sql) {
  try {
    s.Execute(sql);
  } catch (const corva::Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(EngineCore, CachedBatchesRunWithTheirOwnLiterals) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
  s.Execute(
      "create table t (id int, d datetime, name varchar(10))\n"
      "insert into t values (1, '2024-01-05', 'x'), (2, '2024-02-05', 'y')");
  EXPECT_EQ(Rows(s.Execute("select name from t where d > '2024-01-31' and id >= 1")), "y");
  EXPECT_EQ(Rows(s.Execute("select name from t where d > '2023-12-31' and id >= 2")), "y");
  EXPECT_EQ(Rows(s.Execute("select name from t where d > '2023-12-31' and id >= 1 order by 1")),
            "x;y");
  EXPECT_EQ(
      Rows(s.Execute("select name from t where d > '2023-12-31' and id >= 1 order by 1 desc")),
      "y;x");
  EXPECT_EQ(Rows(s.Execute("select cast(name as varchar(1)) + convert(varchar(4), d, 112) from t "
                           "where id = 1")),
            "x2024");
  // Same token shape, different varchar lengths, CONVERT styles and ORDER BY ordinals.
  const char* batch =
      "declare @v varchar(%d) set @v = 'abcdef' select @v, convert(varchar(30), "
      "cast('2024-03-10 08:30:15' as datetime), %d) order by %d";
  char text[256];
  std::snprintf(text, sizeof text, batch, 2, 120, 1);
  EXPECT_EQ(Rows(s.Execute(text)), "ab|2024-03-10 08:30:15");
  std::snprintf(text, sizeof text, batch, 4, 112, 1);
  EXPECT_EQ(Rows(s.Execute(text)), "abcd|20240310");
  std::snprintf(text, sizeof text, batch, 4, 120, 3);
  EXPECT_EQ(ErrorOf(s, text), 108);
  // The bytes the key marks a literal with, written into the text: a character the dialect does
  // not know, whatever the cache holds, and the cached batch keeps its own literals.
  s.Execute("select 'x' as a, 'y' as b");
  EXPECT_EQ(ErrorOf(s, "select 'q' as a, \x01s  as b"), 102);
  EXPECT_EQ(Rows(s.Execute("select 'p' as a, 'r' as b")), "p|r");
}

TEST(EngineCore, ProceduresAndTriggersPersistInTheDatabaseFile) {
  const std::string path = FreshPath();
  {
    auto db = Database::Open(path);
    Session s(db->AcquireHandle());
    s.Execute("create table t (id int, n int)\ncreate table log (id int, what varchar(10))");
    s.Execute(
        "create procedure bump @id int, @by int = 1, @out int output as\n"
        "update t set n = n + @by where id = @id\n"
        "select @out = n from t where id = @id\n"
        "return 7");
    s.Execute(
        "create trigger t_upd on t after update as\n"
        "insert into log select d.id, 'was ' + cast(d.n as varchar(5)) from deleted d "
        "join inserted i on i.id = d.id where i.n <> d.n");
  }
  auto db = Database::Open(path);
  std::shared_ptr<Handle> h = db->AcquireHandle();
  Session s(h);
  s.Execute("insert into t values (1, 10)");
  BatchResult r = s.Execute(
      "declare @o int, @r int\n"
      "exec @r = bump @id = 1, @out = @o output\n"
      "exec bump 1, 5, @o output\n"
      "select @o, @r");
  EXPECT_EQ(Rows(r), "16|7");
  EXPECT_EQ(Rows(s.Execute("select what from log order by what")), "was 10;was 11");
  // A trigger switched off in a transaction that rolls back is on again afterwards.
  h->Begin(Handle::Isolation::kSerialized);
  s.Execute("alter table t disable trigger t_upd\nupdate t set n = 20");
  h->Rollback();
  s.Execute("update t set n = 30");
  EXPECT_EQ(Rows(s.Execute("select count(*) from log")), "3");
  s.Execute("alter table t disable trigger t_upd\nupdate t set n = 0");
  EXPECT_EQ(Rows(s.Execute("select count(*) from log")), "3");
  EXPECT_EQ(ErrorOf(s, "alter table t enable trigger nosuch"), 4920);
  EXPECT_EQ(ErrorOf(s, "exec bump"), 201);
  EXPECT_EQ(ErrorOf(s, "exec bump 1, 2, 3, 4"), 8144);
}

TEST(EngineCore, AnUnreadableCatalogFailsTheStatementInsteadOfSkippingTriggers) {
  const std::string path = FreshPath();
  auto db = Database::Open(path);
  Session s(db->AcquireHandle());
  s.Execute("create table t (a int) create table log (n int)");
  s.Execute("create trigger t_log on t after insert as insert into log select a from inserted");
  s.Execute("insert into t values (1)");
  // Another program breaks the catalog table.
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "ALTER TABLE corva_catalog RENAME TO corva_catalog_gone", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  EXPECT_THROW(s.Execute("insert into t values (2)"), corva::Error);
  // Nothing written without its trigger.
  BatchResult rows = s.Execute("select count(*) from t select count(*) from log");
  EXPECT_EQ(Rows(rows, 0), "1");
  EXPECT_EQ(Rows(rows, 1), "1");
}

TEST(EngineCore, TransactionsOnTwoThreadsAreSerializedAndRollbackUndoes) {
  auto db = FreshDatabase();
  {
    Session s(db->AcquireHandle());
    s.Execute("create table c (n int)\ninsert into c values (0)");
  }
  auto worker = [&] {
    std::shared_ptr<Handle> h = db->AcquireHandle();
    Session s(h);
    for (int i = 0; i < 20; ++i) {
      h->Begin(corva::tsql::Handle::Isolation::kSerialized);
      s.Execute("declare @n int select @n = n from c update c set n = @n + 1");
      h->Commit();
    }
  };
  std::thread a(worker), b(worker);
  a.join();
  b.join();
  std::shared_ptr<Handle> h = db->AcquireHandle();
  Session s(h);
  EXPECT_EQ(Rows(s.Execute("select n from c")), "40");
  h->Begin(corva::tsql::Handle::Isolation::kSerialized);
  s.Execute("update c set n = -1\ncreate table #gone (x int)");
  h->Rollback();
  EXPECT_EQ(Rows(s.Execute("select n from c")), "40");
  EXPECT_EQ(ErrorOf(s, "select * from #gone"), 208);
  s.Execute("create table #gone (x int)\ninsert into #gone values (1)");
  EXPECT_EQ(Rows(s.Execute("select count(*) from #gone")), "1");
  // Undone again, then made with another shape: the table kept for reuse does not stand in.
  h->Begin(corva::tsql::Handle::Isolation::kSerialized);
  s.Execute("drop table #gone\ncreate table #gone (x int)\ninsert into #gone values (2)");
  h->Rollback();
  EXPECT_EQ(Rows(s.Execute("select x from #gone")), "1");
  s.Execute(
      "drop table #gone\ncreate table #gone (y varchar(3))\ninsert into #gone values ('abc')");
  EXPECT_EQ(Rows(s.Execute("select y from #gone")), "abc");
}

// A lookup by a single int key reads the table's own B-tree (the key is SQLite's rowid), and so
// does a lookup by a key of two int columns (the table is stored by it), not a separate key index
// and then the table; other keys keep their index.
TEST(EngineCore, AnIntKeyIsTheRowidOfItsTable) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
  s.Execute(
      "create table hdr (FInterID int NOT NULL DEFAULT 0, FNote varchar(10), PRIMARY KEY "
      "(FInterID))\n"
      "create table big (id bigint primary key, v int)\n"
      "create table ent (FInterID int NOT NULL, FEntryID int NOT NULL, v int, PRIMARY KEY "
      "(FInterID, FEntryID))\n"
      "insert into hdr (FInterID, FNote) values (5, 'five')");
  std::vector<std::string> plans;
  SetPlanObserver([&](const std::string& sql, const std::vector<std::string>& plan) {
    for (const std::string& line : plan) plans.push_back(sql + " => " + line);
  });
  EXPECT_EQ(Rows(s.Execute("select FNote from hdr where FInterID = 5")), "five");
  s.Execute("select v from big where id = 5");
  s.Execute("select v from ent where FInterID = 5 and FEntryID = 1");
  SetPlanObserver(nullptr);
  ASSERT_EQ(plans.size(), 3u);
  EXPECT_NE(plans[0].find("USING INTEGER PRIMARY KEY"), std::string::npos) << plans[0];
  EXPECT_NE(plans[1].find("USING INDEX"), std::string::npos) << plans[1];
  EXPECT_NE(plans[2].find("USING PRIMARY KEY (FInterID=? AND FEntryID=?)"), std::string::npos)
      << plans[2];

  // An index's included columns answer a query without the table; a unique one stays unique on
  // its key alone.
  s.Execute(
      "create table cov (id int primary key, a int, b varchar(10), c int)\n"
      "create index IX_cov_a on cov (a) include (b)\n"
      "create unique index UX_hdr on hdr (FNote) include (FInterID)\n"
      "insert into cov (id, a, b, c) values (5, 7, 'seven', 0)");
  plans.clear();
  SetPlanObserver([&](const std::string& sql, const std::vector<std::string>& plan) {
    for (const std::string& line : plan) plans.push_back(sql + " => " + line);
  });
  EXPECT_EQ(Rows(s.Execute("select b from cov where a = 7")), "seven");
  SetPlanObserver(nullptr);
  ASSERT_EQ(plans.size(), 1u);
  EXPECT_NE(plans[0].find("USING COVERING INDEX cov$IX_cov_a"), std::string::npos) << plans[0];
  EXPECT_EQ(ErrorOf(s, "insert into hdr (FInterID, FNote) values (6, 'five')"), 2601);
}

// SQLite's own file layer here maps at most 2 GiB; ours maps all of a file, keeps the map while
// others change the file, and grows it with the file only while no page of it is out.
TEST(EngineCore, AFileIsReadThroughAMapOfAllOfIt) {
  const std::string path = FreshPath();
  ASSERT_NE(MappedVfs(), nullptr);
  sqlite3* m = nullptr;
  ASSERT_EQ(
      sqlite3_open_v2(path.c_str(), &m, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, MappedVfs()),
      SQLITE_OK);
  auto one = [](sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    int64_t v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    return v;
  };
  auto exec = [](sqlite3* db, const char* sql) {
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  };
  EXPECT_EQ(one(m, "PRAGMA mmap_size=3000000000"), 3000000000);
  exec(m,
       "create table t (a integer primary key, b blob);"
       "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000)"
       " insert into t select i, zeroblob(600) from n");
  // Another connection cuts the file short and grows it again.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  exec(other, "delete from t where a > 10; vacuum; insert into t select a + 100, b from t");
  sqlite3_close(other);
  EXPECT_EQ(one(m, "select sum(a) from t"), 55 + 1055);
  // A second file mapped beside it reads its own pages.
  const std::string second_path = FreshPath();
  sqlite3* second = nullptr;
  ASSERT_EQ(sqlite3_open(second_path.c_str(), &second), SQLITE_OK);
  exec(second, "create table s (v int); insert into s values (7)");
  sqlite3_close(second);
  ASSERT_EQ(sqlite3_open_v2(second_path.c_str(), &second, SQLITE_OPEN_READWRITE, MappedVfs()),
            SQLITE_OK);
  exec(second, "PRAGMA mmap_size=3000000000");
  EXPECT_EQ(one(second, "select v from s"), 7);
  EXPECT_EQ(one(m, "select count(*) from t"), 20);
  sqlite3_close(second);
  // A read still stepping while the same connection grows the file and reads what it added: the
  // pages the read holds must stay where they were handed out.
  sqlite3_stmt* reader = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(m, "select a, length(b) from t order by a", -1, &reader, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(reader), SQLITE_ROW);
  exec(m,
       "create table u (b blob);"
       "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000)"
       " insert into u select zeroblob(900) from n");
  EXPECT_EQ(one(m, "select sum(length(b)) from u"), 3000 * 900);
  int64_t sum = sqlite3_column_int64(reader, 0), rows = 1;
  while (sqlite3_step(reader) == SQLITE_ROW) {
    sum += sqlite3_column_int64(reader, 0);
    EXPECT_EQ(sqlite3_column_int64(reader, 1), 600);
    ++rows;
  }
  sqlite3_finalize(reader);
  EXPECT_EQ(rows, 20);
  EXPECT_EQ(sum, 55 + 1055);
  sqlite3_close(m);
}

TEST(EngineCore, InMemoryDatabaseIsSharedByHandles) {
  auto db = Database::Open(":memory:");
  Session a(db->AcquireHandle());
  Session b(db->AcquireHandle());
  a.Execute(
      "if object_id('mem_shared') is not null drop table mem_shared\n"
      "create table mem_shared (x int)\ninsert into mem_shared values (5)");
  EXPECT_EQ(Rows(b.Execute("select x from mem_shared")), "5");
  EXPECT_EQ(Database::Open(":memory:").get(), db.get());
}

}  // namespace
}  // namespace corva::tsql
