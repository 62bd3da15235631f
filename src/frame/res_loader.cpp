// The default resource loader behind "CorvaResLoader.Loader": translations of the rules' messages
// from the catalogs compiled into the library. Messages are written in simplified Chinese and that
// text is the key, so "chs" (or any language without a catalog) gets the key back unchanged.
#include <string>

#include "base/late_binding.h"
#include "corva/dispatch.h"
#include "frame/catalog.h"
#include "host/registry.h"

namespace corva::frame {
namespace {

// Properties: ResFileBaseName (the resource file family; only one is compiled in, so it does not
// change the lookup) and LanguageID ("chs", "cht", "en"). Method: LoadString(key).
class ResLoader : public Dispatch {
 public:
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    if (IEquals(name, "LoadString")) {
      RequireArgs(args, 1, 1);
      return LoadString(args[0].AsString());
    }
    if (IEquals(name, "ResFileBaseName")) {
      RequireArgs(args, 0, 0);
      return res_file_base_name_;
    }
    if (IEquals(name, "LanguageID")) {
      RequireArgs(args, 0, 0);
      return language_;
    }
    throw NoSuchMethod(name);
  }

  void PutProperty(const std::string& name, std::vector<Variant>& args,
                   const Variant& value) override {
    RequireArgs(args, 0, 0);
    if (IEquals(name, "ResFileBaseName")) {
      res_file_base_name_ = value.AsString();
    } else if (IEquals(name, "LanguageID")) {
      language_ = value.AsString();
    } else {
      throw NoSuchMethod(name);
    }
  }

 private:
  // The translation of `key`, or the key itself when the language has no entry for it.
  std::string LoadString(const std::string& key) const {
    if (const std::string* translated = frame::LookupCatalog(language_, key)) return *translated;
    return key;
  }

  std::string res_file_base_name_;
  std::string language_ = "chs";
};

const host::ComponentRegistrar kResLoader("CorvaResLoader.Loader", host::FactoryOf<ResLoader>());

}  // namespace
}  // namespace corva::frame
