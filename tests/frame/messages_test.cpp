// Localizing messages: blanks kept around the translation, the English blank modes, composed
// messages, placeholders filled after translation, the caller's pending error kept, and a loader
// that fails leaving the text as it is.
#include "frame/messages.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "corva/error.h"
#include "frame/catalog.h"
#include "frame/fake_loader.h"
#include "frame/pending_error.h"

namespace corva::frame {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() {
    loader_.state().texts[{"en", "工序"}] = "operation";
    loader_.state().texts[{"en", "第%1行的%2"}] = "%2 of row %1";
  }

  testing::FakeLoader loader_;
};

TEST_F(MessagesTest, KeepsBlanksAndAddsEnglishOnesByMode) {
  EXPECT_EQ(LoadResMsg("  工序 ", "en"), "  operation ");
  EXPECT_EQ(LoadResMsg("工序", "en", kBlankLeading), " operation");
  EXPECT_EQ(LoadResMsg("工序", "en", kBlankTrailing), "operation ");
  EXPECT_EQ(LoadResMsg("工序", "en", kBlankBoth), " operation ");
  EXPECT_EQ(LoadResMsg("  工序", "en", kBlankBoth), "  operation ");
  EXPECT_EQ(LoadResMsg("工序", "chs", kBlankBoth), "[chs]工序");  // blanks are for English only
  int32_t mode = kBlankBoth;                                      // the by-reference form
  EXPECT_EQ(LoadResMsg("工序", "en", mode), " operation ");
  EXPECT_EQ(mode, kBlankBoth);
  EXPECT_EQ(loader_.state().base_name, "CorvaManufacture");
}

TEST_F(MessagesTest, ComposedAndFormattedMessages) {
  EXPECT_EQ(LoadResMsg("行 3: ^|^~$~工序^|^ 超量", "en"), "行 3: operation 超量");
  EXPECT_EQ(LoadComposedMsg("~$~工序^|^~$~工序", "cht"), "[cht]工序[cht]工序");
  EXPECT_EQ(LoadComposedMsg("^|^", "en"), "");
  // Placeholders are filled after translation, in the translation's order.
  EXPECT_EQ(FormatResMsg("第%1行的%2", "en", {3, "工序"}), "工序 of row 3");
  EXPECT_EQ(FormatResMsg("第%1行的%2", "chs", {3, "工序"}), "[chs]第3行的工序");
}

TEST_F(MessagesTest, KeepsTheCallersPendingError) {
  PendingError::Raise(3604, "clsMWorkBill", "deadlock");
  EXPECT_EQ(LoadResMsg("工序", "en"), "operation");
  loader_.state().fail = true;
  EXPECT_EQ(LoadResMsg("工序", "en"), "工序");
  EXPECT_EQ(PendingError::Current().number, 3604);
  EXPECT_EQ(PendingError::Current().source, "clsMWorkBill");
  EXPECT_EQ(PendingError::Current().description, "deadlock");
  PendingError::Clear();
  LoadResMsg("工序", "en");
  EXPECT_FALSE(PendingError::IsSet());
}

TEST_F(MessagesTest, FailingLoaderLeavesTheTextUnchanged) {
  EXPECT_EQ(LoadResMsg("工序", "en"), "operation");
  loader_.state().fail = true;
  EXPECT_EQ(LoadResMsg(" 工序", "en", kBlankBoth), " 工序");
  // A composed message falls back segment by segment: the mark goes, the text stays.
  EXPECT_EQ(LoadResMsg("~$~工序^|^x", "en"), "工序x");
  // A loader that cannot be created at all.
  RegisterComponent("CorvaResLoader.Loader", []() -> std::shared_ptr<Dispatch> {
    throw Error(kErrCannotCreateObject, "test", "no loader");
  });
  EXPECT_EQ(LoadResMsg("工序 ", "en", kBlankBoth), "工序 ");
}

TEST(Messages, DefaultLoaderUsesTheCompiledCatalogs) {
  std::vector<std::string> keys = CatalogKeys("en");
  auto plain = std::find_if(keys.begin(), keys.end(), [](const std::string& k) {
    return !k.empty() && k.front() != ' ' && k.back() != ' ' && k.find("^|^") == k.npos;
  });
  ASSERT_NE(plain, keys.end());
  const std::string& key = *plain;
  EXPECT_EQ(LoadResMsg(key, "en"), *LookupCatalog("en", key));
  EXPECT_EQ(LoadResMsg(key, "chs"), key);
  EXPECT_EQ(LoadResMsg("", "en"), "");  // the frame relies on an empty text staying empty
}

}  // namespace
}  // namespace corva::frame
