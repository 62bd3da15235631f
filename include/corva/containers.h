// The containers the host and the rules exchange: Vector (a 1-based list, the shape of SaveVect),
// Dictionary (text keys in insertion order, compared without regard to case), the message formatter
// and the string builder. Vector and Dictionary are late-bound objects too, so outside components
// can reach them through Invoke ("Item", "Value", "GetValue", "Count", "Add", ...).
#ifndef CORVA_CONTAINERS_H_
#define CORVA_CONTAINERS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "corva/dispatch.h"
#include "corva/variant.h"

namespace corva {

class Vector : public Dispatch {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Element i, 1 <= i <= Count(); otherwise error 9.
  Variant& Item(int32_t i);
  const Variant& Item(int32_t i) const;
  void Add(Variant v) { items_.push_back(std::move(v)); }

  Variant Invoke(const std::string& name, std::vector<Variant>& args) override;
  void PutProperty(const std::string& name, std::vector<Variant>& args,
                   const Variant& value) override;

 private:
  std::vector<Variant> items_;
};
using VectorPtr = std::shared_ptr<Vector>;
inline VectorPtr MakeVector() { return std::make_shared<Vector>(); }

class Dictionary : public Dispatch {
 public:
  // The stored value; Empty when the key is absent (the key is not added).
  Variant Value(const std::string& key) const;
  // Stores or replaces; a new key goes to the end of the order.
  void SetValue(const std::string& key, Variant v);
  // The stored value, or `fallback` when the key is absent (a stored Null is returned as Null).
  Variant GetValue(const std::string& key, const Variant& fallback) const;
  bool Contains(const std::string& key) const;
  // Adds a new key; error 457 when the key is present already.
  void Add(const std::string& key, Variant v);
  void Remove(const std::string& key);
  void RemoveAll();
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // Key at position i (1-based, insertion order); error 9 out of range.
  const std::string& Key(int32_t i) const;

  Variant Invoke(const std::string& name, std::vector<Variant>& args) override;
  void PutProperty(const std::string& name, std::vector<Variant>& args,
                   const Variant& value) override;

 private:
  const std::pair<std::string, Variant>* Find(const std::string& key) const;
  std::vector<std::pair<std::string, Variant>> entries_;
  std::unordered_map<std::string, size_t> index_;  // folded key -> position in entries_
};
using DictionaryPtr = std::shared_ptr<Dictionary>;
inline DictionaryPtr MakeDictionary() { return std::make_shared<Dictionary>(); }

// Fills placeholders and reads values with a default; one per thread in the rules.
class MsgFormatter : public Dispatch {
 public:
  // Replaces "%k" by the k-th element of `values` (the first fills "%1"); placeholders without a
  // value stay as they are. "%10" is the tenth value, not "%1" followed by "0".
  std::string Format(const std::string& text, const std::vector<Variant>& values) const;
  // `fallback` when `v` is Null (or Empty), otherwise `v`.
  Variant ValueOrDefault(const Variant& v, const Variant& fallback) const { return ValueOr(v, fallback); }

  Variant Invoke(const std::string& name, std::vector<Variant>& args) override;
};

// Appends pieces of text; used where a rule assembles a long batch.
class StringBuilder : public Dispatch {
 public:
  StringBuilder& Append(std::string_view piece) {
    text_.append(piece);
    return *this;
  }
  const std::string& StringValue() const { return text_; }
  void Clear() { text_.clear(); }

  Variant Invoke(const std::string& name, std::vector<Variant>& args) override;

 private:
  std::string text_;
};

}  // namespace corva

#endif  // CORVA_CONTAINERS_H_
