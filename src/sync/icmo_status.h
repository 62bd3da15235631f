// The production task status statements as text: the issue status of tasks from their material
// lines, and the automatic close and reopen of tasks by the close option. The stock-bill hooks and
// reports splice them into their own batches, after filling the table of tasks they name, so the
// text is kept exactly as those batches expect it.
#ifndef CORVA_SYNC_ICMO_STATUS_H_
#define CORVA_SYNC_ICMO_STATUS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace CorvaMSHTransBills {

// The batch that sets ICMO.FStockFlag of every production task listed in `task_table` (a
// temporary table or table variable of the caller's batch with column FICMOInterID): 14218 when
// its ordinary and returned material lines are all over-issued or over- and exactly issued,
// 14217 all exactly issued, 14215 none issued, 14216 any other mix. Lines of other orders
// (FOrderEntryID not 0) do not count; tasks without such lines keep their status. Every line ends
// with CR LF. "" when `task_table` is blank.
std::string ComposeICMOStockFlagSql(std::string_view task_table);

// The statements that close or reopen the production tasks listed in `task_table` (columns
// FICMOInterID and FStatus, the caller having filled FStatus with 0) by `close_option`:
// kCloseAtLowerReceiptLimit, kCloseWhenAllIssued and, with one of them,
// kCloseWhenNothingInProcess each add a condition. A task meeting every condition is closed
// (status 3, today's close date, `user_id` as checker, MRP-closed); one that does not but was
// closed since the start of the current IC period is reopened; any task that is not closed here
// leaves with FHandworkClose 0. Every line ends with CR LF. "" when `close_option` has neither
// bit 1 nor bit 2.
std::string ComposeICMOCloseSql(std::string_view task_table, int32_t close_option, int32_t user_id);

}  // namespace CorvaMSHTransBills

#endif  // CORVA_SYNC_ICMO_STATUS_H_
