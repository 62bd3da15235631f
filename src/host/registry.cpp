// The ProgID registry: one process-wide table of factories keyed by the case-folded ProgID.
// Registrations come from static registrars at load time and from hosts replacing components later,
// so the table is guarded by a reader-writer lock.
#include "host/registry.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "base/late_binding.h"
#include "corva/error.h"

namespace corva {
namespace host {
namespace {

struct Registry {
  std::shared_mutex mutex;
  std::unordered_map<std::string, ComponentFactory> factories;  // folded ProgID -> factory
  std::atomic<uint64_t> generation{0};
};

// Built on first use, so that registrars in other files may run before this file's statics.
Registry& TheRegistry() {
  static Registry* registry = new Registry();  // never destroyed: registrars may outlive statics
  return *registry;
}

}  // namespace

ComponentFactory FindComponentFactory(const std::string& progid) {
  Registry& registry = TheRegistry();
  std::string key = FoldCase(progid);
  std::shared_lock lock(registry.mutex);
  auto it = registry.factories.find(key);
  if (it == registry.factories.end() && IStartsWith(key, kEditionPrefix)) {
    it = registry.factories.find(key.substr(sizeof(kEditionPrefix) - 1));
  }
  return it == registry.factories.end() ? ComponentFactory() : it->second;
}

std::shared_ptr<Dispatch> CreateComponent(const std::string& progid) {
  ComponentFactory factory = FindComponentFactory(progid);
  std::shared_ptr<Dispatch> object = factory ? factory() : nullptr;
  if (!object) {
    Error plain = Error::Runtime(kErrCannotCreateObject);
    throw Error(kErrCannotCreateObject, plain.Source(), plain.Description() + ": " + progid);
  }
  return object;
}

uint64_t RegistryGeneration() { return TheRegistry().generation.load(std::memory_order_acquire); }

}  // namespace host

void RegisterComponent(const std::string& progid, ComponentFactory factory) {
  host::Registry& registry = host::TheRegistry();
  {
    std::unique_lock lock(registry.mutex);
    // An empty factory removes the registration (a plain default serves the name again).
    if (factory) {
      registry.factories[corva::FoldCase(progid)] = std::move(factory);
    } else {
      registry.factories.erase(corva::FoldCase(progid));
    }
  }
  registry.generation.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace corva
