// The runtime's own error descriptions, so that an error the library raises itself reads the same
// as one raised by the late-binding runtime or the data-access layer, and the default property-let
// of late-bound objects, which refuses every name.
#include "corva/error.h"

#include "corva/dispatch.h"

namespace corva {
namespace {

const char* RuntimeDescription(int32_t number) {
  switch (number) {
    case kErrInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case kErrOverflow:
      return "Overflow";
    case kErrSubscriptOutOfRange:
      return "Subscript out of range";
    case kErrTypeMismatch:
      return "Type mismatch";
    case kErrObjectNotSet:
      return "Object variable or With block variable not set";
    case kErrInvalidUseOfNull:
      return "Invalid use of Null";
    case kErrCannotCreateObject:
      return "ActiveX component can't create object";
    case kErrNoSuchMethod:
      return "Object doesn't support this property or method";
    case kErrWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case kErrDuplicateKey:
      return "This key is already associated with an element of this collection";
    case kErrBofOrEof:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case 3265:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case kErrObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case 3001:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another.";
    default:
      return "Application-defined or object-defined error";
  }
}

}  // namespace

Error Error::Runtime(int32_t number, std::string source) {
  return Error(number, std::move(source), RuntimeDescription(number));
}

void Dispatch::PutProperty(const std::string& /*name*/, std::vector<Variant>& /*args*/,
                           const Variant& /*value*/) {
  throw Error::Runtime(kErrNoSuchMethod);
}

}  // namespace corva
