// The untyped half of class bindings: the case-insensitive table that finds an operation by name in
// a constant number of steps, the argument-count check, and the process-wide list of declared
// classes that listings and test harnesses read.
#include "host/binding.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "base/late_binding.h"
#include "corva/error.h"

namespace corva::host {
namespace {

constexpr size_t kFree = static_cast<size_t>(-1);

// FNV-1a over the case-folded bytes.
size_t FoldedHash(std::string_view name) {
  uint64_t hash = 1469598103934665603ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(FoldChar(c));
    hash *= 1099511628211ull;
  }
  return static_cast<size_t>(hash);
}

std::vector<std::string> SplitNames(const char* names) {
  std::vector<std::string> out;
  std::string current;
  for (const char* p = names;; ++p) {
    if (*p == ',' || *p == '\0') {
      if (!current.empty()) out.push_back(current);
      current.clear();
      if (*p == '\0') break;
    } else if (*p != ' ') {
      current += *p;
    }
  }
  return out;
}

struct ClassList {
  std::mutex mutex;
  std::map<std::string, const ClassDescription*> by_folded_progid;
};

ClassList& Classes() {
  static ClassList* list = new ClassList();  // bindings are statics of other files
  return *list;
}

}  // namespace

BindingBase::BindingBase(std::string progid, const std::vector<Row>& rows) {
  description_.progid = std::move(progid);
  size_t capacity = 8;
  while (capacity < rows.size() * 2) capacity *= 2;
  buckets_.assign(capacity, Entry{{}, kFree, 0, 0});
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    OperationDescription d = row.describe();
    d.name = std::string(row.name);
    std::vector<std::string> names = SplitNames(row.param_names);
    for (size_t k = 0; k < d.params.size() && k < names.size(); ++k) d.params[k].name = names[k];
    description_.operations.push_back(std::move(d));

    size_t slot = FoldedHash(row.name) & (capacity - 1);
    while (buckets_[slot].index != kFree) slot = (slot + 1) & (capacity - 1);
    buckets_[slot] = Entry{row.name, i, row.min_args, row.max_args};
  }
  ClassList& classes = Classes();
  std::lock_guard lock(classes.mutex);
  classes.by_folded_progid[FoldCase(description_.progid)] = &description_;
}

size_t BindingBase::Resolve(std::string_view name, const std::vector<Variant>& args) const {
  size_t mask = buckets_.size() - 1;
  for (size_t slot = FoldedHash(name) & mask; buckets_[slot].index != kFree;
       slot = (slot + 1) & mask) {
    const Entry& entry = buckets_[slot];
    if (!IEquals(entry.name, name)) continue;
    RequireArgs(args, entry.min_args, entry.max_args);
    return entry.index;
  }
  throw NoSuchMethod(name);
}

std::vector<const ClassDescription*> DescribedClasses() {
  ClassList& classes = Classes();
  std::lock_guard lock(classes.mutex);
  std::vector<const ClassDescription*> out;
  for (const auto& [key, description] : classes.by_folded_progid) out.push_back(description);
  return out;
}

const ClassDescription* FindClassDescription(std::string_view progid) {
  ClassList& classes = Classes();
  std::lock_guard lock(classes.mutex);
  auto it = classes.by_folded_progid.find(FoldCase(progid));
  return it == classes.by_folded_progid.end() ? nullptr : it->second;
}

}  // namespace corva::host
