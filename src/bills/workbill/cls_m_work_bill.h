// clsMWorkBill ("CorvaMSHTransBills.clsMWorkBill"): the rules of the operation plan bill (work
// bill): its numbers, the operation order a save must respect around checked operations, the
// rework bill's follow-up after a save and a check, and the decision to close or re-open one
// operation, which the plan-check component carries out.
#ifndef CORVA_BILLS_WORKBILL_CLS_M_WORK_BILL_H_
#define CORVA_BILLS_WORKBILL_CLS_M_WORK_BILL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call sets up the instance's parse object and data source afresh from its sDsn and runs
// in the caller's transaction, voting for it. One call at a time.
class clsMWorkBill : public corva::host::BoundClass<clsMWorkBill> {
 public:
  clsMWorkBill() = default;

  // ---- Numbering ----

  // The next number of the operation plan bill's numbering rule (ICBillNo, bill type 52), or with
  // `LoopNum` >= 2 the next `LoopNum` numbers, each followed by ",". With `isSave` the counter
  // moves on by `LoopNum` (by 0 when `LoopNum` is 0, so a single reserved number does not move
  // it). "" when the rule is missing. Votes SetAbort first and SetComplete at the end; has no
  // error trap: errors (database, a counter that is not a number, error 5 for a `LoopNum` below 0
  // or above kMaxNumbersPerCall) reach the caller with the abort vote standing. The by-reference
  // arguments come back unchanged.
  std::string GetThisBillNo(const std::string& sDsn, corva::OptionalRef<int32_t> LoopNum = {},
                            corva::OptionalRef<bool> isSave = {});

  // ---- Save ----

  // Called before the host writes the bill: nothing to do; true, no vote, no database work.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Called after the host wrote bill SaveVect(1)("FInterID"). Refuses (false, "SaveRetCode" 99 in
  // SaveVect(1), SetAbort, ReturnMsg = the refusal) a save that moves an operation across a
  // checked one; otherwise renumbers FEntryID in FOperSN order, points a rework bill's shift bill
  // at its first operation, refreshes the base-unit quantities and marks the bill unchecked when
  // any operation is. Run-time errors: false, SetAbort, ReturnMsg = the localized description;
  // an "FInterID" whose text is not an id is one (error 5), before any statement runs.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);

  // ---- Check and close ----

  // After a check or uncheck of bill `lngInterID` (whatever the switch, status and user): a
  // rework bill's first operation counts its rework receipt only while it is checked. False with
  // ReturnMsg = reason + CR LF + error description when the bill or its first operation is
  // missing or a statement fails.
  bool PostCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                 int32_t ProcessStatus, int32_t lngEmpID,
                 corva::OptionalRef<std::string> ReturnMsg = {});
  // Closes operation `lngWBInterID` when its quantities say it is finished, or re-opens it when a
  // closed one no longer is, through the plan-check component's CheckWorkBill in the caller's
  // transaction; true without a call when nothing is to be done. False with ReturnMsg = the
  // reason (or the component's message) directly followed by the error description when the
  // operation is missing, still planned, or the component refuses.
  bool AutoCloseBill(const std::string& sDsn, int32_t lngWBInterID, int32_t lngEmpID,
                     std::string& ReturnMsg);

 private:
  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_WORKBILL_CLS_M_WORK_BILL_H_
