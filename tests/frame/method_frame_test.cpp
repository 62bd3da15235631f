// The method frame as the host sees an operation: its result, vote, message and "SaveRetCode",
// for success, rule violations and run-time errors, and the two initializer variants.
#include "frame/method_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/late_binding.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/sql_trace.h"
#include "frame/fake_loader.h"
#include "frame/pending_error.h"
#include "host/fakes.h"

namespace corva::frame {
namespace {

constexpr char kDsnWithoutConnection[] = "UserName=li;UserID=7;Language=en";

class MethodFrameTest : public ::testing::Test {
 protected:
  // Runs `operation` as the body of a host call inside a scope; true when the call doomed it.
  bool Doomed(const std::function<void()>& operation) {
    testing::RegisterLambda("Test.Bill", [&](const std::string&, std::vector<Variant>&) {
      operation();
      return Variant();
    });
    TransactionScope scope;
    std::vector<Variant> none;
    CreateObject("Test.Bill")->Invoke("Operate", none);
    return scope.Doomed();
  }

  static VectorPtr NewSaveVect() {
    VectorPtr save_vect = MakeVector();
    save_vect->Add(MakeDictionary());
    return save_vect;
  }
  static Variant SaveRetCode(const VectorPtr& save_vect) {
    return save_vect->Item(1).As<Dictionary>()->Value("SaveRetCode");
  }

  testing::FakeLoader loader_;  // marks what it localized with the language
  testing::RegistrationGuard bill_guard_{"Test.Bill"};
  ClassFrame frame_{InitMode::kEveryCall};
};

TEST_F(MethodFrameTest, ErrorBeforeTheConnectionAbortsWithTheLocalizedDescription) {
  std::string msg = "left by the caller";
  bool result = true, body_ran = false;
  EXPECT_TRUE(Doomed([&] {
    result = frame_.Run(kDsnWithoutConnection, msg, {.crlf = true}, [&](Call&) {
      body_ran = true;
      return true;
    });
  }));
  EXPECT_FALSE(result);
  EXPECT_FALSE(body_ran);
  EXPECT_EQ(msg,
            "\r\n[en]Invalid procedure call or argument: the property string has no "
            "\"ConnectString\"");

  // The same without a separator, and in the default language of a string without "Language".
  EXPECT_TRUE(Doomed([&] { frame_.Run("UserID=7", msg, {}, [](Call&) {}); }));
  EXPECT_EQ(
      msg, "[cht]Invalid procedure call or argument: the property string has no \"ConnectString\"");
}

TEST_F(MethodFrameTest, OpensTheCallsConnectionReadCommitted) {
  SqlTrace::EnableProcess(true);
  SqlTrace::Clear();
  std::string msg = "unchanged", first, second;
  EXPECT_FALSE(Doomed([&] {
    frame_.Run("ConnectString={Provider=SQLite;Data Source=:memory:};Language=en", msg, {},
               [&](Call& call) {
                 first = call.Connection()->Name();
                 second = call.NewConnection()->Name();
                 return call.Connection()->Name() == first;
               });
  }));
  SqlTrace::EnableProcess(false);
  EXPECT_EQ(msg, "unchanged");
  EXPECT_NE(first, second);
  std::vector<std::string> isolation;  // connections told to read committed data only
  for (const TraceEntry& entry : SqlTrace::Entries()) {
    if (entry.sql == "SET TRANSACTION ISOLATION LEVEL READ COMMITTED") {
      isolation.push_back(entry.connection);
    }
  }
  EXPECT_EQ(isolation, (std::vector<std::string>{first, second}));

  // A database that cannot be opened is a run-time error of the operation.
  EXPECT_TRUE(Doomed([&] {
    frame_.Run("ConnectString={Provider=SQLite;Data Source=/no-such-dir/x/f.db};Language=en", msg,
               {}, [](Call&) {});
  }));
  EXPECT_EQ(msg.rfind("[en]", 0), 0u) << msg;
  EXPECT_GT(msg.size(), 4u);
}

TEST_F(MethodFrameTest, OnlyRuleViolationsMarkTheSaveAsRefused) {
  VectorPtr save_vect = NewSaveVect();
  std::string msg;
  EXPECT_TRUE(Doomed([&] {
    EXPECT_FALSE(frame_.Run(kDsnWithoutConnection, msg, {.save_vect = save_vect, .connect = false},
                            [](Call& call) { return call.Refuse("第2行已审核"); }));
  }));
  EXPECT_EQ(SaveRetCode(save_vect).AsLong(), kSaveRefusedByRule);
  EXPECT_EQ(msg, "第2行已审核");

  // A violation thrown from a helper ends the same way; with CR LF the empty description follows.
  save_vect = NewSaveVect();
  EXPECT_TRUE(Doomed([&] {
    frame_.Run(kDsnWithoutConnection, msg, {.crlf = true, .save_vect = save_vect, .connect = false},
               [](Call&) -> bool { throw RuleViolation("超量"); });
  }));
  EXPECT_EQ(SaveRetCode(save_vect).AsLong(), kSaveRefusedByRule);
  EXPECT_EQ(msg, "超量\r\n");

  // A run-time error keeps the rule message built so far and appends its description.
  save_vect = NewSaveVect();
  EXPECT_TRUE(Doomed([&] {
    frame_.Run(kDsnWithoutConnection, msg, {.save_vect = save_vect, .connect = false},
               [](Call& call) -> bool {
                 call.sMsg() = "partly: ";
                 throw Error(208, "db", "Invalid object name '#Oper'.");
               });
  }));
  EXPECT_TRUE(SaveRetCode(save_vect).IsEmpty());
  EXPECT_EQ(msg, "partly: [en]Invalid object name '#Oper'.");

  // Errors that are not the library's own are trapped too.
  EXPECT_TRUE(Doomed([&] {
    frame_.Run(kDsnWithoutConnection, msg, {.connect = false},
               [](Call&) -> bool { throw std::runtime_error("bad"); });
  }));
  EXPECT_EQ(msg, "[en]bad");
  EXPECT_FALSE(PendingError::IsSet());
}

TEST_F(MethodFrameTest, SuccessCommitsAndLeavesTheMessage) {
  std::string msg = "caller's text";
  std::string seen_lang;
  EXPECT_FALSE(Doomed([&] {
    EXPECT_TRUE(frame_.Run(kDsnWithoutConnection, msg, {.connect = false}, [&](Call& call) {
      seen_lang = call.lang();
      GetObjectContext().SetAbort();  // replaced by the frame's final vote
      return call.Parse().UserID() == 7;
    }));
  }));
  EXPECT_EQ(msg, "caller's text");
  EXPECT_EQ(seen_lang, "en");
}

TEST_F(MethodFrameTest, FirstCallVariantKeepsItsDataSource) {
  auto connect_string = [](ClassFrame& frame, const std::string& dsn) {
    return frame.Query<std::string>(dsn, "failed", {.connect = false},
                                    [](Call& call) { return call.DataSource().ConnectString(); });
  };
  ClassFrame first_call(InitMode::kFirstCall);
  EXPECT_EQ(connect_string(first_call, "ConnectString={A=1;B=2}"), "A=1;B=2");
  EXPECT_EQ(connect_string(first_call, "ConnectString={C=3}"), "A=1;B=2");
  EXPECT_EQ(connect_string(frame_, "ConnectString={A=1}"), "A=1");
  EXPECT_EQ(connect_string(frame_, "ConnectString={C=3}"), "C=3");
  // A property string the parse rejects is a run-time error of the operation.
  EXPECT_EQ(connect_string(frame_, "ConnectString={D=4};connectstring={E=5}"), "failed");
  std::string msg;
  frame_.Run("Language=en;language=en", msg, {.connect = false}, [](Call&) {});
  EXPECT_EQ(msg,
            "[en]This key is already associated with an element of this collection: the property "
            "string repeats \"language\"");
}

TEST_F(MethodFrameTest, QueryAndVoteVariants) {
  int32_t hours = 0;
  Error trapped(0, "", "");
  EXPECT_TRUE(Doomed([&] {
    hours =
        frame_.Query<int32_t>(kDsnWithoutConnection, 8,
                              {.connect = false, .on_error = [&](const Error& e) { trapped = e; }},
                              [](Call&) -> int32_t { throw Error(8134, "db", "Divide by zero"); });
  }));
  EXPECT_EQ(hours, 8);
  EXPECT_EQ(trapped.Number(), 8134);
  EXPECT_FALSE(Doomed([&] {
    hours = frame_.Query<int32_t>(kDsnWithoutConnection, 8, {.connect = false},
                                  [](Call&) { return 6; });
  }));
  EXPECT_EQ(hours, 6);
  // A read-only query that never votes leaves the transaction alone even when it fails.
  EXPECT_FALSE(Doomed([&] {
    frame_.Query<bool>(kDsnWithoutConnection, false, {.vote = false, .connect = false},
                       [](Call&) -> bool { throw Error(208, "db", "Invalid object name"); });
  }));

  // Without a trap the error reaches the caller; an abort cast first still stands.
  auto untrapped = [&](FrameVote first) {
    return Doomed([&] {
      EXPECT_THROW(
          frame_.Run(kDsnWithoutConnection, {.first_vote = first, .connect = false, .trap = false},
                     [](Call&) -> bool { throw Error(5, "x", "y"); }),
          Error);
    });
  };
  EXPECT_TRUE(untrapped(FrameVote::kAbort));
  EXPECT_FALSE(untrapped(FrameVote::kNone));
}

}  // namespace
}  // namespace corva::frame
