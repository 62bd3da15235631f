// Vector, Dictionary, MsgFormatter and StringBuilder: the containers bills and parameters travel
// in between the host and the rules, with the late-bound entry points outside components use.
#include "corva/containers.h"

#include <cctype>

#include "corva/error.h"

namespace corva {
namespace {

// Keys compare without regard to ASCII case; other bytes (UTF-8 text) compare as they are.
std::string FoldKey(const std::string& key) {
  std::string folded = key;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool SameName(const std::string& name, const char* expected) {
  size_t i = 0;
  for (; i < name.size() && expected[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) !=
        std::tolower(static_cast<unsigned char>(expected[i])))
      return false;
  }
  return i == name.size() && expected[i] == '\0';
}

// Error 450 unless min <= args.size() <= max.
void CheckArgCount(const std::vector<Variant>& args, size_t min, size_t max) {
  if (args.size() < min || args.size() > max) throw Error::Runtime(kErrWrongArgumentCount);
}

// An optional argument: Empty or missing counts as left out.
Variant OptionalArg(const std::vector<Variant>& args, size_t i) {
  return i < args.size() ? args[i] : Variant();
}

}  // namespace

// ---- Vector ----

Variant& Vector::Item(int32_t i) {
  if (i < 1 || i > Count()) throw Error::Runtime(kErrSubscriptOutOfRange);
  return items_[static_cast<size_t>(i - 1)];
}

const Variant& Vector::Item(int32_t i) const {
  if (i < 1 || i > Count()) throw Error::Runtime(kErrSubscriptOutOfRange);
  return items_[static_cast<size_t>(i - 1)];
}

Variant Vector::Invoke(const std::string& name, std::vector<Variant>& args) {
  if (SameName(name, "Count")) {
    CheckArgCount(args, 0, 0);
    return Count();
  }
  if (SameName(name, "Item")) {
    CheckArgCount(args, 1, 1);
    return Item(args[0].AsLong());
  }
  if (SameName(name, "Add")) {
    CheckArgCount(args, 1, 1);
    Add(args[0]);
    return Variant();
  }
  throw Error::Runtime(kErrNoSuchMethod);
}

void Vector::PutProperty(const std::string& name, std::vector<Variant>& args,
                         const Variant& value) {
  if (!SameName(name, "Item")) throw Error::Runtime(kErrNoSuchMethod);
  CheckArgCount(args, 1, 1);
  Item(args[0].AsLong()) = value;
}

// ---- Dictionary ----

const std::pair<std::string, Variant>* Dictionary::Find(const std::string& key) const {
  auto it = index_.find(FoldKey(key));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

Variant Dictionary::Value(const std::string& key) const {
  const auto* entry = Find(key);
  return entry == nullptr ? Variant() : entry->second;
}

void Dictionary::SetValue(const std::string& key, Variant v) {
  std::string folded = FoldKey(key);
  auto it = index_.find(folded);
  if (it != index_.end()) {
    entries_[it->second].second = std::move(v);
    return;
  }
  index_.emplace(std::move(folded), entries_.size());
  entries_.emplace_back(key, std::move(v));
}

Variant Dictionary::GetValue(const std::string& key, const Variant& fallback) const {
  const auto* entry = Find(key);
  return entry == nullptr ? fallback : entry->second;
}

bool Dictionary::Contains(const std::string& key) const { return Find(key) != nullptr; }

void Dictionary::Add(const std::string& key, Variant v) {
  if (Contains(key)) throw Error::Runtime(kErrDuplicateKey);
  SetValue(key, std::move(v));
}

void Dictionary::Remove(const std::string& key) {
  auto it = index_.find(FoldKey(key));
  if (it == index_.end()) return;
  const size_t removed = it->second;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(removed));
  index_.erase(it);
  // Entries after the removed one moved up by one place.
  for (auto& [folded, position] : index_) {
    if (position > removed) --position;
  }
}

void Dictionary::RemoveAll() {
  entries_.clear();
  index_.clear();
}

const std::string& Dictionary::Key(int32_t i) const {
  if (i < 1 || i > Count()) throw Error::Runtime(kErrSubscriptOutOfRange);
  return entries_[static_cast<size_t>(i - 1)].first;
}

Variant Dictionary::Invoke(const std::string& name, std::vector<Variant>& args) {
  if (SameName(name, "Value") || SameName(name, "Item")) {
    CheckArgCount(args, 1, 1);
    return Value(args[0].AsString());
  }
  if (SameName(name, "GetValue")) {
    CheckArgCount(args, 1, 2);
    return GetValue(args[0].AsString(), OptionalArg(args, 1));
  }
  if (SameName(name, "SetValue")) {
    CheckArgCount(args, 2, 2);
    SetValue(args[0].AsString(), args[1]);
    return Variant();
  }
  if (SameName(name, "Contains") || SameName(name, "Exists")) {
    CheckArgCount(args, 1, 1);
    return Contains(args[0].AsString());
  }
  if (SameName(name, "Add")) {
    CheckArgCount(args, 2, 2);
    Add(args[0].AsString(), args[1]);
    return Variant();
  }
  if (SameName(name, "Remove")) {
    CheckArgCount(args, 1, 1);
    Remove(args[0].AsString());
    return Variant();
  }
  if (SameName(name, "RemoveAll")) {
    CheckArgCount(args, 0, 0);
    RemoveAll();
    return Variant();
  }
  if (SameName(name, "Count")) {
    CheckArgCount(args, 0, 0);
    return Count();
  }
  if (SameName(name, "Key")) {
    CheckArgCount(args, 1, 1);
    return Key(args[0].AsLong());
  }
  if (SameName(name, "Keys")) {
    // With a position, the key there; without, every key in order as a Vector.
    CheckArgCount(args, 0, 1);
    if (!OptionalArg(args, 0).IsEmpty()) return Key(args[0].AsLong());
    auto keys = MakeVector();
    for (const auto& entry : entries_) keys->Add(entry.first);
    return keys;
  }
  throw Error::Runtime(kErrNoSuchMethod);
}

void Dictionary::PutProperty(const std::string& name, std::vector<Variant>& args,
                             const Variant& value) {
  if (!SameName(name, "Value") && !SameName(name, "Item")) throw Error::Runtime(kErrNoSuchMethod);
  CheckArgCount(args, 1, 1);
  SetValue(args[0].AsString(), value);
}

// ---- MsgFormatter ----

std::string MsgFormatter::Format(const std::string& text,
                                 const std::vector<Variant>& values) const {
  // One pass from left to right: a filled-in value is never scanned again, so a value that itself
  // holds "%2" stays as it is. The whole run of digits names the value ("%10" is the tenth).
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '%' || i + 1 >= text.size() ||
        !std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t end = i + 1;
    size_t k = 0;
    bool too_big = false;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
      if (k > values.size()) too_big = true;  // stop growing; no such value anyway
      if (!too_big) k = k * 10 + static_cast<size_t>(text[end] - '0');
      ++end;
    }
    if (!too_big && k >= 1 && k <= values.size()) {
      out += values[k - 1].ToText();
    } else {
      out.append(text, i, end - i);
    }
    i = end;
  }
  return out;
}

Variant MsgFormatter::Invoke(const std::string& name, std::vector<Variant>& args) {
  if (SameName(name, "Format")) {
    CheckArgCount(args, 1, SIZE_MAX);
    std::vector<Variant> values;
    if (args.size() == 2 && args[1].Type() == VarType::kObject) {
      if (auto vector = args[1].As<Vector>()) {
        for (int32_t i = 1; i <= vector->Count(); ++i) values.push_back(vector->Item(i));
        return Format(args[0].AsString(), values);
      }
    }
    values.assign(args.begin() + 1, args.end());
    return Format(args[0].AsString(), values);
  }
  if (SameName(name, "ValueOrDefault") || SameName(name, "GetValueOrDefault")) {
    CheckArgCount(args, 1, 2);
    return ValueOrDefault(args[0], OptionalArg(args, 1));
  }
  throw Error::Runtime(kErrNoSuchMethod);
}

// ---- StringBuilder ----

Variant StringBuilder::Invoke(const std::string& name, std::vector<Variant>& args) {
  if (SameName(name, "Append")) {
    CheckArgCount(args, 1, 1);
    Append(args[0].ToText());
    return Variant();
  }
  if (SameName(name, "StringValue")) {
    CheckArgCount(args, 0, 0);
    return text_;
  }
  if (SameName(name, "Clear")) {
    CheckArgCount(args, 0, 0);
    Clear();
    return Variant();
  }
  throw Error::Runtime(kErrNoSuchMethod);
}

}  // namespace corva
