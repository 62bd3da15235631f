// clsMICMORpt ("CorvaMSHTransBills.clsMICMORpt"): the rules of the production task report, which
// reports finished, passed, scrapped and lost quantities and the hours spent against whole
// production tasks. It validates a report before a check, uncheck or delete, records the check,
// and keeps every task it touches equal to the totals of all reports of that task, from the save
// on; a deleted report gives its quantities and hours back.
#ifndef CORVA_BILLS_ICMORPT_CLS_M_ICMO_RPT_H_
#define CORVA_BILLS_ICMORPT_CLS_M_ICMO_RPT_H_

#include <cstdint>
#include <string>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call sets up the instance's parse object and data source afresh from its sDsn and runs in
// the caller's transaction. EndSave and WriteBackAfterDeleteBill run PreCheck, PostCheck and the
// other write-backs directly on the same instance, so those share their caller's vote: the caller's
// last vote decides. One call at a time.
class clsMICMORpt : public corva::host::BoundClass<clsMICMORpt> {
 public:
  clsMICMORpt() = default;

  // ---- Check, uncheck and delete ----

  // Validates report `lngInterID` before it is checked (`CheckSwitch` 0), unchecked (any other
  // switch) or deleted (`ProcessStatus` 3, with the uncheck rules). Refuses, first failure
  // winning: no acting user (`lngEmpID` 0); a production task above the report closed, cancelled
  // or suspended (clsPublic.IsLockByUpperBills); on a check, a task whose reports together
  // finished less than they passed, scrapped and lost; on an uncheck or delete, a bill made from
  // the report (inspection request, inspection, scrap bill, product receipt); under the "SH"
  // setting ICMORptPeriod, a report finished before the current period's start (DocStore.SysInfo).
  // True and SetComplete; or false, SetAbort and ReturnMsg = reason + CR LF [+ the localized error
  // description]. Writes nothing. `CheckDate` is not used.
  bool PreCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                int32_t ProcessStatus, int32_t lngEmpID,
                corva::Optional<corva::Date> CheckDate = {},
                corva::OptionalRef<std::string> ReturnMsg = {});
  // Records the check (checker `lngEmpID`, the day of `CheckDate`, status 1) or clears it on an
  // uncheck (Null, Null, status 0). True and SetComplete; on an error false, SetAbort and
  // ReturnMsg = CR LF + the localized description. `ProcessStatus` is not used.
  bool CheckBill(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                 int32_t ProcessStatus, int32_t lngEmpID, const corva::Date& CheckDate,
                 corva::OptionalRef<std::string> ReturnMsg = {});
  // After a check (`CheckSwitch` 0), an uncheck or a delete (`ProcessStatus` 3): brings every task
  // of the report in line with its reports (SynICMOAndICMORpt); a check deducts work in process, an
  // uncheck or delete gives it back. True and SetComplete; false, SetAbort and ReturnMsg =
  // "反写任务单失败！" + CR LF + the localized error description (empty without an error).
  // `lngEmpID` is not used.
  bool PostCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                 int32_t ProcessStatus, int32_t lngEmpID,
                 corva::OptionalRef<std::string> ReturnMsg = {},
                 corva::OptionalRef<corva::DictionaryPtr> dctExtParams = {});
  // Rewrites each task that report `lngInterID` has lines for (and, for a modified report, each
  // task whose lines were all removed: "FExtDataDict" entries with "FEntryDeleted" True) from the
  // lines of all reports of the task, checked or not, leaving out this report's own lines when
  // `lngProcessStatus` is 3: work dates, finished and lost quantities, passed and scrapped ones
  // when the product takes reported quality, and the three hour totals. Under the "SH" setting
  // WIPDeductMode '1' the task's material lines' work in process moves by this report's finished
  // quantity (a new report) or by the task's "FDiff" (a modified one): back with `lngOptions` 1,
  // off otherwise. True and SetComplete; false without a vote for an id below 1; false and
  // SetAbort on an error. `lngRptInterID` is not used.
  bool SynICMOAndICMORpt(const std::string& sDsn, int32_t lngInterID,
                         corva::Optional<int32_t> lngRptInterID = {},
                         corva::Optional<int32_t> lngOptions = {},
                         corva::Optional<int32_t> lngProcessStatus = {},
                         corva::OptionalRef<corva::DictionaryPtr> dctExtParams = {});

  // ---- Save and write-back ----

  // Called before the host writes the report: nothing to do; true, no vote, no database work.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Called after the host wrote report SaveVect(1)("FInterID"); SaveVect(2), present for a
  // modified report only, holds its per-task changes ("FExtDataDict"). Refuses (false,
  // "SaveRetCode" 99, SetAbort, ReturnMsg = the localized reason) when the task of the report's
  // first line is missing, not released, suspended or cancelled. Otherwise fills the lines'
  // base-unit quantities and hours, numbers new lines from ICMaxNum 'IcmoRpt', rewrites the tasks'
  // preparation hours, then runs PreCheck and PostCheck as for a check (a refusal there: false,
  // "SaveRetCode" 99, ReturnMsg as they left it) and marks the task as started
  // (clsMSynBills.UpdateICMoStartFlag). True and SetComplete. A run-time error: false, SetAbort,
  // ReturnMsg = the localized description, "SaveRetCode" 99. A failed base-unit or hours upkeep
  // dooms the transaction (its abort vote stands) and the save goes on as if it had not failed.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Gives every report line of the whole table still without a line id (0) the next id of the
  // counter ICMaxNum 'IcmoRpt', in report and line order, and moves the counter on by their count.
  // Without the counter row the lines get no id (Null). True and SetComplete; no error trap: an
  // error reaches the caller.
  bool UpdateEntryInterID(const std::string& sDsn);
  // Sets the preparation hours (FHRReadyTime) of each task of report `lngIRInterID` to the sum
  // over the lines of all reports of the task, in hours; with `blnDel` the report's own lines are
  // left out (the report is being deleted). True and SetComplete; on an error false, SetAbort and
  // ReturnMsg = "反写任务单失败：" + the error description.
  bool WriteBackTime(const std::string& sDsn, int32_t lngIRInterID, bool blnDel,
                     corva::OptionalRef<std::string> ReturnMsg = {});
  // Before the host deletes report `lInterID` (`lTranType` 551; other types: true, nothing done):
  // the tasks' preparation hours without the report, the delete rules of PreCheck, and the tasks
  // recomputed without the report with its work in process given back (PostCheck). True and
  // SetComplete; false and SetAbort when any of the three fails, with "ErrObject" (an object with
  // Number, Source and Description: 5, "反写任务单失败！", the refusal) in `dctExtParams`.
  // "ReturnString" always holds the refusal text ("" when none). `dctExtParams` is created when
  // not given.
  bool WriteBackAfterDeleteBill(const std::string& sDsn, int32_t lInterID, int32_t lTranType,
                                corva::OptionalRef<corva::DictionaryPtr> dctExtParams = {});

 private:
  // Fills the base-unit quantities (through the line unit's coefficient + scale) and the hours of
  // report `lngInterID`'s lines. True and SetComplete; on an error false, SetAbort and `sMsg` =
  // "更新基本单位数量出错,原因:" + CR LF + the localized description.
  bool UpdateBaseQtySql(const std::string& sDsn, int32_t lngInterID, std::string& sMsg);
  // The body of SynICMOAndICMORpt on the running call's connection: false for an id below 1;
  // errors reach the caller.
  bool SynchronizeTasks(corva::frame::Call& call, int32_t report, int32_t options,
                        int32_t process_status, const corva::DictionaryPtr& ext_params);

  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_ICMORPT_CLS_M_ICMO_RPT_H_
