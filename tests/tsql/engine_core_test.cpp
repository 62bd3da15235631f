// Engine internals that are easy to get subtly wrong: assignment SELECT, UPDATE ... FROM with the
// target under a LEFT JOIN, identity numbering in ORDER BY order, "#" tables of two sessions on one
// handle, and the batch cache reused across different literal values.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "corva/error.h"
#include "tsql/engine.h"

namespace corva::tsql {
namespace {

std::shared_ptr<Database> FreshDatabase() {
  static std::atomic<int> counter{0};
  std::string path = std::string(CORVA_BINARY_DIR) + "/engine_core_" + std::to_string(getpid()) +
                     "_" + std::to_string(counter++) + ".db";
  std::remove(path.c_str());
  std::remove((path + "-wal").c_str());
  std::remove((path + "-shm").c_str());
  return Database::Open(path);
}

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

TEST(EngineCore, SelectWithoutFromAndExpressions) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
  EXPECT_EQ(Rows(s.Execute("SELECT 1 + 2, 7 / 2, -7 / 2, 'a' + 'b', '1' + 1, 7 % 3")),
            "3|3|-3|ab|2|1");
  EXPECT_EQ(Rows(s.Execute("select case when 'ABC' = 'abc ' then 'eq' else 'ne' end")), "eq");
  EXPECT_EQ(ErrorOf(s, "select 1/0"), 8134);
  EXPECT_EQ(ErrorOf(s, "select 'a' + 1"), 245);
  EXPECT_EQ(Rows(s.Execute("select len('ab  '), substring('abcdef', 0, 3), right('abc', 2), "
                           "charindex('C', 'abcabc'), replace('aXbx', 'x', '-')")),
            "2|ab|bc|3|a-b-");
  EXPECT_EQ(Rows(s.Execute("select convert(varchar(10), cast('2024-03-10 08:30' as datetime), "
                           "120), datediff(day, '2024-02-28', '2024-03-01'), "
                           "convert(varchar(8), dateadd(month, 1, '2024-01-31'), 112)")),
            "2024-03-10|2|20240229");
}

TEST(EngineCore, AssignmentSelectLastRowWinsAndNoRowKeeps) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
  s.Execute(
      "create table t (id int, name varchar(20))\n"
      "insert into t values (1, 'a'), (2, 'b'), (3, 'c')");
  BatchResult r = s.Execute(
      "declare @n varchar(20), @c int\n"
      "select @n = 'none', @c = -1\n"
      "select @n = name, @c = id from t order by id\n"
      "select @n, @c, @@rowcount\n"
      "select @n = name from t where id = 99\n"
      "select @n, @@rowcount");
  ASSERT_EQ(r.result_sets.size(), 2u);
  EXPECT_EQ(Rows(r, 0), "c|3|3");
  EXPECT_EQ(Rows(r, 1), "c|0");
}

TEST(EngineCore, UpdateFromTargetsAliasUnderLeftJoinAndSeesOldRow) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
  s.Execute(
      "create table h (id int primary key, total decimal(28,10))\n"
      "create table e (hid int, qty decimal(28,10), a int, b int)\n"
      "insert into h values (1, 0), (2, 0)\n"
      "insert into e values (1, 2.5, 1, 0), (1, 1.5, 5, 0), (3, 9, 0, 0)");
  BatchResult r = s.Execute(
      "update t2 set t2.total = x.s from (select hid, sum(qty) s from e group by hid) x "
      "left join h t2 on t2.id = x.hid\n"
      "select id, total from h order by id");
  EXPECT_EQ(r.rows_affected, 1);
  EXPECT_EQ(Rows(r), "1|4;2|0");
  r = s.Execute(
      "update e set a = a + 1, b = a where hid = 1\nselect a, b from e where hid = 1 order by a");
  EXPECT_EQ(Rows(r), "2|1;6|5");
}

TEST(EngineCore, IdentityFollowsInsertSelectOrder) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
  s.Execute(
      "create table src (sn int, v varchar(5))\n"
      "insert into src values (30, 'c'), (10, 'a'), (20, 'b')");
  BatchResult r = s.Execute(
      " SET NOCOUNT ON \n"
      " Create Table #Oper (FNewID int IDENTITY (1, 1) not null, FSN int not null, v varchar(5)) \n"
      " Insert Into #Oper Select sn, v from src Order by sn \n"
      " select FNewID, v from #oper order by FNewID\n"
      " drop table #Oper");
  EXPECT_EQ(Rows(r), "1|a;2|b;3|c");
}

TEST(EngineCore, TempTablesBelongToOneSessionOnASharedHandle) {
  auto db = FreshDatabase();
  std::shared_ptr<Handle> handle = db->AcquireHandle();
  Session a(handle);
  Session b(handle);
  a.Execute("create table #t (x int)\ninsert into #t values (1)");
  EXPECT_EQ(ErrorOf(b, "select x from #t"), 208);
  b.Execute("create table #t (x int)\ninsert into #t values (2), (3)");
  EXPECT_EQ(Rows(a.Execute("select count(*) from #t")), "1");
  EXPECT_EQ(Rows(b.Execute("select count(*) from #t")), "2");
  EXPECT_EQ(Rows(a.Execute("select case when object_id('tempdb..#t') is null then 0 else 1 end")),
            "1");
  EXPECT_EQ(ErrorOf(a, "drop table #nothere"), 3701);
  EXPECT_EQ(ErrorOf(a, "create table #t (y int)"), 2714);
}

TEST(EngineCore, CachedBatchWithOtherLiteralsGivesOtherResults) {
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
}

TEST(EngineCore, LiteralsThatShapeTheSqlAreNotSharedThroughTheCache) {
  auto db = FreshDatabase();
  Session s(db->AcquireHandle());
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
}

TEST(EngineCore, ProceduresAndTriggersPersistInTheDatabaseFile) {
  static std::atomic<int> counter{100};
  std::string path = std::string(CORVA_BINARY_DIR) + "/engine_core_persist_" +
                     std::to_string(getpid()) + "_" + std::to_string(counter++) + ".db";
  std::remove(path.c_str());
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
