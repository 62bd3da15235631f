// Helpers of the clsMSynBills tests: calling an operation as the host does, in a transaction of
// its own, and reading rows back as short texts.
#ifndef CORVA_TESTS_SYNC_SYNC_TEST_UTIL_H_
#define CORVA_TESTS_SYNC_SYNC_TEST_UTIL_H_

#include <ostream>
#include <string>
#include <vector>

#include "bills/bills_test_util.h"
#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills::sync_test {

inline constexpr char kProgID[] = "CorvaMSHTransBills.clsMSynBills";

// A call's result and whether its vote doomed the transaction.
struct Outcome {
  bool result;
  bool doomed;
  bool operator==(const Outcome&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << (o.result ? "true" : "false") << (o.doomed ? ", doomed" : ", committed");
  }
};
inline constexpr Outcome kDone{true, false};
inline constexpr Outcome kFailed{false, true};

// Invokes `op` on `object` (a new instance when null) in a transaction of its own.
inline Outcome Call(const std::string& op, std::vector<corva::Variant> args,
                    std::shared_ptr<corva::Dispatch> object = nullptr) {
  if (!object) object = corva::CreateObject(kProgID);
  corva::TransactionScope tx;
  bool result = object->Invoke(op, args).AsBool();
  Outcome outcome{result, tx.Doomed()};
  tx.Commit();
  return outcome;
}

using test_util::Rows;  // columns joined by "/", rows by " "

}  // namespace CorvaMSHTransBills::sync_test

#endif  // CORVA_TESTS_SYNC_SYNC_TEST_UTIL_H_
