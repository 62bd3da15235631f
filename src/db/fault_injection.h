// A test mode of the database layer: the k-th batch a thread runs after the mode is armed fails as
// a failing statement would, before it reaches the database. The fault-injection harness uses it
// to fail each batch of an operation in turn and see that the operation fails whole. Off unless a
// test arms it; a batch then pays one thread-local read.
#ifndef CORVA_DB_FAULT_INJECTION_H_
#define CORVA_DB_FAULT_INJECTION_H_

#include <cstdint>

namespace corva::db {

// The number of the injected error: a user-defined error, as RAISERROR gives one.
inline constexpr int32_t kErrInjectedFault = 50000;

// Per thread: batches run on other threads are neither counted nor failed.
class FaultInjection {
 public:
  // From now on counts the batches this thread runs and fails the `fail_at`-th one (1 = the
  // next); 0 only counts. Restarts the count.
  static void Arm(int fail_at);
  // Stops counting and failing.
  static void Disarm();
  // Batches run on this thread since Arm (the failed one included).
  static int Counted();

  // Called by the database layer before each batch: throws corva::Error kErrInjectedFault when
  // this batch is the one to fail.
  static void BeforeBatch();
};

}  // namespace corva::db

#endif  // CORVA_DB_FAULT_INJECTION_H_
