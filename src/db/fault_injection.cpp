// The fault-injection mode's state: one counter per thread.
#include "db/fault_injection.h"

#include <string>

#include "db/errors.h"

namespace corva::db {
namespace {

struct State {
  bool armed = false;
  int fail_at = 0;
  int counted = 0;
};

State& ThreadState() {
  thread_local State state;
  return state;
}

}  // namespace

void FaultInjection::Arm(int fail_at) { ThreadState() = State{true, fail_at, 0}; }

void FaultInjection::Disarm() { ThreadState() = State{}; }

int FaultInjection::Counted() { return ThreadState().counted; }

void FaultInjection::BeforeBatch() {
  State& state = ThreadState();
  if (!state.armed) return;
  if (++state.counted == state.fail_at) {
    throw DbError(kErrInjectedFault,
                  "Injected fault: batch " + std::to_string(state.counted) + " fails.");
  }
}

}  // namespace corva::db
