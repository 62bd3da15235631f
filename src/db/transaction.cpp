// The transaction of a host scope or of an implicit host call: resources enlisted by the database
// layer, the doom flag that abort votes set, and ending it by committing or rolling back every
// resource. Also the per-thread slot that tells which transaction is current.
#include "db/transaction.h"

#include <cassert>

namespace corva::db {
namespace {

// Rolls back resources[from..]: best effort, a resource that fails to roll back does not keep the
// others from rolling back (the database discards an unfinished transaction when it closes anyway).
void RollbackFrom(
    std::vector<std::pair<std::string, std::shared_ptr<TransactionResource>>>& resources,
    size_t from) {
  for (size_t i = from; i < resources.size(); ++i) {
    try {
      resources[i].second->Rollback();
    } catch (...) {
    }
  }
}

}  // namespace

Transaction::~Transaction() {
  if (!ended_) End(false);
}

std::shared_ptr<TransactionResource> Transaction::Find(const std::string& key) const {
  for (const auto& [k, resource] : resources_) {
    if (k == key) return resource;
  }
  return nullptr;
}

void Transaction::Enlist(const std::string& key, std::shared_ptr<TransactionResource> resource) {
  assert(!ended_ && Find(key) == nullptr);
  resources_.emplace_back(key, std::move(resource));
}

bool Transaction::End(bool commit) {
  if (ended_) return committed_;
  ended_ = true;
  auto resources = std::move(resources_);
  resources_.clear();
  if (!commit || doomed_) {
    RollbackFrom(resources, 0);
    return false;
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    try {
      resources[i].second->Commit();
    } catch (...) {
      // The failed resource is rolled back too: a database whose COMMIT failed may still hold the
      // transaction open.
      RollbackFrom(resources, i);
      throw;
    }
  }
  committed_ = true;
  return true;
}

Transaction*& ThreadTransaction() {
  thread_local Transaction* current = nullptr;
  return current;
}

Transaction* CurrentTransaction() { return ThreadTransaction(); }

}  // namespace corva::db
