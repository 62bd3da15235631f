// The runtime's values as late binding sees them: conversions of Variant, the Date serial and its
// text forms, exact decimals and the runtime's error numbers; and the containers (Vector,
// Dictionary, MsgFormatter and StringBuilder), reached directly and late-bound as outside
// components reach them.
#include "corva/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/error.h"
#include "support/error_number.h"

namespace corva {
namespace {

using testing::ErrorNumberOf;

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
    EXPECT_EQ(ErrorNumberOf([&] { Variant(text).AsLong(); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([&] { Variant(text).AsDouble(); }), kErrTypeMismatch);
    EXPECT_FALSE(Variant(text).IsNumeric());
  }
  EXPECT_EQ(ErrorNumberOf([] { Variant("1e999").AsDouble(); }), kErrOverflow);

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

  EXPECT_EQ(ErrorNumberOf([] { Variant(2147483647.5).AsLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant(-2147483649.0).AsLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant("3000000000").AsLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant(std::nan("")).AsLong(); }), kErrOverflow);

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
  EXPECT_EQ(ErrorNumberOf([&] { null.AsLong(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { null.AsDouble(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { null.AsBool(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { null.AsString(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { null.AsDate(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { null.AsObject(); }), kErrTypeMismatch);
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
  EXPECT_EQ(ErrorNumberOf([] { Variant("yes").AsBool(); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { Variant(std::make_shared<Object>()).AsLong(); }), kErrTypeMismatch);
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

TEST(DateTest, ParsesTheAcceptedFormsRejectsOthersAndPrintsRounded) {
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

  // Printing rounds the time consistently.
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
  EXPECT_DOUBLE_EQ(s, 15.25);  // the loop of whole days checks the other parts
}

TEST(VariantTest, AsDateReadsTextAndSerials) {
  EXPECT_EQ(Variant("2024-03-10").AsDate().serial, 45361);
  EXPECT_DOUBLE_EQ(Variant("2024-03-10 18:00:00").AsDate().serial, 45361.75);
  EXPECT_EQ(Variant(int32_t{45361}).AsDate(), Date::FromParts(2024, 3, 10));
  EXPECT_EQ(Variant(45361.5).AsDate().ToString(), "2024-03-10 12:00:00");
  EXPECT_EQ(Variant("45361").AsDate().ToString(), "2024-03-10");
  EXPECT_EQ(Variant().AsDate().serial, 0);
  EXPECT_EQ(ErrorNumberOf([] { Variant("next week").AsDate(); }), kErrTypeMismatch);
  EXPECT_EQ(Variant(Date::FromParts(2024, 3, 10)).AsLong(), 45361);

  // Outside the dates late binding holds (100-01-01 to 9999-12-31), and NaN, is a type mismatch
  // where a date is read, never a date far out of range whose text is garbage.
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  for (Variant v :
       {Variant(1e300), Variant(-1e300), Variant(nan), Variant(inf), Variant(2958466.0),
        Variant(-657435.0), Variant("1e300"), Variant(Date{1e300}), Variant(Date{nan})}) {
    SCOPED_TRACE(v.Type() == VarType::kDate ? "a Date" : v.ToText());
    EXPECT_EQ(ErrorNumberOf([&] { v.AsDate(); }), kErrTypeMismatch);
  }
  EXPECT_EQ(ErrorNumberOf([] { Variant(Date{1e300}).AsString(); }), kErrTypeMismatch);
  EXPECT_EQ(Variant(2958465.5).AsDate().ToString(), "9999-12-31 12:00:00");
  EXPECT_EQ(ErrorNumberOf([] { Variant(-657434.5).AsDate().ToString(); }), 0);  // 100-01-01 12:00
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
  EXPECT_EQ(ErrorNumberOf([&] { (void)(d + dec("1")); }), kErrOverflow);
  // 18 integral digits and 10 decimals times the same: 56 digits before rounding to 6.
  Decimal big = dec("123456789012345678.0123456789"), product;
  ASSERT_TRUE(Decimal::Multiply(big, dec("0.0000000001"), 6, &product));
  EXPECT_EQ(product.ToFixed(), "12345678.901235");
  ASSERT_TRUE(Decimal::Divide(dec("2"), dec("3"), 6, Decimal::Rounding::kTruncate, &product));
  EXPECT_EQ(product.ToFixed(), "0.666666");
  EXPECT_LT(dec("-99999999999999999999999999999999999999"), dec("0.00000000000000000001"));
  EXPECT_GT(dec("99999999999999999999999999999999999999"), dec("0.99999999999999999999"));
}

std::vector<std::string> KeysOf(const Dictionary& d) {
  std::vector<std::string> keys;
  for (int32_t i = 1; i <= d.Count(); ++i) keys.push_back(d.Key(i));
  return keys;
}

using Keys = std::vector<std::string>;

// A late-bound call as outside components make it.
Variant Call(Dispatch& object, const char* name, std::vector<Variant> args = {}) {
  return object.Invoke(name, args);
}

TEST(DictionaryTest, KeepsInsertionOrderAndIgnoresCase) {
  Dictionary d;
  d.SetValue("FInterID", 1001);
  d.SetValue("FBillNo", "WB-7");
  d.SetValue("SaveRetCode", 0);
  EXPECT_EQ(KeysOf(d), (Keys{"FInterID", "FBillNo", "SaveRetCode"}));
  EXPECT_EQ(d.Value("finterid").AsLong(), 1001);
  EXPECT_TRUE(d.Contains("FBILLNO"));

  // Replacing under another spelling keeps the place and the first spelling.
  d.SetValue("FINTERID", 1002);
  EXPECT_EQ(KeysOf(d), (Keys{"FInterID", "FBillNo", "SaveRetCode"}));
  EXPECT_EQ(d.Value("FInterID").AsLong(), 1002);

  // Reading an absent key neither fails nor adds it.
  EXPECT_TRUE(d.Value("FStatus").IsEmpty());
  EXPECT_EQ(d.GetValue("FStatus", 5).AsLong(), 5);
  EXPECT_EQ(d.Count(), 3);
  d.SetValue("FNote", Variant::Null());
  EXPECT_TRUE(d.GetValue("FNote", "x").IsNull());

  EXPECT_EQ(ErrorNumberOf([&] { d.Add("fbillno", 1); }), kErrDuplicateKey);
  EXPECT_EQ(ErrorNumberOf([&] { d.Key(0); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { d.Key(d.Count() + 1); }), kErrSubscriptOutOfRange);

  // Only ASCII letters fold; other UTF-8 text is compared byte for byte.
  d.SetValue("數量", 1);
  d.SetValue("É", 2);
  d.SetValue("é", 3);
  EXPECT_EQ(d.Value("數量").AsLong(), 1);
  EXPECT_EQ(d.Value("É").AsLong(), 2);
  EXPECT_EQ(d.Value("é").AsLong(), 3);

  // Removing keeps the order and the lookup consistent.
  d.RemoveAll();
  for (const char* k : {"a", "B", "c", "D", "e"}) d.SetValue(k, std::string(k) + "!");
  d.Remove("b");
  d.Remove("a");   // first
  d.Remove("E");   // last
  d.Remove("zz");  // absent: nothing happens
  EXPECT_EQ(KeysOf(d), (Keys{"c", "D"}));
  EXPECT_EQ(d.Value("C").AsString(), "c!");
  EXPECT_EQ(d.Value("d").AsString(), "D!");
  EXPECT_FALSE(d.Contains("a"));

  d.SetValue("b", "again");
  d.SetValue("c", "changed");
  EXPECT_EQ(KeysOf(d), (Keys{"c", "D", "b"}));
  EXPECT_EQ(d.Value("c").AsString(), "changed");
  EXPECT_EQ(d.Value("B").AsString(), "again");

  d.RemoveAll();
  EXPECT_FALSE(d.Contains("c"));
  d.Add("c", 1);
  EXPECT_EQ(KeysOf(d), (Keys{"c"}));
}

TEST(DictionaryTest, LateBoundCalls) {
  auto d = MakeDictionary();
  std::vector<Variant> args{"FQty"};
  d->PutProperty("value", args, 12.5);  // property-let Value("FQty") = 12.5
  EXPECT_EQ(Call(*d, "VALUE", {"fqty"}).AsDouble(), 12.5);
  EXPECT_EQ(Call(*d, "GetValue", {"FAbsent", -1}).AsLong(), -1);
  EXPECT_TRUE(Call(*d, "Exists", {"FQty"}).AsBool());
  Call(*d, "Add", {"FUnit", "kg"});
  EXPECT_EQ(ErrorNumberOf([&] { Call(*d, "Add", {"FUnit", "kg"}); }), kErrDuplicateKey);
  EXPECT_EQ(Call(*d, "Count").AsLong(), 2);
  auto keys = Call(*d, "Keys").As<Vector>();
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->Item(2).AsString(), "FUnit");
  EXPECT_EQ(Call(*d, "Key", {2}).AsString(), "FUnit");
  Call(*d, "RemoveAll");
  EXPECT_EQ(d->Count(), 0);

  EXPECT_EQ(ErrorNumberOf([&] { Call(*d, "Value"); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*d, "GetValue", {"a", "b", "c"}); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*d, "Lookup", {"a"}); }), kErrNoSuchMethod);
  EXPECT_EQ(ErrorNumberOf([&] { d->PutProperty("Count", args, 1); }), kErrNoSuchMethod);
}

TEST(VectorTest, OneBasedItemsDirectAndLateBound) {
  // The shape of a saved bill: element 1 is the header dictionary.
  auto header = MakeDictionary();
  header->SetValue("FInterID", 7);
  auto save_vect = MakeVector();
  save_vect->Add(header);
  save_vect->Add("second");
  EXPECT_EQ(save_vect->Count(), 2);
  EXPECT_EQ(save_vect->Item(1).As<Dictionary>()->Value("FInterID").AsLong(), 7);
  EXPECT_EQ(ErrorNumberOf([&] { save_vect->Item(0); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { save_vect->Item(3); }), kErrSubscriptOutOfRange);

  Call(*save_vect, "add", {"third"});
  EXPECT_EQ(Call(*save_vect, "COUNT").AsLong(), 3);
  EXPECT_EQ(Call(*save_vect, "Item", {"3"}).AsString(), "third");  // a text index converts
  std::vector<Variant> args{2};
  save_vect->PutProperty("Item", args, 42);
  EXPECT_EQ(save_vect->Item(2).AsLong(), 42);
  args = {4};
  EXPECT_EQ(ErrorNumberOf([&] { save_vect->PutProperty("Item", args, 1); }),
            kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*save_vect, "Item", {4}); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*save_vect, "Item"); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*save_vect, "Remove"); }), kErrNoSuchMethod);
}

TEST(MsgFormatterTest, FillsPlaceholdersInOnePassDirectAndLateBound) {
  MsgFormatter f;
  EXPECT_EQ(f.Format("Entry %1 of bill %2", {3, "WB-7"}), "Entry 3 of bill WB-7");
  EXPECT_EQ(f.Format("%2, %1, %2", {"a", "b"}), "b, a, b");
  // A filled-in value is not scanned again.
  EXPECT_EQ(f.Format("%1 and %2", {"has %2", "x"}), "has %2 and x");
  EXPECT_EQ(f.Format("%1", {"%1%1"}), "%1%1");
  // Placeholders without a value stay; text percent signs stay.
  EXPECT_EQ(f.Format("%1 %3 %0 100% %", {"a"}), "a %3 %0 100% %");
  EXPECT_EQ(f.Format("%1", {}), "%1");
  // Null reads as empty text, numbers in their usual text.
  EXPECT_EQ(f.Format("[%1][%2][%3]", {Variant::Null(), 1.5, true}), "[][1.5][True]");

  std::vector<Variant> ten;
  for (int i = 1; i <= 10; ++i) ten.push_back("v" + std::to_string(i));
  EXPECT_EQ(f.Format("%10|%1|%1%", ten), "v10|v1|v1%");
  ten.pop_back();  // nine values: "%10" names no value
  EXPECT_EQ(f.Format("%10|%9", ten), "%10|v9");
  EXPECT_EQ(f.Format("%99999999999999999999999", ten), "%99999999999999999999999");

  // Late bound, with the values in a Vector or as further arguments.
  auto formatter = std::make_shared<MsgFormatter>();
  auto values = MakeVector();
  values->Add("A");
  values->Add(2);
  EXPECT_EQ(Call(*formatter, "Format", {"%1-%2", values}).AsString(), "A-2");
  EXPECT_EQ(Call(*formatter, "FORMAT", {"%1-%2-%3", "x", "y", 3}).AsString(), "x-y-3");
  EXPECT_EQ(Call(*formatter, "ValueOrDefault", {Variant::Null(), 0}).AsLong(), 0);
  EXPECT_EQ(Call(*formatter, "GetValueOrDefault", {5, 0}).AsLong(), 5);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*formatter, "Format"); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorNumberOf([&] { Call(*formatter, "Print"); }), kErrNoSuchMethod);

  auto sb = std::make_shared<StringBuilder>();
  sb->Append("SELECT 1");
  Call(*sb, "Append", {"\r\nUNION SELECT "});
  Call(*sb, "append", {2});
  EXPECT_EQ(Call(*sb, "StringValue").AsString(), "SELECT 1\r\nUNION SELECT 2");
  EXPECT_EQ(ErrorNumberOf([&] { Call(*sb, "ToString"); }), kErrNoSuchMethod);
}

}  // namespace
}  // namespace corva
