// clsPublic ("CorvaMSHTransBills.clsPublic"): the small database services the host and the bill
// classes share: run a statement, read one value or a recordset, a work centre's daily hours, the
// work calendar, the status chain of a bill and whether a bill above it locks it, one system
// setting, the stocks kept out of material planning, and the bill-of-material lines of an order.
#ifndef CORVA_SHARED_CLS_PUBLIC_H_
#define CORVA_SHARED_CLS_PUBLIC_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/connection.h"
#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/recordset.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// The instance sets up its data source on its first call and keeps it: later calls work on the
// first call's database whatever property string they bring. Unless an operation says otherwise
// it runs in the caller's transaction, votes SetComplete when it succeeds and SetAbort when a
// run-time error occurs, and answers with its fallback instead of raising. One call at a time.
class clsPublic : public corva::host::BoundClass<clsPublic> {
 public:
  clsPublic() = default;

  // ---- Statements and recordsets ----

  // Runs `strSQL`. A failing statement only shows in the abort vote that dooms the transaction.
  void UpdateSql(const std::string& sDsn, const std::string& strSQL);
  // The first column of the first row of `strSQL` as text; "None" when there is no row; "False"
  // when the statement fails (or its value is Null).
  std::string JudgeBillNO(const std::string& sDsn, const std::string& strSQL);
  // The daily hours of work centre `CenterID`: the sum of runs x hours x usage x efficiency of its
  // resources that count (FKey 1), rounded half to even. 8 when the centre is below 1, has no
  // such capacity, or the query fails.
  int32_t GetHour(const std::string& sDsn, int32_t CenterID);
  // The first item (FNumber, Fitemid, Fname), or nullptr when the query fails.
  corva::RecordsetPtr GetItem(std::string& sDsn);
  // The first result set of `strSQL` (a closed recordset when it has none), or nullptr when it
  // fails.
  corva::RecordsetPtr GetRs(std::string& sDsn, const std::string& strSQL);

  // ---- Work calendar ----
  // `FDate` is a list of quoted date literals ("'2026-05-01','2026-05-04'") placed unchanged
  // inside an SQL in (...) list; text of another shape is refused as a run-time error (5). `nType`:
  // 0 factory calendar, 1 department `lngID`, 2 resource `lngID`, 3 work centre `lngID`.

  // Types 0 and 1: the non-working days among `FDate`, as "YYYY-MM-DD" joined by ","; types 2 and
  // 3: the smallest capacity (hours) on those days as text; "" when nothing matches or for any
  // other type. Votes SetComplete first and never SetAbort. A run-time error is raised to the
  // caller with its number and description and the source
  // "CorvaMSHTransBills.clsPublic.CheckIsWorkDate." + the error's own source.
  std::string CheckIsWorkDate(const std::string& sDsn, const std::string& FDate, int32_t lngID,
                              corva::OptionalRef<int32_t> nType = {});
  // The weakest (types 2, 3) or earliest non-working (types 0, 1) of the days: true, and
  // `ReturnOBJ` is emptied and receives "Day" ("YYYY-MM-DD"), "IsWorkDay" (the day's running
  // number, 0 on a non-working day) and "RelAbility" (its capacity; Null for types 0 and 1).
  // False with `ReturnOBJ` emptied when no day matches or the type is unknown. Votes SetComplete
  // first; run-time errors reach the caller (ReturnOBJ then untouched).
  bool CheckIsWorkDateEx(const std::string& sDsn, const std::string& FDate, int32_t lngID,
                         const corva::DictionaryPtr& ReturnOBJ,
                         corva::OptionalRef<int32_t> nType = {});

  // ---- Related bills ----

  // Appends to `vctRtnBillInfo` a Dictionary of bill `lngInterID` of type `lngTransType` (FTransID,
  // FTemplateID, FInterID, FBillNo, FStatus, FCancellation, FClosed, FSuspend, FUpperTransID,
  // FUpperInterID) and, with `bUpperInclude`, one for each bill above it, nearest first. False
  // when the id or type is 0, the type is not one of 85, 52, 502, 551, 581, 582, a bill of the
  // chain is missing, or a query fails (rows appended so far stay). For a shift bill (581)
  // `lngOptions` 0 follows the receiving operation, any other value the sending one. Casts no vote.
  bool GetRelatedBillStatus(const std::string& sDsn, int32_t lngInterID, int32_t lngTransType,
                            const corva::VectorPtr& vctRtnBillInfo,
                            corva::Optional<int32_t> lngOptions = {},
                            corva::Optional<bool, true> bUpperInclude = {});
  // True when a bill above the given one (or, with `bSelfIncluded`, the bill itself) is closed
  // (status 3 or FClosed), cancelled or suspended; both chains of a shift bill count. Votes
  // SetAbort first and SetComplete when it can answer; when the chain cannot be read the bill
  // counts as locked (true) and the abort vote stands.
  bool IsLockByUpperBills(const std::string& sDsn, int32_t lngInterID, int32_t lngTransType,
                          corva::OptionalRef<bool> bSelfIncluded = {});
  // Bills below are not examined: always true, nothing else happens.
  bool GetLowerBillStatus(const std::string& sDsn, int32_t lngInterID, int32_t lngTransType,
                          const corva::VectorPtr& vctRtnBillInfo, int32_t lngOptions);

  // ---- Setting, stocks, bill of material ----

  // FValue of t_SystemProfile (`sCategory`, `sKey`); Empty without a row; 1 when the query fails
  // (the texts go into the statement between quotes, so a quote in them fails). Casts no vote.
  corva::Variant GetICSysProfile(const std::string& sDsn, const std::string& sCategory,
                                 const std::string& sKey);
  // The rows of `vctStock` (Dictionaries with "FRowID" and "FStockID") whose stock takes no part
  // in material planning: FRowID, FStockID, FNumber, FName, FMRPAvail (0). nullptr on failure.
  corva::RecordsetPtr GetStockNoMrp(const std::string& sDsn, const corva::VectorPtr& vctStock);
  // The result of the caller's `strSQL`, which builds and reads #MaterialHead itself; the table is
  // dropped afterwards. nullptr on failure (an empty `strSQL` fails, there being no table).
  corva::RecordsetPtr GetStockNoMrpBySql(const std::string& sDsn, const std::string& strSQL);
  // The component lines of the bill of material of production task `sInterID`, or, when
  // `dctExtraFilter` holds "FHeadOrderEntryID" >= 1, of that line of subcontract order `sInterID`;
  // each with the date its components must be sent (FSendItemDate). `FilterEntryID` is a further
  // condition ("AND ...") appended unchanged. `sInterID` must read as an id, `FilterEntryID` as a
  // condition and "DataTable" as a table name, or the call fails with error 5 before it runs
  // them. Votes SetComplete first; run-time errors reach the caller.
  corva::RecordsetPtr GetBomEntry(const std::string& sDsn, const std::string& sInterID,
                                  corva::Optional<std::string> FilterEntryID = {},
                                  corva::Optional<corva::DictionaryPtr> dctExtraFilter = {});

 private:
  corva::frame::ClassFrame frame_{corva::frame::InitMode::kFirstCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_SHARED_CLS_PUBLIC_H_
