// The ProgID registry as a host uses it: creating components by name, by-reference arguments, the
// edition rule for prefixed names, and the library's default security and error-check components.
#include <gtest/gtest.h>

#include "base/late_binding.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/host.h"
#include "host/fakes.h"

namespace corva {
namespace {

using testing::RegisterLambda;
using testing::RegistrationGuard;

int32_t ErrorNumberOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(Registry, CreateObjectCallsByNameWithByReferenceArguments) {
  // Swap(a, b) exchanges its by-reference arguments and answers how many calls its object had.
  RegistrationGuard guard("Test.Swapper");
  RegisterComponent("Test.Swapper", [] {
    return std::make_shared<testing::LambdaComponent>(
        [calls = 0](const std::string& name, std::vector<Variant>& args) mutable -> Variant {
          if (!corva::IEquals(name, "Swap")) throw corva::NoSuchMethod(name);
          corva::RequireArgs(args, 2, 2);
          std::swap(args[0], args[1]);
          return ++calls;
        });
  });
  std::shared_ptr<Dispatch> swapper = CreateObject("test.SWAPPER");  // ProgIDs ignore case
  std::vector<Variant> args{"left", 7};
  EXPECT_EQ(swapper->Invoke("swap", args).AsLong(), 1);
  EXPECT_EQ(args[0].AsLong(), 7);
  EXPECT_EQ(args[1].AsString(), "left");
  EXPECT_EQ(swapper->Invoke("Swap", args).AsLong(), 2);
  EXPECT_EQ(CreateObject("Test.Swapper")->Invoke("Swap", args).AsLong(), 1);  // a new object

  std::vector<Variant> one{1, Variant()};  // a trailing Empty counts as left out
  EXPECT_EQ(ErrorNumberOf([&] { swapper->Invoke("Swap", one); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorNumberOf([&] { CreateObject("Test.NobodyRegisteredThis"); }),
            kErrCannotCreateObject);
}

TEST(Registry, EditionPrefixedNamesFallBackToThePlainDefault) {
  RegistrationGuard plain("Test.PlanCheck");
  RegistrationGuard prefixed("QRA_Test.PlanCheck");
  RegistrationGuard only_plain("Test.SysInfo");
  auto answering = [](const char* who) {
    return [who](const std::string&, std::vector<Variant>&) -> Variant { return who; };
  };
  RegisterLambda("Test.PlanCheck", answering("default"));
  RegisterLambda("QRA_Test.PlanCheck", answering("qra"));
  RegisterLambda("Test.SysInfo", answering("default"));

  std::vector<Variant> none;
  EXPECT_EQ(CreateObject("QRA_Test.PlanCheck")->Invoke("Who", none).AsString(), "qra");
  EXPECT_EQ(CreateObject("qra_test.plancheck")->Invoke("Who", none).AsString(), "qra");
  EXPECT_EQ(CreateObject("Test.PlanCheck")->Invoke("Who", none).AsString(), "default");
  EXPECT_EQ(CreateObject("QRA_Test.SysInfo")->Invoke("Who", none).AsString(), "default");
  // Only the edition's own prefix is stripped.
  EXPECT_EQ(ErrorNumberOf([] { CreateObject("QRB_Test.SysInfo"); }), kErrCannotCreateObject);

  // Removing the prefixed registration lets the default serve the prefixed name again.
  RegisterComponent("QRA_Test.PlanCheck", nullptr);
  EXPECT_EQ(CreateObject("QRA_Test.PlanCheck")->Invoke("Who", none).AsString(), "default");
}

TEST(OutsideComponents, SecurityAndErrorCheckerDefaults) {
  std::shared_ptr<Dispatch> security = CreateObject("PeltBase.SecurityInfo");
  std::vector<Variant> args{"ConnectString={Provider=SQLite;Data Source=:memory:};UserID= 16394 ;"};
  EXPECT_EQ(security->Invoke("GetCurrentUserID", args).AsLong(), 16394);
  std::vector<Variant> no_user{"UserName=morning"};
  EXPECT_EQ(ErrorNumberOf([&] { security->Invoke("GetCurrentUserID", no_user); }),
            kErrInvalidProcedureCall);

  // An error entry: Number plus SQLState; class "01" states are informational messages.
  auto entry = [](int32_t number, const char* state) {
    return std::make_shared<testing::LambdaComponent>(
        [=](const std::string& name, std::vector<Variant>&) -> Variant {
          if (corva::IEquals(name, "Number")) return number;
          if (corva::IEquals(name, "SQLState")) return state;
          throw corva::NoSuchMethod(name);
        });
  };
  std::shared_ptr<Dispatch> checker = CreateObject("OrmiErrorHandle.CheckADOError");
  auto is_error = [&](Variant error) {
    std::vector<Variant> a{std::move(error)};
    return checker->Invoke("IsError", a).AsBool();
  };
  EXPECT_TRUE(is_error(entry(-2147217900, "42000")));
  EXPECT_FALSE(is_error(entry(-2147217900, "01000")));  // "Changed database context to ..."
  EXPECT_FALSE(is_error(entry(0, "42000")));
  EXPECT_TRUE(is_error(208));
  EXPECT_FALSE(is_error(0));
}

}  // namespace
}  // namespace corva
