// clsMSynBills ("CorvaMSHTransBills.clsMSynBills"): keeps the shop-floor chain in step on demand.
// It carries the work bill's results up to the production task, marks a released task as started,
// re-totals one work bill operation from its task dispatch entries or its operation shift bills,
// and composes the production task's close / reopen and issue-status statements that the stock
// bill hooks and reports splice into their own batches.
#ifndef CORVA_SYNC_CLS_M_SYN_BILLS_H_
#define CORVA_SYNC_CLS_M_SYN_BILLS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// The instance sets up its parse object and data source on its first call and keeps them: a later
// call with another sDsn still works on the first call's database (and the first call's user is
// the one the close statements record). Operations called directly on the same instance share its
// object context and so its vote. One call at a time.
//
// The stock-bill hook (HookInvoke) joins this class's late-bound table; its handlers splice
// UpdateICMOStockFlag and GetICMOCloseSql into their batches.
class clsMSynBills : public corva::host::BoundClass<clsMSynBills> {
 public:
  clsMSynBills() = default;

  // ---- Production task and work bill ----

  // Carries the work bill of production task `lngICMOInterID` (or, when that is 0, of the task
  // whose work bill holds operation `lngWBInterID`) up to the task: start date and finished
  // quantity of the first operation, finish date and passed quantity of the last, and the sums
  // over all operations of the returned, lost, scrapped and for-item quantities and the six
  // times, with the base-unit quantities through the task unit's ratio. A task without a work bill
  // is left alone (true). `lngOptions` is not used.
  // Votes SetAbort first; true and SetComplete when the batch ran; false (abort vote standing) when
  // both ids are 0 or the operation belongs to no task. No error trap: a database error reaches
  // the caller as corva::Error after the abort vote.
  bool SynICMOAndWorkBill(const std::string& sDsn, int32_t lngICMOInterID,
                          corva::Optional<int32_t> lngWBInterID = {},
                          corva::Optional<int32_t> lngOptions = {});
  // Marks production task `lICMOInterID` as started (FStartFlag 1) when it is released and neither
  // started, suspended nor cancelled. True when it was marked by this call; false otherwise, also
  // for an id below 1. Votes SetComplete in both cases; SetAbort and false on an error.
  bool UpdateICMoStartFlag(const std::string& sDsn, int32_t lICMOInterID);

  // ---- Operation re-totals ----

  // Re-totals work bill operation `lngWBInterID` (or, when 0, the operation of task dispatch
  // entry `lngDTInterID`) from every dispatch entry that hands it out: dispatched on all entries
  // and on checked ones, finished, lost, passed, scrapped and for-item quantities (with their
  // base-unit twins), and the work dates spanned by entries of status 1 or 2 (Null when there is
  // none); then SynICMOAndWorkBill for the operation's task. True and SetComplete when both ran;
  // false and SetAbort when no operation is found, the task is not found (the abort undoes the
  // re-total), or an error occurs. `lngOptions` is not used.
  bool SynWorkBillAndTaskDisp(const std::string& sDsn, int32_t lngWBInterID,
                              corva::Optional<int32_t> lngDTInterID = {},
                              corva::Optional<int32_t> lngOptions = {});
  // Re-totals the shifted quantities of work bill operations from the operation shift bills:
  // with `lngOSInterID` below 1, operation `lngWBInterID`'s handed-over (bills leaving it) and
  // received (bills entering it) totals, each over all bills and over checked ones, with their
  // base-unit twins; with `lngOSInterID` >= 1, the handed-over totals of that bill's out operation
  // and the received totals of its in operation (`lngWBInterID` ignored). True and SetComplete;
  // false and SetAbort when both ids are below 1 or on an error. `lngOptions` is not used.
  bool SynWorkBillAndOperShift(const std::string& sDsn, int32_t lngWBInterID,
                               corva::Optional<int32_t> lngOSInterID = {},
                               corva::Optional<int32_t> lngOptions = {});
  // The links task dispatch -> operation report and operation report -> operation check keep
  // nothing of their own: true, without data source, database work or vote.
  bool SynTaskDispAndOperRpt(const std::string& sDsn, int32_t lngTDInterID,
                             corva::Optional<int32_t> lngORInterID = {},
                             corva::Optional<int32_t> lngOptions = {});
  bool SynOperRptAndOperCheck(const std::string& sDsn, int32_t lngORInterID,
                              corva::Optional<int32_t> lngOCInterID = {},
                              corva::Optional<int32_t> lngOptions = {});

  // ---- Production task status statements ----

  // The batch that rewrites the issue status (ICMO.FStockFlag) of the production tasks listed in
  // table `strTempTableName` (column FICMOInterID) from their material lines; "" when the name is
  // blank. Text only: no data source, no database work, no vote.
  std::string UpdateICMOStockFlag(const std::string& strTempTableName);

  // ---- Stock-bill hook ----

  // Called by the host's stock-bill framework when a bill of the warehouse side is applied or
  // reversed (saved, checked, unchecked, deleted), so that production follows it: material lines
  // (issued, in-process, transferred quantities), production tasks (received quantity, issue
  // status, automatic close), the sources of a receipt and the backflush marks of operations.
  // DictParams("TranType") picks the handler: 2 product receipt, 24 and 28 material issue, 137
  // workshop material bill, 55 item scrap bill, 41 transfer; any other type (0 when absent) is
  // none of production's business: true, no database work, no vote. `EventID` is not used.
  // Each handler keeps its own frame: true and SetComplete when the bill was followed; false and
  // SetAbort otherwise, with DictParams("ErrCode") = the error number or rule code,
  // ("ErrSource") = the TranType, ("ErrDescription") = the description. No error trap of its own:
  // a DictParams that is not set (91) or a "TranType" that is not a number reaches the caller.
  bool HookInvoke(int32_t EventID, const corva::DictionaryPtr& DictParams);

 private:
  // The handlers of HookInvoke, each with its own error trap and vote (hook_*.cpp).
  bool HookProductInStock(const corva::DictionaryPtr& DictParams);
  bool HookMaterialIssue(const corva::DictionaryPtr& DictParams);
  bool HookSTJGBill(const corva::DictionaryPtr& DictParams);
  bool HookItemScrap(const corva::DictionaryPtr& DictParams);
  bool HookTransLateQty(const corva::DictionaryPtr& DictParams);
  // The issue controls after an issue-type bill ran (24, 28, 137; other types pass): returns when
  // the bill passes; throws error 10008 (source "CheckStrictToPPBom", the localized refusal) when
  // it lifts a material line above required + supplied under IC "StrictToPPBOM" 1, or leaves a
  // line's issued quantity below its scrapped one under SH "ITEMSCRAP_CONTROLQTY" 1.
  void CheckStrictToPPBom(int32_t TranType, int32_t InterID, int32_t BillPosTag,
                          const std::string& lang);
  // The statements that book receipt DictParams("InterID") back on the operation shift bills and
  // production task report lines it came from, with sign `sign` ("+" applies).
  std::string GetSourceStockSql(const corva::DictionaryPtr& DictParams, std::string_view sign);
  // The kit check of a product receipt: true when the issued material covers the received
  // quantity (or the check does not apply); false, SetAbort and the failure keys otherwise.
  bool CheckSuitControl(const corva::DictionaryPtr& DictParams);

  // The statements that close or reopen the production tasks of table `T` (FICMOInterID, FStatus
  // 0) by close option `C`, recorded as closed by this instance's user; "" unless C has bit 1 or
  // 2. Text only. REQUIRES: the instance's data source is set up (a call ran InitDataSource).
  std::string GetICMOCloseSql(const std::string& T, int32_t C);

  corva::frame::ClassFrame frame_{corva::frame::InitMode::kFirstCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_SYNC_CLS_M_SYN_BILLS_H_
