// The bad-argument sweep: every operation of every class the binding describes, called as a
// careless or hostile host would call it: too few and too many arguments, and at each position in
// turn Empty, Null, -1, the largest Long, 1e300, NaN, a quote, "--" and containers of the wrong
// shape. No call may crash or hang (the sanitizer build runs this too), let out anything but
// corva::Error, or leave a write behind when it failed (raised an error or voted abort).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/late_binding.h"
#include "harness/harness.h"

namespace corva::harness {
namespace {

struct Target {
  std::string progid;
  host::OperationDescription op;
};

void PrintTo(const Target& target, std::ostream* out) {
  *out << target.progid << "." << target.op.name;
}

std::vector<Target> Targets() {
  std::vector<Target> targets;
  for (const host::ClassDescription* described : host::DescribedClasses()) {
    for (const host::OperationDescription& op : described->operations) {
      targets.push_back({described->progid, op});
    }
  }
  return targets;
}

// A plausible value of a parameter's type, for operations no scenario calls.
Variant Plausible(const host::ParamDescription& param, const TestDatabase& db) {
  if (IsPropertyString(param)) return db.dsn();
  if (param.type == "String") return std::string();
  if (param.type == "Long" || param.type == "Double" || param.type == "Decimal") return 1;
  if (param.type == "Boolean") return false;
  if (param.type == "Date") return Variant(Date::FromParts(2030, 3, 4));
  if (param.type == "Vector") return SaveVect({{"FInterID", 1}});
  if (param.type == "Dictionary") return MakeDictionary();
  return Variant();
}

std::vector<std::pair<std::string, Variant>> BadValues() {
  VectorPtr of_long = MakeVector();
  of_long->Add(1);
  return {{"Empty", Variant()},
          {"Null", Variant::Null()},
          {"-1", -1},
          {"2147483647", std::numeric_limits<int32_t>::max()},
          {"1e300", 1e300},
          {"NaN", std::numeric_limits<double>::quiet_NaN()},
          {"a quote", "'"},
          {"--", "--"},
          {"an empty Vector", MakeVector()},
          {"a Vector of a Long", of_long},
          {"an empty Dictionary", MakeDictionary()}};
}

class BadArgumentTest : public ::testing::TestWithParam<Target> {
 protected:
  // Calls the operation with `args`; a failed call is committed (its writes, if it left any, then
  // show in the snapshot), a successful one rolled back, so every call starts from the same rows.
  Outcome Call(const Args& args) {
    return CallAndCommit(GetParam().progid, GetParam().op.name, args, false);
  }

  void ExpectNothingWritten(const Outcome& outcome) {
    if (!outcome.raised && !outcome.doomed) return;
    EXPECT_EQ(Difference(before_, TakeSnapshot(db_->path())), "")
        << "a failed call left writes" << (outcome.raised ? " (raised " + outcome.error + ")" : "");
  }

  std::unique_ptr<TestDatabase> db_;
  Snapshot before_;
};

TEST_P(BadArgumentTest, NoCrashNoHangNothingWrittenByAFailedCall) {
  const Target& target = GetParam();
  const host::OperationDescription& op = target.op;
  // A registered scenario gives data and arguments on which the call does real work.
  const Scenario* scenario = FindScenario(target.progid, op.name);
  db_ = std::make_unique<TestDatabase>(scenario ? TestDatabase::Contents::kSchema
                                                : TestDatabase::Contents::kSample);
  if (scenario) scenario->setup(*db_);
  // Made afresh for every call: an operation may change the containers it is passed.
  auto good_args = [&] {
    Args args = scenario ? scenario->args(*db_) : Args();
    for (size_t i = args.size(); i < op.params.size(); ++i) {
      args.push_back(op.params[i].optional ? Variant() : Plausible(op.params[i], *db_));
    }
    return args;
  };
  before_ = TakeSnapshot(db_->path());
  const Args base = good_args();

  if (op.min_args > 0) {
    Outcome few = Call(Args(base.begin(), base.begin() + op.min_args - 1));
    EXPECT_EQ(few.error_number, kErrWrongArgumentCount) << "too few: " << few.error;
    ExpectNothingWritten(few);
  }
  Args many = base;
  many.push_back(1);
  Outcome too_many = Call(many);
  EXPECT_EQ(too_many.error_number, kErrWrongArgumentCount) << "too many: " << too_many.error;
  ExpectNothingWritten(too_many);

  for (size_t position = 0; position < op.params.size(); ++position) {
    for (const auto& [what, value] : BadValues()) {
      SCOPED_TRACE(what + " as " + op.params[position].name);
      Args args = good_args();
      args[position] = value;
      ExpectNothingWritten(Call(args));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, BadArgumentTest, ::testing::ValuesIn(Targets()),
                         [](const ::testing::TestParamInfo<Target>& info) {
                           const std::string& progid = info.param.progid;
                           return progid.substr(progid.rfind('.') + 1) + "_" + info.param.op.name;
                         });

}  // namespace
}  // namespace corva::harness
