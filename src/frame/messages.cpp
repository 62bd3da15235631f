// Message localization through the per-thread resource loader, and placeholder filling through the
// per-thread message formatter.
#include "frame/messages.h"

#include <memory>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "frame/pending_error.h"
#include "host/registry.h"

namespace corva::frame {
namespace {

constexpr char kResLoaderProgId[] = "CorvaResLoader.Loader";
// The resource family of the shop-floor messages.
constexpr char kResFileBaseName[] = "CorvaManufacture";

// This thread's resource loader, created on first use. It is created again when the registry
// changed since, so that a loader a host registers later reaches every thread.
Dispatch& ThreadResLoader() {
  thread_local std::shared_ptr<Dispatch> loader;
  thread_local uint64_t generation = 0;
  uint64_t now = host::RegistryGeneration();
  if (!loader || generation != now) {
    loader.reset();
    loader = host::CreateComponent(kResLoaderProgId);  // plain: the loader takes no votes
    generation = now;
  }
  return *loader;
}

// Sets a loader property only when it differs, so that a run of messages in one language costs one
// LoadString each.
void EnsureProperty(Dispatch& loader, const char* name, std::string_view wanted) {
  std::vector<Variant> none;
  if (loader.Invoke(name, none).AsString() != wanted) {
    loader.PutProperty(name, none, std::string(wanted));
  }
}

std::string Translate(std::string_view msg, std::string_view lang, int32_t mode) {
  Dispatch& loader = ThreadResLoader();
  EnsureProperty(loader, "ResFileBaseName", kResFileBaseName);
  EnsureProperty(loader, "LanguageID", lang);
  if (msg.find(kComposedSeparator) != std::string_view::npos) return LoadComposedMsg(msg, lang);

  size_t begin = msg.find_first_not_of(' ');
  if (begin == std::string_view::npos) begin = msg.size();
  size_t end = msg.find_last_not_of(' ');
  end = end == std::string_view::npos ? begin : end + 1;
  std::string leading(msg.substr(0, begin));
  std::string trailing(msg.substr(end));
  if (lang == "en") {
    if ((mode == kBlankLeading || mode == kBlankBoth) && leading.empty()) leading = " ";
    if ((mode == kBlankTrailing || mode == kBlankBoth) && trailing.empty()) trailing = " ";
  }
  std::vector<Variant> args{std::string(msg.substr(begin, end - begin))};
  return leading + loader.Invoke("LoadString", args).AsString() + trailing;
}

}  // namespace

std::string LoadResMsg(std::string_view msg, std::string_view lang, const int32_t& mode) {
  PendingErrorKeeper keep;  // the caller may be handling an error of its own
  try {
    return Translate(msg, lang, mode);
  } catch (...) {
    // Localization never fails: the text in the rules' own language is the answer.
    return std::string(msg);
  }
}

std::string LoadResMsg(std::string_view msg, std::string_view lang, int32_t& mode) {
  return LoadResMsg(msg, lang, static_cast<const int32_t&>(mode));
}

std::string LoadComposedMsg(std::string_view msg, std::string_view lang) {
  std::string result;
  for (;;) {
    size_t pos = msg.find(kComposedSeparator);
    std::string_view segment = msg.substr(0, pos);
    if (segment.substr(0, kTranslateMark.size()) == kTranslateMark) {
      result += LoadResMsg(segment.substr(kTranslateMark.size()), lang, kBlankNone);
    } else {
      result += segment;
    }
    if (pos == std::string_view::npos) return result;
    msg.remove_prefix(pos + kComposedSeparator.size());
  }
}

std::string FormatResMsg(std::string_view msg, std::string_view lang,
                         const std::vector<Variant>& values) {
  thread_local MsgFormatter formatter;
  return formatter.Format(LoadResMsg(msg, lang, kBlankNone), values);
}

}  // namespace corva::frame
