// The property-string module functions: the quick key scanner, the per-thread language parse, the
// edition prefix rule and GUID cleaning.
#include "frame/globals.h"

#include "base/late_binding.h"
#include "frame/parse.h"

namespace corva::frame {

std::string GetDsnValue(std::string_view sDsn, std::string_view key) {
  // The key is looked for as the text "key=" anywhere in the string, and the value runs to the
  // next ";" or the end; read in place, since every call reads its language and edition this way.
  // Every match ends at an "=", so the first match is found by trying the key before each "="
  // in turn.
  std::string_view value;
  size_t pos = std::string_view::npos;
  for (size_t eq = sDsn.find('='); eq != std::string_view::npos; eq = sDsn.find('=', eq + 1)) {
    if (eq >= key.size() && corva::IEquals(sDsn.substr(eq - key.size(), key.size()), key)) {
      pos = eq - key.size();
      break;
    }
  }
  if (pos != std::string_view::npos) {
    size_t begin = pos + key.size() + 1;
    size_t end = sDsn.find(';', pos);
    if (end == std::string_view::npos) end = sDsn.size();
    // When the key itself holds ";" the cut falls inside the pattern and the value is empty.
    if (end > begin) value = sDsn.substr(begin, end - begin);
  }
  if (value.find_first_not_of(' ') == std::string_view::npos) return "cht";
  return std::string(value);
}

std::string GetLanguageID(const std::string& sDsn) {
  thread_local CParse parse;
  try {
    parse.ParseString(sDsn);
    return parse.LanguageID();
  } catch (...) {
    return "chs";
  }
}

std::string GetEditionPrefix(std::string_view code) {
  return corva::IEquals(code, "QRA") ? "QRA_" : "";
}

std::string GetEditionName(std::string_view sDsn, std::string_view name) {
  std::string prefix = GetEditionPrefix(GetDsnValue(sDsn, "CorvaVersion"));
  if (!prefix.empty() && corva::IFind(name, prefix) == std::string_view::npos) {
    return prefix + std::string(name);
  }
  return std::string(name);
}

std::string StripGuidChars(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c != '-' && c != '{' && c != '}') result += c;
  }
  return result;
}

}  // namespace corva::frame
