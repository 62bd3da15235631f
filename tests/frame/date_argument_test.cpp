// A date argument outside the dates late binding holds (before 100-01-01, after 9999-12-31, NaN)
// is a type mismatch where a date is read, never a date far out of range whose text is garbage.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "corva/error.h"
#include "corva/variant.h"

namespace corva {
namespace {

int32_t ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(DateArgumentTest, NumbersOutsideTheDateRangeAreATypeMismatch) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (Variant v :
       {Variant(1e300), Variant(-1e300), Variant(nan), Variant(inf), Variant(2958466.0),
        Variant(-657435.0), Variant("1e300"), Variant(Date{1e300}), Variant(Date{nan})}) {
    SCOPED_TRACE(v.Type() == VarType::kDate ? "a Date" : v.ToText());
    EXPECT_EQ(ErrorOf([&] { v.AsDate(); }), kErrTypeMismatch);
  }
  EXPECT_EQ(ErrorOf([] { Variant(Date{1e300}).AsString(); }), kErrTypeMismatch);
  EXPECT_EQ(Variant(2958465.5).AsDate().ToString(), "9999-12-31 12:00:00");
  EXPECT_EQ(ErrorOf([] { Variant(-657434.5).AsDate().ToString(); }), 0);  // 100-01-01 12:00
}

}  // namespace
}  // namespace corva
