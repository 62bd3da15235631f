// The derived totals of the shop-floor chain, each defined once: the column that holds it, the
// source rows it sums and the sum itself. The terms come from the statements the rules re-total
// with (bills/operation_totals.h, bills/procrpt/report_statements.h), so the consistency check
// that reads this list and the rule that writes the total cannot define it differently.
#ifndef CORVA_BILLS_DERIVED_TOTALS_H_
#define CORVA_BILLS_DERIVED_TOTALS_H_

#include <string>
#include <string_view>
#include <vector>

namespace CorvaMSHTransBills {

// One derived total: `table`.`column` of the row whose `key` equals `source_key` of the source
// rows holds `sum` over those rows `from` ... `where`. A row no source row names holds 0, unless
// `sources_required`: then only rows with source rows are defined (the others hold what the floor
// posted on them). `having`, when not empty, keeps only the groups of source rows for which the
// total is defined at all (e.g. only reports whose quantities count directly).
struct DerivedTotal {
  std::string_view name;    // stable name: "operation.dispatched"
  std::string_view table;   // "SHWorkBillEntry"
  std::string_view key;     // the row id column of `table`: "FWBInterID"
  std::string_view column;  // "FAuxQtyTaskDispSel"
  std::string source_key;   // expression over the source rows naming the target row
  std::string sum;          // aggregate over the source rows (never Null)
  std::string from;         // "from ..." with the source tables and their aliases
  std::string where;        // condition on the source rows ("" = all)
  std::string having;       // condition on a group of source rows ("" = every group)
  std::string document;     // bill number of a source row, to name the documents involved
  bool sources_required = false;
  // Rows keyed by two columns (material list lines: FInterID and FEntryID): the second key column
  // of `table` and the expression over the source rows naming it ("" = one key).
  std::string_view entry_key = {};
  std::string source_entry_key = {};
  // Checked only when asked for (work in process: a running balance under today's settings).
  bool opt_in = false;
};

// Every derived total the library defines, in a fixed order (operation totals first, then those
// of dispatch entries, then those of production tasks, then work in process of material lines).
const std::vector<DerivedTotal>& DerivedTotals();

// Work in process of material list lines (FWIPQty, or FWIPAuxQty when `auxiliary`) from the
// issued quantity and the stored reports, under the settings in force (bills/derived_wip.cpp).
DerivedTotal WorkInProcess(std::string_view name, bool auxiliary);

// The rows of one source bill type `trans_type` in the move-number ledger SHMoveNoManage: per
// operation `operation` and move number `move_no` of the source rows `from` ... `where`, FQty holds
// `sum` (a row of 0 and no row at all are the same). `task` names the production task a rebuilt
// row records, `document` a source row's bill number.
struct LedgerTotal {
  std::string_view name;  // "ledger.dispatched"
  int trans_type;         // 502, 581, 582
  std::string operation;
  std::string move_no;
  std::string task;
  std::string sum;
  std::string from;
  std::string where;
  std::string document;
};

const std::vector<LedgerTotal>& LedgerTotals();

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_DERIVED_TOTALS_H_
