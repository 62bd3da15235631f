// clsMProcRpt ("CorvaMSHTransBills.clsMProcRpt"): the rules of the operation report, by which the
// shop floor reports finished, passed, scrapped and reworked quantities and the times spent on one
// operation of a work bill, against a task dispatch entry. Saving a report re-totals everything
// above it: the dispatch entry, the operation, the production task, the work in process of the
// task's material lines and the move-number ledger; report times reach the same three, and an
// operation that has passed and handed on all it planned is closed.
#ifndef CORVA_BILLS_PROCRPT_CLS_M_PROC_RPT_H_
#define CORVA_BILLS_PROCRPT_CLS_M_PROC_RPT_H_

#include <cstdint>
#include <string>

#include "corva/connection.h"
#include "corva/containers.h"
#include "corva/decimal.h"
#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Where a passed quantity that quality management feeds back comes from: an inspection request
// of final quality control, a production report, a stock bill. Published for the quality side;
// UpdateQtyPassByQM does not read it.
enum EBOQtyPassSrc : int32_t {
  EBOQPS_QMFQCReq = 0,
  EBOQPS_ICRpt = 1,
  EBOQPS_ICStockBill = 2,
};

// Every call sets up the instance's parse object and data source afresh from its sDsn and runs in
// the caller's transaction. The operations vote SetAbort as they start and SetComplete when they
// succeed, so an error that escapes leaves the abort standing; they call each other directly and
// so share one vote, the last one cast. clsMSynBills (start mark) is created by name in the
// caller's transaction and votes for itself. One call at a time.
//
// What a report (header SHProcRptMain, lines SHProcRpt) totals into:
//   dispatch entry FTaskDispBillID   every report on it with header status >= 0
//   operation FWBInterID             every report line on it with line status >= 0
//   production task                  finished quantity from row 1 of an ordinary work bill; dates
//                                    and times (in hours) from all its operations
// Passed, scrapped and reworked quantities follow the reports only under quality mode 352; under
// any other mode quality management sets them.
class clsMProcRpt : public corva::host::BoundClass<clsMProcRpt> {
 public:
  clsMProcRpt() = default;

  // ---- Save ----

  // Before the host writes report SaveVect(1)("FInterID"): remembers the report's finished total
  // as stored (0 and new for an id below 1) in SaveVect(1)("OldRpt"), a Dictionary with
  // "FAuxQtyFinish" and "FNew". True and SetComplete; with no SaveVect or an empty one true and
  // nothing done. A run-time error (a stored report without lines included): false, SetAbort,
  // ReturnMsg unchanged.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // After the host wrote the report. Unless the report is checked, refuses it when its dispatch
  // entry is not checked or closed (an automatically dispatched operation excepted), its operation
  // is not checked or closed, or its production task is not released or is suspended: ReturnMsg =
  // the localized reason, "SaveRetCode" 99, SetAbort, and true. Otherwise the report's base-unit
  // quantities, its times (WriteBackTime), the task's start mark, the re-totals (SyncAfterSave)
  // and the automatic close of its operation (AutoCloseSHWork); true and SetComplete, or false and
  // SetAbort when the re-total or the close failed (ReturnMsg = the re-total's error description).
  // A failed write-back of the times dooms the transaction (its abort vote stands); the save goes
  // on as if it had not failed.
  // A run-time error of its own votes SetAbort and leaves the result as it stood (true unless the
  // re-total had failed) and ReturnMsg unchanged.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Re-totals dispatch entry, operation and production task from report `FinterID`, consumes work
  // in process by its whole finished quantity (`blnNew`) or by `dblquantity` (the change of a
  // stored report), keeps the move-number ledger (`CheckSwitch` 0 rebuilds the row, 1 takes the
  // report's passed quantity off it), marks a dispatch entry whose passed quantity reached its
  // plan as done, and refreshes the base-unit quantities; one batch. True and SetComplete; a
  // failing batch: false, SetAbort, Returnstring = the localized error description.
  bool UpdateInfoAfterSave(const std::string& sDsn, int32_t CheckSwitch, int32_t FinterID,
                           corva::OptionalRef<std::string> Returnstring = {},
                           corva::OptionalRef<double> dblquantity = {},
                           corva::OptionalRef<bool> blnNew = {});

  // ---- Check, uncheck and delete ----
  // The host sets the report's status (header FStatus >= 1 checked) or deletes its rows itself;
  // these operations bring the documents above it in step with the reports that remain valid.

  // After a check (`CheckSwitch` 0) or an uncheck (1) of report `FinterID`: the dispatch entry
  // re-totalled from every report on it while any of them is checked, zeroed otherwise; the
  // operation from its released dispatch entries, the production task from its released
  // operations (each zeroed when nothing there has finished); with `blnSave` work in process
  // consumed by the report's whole finished quantity; the ledger row rebuilt (check) or reduced by
  // the report's passed quantity (uncheck); the entry's done status and the base-unit
  // quantities. One batch. True and SetComplete; a failing batch: false, SetAbort, Returnstring
  // = the localized error description.
  bool UpdateInfoAfterCheck(const std::string& sDsn, int32_t CheckSwitch, int32_t FinterID,
                            corva::OptionalRef<std::string> Returnstring = {},
                            corva::OptionalRef<bool> blnSave = {});
  // While report `FinterID` (still stored) is deleted: the dispatch entry and the operation
  // re-totalled without it (zeroed when no other report is on them), the production task after
  // them, the work in process of its finished quantity `dblquantity` given back, the ledger row
  // rebuilt; then clsMWorkBill.AutoCloseBill, created by name in the caller's transaction, closes
  // or re-opens the operation (its answer is not used; it votes for itself). A report no longer
  // stored changes nothing. Always true: SetComplete on success, the abort vote cast at the start
  // standing on a run-time error.
  bool UpdateInfoAfterDel(const std::string& sDsn, int32_t FinterID, double& dblquantity);

  // ---- Passed quantity from quality management ----

  // Adds the quantities of `dictUpdateData` ("FQty" passed, "FQtyForItem", "FQtyScrap",
  // "FBackWorkQty" reworked; negative to take back; a column never falls below 0) where quality
  // management decided them: "FTranType" 52 to work bill operation "FInterID"; 582 to line
  // "FEntryID" of report "FInterID" and on to its dispatch entry and operation (the entry's done
  // status, the ledger row rebuilt, base-unit quantities), or with "FCardReport" not 0 to the
  // report line and its flow card line only. Unless it is a flow-card line, refuses (false,
  // SetAbort, Returnstring = the localized reason) a passed quantity that would fall below what
  // the operation has handed over, except on a report shifted on automatically (FAutoOF 1058);
  // false without a message when the operation or report is not found. True and SetComplete.
  // A run-time error (any other "FTranType" included): false, SetAbort, the localized description
  // appended to Returnstring.
  bool UpdateQtyPassByQM(const std::string& sDsn,
                         corva::Optional<corva::DictionaryPtr> dictUpdateData = {},
                         corva::OptionalRef<std::string> Returnstring = {});

  // ---- Times and the automatic close ----

  // The preparation hours booked by reports (FHRReadyTime) of report `lngIRInterID`'s production
  // task (hours), operation and dispatch entry (each in its own time unit: 11081 minutes, 11083
  // days, else hours): recomputed from every report on them, or with `blnDel` reduced by what this
  // report contributes. Targets without reports are left alone. True and SetComplete; a run-time
  // error: false and SetAbort, ReturnMsg unchanged.
  bool WriteBackTime(const std::string& sDsn, int32_t lngIRInterID, bool blnDel,
                     corva::OptionalRef<std::string> ReturnMsg = {});
  // Closes operation `lngWBInterID` (status 3) when it has passed its plan and handed on all it
  // passed (an ordinary work bill's operation also counts qualified rework and needs all its
  // reprocessing moved and back); never re-opens. True and SetComplete; a missing operation: true
  // with the abort vote cast at the start; a run-time error: false and SetAbort.
  bool AutoCloseSHWork(const std::string& sDsn, int32_t lngWBInterID);

 private:
  // The re-total after a save: UpdateInfoAfterSave with the whole report when `old_report` says it
  // is new (or is missing), else with the change of its finished total since BeginSave (no call
  // when the report has no lines). The call's result, true without a call; false on an error.
  bool SyncAfterSave(corva::Connection& connection, int32_t report,
                     const corva::DictionaryPtr& old_report, const std::string& sDsn,
                     std::string& message);

  // Whether adding `quantity` to the passed quantity of the operation of `trans_type` 52 (the
  // operation `id`) or 582 (report `id`'s operation) keeps it at or above what the operation
  // handed over; true for a report shifted on automatically. False with `message` = the localized
  // reason, or without touching it when the operation or report is not found. Errors reach the
  // caller.
  bool CheckPassAgainstHandOver(corva::Connection& connection, int32_t trans_type, int32_t id,
                                const corva::Decimal& quantity, std::string& message,
                                const std::string& language);

  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_PROCRPT_CLS_M_PROC_RPT_H_
