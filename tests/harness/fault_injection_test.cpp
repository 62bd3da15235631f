// Fault injection at every statement: each registered scenario runs once to count its batches,
// then once for every k with its k-th batch failing. Each failing run must end as the operation's
// failure (its error or its failure result) with an abort vote, and leave every table as it was.
#include "db/fault_injection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corva/sql_trace.h"
#include "harness/harness.h"

namespace corva::harness {
namespace {

using db::FaultInjection;

// Counts or fails batches while it lives, so that a failing expectation never leaves it armed.
class Armed {
 public:
  explicit Armed(int fail_at) { FaultInjection::Arm(fail_at); }
  ~Armed() { FaultInjection::Disarm(); }
  Armed(const Armed&) = delete;
  Armed& operator=(const Armed&) = delete;
};

bool ShowsFailure(const Outcome& outcome, const Failure& fails) {
  if (fails.raises) return outcome.raised;
  return !outcome.raised && (fails.vote_only || outcome.result == fails.result);
}

// The start of the k-th batch sent (from 1), on one line.
std::string BatchStart(const std::vector<std::string>& sent, int k) {
  if (k > static_cast<int>(sent.size())) return "?";
  std::string text;
  for (char c : sent[k - 1].substr(0, 100)) text += c == '\r' || c == '\n' ? ' ' : c;
  return text;
}

class FaultInjectionTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultInjectionTest, EveryBatchThatFailsFailsTheWholeCall) {
  const Scenario& scenario = GetParam();
  TestDatabase db;
  scenario.setup(db);
  const Snapshot before = TakeSnapshot(db.path());

  // The call as registered succeeds; its writes are undone so that every run starts alike. Its
  // batches are logged so that a failure names the statement that failed.
  int batches = 0;
  std::vector<std::string> sent;
  {
    TransactionScope scope;
    Armed counting(0);
    SqlTrace::Clear();
    SqlTrace::EnableProcess(true);
    Args args = scenario.args(db);
    Variant result = CreateObject(scenario.progid)->Invoke(scenario.operation, args);
    SqlTrace::EnableProcess(false);
    for (const TraceEntry& entry : SqlTrace::Entries()) sent.push_back(entry.sql);
    batches = FaultInjection::Counted();
    ASSERT_FALSE(scope.Doomed()) << "the scenario itself fails";
    ASSERT_FALSE(!scenario.fails.raises && !scenario.fails.vote_only &&
                 result == scenario.fails.result)
        << "the scenario returns its failure result without a fault";
  }
  ASSERT_EQ(Difference(before, TakeSnapshot(db.path())), "");
  ASSERT_GE(batches, 1);

  for (int k = 1; k <= batches; ++k) {
    SCOPED_TRACE("batch " + std::to_string(k) + " of " + std::to_string(batches) +
                 " fails: " + BatchStart(sent, k));
    Outcome outcome;
    {
      Armed failing(k);
      outcome = CallAndCommit(scenario.progid, scenario.operation, scenario.args(db));
    }
    EXPECT_TRUE(ShowsFailure(outcome, scenario.fails))
        << "result " << outcome.result.ToText() << (outcome.raised ? ", raised " : "")
        << outcome.error;
    EXPECT_TRUE(outcome.doomed) << "no abort vote";
    EXPECT_EQ(Difference(before, TakeSnapshot(db.path())), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultInjectionTest, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace corva::harness
