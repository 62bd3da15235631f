// clsMTaskDispBill ("CorvaMSHTransBills.clsMTaskDispBill"): the rules of the task dispatch bill,
// which hands an operation's planned quantity to the shop floor entry by entry. It numbers the
// bills and their entries, totals what is dispatched into the operation, checks, unchecks, closes
// and uncloses bills or single entries, keeps the move-number ledger and deletes entries.
#ifndef CORVA_BILLS_TASKDISP_CLS_M_TASK_DISP_BILL_H_
#define CORVA_BILLS_TASKDISP_CLS_M_TASK_DISP_BILL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/codes.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call sets up the instance's parse object and data source afresh from its sDsn and runs in
// the caller's transaction. The operations that reach the database vote SetAbort as they start
// and SetComplete only when they succeed (DeleteTDBill: see there), so an error that escapes
// leaves the abort standing. The operations call each other directly and so share one vote. One
// call at a time.
class clsMTaskDispBill : public corva::host::BoundClass<clsMTaskDispBill> {
 public:
  clsMTaskDispBill() = default;

  // ---- Numbering ----

  // The next number of the numbering rule of bill type `lngBillID` in ICBillNo, or with `LoopNum`
  // >= 2 the next `LoopNum` numbers, each followed by ","; "" when the rule is missing. With
  // `isSave` the counter moves on by `LoopNum` (by 0 when it is 0). Votes SetAbort first and
  // SetComplete at the end; no error trap: errors (error 5 for a `LoopNum` below 0 or above
  // kMaxNumbersPerCall among them) reach the caller with the abort vote standing.
  // The by-reference arguments come back unchanged.
  std::string GetBillNo(int32_t& lngBillID, const std::string& sDsn,
                        corva::OptionalRef<int32_t> LoopNum = {},
                        corva::OptionalRef<bool> isSave = {});

  // ---- Save and write-back ----

  // Called before the host writes the bill: nothing to do; true, no vote, no database work.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Called after the host wrote bill SaveVect(1)("FInterID"). Refuses (false, "SaveRetCode" 99,
  // ReturnMsg = the localized reason, SetAbort) when the bill's operation is missing, planned,
  // closed or in another state than checked, or when its dispatch totals cannot be rewritten.
  // Otherwise rewrites those totals, refreshes the bill's base-unit quantities, gives every entry
  // still without a global id (in the whole table) FEntryID + ICMaxNum 'ICTaskDispBill' and moves
  // the counter on by the largest such FEntryID; true, SetComplete. Run-time errors: false,
  // SetAbort, ReturnMsg and "SaveRetCode" untouched.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Rewrites operation `lngWBInterID`'s dispatch totals from every entry dispatching it:
  // FAuxQtyTaskDispSel counts all entries, FAuxQtyTaskDispAck those checked or beyond (status >
  // 0). With `lngWBInterID` 0 the operation is that of entry `lngDTInterID`. False (SetAbort) when
  // no operation is found or a statement fails; `lngOptions` is not used.
  bool SynWorkBillAndTaskDisp(const std::string& sDsn, int32_t lngWBInterID,
                              corva::Optional<int32_t> lngDTInterID = {},
                              corva::Optional<int32_t> lngOptions = {});

  // ---- Check, uncheck, close, unclose ----

  // Checks or unchecks (`ProcessStatus` 1), closes or uncloses (any other value) the whole bill
  // `FinterID`, or when it is 0 the entry `FTDinterID`; `CheckSwitch` 0 does, any other value
  // undoes. Refuses, before writing anything, requests the bill's state, the rights options of the
  // plan-check component, a linked operation report (uncheck) or a lock by the bills above do not
  // allow. Then writes the entry statuses, totals a check or uncheck back into the operation under
  // the dispatch quantity control, keeps the move-number ledger and lets the header follow its
  // entries (check and uncheck only).
  // Success: true, `ReturnCode` 0, `Returnstring` = ["反"] action [entry number] "单据成功!",
  // SetComplete. Failure: false, `ReturnCode` -1, `Returnstring` = ["反"] action [entry number]
  // "单据时未成功!" + reason + the localized error description, SetAbort, which undoes any write.
  // A `CheckDate` not after 1990-01-01 (the default is the date zero, 1899-12-30) leaves the
  // entries' check dates Null.
  bool CheckTaskDispBill(const std::string& MtsString, int32_t FTDinterID, int32_t EmpID,
                         int32_t CheckSwitch, int32_t& ReturnCode,
                         corva::OptionalRef<std::string> Returnstring = {},
                         corva::Optional<int32_t> FinterID = {},
                         corva::Optional<int32_t, kProcessCheck> ProcessStatus = {},
                         corva::Optional<corva::Date> CheckDate = {});
  // After the entry statuses of a check or uncheck are written: rewrites the operation's dispatch
  // totals (operation `lngWBInterID`, or when 0 that of bill `lngInterID` or entry
  // `lngTDInterID`). On a check under the dispatch quantity control ("SH" TASKDISP_CONTROLQTYPLAN
  // 0) refuses when the checked total exceeds what the operation received (+ gain - loss +
  // converted + rework received); the message names the new quantity and what was left. False
  // (SetAbort) with `RtnMsg` = the reason ("" for a failed write-back or a run-time error).
  // `lngEmpID` is not used.
  bool DoAfterTaskDispBillCheck(const std::string& sDsn, int32_t lngTDInterID, int32_t lngInterID,
                                int32_t lngWBInterID, int32_t CheckSwitch, int32_t ProcessStatus,
                                int32_t lngEmpID, std::string& RtnMsg);

  // ---- Delete ----

  // Deletes entry `lngTDInterID`, and its bill's header once no entry is left, and rewrites the
  // operation's dispatch totals. Results (kDelete...): 1 deleted (SetComplete, `sMsg` = CR LF +
  // "派工单[no]删除成功. "); -1 no such entry and -2 entry checked or closed (no vote, nothing
  // written, `sMsg` says why); -100 a run-time error, a missing header or a failed write-back
  // (SetAbort, `sMsg` = "删除派工单出错,原因:" + the localized description).
  int32_t DeleteTDBill(const std::string& sDsn, int32_t lngTDInterID,
                       corva::OptionalRef<std::string> sMsg = {});

 private:
  // Keeps the move-number ledger SHMoveNoManage in step after the statuses of entry
  // `lngTDInterID` or of bill `lngInterID` changed: a check rebuilds the operation's rows of
  // checked entries; uncheck and close take the entries' quantities off, unclose puts them back.
  // Votes SetAbort first and SetComplete on success; `sMsg` is cleared and stays empty, also when
  // a statement fails (false).
  bool UpdateMoveNoManage(const std::string& sDsn, int32_t lngTDInterID, int32_t lngInterID,
                          int32_t CheckSwitch, int32_t ProcessStatus, std::string& sMsg);

  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_TASKDISP_CLS_M_TASK_DISP_BILL_H_
