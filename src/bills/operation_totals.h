// The statements that total the bills below a work bill operation into it, written once for every
// class that re-totals an operation: the task dispatch class after its own writes, the operation
// shift class after a shift bill is saved, and the synchronization class, which writes more
// totals from the same sums and brings the production task along.
#ifndef CORVA_BILLS_OPERATION_TOTALS_H_
#define CORVA_BILLS_OPERATION_TOTALS_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "corva/connection.h"

namespace CorvaMSHTransBills {

// The task dispatch entries of operation @WBInterID, as the FROM and WHERE lines of a statement
// (entries u1 of bills v1).
inline constexpr std::string_view kDispatchEntriesFrom =
    "from ICTaskDispBillEntry u1, ICTaskDispBill v1";
inline constexpr std::string_view kDispatchEntriesOfOperation =
    "Where u1.FInterID = v1.FInterID And v1.FWorkBillInterID = @WBInterID";

// What the dispatch entries u1 of an operation add to its dispatched totals: every saved entry's
// planned quantity, and that of the entries released to the floor (checked or beyond, status
// above 0). The re-total statements below and the consistency check both sum these terms.
inline constexpr std::string_view kDispatchedTerm = "IsNull(u1.FAuxQtyPlan,0)";
inline constexpr std::string_view kDispatchedCheckedTerm =
    "case when u1.FStatus > 0 Then IsNull(u1.FAuxQtyPlan,0) Else 0 ENd";

// What an operation shift bill adds to a shifted total: its quantity on every bill, and on the
// checked bills (status above 0) for the acknowledged totals.
inline constexpr std::string_view kShiftedTerm = "IsNull(FAuxQtyShift,0)";
inline constexpr std::string_view kShiftedCheckedTerm =
    "case when FStatus > 0 Then IsNull(FAuxQtyShift,0) Else 0 ENd";

// Which shift bills count in which shifted total of an operation (the codes are the shift types
// of frame/codes.h, written out as the database sees them): a hand-over is every bill leaving the
// operation but a shift to repair (11303); a receipt every bill entering it but a shift to repair
// and a qualified return from repair (11304), whose quantities the rework receipt and the
// qualified repaired quantity carry.
inline constexpr std::string_view kHandOverShifts = "FShiftTypeID<>11303";
inline constexpr std::string_view kRepairShifts = "FShiftTypeID=11303";
inline constexpr std::string_view kQualifiedReturnShifts = "FShiftTypeID=11304";
inline constexpr std::string_view kReceiptShifts = "FShiftTypeID<>11303 and FShiftTypeID<>11304";

// The move-number ledger SHMoveNoManage holds, per operation and move number, what each kind of
// bill has put at the operation: the planned quantity of the checked dispatch entries (status 1:
// neither closed nor merely saved), the shifted quantity of the shift bills leaving it. The
// statements that rebuild a row and the consistency check share these texts (u: bill, v: entry).
inline constexpr std::string_view kDispatchLedgerSum = "sum(FAuxQtyPlan)";
inline constexpr std::string_view kDispatchLedgerFrom =
    "From ictaskdispbill u inner join ictaskdispbillentry v on u.FInterID = v.FInterID";
inline constexpr std::string_view kDispatchLedgerCounted = "v.FStatus = 1";
inline constexpr std::string_view kShiftLedgerSum = "sum(FAuxQtyShift)";

// The operation (FWBInterID) whose quantity task dispatch entry `entry` hands out.
std::string BuildOperationOfDispatchEntryQuery(int32_t entry);

// The operation a re-total works on: `lngWBInterID`, or when that is 0 and `lngDTInterID` names a
// task dispatch entry (>= 1), the operation that entry dispatches. 0 when there is none (no such
// entry, or a Null operation).
int32_t ResolveDispatchedOperation(corva::Connection& connection, int32_t lngWBInterID,
                                   int32_t lngDTInterID);

// One statement that sums the dispatch entries of operation @WBInterID: @AuxQtyTDSelSum over every
// entry (dispatched on a saved bill), @AuxQtyTDAckSum over the checked ones (status above 0), then
// `more_sums` (lines "," + "@Var = IsNull(sum(...),0)") over the same entries. The caller declares
// the variables and @WBInterID.
std::string BuildDispatchSums(std::initializer_list<std::string_view> more_sums = {});

// One statement that sums the shifted quantity of the operation shift bills matching
// `condition`: @`selected` over every bill, @`acknowledged` over the checked ones (status above 0).
// `condition` follows " From ICOperShift Where " as it stands (e.g. "FOutWBInterID = 12").
std::string BuildShiftSums(std::string_view selected, std::string_view acknowledged,
                           std::string_view condition);

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_OPERATION_TOTALS_H_
