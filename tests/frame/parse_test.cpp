// The property string: CParse's reading of pairs and braces, its errors, and the quick scanners
// and name rules of the module functions.
#include "frame/parse.h"

#include <gtest/gtest.h>

#include <thread>

#include "corva/error.h"
#include "frame/globals.h"

namespace corva::frame {
namespace {

int32_t ErrorNumberOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(CParse, ReadsPairsAndBracedValues) {
  CParse parse;
  ASSERT_TRUE(parse.ParseString(
      "ConnectString={Provider=SQLite;Data Source=/tmp/f.db;}; UserName = Li  Ming ;"
      "UserID=16394;Language=en"));
  EXPECT_EQ(parse.Properties().size(), 4u);
  EXPECT_EQ(parse.ConStr(), "Provider=SQLite;Data Source=/tmp/f.db;");
  EXPECT_EQ(parse.GetProperty("username"), "Li  Ming");  // keys ignore case; inner blanks stay
  EXPECT_EQ(parse.UserID(), 16394);
  EXPECT_EQ(parse.LanguageID(), "en");

  // Text after a closing brace up to the next ";" is dropped.
  ASSERT_TRUE(parse.ParseString("K={ab}cd;L=1"));
  EXPECT_EQ(parse.GetProperty("K"), "ab");
  EXPECT_EQ(parse.GetProperty("L"), "1");
  // A trailing token without "=" is a key with an empty value; the next parse starts afresh.
  ASSERT_TRUE(parse.ParseString("A=1;B"));
  EXPECT_EQ(parse.GetProperty("B"), "");
  EXPECT_EQ(parse.Properties().size(), 2u);
  EXPECT_EQ(parse.PropsString(), "A=1;B");
  ASSERT_TRUE(parse.ParseString(""));
  EXPECT_TRUE(parse.Properties().empty());
  // An empty key ends the reading, whatever follows.
  ASSERT_TRUE(parse.ParseString("A=1;=2;C=3"));
  EXPECT_EQ(parse.Properties().size(), 1u);

  ASSERT_TRUE(parse.ParseString("AcctType= gy "));
  EXPECT_TRUE(parse.IsIndustry());
}

TEST(CParse, RaisesForMissingDuplicateAndNonNumericKeys) {
  CParse parse;
  parse.ParseString("UserName=li;UserID=abc;DBMS Name=Microsoft SQL Server");
  EXPECT_EQ(parse.ConDBMSName(), "Microsoft SQL Server");
  EXPECT_EQ(ErrorNumberOf([&] { parse.ConStr(); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { parse.ConDBMSVersion(); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { parse.IsIndustry(); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { parse.UserID(); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { parse.ParseString("Language=en;language=cht"); }),
            kErrDuplicateKey);
  EXPECT_EQ(ErrorNumberOf([&] { parse.ParseString("UserID=99999999999"); }), 0);
  EXPECT_EQ(ErrorNumberOf([&] { parse.UserID(); }), kErrOverflow);
}

TEST(Globals, GetDsnValueScansTheTextPlainly) {
  EXPECT_EQ(GetDsnValue("UserID=1", "Language"), "cht");
  EXPECT_EQ(GetDsnValue("Language=;UserID=1", "Language"), "cht");
  EXPECT_EQ(GetDsnValue("Language=  ;UserID=1", "Language"), "cht");
  EXPECT_EQ(GetDsnValue("UserID=1;language=en", "Language"), "en");
  EXPECT_EQ(GetDsnValue("Language= en ;", "Language"), " en ");  // not trimmed
  EXPECT_EQ(GetDsnValue("UserID=1", "CorvaVersion"), "cht");     // the default of every key
  // The first occurrence wins, even inside another value or at the end of a longer key.
  EXPECT_EQ(GetDsnValue("ConnectString={App Language=en};Language=cht", "Language"), "en}");
  EXPECT_EQ(GetDsnValue("MyLanguage=fr;Language=en", "Language"), "fr");
}

TEST(Globals, GetLanguageIdDefaultsToSimplifiedChinese) {
  EXPECT_EQ(GetLanguageID("ConnectString={a=1;b=2};Language=en"), "en");
  EXPECT_EQ(GetLanguageID("UserID=1"), "chs");
  EXPECT_EQ(GetLanguageID("Language=en;LANGUAGE=cht"), "chs");
  std::string other_thread;
  std::thread([&] { other_thread = GetLanguageID("Language=cht"); }).join();
  EXPECT_EQ(other_thread, "cht");
  EXPECT_EQ(GetLanguageID("Language=en"), "en");
}

TEST(Globals, EditionNamesAndGuidText) {
  EXPECT_EQ(GetEditionPrefix("qra"), "QRA_");
  EXPECT_EQ(GetEditionPrefix("QRB"), "");
  EXPECT_EQ(GetEditionName("CorvaVersion=QRA;UserID=1", "CorvaMPlanCheckBill.CheckNow"),
            "QRA_CorvaMPlanCheckBill.CheckNow");
  EXPECT_EQ(GetEditionName("CorvaVersion=qra", "qra_DocStore.SysInfo"), "qra_DocStore.SysInfo");
  EXPECT_EQ(GetEditionName("CorvaVersion=QRC", "DocStore.SysInfo"), "DocStore.SysInfo");
  EXPECT_EQ(GetEditionName("UserID=1", "DocStore.SysInfo"), "DocStore.SysInfo");
  EXPECT_EQ(StripGuidChars("{1A2B-3C4D}"), "1A2B3C4D");
}

}  // namespace
}  // namespace corva::frame
