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
