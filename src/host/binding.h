// The late-bound face of a public class, declared once. A class lists its operations in a table of
// typed members; from each member's signature one mechanism derives how the caller's Variant
// arguments are read (late-binding conversions), which are by reference and written back, which may
// be left out and what they then hold, the argument-count check (450), the unknown-name error (438)
// and the description `corva call --list` prints. docs/late-binding.md shows a class declaring
// itself.
#ifndef CORVA_HOST_BINDING_H_
#define CORVA_HOST_BINDING_H_

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/late_binding.h"
#include "corva/containers.h"
#include "corva/decimal.h"
#include "corva/dispatch.h"
#include "corva/recordset.h"
#include "corva/variant.h"
#include "host/registry.h"

namespace corva {

// Parameter markers. A member's parameter types say how the late-bound caller passes each argument:
//   T, const T&                 required, by value
//   T&                          required, by reference: the value after the call is written back
//   Optional<T, kDefault...>    may be left out (or passed as Empty); then holds T{kDefault...}
//   OptionalRef<T, kDefault...> optional and by reference
// Typed C++ callers pass plain values (and variables for the by-reference ones) and may leave out
// the trailing optional ones, for which the header writes "= {}".

// An optional parameter passed by value. Reads as a `const T&`.
template <typename T, auto... kDefault>
class Optional {
 public:
  Optional() : value_{kDefault...} {}
  template <typename U>
  requires(!std::same_as<std::remove_cvref_t<U>, Optional> && std::constructible_from<T, U&&>)
      Optional(U&& value)
      : value_(std::forward<U>(value)) {}  // NOLINT(runtime/explicit)

  operator const T&() const { return value_; }  // NOLINT(runtime/explicit)
  const T& value() const { return value_; }

 private:
  T value_;
};

// An optional parameter passed by reference: it refers to the caller's variable, or, when the
// caller left it out, to a variable of its own that starts as T{kDefault...}. Built in place as a
// parameter; not copyable.
template <typename T, auto... kDefault>
class OptionalRef {
 public:
  OptionalRef() : own_{kDefault...}, target_(&own_) {}
  OptionalRef(T& target) : target_(&target) {}  // NOLINT(runtime/explicit)
  OptionalRef(const OptionalRef&) = delete;
  OptionalRef& operator=(const OptionalRef&) = delete;

  T& operator*() const { return *target_; }
  T* operator->() const { return target_; }
  operator T&() const { return *target_; }  // NOLINT(runtime/explicit)
  template <typename U>
  requires std::assignable_from<T&, U&&> OptionalRef& operator=(U&& value) {
    *target_ = std::forward<U>(value);
    return *this;
  }

 private:
  T own_{};
  T* target_;
};

namespace host {

// ---- What a declaration says, for listings and for harnesses that call every operation ----

struct ParamDescription {
  std::string name;
  std::string type;  // "String", "Long", "Boolean", "Double", "Date", "Variant", ...
  bool by_ref = false;
  bool optional = false;
  std::string default_text;  // of an optional parameter: "0", "True", "\"\"", "Nothing"
};

struct OperationDescription {
  std::string name;
  std::string result_type;  // "" for an operation without a result
  std::vector<ParamDescription> params;
  size_t min_args = 0;
  size_t max_args = 0;
};

struct ClassDescription {
  std::string progid;
  std::vector<OperationDescription> operations;  // in declaration order
};

// Every class declared through ClassBinding, in ProgID order. Complete once static initialization
// has run (i.e. from main on).
std::vector<const ClassDescription*> DescribedClasses();
// The description of `progid` (without regard to case), or nullptr.
const ClassDescription* FindClassDescription(std::string_view progid);

namespace binding_internal {

// ---- Values: reading one from a Variant, its type's name, turning a result into a Variant ----

template <typename V>
struct Value;

template <>
struct Value<std::string> {
  static constexpr const char* kType = "String";
  // A by-value text must be text (Null is error 94); an in/out text such as a message reads Null
  // and Empty as "".
  static std::string Read(const Variant& v, bool by_ref) {
    return by_ref ? v.ToText() : v.AsString();
  }
};
template <>
struct Value<int32_t> {
  static constexpr const char* kType = "Long";
  static int32_t Read(const Variant& v, bool) { return v.AsLong(); }
};
template <>
struct Value<bool> {
  static constexpr const char* kType = "Boolean";
  static bool Read(const Variant& v, bool) { return v.AsBool(); }
};
template <>
struct Value<double> {
  static constexpr const char* kType = "Double";
  static double Read(const Variant& v, bool) { return v.AsDouble(); }
};
template <>
struct Value<Decimal> {
  static constexpr const char* kType = "Decimal";
  static Decimal Read(const Variant& v, bool) { return v.AsDecimal(); }
};
template <>
struct Value<Date> {
  static constexpr const char* kType = "Date";
  static Date Read(const Variant& v, bool) { return v.AsDate(); }
};
template <>
struct Value<Variant> {
  static constexpr const char* kType = "Variant";
  static Variant Read(const Variant& v, bool) { return v; }
};
template <typename T>
requires std::derived_from<T, Object>
struct Value<std::shared_ptr<T>> {
  static constexpr const char* kType = std::is_same_v<T, Vector>       ? "Vector"
                                       : std::is_same_v<T, Dictionary> ? "Dictionary"
                                       : std::is_same_v<T, Recordset>  ? "Recordset"
                                                                       : "Object";
  // Empty reads as no object; an object of another class as none too (the rules test for it).
  static std::shared_ptr<T> Read(const Variant& v, bool) { return v.As<T>(); }
};

template <typename V>
Variant ToVariant(V&& value) {
  return Variant(std::forward<V>(value));
}

// The text of a default value for listings.
template <typename V, auto... kDefault>
std::string DefaultText() {
  if constexpr (std::is_same_v<V, std::string>) {
    return "\"" + std::string(kDefault...) + "\"";
  } else if constexpr (std::is_same_v<V, Date>) {
    return "#" + V{kDefault...}.ToString() + "#";
  } else if constexpr (std::is_arithmetic_v<V>) {
    return Variant(V{kDefault...}).AsString();
  } else {
    return "Nothing";
  }
}

// ---- Parameters: how each kind of parameter type is read, passed and written back ----

template <typename P>
struct Param {  // T or const T&: required, by value
  using V = std::remove_cvref_t<P>;
  using Storage = V;
  static constexpr bool kByRef = false;
  static constexpr bool kOptional = false;
  static Storage Read(const std::vector<Variant>& args, size_t i) {
    return Value<V>::Read(args[i], false);
  }
  static const V& Pass(Storage& s) { return s; }
  static std::string Default() { return ""; }
};

template <typename T>
requires(!std::is_const_v<T>) struct Param<T&> {  // required, by reference
  using V = T;
  using Storage = T;
  static constexpr bool kByRef = true;
  static constexpr bool kOptional = false;
  static Storage Read(const std::vector<Variant>& args, size_t i) {
    return Value<V>::Read(args[i], true);
  }
  static T& Pass(Storage& s) { return s; }
  static std::string Default() { return ""; }
};

template <typename T, auto... kDefault>
struct Param<Optional<T, kDefault...>> {
  using V = T;
  using Storage = T;
  static constexpr bool kByRef = false;
  static constexpr bool kOptional = true;
  static Storage Read(const std::vector<Variant>& args, size_t i) {
    if (i < args.size() && !args[i].IsEmpty()) return Value<V>::Read(args[i], false);
    return Optional<T, kDefault...>().value();
  }
  static Optional<T, kDefault...> Pass(Storage& s) { return Optional<T, kDefault...>(s); }
  static std::string Default() { return DefaultText<T, kDefault...>(); }
};

template <typename T, auto... kDefault>
struct Param<OptionalRef<T, kDefault...>> {
  using V = T;
  using Storage = T;
  static constexpr bool kByRef = true;
  static constexpr bool kOptional = true;
  static Storage Read(const std::vector<Variant>& args, size_t i) {
    if (i < args.size() && !args[i].IsEmpty()) return Value<V>::Read(args[i], true);
    return T{kDefault...};
  }
  static OptionalRef<T, kDefault...> Pass(Storage& s) { return OptionalRef<T, kDefault...>(s); }
  static std::string Default() { return DefaultText<T, kDefault...>(); }
};

template <typename M>
struct MemberTraits;
template <typename C, typename R, typename... P>
struct MemberTraits<R (C::*)(P...)> {
  using Class = C;
  using Result = R;
  static constexpr size_t kArity = sizeof...(P);
  // Arguments from the first optional one on may be left out; every one after it must be optional.
  static constexpr size_t MinArgs() {
    constexpr bool optional[] = {Param<P>::kOptional..., false};
    size_t min = 0;
    for (size_t i = 0; i < sizeof...(P); ++i) {
      if (!optional[i]) min = i + 1;
    }
    return min;
  }
  static constexpr bool OptionalsTrail() {
    constexpr bool optional[] = {Param<P>::kOptional..., false};
    for (size_t i = 0; i < MinArgs(); ++i) {
      if (optional[i]) return false;
    }
    return true;
  }
  static std::vector<ParamDescription> Describe() {
    return {ParamDescription{"", Value<typename Param<P>::V>::kType, Param<P>::kByRef,
                             Param<P>::kOptional, Param<P>::Default()}...};
  }
};

template <typename R>
std::string ResultType() {
  if constexpr (std::is_void_v<R>) {
    return "";
  } else {
    return Value<std::remove_cvref_t<R>>::kType;
  }
}

// Reads the arguments, calls the member, writes the by-reference ones back into the caller's
// slots (those the caller passed, Empty ones included) and returns the result as a Variant.
template <auto kMember, typename C, typename R, typename... P, size_t... I>
Variant CallMember(C& self, std::vector<Variant>& args, std::index_sequence<I...>) {
  // Braced initialization reads the arguments left to right: the first unreadable one is the error.
  std::tuple<typename Param<P>::Storage...> values{Param<P>::Read(args, I)...};
  Variant result;
  if constexpr (std::is_void_v<R>) {
    (self.*kMember)(Param<P>::Pass(std::get<I>(values))...);
  } else {
    result = ToVariant((self.*kMember)(Param<P>::Pass(std::get<I>(values))...));
  }
  (
      [&] {
        if constexpr (Param<P>::kByRef) {
          if (I < args.size()) args[I] = ToVariant(std::get<I>(values));
        }
      }(),
      ...);
  return result;
}

template <auto kMember, typename C, typename R, typename... P>
Variant Call(C& self, std::vector<Variant>& args, R (C::*)(P...)) {
  return CallMember<kMember, C, R, P...>(self, args, std::index_sequence_for<P...>{});
}

// Counts the comma-separated names of a parameter list ("sDsn, lngInterID" is 2; "" is 0).
consteval size_t CountNames(const char* names) {
  size_t count = 0;
  bool in_name = false;
  for (const char* p = names; *p; ++p) {
    if (*p == ',') {
      in_name = false;
    } else if (*p != ' ' && !in_name) {
      in_name = true;
      ++count;
    }
  }
  return count;
}

}  // namespace binding_internal

// One row of a class's table: the operation's name, its parameters' names (comma-separated, as the
// host knows them) and the typed member behind it. Built with Bind.
template <typename C>
struct Operation {
  const char* name;
  const char* param_names;
  size_t min_args;
  size_t max_args;
  Variant (*call)(C& self, std::vector<Variant>& args);
  OperationDescription (*describe)();
};

// A table row for member `kMember`; `params` names its parameters in order. Checked when compiled:
// the names must be as many as the parameters, and optional parameters must come last.
template <auto kMember>
consteval auto Bind(const char* name, const char* params) {
  using Traits = binding_internal::MemberTraits<decltype(kMember)>;
  using C = typename Traits::Class;
  if (binding_internal::CountNames(params) != Traits::kArity) {
    throw "Bind: the parameter names do not match the member's parameters";
  }
  if (!Traits::OptionalsTrail()) throw "Bind: an optional parameter precedes a required one";
  return Operation<C>{name,
                      params,
                      Traits::MinArgs(),
                      Traits::kArity,
                      [](C& self, std::vector<Variant>& args) {
                        return binding_internal::Call<kMember>(self, args, kMember);
                      },
                      [] {
                        OperationDescription d;
                        d.result_type = binding_internal::ResultType<typename Traits::Result>();
                        d.params = Traits::Describe();
                        d.min_args = Traits::MinArgs();
                        d.max_args = Traits::kArity;
                        return d;
                      }};
}

// The untyped part of a class binding: name lookup and the class's description.
class BindingBase {
 public:
  BindingBase(const BindingBase&) = delete;
  BindingBase& operator=(const BindingBase&) = delete;

  const ClassDescription& description() const { return description_; }

 protected:
  struct Row {
    std::string_view name;
    const char* param_names;
    size_t min_args;
    size_t max_args;
    OperationDescription (*describe)();
  };
  BindingBase(std::string progid, const std::vector<Row>& rows);

  // Index of operation `name` (without regard to case) in the table; throws 438 when there is none
  // and 450 when `args` (trailing Empty ones left out) is too short or too long for it.
  size_t Resolve(std::string_view name, const std::vector<Variant>& args) const;

 private:
  struct Entry {
    std::string_view name;
    size_t index;
    size_t min_args;
    size_t max_args;
  };
  ClassDescription description_;
  std::vector<Entry> buckets_;  // open addressing on the case-folded name's hash
};

// The binding of class C: registers C's factory under `progid`, describes its operations, and
// dispatches Invoke to the typed members. Define one at namespace scope in the class's .cpp:
//   const corva::host::ClassBinding<clsMWorkBill> kBinding("CorvaMSHTransBills.clsMWorkBill", {
//       corva::host::Bind<&clsMWorkBill::AutoCloseBill>(
//           "AutoCloseBill", "sDsn, lngWBInterID, lngEmpID, ReturnMsg"), ...});
template <typename C>
class ClassBinding : public BindingBase {
 public:
  template <size_t N>
  ClassBinding(const char* progid, const Operation<C> (&operations)[N])
      : BindingBase(progid, Rows(operations, N)), calls_(N) {
    for (size_t i = 0; i < N; ++i) calls_[i] = operations[i].call;
    Instance() = this;
    RegisterComponent(progid, FactoryOf<C>());
  }

  Variant Invoke(C& self, std::string_view name, std::vector<Variant>& args) const {
    return calls_[Resolve(name, args)](self, args);
  }

  // The binding of C, set when its definition was initialized.
  static const ClassBinding*& Instance() {
    static const ClassBinding* instance = nullptr;
    return instance;
  }

 private:
  static std::vector<Row> Rows(const Operation<C>* operations, size_t n) {
    std::vector<Row> rows;
    for (size_t i = 0; i < n; ++i) {
      const Operation<C>& op = operations[i];
      rows.push_back({op.name, op.param_names, op.min_args, op.max_args, op.describe});
    }
    return rows;
  }

  std::vector<Variant (*)(C&, std::vector<Variant>&)> calls_;
};

// Base of a public class whose face is declared by a ClassBinding<C>: supplies Invoke.
template <typename C>
class BoundClass : public Dispatch {
 public:
  // The operations of C's table by name (without regard to case). Error 438 for an unknown name,
  // 450 for a wrong argument count; by-reference arguments come back in `args`.
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    return ClassBinding<C>::Instance()->Invoke(static_cast<C&>(*this), name, args);
  }
};

}  // namespace host
}  // namespace corva

#endif  // CORVA_HOST_BINDING_H_
