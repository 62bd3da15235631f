// Lookup over the message catalogs that the build compiles into the library (i18n/*.po). The key of
// every entry is the simplified-Chinese text the rules are written with; "cht" and "en" have
// catalogs, "chs" has none because the key is already the text.
#ifndef CORVA_FRAME_CATALOG_H_
#define CORVA_FRAME_CATALOG_H_

#include <string>
#include <string_view>
#include <vector>

namespace corva::frame {

// Returns the translation of `key` in `language` ("cht" or "en", compared without regard to case),
// or nullptr when the language has no catalog or the key is absent. A catalog entry whose key has
// leading or trailing blanks is also found under the trimmed key; the translation then comes
// without those blanks, since the message layer puts the caller's own blanks back around it.
// The catalogs are parsed on first use (thread-safe) and live until the process ends, so the
// pointer stays valid.
const std::string* LookupCatalog(std::string_view language, std::string_view key);

// All keys of one language's catalog as written there (no trimmed duplicates, no header entry), in
// no particular order; empty for a language without a catalog.
std::vector<std::string> CatalogKeys(std::string_view language);

}  // namespace corva::frame

#endif  // CORVA_FRAME_CATALOG_H_
