// Every rule operation the scaling benchmark times, called as a host calls it: CreateObject, then
// Invoke with the arguments in declared order. Each entry names the host's own work that must come
// first (untimed), the call (timed), what a successful call answers, and whether the call writes:
// a writing call runs in a host transaction that is rolled back after the timing, so that every
// document can be used again and each call finds the same state.
#ifndef CORVA_BENCH_SCALE_OPS_H_
#define CORVA_BENCH_SCALE_OPS_H_

#include <functional>
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "scale_data.h"

namespace corva::bench {

inline constexpr char kWorkBill[] = "CorvaMSHTransBills.clsMWorkBill";
inline constexpr char kTaskDisp[] = "CorvaMSHTransBills.clsMTaskDispBill";
inline constexpr char kPublic[] = "CorvaMSHTransBills.clsPublic";

// What the operations need to reach the factory.
struct Site {
  std::string dsn;      // the caller's property string
  std::string connect;  // the host's own connection string
  // The host's own statement, on a connection of its own (joining the thread's transaction).
  void Host(const std::string& sql) const {
    Connection connection;
    connection.Open(connect);
    connection.Execute(sql);
  }
};

struct Operation {
  std::string name;                                   // "clsMWorkBill.EndSave"
  bool writes;                                        // run in a transaction rolled back afterwards
  std::function<void(const Site&, int64_t)> prepare;  // the host's work first (may be empty)
  std::function<bool(const Site&, int64_t)> call;     // the call; true when it answered as expected
};

inline Variant Call(const char* progid, const char* method, std::vector<Variant> args) {
  return CreateObject(progid)->Invoke(method, args);
}

inline VectorPtr SaveVect(int32_t bill) {
  DictionaryPtr header = MakeDictionary();
  header->SetValue("FInterID", bill);
  VectorPtr save_vect = MakeVector();
  save_vect->Add(header);
  return save_vect;
}

// CheckTaskDispBill on one entry: `undo` 0 or 1, `process` 1 check / 2 close.
inline bool CheckEntry(const Site& s, int32_t entry, int undo, int process) {
  return Call(kTaskDisp, "CheckTaskDispBill",
              {s.dsn, entry, kUser, undo, 0, std::string(), 0, process, std::string("2026-03-02")})
      .AsBool();
}

inline bool HasRecordset(const Variant& v) { return v.As<Recordset>() != nullptr; }

inline std::vector<Operation> Operations() {
  const std::string kDates = "'2026-05-01','2026-05-04'";
  std::vector<Operation> ops = {
      // clsMWorkBill
      {"clsMWorkBill.GetThisBillNo", false, nullptr,
       [](const Site& s, int64_t) {
         return !Call(kWorkBill, "GetThisBillNo", {s.dsn, 1, false}).AsString().empty();
       }},
      {"clsMWorkBill.BeginSave", false, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kWorkBill, "BeginSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
       }},
      {"clsMWorkBill.EndSave", true, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kWorkBill, "EndSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
       }},
      {"clsMWorkBill.PostCheck", true, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kWorkBill, "PostCheck", {s.dsn, Task(k), 0, 1, kUser, std::string()}).AsBool();
       }},
      {"clsMWorkBill.AutoCloseBill", true,
       [](const Site& s, int64_t k) {
         // The floor finished and handed over the whole second operation.
         s.Host(
             "UPDATE SHWorkBillEntry SET FAuxQtyRecive = 100, FAuxQtyFinish = 100, "
             "FAuxQtyPass = 100, FAuxQtyHandOver = 100 WHERE FWBInterID = " +
             std::to_string(FirstOperation(k) + 1));
       },
       [](const Site& s, int64_t k) {
         return Call(kWorkBill, "AutoCloseBill",
                     {s.dsn, FirstOperation(k) + 1, kUser, std::string()})
             .AsBool();
       }},
      // clsMTaskDispBill
      {"clsMTaskDispBill.GetBillNo", false, nullptr,
       [](const Site& s, int64_t) {
         return !Call(kTaskDisp, "GetBillNo", {502, s.dsn, 1, false}).AsString().empty();
       }},
      {"clsMTaskDispBill.EndSave", true, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kTaskDisp, "EndSave", {s.dsn, SaveVect(Task(k)), std::string()}).AsBool();
       }},
      {"clsMTaskDispBill.SynWorkBillAndTaskDisp", true, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kTaskDisp, "SynWorkBillAndTaskDisp", {s.dsn, FirstOperation(k)}).AsBool();
       }},
      {"clsMTaskDispBill.CheckTaskDispBill check", true, nullptr,
       [](const Site& s, int64_t k) { return CheckEntry(s, SavedEntry(k), 0, 1); }},
      {"clsMTaskDispBill.CheckTaskDispBill uncheck", true,
       [](const Site& s, int64_t k) {
         s.Host(
             "UPDATE ICTaskDispBillEntry SET FStatus = 1, FCheckerID = 16394 WHERE "
             "FTaskDispInterID = " +
             std::to_string(SavedEntry(k)));
       },
       [](const Site& s, int64_t k) { return CheckEntry(s, SavedEntry(k), 1, 1); }},
      {"clsMTaskDispBill.CheckTaskDispBill close", true, nullptr,
       [](const Site& s, int64_t k) { return CheckEntry(s, CheckedEntry(k), 0, 2); }},
      {"clsMTaskDispBill.CheckTaskDispBill unclose", true,
       [](const Site& s, int64_t k) {
         s.Host("UPDATE ICTaskDispBillEntry SET FStatus = 3 WHERE FTaskDispInterID = " +
                std::to_string(CheckedEntry(k)));
       },
       [](const Site& s, int64_t k) { return CheckEntry(s, CheckedEntry(k), 1, 2); }},
      {"clsMTaskDispBill.DoAfterTaskDispBillCheck", true, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kTaskDisp, "DoAfterTaskDispBillCheck",
                     {s.dsn, CheckedEntry(k), 0, 0, 0, 1, kUser, std::string()})
             .AsBool();
       }},
      {"clsMTaskDispBill.DeleteTDBill", true, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kTaskDisp, "DeleteTDBill", {s.dsn, SavedEntry(k), std::string()}).AsLong() ==
                1;
       }},
      // clsPublic
      {"clsPublic.UpdateSql", true, nullptr,
       [](const Site& s, int64_t k) {
         Call(
             kPublic, "UpdateSql",
             {s.dsn, "UPDATE ICMO SET FStartFlag = 1 WHERE FInterID = " + std::to_string(Task(k))});
         return true;
       }},
      {"clsPublic.JudgeBillNO", false, nullptr,
       [](const Site& s, int64_t k) {
         return Call(
                    kPublic, "JudgeBillNO",
                    {s.dsn, "SELECT FBillNo FROM ICMO WHERE FInterID = " + std::to_string(Task(k))})
                    .AsString()
                    .rfind("MO", 0) == 0;
       }},
      {"clsPublic.GetHour", false, nullptr,
       [](const Site& s, int64_t) {
         return Call(kPublic, "GetHour", {s.dsn, 602}).AsLong() > 0;
       }},
      {"clsPublic.GetItem", false, nullptr,
       [](const Site& s, int64_t) {
         std::string dsn = s.dsn;
         return HasRecordset(Call(kPublic, "GetItem", {dsn}));
       }},
      {"clsPublic.GetRs", false, nullptr,
       [](const Site& s, int64_t k) {
         return HasRecordset(Call(
             kPublic, "GetRs",
             {s.dsn, "SELECT * FROM SHWorkBillEntry WHERE FInterID = " + std::to_string(Task(k))}));
       }},
      {"clsPublic.CheckIsWorkDate", false, nullptr,
       [kDates](const Site& s, int64_t) {
         return Call(kPublic, "CheckIsWorkDate", {s.dsn, kDates, 0, 0}).AsString() == "2026-05-01";
       }},
      {"clsPublic.CheckIsWorkDateEx", false, nullptr,
       [kDates](const Site& s, int64_t) {
         return Call(kPublic, "CheckIsWorkDateEx", {s.dsn, kDates, 0, MakeDictionary(), 0})
             .AsBool();
       }},
      {"clsPublic.GetRelatedBillStatus", false, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kPublic, "GetRelatedBillStatus", {s.dsn, CheckedEntry(k), 502, MakeVector()})
             .AsBool();
       }},
      {"clsPublic.IsLockByUpperBills", false, nullptr,
       [](const Site& s, int64_t k) {
         return !Call(kPublic, "IsLockByUpperBills", {s.dsn, CheckedEntry(k), 502}).AsBool();
       }},
      {"clsPublic.GetLowerBillStatus", false, nullptr,
       [](const Site& s, int64_t k) {
         return Call(kPublic, "GetLowerBillStatus", {s.dsn, Task(k), 85, MakeVector(), 0}).AsBool();
       }},
      {"clsPublic.GetICSysProfile", false, nullptr,
       [](const Site& s, int64_t) {
         return Call(kPublic, "GetICSysProfile", {s.dsn, "IC", "ICClosed"}).AsString() == "1";
       }},
      {"clsPublic.GetStockNoMrp", false, nullptr,
       [](const Site& s, int64_t) {
         VectorPtr stocks = MakeVector();
         for (int32_t stock : {401, 403}) {
           DictionaryPtr row = MakeDictionary();
           row->SetValue("FRowID", stock - 400);
           row->SetValue("FStockID", stock);
           stocks->Add(row);
         }
         return HasRecordset(Call(kPublic, "GetStockNoMrp", {s.dsn, stocks}));
       }},
      {"clsPublic.GetStockNoMrpBySql", false, nullptr,
       [](const Site& s, int64_t) {
         return HasRecordset(Call(kPublic, "GetStockNoMrpBySql",
                                  {s.dsn,
                                   "CREATE TABLE #MaterialHead (FStockID int) INSERT INTO "
                                   "#MaterialHead VALUES (403) SELECT * FROM #MaterialHead"}));
       }},
      {"clsPublic.GetBomEntry", false, nullptr,
       [](const Site& s, int64_t k) {
         return HasRecordset(Call(kPublic, "GetBomEntry", {s.dsn, std::to_string(Task(k))}));
       }},
  };
  return ops;
}

}  // namespace corva::bench

#endif  // CORVA_BENCH_SCALE_OPS_H_
