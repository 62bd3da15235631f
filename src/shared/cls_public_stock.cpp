// clsPublic's single-setting and stock services: one value of t_SystemProfile, and which of a
// list of stocks take no part in material planning (t_Stock.FMRPAvail 0), gathered through the
// temporary table #MaterialHead.
#include <string>

#include "corva/error.h"
#include "frame/caller_text.h"
#include "frame/sql_text.h"
#include "shared/cls_public.h"

namespace CorvaMSHTransBills {
namespace {

using corva::RecordsetPtr;
using corva::Variant;
using corva::frame::Call;

// What GetICSysProfile answers when the setting cannot be read.
constexpr int32_t kProfileReadFailed = 1;

constexpr char kDropMaterialHead[] = " DROP TABLE #MaterialHead ";

// Drops #MaterialHead on the way out of a failure; the table may not exist (yet), and the
// failure being reported is the one that matters.
void DropMaterialHeadQuietly(const corva::ConnectionPtr& connection) {
  try {
    connection->Execute(kDropMaterialHead);
  } catch (const corva::Error&) {
  }
}

std::string CreateMaterialHead() {
  return JoinCrLf(
      {" Set nocount on", " CREATE TABLE #MaterialHead ", " ( ", " FRowID int not null default 0, ",
       " FStockID int not null default 0, ", " FNumber varchar(255) not null default '' , ",
       " FName varchar(255)  not null default '' , ", " FMRPAvail int not null default 0 )"});
}

// One insert per row of `stocks`, each followed by CR LF; empty for an empty list.
std::string InsertStockRows(const corva::Vector& stocks) {
  std::string batch;
  for (int32_t i = 1; i <= stocks.Count(); ++i) {
    corva::DictionaryPtr row = stocks.Item(i).As<corva::Dictionary>();
    if (!row) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    batch += "insert into #MaterialHead(FRowID,FStockID) values(" +
             SqlNumber(row->Value("FRowID").AsLong()) + "," +
             SqlNumber(row->Value("FStockID").AsLong()) + " ) " + std::string(kCrLf);
  }
  return batch;
}

// Every row takes number, name and planning flag from its stock. A row whose stock is not in
// t_Stock keeps the table's defaults (no number or name, FMRPAvail 0): a stock that does not
// exist cannot be planned, so it is reported with the excluded ones.
std::string FillFromStock() {
  return JoinCrLf({"update v1 set v1.FNumber=t1.FNumber,", " v1.FName=t1.FName, ",
                   " v1.FMRPAvail = t1.FMRPAvail ", " from #MaterialHead v1,t_stock t1 ",
                   " where v1.FStockID=t1.FItemID  "});
}

}  // namespace

Variant clsPublic::GetICSysProfile(const std::string& sDsn, const std::string& sCategory,
                                   const std::string& sKey) {
  // The category and key go into the statement as the caller wrote them: they are the system's
  // own names, and a quote in them makes the read fail (answer 1) rather than match another row.
  return frame_.Query<Variant>(sDsn, Variant(kProfileReadFailed), {.vote = false}, [&](Call& call) {
    RecordsetPtr rs = call.Connection()->Execute(
        "select FValue from t_SystemProfile where FCategory = '" +
        corva::frame::CheckQuotedText("sCategory", sCategory) + "'" + " and FKey = '" +
        corva::frame::CheckQuotedText("sKey", sKey) + "'");
    Variant value = rs->Eof() ? Variant() : rs->Fields("FValue");
    rs->Close();
    return value;
  });
}

RecordsetPtr clsPublic::GetStockNoMrp(const std::string& sDsn, const corva::VectorPtr& vctStock) {
  return frame_.Query<RecordsetPtr>(sDsn, nullptr, {}, [&](Call& call) {
    const corva::ConnectionPtr& connection = call.Connection();
    try {
      connection->Execute(CreateMaterialHead());
      if (!vctStock) throw corva::Error::Runtime(corva::kErrObjectNotSet);
      const std::string inserts = InsertStockRows(*vctStock);
      if (!inserts.empty()) connection->Execute(inserts);
      connection->Execute(FillFromStock());
      // Client-side and fully read: the recordset outlives the table.
      RecordsetPtr rs = connection->Execute(" select * from #MaterialHead where FMRPAvail=0 ");
      connection->Execute(kDropMaterialHead);
      return rs;
    } catch (...) {
      DropMaterialHeadQuietly(connection);
      throw;
    }
  });
}

RecordsetPtr clsPublic::GetStockNoMrpBySql(const std::string& sDsn, const std::string& strSQL) {
  // The caller's statement builds and reads #MaterialHead itself; it runs as written.
  return frame_.Query<RecordsetPtr>(sDsn, nullptr, {}, [&](Call& call) {
    const corva::ConnectionPtr& connection = call.Connection();
    try {
      RecordsetPtr rs;
      if (!strSQL.empty()) rs = connection->Execute(strSQL);
      connection->Execute(kDropMaterialHead);
      return rs;
    } catch (...) {
      DropMaterialHeadQuietly(connection);
      throw;
    }
  });
}

}  // namespace CorvaMSHTransBills
