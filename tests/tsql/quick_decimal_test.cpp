// The stack-only decimals of the engine's functions against corva::Decimal: wherever the quick
// path answers, it must give the text, rounding, precision check and order the general path gives,
// or a quantity would change depending on which path its row took.
#include "tsql/quick_decimal.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "corva/decimal.h"

namespace corva::tsql {
namespace {

std::string Print(const QuickDecimal& q) {
  char buf[kQuickTextSize];
  return std::string(buf, PrintQuick(q, buf));
}

QuickDecimal Quick(const std::string& text) {
  QuickDecimal q;
  EXPECT_TRUE(ParseQuick(text, &q)) << text;
  return q;
}

// "[-]digits[.digits]" with up to 17 digits on each side; fives and zeros are frequent, so that
// halves, carries and negative zeros come up.
std::string RandomText(std::mt19937& rng) {
  auto digit = [&] {
    int r = static_cast<int>(rng() % 14);
    return static_cast<char>('0' + (r >= 10 ? (r % 2 ? 5 : 0) : r));
  };
  std::string s = rng() % 2 ? "-" : "";
  int whole = 1 + static_cast<int>(rng() % 17), fraction = static_cast<int>(rng() % 18);
  for (int i = 0; i < whole; ++i) s += digit();
  if (fraction) s += '.';
  for (int i = 0; i < fraction; ++i) s += digit();
  return s;
}

TEST(QuickDecimalTest, AgreesWithDecimalWhereverItAnswers) {
  std::mt19937 rng(20240310);
  int multiplied = 0, rescaled = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string ta = RandomText(rng), tb = RandomText(rng);
    Decimal a, b;
    ASSERT_TRUE(Decimal::Parse(ta, &a) && Decimal::Parse(tb, &b));
    QuickDecimal qa = Quick(ta), qb = Quick(tb), q;
    ASSERT_EQ(Print(qa), a.ToFixed()) << ta;

    const int scale = static_cast<int>(rng() % 21), precision = 1 + static_cast<int>(rng() % 38);
    for (bool truncate : {false, true}) {
      Decimal d;
      auto mode = truncate ? Decimal::Rounding::kTruncate : Decimal::Rounding::kHalfAwayFromZero;
      if (RescaleQuick(qa, scale, truncate, &q)) {
        ASSERT_TRUE(a.Rescale(scale, mode, &d));
        ASSERT_EQ(Print(q), d.ToFixed()) << ta << " to scale " << scale;
        ASSERT_EQ(FitsQuick(q, precision), d.FitsPrecision(precision)) << d.ToFixed();
        ++rescaled;
      }
    }
    Decimal d;
    if (AddQuick(qa, qb, &q)) {
      ASSERT_TRUE(Decimal::Add(a, b, &d));
      ASSERT_EQ(Print(q), d.ToFixed()) << ta << " + " << tb;
    }
    if (MultiplyQuick(qa, qb, scale, &q)) {
      ASSERT_TRUE(Decimal::Multiply(a, b, scale, &d));
      ASSERT_EQ(Print(q), d.ToFixed()) << ta << " * " << tb << " at scale " << scale;
      ++multiplied;
    }
    int order;
    if (CompareQuick(qa, qb, &order)) {
      ASSERT_EQ(order, a.Compare(b)) << ta << " vs " << tb;
    }
  }
  EXPECT_GT(multiplied, 5000);  // the quick path must actually take the common cases
  EXPECT_GT(rescaled, 30000);
}

TEST(QuickDecimalTest, LeavesAnythingButPlainFixedTextToTheGeneralPath) {
  QuickDecimal q;
  for (const char* text : {"", "-", ".5", "5.", " 5", "5 ", "+5", "1e3", "1.2.3", "0x10", "--1",
                           "1234567890123456789012345678901234567"})
    EXPECT_FALSE(ParseQuick(text, &q)) << text;
  EXPECT_EQ(Print(Quick("-0.000")), "0.000");  // as Decimal prints a negative zero
  EXPECT_EQ(Print(Quick("0007.50")), "7.50");
  QuickDecimal half = Quick("-2.5"), r;
  ASSERT_TRUE(RescaleQuick(half, 0, false, &r));
  EXPECT_EQ(Print(r), "-3");
  // 10^37 at scale 0 cannot be brought to scale 1 within 38 digits: the general path decides.
  EXPECT_FALSE(RescaleQuick(
      QuickDecimal{Quick("10000000000000000000000000000000000").units * 1000, 0}, 1, false, &r));
}

}  // namespace
}  // namespace corva::tsql
