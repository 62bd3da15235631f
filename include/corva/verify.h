// corva::Verify: recomputes every total the shop-floor rules keep (an operation's dispatched,
// shifted and reported quantities, a dispatch entry's reported quantities) from the rows below it,
// with the definitions the rules themselves use, and reports each total that disagrees.
#ifndef CORVA_VERIFY_H_
#define CORVA_VERIFY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/decimal.h"
#include "corva/recordset.h"

namespace corva {

// One total that disagrees with its sources: `table`.`column` of the row whose `key_column` is
// `row_id` holds `stored` where its sources add up to `recomputed`. `total` names the kind of
// total ("operation.dispatched", see VerifiedTotals()); `documents` are the bill numbers of the
// source documents counted in it (empty when there are none), sorted. For the move-number ledger
// (table SHMoveNoManage) the row is that of operation `row_id` (key_column FWBInterID) and move
// number `move_no`, `stored` the sum of its rows' FQty, 0 when it has none.
struct Drift {
  std::string total;
  std::string table;
  std::string key_column;
  int32_t row_id = 0;
  std::string column;
  Decimal stored;
  Decimal recomputed;
  std::vector<std::string> documents;
  std::string move_no;  // ledger rows only
  // Rows keyed by two columns (PPBOMEntry: list `row_id`, key_column FInterID, and line
  // `entry_id`, FEntryID); 0 for the others.
  int32_t entry_id = 0;
};

struct VerifyOptions {
  // Rewrite every drifted total with its recomputed value, all in one transaction (that of the
  // calling thread's corva::TransactionScope when there is one, else one of its own committed
  // before Verify returns). Without it nothing is written.
  bool repair = false;
  // Check (and repair) work in process of material list lines too. A site that changed its
  // WIPDeductMode or BACKFLUSH_STANDARD within the period, or corrected work in process after a
  // count, sees such lines named (docs/verify.md lists how the rules leave it different) and may
  // leave them out until its next count.
  bool work_in_process = true;
};

// Checks every derived total of the database at `connect_string` (any string
// corva::Connection::Open takes), one set-based statement per kind of total. Returns the drifts
// found (before the repair, when repairing), ordered by kind of total, then by row id; empty when
// everything is consistent. Throws corva::Error (with the database's native number) when the
// database cannot be opened or read, or a repair cannot be written; a failed repair writes nothing.
std::vector<Drift> Verify(const std::string& connect_string, const VerifyOptions& options = {});

// The names of the kinds of total Verify checks, in the order it checks them.
std::vector<std::string> VerifiedTotals();

// The drifts as a recordset with the columns Total, TableName, KeyColumn, RowID, ColumnName,
// MoveNo, Stored, Recomputed (decimals), Documents (bill numbers joined by ", ") and EntryID.
RecordsetPtr DriftsAsRecordset(const std::vector<Drift>& drifts);

}  // namespace corva

#endif  // CORVA_VERIFY_H_
