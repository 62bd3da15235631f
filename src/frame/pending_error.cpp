// The per-thread pending error.
#include "frame/pending_error.h"

namespace corva::frame {

ErrInfo& PendingError::Current() {
  thread_local ErrInfo current;
  return current;
}

void PendingError::Raise(int32_t number, std::string source, std::string description) {
  ErrInfo& current = Current();
  current = ErrInfo();
  current.number = number;
  current.source = std::move(source);
  current.description = std::move(description);
}

}  // namespace corva::frame
