// The codes of the shop-floor domain in one place: bill (transaction) types, yes/no values, plan
// modes and the other enumerated values the rules compare with. Several classes add their codes
// here, each in a section headed with the class's name.
#ifndef CORVA_BILLS_CODES_H_
#define CORVA_BILLS_CODES_H_

#include <cstdint>

namespace CorvaMSHTransBills {

// ---- Shared by every class ------------------------------------------------------------------
// Bill (transaction) types along the chain.
inline constexpr int32_t kBillTypeICMO = 85;        // production task
inline constexpr int32_t kBillTypeWorkBill = 52;    // operation plan bill (work bill) operation
inline constexpr int32_t kBillTypeTaskDisp = 502;   // task dispatch bill entry
inline constexpr int32_t kBillTypeICMORpt = 551;    // production task report
inline constexpr int32_t kBillTypeOperShift = 581;  // operation shift bill
inline constexpr int32_t kBillTypeProcRpt = 582;    // operation report
// Values of the yes/no columns (FAutoTD, FAutoOF, FBackFlush, FISOut, FBomSkip).
inline constexpr int32_t kYes = 1058;
inline constexpr int32_t kNo = 1059;

// ---- clsPublic ------------------------------------------------------------------------------
// Bill states that lock the bills below: a bill status of 3 is closed; the flags are 1 when set.
inline constexpr int32_t kBillStatusClosed = 3;
inline constexpr int32_t kFlagSet = 1;
// Plan modes of items and orders: 14035 tracks the order number (MTO) through the components,
// 14036 (the default) plans from stock and carries no order number.
inline constexpr int32_t kPlanModeMto = 14035;
inline constexpr int32_t kPlanModeMts = 14036;
// Change type of a component line copied from the bill of material: "alter".
inline constexpr int32_t kBomChangeTypeAlter = 11022;

// ---- clsMWorkBill ---------------------------------------------------------------------------
// Operation plan bill types (SHWorkBill.FBillType): ordinary (also when Null) and rework.
inline constexpr int32_t kWorkBillTypeNormal = 11620;
inline constexpr int32_t kWorkBillTypeRework = 11621;
// Operation statuses (SHWorkBillEntry.FStatus, Null read as planned): planned, checked
// (released to the floor), closed. Any status other than 0 and 3 counts as checked.
inline constexpr int32_t kWorkBillEntryPlanned = 0;
inline constexpr int32_t kWorkBillEntryChecked = 1;
inline constexpr int32_t kWorkBillEntryClosed = 3;

// ---- clsMTaskDispBill -----------------------------------------------------------------------
// Task dispatch entry statuses (ICTaskDispBillEntry.FStatus): saved (unchecked), checked, a
// further state that counts as checked, closed. The bill's header (ICTaskDispBill.FStatus) is 0
// while any entry is unchecked and 1 once none is; 3 marks a closed bill.
inline constexpr int32_t kTaskDispEntrySaved = 0;
inline constexpr int32_t kTaskDispEntryChecked = 1;
inline constexpr int32_t kTaskDispEntryCheckedToo = 2;
inline constexpr int32_t kTaskDispEntryClosed = 3;
inline constexpr int32_t kTaskDispHeaderUnchecked = 0;
inline constexpr int32_t kTaskDispHeaderChecked = 1;
inline constexpr int32_t kTaskDispHeaderClosed = 3;
// CheckSwitch of the check operations: do (check, close) or undo (uncheck, unclose).
inline constexpr int32_t kCheckSwitchDo = 0;
inline constexpr int32_t kCheckSwitchUndo = 1;
// ProcessStatus of the check operations: check / uncheck; close / unclose.
inline constexpr int32_t kProcessCheck = 1;
inline constexpr int32_t kProcessClose = 2;
// ReturnCode of CheckTaskDispBill.
inline constexpr int32_t kCheckReturnSuccess = 0;
inline constexpr int32_t kCheckReturnFailure = -1;
// Results of DeleteTDBill: deleted; no such entry; checked or closed; failed by error.
inline constexpr int32_t kDeleteDone = 1;
inline constexpr int32_t kDeleteNoSuchEntry = -1;
inline constexpr int32_t kDeleteNotAllowed = -2;
inline constexpr int32_t kDeleteFailed = -100;
// Number of the errors the dispatch rules raise themselves (0x80040064).
inline constexpr int32_t kErrTaskDispRule = -2147221404;

// ---- clsMSynBills ---------------------------------------------------------------------------
// Production task states (ICMO.FStatus) the synchronization writes or tests: released (it may
// start; reports are allowed) and closed.
inline constexpr int32_t kICMOReleased = 1;
inline constexpr int32_t kICMOClosed = 3;
// Bits of the automatic close option of production tasks (SH "MO_CLOSEOPTION", or the scrap
// hook's "Profile"): close when every ordinary material is fully issued; when the received
// quantity reached the lower receipt limit; and, only together with one of the two, when no
// material line still holds work in process.
inline constexpr int32_t kCloseWhenAllIssued = 1;
inline constexpr int32_t kCloseAtLowerReceiptLimit = 2;
inline constexpr int32_t kCloseWhenNothingInProcess = 4;
// Issue status of a production task (ICMO.FStockFlag), derived from its material lines.
inline constexpr int32_t kStockFlagNoneIssued = 14215;
inline constexpr int32_t kStockFlagPartlyIssued = 14216;
inline constexpr int32_t kStockFlagFullyIssued = 14217;
inline constexpr int32_t kStockFlagOverIssued = 14218;

// ---- clsMOperShift --------------------------------------------------------------------------
// Shift types (ICOperShift.FShiftTypeID): how a shift bill moves work between its out operation
// (FOutWBInterID) and its in operation (FInWBInterID).
inline constexpr int32_t kShiftTypeReceive = 11300;             // received into the in operation
inline constexpr int32_t kShiftTypeHandOverAndReceive = 11301;  // out of one, into the other
inline constexpr int32_t kShiftTypeHandOver = 11302;            // handed over by the out operation
inline constexpr int32_t kShiftTypeToRework = 11303;      // sent from the out operation to repair
inline constexpr int32_t kShiftTypeReworkReturn = 11304;  // qualified back from repair
// Shift bill statuses (ICOperShift.FStatus): saved, checked; anything above 0 counts as checked.
inline constexpr int32_t kOperShiftSaved = 0;
inline constexpr int32_t kOperShiftChecked = 1;
// Quality check mode of an operation (SHWorkBillEntry.FQualityChkID) under which reported passed
// and scrapped quantities count directly, without an inspection of their own.
inline constexpr int32_t kQualityCheckDirect = 352;

// ---- clsMItemScrap --------------------------------------------------------------------------
// Scrap bills of this type (ICItemScrap.FTypeID) are saved without the scrap quantity control.
inline constexpr int32_t kScrapBillTypeUncontrolled = 14062;
// "SH" ITEMSCRAP_CONTROLQTY: the value that switches the scrap quantity control on.
inline constexpr int32_t kScrapControlOn = 1;

// ---- clsMPlanOrder --------------------------------------------------------------------------
// "FromManual" of a planned order bill: the bill was entered by hand, not taken over from a run.
inline constexpr int32_t kPlanOrderEnteredByHand = 1;
// "FromSystem": the kind of MRP run (ICMRPInfo.FType) a hand-entered bill joins. The host knows
// the kinds by number only. Without a run of its kind, a bill of kind 1 joins run -1 and the
// others run 0.
inline constexpr int32_t kMrpRunKind0 = 0;
inline constexpr int32_t kMrpRunKind1 = 1;
inline constexpr int32_t kMrpRunKind4 = 4;

// ---- clsMSynBills: the stock-bill hook ------------------------------------------------------
// Bill types ("TranType") of the bills the warehouse side posts: product receipt, material issue,
// outsourced processing issue (its lines name the material list itself), workshop material bill,
// item scrap bill and transfer.
inline constexpr int32_t kHookTranProductReceipt = 2;
inline constexpr int32_t kHookTranMaterialIssue = 24;
inline constexpr int32_t kHookTranOutsourcedIssue = 28;
inline constexpr int32_t kHookTranWorkshopMaterial = 137;
inline constexpr int32_t kHookTranItemScrap = 55;
inline constexpr int32_t kHookTranTransfer = 41;
// "OperateCode": which of the host's actions applies a bill (save, check, ...) and which reverses
// it (delete, uncheck, ...). Reversing by deletion skips the issue controls unless the bill is
// really being deleted ("OperateDelete" 1).
inline constexpr int32_t kHookApplyCodes[] = {1, 4, 16};
inline constexpr int32_t kHookReverseCodes[] = {2, 8, 32};
inline constexpr int32_t kHookOperateDeleteCode = 8;
// "Rob" / "ROB" / FROB: a blue bill and a red (reversing) one.
inline constexpr int32_t kBillBlue = 1;
inline constexpr int32_t kBillRed = -1;
// "BillPosTag" 1: the bill lives in the per-type tables ICStockBill_<type>,
// ICStockBillEntry_<type>.
inline constexpr int32_t kBillInTablesOfItsType = 1;
// Material line types (PPBOMEntry.FMaterielType): ordinary material, co-product, by-product,
// grade product, returned material.
inline constexpr int32_t kMaterielOrdinary = 371;
inline constexpr int32_t kMaterielCoProduct = 372;
inline constexpr int32_t kMaterielByProduct = 373;
inline constexpr int32_t kMaterielGradeProduct = 374;
inline constexpr int32_t kMaterielReturned = 376;
// Codes the hook writes into "ErrCode" besides the error numbers: the issue control refused
// (raised as an error of that number), the receipt exceeds the task's upper limit, the issued kits
// do not cover the receipt (warning level / refusal level).
inline constexpr int32_t kErrIssueBeyondMaterialList = 10008;
inline constexpr int32_t kHookReceiptAboveUpperLimit = -1000;
inline constexpr int32_t kHookKitShortageWarned = -206;
inline constexpr int32_t kHookKitShortageRefused = -207;
// The kit check of product receipts: "ReCheck" bit that skips it (also its default), the levels of
// "ProductSuitControl" (off, warn, refuse from 2 on) and the modes of "ProductSuitControlItem".
inline constexpr int32_t kHookReCheckSkipsKitCheck = 64;
inline constexpr int32_t kKitControlOff = 0;
inline constexpr int32_t kKitControlWarn = 1;
inline constexpr int32_t kKitControlRefuse = 2;
inline constexpr int32_t kKitCheckAnyIssue = 1;
inline constexpr int32_t kKitCheckKeyMaterials = 2;

// ---- clsMICMORpt ----------------------------------------------------------------------------
// ProcessStatus of the production task report's check operations: a delete (run with the
// uncheck rules and without the report's own lines).
inline constexpr int32_t kProcessDelete = 3;
// A production task also accepts reports in this state besides kICMOReleased (released and
// under way).
inline constexpr int32_t kICMOReleasedToo = 2;
// Report header states (ICMORpt.FStatus): saved, checked.
inline constexpr int32_t kICMORptSaved = 0;
inline constexpr int32_t kICMORptChecked = 1;
// How a task write-back moves the work in process of the task's material lines: an uncheck or a
// delete gives the report's quantity back, a check (or a save) takes it off.
inline constexpr int32_t kWipGiveBack = 1;
inline constexpr int32_t kWipDeduct = -1;

// ---- clsMProcRpt ----------------------------------------------------------------------------
// Procedure code of an operation report's base-unit quantities under shop conversion management
// ("SH" ShopConversionManage 1): the operation-unit quantities are kept as well.
inline constexpr int32_t kBillTypeProcRptConversion = 5821;
// Time units of operations, dispatch entries and report lines (FTimeUnit): minutes and days; every
// other value means hours.
inline constexpr int32_t kTimeUnitMinutes = 11081;
inline constexpr int32_t kTimeUnitDays = 11083;

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_CODES_H_
