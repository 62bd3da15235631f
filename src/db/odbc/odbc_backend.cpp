// The SQL Server backend: a session per connection over OdbcLink, the host transaction carried by a
// session of its own that the transaction's connections bind to, and the provider facts the driver
// reports.
#ifdef CORVA_WITH_ODBC

#include "db/odbc/odbc_backend.h"

#include "db/connection_string.h"
#include "db/errors.h"
#include "db/odbc/odbc_connect_string.h"
#include "db/odbc/odbc_link.h"
#include "db/transaction.h"

namespace corva::db {
namespace {

// The transaction of one host transaction on one SQL Server database. It holds a session of its
// own (so the transaction outlives the connections the rules open and close inside it), begun with
// BEGIN TRANSACTION; connections join it with the bind token. Committing or rolling back ends it
// and disconnects.
class BoundTransaction : public corva::db::TransactionResource {
 public:
  explicit BoundTransaction(const std::string& odbc) : link_(odbc) {
    BatchOutput out = link_.Run(
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
  ~BoundTransaction() override {
    try {
      if (link_.Connected()) Rollback();
    } catch (...) {  // the server rolls back a transaction whose session goes away
    }
  }

  void Commit() override { End("IF @@TRANCOUNT > 0 COMMIT TRANSACTION"); }
  void Rollback() override { End("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"); }
  const std::string& token() const { return token_; }

 private:
  void End(const char* statement) {
    if (!link_.Connected()) return;
    link_.Run(statement, {});
    link_.Disconnect();
  }

  OdbcLink link_;
  std::string token_;
};

class OdbcBackend : public Backend {
 public:
  explicit OdbcBackend(const std::string& odbc) : link_(std::make_unique<OdbcLink>(odbc)) {}

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
  std::unique_ptr<OdbcLink> link_;
};

}  // namespace

std::unique_ptr<Backend> OpenOdbc(const ConnectionString& connect) {
  std::string odbc = ToOdbcConnectString(connect);
  corva::db::Transaction* transaction = corva::db::CurrentTransaction();
  if (transaction == nullptr || transaction->Ended()) return std::make_unique<OdbcBackend>(odbc);

  const std::string key = "odbc:" + odbc;
  auto bound = std::dynamic_pointer_cast<BoundTransaction>(transaction->Find(key));
  if (!bound) {
    bound = std::make_shared<BoundTransaction>(odbc);
    transaction->Enlist(key, bound);
  }
  auto backend = std::make_unique<OdbcBackend>(odbc);
  Param token{ParamType::kVarChar, 255, Variant(bound->token())};
  backend->Execute("EXEC sp_bindsession ?", {token});
  return backend;
}

}  // namespace corva::db

#endif  // CORVA_WITH_ODBC
