// Small helpers for late-bound calls: names (ProgIDs, method names, property-string keys) compare
// without regard to ASCII letter case, and argument lists may leave out trailing optional
// arguments, an Empty one counting as left out.
#ifndef CORVA_BASE_LATE_BINDING_H_
#define CORVA_BASE_LATE_BINDING_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "corva/error.h"
#include "corva/variant.h"

namespace corva {

inline char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldChar(c);
  return folded;
}

inline bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}

// Position of the first occurrence of `what` in `text` at or after `from`, ignoring case; npos when
// absent. An empty `what` is found at `from`.
// Every call reads its property string this way several times, so the scan looks for the first
// character alone and compares the rest only where it matches.
inline size_t IFind(std::string_view text, std::string_view what, size_t from = 0) {
  if (what.size() > text.size()) return std::string_view::npos;
  if (what.empty()) return from <= text.size() ? from : std::string_view::npos;
  const char first = FoldChar(what[0]);
  const std::string_view rest = what.substr(1);
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    if (FoldChar(text[i]) == first && IEquals(text.substr(i + 1, rest.size()), rest)) return i;
  }
  return std::string_view::npos;
}

inline bool IStartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && IEquals(text.substr(0, prefix.size()), prefix);
}

// Number of arguments the caller passed: trailing Empty arguments count as left out.
inline size_t PassedArgs(const std::vector<Variant>& args) {
  size_t n = args.size();
  while (n > 0 && args[n - 1].IsEmpty()) --n;
  return n;
}

// Throws error 450 (wrong number of arguments) unless min <= PassedArgs(args) <= max.
inline void RequireArgs(const std::vector<Variant>& args, size_t min, size_t max) {
  size_t n = PassedArgs(args);
  if (n < min || n > max) {
    throw Error::Runtime(kErrWrongArgumentCount);
  }
}

// The error of a late-bound call to a name the object does not have (438).
inline Error NoSuchMethod(std::string_view name) {
  Error plain = Error::Runtime(kErrNoSuchMethod);
  return Error(kErrNoSuchMethod, plain.Source(), plain.Description() + ": " + std::string(name));
}

}  // namespace corva

#endif  // CORVA_BASE_LATE_BINDING_H_
