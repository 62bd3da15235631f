// Reading the property string: a small scanner over "key=value;" pairs with braced values, and the
// lookups the rest of the library makes through CParse.
#include "frame/parse.h"

#include "base/late_binding.h"
#include "corva/error.h"
#include "corva/variant.h"

namespace corva::frame {
namespace {

// Blanks are spaces only, as in the runtime's Trim.
std::string_view Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

// Splits `rest` at the first `separator`: returns the part before it and leaves the part after it
// in `rest`; without a separator the whole of `rest` is returned and `rest` becomes empty.
std::string_view SplitFirst(std::string_view& rest, char separator) {
  size_t pos = rest.find(separator);
  std::string_view head = rest.substr(0, pos);
  rest = pos == std::string_view::npos ? std::string_view() : rest.substr(pos + 1);
  return head;
}

}  // namespace

bool CParse::ParseString(const std::string& props_string) {
  m_PropsString = props_string;
  m_Props.clear();
  std::string_view rest = m_PropsString;
  for (;;) {
    std::string_view key = Trim(SplitFirst(rest, '='));
    rest = Trim(rest);
    std::string_view value;
    if (!rest.empty() && rest.front() == '{') {
      // A braced value ends at the first "}" (there is no escape for it); whatever follows up to
      // the next ";" is dropped.
      rest.remove_prefix(1);
      value = SplitFirst(rest, '}');
      SplitFirst(rest, ';');
    } else {
      value = SplitFirst(rest, ';');
    }
    if (key.empty()) return true;
    for (const auto& [k, v] : m_Props) {
      if (corva::IEquals(k, key)) {
        Error plain = Error::Runtime(kErrDuplicateKey);
        throw Error(
            kErrDuplicateKey, plain.Source(),
            plain.Description() + ": the property string repeats \"" + std::string(key) + "\"");
      }
    }
    m_Props.emplace_back(std::string(key), std::string(Trim(value)));
  }
}

const std::string& CParse::GetProperty(std::string_view name) const {
  for (const auto& [key, value] : m_Props) {
    if (corva::IEquals(key, name)) return value;
  }
  Error plain = Error::Runtime(kErrInvalidProcedureCall);
  throw Error(kErrInvalidProcedureCall, plain.Source(),
              plain.Description() + ": the property string has no \"" + std::string(name) + "\"");
}

int32_t CParse::UserID() const { return Variant(GetProperty("UserID")).AsLong(); }

bool CParse::IsIndustry() const { return corva::IEquals(GetProperty("AcctType"), "GY"); }

}  // namespace corva::frame
