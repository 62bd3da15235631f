// A class declared through its table of typed members, called late-bound as a host calls it:
// conversions, by-reference write-back, optional arguments and their defaults, the errors of a
// wrong name or count, and the description listings are printed from.
#include "host/binding.h"

#include <gtest/gtest.h>

#include "corva/error.h"
#include "corva/host.h"

namespace corva {
namespace {

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
  try {
    object.Invoke(name, args);
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
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

  // Typed callers pass plain values and variables.
  Sample typed;
  int32_t count = 0;
  std::string message;
  typed.Bump(count, message);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(message, "bumped");
  EXPECT_EQ(typed.Echo("d", 3), "d|3|7|T|");
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
