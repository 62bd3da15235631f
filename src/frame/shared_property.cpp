// The shared-property store: one registry of groups per process, one lock per group.
#include "frame/shared_property.h"

namespace corva::frame {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, SharedPropertyGroupPtr> groups;
};

// Never destroyed, so that objects released while the process exits still find their groups.
Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

}  // namespace

Variant SharedPropertyGroup::Value(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = by_name_.find(name);
  return it == by_name_.end() ? Variant() : it->second;
}

void SharedPropertyGroup::SetValue(const std::string& name, Variant value) {
  std::lock_guard<std::mutex> lock(mutex_);
  by_name_[name] = std::move(value);
}

Variant SharedPropertyGroup::ValueAt(int32_t position) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = by_position_.find(position);
  return it == by_position_.end() ? Variant() : it->second;
}

void SharedPropertyGroup::SetValueAt(int32_t position, Variant value) {
  std::lock_guard<std::mutex> lock(mutex_);
  by_position_[position] = std::move(value);
}

SharedPropertyGroupPtr CreatePropertyGroup(const std::string& name, bool* already_existed) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto [it, inserted] = registry.groups.try_emplace(name);
  if (inserted) it->second = std::make_shared<SharedPropertyGroup>(name);
  if (already_existed != nullptr) *already_existed = !inserted;
  return it->second;
}

}  // namespace corva::frame
