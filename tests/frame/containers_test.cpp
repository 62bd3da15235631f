// Vector, Dictionary, MsgFormatter and StringBuilder, reached directly and late-bound as outside
// components reach them.
#include "corva/containers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "corva/error.h"

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

std::vector<std::string> KeysOf(const Dictionary& d) {
  std::vector<std::string> keys;
  for (int32_t i = 1; i <= d.Count(); ++i) keys.push_back(d.Key(i));
  return keys;
}

using Keys = std::vector<std::string>;

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

  EXPECT_EQ(ErrorOf([&] { d.Add("fbillno", 1); }), kErrDuplicateKey);
  EXPECT_EQ(ErrorOf([&] { d.Key(0); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { d.Key(d.Count() + 1); }), kErrSubscriptOutOfRange);

  // Only ASCII letters fold; other UTF-8 text is compared byte for byte.
  d.SetValue("數量", 1);
  d.SetValue("É", 2);
  d.SetValue("é", 3);
  EXPECT_EQ(d.Value("數量").AsLong(), 1);
  EXPECT_EQ(d.Value("É").AsLong(), 2);
  EXPECT_EQ(d.Value("é").AsLong(), 3);
}

TEST(DictionaryTest, RemoveKeepsOrderAndLookupConsistent) {
  Dictionary d;
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
  EXPECT_EQ(d.Count(), 0);
  EXPECT_FALSE(d.Contains("c"));
  d.Add("c", 1);
  EXPECT_EQ(KeysOf(d), (Keys{"c"}));
}

TEST(DictionaryTest, LateBoundCalls) {
  auto d = MakeDictionary();
  std::vector<Variant> args{"FQty"};
  d->PutProperty("value", args, 12.5);  // property-let Value("FQty") = 12.5
  args = {"fqty"};
  EXPECT_EQ(d->Invoke("VALUE", args).AsDouble(), 12.5);
  args = {"FAbsent", -1};
  EXPECT_EQ(d->Invoke("GetValue", args).AsLong(), -1);
  args = {"FQty"};
  EXPECT_TRUE(d->Invoke("Exists", args).AsBool());
  args = {"FUnit", "kg"};
  d->Invoke("Add", args);
  EXPECT_EQ(ErrorOf([&] { d->Invoke("Add", args); }), kErrDuplicateKey);
  args = {};
  EXPECT_EQ(d->Invoke("Count", args).AsLong(), 2);
  auto keys = d->Invoke("Keys", args).As<Vector>();
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->Item(2).AsString(), "FUnit");
  args = {2};
  EXPECT_EQ(d->Invoke("Key", args).AsString(), "FUnit");
  args = {};
  d->Invoke("RemoveAll", args);
  EXPECT_EQ(d->Count(), 0);

  args = {};
  EXPECT_EQ(ErrorOf([&] { d->Invoke("Value", args); }), kErrWrongArgumentCount);
  args = {"a", "b", "c"};
  EXPECT_EQ(ErrorOf([&] { d->Invoke("GetValue", args); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorOf([&] { d->Invoke("Lookup", args); }), kErrNoSuchMethod);
  args = {"a"};
  EXPECT_EQ(ErrorOf([&] { d->PutProperty("Count", args, 1); }), kErrNoSuchMethod);
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
  EXPECT_EQ(ErrorOf([&] { save_vect->Item(0); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { save_vect->Item(3); }), kErrSubscriptOutOfRange);

  std::vector<Variant> args{"third"};
  save_vect->Invoke("add", args);
  args = {};
  EXPECT_EQ(save_vect->Invoke("COUNT", args).AsLong(), 3);
  args = {"3"};  // an index given as text converts
  EXPECT_EQ(save_vect->Invoke("Item", args).AsString(), "third");
  args = {2};
  save_vect->PutProperty("Item", args, 42);
  EXPECT_EQ(save_vect->Item(2).AsLong(), 42);
  args = {4};
  EXPECT_EQ(ErrorOf([&] { save_vect->PutProperty("Item", args, 1); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { save_vect->Invoke("Item", args); }), kErrSubscriptOutOfRange);
  args = {};
  EXPECT_EQ(ErrorOf([&] { save_vect->Invoke("Item", args); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorOf([&] { save_vect->Invoke("Remove", args); }), kErrNoSuchMethod);
}

TEST(MsgFormatterTest, FillsPlaceholdersInOnePass) {
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
}

TEST(MsgFormatterTest, LateBoundCalls) {
  auto f = std::make_shared<MsgFormatter>();
  auto values = MakeVector();
  values->Add("A");
  values->Add(2);
  std::vector<Variant> args{"%1-%2", values};
  EXPECT_EQ(f->Invoke("Format", args).AsString(), "A-2");
  args = {"%1-%2-%3", "x", "y", 3};
  EXPECT_EQ(f->Invoke("FORMAT", args).AsString(), "x-y-3");
  args = {Variant::Null(), 0};
  EXPECT_EQ(f->Invoke("ValueOrDefault", args).AsLong(), 0);
  args = {5, 0};
  EXPECT_EQ(f->Invoke("GetValueOrDefault", args).AsLong(), 5);
  args = {};
  EXPECT_EQ(ErrorOf([&] { f->Invoke("Format", args); }), kErrWrongArgumentCount);
  EXPECT_EQ(ErrorOf([&] { f->Invoke("Print", args); }), kErrNoSuchMethod);

  auto sb = std::make_shared<StringBuilder>();
  sb->Append("SELECT 1");
  args = {"\r\nUNION SELECT "};
  sb->Invoke("Append", args);
  args = {2};
  sb->Invoke("append", args);
  args = {};
  EXPECT_EQ(sb->Invoke("StringValue", args).AsString(), "SELECT 1\r\nUNION SELECT 2");
  EXPECT_EQ(ErrorOf([&] { sb->Invoke("ToString", args); }), kErrNoSuchMethod);
}

}  // namespace
}  // namespace corva
