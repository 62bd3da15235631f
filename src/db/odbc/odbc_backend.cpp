// The ODBC backend: a session per connection over OdbcLink, the host transaction carried by a link
// of its own that the transaction's connections bind to (SQL Server) or share (other databases),
// and the provider facts the driver reports.
#ifdef CORVA_WITH_ODBC

#include "db/odbc/odbc_backend.h"

#include "db/connection_string.h"
#include "db/errors.h"
#include "db/odbc/odbc_connect_string.h"
#include "db/odbc/odbc_link.h"
#include "db/transaction.h"

namespace corva::db {
namespace {

// SQL Server's name for itself in SQL_DBMS_NAME, from Microsoft's driver and from FreeTDS alike.
constexpr char kSqlServerDbmsName[] = "Microsoft SQL Server";

class OdbcBackend : public Backend {
 public:
  explicit OdbcBackend(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}

  BatchOutput Execute(std::string_view batch, const std::vector<Param>& params) override {
    if (!link_) throw DataAccessError(kErrObjectClosed);
    return link_->Run(batch, params);
  }

  Variant Property(const std::string& name) const override {
    if (!link_) return Variant();
    auto yes = [this](SQLUSMALLINT info) { return link_->InfoText(info) == "Y"; };
    if (EqualsNoCase(name, "DBMS Name")) return Variant(link_->InfoText(SQL_DBMS_NAME));
    if (EqualsNoCase(name, "DBMS Version")) return Variant(link_->InfoText(SQL_DBMS_VER));
    if (EqualsNoCase(name, "Provider Name")) return Variant(link_->InfoText(SQL_DRIVER_NAME));
    if (EqualsNoCase(name, "Multiple Results")) {
      return Variant(static_cast<int32_t>(yes(SQL_MULT_RESULT_SETS) ? 1 : 0));
    }
    if (EqualsNoCase(name, "Like Escape Clause")) {
      return Variant(link_->InfoText(SQL_LIKE_ESCAPE_CLAUSE));
    }
    if (EqualsNoCase(name, "Integrity Enhancement Facility")) return Variant(yes(SQL_INTEGRITY));
    if (EqualsNoCase(name, "Numeric Functions")) return link_->InfoMask(SQL_NUMERIC_FUNCTIONS);
    if (EqualsNoCase(name, "String Functions")) return link_->InfoMask(SQL_STRING_FUNCTIONS);
    if (EqualsNoCase(name, "System Functions")) return link_->InfoMask(SQL_SYSTEM_FUNCTIONS);
    if (EqualsNoCase(name, "Time/Date Functions")) return link_->InfoMask(SQL_TIMEDATE_FUNCTIONS);
    return Variant();
  }

  void Close() override { link_.reset(); }

 private:
  std::shared_ptr<OdbcLink> link_;  // its own, or the one its transaction shares
};

// The transaction of one host transaction on one ODBC data source. It holds a link of its own, so
// that the transaction outlives the connections the rules open and close inside it; committing or
// rolling back ends it and disconnects. How the transaction's connections join it depends on the
// database:
// - SQL Server: the link runs BEGIN TRANSACTION and hands out a bind token; each connection is a
//   session of its own bound to it (sp_bindsession), so each keeps its own "#" tables.
// - any other database (no bound sessions): the link turns to manual commit and every connection
//   of the transaction runs on it.
class OdbcTransaction : public corva::db::TransactionResource {
 public:
  explicit OdbcTransaction(const std::string& odbc)
      : odbc_(odbc), link_(std::make_shared<OdbcLink>(odbc)) {
    if (link_->InfoText(SQL_DBMS_NAME) != kSqlServerDbmsName) {
      link_->SetAutoCommit(false);
      return;
    }
    BatchOutput out = link_->Run(
        "BEGIN TRANSACTION\r\n"
        "DECLARE @token varchar(255)\r\n"
        "EXEC sp_getbindtoken @token OUTPUT\r\n"
        "SELECT @token",
        {});
    if (out.result_sets.empty() || out.result_sets[0].rows.empty()) {
      throw DbError(kErrUnspecified, "SQL Server gave no bind token for the transaction.");
    }
    token_ = out.result_sets[0].rows[0][0].AsString();
  }
  ~OdbcTransaction() override {
    try {
      if (link_->Connected()) Rollback();
    } catch (...) {  // a server rolls back a transaction whose session goes away
    }
  }

  void Commit() override { End(true); }
  void Rollback() override { End(false); }

  // A backend for one connection of the transaction.
  std::unique_ptr<Backend> Join() {
    if (!link_->Connected()) throw DataAccessError(kErrObjectClosed);
    if (token_.empty()) return std::make_unique<OdbcBackend>(link_);
    auto backend = std::make_unique<OdbcBackend>(std::make_shared<OdbcLink>(odbc_));
    Param token{ParamType::kVarChar, 255, Variant(token_)};
    backend->Execute("EXEC sp_bindsession ?", {token});
    return backend;
  }

 private:
  void End(bool commit) {
    if (!link_->Connected()) return;
    if (token_.empty()) {
      link_->EndTransaction(commit);
    } else {
      link_->Run(commit ? "IF @@TRANCOUNT > 0 COMMIT TRANSACTION"
                        : "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION",
                 {});
    }
    link_->Disconnect();
  }

  std::string odbc_;
  std::shared_ptr<OdbcLink> link_;
  std::string token_;  // SQL Server's bind token; empty when the connections share the link
};

}  // namespace

std::unique_ptr<Backend> OpenOdbc(const ConnectionString& connect) {
  std::string odbc = ToOdbcConnectString(connect);
  corva::db::Transaction* transaction = corva::db::CurrentTransaction();
  if (transaction == nullptr || transaction->Ended()) {
    return std::make_unique<OdbcBackend>(std::make_shared<OdbcLink>(odbc));
  }
  const std::string key = "odbc:" + odbc;
  auto joined = std::dynamic_pointer_cast<OdbcTransaction>(transaction->Find(key));
  if (!joined) {
    joined = std::make_shared<OdbcTransaction>(odbc);
    transaction->Enlist(key, joined);
  }
  return joined->Join();
}

}  // namespace corva::db

#endif  // CORVA_WITH_ODBC
