// The ProgID registry behind CreateObject: factories by name (without regard to case), the edition
// rule for prefixed names, and the helpers the library's own classes use to register themselves
// from their .cpp files.
#ifndef CORVA_HOST_REGISTRY_H_
#define CORVA_HOST_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <string>

#include "corva/dispatch.h"
#include "corva/host.h"

namespace corva::host {

// The edition prefix of the QRA edition's builds of the maker's components
// ("QRA_CorvaMPlanCheck..").
inline constexpr const char kEditionPrefix[] = "QRA_";

// The factory that serves `progid`, or an empty function. A name registered exactly wins; a name
// with the edition prefix that is not registered falls back to the plain name's factory.
// Thread-safe.
ComponentFactory FindComponentFactory(const std::string& progid);

// Creates the component registered under `progid` by calling its factory, without the vote proxy
// that CreateObject adds: for per-thread helpers of the library (the resource loader) that take no
// part in transactions. Throws corva::Error 429 for an unknown ProgID or a factory giving nothing.
std::shared_ptr<Dispatch> CreateComponent(const std::string& progid);

// Counts registrations: a per-thread cache of a component compares it with the value it saw when it
// created the component, so that a component a host replaced is re-created on every thread.
uint64_t RegistryGeneration();

// Registers a factory at load time; place one at namespace scope in the class's own .cpp file:
//   const host::ComponentRegistrar kRegistrar("CorvaMSHTransBills.clsMWorkBill",
//                                             host::FactoryOf<clsMWorkBill>());
class ComponentRegistrar {
 public:
  ComponentRegistrar(const std::string& progid, ComponentFactory factory) {
    RegisterComponent(progid, std::move(factory));
  }
};

template <typename T>
ComponentFactory FactoryOf() {
  return [] { return std::static_pointer_cast<Dispatch>(std::make_shared<T>()); };
}

// The object behind a proxy that CreateObject or CreateInstance returned (the object itself when it
// is not such a proxy). For the rare caller that needs the typed class behind a late-bound object.
std::shared_ptr<Dispatch> Unwrap(const std::shared_ptr<Dispatch>& object);

}  // namespace corva::host

#endif  // CORVA_HOST_REGISTRY_H_
