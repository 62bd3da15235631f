// The per-thread state of the component service: the calls running on the thread through context
// proxies (innermost last) and the transaction of the thread's live TransactionScope. Internal to
// the host layer.
#ifndef CORVA_HOST_CALL_STATE_H_
#define CORVA_HOST_CALL_STATE_H_

#include <vector>

#include "corva/host.h"
#include "host/transaction.h"

namespace corva::host::internal {

struct ActiveCall {
  ObjectContext* context;    // the call's own context (its votes)
  Transaction* transaction;  // never null: a call always runs in a transaction
};

// The calls in progress on this thread, outermost first.
std::vector<ActiveCall>& CallStack();

// The transaction of the live, outermost TransactionScope of this thread, or nullptr.
Transaction*& ScopeTransaction();

}  // namespace corva::host::internal

#endif  // CORVA_HOST_CALL_STATE_H_
