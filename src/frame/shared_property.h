// The process-wide shared-property store: named groups of named (or numbered) values that every
// object and thread of the process sees, kept until the process ends. The data source caches its
// provider facts and column-type rows here so that they are read from the database once.
#ifndef CORVA_FRAME_SHARED_PROPERTY_H_
#define CORVA_FRAME_SHARED_PROPERTY_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "corva/variant.h"

namespace corva::frame {

// One group. Each read or write of one property is atomic (a lock per group held for that one
// access only), so a reader never sees half a value; a sequence of accesses is not atomic as a
// whole. A property that was never written reads as Empty ("created" on first use).
class SharedPropertyGroup {
 public:
  explicit SharedPropertyGroup(std::string name) : name_(std::move(name)) {}
  SharedPropertyGroup(const SharedPropertyGroup&) = delete;
  SharedPropertyGroup& operator=(const SharedPropertyGroup&) = delete;

  const std::string& Name() const { return name_; }

  // The property by name (names compare exactly).
  Variant Value(const std::string& name) const;
  void SetValue(const std::string& name, Variant value);

  // The property by position (any whole number; positions and names are separate spaces).
  Variant ValueAt(int32_t position) const;
  void SetValueAt(int32_t position, Variant value);

 private:
  const std::string name_;
  mutable std::mutex mutex_;
  std::map<std::string, Variant> by_name_;
  std::map<int32_t, Variant> by_position_;
};
using SharedPropertyGroupPtr = std::shared_ptr<SharedPropertyGroup>;

// Creates the group `name`, or opens it when it exists; `already_existed` (when given) tells
// which. Groups are never removed: they live until the process ends. Thread-safe.
SharedPropertyGroupPtr CreatePropertyGroup(const std::string& name,
                                           bool* already_existed = nullptr);

}  // namespace corva::frame

#endif  // CORVA_FRAME_SHARED_PROPERTY_H_
