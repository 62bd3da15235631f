// Localization of the rules' messages. Messages are written in simplified Chinese, and that text is
// the key of its translations; the resource loader ("CorvaResLoader.Loader") gives the text in the
// caller's language. Composed messages mix literal text with keys; placeholders "%1".."%n" are
// filled after translation, so every translation carries the same placeholders.
#ifndef CORVA_FRAME_MESSAGES_H_
#define CORVA_FRAME_MESSAGES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corva/variant.h"

namespace corva::frame {

// Blank modes of LoadResMsg for English, where a message joined to its neighbours needs a blank.
inline constexpr int32_t kBlankNone = 0;
inline constexpr int32_t kBlankLeading = 1;
inline constexpr int32_t kBlankTrailing = 2;
inline constexpr int32_t kBlankBoth = 3;

// Separator of the segments of a composed message, and the mark of a segment to be translated.
inline constexpr std::string_view kComposedSeparator = "^|^";
inline constexpr std::string_view kTranslateMark = "~$~";

// `msg` in language `lang` ("chs", "cht", "en"), through this thread's resource loader:
// - a text containing "^|^" is a composed message (LoadComposedMsg);
// - otherwise the spaces before and after the text are kept around the translation of the trimmed
//   text; for "en" only, `mode` adds one blank where there is none: kBlankLeading before,
//   kBlankTrailing after, kBlankBoth on both sides.
// Never fails: when the loader cannot be created or fails, `msg` comes back unchanged. The thread's
// pending error (PendingError) is the same after the call as before it. `mode` is not changed; the
// reference form serves callers that hold it in a variable.
std::string LoadResMsg(std::string_view msg, std::string_view lang, int32_t& mode);
std::string LoadResMsg(std::string_view msg, std::string_view lang, const int32_t& mode = 0);

// `msg` split at every "^|^": segments starting with "~$~" are translated (without the mark), the
// others kept as they are; joined without separators.
std::string LoadComposedMsg(std::string_view msg, std::string_view lang);

// LoadResMsg(msg, lang) with "%k" replaced by values[k-1] through this thread's MsgFormatter.
// Errors of the formatter reach the caller.
std::string FormatResMsg(std::string_view msg, std::string_view lang,
                         const std::vector<Variant>& values);

}  // namespace corva::frame

#endif  // CORVA_FRAME_MESSAGES_H_
