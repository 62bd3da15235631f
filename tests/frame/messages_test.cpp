// Messages: the compiled catalogs (both languages translate, every translation keeps the
// placeholders of its key, and every Chinese text in the library's sources has an entry in each
// catalog, the check that fails when a rule's message was added without its translations), and
// localizing through the loader: blanks kept around the translation, the English blank modes,
// composed messages, placeholders filled after translation, the caller's pending error kept, and a
// loader that fails leaving the text as it is.
#include "frame/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "corva/error.h"
#include "frame/catalog.h"
#include "frame/fake_loader.h"
#include "frame/pending_error.h"

namespace corva::frame {
namespace {

const char* const kLanguages[] = {"cht", "en"};
constexpr auto npos = std::string::npos;

// The placeholders %1..%n of a text.
std::set<std::string> Placeholders(const std::string& text) {
  std::set<std::string> found;
  for (std::size_t at = text.find('%'); at != npos; at = text.find('%', at + 1)) {
    std::size_t end = at + 1;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end > at + 1) found.insert(text.substr(at, end - at));
  }
  return found;
}

// True when `text` (UTF-8) holds a CJK ideograph or CJK / full-width punctuation; all of them are
// three-byte sequences.
bool HasChinese(std::string_view text) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if ((b(0) & 0xF0) != 0xE0) continue;
    unsigned cp = ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
    if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xFF00 && cp <= 0xFFEF) ||
        (cp >= 0x3000 && cp <= 0x303F)) {
      return true;
    }
  }
  return false;
}

// The string literals of a C++ source, adjacent ones joined as the compiler joins them
// (clang-format splits long messages), with \" \\ \n \r \t decoded. Comments, character literals
// and raw strings are skipped; a quote right after a digit is a digit separator, not a character
// literal.
std::vector<std::string> StringLiterals(const std::string& src) {
  std::vector<std::string> literals;
  bool joins = false;  // only blanks and comments since the last literal
  for (std::size_t i = 0; i < src.size(); ++i) {
    char c = src[i];
    if (src.compare(i, 2, "//") == 0) {
      if ((i = src.find('\n', i)) == npos) break;
    } else if (src.compare(i, 2, "/*") == 0) {
      if ((i = src.find("*/", i + 2)) == npos) break;
      ++i;
    } else if (c == '"' && i > 0 && src[i - 1] == 'R') {
      std::size_t open = src.find('(', i);
      if (open == npos) break;
      std::string close = ")" + src.substr(i + 1, open - i - 1) + "\"";
      if ((i = src.find(close, open)) == npos) break;
      i += close.size() - 1;
      joins = false;
    } else if (c == '"') {
      std::string text;
      for (++i; i < src.size() && src[i] != '"'; ++i) {
        char e = src[i];
        if (e == '\\' && i + 1 < src.size()) {
          e = src[++i];
          e = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
        text += e;
      }
      if (joins) {
        literals.back() += text;
      } else {
        literals.push_back(text);
      }
      joins = true;
    } else if (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(src[i - 1])))) {
      for (++i; i < src.size() && src[i] != '\''; ++i) {
        if (src[i] == '\\') ++i;
      }
      joins = false;
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      joins = false;
    }
  }
  return literals;
}

// What the message layer will look up for a literal. Chinese in an SQL comment ("--" to the end of
// the line) is no message. Chinese inside a quoted SQL text (`'产品入库单' as FCaption`) is a
// caption that the rule reads back and translates, so the quoted text is the key. Otherwise the
// literal is, without its outer blanks, as the lookup trims them.
std::vector<std::string> MessageKeys(std::string literal) {
  for (std::size_t dash; (dash = literal.find("--")) != npos;) {
    std::size_t end = literal.find('\n', dash);
    literal.erase(dash, end == npos ? npos : end - dash);
  }
  if (!HasChinese(literal)) return {};
  std::vector<std::string> keys;
  for (std::size_t open = literal.find('\''), close; open != npos;
       open = literal.find('\'', close + 1)) {
    if ((close = literal.find('\'', open + 1)) == npos) break;
    std::string quoted = literal.substr(open + 1, close - open - 1);
    if (HasChinese(quoted)) keys.push_back(quoted);
  }
  if (keys.empty()) {
    std::size_t first = literal.find_first_not_of(' ');
    keys.push_back(literal.substr(first, literal.find_last_not_of(' ') - first + 1));
  }
  return keys;
}

TEST(CatalogTest, TranslatesKnownTextsAndAgreesOnKeysAndPlaceholders) {
  EXPECT_EQ(*LookupCatalog("CHT", "审核"), "審核");  // the language's name in any case

  // A key with outer blanks answers as written and trimmed; the trimmed form loses the blanks.
  EXPECT_EQ(*LookupCatalog("cht", "]删除成功. "), "]刪除成功. ");
  EXPECT_EQ(*LookupCatalog("cht", "]删除成功."), "]刪除成功.");
  EXPECT_EQ(*LookupCatalog("en", " ]已经"), " ] has already undergone ");
  EXPECT_EQ(*LookupCatalog("En", "]已经"), "] has already undergone ");

  EXPECT_EQ(LookupCatalog("chs", "审核"), nullptr);  // the key is the simplified text itself
  EXPECT_EQ(LookupCatalog("cht", "no such message"), nullptr);

  // Both catalogs hold the same keys, and every translation keeps its key's placeholders.
  std::vector<std::string> cht = CatalogKeys("cht"), en = CatalogKeys("en");
  ASSERT_GT(cht.size(), 100u);
  std::sort(cht.begin(), cht.end());
  std::sort(en.begin(), en.end());
  EXPECT_EQ(cht, en);
  EXPECT_TRUE(CatalogKeys("chs").empty());
  for (const char* language : kLanguages) {
    for (const std::string& key : CatalogKeys(language)) {
      const std::string* text = LookupCatalog(language, key);
      ASSERT_NE(text, nullptr) << language << ": " << key;
      EXPECT_EQ(Placeholders(key), Placeholders(*text)) << language << ": " << key;
      if (std::string_view(language) == "en") {
        EXPECT_FALSE(HasChinese(*text)) << key;
      }
    }
  }
}

TEST(CatalogTest, EveryChineseTextOfTheSourcesIsInEveryCatalog) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(CORVA_SOURCE_DIR) / "src";
  std::string missing;
  std::set<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const fs::path relative = entry.path().lexically_relative(root);
    if (relative.extension() != ".cpp" && relative.extension() != ".h") continue;
    if (relative == fs::path("frame/catalog.cpp")) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    for (const std::string& literal : StringLiterals(text.str())) {
      for (const std::string& key : MessageKeys(literal)) {
        found.insert(key);
        for (const char* language : kLanguages) {
          if (LookupCatalog(language, key) == nullptr) {
            missing += "\n  " + relative.string() + " [" + language + "]: \"" + key + "\"";
          }
        }
      }
    }
  }
  EXPECT_TRUE(missing.empty()) << "texts without a catalog entry:" << missing;
  // A scan that misses messages would pass vacuously: it must find the rules' messages, among
  // them one that clang-format split into adjacent literals, read joined as the compiler does.
  EXPECT_GT(found.size(), 40u);
  EXPECT_TRUE(found.count("因为单据尚未审核！"));
  EXPECT_TRUE(found.count(
      "你不能审核该单据，因为你与制单人是同一人，如果要获得本项权利，请修改相应的系统参数。"));
}

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() {
    loader_.state().texts[{"en", "工序"}] = "operation";
    loader_.state().texts[{"en", "第%1行的%2"}] = "%2 of row %1";
  }

  testing::FakeLoader loader_;
};

TEST_F(MessagesTest, BlankModesComposedAndFormattedMessages) {
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

  // Composed messages translate their marked segments only.
  EXPECT_EQ(LoadResMsg("行 3: ^|^~$~工序^|^ 超量", "en"), "行 3: operation 超量");
  EXPECT_EQ(LoadComposedMsg("~$~工序^|^~$~工序", "cht"), "[cht]工序[cht]工序");
  EXPECT_EQ(LoadComposedMsg("^|^", "en"), "");
  // Placeholders are filled after translation, in the translation's order.
  EXPECT_EQ(FormatResMsg("第%1行的%2", "en", {3, "工序"}), "工序 of row 3");
  EXPECT_EQ(FormatResMsg("第%1行的%2", "chs", {3, "工序"}), "[chs]第3行的工序");
}

// A failing loader leaves the text unchanged, and the caller's pending error survives the lookup.
TEST_F(MessagesTest, FailingLoaderLeavesTheTextAndThePendingError) {
  PendingError::Raise(3604, "clsMWorkBill", "deadlock");
  EXPECT_EQ(LoadResMsg("工序", "en"), "operation");
  loader_.state().fail = true;
  EXPECT_EQ(LoadResMsg(" 工序", "en", kBlankBoth), " 工序");
  EXPECT_EQ(PendingError::Current().number, 3604);
  EXPECT_EQ(PendingError::Current().source, "clsMWorkBill");
  EXPECT_EQ(PendingError::Current().description, "deadlock");
  PendingError::Clear();
  LoadResMsg("工序", "en");
  EXPECT_FALSE(PendingError::IsSet());
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
