// A resource loader for the frame's tests, registered as "CorvaResLoader.Loader" while a
// FakeLoader object lives: translations come from a small table per language, and a text without
// one comes back marked with the language ("[en]text") so that tests see what was localized.
#ifndef CORVA_TESTS_FRAME_FAKE_LOADER_H_
#define CORVA_TESTS_FRAME_FAKE_LOADER_H_

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "base/late_binding.h"
#include "corva/dispatch.h"
#include "corva/error.h"
#include "frame/pending_error.h"
#include "host/fakes.h"

namespace corva::testing {

class FakeLoader {
 public:
  struct State {
    std::map<std::pair<std::string, std::string>, std::string> texts;  // (language, key) -> text
    std::string language, base_name;
    bool fail = false;  // LoadString fails (after leaving a pending error of its own)
  };

  FakeLoader() {
    RegisterComponent("CorvaResLoader.Loader",
                      [this] { return std::make_shared<Loader>(&state_); });
  }
  State& state() { return state_; }

 private:
  class Loader : public Dispatch {
   public:
    explicit Loader(State* state) : state_(state) {}
    Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
      if (corva::IEquals(name, "LanguageID")) return state_->language;
      if (corva::IEquals(name, "ResFileBaseName")) return state_->base_name;
      frame::PendingError::Raise(9, "FakeLoader", "clobbered");
      if (state_->fail) throw Error(-1, "FakeLoader", "resource file missing");
      std::string key = args.at(0).AsString();
      auto it = state_->texts.find({state_->language, key});
      if (it != state_->texts.end()) return it->second;
      return key.empty() ? key : "[" + state_->language + "]" + key;
    }
    void PutProperty(const std::string& name, std::vector<Variant>&,
                     const Variant& value) override {
      (corva::IEquals(name, "LanguageID") ? state_->language : state_->base_name) =
          value.AsString();
    }

   private:
    State* state_;
  };

  RegistrationGuard guard_{"CorvaResLoader.Loader"};
  State state_;
};

}  // namespace corva::testing

#endif  // CORVA_TESTS_FRAME_FAKE_LOADER_H_
