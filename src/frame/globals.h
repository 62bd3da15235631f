// Module functions over the property string that the rules use without a CParse: single keys read
// straight from the text (language, edition), the edition prefix of the maker's component names,
// and the cleaning of GUID text for temporary table names.
#ifndef CORVA_FRAME_GLOBALS_H_
#define CORVA_FRAME_GLOBALS_H_

#include <string>
#include <string_view>

namespace corva::frame {

// The value of `key` in the property string, by a plain text scan that ignores braces: the first
// occurrence of key + "=" anywhere in the text (ignoring case, so also inside another value or at
// the end of a longer key) up to the next ";", untrimmed. "cht" when the key is absent or its value
// is blank, whatever the key. Never fails.
std::string GetDsnValue(std::string_view sDsn, std::string_view key);

// The "Language" of the property string read through this thread's CParse, or "chs" when the
// string cannot be read or has no "Language" key. Used by the synchronization class only; every
// other class reads the language with GetDsnValue (whose default is "cht").
std::string GetLanguageID(const std::string& sDsn);

// "QRA_" for the QRA edition's code (any letter case); the empty text for every other code.
std::string GetEditionPrefix(std::string_view code);

// `name` prefixed with the edition prefix of the string's "CorvaVersion", unless the prefix is
// empty or `name` already contains it (ignoring case): the QRA edition installs its own builds of
// the maker's components under prefixed ProgIDs.
std::string GetEditionName(std::string_view sDsn, std::string_view name);

// `text` without "-", "{" and "}": a GUID's text becomes a plain run of hexadecimal digits, fit for
// the name of a temporary table.
std::string StripGuidChars(std::string_view text);

}  // namespace corva::frame

#endif  // CORVA_FRAME_GLOBALS_H_
