// The shapes of caller text that rules splice into SQL: each check lets its shape through unchanged
// and refuses, with error 5 naming the argument, text that would change what the statement does.
#include "frame/caller_text.h"

#include <gtest/gtest.h>

#include <string>

#include "corva/error.h"

namespace corva::frame {
namespace {

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
