// Helpers of the stock-bill hook tests: a small factory with one production task and its material
// list, calls of HookInvoke with the dictionary a host sends, and the state of everything the
// hook may write, as one text to compare before and after.
#ifndef CORVA_TESTS_SYNC_HOOK_TEST_UTIL_H_
#define CORVA_TESTS_SYNC_HOOK_TEST_UTIL_H_

#include <string>
#include <utility>
#include <vector>

#include "corva/corva.h"
#include "support/test_db.h"
#include "sync/sync_test_util.h"

namespace CorvaMSHTransBills::sync_test {

// Task 90: 10 pieces of product 1 (0 decimals), receipt limits 8 to 12, released, fully issued.
// Its material list 800: line 1 material 11 counted in pairs (unit 2), 20 required and issued, 20
// in process, usage 2 per product; line 2 returned material 12; line 3 co-product 13; line 4 grade
// product 14. Operations 501 and 502; shift bill 70 and task report line 80/1 for product 1.
inline void AddHookFactory(const corva::testing::TestDatabase& db) {
  db.Execute(
      "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FCoefficient) VALUES (2, 2, 2), "
      "(1, 1, 1)\n"
      "INSERT INTO t_ICItem (FItemID, FNumber, FShortNumber, FQtyDecimal, FIsKeyItem) VALUES "
      "(1, 'P1', 'p1', 0, 0), (11, 'M11', 'm11', 2, 1)\n"
      "INSERT INTO t_ICItem (FItemID, FQtyDecimal) VALUES (12, 2), (13, 0), (14, 0)\n"
      "INSERT INTO t_ICItemBase (FItemID, FQtyDecimal) VALUES (1, 0)\n"
      "INSERT INTO ICMO (FInterID, FBillNo, FItemID, FUnitID, FQty, FAuxQty, FStatus, "
      "FAuxInLowLimitQty, FAuxInHighLimitQty, FStockFlag) VALUES (90, 'MO90', 1, 1, 10, 10, 1, "
      "8, 12, 14217)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FMaterielType,"
      " FStockID, FSPID, FQtyMust, FAuxQtyMust, FQtyScrap, FAuxQtyScrap, FStockQty, FAuxStockQty,"
      " FWIPQty, FWIPAuxQty) VALUES (800, 1, 90, 11, 2, 371, 401, 4011, 20, 10, 2.5, 1.25, 20, "
      "10, 20, 10)\n"
      "INSERT INTO PPBOMEntry (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FMaterielType)"
      " VALUES (800, 2, 90, 12, 1, 376), (800, 3, 90, 13, 1, 372), (800, 4, 90, 14, 1, 374)\n"
      "INSERT INTO SHWorkBillEntry (FInterID, FEntryID, FWBInterID) VALUES (50, 1, 501), "
      "(50, 2, 502)\n"
      "INSERT INTO ICOperShift (FInterID, FItemID, FUnitID) VALUES (70, 1, 1)\n"
      "INSERT INTO ICMORptEntry (FInterID, FEntryID, FItemID, FUnitID) VALUES (80, 1, 1, 1)\n");
}

// A stock bill header in `table` and its lines (FEntryID, FItemID, FQty, FICMOInterID,
// FPPBOMEntryID, FSourceTranType, FSourceInterID, FSourceEntryID, FSCStockID).
struct Line {
  int item;
  double qty;
  int task;
  int bom_line;
  int source_type;
  int source = 0;
  int source_entry = 0;
  int from_stock = 0;
};
inline void AddStockBill(const corva::testing::TestDatabase& db, const std::string& table, int bill,
                         int rob, int operation, const std::vector<Line>& lines) {
  const bool workshop = table == "ICSTJGBill";
  std::string sql = "INSERT INTO " + table + " (FInterID, FBillNo, FWBInterID" +
                    (workshop ? ") VALUES (" : ", FROB) VALUES (") + std::to_string(bill) + ", 'B" +
                    std::to_string(bill) + "', " + std::to_string(operation) +
                    (workshop ? "" : ", " + std::to_string(rob)) + ")\n";
  const std::string entries =
      workshop
          ? "ICSTJGBillEntry (FInterID, FEntryID, FItemID, FQty, FICMOInterID, FPPBOMEntryID, "
            "FSourceTranType, FSourceInterID) VALUES ("
          : table.substr(0, 11) + "Entry" + table.substr(11) +
                " (FInterID, FEntryID, FItemID, FQty, FICMOInterID, FPPBOMEntryID, "
                "FSourceTranType, FSourceInterID, FSourceEntryID, FSCStockID, FSCSPID) VALUES (";
  int entry = 0;
  for (const Line& l : lines) {
    sql += "INSERT INTO " + entries + std::to_string(bill) + ", " + std::to_string(++entry) + ", " +
           std::to_string(l.item) + ", " + corva::Variant(l.qty).AsString() + ", " +
           std::to_string(l.task) + ", " + std::to_string(l.bom_line) + ", " +
           std::to_string(l.source_type) + ", " + std::to_string(l.source);
    if (!workshop) {
      sql += ", " + std::to_string(l.source_entry) + ", " + std::to_string(l.from_stock) +
             (l.from_stock == 401 ? ", 4011" : ", 0");
    }
    sql += ")\n";
  }
  db.Execute(sql);
}

// A hook call's outcome and the failure keys it left ("" when none; else code/source/text).
struct HookOutcome {
  Outcome outcome;
  std::string keys;
};

// HookInvoke as the host calls it, in a transaction of its own, with "sDsn" of `db` and `params`.
inline HookOutcome Hook(const corva::testing::TestDatabase& db,
                        std::vector<std::pair<std::string, corva::Variant>> params) {
  corva::DictionaryPtr dict = corva::MakeDictionary();
  dict->SetValue("sDsn", db.dsn());
  for (auto& [key, value] : params) dict->SetValue(key, value);
  HookOutcome result{Call("HookInvoke", {0, dict}), ""};
  if (dict->Contains("ErrCode")) {
    result.keys = dict->Value("ErrCode").AsString() + "/" + dict->Value("ErrSource").AsString() +
                  "/" + dict->Value("ErrDescription").AsString();
  }
  return result;
}

// Everything the hook writes: material lines, the task, the sources of receipts, backflush marks.
inline std::string HookState(const corva::testing::TestDatabase& db) {
  return Rows(db,
              "SELECT FEntryID, FStockQty, FAuxStockQty, FWIPQty, FWIPAuxQty, FTransLateQty, "
              "FTransLateAuxQty FROM PPBOMEntry ORDER BY FEntryID") +
         " | " +
         Rows(db,
              "SELECT FStatus, FStockQty, FAuxStockQty, FStockFlag, FCloseDate, FCheckerID, "
              "FMrpClosed, FHandworkClose FROM ICMO") +
         " | " + Rows(db, "SELECT FQtyStock, FAuxQtyStock FROM ICOperShift") + " | " +
         Rows(db, "SELECT FQtyStock, FAuxQtyStock FROM ICMORptEntry") + " | " +
         Rows(db, "SELECT FBackFlushed FROM SHWorkBillEntry ORDER BY FWBInterID");
}

// Sets a site setting.
inline void Setting(const corva::testing::TestDatabase& db, const std::string& category,
                    const std::string& key, const std::string& value) {
  db.Execute("UPDATE t_SystemProfile SET FValue = '" + value + "' WHERE FCategory = '" + category +
             "' AND FKey = '" + key + "'");
}

}  // namespace CorvaMSHTransBills::sync_test

#endif  // CORVA_TESTS_SYNC_HOOK_TEST_UTIL_H_
