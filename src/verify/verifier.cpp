// corva::Verify: one statement per kind of derived total finds the rows whose stored total differs
// from the sum of its sources, one more per drifted kind names the source documents, and a repair
// is one UPDATE per drifted kind over exactly the rows the check found. Everything is set-based, so
// the cost grows with the tables, never with a query per row.
#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bills/derived_totals.h"
#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "corva/variant.h"
#include "corva/verify.h"
#include "frame/sql_text.h"

namespace corva {
namespace {

using CorvaMSHTransBills::DerivedTotal;
using CorvaMSHTransBills::DerivedTotals;
using CorvaMSHTransBills::LedgerTotal;
using CorvaMSHTransBills::LedgerTotals;
using CorvaMSHTransBills::SqlNumber;

// How many row ids one document query names, so that no statement grows without bound.
constexpr size_t kIdsPerStatement = 500;

std::string Text(std::string_view view) { return std::string(view); }

// The source rows of `total` grouped by the row they name, with the recomputed value as FTotal.
// A target keyed by two columns also names its second key, as FEntry.
std::string SourceKeys(const DerivedTotal& total) {
  return total.source_entry_key.empty() ? total.source_key
                                        : total.source_key + ", " + total.source_entry_key;
}

std::string GroupedSources(const DerivedTotal& total) {
  std::string sql =
      "select " + total.source_key + " as FKey, " +
      (total.source_entry_key.empty() ? "" : total.source_entry_key + " as FEntry, ") + total.sum +
      " as FTotal " + total.from;
  if (!total.where.empty()) sql += " where " + total.where;
  sql += " group by " + SourceKeys(total);
  if (!total.having.empty()) sql += " having " + total.having;
  return sql;
}

// FROM and WHERE of both the check and the repair: the target rows joined to their recomputed
// value, kept when they differ. A Null total reads as 0, as the rules read it.
std::string DriftedRows(const DerivedTotal& total) {
  const std::string column = "e." + Text(total.column);
  return " from " + Text(total.table) + " e " +
         (total.sources_required ? "inner join (" : "left join (") + GroupedSources(total) +
         ") s on s.FKey = e." + Text(total.key) +
         (total.entry_key.empty() ? "" : " and s.FEntry = e." + Text(total.entry_key)) +
         " where IsNull(" + column + ",0) <> IsNull(s.FTotal,0)";
}

std::string CheckStatement(const DerivedTotal& total) {
  const std::string entry = total.entry_key.empty() ? "0" : "e." + Text(total.entry_key);
  return "select e." + Text(total.key) + " as FRowID, IsNull(e." + Text(total.column) +
         ",0) as FStored, IsNull(s.FTotal,0) as FRecomputed, " + entry + " as FEntryID" +
         DriftedRows(total) + " order by e." + Text(total.key) +
         (total.entry_key.empty() ? "" : ", " + entry);
}

std::string RepairStatement(const DerivedTotal& total) {
  return "update e set " + Text(total.column) + " = IsNull(s.FTotal,0)" + DriftedRows(total);
}

// The bill numbers of the source rows of `total` naming rows `ids[first, last)`.
std::string DocumentStatement(const DerivedTotal& total, const std::vector<Drift>& drifts,
                              size_t first, size_t last) {
  std::string ids;
  for (size_t i = first; i < last; ++i) {
    if (!ids.empty()) ids += ",";
    ids += SqlNumber(drifts[i].row_id);
  }
  const std::string entry = total.source_entry_key.empty() ? "0" : total.source_entry_key;
  std::string sql = "select " + total.source_key + " as FKey, " + total.document + " as FBillNo, " +
                    entry + " as FEntry " + total.from + " where " + total.source_key + " in (" +
                    ids + ")";
  if (!total.where.empty()) sql += " and " + total.where;
  return sql + " group by " + SourceKeys(total) + ", " + total.document;
}

void NameDocuments(Connection& connection, const DerivedTotal& total, std::vector<Drift>& drifts) {
  std::map<std::pair<int32_t, int32_t>, Drift*> by_row;
  for (Drift& drift : drifts) by_row[{drift.row_id, drift.entry_id}] = &drift;
  for (size_t first = 0; first < drifts.size(); first += kIdsPerStatement) {
    const size_t last = std::min(drifts.size(), first + kIdsPerStatement);
    RecordsetPtr rows = connection.Execute(DocumentStatement(total, drifts, first, last));
    for (const std::vector<Variant>& row : rows->Rows()) {
      auto found = by_row.find({ValueOr(row[0], 0).AsLong(), ValueOr(row[2], 0).AsLong()});
      if (found != by_row.end()) found->second->documents.push_back(row[1].ToText());
    }
  }
  for (Drift& drift : drifts) std::sort(drift.documents.begin(), drift.documents.end());
}

std::vector<Drift> CheckTotal(Connection& connection, const DerivedTotal& total) {
  std::vector<Drift> drifts;
  RecordsetPtr rows = connection.Execute(CheckStatement(total));
  for (const std::vector<Variant>& row : rows->Rows()) {
    drifts.push_back({.total = Text(total.name),
                      .table = Text(total.table),
                      .key_column = Text(total.key),
                      .row_id = ValueOr(row[0], 0).AsLong(),
                      .column = Text(total.column),
                      .stored = row[1].AsDecimal(),
                      .recomputed = row[2].AsDecimal(),
                      .documents = {},
                      .move_no = {},
                      .entry_id = ValueOr(row[3], 0).AsLong()});
  }
  if (!drifts.empty()) NameDocuments(connection, total, drifts);
  return drifts;
}

// ---- The move-number ledger: rows keyed by operation and move number, not by an id ----

// The recomputed rows of `ledger`: FWBInterID, FOperMoveNo, FTotal (and the task, for a rebuild).
std::string LedgerSources(const LedgerTotal& ledger, std::string_view join = {}) {
  return " " + ledger.from + std::string(join) + " where " + ledger.where;
}

// The operations and move numbers whose ledger rows (summed; none reads as 0) differ from their
// sources, as FROM ... WHERE over k (every key on either side), m (the rows) and s (the sources).
std::string LedgerDriftedKeys(const LedgerTotal& ledger) {
  const std::string type = SqlNumber(ledger.trans_type);
  return " from (select FWBInterID, FOperMoveNo from SHMoveNoManage where FTransType = " + type +
         " union select " + ledger.operation + ", " + ledger.move_no + LedgerSources(ledger) +
         ") k left join (select FWBInterID, FOperMoveNo, sum(FQty) as FQty from SHMoveNoManage "
         "where FTransType = " +
         type +
         " group by FWBInterID, FOperMoveNo) m on m.FWBInterID = k.FWBInterID and m.FOperMoveNo = "
         "k.FOperMoveNo left join (select " +
         ledger.operation + " as FWBInterID, " + ledger.move_no + " as FOperMoveNo, " + ledger.sum +
         " as FTotal" + LedgerSources(ledger) + " group by " + ledger.operation + ", " +
         ledger.move_no +
         ") s on s.FWBInterID = k.FWBInterID and s.FOperMoveNo = k.FOperMoveNo where "
         "IsNull(m.FQty,0) <> IsNull(s.FTotal,0)";
}

// The drifted keys' rows are deleted and rebuilt from their sources, as the rules rebuild a row.
std::string LedgerRepair(const LedgerTotal& ledger) {
  const std::string type = SqlNumber(ledger.trans_type);
  return "select k.FWBInterID, k.FOperMoveNo into #corva_ledger_drift" + LedgerDriftedKeys(ledger) +
         "\r\ndelete m from SHMoveNoManage m inner join #corva_ledger_drift d on m.FWBInterID = "
         "d.FWBInterID and m.FOperMoveNo = d.FOperMoveNo where m.FTransType = " +
         type +
         "\r\ninsert into SHMoveNoManage (FOperMoveNo, FWBInterID, FICMOInterID, FTransType, "
         "FStatus, FQty) select " +
         ledger.move_no + ", " + ledger.operation + ", " + ledger.task + ", " + type + ", 1, " +
         ledger.sum +
         LedgerSources(ledger, " inner join #corva_ledger_drift d on d.FWBInterID = " +
                                   ledger.operation + " and d.FOperMoveNo = " + ledger.move_no) +
         " group by " + ledger.move_no + ", " + ledger.operation + ", " + ledger.task +
         "\r\ndrop table #corva_ledger_drift";
}

std::vector<Drift> CheckLedger(Connection& connection, const LedgerTotal& ledger) {
  std::vector<Drift> drifts;
  RecordsetPtr rows = connection.Execute(
      "select k.FWBInterID, k.FOperMoveNo, IsNull(m.FQty,0) as FStored, IsNull(s.FTotal,0) as "
      "FRecomputed" +
      LedgerDriftedKeys(ledger) + " order by k.FWBInterID, k.FOperMoveNo");
  std::map<std::pair<int32_t, std::string>, size_t> by_key;
  for (const std::vector<Variant>& row : rows->Rows()) {
    drifts.push_back({.total = Text(ledger.name),
                      .table = "SHMoveNoManage",
                      .key_column = "FWBInterID",
                      .row_id = ValueOr(row[0], 0).AsLong(),
                      .column = "FQty",
                      .stored = row[2].AsDecimal(),
                      .recomputed = row[3].AsDecimal(),
                      .documents = {},
                      .move_no = ValueOr(row[1], "").ToText()});
    by_key[{drifts.back().row_id, drifts.back().move_no}] = drifts.size() - 1;
  }
  for (size_t first = 0; first < drifts.size(); first += kIdsPerStatement) {
    std::string ids;
    for (size_t i = first; i < std::min(drifts.size(), first + kIdsPerStatement); ++i) {
      if (!ids.empty()) ids += ",";
      ids += SqlNumber(drifts[i].row_id);
    }
    RecordsetPtr documents = connection.Execute(
        "select " + ledger.operation + ", " + ledger.move_no + ", " + ledger.document +
        LedgerSources(ledger) + " and " + ledger.operation + " in (" + ids + ") group by " +
        ledger.operation + ", " + ledger.move_no + ", " + ledger.document);
    for (const std::vector<Variant>& row : documents->Rows()) {
      auto found = by_key.find({ValueOr(row[0], 0).AsLong(), ValueOr(row[1], "").ToText()});
      if (found != by_key.end()) drifts[found->second].documents.push_back(row[2].ToText());
    }
  }
  for (Drift& drift : drifts) std::sort(drift.documents.begin(), drift.documents.end());
  return drifts;
}

}  // namespace

std::vector<Drift> Verify(const std::string& connect_string, const VerifyOptions& options) {
  std::vector<Drift> found;
  // A repair reads and writes in one transaction, so that it rewrites exactly what it found and
  // either every total or none.
  std::unique_ptr<TransactionScope> scope;
  if (options.repair) scope = std::make_unique<TransactionScope>();
  {
    Connection connection;
    connection.Open(connect_string);
    for (const DerivedTotal& total : DerivedTotals()) {
      if (total.opt_in && !options.work_in_process) continue;
      std::vector<Drift> drifts = CheckTotal(connection, total);
      if (drifts.empty()) continue;
      if (options.repair) {
        int64_t rewritten = 0;
        connection.Execute(RepairStatement(total), &rewritten);
        if (rewritten != static_cast<int64_t>(drifts.size())) {
          throw Error(0, "corva verify",
                      "the repair of " + Text(total.name) + " rewrote " +
                          std::to_string(rewritten) + " rows where " +
                          std::to_string(drifts.size()) + " had drifted");
        }
      }
      found.insert(found.end(), std::make_move_iterator(drifts.begin()),
                   std::make_move_iterator(drifts.end()));
    }
    for (const LedgerTotal& ledger : LedgerTotals()) {
      std::vector<Drift> drifts = CheckLedger(connection, ledger);
      if (drifts.empty()) continue;
      if (options.repair) connection.Execute(LedgerRepair(ledger));
      found.insert(found.end(), std::make_move_iterator(drifts.begin()),
                   std::make_move_iterator(drifts.end()));
    }
  }
  if (scope && !scope->Commit()) {
    throw Error(0, "corva verify", "the repair's transaction was rolled back");
  }
  return found;
}

std::vector<std::string> VerifiedTotals() {
  std::vector<std::string> names;
  for (const DerivedTotal& total : DerivedTotals()) names.push_back(Text(total.name));
  for (const LedgerTotal& ledger : LedgerTotals()) names.push_back(Text(ledger.name));
  return names;
}

RecordsetPtr DriftsAsRecordset(const std::vector<Drift>& drifts) {
  std::vector<std::vector<Variant>> rows;
  for (const Drift& drift : drifts) {
    std::string documents;
    for (const std::string& document : drift.documents) {
      if (!documents.empty()) documents += ", ";
      documents += document;
    }
    rows.push_back({drift.total, drift.table, drift.key_column, drift.row_id, drift.column,
                    drift.move_no, drift.stored, drift.recomputed, documents, drift.entry_id});
  }
  return std::make_shared<Recordset>(
      std::vector<std::string>{"Total", "TableName", "KeyColumn", "RowID", "ColumnName", "MoveNo",
                               "Stored", "Recomputed", "Documents", "EntryID"},
      std::move(rows));
}

}  // namespace corva
