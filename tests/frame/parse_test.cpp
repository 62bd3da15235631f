// The property string and other caller text: CParse's reading of pairs and braces, its errors, the
// quick scanners and name rules of the module functions, and the shapes of caller text that rules
// splice into SQL (each check lets its shape through unchanged and refuses, with error 5 naming
// the argument, text that would change what the statement does).
#include "frame/parse.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "corva/error.h"
#include "frame/caller_text.h"
#include "frame/globals.h"
#include "support/error_number.h"

namespace corva::frame {
namespace {

using testing::ErrorNumberOf;

TEST(CParse, ReadsPairsAndBracedValuesAndRaisesForBadKeys) {
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

  // Missing, repeated and non-numeric keys raise.
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

TEST(Globals, DsnValuesLanguageEditionNamesAndGuidText) {
  EXPECT_EQ(GetDsnValue("UserID=1", "Language"), "cht");
  EXPECT_EQ(GetDsnValue("Language=;UserID=1", "Language"), "cht");
  EXPECT_EQ(GetDsnValue("Language=  ;UserID=1", "Language"), "cht");
  EXPECT_EQ(GetDsnValue("UserID=1;language=en", "Language"), "en");
  EXPECT_EQ(GetDsnValue("Language= en ;", "Language"), " en ");  // not trimmed
  EXPECT_EQ(GetDsnValue("UserID=1", "CorvaVersion"), "cht");     // the default of every key
  // The first occurrence wins, even inside another value or at the end of a longer key.
  EXPECT_EQ(GetDsnValue("ConnectString={App Language=en};Language=cht", "Language"), "en}");
  EXPECT_EQ(GetDsnValue("MyLanguage=fr;Language=en", "Language"), "fr");

  // The language of the property string, simplified Chinese without one; per thread.
  EXPECT_EQ(GetLanguageID("ConnectString={a=1;b=2};Language=en"), "en");
  EXPECT_EQ(GetLanguageID("UserID=1"), "chs");
  EXPECT_EQ(GetLanguageID("Language=en;LANGUAGE=cht"), "chs");
  std::string other_thread;
  std::thread([&] { other_thread = GetLanguageID("Language=cht"); }).join();
  EXPECT_EQ(other_thread, "cht");
  EXPECT_EQ(GetLanguageID("Language=en"), "en");

  EXPECT_EQ(GetEditionPrefix("qra"), "QRA_");
  EXPECT_EQ(GetEditionPrefix("QRB"), "");
  EXPECT_EQ(GetEditionName("CorvaVersion=QRA;UserID=1", "CorvaMPlanCheckBill.CheckNow"),
            "QRA_CorvaMPlanCheckBill.CheckNow");
  EXPECT_EQ(GetEditionName("CorvaVersion=qra", "qra_DocStore.SysInfo"), "qra_DocStore.SysInfo");
  EXPECT_EQ(GetEditionName("CorvaVersion=QRC", "DocStore.SysInfo"), "DocStore.SysInfo");
  EXPECT_EQ(GetEditionName("UserID=1", "DocStore.SysInfo"), "DocStore.SysInfo");
  EXPECT_EQ(StripGuidChars("{1A2B-3C4D}"), "1A2B3C4D");
}

using Check = const std::string& (*)(std::string_view, const std::string&);

// True when `check` lets `text` through; a refusal must be error 5 naming the argument.
bool Passes(Check check, const std::string& text) {
  try {
    return &check("sArg", text) == &text;
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrInvalidProcedureCall) << text;
    EXPECT_NE(e.Description().find("sArg"), std::string::npos) << e.Description();
    return false;
  }
}

TEST(CallerTextTest, EachShapePassesItselfAndRefusesStatements) {
  const std::string injected = "1 UPDATE ICMaxNum SET FMaxNum = 7";
  for (const char* id : {"1001", " -5 ", "+7"}) EXPECT_TRUE(Passes(CheckIdText, id)) << id;
  for (const char* id : {"", " ", "1 +", "1,2", "0x10", "1e3", "1--", "'1'"}) {
    EXPECT_FALSE(Passes(CheckIdText, id)) << id;
  }
  EXPECT_FALSE(Passes(CheckIdText, injected));

  EXPECT_TRUE(Passes(CheckIdListText, "1001"));
  EXPECT_TRUE(Passes(CheckIdListText, "1, 2 ,3"));
  for (const char* list : {"", "1,", ",1", "1,,2", "1 2", "1,x", "1) OR (1=1"}) {
    EXPECT_FALSE(Passes(CheckIdListText, list)) << list;
  }

  for (const char* days : {"'2026-05-01'", " '2026-05-01' , '2026/05/04 08:00:00' "}) {
    EXPECT_TRUE(Passes(CheckDateListText, days)) << days;
  }
  for (const char* days :
       {"", "2026-05-01", "'2026-05-01',", "'2026-02-30'", "'x'", "'2026-05-01'--",
        "'2026-05-01') UPDATE ICMaxNum SET FMaxNum=7 --", "'2026-05-01' '2026-05-02'"}) {
    EXPECT_FALSE(Passes(CheckDateListText, days)) << days;
  }

  for (const char* name : {"#Detail", "dbo.t_Stock", "tempdb..[#My Table]", " [a]]b] ", "明细"}) {
    EXPECT_TRUE(Passes(CheckTableNameText, name)) << name;
  }
  for (const char* name :
       {"", "a b", "#t ON 1=1 UPDATE x SET y=1 --", "[", "[]", "a.", "t;", "t--", "(select 1)"}) {
    EXPECT_FALSE(Passes(CheckTableNameText, name)) << name;
  }

  for (const char* condition :
       {"", " AND ICBomChild.FEntryID = 2", "AND x IN (SELECT FItemID FROM t WHERE y='DROP;')",
        "AND [update] = 1 -- the rest\n", "AND /* a /* nested */ comment */ 1=1",
        "AND N'it''s' = x"}) {
    EXPECT_TRUE(Passes(CheckConditionText, condition)) << condition;
  }
  for (const char* condition :
       {"AND 1=1 UPDATE ICMaxNum SET FMaxNum = 7", "AND 1=1; SELECT 1", "AND 1=1 SELECT 1",
        "AND 1UPDATE t SET x=1", "AND x = 'open", "AND [x = 1", "AND (1=1", "AND 1=1)", "/* open",
        "AND 1=1 EXEC prc_x", "AND 1=1 dEcLaRe @a int"}) {
    EXPECT_FALSE(Passes(CheckConditionText, condition)) << condition;
  }

  EXPECT_TRUE(Passes(CheckQuotedText, "WIPDeductMode"));
  EXPECT_FALSE(Passes(CheckQuotedText, "S' OR '1'='1"));

  // A long text is cut in the message.
  try {
    CheckIdText("sInterID", std::string(500, 'x'));
  } catch (const Error& e) {
    EXPECT_LT(e.Description().size(), 200u);
  }
}

}  // namespace
}  // namespace corva::frame
