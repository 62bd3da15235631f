// Parses the compiled catalogs that the build embeds (GNU .mo images, see i18n/CMakeLists.txt) into
// one hash map per language, once per process, and answers lookups from them.
#include "frame/catalog.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace corva::frame {

// Defined in the sources generated from i18n/cht.po and i18n/en.po.
extern const unsigned char kCatalogMoCht[];
extern const std::size_t kCatalogMoChtSize;
extern const unsigned char kCatalogMoEn[];
extern const std::size_t kCatalogMoEnSize;

namespace {

// A .mo image starts with five 32-bit words: magic, revision, entry count, offset of the key
// table, offset of the translation table; each table holds a (length, offset) pair per entry.
constexpr uint32_t kMoMagic = 0x950412de;
constexpr std::size_t kCountField = 8;
constexpr std::size_t kKeyTableField = 12;
constexpr std::size_t kTextTableField = 16;

struct Catalog {
  std::unordered_map<std::string, std::string> entries;  // msgid (and trimmed msgid) -> msgstr
  std::vector<std::string> keys;                         // msgids as written
};

// A read-only view of a .mo image. Every offset is checked against the image's size, so a damaged
// image yields fewer entries rather than a read outside it.
class MoImage {
 public:
  MoImage(const unsigned char* data, std::size_t size) : data_(data), size_(size) {
    uint32_t magic = Word(0, false);
    swapped_ = magic != kMoMagic;
    valid_ = size_ >= 20 && (magic == kMoMagic || Word(0, true) == kMoMagic);
  }

  bool valid() const { return valid_; }
  uint32_t count() const { return Word(kCountField); }

  // The i-th string of the table whose offset is in header field `table_field`; false when the
  // entry lies outside the image.
  bool String(std::size_t table_field, uint32_t i, std::string_view* out) const {
    std::size_t entry = std::size_t{Word(table_field)} + std::size_t{i} * 8;
    if (entry + 8 > size_) return false;
    std::size_t length = Word(entry), offset = Word(entry + 4);
    if (offset > size_ || length > size_ - offset) return false;
    *out = std::string_view(reinterpret_cast<const char*>(data_) + offset, length);
    return true;
  }

 private:
  uint32_t Word(std::size_t at) const { return Word(at, swapped_); }
  uint32_t Word(std::size_t at, bool swapped) const {
    if (at + 4 > size_) return 0;
    uint32_t w;
    std::memcpy(&w, data_ + at, 4);
    return swapped ? __builtin_bswap32(w) : w;
  }

  const unsigned char* data_;
  std::size_t size_;
  bool swapped_ = false;
  bool valid_ = false;
};

// Takes up to `lead` blanks off the front and up to `trail` blanks off the back of `text`.
void StripBlanks(std::size_t lead, std::size_t trail, std::string* text) {
  std::size_t front = 0;
  while (front < lead && front < text->size() && (*text)[front] == ' ') ++front;
  text->erase(0, front);
  std::size_t back = 0;
  while (back < trail && back < text->size() && (*text)[text->size() - 1 - back] == ' ') ++back;
  text->resize(text->size() - back);
}

Catalog ParseCatalog(const unsigned char* data, std::size_t size) {
  Catalog catalog;
  MoImage image(data, size);
  if (!image.valid()) return catalog;
  for (uint32_t i = 0; i < image.count(); ++i) {
    std::string_view key, text;
    if (!image.String(kKeyTableField, i, &key) || !image.String(kTextTableField, i, &text)) {
      break;
    }
    if (key.empty()) continue;  // the header entry
    catalog.keys.emplace_back(key);
    catalog.entries.emplace(key, text);
  }
  // The message layer looks a text up without its outer blanks and puts them back itself: index
  // such keys trimmed too, with the same blanks taken off the translation where it has them.
  for (const std::string& key : catalog.keys) {
    std::size_t lead = key.find_first_not_of(' ');
    if (lead == std::string::npos) continue;
    std::size_t trail = key.size() - 1 - key.find_last_not_of(' ');
    if (lead == 0 && trail == 0) continue;
    std::string text = catalog.entries.at(key);
    StripBlanks(lead, trail, &text);
    catalog.entries.emplace(key.substr(lead, key.size() - lead - trail), std::move(text));
  }
  return catalog;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

const Catalog* FindCatalog(std::string_view language) {
  static const Catalog cht = ParseCatalog(kCatalogMoCht, kCatalogMoChtSize);
  static const Catalog en = ParseCatalog(kCatalogMoEn, kCatalogMoEnSize);
  if (EqualsNoCase(language, "cht")) return &cht;
  if (EqualsNoCase(language, "en")) return &en;
  return nullptr;
}

}  // namespace

const std::string* LookupCatalog(std::string_view language, std::string_view key) {
  const Catalog* catalog = FindCatalog(language);
  if (catalog == nullptr) return nullptr;
  auto it = catalog->entries.find(std::string(key));
  return it == catalog->entries.end() ? nullptr : &it->second;
}

std::vector<std::string> CatalogKeys(std::string_view language) {
  const Catalog* catalog = FindCatalog(language);
  return catalog == nullptr ? std::vector<std::string>() : catalog->keys;
}

}  // namespace corva::frame
