// The transaction a call runs in, as the database layer sees it: resources (one per database a
// connection of the transaction opened) enlist under a key, and commit or roll back together when
// the transaction ends. The host's TransactionScope and the implicit transaction of a host call
// are both this object; the host sets which one is current on a thread, connections enlist in it.
#ifndef CORVA_DB_TRANSACTION_H_
#define CORVA_DB_TRANSACTION_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace corva::db {

// What a database keeps open for one transaction (e.g. an SQLite handle inside BEGIN).
class TransactionResource {
 public:
  virtual ~TransactionResource() = default;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
};

// Owned by the scope (or host call) that began it; used on its thread only.
class Transaction {
 public:
  // `retryable`: the owner can run the transaction's work again (the implicit transaction of one
  // host call), so databases may let it read without locks and fail it when its reads went stale;
  // a host's own transaction is never asked to start again.
  explicit Transaction(bool retryable = false) : retryable_(retryable) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction();  // rolls back what is still enlisted

  // The resource enlisted under `key`, or nullptr.
  std::shared_ptr<TransactionResource> Find(const std::string& key) const;
  // Enlists `resource` under `key` (replacing nothing: REQUIRES Find(key) == nullptr).
  void Enlist(const std::string& key, std::shared_ptr<TransactionResource> resource);

  bool Doomed() const { return doomed_; }
  void Doom() { doomed_ = true; }

  bool Retryable() const { return retryable_; }
  // A database found that another transaction changed what this one read before it wrote (error
  // 1205): its owner should roll it back and run its work again.
  void MarkConflict() { conflict_ = true; }
  bool Conflicted() const { return conflict_; }

  // Ends the transaction: when `commit` and not doomed, commits every resource in enlistment order
  // and returns true; otherwise rolls every resource back and returns false. A resource whose
  // commit throws makes the rest roll back; the error is rethrown. Ending twice does nothing the
  // second time and returns whether the first end committed.
  bool End(bool commit);
  bool Ended() const { return ended_; }

 private:
  std::vector<std::pair<std::string, std::shared_ptr<TransactionResource>>> resources_;
  bool retryable_ = false;
  bool conflict_ = false;
  bool doomed_ = false;
  bool ended_ = false;
  bool committed_ = false;
};

// The transaction active on the calling thread (a live TransactionScope or the implicit transaction
// of a host call in progress), or nullptr. The component service above this layer decides which
// transaction is current and keeps the slot up to date; the database layer only reads it.
Transaction* CurrentTransaction();
// The calling thread's slot behind CurrentTransaction().
Transaction*& ThreadTransaction();

}  // namespace corva::db

#endif  // CORVA_DB_TRANSACTION_H_
