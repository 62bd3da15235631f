// Calls as a host makes them: the ProgID registry (creating components by name, by-reference
// arguments, the edition rule for prefixed names, the library's default security and error-check
// components), and a class declared through its table of typed members, called late-bound:
// conversions, by-reference write-back, optional arguments and their defaults, the errors of a
// wrong name or count, and the description listings are printed from.
#include "host/binding.h"

#include <gtest/gtest.h>

#include "base/late_binding.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/host.h"
#include "host/fakes.h"
#include "support/error_number.h"

namespace corva {
namespace {

using testing::RegisterLambda;
using testing::RegistrationGuard;

using testing::ErrorNumberOf;

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

// Records what each member received, so the test sees what the binding read.
class Sample : public host::BoundClass<Sample> {
 public:
  std::string Echo(const std::string& sDsn, int32_t lngID, Optional<int32_t, 7> lngDefault = {},
                   Optional<bool, true> bFlag = {}, Optional<std::string> sText = {}) {
    return sDsn + "|" + std::to_string(lngID) + "|" + std::to_string(lngDefault) + "|" +
           (bFlag ? "T" : "F") + "|" + sText.value();
  }
  bool Bump(int32_t& lngCount, OptionalRef<std::string> sMsg = {},
            OptionalRef<int32_t, 5> lngStep = {}) {
    lngCount += *lngStep;
    sMsg = "bumped";
    return true;
  }
  void Append(const VectorPtr& vctItems, double dblValue) { vctItems->Add(dblValue); }
};

const host::ClassBinding<Sample> kBinding(
    "Test.BindingSample",
    {host::Bind<&Sample::Echo>("Echo", "sDsn, lngID, lngDefault, bFlag, sText"),
     host::Bind<&Sample::Bump>("Bump", "lngCount, sMsg, lngStep"),
     host::Bind<&Sample::Append>("Append", "vctItems, dblValue")});

int32_t ErrorOf(Dispatch& object, const std::string& name, std::vector<Variant> args) {
  return ErrorNumberOf([&] { object.Invoke(name, args); });
}

TEST(Binding, ReadsArgumentsAsLateBindingDoesAndFillsDefaults) {
  std::shared_ptr<Dispatch> sample = CreateObject("test.bindingsample");
  std::vector<Variant> args{"d", "12"};  // text that reads as a number
  EXPECT_EQ(sample->Invoke("ECHO", args).AsString(), "d|12|7|T|");
  // An Empty argument in the middle counts as left out; later ones still count.
  args = {"d", 1, Variant(), false, "x"};
  EXPECT_EQ(sample->Invoke("Echo", args).AsString(), "d|1|7|F|x");
  args = {"d", 1.5, 3};  // a Double rounds half to even
  EXPECT_EQ(sample->Invoke("Echo", args).AsString(), "d|2|3|T|");

  EXPECT_EQ(ErrorOf(*sample, "Echo", {"d"}), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorOf(*sample, "Echo", {"d", 1, Variant()}), 0);  // trailing Empty: left out
  EXPECT_EQ(ErrorOf(*sample, "Echo", {"d", 1, 2, true, "x", 6}), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorOf(*sample, "Echo", {"d", "twelve"}), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf(*sample, "Echoes", {"d", 1}), kErrNoSuchMethod);
}

TEST(Binding, WritesByReferenceArgumentsBack) {
  std::shared_ptr<Dispatch> sample = CreateObject("Test.BindingSample");
  std::vector<Variant> args{"40"};
  EXPECT_TRUE(sample->Invoke("Bump", args).AsBool());
  ASSERT_EQ(args.size(), 1u);  // slots the caller did not pass are not added
  EXPECT_EQ(args[0].Type(), VarType::kLong);
  EXPECT_EQ(args[0].AsLong(), 45);

  args = {1, Variant(), 10};  // an Empty slot the caller passed gets the value written back
  sample->Invoke("Bump", args);
  EXPECT_EQ(args[0].AsLong(), 11);
  EXPECT_EQ(args[1].AsString(), "bumped");
  EXPECT_EQ(args[2].AsLong(), 10);

  VectorPtr items = MakeVector();
  args = {items, "2.5"};
  sample->Invoke("Append", args);
  EXPECT_EQ(items->Count(), 1);
  EXPECT_EQ(items->Item(1).AsDouble(), 2.5);
}

TEST(Binding, DescribesEveryDeclaredClass) {
  const host::ClassDescription* sample = host::FindClassDescription("TEST.BindingSample");
  ASSERT_NE(sample, nullptr);
  ASSERT_EQ(sample->operations.size(), 3u);
  const host::OperationDescription& bump = sample->operations[1];
  EXPECT_EQ(bump.name, "Bump");
  EXPECT_EQ(bump.result_type, "Boolean");
  EXPECT_EQ(bump.min_args, 1u);
  EXPECT_EQ(bump.max_args, 3u);
  ASSERT_EQ(bump.params.size(), 3u);
  EXPECT_EQ(bump.params[2].name, "lngStep");
  EXPECT_TRUE(bump.params[2].by_ref && bump.params[2].optional);
  EXPECT_EQ(bump.params[2].default_text, "5");
  EXPECT_FALSE(sample->operations[0].params[0].by_ref);
  EXPECT_EQ(sample->operations[2].result_type, "");
}

}  // namespace
}  // namespace corva
