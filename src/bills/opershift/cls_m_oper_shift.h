// clsMOperShift ("CorvaMSHTransBills.clsMOperShift"): the rules of the operation shift bill, which
// moves a quantity of work out of one work bill operation and/or into another: hand-overs between
// operations, receipts, shifts to repair and qualified returns from repair. It keeps the shifted
// totals of both operations, enforces what an operation may hand over and receive, checks and
// unchecks bills with the move-number ledger, closes finished operations and deletes bills.
#ifndef CORVA_BILLS_OPERSHIFT_CLS_M_OPER_SHIFT_H_
#define CORVA_BILLS_OPERSHIFT_CLS_M_OPER_SHIFT_H_

#include <cstdint>
#include <string>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call sets up the instance's parse object and data source afresh from its sDsn and runs in
// the caller's transaction. The operations that reach the database vote SetAbort as they start
// and SetComplete only when they succeed, so an error that escapes leaves the abort standing;
// they call each other directly and so share one vote. clsPublic (locks) and clsMWorkBill (close
// of a finished operation) are created by name in the caller's transaction and vote for
// themselves. One call at a time.
//
// Totals of a work bill operation W that the shift bills keep (all bills / checked bills):
//   FAuxQtyHandOverSel / FAuxQtyHandOver      bills leaving W, except shifts to repair
//   FAuxReprocessedMoveSelQty / ...MoveQty     shifts to repair leaving W
//   FAuxQualifiedReprocessedQty                checked qualified returns from repair into W
//   FAuxQtyReceiveSel / FAuxQtyRecive          bills entering W, except repair shifts and returns;
//                                              not rewritten when W's preceding operation is
//                                              subcontracted (the subcontractor's receipt books it)
class clsMOperShift : public corva::host::BoundClass<clsMOperShift> {
 public:
  clsMOperShift() = default;

  // ---- Save and write-back ----

  // Called before the host writes the bill: nothing to do; true, no vote, no database work.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Called after the host wrote bill SaveVect(1)("FInterID"). Rewrites the shifted totals of the
  // bill's out and in operations and its base-unit quantity, then tests the limits with the bill
  // included: without an out operation, what the in operation received against planned x 100 /
  // yield (rounded half to even to the item's decimals; off unless "SH" SHOPPROC_CONTROLRECEIVE
  // is false); with one, what the out operation handed over against passed + qualified repaired
  // (finished + qualified repaired for a subcontracted operation of quality mode 352 on a
  // hand-over). Refuses (false, "SaveRetCode" 99, ReturnMsg = the localized reason, SetAbort) a
  // missing bill, an out operation of a hand-over that is not checked, a missing or unchecked in
  // operation of a receipt, and an exceeded limit. A failed write-back: false, SetAbort,
  // ReturnMsg = "反写工序计划单[id]移转数量失败！", "SaveRetCode" untouched. Run-time errors
  // (a yield of 0 included): false, SetAbort, ReturnMsg and "SaveRetCode" untouched. Success:
  // true, SetComplete, ReturnMsg unchanged.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Rewrites the shifted totals of operation `lngWBInterID` (see the class comment) from every
  // shift bill that leaves or enters it, and its base-unit quantities. With `lngOSInterID` >= 1
  // the out and in operations of that shift bill are rewritten the same way (as well as
  // `lngWBInterID` when it is >= 1). True, SetComplete; false, SetAbort when there is no
  // operation to rewrite or a statement fails. `lngOptions` is not used.
  bool SynWorkBillAndOperShift(const std::string& sDsn, int32_t lngWBInterID,
                               corva::Optional<int32_t> lngOSInterID = {},
                               corva::Optional<int32_t> lngOptions = {});
  // Whether the operation one position before `lngWBInterID` in its work bill is subcontracted
  // (FISOut 1058); false for a first operation. No vote, no error trap: errors reach the caller.
  bool IsFormerOperSubced(const std::string& sDsn, int32_t lngWBInterID);
  // Whether operation `lngWBInterID` itself is subcontracted. No vote, no error trap.
  bool IsCurOperSubced(const std::string& sDsn, int32_t lngWBInterID);

  // ---- Check and uncheck ----
  // `CheckSwitch` 0 checks, any other value unchecks. The host checks either in three calls
  // around its own status write (PreCheck, CheckBill, PostCheck) or in one (CheckOperShift,
  // which does not test the limits, close operations or keep the ledger).

  // Validates a check or uncheck of bill `lngOSInterID` before the status changes. Refuses
  // (false, SetAbort, ReturnMsg = the localized reason + CR LF + a run-time error's localized
  // description, "" without one) a checker id of 0 and a bill locked by a closed, cancelled or
  // suspended operation or production task on either side; an uncheck also when a repair work
  // bill or a product receipt was made from the bill, or the bill was made automatically.
  // Success: true, SetComplete, ReturnMsg unchanged. `ProcessStatus` and `CheckDate` are not used.
  bool PreCheck(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                int32_t ProcessStatus, int32_t lngEmpID,
                corva::Optional<corva::Date> CheckDate = {},
                corva::OptionalRef<std::string> ReturnMsg = {});
  // Writes the status: checked (1) with checker `lngEmpID` and the day of `CheckDate`, or
  // unchecked (0) with both cleared. True, SetComplete; on a run-time error false, SetAbort and
  // ReturnMsg = CR LF + the localized description. `ProcessStatus` is not used.
  bool CheckBill(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                 int32_t ProcessStatus, int32_t lngEmpID, const corva::Date& CheckDate,
                 corva::OptionalRef<std::string> ReturnMsg = {});
  // After the status changed (check and uncheck alike): rewrites both operations' totals and the
  // bill's base-unit quantity; tests that the out operation has not handed over more than it
  // passed (+ qualified repaired; not for a subcontracted operation of quality mode 352 on a
  // hand-over) and the in operation's finished, dispatched, handed-over and inspection quantities
  // against what it received, as the "SH" settings PROCRPT_REPORTQTY and
  // TASKDISP_CONTROLQTYPLAN (0 = on) ask; lets clsMWorkBill.AutoCloseBill close (or re-open) the
  // out operation; keeps the move-number ledger. Failure: false, SetAbort, ReturnMsg = reason + CR
  // LF + a run-time error's localized description; the abort undoes the status write too.
  bool PostCheck(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                 int32_t ProcessStatus, int32_t lngEmpID,
                 corva::OptionalRef<std::string> ReturnMsg = {});
  // Checks or unchecks in one call: refuses a missing bill, a checker id of 0 and a locked bill,
  // writes the status as CheckBill does and rewrites both operations' totals and the bill's
  // base-unit quantity. Failure: false, SetAbort, ReturnMsg = the localized reason ("" for a
  // run-time error, whose description is not added). `ProcessStatus` is not used.
  bool CheckOperShift(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                      int32_t ProcessStatus, int32_t lngEmpID, const corva::Date& CheckDate,
                      corva::OptionalRef<std::string> ReturnMsg = {});

  // ---- Delete ----

  // Deletes bill `lngOSInterID`: refused for a missing bill, a locked one, and a checked one
  // unless the system made it (FAutoOF 1058). Takes its quantity off its move number's ledger
  // row (removing a row that reaches 0), deletes the row and rewrites both operations' totals.
  // Success: true, SetComplete, ReturnMsg = "删除工序移转单[no]成功！". Failure: false,
  // SetAbort, ReturnMsg = the localized reason (the text gathered so far, "" at most, for a
  // run-time error); the abort undoes the ledger change and the delete.
  bool DeleteOperShift(const std::string& sDsn, int32_t lngOSInterID,
                       corva::OptionalRef<std::string> ReturnMsg = {});

 private:
  // Sets the bill's base-unit FQtyShift from FAuxQtyShift through its production task's unit.
  // True; no vote and no error trap: errors reach the caller. `sMsg` is not used.
  bool UpdateShiftBaseQty(const std::string& sDsn, int32_t lngOSInterID, std::string& sMsg);
  // The move-number ledger (SHMoveNoManage, FTransType 581) of the bill's out operation and move
  // number: a check (`CheckSwitch` 0) rebuilds the row from every shift bill of that operation and
  // move number; an uncheck takes this bill's quantity off it and removes a row left at 0. A bill
  // without a move number has no row to keep: true without a statement. Votes SetAbort first and
  // SetComplete on success; a run-time error gives false with `sMsg` = its description.
  bool UpdateMoveNoManage(const std::string& sDsn, int32_t lngOSInterID, int32_t CheckSwitch,
                          std::string& sMsg);
  // SynWorkBillAndOperShift for `out_operation`, then `in_operation`, each when it is > 0. The
  // first operation whose write-back failed, or 0 when none did.
  int32_t WriteBackOperations(const std::string& sDsn, int32_t out_operation, int32_t in_operation);

  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_OPERSHIFT_CLS_M_OPER_SHIFT_H_
