// The batch cache keyed by text with its literals masked: no text, valid or not, may take the key
// of another batch, since the cached parse would then run with the other text's literals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "corva/error.h"
#include "tsql/engine.h"

namespace corva::tsql {
namespace {

int ErrorOf(Session& s, const std::string& sql) {
  try {
    s.Execute(sql);
  } catch (const corva::Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(BatchCacheTest, MarkerBytesInTheTextNeverMatchAnotherBatchsKey) {
  const std::string path =
      std::string(CORVA_BINARY_DIR) + "/batch_cache_" + std::to_string(getpid()) + ".db";
  std::remove(path.c_str());
  {
    std::shared_ptr<Database> db = Database::Open(path);
    Session s(db->AcquireHandle());
    s.Execute("select 'x' as a, 'y' as b");
    // The bytes the key marks a literal with, written into the text: a character the dialect
    // does not know, whatever the cache holds.
    EXPECT_EQ(ErrorOf(s, "select 'q' as a, \x01s  as b"), 102);
    BatchResult again = s.Execute("select 'p' as a, 'r' as b");
    ASSERT_EQ(again.result_sets.size(), 1u);
    EXPECT_EQ(again.result_sets[0].rows[0][1].AsString(), "r");
  }
  std::remove(path.c_str());
  std::remove((path + "-wal").c_str());
  std::remove((path + "-shm").c_str());
}

}  // namespace
}  // namespace corva::tsql
