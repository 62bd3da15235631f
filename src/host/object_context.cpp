// The component service's side of every late-bound call: the proxy that CreateObject and
// CreateInstance hand out gives each call an object context of its own, runs it in the thread's
// transaction (or an implicit one for a call from outside any transaction) and turns a final abort
// vote into a doomed transaction. Also the host's TransactionScope and GetObjectContext.
#include <optional>
#include <vector>

#include "corva/host.h"
#include "db/transaction.h"
#include "host/registry.h"

namespace corva {
namespace host {
namespace {

enum class Vote { kNone, kComplete, kAbort };

struct ActiveCall {
  ObjectContext* context;  // the call's own context (its votes)
};

// The calls in progress on this thread through context proxies, outermost first.
std::vector<ActiveCall>& CallStack() {
  thread_local std::vector<ActiveCall> calls;
  return calls;
}

// The context of one call through a proxy. Only the last vote counts, as in the component service:
// a rule may vote abort first and replace it by complete when it succeeds.
class CallContext : public ObjectContext {
 public:
  void SetComplete() override { vote_ = Vote::kComplete; }
  void SetAbort() override { vote_ = Vote::kAbort; }
  std::shared_ptr<Dispatch> CreateInstance(const std::string& progid) override {
    // The new object's calls made while this call runs find this call's transaction on the thread.
    return CreateObject(progid);
  }
  bool IsInTransaction() const override { return true; }
  Vote vote() const { return vote_; }

 private:
  Vote vote_ = Vote::kNone;
};

// What GetObjectContext gives outside any call: belongs to no transaction, its votes are ignored.
class DetachedContext : public ObjectContext {
 public:
  void SetComplete() override {}
  void SetAbort() override {}
  std::shared_ptr<Dispatch> CreateInstance(const std::string& progid) override {
    return CreateObject(progid);
  }
  bool IsInTransaction() const override { return false; }
};

// Pushes a call on the thread's stack for its lifetime and makes its transaction the one the
// database layer finds current on the thread.
class CallFrame {
 public:
  CallFrame(CallContext* context, db::Transaction* transaction) : outer_(db::ThreadTransaction()) {
    CallStack().push_back({context});
    db::ThreadTransaction() = transaction;
  }
  ~CallFrame() {
    db::ThreadTransaction() = outer_;
    CallStack().pop_back();
  }
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

 private:
  db::Transaction* outer_;
};

class ContextProxy : public Dispatch {
 public:
  explicit ContextProxy(std::shared_ptr<Dispatch> inner) : inner_(std::move(inner)) {}

  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    // A call in a transaction of its own may be run again when a database finds its reads went
    // stale; it then starts from the arguments it was given.
    const std::vector<Variant> given = args;
    return RunCall([&](bool again) {
      if (again) args = given;
      return inner_->Invoke(name, args);
    });
  }
  void PutProperty(const std::string& name, std::vector<Variant>& args,
                   const Variant& value) override {
    const std::vector<Variant> given = args;
    RunCall([&](bool again) {
      if (again) args = given;
      inner_->PutProperty(name, args, value);
      return Variant();
    });
  }

  const std::shared_ptr<Dispatch>& inner() const { return inner_; }

 private:
  // Runs fn(again) in the thread's transaction, or in an implicit one of its own when there is
  // none. An implicit transaction reads without locks; when a database reports that another
  // transaction changed what the call read before it wrote, the call is rolled back and run again
  // (up to kMaxRuns times; the last outcome stands).
  template <typename Fn>
  Variant RunCall(Fn&& fn) {
    if (db::Transaction* joined = db::CurrentTransaction()) return RunIn(joined, fn, false);
    for (int run = 1;; ++run) {
      db::Transaction implicit(/*retryable=*/run < kMaxRuns);
      Variant result;
      try {
        result = RunIn(&implicit, fn, run > 1);
      } catch (...) {
        if (implicit.Conflicted() && run < kMaxRuns) {
          implicit.End(false);
          continue;
        }
        implicit.End(true);  // rolls back instead when doomed
        throw;
      }
      if (implicit.Conflicted() && run < kMaxRuns) {
        implicit.End(false);
        continue;
      }
      implicit.End(true);  // rolls back instead when doomed
      return result;
    }
  }

  template <typename Fn>
  static Variant RunIn(db::Transaction* transaction, Fn& fn, bool again) {
    CallContext context;
    Variant result;
    try {
      CallFrame frame(&context, transaction);
      result = fn(again);
    } catch (...) {
      // An error leaving the call dooms the transaction unless the object said its work is good
      // with SetComplete before the error (the operations that vote first and re-raise): a call
      // that never voted, or voted abort, leaves work nobody vouches for.
      if (context.vote() != Vote::kComplete) transaction->Doom();
      throw;
    }
    if (context.vote() == Vote::kAbort) transaction->Doom();
    return result;
  }

  // Runs of one call in its own transaction before its last outcome stands; the last run takes
  // the write lock from its first batch and cannot go stale.
  static constexpr int kMaxRuns = 8;

  std::shared_ptr<Dispatch> inner_;
};

}  // namespace

std::shared_ptr<Dispatch> Unwrap(const std::shared_ptr<Dispatch>& object) {
  auto proxy = std::dynamic_pointer_cast<ContextProxy>(object);
  return proxy ? proxy->inner() : object;
}

}  // namespace host

std::shared_ptr<Dispatch> CreateObject(const std::string& progid) {
  return std::make_shared<host::ContextProxy>(host::CreateComponent(progid));
}

ObjectContext& GetObjectContext() {
  static host::DetachedContext detached;  // stateless, so one serves every thread
  auto& calls = host::CallStack();
  return calls.empty() ? detached : *calls.back().context;
}

// A scope owns a transaction unless one is already current on the thread (an outer scope, or the
// call the scope was created in); then it joins that one.
struct TransactionScope::Impl {
  std::unique_ptr<db::Transaction> own;
  db::Transaction* joined = nullptr;
  bool committed = false;
  bool result = false;
};

TransactionScope::TransactionScope() : impl_(std::make_unique<Impl>()) {
  if (db::Transaction* current = db::CurrentTransaction()) {
    impl_->joined = current;
    return;
  }
  impl_->own = std::make_unique<db::Transaction>();
  db::ThreadTransaction() = impl_->own.get();
}

TransactionScope::~TransactionScope() {
  if (impl_->own) {
    if (db::ThreadTransaction() == impl_->own.get()) {
      db::ThreadTransaction() = nullptr;
    }
    impl_->own->End(false);  // no-op after Commit; never throws when rolling back
  } else if (!impl_->committed) {
    // A joined scope cannot roll back its own part alone: leaving without Commit dooms the outer.
    impl_->joined->Doom();
  }
}

bool TransactionScope::Doomed() const {
  return impl_->own ? impl_->own->Doomed() : impl_->joined->Doomed();
}

bool TransactionScope::Commit() {
  if (impl_->committed) return impl_->result;
  impl_->committed = true;
  if (!impl_->own) return impl_->result = !impl_->joined->Doomed();
  // The scope stops being current before its resources commit, so nothing joins a finished one.
  if (db::ThreadTransaction() == impl_->own.get()) {
    db::ThreadTransaction() = nullptr;
  }
  return impl_->result = impl_->own->End(true);
}

}  // namespace corva
