// The shared operation re-total statements: which operation a dispatch entry belongs to, and the
// selected / acknowledged sums of dispatch entries and shift bills. "Selected" counts every saved
// bill, "acknowledged" only the checked ones, so the floor sees both what is planned to move and
// what is released to move.
#include "bills/operation_totals.h"

#include "corva/recordset.h"
#include "corva/variant.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {

std::string BuildOperationOfDispatchEntryQuery(int32_t entry) {
  return "Select v1.FWorkBillInterID from ICTaskDispBillEntry u1, ICTaskDispBill v1 Where "
         "u1.FInterID = v1.FInterID and u1.FTaskDispInterID = " +
         SqlNumber(entry);
}

int32_t ResolveDispatchedOperation(corva::Connection& connection, int32_t lngWBInterID,
                                   int32_t lngDTInterID) {
  if (lngWBInterID != 0 || lngDTInterID < 1) return lngWBInterID;
  corva::RecordsetPtr row = connection.Execute(BuildOperationOfDispatchEntryQuery(lngDTInterID));
  return row->Eof() ? 0 : corva::ValueOr(row->Fields(0), 0).AsLong();
}

std::string BuildDispatchSums(std::initializer_list<std::string_view> more_sums) {
  std::string sql = "select @AuxQtyTDSelSum = IsNull(sum(" + std::string(kDispatchedTerm) +
                    "),0)\r\n,@AuxQtyTDAckSum = IsNull(sum(" + std::string(kDispatchedCheckedTerm) +
                    "),0)";
  for (std::string_view sum : more_sums) {
    sql.append(kCrLf);
    sql.append(sum);
  }
  sql.append(kCrLf);
  sql.append(kDispatchEntriesFrom);
  sql.append(kCrLf);
  sql.append(kDispatchEntriesOfOperation);
  return sql;
}

std::string BuildShiftSums(std::string_view selected, std::string_view acknowledged,
                           std::string_view condition) {
  return JoinCrLf({
      " select @" + std::string(selected) + " = IsNull(sum(" + std::string(kShiftedTerm) + "),0) ",
      " ,@" + std::string(acknowledged) + " = IsNull(sum(" + std::string(kShiftedCheckedTerm) +
          "),0) ",
      " From ICOperShift Where " + std::string(condition),
  });
}

}  // namespace CorvaMSHTransBills
