// ErrorNumberOf: the runtime error number a call raises (corva::Error), or 0 when it raises none;
// for tests that expect an operation to fail with one particular number.
#ifndef CORVA_TESTS_SUPPORT_ERROR_NUMBER_H_
#define CORVA_TESTS_SUPPORT_ERROR_NUMBER_H_

#include <cstdint>
#include <functional>

#include "corva/error.h"

namespace corva::testing {

inline int32_t ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace corva::testing

#endif  // CORVA_TESTS_SUPPORT_ERROR_NUMBER_H_
