// Test doubles for the host layer: a component made of a lambda, and a transaction resource that
// records whether it was committed or rolled back.
#ifndef CORVA_TESTS_HOST_FAKES_H_
#define CORVA_TESTS_HOST_FAKES_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corva/dispatch.h"
#include "corva/host.h"
#include "db/transaction.h"
#include "host/registry.h"

namespace corva::testing {

using Method = std::function<Variant(const std::string& name, std::vector<Variant>& args)>;

class LambdaComponent : public Dispatch {
 public:
  explicit LambdaComponent(Method method) : method_(std::move(method)) {}
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    return method_(name, args);
  }

 private:
  Method method_;
};

inline void RegisterLambda(const std::string& progid, Method method) {
  RegisterComponent(progid, [method] { return std::make_shared<LambdaComponent>(method); });
}

// Appends "<name> commit" or "<name> rollback" to a shared log.
class FakeResource : public corva::db::TransactionResource {
 public:
  FakeResource(std::string name, std::vector<std::string>* log, bool fail_commit = false)
      : name_(std::move(name)), log_(log), fail_commit_(fail_commit) {}
  void Commit() override {
    if (fail_commit_) throw Error(-1, "FakeResource", name_ + " cannot commit");
    log_->push_back(name_ + " commit");
  }
  void Rollback() override { log_->push_back(name_ + " rollback"); }

 private:
  std::string name_;
  std::vector<std::string>* log_;
  bool fail_commit_;
};

// Enlists a FakeResource named `name` in the thread's current transaction (which must exist), as a
// database does on the first connection of a transaction; later calls find it enlisted.
inline void EnlistFake(const std::string& name, std::vector<std::string>* log) {
  corva::db::Transaction* transaction = corva::db::CurrentTransaction();
  if (transaction == nullptr) throw Error(-1, "EnlistFake", "no transaction");
  if (transaction->Find(name)) return;
  transaction->Enlist(name, std::make_shared<FakeResource>(name, log));
}

// Puts a (plain, unprefixed) ProgID's registration back as it was when the test ends.
class RegistrationGuard {
 public:
  explicit RegistrationGuard(std::string progid)
      : progid_(std::move(progid)), saved_(host::FindComponentFactory(progid_)) {}
  ~RegistrationGuard() { RegisterComponent(progid_, saved_); }

 private:
  std::string progid_;
  ComponentFactory saved_;
};

}  // namespace corva::testing

#endif  // CORVA_TESTS_HOST_FAKES_H_
