// Late-binding conversions of Variant, the Date serial and its text forms, and the runtime's error
// descriptions.
#include "corva/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "corva/error.h"

namespace corva {
namespace {

// The runtime error number `call` raises, or 0 when it raises none.
int32_t ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

std::string Canonical(const std::string& text) {
  Date d;
  if (!Date::Parse(text, &d)) return "not a date";
  return d.ToCanonical();
}

TEST(VariantTest, TextReadsAsNumberOrMismatch) {
  EXPECT_EQ(Variant("12").AsLong(), 12);
  EXPECT_EQ(Variant(" 12 ").AsLong(), 12);
  EXPECT_EQ(Variant("-7").AsLong(), -7);
  EXPECT_DOUBLE_EQ(Variant("1.5").AsDouble(), 1.5);
  EXPECT_DOUBLE_EQ(Variant(".5").AsDouble(), 0.5);
  EXPECT_DOUBLE_EQ(Variant("1e3").AsDouble(), 1000);
  EXPECT_EQ(Variant("&H10").AsLong(), 16);
  EXPECT_EQ(Variant("&HFFFFFFFF").AsLong(), -1);

  for (const char* text : {"abc", "", "  ", "12abc", "1,5", "inf", "nan", "1e", "-", "."}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorOf([&] { Variant(text).AsLong(); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { Variant(text).AsDouble(); }), kErrTypeMismatch);
    EXPECT_FALSE(Variant(text).IsNumeric());
  }
  EXPECT_EQ(ErrorOf([] { Variant("1e999").AsDouble(); }), kErrOverflow);

  EXPECT_TRUE(Variant(" 1.5 ").IsNumeric());
  EXPECT_TRUE(Variant(true).IsNumeric());
  EXPECT_FALSE(Variant().IsNumeric());
  EXPECT_FALSE(Variant(Date::FromParts(2024, 3, 10)).IsNumeric());
}

TEST(VariantTest, LongRoundsHalfToEvenAndOverflows) {
  const double in[] = {2.5, 3.5, -2.5, -3.5, 0.5, 1.5, 2.4999, 2.5001, -0.4, 2147483647.4};
  const int32_t out[] = {2, 4, -2, -4, 0, 2, 2, 3, 0, 2147483647};
  for (size_t i = 0; i < std::size(in); ++i) EXPECT_EQ(Variant(in[i]).AsLong(), out[i]) << in[i];
  EXPECT_EQ(Variant(-2147483648.5).AsLong(), -2147483647 - 1);  // the even neighbour fits
  EXPECT_EQ(Variant("2.5").AsLong(), 2);
  EXPECT_EQ(Variant("3.5").AsLong(), 4);

  EXPECT_EQ(ErrorOf([] { Variant(2147483647.5).AsLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(-2147483649.0).AsLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { Variant("3000000000").AsLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(std::nan("")).AsLong(); }), kErrOverflow);

  EXPECT_EQ(Variant::FromInt64(5).Type(), VarType::kLong);
  EXPECT_EQ(Variant::FromInt64(-2147483648LL).Type(), VarType::kLong);
  EXPECT_EQ(Variant::FromInt64(3000000000LL).Type(), VarType::kDouble);
  EXPECT_DOUBLE_EQ(Variant::FromInt64(3000000000LL).AsDouble(), 3e9);
}

TEST(VariantTest, EmptyNullAndBooleans) {
  const Variant empty;
  EXPECT_EQ(empty.AsLong(), 0);
  EXPECT_EQ(empty.AsDouble(), 0);
  EXPECT_FALSE(empty.AsBool());
  EXPECT_EQ(empty.AsString(), "");
  EXPECT_EQ(empty.AsObject(), nullptr);

  const Variant null = Variant::Null();
  EXPECT_EQ(ErrorOf([&] { null.AsLong(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.AsDouble(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.AsBool(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.AsString(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.AsDate(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.AsObject(); }), kErrTypeMismatch);
  EXPECT_EQ(null.ToText(), "");
  EXPECT_EQ(empty.ToText(), "");
  EXPECT_EQ(ValueOr(null, 7).AsLong(), 7);
  EXPECT_EQ(ValueOr(empty, "x").AsString(), "x");
  EXPECT_EQ(ValueOr(0, 7).AsLong(), 0);

  EXPECT_EQ(Variant(true).AsLong(), -1);
  EXPECT_EQ(Variant(false).AsLong(), 0);
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).ToText(), "False");
  EXPECT_TRUE(Variant(" TRUE ").AsBool());
  EXPECT_FALSE(Variant("False").AsBool());
  EXPECT_FALSE(Variant("0").AsBool());
  EXPECT_TRUE(Variant("-1").AsBool());
  EXPECT_TRUE(Variant(0.5).AsBool());
  EXPECT_EQ(ErrorOf([] { Variant("yes").AsBool(); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant(std::make_shared<Object>()).AsLong(); }), kErrTypeMismatch);
}

TEST(VariantTest, DoublesPrintInShortestForm) {
  EXPECT_EQ(Variant(0.1).AsString(), "0.1");
  EXPECT_EQ(Variant(1234.5).AsString(), "1234.5");
  EXPECT_EQ(Variant(100.0).AsString(), "100");
  EXPECT_EQ(Variant(0.1 + 0.2).AsString(), "0.3");  // 15 digits hide the binary noise
  EXPECT_EQ(Variant(1.0 / 3).AsString(), "0.333333333333333");
  EXPECT_EQ(Variant(-0.0).AsString(), "0");
  EXPECT_EQ(Variant(123456789012345.0).AsString(), "123456789012345");
  EXPECT_EQ(Variant(1e15).AsString(), "1E+15");
  EXPECT_EQ(Variant(Date::FromParts(2024, 3, 10, 8, 30)).AsString(), "2024-03-10 08:30:00");
}

TEST(DateTest, SerialsFollowTheRuntimeEpoch) {
  EXPECT_EQ(Date::FromParts(1899, 12, 30).serial, 0);
  EXPECT_EQ(Date::FromParts(1899, 12, 31).serial, 1);
  EXPECT_EQ(Date::FromParts(1900, 1, 1).serial, 2);
  EXPECT_EQ(Date::FromParts(2024, 3, 10).serial, 45361);
  EXPECT_DOUBLE_EQ(Date::FromParts(2024, 3, 10, 18).serial, 45361.75);
  // Before the epoch the time still counts forward from the day's midnight.
  EXPECT_DOUBLE_EQ(Date::FromParts(1899, 12, 29, 6).serial, -1.25);
  EXPECT_EQ(Date{-1.25}.ToString(), "1899-12-29 06:00:00");

  // Every day from before the epoch to past 2100 reads back as itself, one serial apart.
  int y = 1899, m = 12, d = 1, hh = 0, mm = 0;
  double ss = 0, previous = Date::FromParts(1899, 11, 30).serial;
  for (int i = 0; i < 75000; ++i) {
    const Date date = Date::FromParts(y, m, d, 12, 0, 0);
    int ry, rm, rd;
    date.ToParts(&ry, &rm, &rd, &hh, &mm, &ss);
    ASSERT_EQ(std::vector<int>({ry, rm, rd, hh, mm}), std::vector<int>({y, m, d, 12, 0}))
        << "serial " << date.serial;
    ASSERT_DOUBLE_EQ(Date::FromParts(y, m, d).serial - previous, 1);
    previous = Date::FromParts(y, m, d).serial;
    Date next;
    ASSERT_TRUE(Date::Parse(date.ToString(), &next)) << date.ToString();
    ASSERT_EQ(next, date);
    // Advance to the next day by the calendar, independently of the serial arithmetic.
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int month_days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (++d > month_days[m - 1]) {
      d = 1;
      if (++m > 12) m = 1, ++y;
    }
  }
  EXPECT_GT(y, 2100);
}

TEST(DateTest, ParsesTheAcceptedFormsAndRejectsOthers) {
  EXPECT_EQ(Canonical("2024-03-10"), "2024-03-10 00:00:00.000");
  EXPECT_EQ(Canonical(" 2024-03-10 08:30 "), "2024-03-10 08:30:00.000");
  EXPECT_EQ(Canonical("2024/3/5 8:05:09"), "2024-03-05 08:05:09.000");
  EXPECT_EQ(Canonical("2024-03-10 08:30:15.25"), "2024-03-10 08:30:15.250");
  EXPECT_EQ(Canonical("2024-03-10T23:59:59.999"), "2024-03-10 23:59:59.999");
  EXPECT_EQ(Canonical("20240310"), "2024-03-10 00:00:00.000");
  EXPECT_EQ(Canonical("2000-02-29"), "2000-02-29 00:00:00.000");
  EXPECT_EQ(Canonical("2024-02-29"), "2024-02-29 00:00:00.000");
  for (const char* bad : {"1900-02-29", "2100-02-29", "2023-02-29", "2024-04-31", "2024-13-01",
                          "2024-00-10", "2024-03-10 24:00", "2024-03-10 08:60", "2024-03-10 08",
                          "2024-03/10", "24-03-10", "abc", "", "2024031", "2024-03-10x"}) {
    EXPECT_EQ(Canonical(bad), "not a date") << bad;
  }
}

TEST(DateTest, TextFormsRoundTimeConsistently) {
  EXPECT_EQ(Date::FromParts(2024, 3, 10).ToString(), "2024-03-10");
  EXPECT_EQ(Date::FromParts(2024, 3, 10, 0, 0, 1).ToString(), "2024-03-10 00:00:01");
  EXPECT_EQ(Date::FromParts(2024, 3, 10, 8, 30, 15.5).ToCanonical(), "2024-03-10 08:30:15.500");
  // A time a hair before midnight rounds into the next day, month and year alike.
  EXPECT_EQ(Date::FromParts(2023, 12, 31, 23, 59, 59.9996).ToCanonical(),
            "2024-01-01 00:00:00.000");
  EXPECT_EQ(Date::FromParts(2024, 2, 28, 23, 59, 59.9999).ToString(), "2024-02-29");
  EXPECT_EQ(Date::FromParts(2023, 2, 28, 23, 59, 59.9999).ToString(), "2023-03-01");
  int y, mo, d, h, mi;
  double s;
  Date::FromParts(2024, 3, 10, 8, 30, 15.25).ToParts(&y, &mo, &d, &h, &mi, &s);
  EXPECT_EQ(std::vector<int>({y, mo, d, h, mi}), std::vector<int>({2024, 3, 10, 8, 30}));
  EXPECT_DOUBLE_EQ(s, 15.25);
}

TEST(VariantTest, AsDateReadsTextAndSerials) {
  EXPECT_EQ(Variant("2024-03-10").AsDate().serial, 45361);
  EXPECT_DOUBLE_EQ(Variant("2024-03-10 18:00:00").AsDate().serial, 45361.75);
  EXPECT_EQ(Variant(int32_t{45361}).AsDate(), Date::FromParts(2024, 3, 10));
  EXPECT_EQ(Variant(45361.5).AsDate().ToString(), "2024-03-10 12:00:00");
  EXPECT_EQ(Variant("45361").AsDate().ToString(), "2024-03-10");
  EXPECT_EQ(Variant().AsDate().serial, 0);
  EXPECT_EQ(ErrorOf([] { Variant("next week").AsDate(); }), kErrTypeMismatch);
  EXPECT_EQ(Variant(Date::FromParts(2024, 3, 10)).AsLong(), 45361);

  // Outside the dates late binding holds (100-01-01 to 9999-12-31), and NaN, is a type mismatch
  // where a date is read, never a date far out of range whose text is garbage.
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
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

TEST(VariantTest, EqualityComparesNumbersAcrossKinds) {
  EXPECT_EQ(Variant(int32_t{1}), Variant(1.0));
  EXPECT_EQ(Variant(true), Variant(int32_t{-1}));
  EXPECT_NE(Variant(int32_t{1}), Variant(1.5));
  EXPECT_EQ(Variant("abc"), Variant(std::string("abc")));
  EXPECT_NE(Variant("abc"), Variant("ABC"));
  EXPECT_NE(Variant("1"), Variant(int32_t{1}));
  EXPECT_EQ(Variant(), Variant());
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_NE(Variant(), Variant::Null());
  EXPECT_NE(Variant(), Variant(int32_t{0}));
  EXPECT_EQ(Variant(Date::FromParts(2024, 3, 10)), Variant(Date{45361}));
  auto a = std::make_shared<Object>(), b = std::make_shared<Object>();
  EXPECT_EQ(Variant(a), Variant(a));
  EXPECT_NE(Variant(a), Variant(b));
  EXPECT_EQ(Variant(a).AsObject(), a);
}

// Quantities read from decimal(28,10) fields: exact where doubles are not, printed as a Double of
// the same value prints, and wide products kept to the last digit before rounding.
TEST(DecimalTest, ExactArithmeticTextAndConversions) {
  auto dec = [](const char* text) {
    Decimal d;
    EXPECT_TRUE(Decimal::Parse(text, &d)) << text;
    return d;
  };
  EXPECT_EQ(dec("0.7") + dec("0.1"), dec("0.8"));
  EXPECT_EQ(Variant(dec("0.1") + dec("0.2")), Variant(dec("0.3000000000")));
  EXPECT_EQ(dec("700.0000000000").ToString(), "700");
  EXPECT_EQ(dec("-0.50").ToString(), "-0.5");
  EXPECT_EQ(dec(".5").ToFixed(), "0.5");
  EXPECT_EQ(dec("1.5").ToFixed(), "1.5");
  EXPECT_EQ(Variant(dec("16.0000000000")).AsString(), "16");
  EXPECT_EQ(Variant(dec("2.5")).AsLong(), 2);  // half to even, as CLng
  EXPECT_EQ(Variant(dec("3.5")).AsLong(), 4);
  EXPECT_DOUBLE_EQ(Variant(dec("0.1")).AsDouble(), 0.1);
  EXPECT_EQ(Variant(0.1 + 0.2).AsDecimal(), dec("0.3"));  // 15 digits, as late binding converts
  Decimal d;
  EXPECT_FALSE(Decimal::Parse("1e3", &d));
  EXPECT_FALSE(Decimal::Parse("", &d));
  EXPECT_FALSE(Decimal::Parse("123456789012345678901234567890123456789", &d));  // 39 digits
  EXPECT_TRUE(Decimal::Parse("99999999999999999999999999999999999999", &d));    // 38 digits
  EXPECT_EQ(ErrorOf([&] { (void)(d + dec("1")); }), kErrOverflow);
  // 18 integral digits and 10 decimals times the same: 56 digits before rounding to 6.
  Decimal big = dec("123456789012345678.0123456789"), product;
  ASSERT_TRUE(Decimal::Multiply(big, dec("0.0000000001"), 6, &product));
  EXPECT_EQ(product.ToFixed(), "12345678.901235");
  ASSERT_TRUE(Decimal::Divide(dec("2"), dec("3"), 6, Decimal::Rounding::kTruncate, &product));
  EXPECT_EQ(product.ToFixed(), "0.666666");
  ASSERT_TRUE(dec("2.345").Rescale(2, Decimal::Rounding::kHalfAwayFromZero, &product));
  EXPECT_EQ(product.ToFixed(), "2.35");
  ASSERT_TRUE(dec("-2.345").Rescale(2, Decimal::Rounding::kHalfAwayFromZero, &product));
  EXPECT_EQ(product.ToFixed(), "-2.35");
  EXPECT_LT(dec("-99999999999999999999999999999999999999"), dec("0.00000000000000000001"));
  EXPECT_GT(dec("99999999999999999999999999999999999999"), dec("0.99999999999999999999"));
}

}  // namespace
}  // namespace corva
