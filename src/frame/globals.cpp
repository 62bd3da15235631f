// The property-string module functions: the quick key scanner, the per-thread language parse, the
// edition prefix rule and GUID cleaning.
#include "frame/globals.h"

#include "base/late_binding.h"
#include "frame/parse.h"

namespace corva::frame {

std::string GetDsnValue(std::string_view sDsn, std::string_view key) {
  std::string text(sDsn);
  if (text.empty() || text.back() != ';') text += ';';
  std::string pattern = std::string(key) + "=";
  size_t pos = corva::IFind(text, pattern);
  std::string value;
  if (pos != std::string::npos) {
    size_t end = text.find(';', pos);  // always found: the text ends with ";"
    // When the key itself holds ";" the cut falls inside the pattern and the value is empty.
    size_t begin = pos + pattern.size();
    if (end > begin) value = text.substr(begin, end - begin);
  }
  if (value.find_first_not_of(' ') == std::string::npos) return "cht";
  return value;
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
