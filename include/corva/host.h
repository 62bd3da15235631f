// The component service as the host sees it: creating public classes and outside components by
// ProgID, replacing outside components, the host's transaction and the per-call object context that
// rules vote through.
#ifndef CORVA_HOST_H_
#define CORVA_HOST_H_

#include <functional>
#include <memory>
#include <string>

#include "corva/dispatch.h"

namespace corva {

using ComponentFactory = std::function<std::shared_ptr<Dispatch>()>;

// Registers (or replaces) the factory of `progid`. A ProgID registered with an edition prefix
// ("QRA_...") is found under exactly that name; the plain default serves a prefixed name only when
// nothing is registered under it. Thread-safe.
void RegisterComponent(const std::string& progid, ComponentFactory factory);

// Creates the object registered under `progid` (matched without regard to case). The object votes
// for itself: each Invoke runs with an object context of its own, joins the transaction active on
// the thread (or runs in a transaction of its own, committed when the call ends without an abort
// vote), and dooms the transaction when it returns with its last vote an abort.
// Throws corva::Error 429 for an unknown ProgID.
std::shared_ptr<Dispatch> CreateObject(const std::string& progid);

// The host's transaction. While a scope lives on a thread every call on that thread joins it, and
// every connection opened on that thread takes part in it. Scopes do not nest: a scope created while
// another is active on the thread joins the outer one (its Commit is then a no-op returning the
// outer one's fate so far). Not copyable; not to be shared across threads.
class TransactionScope {
 public:
  TransactionScope();
  ~TransactionScope();  // rolls back unless Commit() ran
  TransactionScope(const TransactionScope&) = delete;
  TransactionScope& operator=(const TransactionScope&) = delete;

  // True once a call in this transaction returned with an abort vote.
  bool Doomed() const;
  // Commits unless doomed; when doomed rolls back and returns false.
  bool Commit();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The running call's context. Outside any call (e.g. a test thread) a context that belongs to no
// transaction is returned; its votes change nothing.
class ObjectContext {
 public:
  virtual ~ObjectContext() = default;
  virtual void SetComplete() = 0;
  virtual void SetAbort() = 0;
  // Creates `progid` so that it runs in this call's transaction, voting for itself.
  virtual std::shared_ptr<Dispatch> CreateInstance(const std::string& progid) = 0;
  // True when the call runs inside a transaction (a host scope or an implicit one).
  virtual bool IsInTransaction() const = 0;
};

ObjectContext& GetObjectContext();

}  // namespace corva

#endif  // CORVA_HOST_H_
