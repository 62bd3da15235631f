// Fault injection at every statement: each registered scenario runs once to count its batches,
// then once for every k with its k-th batch failing. Each failing run must end as the operation's
// failure (its error or its failure result) with an abort vote, and leave every table as it was.
#include "db/fault_injection.h"

#include <gtest/gtest.h>

#include <string>

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
  return fails.raises ? outcome.raised : !outcome.raised && outcome.result == fails.result;
}

class FaultInjectionTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultInjectionTest, EveryBatchThatFailsFailsTheWholeCall) {
  const Scenario& scenario = GetParam();
  TestDatabase db;
  scenario.setup(db);
  const Snapshot before = TakeSnapshot(db.path());

  // The call as registered succeeds; its writes are undone so that every run starts alike.
  int batches = 0;
  {
    TransactionScope scope;
    Armed counting(0);
    Args args = scenario.args(db);
    Variant result = CreateObject(scenario.progid)->Invoke(scenario.operation, args);
    batches = FaultInjection::Counted();
    ASSERT_FALSE(scope.Doomed()) << "the scenario itself fails";
    ASSERT_FALSE(!scenario.fails.raises && result == scenario.fails.result)
        << "the scenario returns its failure result without a fault";
  }
  ASSERT_EQ(Difference(before, TakeSnapshot(db.path())), "");
  ASSERT_GE(batches, 1);

  for (int k = 1; k <= batches; ++k) {
    SCOPED_TRACE("batch " + std::to_string(k) + " of " + std::to_string(batches) + " fails");
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
