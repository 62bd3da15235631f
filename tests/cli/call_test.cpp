// corva call: the argument syntax it reads (and writes back), and the built program calling an
// operation on a sample database: its result, arguments, vote, SQL and exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "corva/connection.h"
#include "corva/containers.h"
#include "support/run_corva.h"
#include "support/test_db.h"

// The parser lives in the program, not the library; it is compiled into this test directly.
#include "../../tools/corva/value_syntax.cpp"  // NOLINT(build/include)

namespace corva::cli {
namespace {

namespace fs = std::filesystem;

std::string Syntax(const std::string& text) { return ToValueSyntax(ParseValue(text)); }

std::string SyntaxError(const std::string& text) {
  try {
    ParseValue(text);
  } catch (const ValueSyntaxError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(ValueSyntaxTest, Scalars) {
  EXPECT_EQ(ParseValue("701").Type(), VarType::kLong);
  EXPECT_EQ(ParseValue("-5").AsLong(), -5);
  EXPECT_EQ(ParseValue("5000000000").Type(), VarType::kDouble);  // beyond 32 bits
  EXPECT_EQ(ParseValue("1.5").AsDouble(), 1.5);
  EXPECT_EQ(ParseValue("2e3").AsDouble(), 2000);
  EXPECT_EQ(ParseValue("TRUE"), Variant(true));
  EXPECT_EQ(ParseValue("false").Type(), VarType::kBoolean);
  EXPECT_TRUE(ParseValue("Null").IsNull());
  for (const char* empty : {"", "-", "empty", "  "}) EXPECT_TRUE(ParseValue(empty).IsEmpty());
  EXPECT_EQ(ParseValue("date:2026-03-10 08:30").AsDate(), Date::FromParts(2026, 3, 10, 8, 30));
  // Quotes make text of what would read as something else; '' is one quote.
  EXPECT_EQ(ParseValue("'123'"), Variant("123"));
  EXPECT_EQ(ParseValue("'it''s, {x}'"), Variant("it's, {x}"));
  EXPECT_EQ(ParseValue("''"), Variant(""));
  // A whole argument that is a plain word is the text as it stands.
  EXPECT_EQ(ParseValue("select a, b from t where x='1'"),
            Variant("select a, b from t where x='1'"));
  EXPECT_EQ(ParseValue("1.2.3"), Variant("1.2.3"));
}

TEST(ValueSyntaxTest, NestedDictionariesAndVectors) {
  Variant save = ParseValue(
      "[{FInterID=2001, FBillNo='WB,01', FDate=date:2026-03-10, Lines=[1,,x y,{}]}, [] ]");
  auto vect = save.As<Vector>();
  ASSERT_NE(vect, nullptr);
  ASSERT_EQ(vect->Count(), 2);
  auto head = vect->Item(1).As<Dictionary>();
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->Count(), 4);
  EXPECT_EQ(head->Value("finterid"), Variant(2001));
  EXPECT_EQ(head->Value("FBillNo"), Variant("WB,01"));
  EXPECT_EQ(head->Value("FDate").AsDate(), Date::FromParts(2026, 3, 10));
  auto lines = head->Value("Lines").As<Vector>();
  ASSERT_NE(lines, nullptr);
  ASSERT_EQ(lines->Count(), 4);
  EXPECT_TRUE(lines->Item(2).IsEmpty());
  EXPECT_EQ(lines->Item(3), Variant("x y"));
  EXPECT_EQ(lines->Item(4).As<Dictionary>()->Count(), 0);
  EXPECT_EQ(vect->Item(2).As<Vector>()->Count(), 0);
  EXPECT_EQ(ToValueSyntax(save),
            "[{FInterID=2001,FBillNo='WB,01',FDate=date:2026-03-10,Lines=[1,empty,x y,{}]},[]]");
}

TEST(ValueSyntaxTest, ErrorsNameTheProblemAndWhere) {
  EXPECT_EQ(SyntaxError("{a='1' b=2}"), "expected ',' or '}' at character 8 of {a='1' b=2}");
  EXPECT_EQ(SyntaxError("{a=1,A=2}"), "key 'A' given twice at character 6 of {a=1,A=2}");
  EXPECT_EQ(SyntaxError("[1,'x]"), "unterminated quote at character 4 of [1,'x]");
  EXPECT_EQ(SyntaxError("{a}"), "expected '=' after key 'a' at character 3 of {a}");
  EXPECT_EQ(SyntaxError("[1] 2"), "unexpected text after the value at character 5 of [1] 2");
  EXPECT_NE(SyntaxError("[x{y}]").find("quote the text"), std::string::npos);
  EXPECT_NE(SyntaxError("date:2026-13-40").find("is not a date"), std::string::npos);
}

// What the program prints reads back as the same value, text that looks like something else
// included.
TEST(ValueSyntaxTest, WrittenValuesReadBack) {
  for (const char* text :
       {"8", "-", "empty", "null", "True", "a,b", "it's", " x", "date:x", "k=v", "[1]", ""}) {
    SCOPED_TRACE(text);
    Variant value{std::string(text)};
    EXPECT_EQ(ParseValue(ToValueSyntax(value)), value);
  }
  EXPECT_EQ(ToValueSyntax(Variant(2.0)), "2.0");
  EXPECT_EQ(ParseValue("2.0").Type(), VarType::kDouble);
  EXPECT_EQ(Syntax("{'a=b'=1,c='}'}"), "{'a=b'=1,c='}'}");
  EXPECT_EQ(Syntax("[null,-,FALSE,date:2026-03-10 08:30]"),
            "[null,empty,False,date:2026-03-10 08:30:00]");
}

using testing::ProgramRun;
using testing::RunCorva;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs corva with `arguments`: it must exit with `exit_code` and print each of `parts`.
void Expect(const std::string& arguments, int exit_code, std::initializer_list<const char*> parts) {
  ProgramRun run = RunCorva(arguments);
  EXPECT_EQ(run.exit_code, exit_code) << arguments << "\n" << run.output;
  for (const char* part : parts) EXPECT_TRUE(Has(run.output, part)) << part << "\n" << run.output;
}

TEST(CallCommandTest, CallsOperationsOnTheSampleFactory) {
  const fs::path folder = testing::test_db_internal::MakeTempFolder("corva_call_");
  const std::string db = (folder / "factory.db").string();
  ASSERT_EQ(RunCorva("init --sample " + db).exit_code, 0);
  std::string call = "call " + db + " CorvaMSHTransBills.clsPublic.";

  Expect(call + "GetHour 602", 0,
         {"result: 21\n", "    2  602\n", "vote: commit; the transaction was committed\n",
          "and  FWorkCenterID=602\n"});

  // An update rolled back on request, then one that fails and dooms the transaction: the
  // quantity stays as it was.
  Expect(call + "UpdateSql --rollback 'update ICMO set FQty=7'", 0, {"rolled back (--rollback)"});
  Expect(call + "UpdateSql 'update ICMO set FQty=FQty/0'", 0, {"vote: abort;", "error 8134"});
  Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + db);
  EXPECT_EQ(connection.Execute("select FQty from ICMO where FInterID=1001")->Fields(0).AsLong(),
            100);

  // A by-reference Dictionary the operation rewrites is marked and shown key by key; a False
  // result is no error.
  Expect(call + "CheckIsWorkDateEx \"'''2026-03-10'''\" 701 '{Old=1}' 2", 0,
         {"result: True\n", "*   4  Dictionary, 3 keys\n        Day = 2026-03-10\n"});
  Expect(call + "CheckIsWorkDateEx \"'''2026-03-10'''\" 0 {} 2", 0, {"result: False\n"});

  Expect(call + "NoSuchOperation", 1, {"corva call: error 438"});
  EXPECT_EQ(RunCorva(call + "GetHour").exit_code, 1);  // sDsn alone: wrong argument count
  EXPECT_EQ(RunCorva(call + "GetHour '{a=1'").exit_code, 2);

  // Arguments in brackets reach the value syntax whole: one SaveVect of one or two Dictionaries.
  Expect(
      "call --rollback " + db + " CorvaMSHTransBills.clsMWorkBill.EndSave [{FInterID=2001}] \"''\"",
      0, {"result: True\n", "2  Vector, 1 element\n"});
  ProgramRun two = RunCorva("call --rollback " + db +
                            " CorvaMSHTransBills.clsMWorkBill.BeginSave '[{a=1},{b=2}]' x");
  EXPECT_TRUE(Has(two.output, "2  Vector, 2 elements\n")) << two.output;

  // The property string goes where the operation declares it: second for GetBillNo.
  Expect("call --rollback " + db + " CorvaMSHTransBills.clsMTaskDispBill.GetBillNo 502 2 true", 0,
         {"    1  502\n    2  sDsn (the property string)\n    3  2\n", "set FCurNo=FCurNo+2 "});

  // The listing comes from the same tables that dispatch the calls.
  Expect("call --list CorvaMSHTransBills.clsMWorkBill", 0,
         {"  GetThisBillNo(sDsn As String, Optional ByRef LoopNum As Long = 0, "
          "Optional ByRef isSave As Boolean = False) As String\n"});
  EXPECT_TRUE(Has(RunCorva("call --list").output, "CorvaMSHTransBills.clsPublic\n"));
  EXPECT_EQ(RunCorva("call --list CorvaMSHTransBills.clsNothing").exit_code, 2);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace corva::cli
