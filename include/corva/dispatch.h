// corva::Dispatch: a late-bound object. The host, the rules and outside components call each other
// through Invoke with a method name and an argument list; by-reference arguments come back in the
// same list.
#ifndef CORVA_DISPATCH_H_
#define CORVA_DISPATCH_H_

#include <memory>
#include <string>
#include <vector>

#include "corva/variant.h"

namespace corva {

class Dispatch : public Object {
 public:
  Dispatch() = default;
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;

  // Calls method or property-get `name` (matched without regard to case) with `args` in declared
  // order. Arguments a method takes by reference are written back into `args`. Trailing optional
  // arguments may be left out; Empty counts as left out. Throws corva::Error for an unknown name
  // (438) or a wrong argument count (450).
  virtual Variant Invoke(const std::string& name, std::vector<Variant>& args) = 0;

  // Property-let `name` with index arguments `args` and the new `value`. The default refuses (438).
  virtual void PutProperty(const std::string& name, std::vector<Variant>& args,
                           const Variant& value);
};
using DispatchPtr = std::shared_ptr<Dispatch>;

}  // namespace corva

#endif  // CORVA_DISPATCH_H_
