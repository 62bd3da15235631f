// Votes and transactions as the host sees them: the implicit transaction of a call from outside,
// the host's scope, abort votes of nested objects created through the object context, and the
// votes of objects a rule creates directly.
#include <gtest/gtest.h>

#include <thread>

#include "base/late_binding.h"
#include "corva/error.h"
#include "corva/host.h"
#include "host/fakes.h"

namespace corva {
namespace {

using testing::EnlistFake;
using testing::RegisterLambda;
using testing::RegistrationGuard;
using Log = std::vector<std::string>;

// Casts the votes named in `script`, one letter each: c = SetComplete, a = SetAbort, t = throw.
void Vote(const std::string& script) {
  for (char step : script) {
    if (step == 'c') GetObjectContext().SetComplete();
    if (step == 'a') GetObjectContext().SetAbort();
    if (step == 't') throw Error(3604, "Test.Worker", "worker failed");
  }
}

// "Test.Worker".Work(resource, script): enlists a fake resource in the call's transaction, then
// votes as `script` says. "Test.Outer".Run(script_inner, script_outer): enlists "outer", calls a
// worker created through its context with `script_inner`, then votes `script_outer`.
// "Test.Outer".RunDirect(script_helper, script_outer): the helper is plain C++ code the rule
// calls, sharing the rule's context.
class VotingTest : public ::testing::Test {
 protected:
  VotingTest() {
    RegisterLambda("Test.Worker", [this](const std::string&, std::vector<Variant>& args) {
      EnlistFake(args[0].AsString(), &log_);
      Vote(args[1].AsString());
      return Variant(true);
    });
    RegisterLambda("Test.Outer", [this](const std::string& name, std::vector<Variant>& args) {
      EnlistFake("outer", &log_);
      if (corva::IEquals(name, "Run")) {
        std::vector<Variant> inner{"inner", args[0]};
        GetObjectContext().CreateInstance("Test.Worker")->Invoke("Work", inner);
      } else {
        Vote(args[0].AsString());  // a directly created helper object voting
      }
      Vote(args[1].AsString());
      return Variant(true);
    });
  }

  void Work(const std::string& script) {
    std::vector<Variant> args{"db", script};
    CreateObject("Test.Worker")->Invoke("Work", args);
  }
  void Outer(const std::string& method, const std::string& inner, const std::string& outer) {
    std::vector<Variant> args{inner, outer};
    CreateObject("Test.Outer")->Invoke(method, args);
  }
  Log Take() { return std::exchange(log_, {}); }

  RegistrationGuard worker_guard_{"Test.Worker"};
  RegistrationGuard outer_guard_{"Test.Outer"};
  Log log_;
};

TEST_F(VotingTest, CallFromOutsideCommitsUnlessItsLastVoteIsAbort) {
  Work("c");
  EXPECT_EQ(Take(), Log{"db commit"});
  Work("");  // no vote at all commits
  EXPECT_EQ(Take(), Log{"db commit"});
  Work("ac");  // the last vote counts
  EXPECT_EQ(Take(), Log{"db commit"});
  Work("ca");
  EXPECT_EQ(Take(), Log{"db rollback"});
  // An error reaches the caller; it dooms the work unless SetComplete was the last vote before it.
  for (const char* script : {"ct", "t", "at"}) {
    try {
      Work(script);
      ADD_FAILURE() << "the worker's error must reach the caller";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), 3604);
    }
    EXPECT_EQ(Take(), Log{script[0] == 'c' ? "db commit" : "db rollback"}) << script;
  }
  EXPECT_EQ(corva::db::CurrentTransaction(), nullptr);
}

TEST_F(VotingTest, InnerObjectAbortDoomsTheWholeTransaction) {
  // Inner and outer share one transaction: both resources end together, in enlistment order.
  Outer("Run", "c", "c");
  EXPECT_EQ(Take(), (Log{"outer commit", "inner commit"}));
  // The inner object's abort dooms the call's implicit transaction despite the outer's complete.
  Outer("Run", "a", "c");
  EXPECT_EQ(Take(), (Log{"outer rollback", "inner rollback"}));

  TransactionScope scope;
  Outer("Run", "c", "c");
  EXPECT_FALSE(scope.Doomed());
  EXPECT_TRUE(Take().empty());  // nothing ends before the scope does
  Outer("Run", "ac", "");
  EXPECT_FALSE(scope.Doomed());
  Outer("Run", "a", "c");
  EXPECT_TRUE(scope.Doomed());
  EXPECT_FALSE(scope.Commit());
  EXPECT_EQ(Take(), (Log{"outer rollback", "inner rollback"}));
}

TEST_F(VotingTest, DirectlyCreatedObjectVotesAsItsCreator) {
  // The helper's abort is the creator's vote, so the creator's later complete replaces it.
  Outer("RunDirect", "a", "c");
  EXPECT_EQ(Take(), Log{"outer commit"});
  Outer("RunDirect", "a", "");
  EXPECT_EQ(Take(), Log{"outer rollback"});
  Outer("RunDirect", "c", "a");
  EXPECT_EQ(Take(), Log{"outer rollback"});
}

TEST_F(VotingTest, ScopeCommitsOrRollsBackEverythingItHolds) {
  {
    TransactionScope scope;
    Work("c");
    Work("");
    // Votes outside any call belong to no transaction.
    GetObjectContext().SetAbort();
    EXPECT_FALSE(GetObjectContext().IsInTransaction());
    EXPECT_FALSE(scope.Doomed());
    EXPECT_TRUE(scope.Commit());
  }
  EXPECT_EQ(Take(), (Log{"db commit"}));  // one resource per key: the second call found it

  {
    TransactionScope scope;
    Work("c");
  }  // destroyed without Commit
  EXPECT_EQ(Take(), Log{"db rollback"});

  {
    TransactionScope outer;
    {
      TransactionScope inner;  // joins the outer scope
      Work("c");
      EXPECT_TRUE(inner.Commit());
    }
    EXPECT_TRUE(Take().empty());
    { TransactionScope abandoned; }  // a joined scope left without Commit dooms the outer one
    EXPECT_TRUE(outer.Doomed());
  }
  EXPECT_EQ(Take(), Log{"db rollback"});
}

TEST_F(VotingTest, ScopeBelongsToItsThread) {
  TransactionScope scope;
  std::thread([this] { Work("c"); }).join();  // runs in a transaction of its own
  EXPECT_EQ(Take(), Log{"db commit"});
  std::thread([this] { Work("a"); }).join();
  EXPECT_FALSE(scope.Doomed());
}

TEST(Transaction, CommitFailureRollsBackTheRest) {
  Log log;
  corva::db::Transaction transaction;
  transaction.Enlist("a", std::make_shared<testing::FakeResource>("a", &log));
  transaction.Enlist("b", std::make_shared<testing::FakeResource>("b", &log, true));
  transaction.Enlist("c", std::make_shared<testing::FakeResource>("c", &log));
  EXPECT_THROW(transaction.End(true), Error);
  EXPECT_EQ(log, (Log{"a commit", "b rollback", "c rollback"}));
  EXPECT_FALSE(transaction.End(true));  // ended already: nothing happens
  EXPECT_EQ(log.size(), 3u);
}

}  // namespace
}  // namespace corva
