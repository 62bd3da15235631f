// PendingError: the error a rule is handling right now, per thread — what the late-binding
// runtime's error object holds inside an error handler. The method frame sets it while it builds
// the failure message, and the message functions keep it intact across their own work, so code that
// handles an error and localizes a text on the way still sees its own error afterwards.
#ifndef CORVA_FRAME_PENDING_ERROR_H_
#define CORVA_FRAME_PENDING_ERROR_H_

#include <cstdint>
#include <string>

#include "corva/error.h"

namespace corva::frame {

struct ErrInfo {
  int32_t number = 0;  // 0: no error pending
  std::string source;
  std::string description;
  std::string help_file;
  int32_t help_context = 0;
};

class PendingError {
 public:
  // This thread's pending error (number 0 when none).
  static ErrInfo& Current();
  static bool IsSet() { return Current().number != 0; }
  // Records an error as pending (as the runtime does when an error occurs under a handler); it is
  // not thrown.
  static void Raise(int32_t number, std::string source, std::string description);
  static void Raise(const Error& error) {
    Raise(error.Number(), error.Source(), error.Description());
  }
  static void Clear() { Current() = ErrInfo(); }
  // The pending error as an exception to throw.
  static Error ToError() {
    return Error(Current().number, Current().source, Current().description);
  }
};

// Saves the pending error (or its absence) on construction and puts it back on destruction, so that
// the work in between, which may clear it or leave one of its own, leaves the caller's state as it
// was.
class PendingErrorKeeper {
 public:
  PendingErrorKeeper() : saved_(PendingError::Current()) {}
  ~PendingErrorKeeper() { PendingError::Current() = std::move(saved_); }
  PendingErrorKeeper(const PendingErrorKeeper&) = delete;
  PendingErrorKeeper& operator=(const PendingErrorKeeper&) = delete;

 private:
  ErrInfo saved_;
};

}  // namespace corva::frame

#endif  // CORVA_FRAME_PENDING_ERROR_H_
