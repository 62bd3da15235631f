// Recordset: walking the rows, reading fields, the equality filter and the errors a rule meets
// when it reads past the end or a closed result.
#include "corva/recordset.h"

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

// Routing lines of a work bill: operation number, item, quantity, note (Null when none), date.
Recordset RoutingLines() {
  return Recordset({"FEntryID", "FNumber", "FQty", "FNote", "FDate"},
                   {{1, "A.01", 10.0, "O'Brien", Date::FromParts(2024, 3, 10)},
                    {2, "a.01", 1.5, Variant::Null(), Date::FromParts(2024, 3, 11)},
                    {3, "B.02", 1.5, "", Date::FromParts(2024, 3, 10, 8, 30)},
                    {4, "12", 12.0, "x", Date::FromParts(2024, 3, 12)}});
}

// The FEntryID of each visible row, walking from the current position to the end.
std::vector<int32_t> Walk(Recordset& rs) {
  std::vector<int32_t> ids;
  while (!rs.Eof()) {
    ids.push_back(rs.Fields("FEntryID").AsLong());
    rs.MoveNext();
  }
  return ids;
}

using Ids = std::vector<int32_t>;

TEST(RecordsetTest, WalksRowsAndReadsFields) {
  Recordset rs = RoutingLines();
  EXPECT_TRUE(rs.IsOpen());
  EXPECT_FALSE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 4);
  EXPECT_EQ(rs.FieldCount(), 5);
  EXPECT_EQ(rs.FieldName(1), "FNumber");
  EXPECT_EQ(rs.Fields("fnumber").AsString(), "A.01");
  EXPECT_EQ(rs.Fields("FNUMBER").AsString(), rs.Fields(1).AsString());
  EXPECT_EQ(Walk(rs), (Ids{1, 2, 3, 4}));

  // At the end there is no current row; reading or moving on is error 3021.
  EXPECT_TRUE(rs.Eof());
  EXPECT_FALSE(rs.Bof());
  EXPECT_EQ(ErrorOf([&] { rs.Fields("FQty"); }), kErrBofOrEof);
  EXPECT_EQ(ErrorOf([&] { rs.Fields(0); }), kErrBofOrEof);
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), kErrBofOrEof);
  // An unknown field is 3265 whether or not there is a current row.
  EXPECT_EQ(ErrorOf([&] { rs.Fields("FMissing"); }), kErrItemNotFound);
  rs.MoveFirst();
  EXPECT_EQ(rs.Fields("FEntryID").AsLong(), 1);
  EXPECT_EQ(ErrorOf([&] { rs.Fields("FMissing"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.Fields(5); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.Fields(-1); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.FieldName(5); }), kErrItemNotFound);

  // Short rows are padded so that every column can be read.
  Recordset ragged({"A", "B"}, {{1}});
  EXPECT_TRUE(ragged.Fields("B").IsEmpty());
}

TEST(RecordsetTest, EmptyAndClosedRecordsets) {
  Recordset empty({"FEntryID"}, {});
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.Bof());
  EXPECT_EQ(empty.RecordCount(), 0);
  EXPECT_EQ(ErrorOf([&] { empty.Fields("FEntryID"); }), kErrBofOrEof);
  empty.MoveFirst();  // nothing to move to, and no error
  EXPECT_TRUE(empty.Eof());

  Recordset closed;  // what a statement without a result set gives
  EXPECT_FALSE(closed.IsOpen());
  EXPECT_EQ(closed.FieldCount(), 0);
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { closed.Eof(); }, [&] { closed.Bof(); }, [&] { closed.RecordCount(); },
           [&] { closed.Fields("x"); }, [&] { closed.Fields(0); }, [&] { closed.MoveNext(); },
           [&] { closed.MoveFirst(); }, [&] { closed.Filter(""); }}) {
    EXPECT_EQ(ErrorOf(call), kErrObjectClosed);
  }

  Recordset rs = RoutingLines();
  rs.Close();
  rs.Close();  // closing twice is harmless
  EXPECT_EQ(ErrorOf([&] { rs.Eof(); }), kErrObjectClosed);
  try {
    rs.Fields("FEntryID");
  } catch (const Error& e) {
    EXPECT_EQ(e.Source(), "ADODB.Recordset");
    EXPECT_STREQ(e.what(), "Operation is not allowed when the object is closed.");
  }
}

TEST(RecordsetTest, FilterPicksEqualRows) {
  Recordset rs = RoutingLines();
  const auto filtered = [&](const std::string& condition) {
    rs.Filter(condition);
    return Walk(rs);
  };
  // Text without regard to case; numbers as numbers, whichever way the literal is written.
  EXPECT_EQ(filtered("FNumber = 'a.01'"), (Ids{1, 2}));
  EXPECT_EQ(filtered("fentryid = 3"), (Ids{3}));
  EXPECT_EQ(filtered("FQty = 1.50"), (Ids{2, 3}));
  EXPECT_EQ(filtered("FQty = '1.5'"), (Ids{2, 3}));
  EXPECT_EQ(filtered("FNumber = 12"), (Ids{4}));
  EXPECT_EQ(filtered("FNumber = 12.0"), (Ids{4}));
  EXPECT_EQ(filtered("FDate = '2024-03-10'"), (Ids{1}));
  // Doubled quotes inside, blanks anywhere, AND in any case; a later filter replaces the earlier.
  EXPECT_EQ(filtered("FNote = 'o''brien'"), (Ids{1}));
  EXPECT_EQ(filtered("  FQty=1.5   and   [FNumber] = 'B.02'  "), (Ids{3}));
  EXPECT_EQ(filtered("FQty = 1.5 AND FEntryID = 2 AND FNumber = 'A.01'"), (Ids{2}));
  // Null meets nothing; an empty text meets only empty text.
  EXPECT_EQ(filtered("FNote = ''"), (Ids{3}));
  EXPECT_EQ(filtered("FQty = 99"), (Ids{}));
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_EQ(filtered(""), (Ids{1, 2, 3, 4}));

  // Filtering moves to the first visible row whatever row was current.
  rs.MoveFirst();
  rs.MoveNext();
  rs.MoveNext();
  rs.Filter("FNumber = 'A.01'");
  EXPECT_EQ(rs.Fields("FEntryID").AsLong(), 1);
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Rows().size(), 4u);
  rs.Filter("   ");
  EXPECT_EQ(rs.RecordCount(), 4);
}

TEST(RecordsetTest, FilterRefusesWhatItCannotRead) {
  Recordset rs = RoutingLines();
  for (const char* bad : {"FEntryID > 2", "FEntryID = 2 OR FEntryID = 3", "FNumber = 'A.01",
                          "FEntryID = abc", "FEntryID = 2 AND", "FEntryID = 2 ANDFQty = 1", "= 2",
                          "FEntryID 2", "FEntryID = ", "(FEntryID = 2)", "FEntryID = 2 FQty = 1"}) {
    EXPECT_EQ(ErrorOf([&] { rs.Filter(bad); }), kErrInvalidArguments) << bad;
  }
  EXPECT_EQ(ErrorOf([&] { rs.Filter("FMissing = 1"); }), kErrItemNotFound);
  // A refused filter leaves the earlier view alone.
  rs.Filter("FEntryID = 4");
  EXPECT_EQ(ErrorOf([&] { rs.Filter("FEntryID >= 4"); }), kErrInvalidArguments);
  EXPECT_EQ(rs.RecordCount(), 1);
}

}  // namespace
}  // namespace corva
