// clsMICMORpt's save and delete rules. A report may only be saved against a released task that is
// neither suspended nor cancelled; after the host wrote it, its lines get their base-unit
// quantities and global ids, the tasks their preparation hours, and the check rules and task
// write-back run as for a check, so the tasks follow their reports from the save on. Before a
// report is deleted, its quantities and hours are taken out of its tasks again.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/late_binding.h"
#include "bills/icmorpt/cls_m_icmo_rpt.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::Call;
using corva::frame::LoadResMsg;

constexpr char kSynBillsProgID[] = "CorvaMSHTransBills.clsMSynBills";

// The late-bound error object a failed delete write-back hands to the host: the properties Number,
// Source and Description of the error, read as Invoke("Number") and so on.
class ErrObject : public corva::Dispatch {
 public:
  explicit ErrObject(corva::Error error) : error_(std::move(error)) {}
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    corva::RequireArgs(args, 0, 0);
    if (corva::IEquals(name, "Number")) return error_.Number();
    if (corva::IEquals(name, "Source")) return error_.Source();
    if (corva::IEquals(name, "Description")) return error_.Description();
    throw corva::NoSuchMethod(name);
  }

 private:
  corva::Error error_;
};

// The task of the report's first line with the states that decide whether it takes reports.
std::string BuildFirstTaskQuery(int32_t report) {
  return JoinCrLf({
      "select u1.FSourceInterID,v1.FStatus,v1.FSuspend,v1.FCancellation from ICMORptEntry u1",
      " Inner Join ICMO v1 on u1.FSourceInterID = v1.FInterID",
      " Where u1.FInterID = " + SqlNumber(report),
  });
}

// Hours of a line's time column, as the line's time unit says: minutes (11081) or days (11083).
std::string HoursOf(const std::string& table, const std::string& column) {
  const std::string c = table + "." + column;
  return "Case When " + table + ".FTimeUnitID = 11081 Then " + c + "/60 When " + table +
         ".FTimeUnitID = 11083 Then " + c + "*24 Else " + c + " End";
}

// The report's base-unit quantities through its lines' unit (coefficient + scale), and its hours.
std::string BuildBaseQtyUpdate(int32_t report) {
  auto base = [](const char* column, const char* aux) {
    return std::string("u1.") + column + " = Cast(u1." + aux +
           "*(IsNull(t2.FCoefficient, 1) + IsNull(t2.FScale, 0)) as Decimal(28,15))";
  };
  auto hours = [](const char* column, const char* time) {
    return std::string("u1.") + column + " = Cast(" + HoursOf("u1", time) + " as Decimal(28,15))";
  };
  return JoinCrLf({
      "Update u1 Set " + base("fQtyFinish", "FAuxQtyFinish") + ",",
      base("FQtyLoss", "FAuxQtyLoss") + "," + base("FQtyPass", "FAuxQtyPass") + ",",
      base("FQtyForItem", "FAuxQtyForItem") + "," + base("FQtyScrap", "FAuxQtyScrap") + ",",
      hours("FBTimeHrWork", "FTimeHrWork") + ",",
      hours("FBTimeEngPrepare", "FTimeEngPrepare") + ",",
      hours("FBTimeEngWork", "FTimeEngWork"),
      "From ICMORptEntry u1, t_MeasureUnit t2",
      "Where u1.FUnitID = t2.FItemID",
      " And u1.FInterID = " + SqlNumber(report),
  });
}

// New lines of every report (line id 0) get the next ids of the 'IcmoRpt' counter in report and
// line order, walked with a scrollable cursor; the counter then holds the last id given. Without
// the counter row the ids stay Null.
std::string BuildNumberLinesBatch() {
  return JoinCrLf({
      "Declare @lngCount int",
      "Declare @lngCurInterID int",
      "Declare @lngInterID int",
      "Declare @lngEntryID int",
      "select @lngCount = count(*) from ICMORptEntry where FIcmoRptInterID = 0",
      "select @lngCurInterID = IsNull(FMaxNum,1000) from ICMaxNum where FTableName = 'IcmoRpt'",
      "if @lngCount > 0",
      "begin",
      "    Declare IcmoRptEntry_cursor Cursor Scroll For",
      "        Select FInterID,FEntryID From ICMORptEntry Where FIcmoRptInterID = 0 Order By "
      "FInterID,FEntryID",
      "    Open IcmoRptEntry_cursor",
      "    Fetch Next From IcmoRptEntry_cursor Into @lngInterID,@lngEntryID",
      "    While @@Fetch_Status = 0",
      "    begin",
      "        set @lngCurInterID = @lngCurInterID + 1",
      "        Update ICMORptEntry Set FIcmoRptInterID = @lngCurInterID Where Current Of "
      "IcmoRptEntry_cursor",
      "        Fetch Next From IcmoRptEntry_cursor Into @lngInterID,@lngEntryID",
      "    end",
      "    Update ICMaxNum Set FMaxNum = @lngCurInterID Where FTableName = 'IcmoRpt'",
      "    Close IcmoRptEntry_cursor",
      "    Deallocate IcmoRptEntry_cursor",
      "end",
  });
}

// Preparation hours of every task of the report: the sum over the lines of all reports of the task,
// in hours (Null counting as 0). On a delete the lines are taken through their line ids with the
// report's own lines left out, so the report no longer counts.
std::string BuildReadyTimeUpdate(int32_t report, bool deleted) {
  const std::string id = SqlNumber(report);
  const std::string tasks =
      "(Select Distinct FSourceInterID from ICMORptEntry where FInterID = " + id + ")";
  const std::string counted = deleted ? "t3" : "u3";
  const std::string ready = "IsNull(" + counted + ".FHRReadyTime,0)";
  return JoinCrLf({
      "Update t1 Set t1.FHRReadyTime = IsNull(t2.FHRReadyTime,0)",
      "From ICMO t1 Left Join (Select u3.FSourceInterID,Sum(Case When " + counted +
          ".FTimeUnitID = 11081 Then " + ready + "/60 When " + counted +
          ".FTimeUnitID = 11083 Then " + ready + "*24 Else " + ready + " End) As FHRReadyTime",
      " From ICMORptEntry u3" +
          (deleted ? " LEFT JOIN ICMORptEntry t3 on u3.FICMORptInterid=t3.FICMORptInterid and "
                     "t3.FInterID<> " +
                         id
                   : std::string()),
      " Where u3.FSourceInterID In " + tasks + " Group By u3.FSourceInterID) t2",
      " On t1.FInterID = t2.FSourceInterID",
      "Where t1.FInterID In " + tasks,
  });
}

// Marks the save as refused by a rule in SaveVect(1) when there is one to mark.
void MarkRefused(const corva::VectorPtr& save_vect) {
  if (!save_vect || save_vect->Count() < 1) return;
  if (corva::DictionaryPtr header = save_vect->Item(1).As<corva::Dictionary>()) {
    header->SetValue("SaveRetCode", corva::frame::kSaveRefusedByRule);
  }
}

}  // namespace

bool clsMICMORpt::BeginSave(const std::string&, corva::VectorPtr&, std::string&) { return true; }

bool clsMICMORpt::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                          std::string& ReturnMsg) {
  // Unlike the other bills' saves, a run-time error refuses the save too ("SaveRetCode" 99).
  return frame_.Run(
      sDsn, ReturnMsg,
      {.save_vect = SaveVect, .on_error = [&](const corva::Error&) { MarkRefused(SaveVect); }},
      [&](Call& call) {
        const std::string& lang = call.lang();
        if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
        corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
        if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
        const int32_t report = header->Value("FInterID").AsLong();

        // Only the task of the first line is examined.
        corva::RecordsetPtr first = call.Connection()->Execute(BuildFirstTaskQuery(report));
        auto first_or_0 = [&](const char* column) {
          return first->Eof() ? 0 : corva::ValueOr(first->Fields(column), 0).AsLong();
        };
        const int32_t task = first_or_0("FSourceInterID");
        const int32_t status = first_or_0("FStatus");
        if (task == 0) {
          return call.Refuse(
              LoadResMsg("任务单汇报关联的生产任务单不存在,可能已被删除,请检查。", lang));
        }
        if (status != kICMOReleased && status != kICMOReleasedToo) {
          return call.Refuse(
              LoadResMsg("任务单汇报关联的生产任务单不在下达状态,单据不能保存,请检查。", lang));
        }
        if (first_or_0("FSuspend") == kFlagSet) {
          return call.Refuse(
              LoadResMsg("任务单汇报关联的生产任务单已被挂起,单据不能保存,请检查。", lang));
        }
        if (first_or_0("FCancellation") == kFlagSet) {
          return call.Refuse(
              LoadResMsg("任务单汇报关联的生产任务单已被取消,单据不能保存,请检查。", lang));
        }

        // The lines' own upkeep. The save goes on whatever it answers, but a failed upkeep's
        // abort vote stands: the checks below vote commit on this same instance and would
        // otherwise keep the report without its base quantities or hours.
        std::string upkeep_msg;
        if (!UpdateBaseQtySql(sDsn, report, upkeep_msg)) call.AbortStands();
        UpdateEntryInterID(sDsn);
        if (!WriteBackTime(sDsn, report, false, upkeep_msg)) call.AbortStands();

        // Validated and written back as for a check, by the acting user.
        const int32_t user = call.Parse().UserID();
        if (!PreCheck(sDsn, report, kCheckSwitchDo, 0, user, corva::Date{}, ReturnMsg)) {
          return call.Refuse(ReturnMsg);
        }
        corva::DictionaryPtr ext_params = corva::MakeDictionary();
        const bool is_new = SaveVect->Count() <= 1;
        ext_params->SetValue("IsNewBill", is_new);
        if (!is_new) ext_params->SetValue("FExtDataDict", SaveVect->Item(2));
        if (!PostCheck(sDsn, report, kCheckSwitchDo, 0, user, ReturnMsg, ext_params)) {
          return call.Refuse(ReturnMsg);
        }

        auto sync = call.CreateInstance(kSynBillsProgID);
        std::vector<Variant> args{sDsn, task};
        sync->Invoke("UpdateICMoStartFlag", args);  // the task may have started already
        return true;
      });
}

bool clsMICMORpt::UpdateBaseQtySql(const std::string& sDsn, int32_t lngInterID, std::string& sMsg) {
  return frame_.Run(sDsn, sMsg, {.crlf = true}, [&](Call& call) {
    call.sMsg() = LoadResMsg("更新基本单位数量出错,原因:", call.lang());
    call.Connection()->Execute(BuildBaseQtyUpdate(lngInterID));
  });
}

bool clsMICMORpt::UpdateEntryInterID(const std::string& sDsn) {
  return frame_.Run(sDsn, {.trap = false},
                    [&](Call& call) { call.Connection()->Execute(BuildNumberLinesBatch()); });
}

bool clsMICMORpt::WriteBackTime(const std::string& sDsn, int32_t lngIRInterID, bool blnDel,
                                corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(sDsn, *ReturnMsg, {}, [&](Call& call) {
    call.sMsg() = LoadResMsg("反写任务单失败：", call.lang());
    call.Connection()->Execute(BuildReadyTimeUpdate(lngIRInterID, blnDel));
  });
}

bool clsMICMORpt::WriteBackAfterDeleteBill(const std::string& sDsn, int32_t lInterID,
                                           int32_t lTranType,
                                           corva::OptionalRef<corva::DictionaryPtr> dctExtParams) {
  corva::DictionaryPtr& params = *dctExtParams;
  if (!params) params = corva::MakeDictionary();
  std::string message;
  std::optional<corva::Error> failure;
  const bool done =
      frame_.Run(sDsn, {.on_error = [&](const corva::Error& e) { failure = e; }}, [&](Call& call) {
        if (lTranType != kBillTypeICMORpt) return true;
        const std::string failed = LoadResMsg("反写任务单失败！", call.lang());
        if (!WriteBackTime(sDsn, lInterID, true)) {
          throw corva::Error::Runtime(corva::kErrInvalidProcedureCall, failed);
        }
        // The delete rules, then the tasks without this report, its work in process given back.
        const int32_t user = call.Parse().UserID();
        if (!PreCheck(sDsn, lInterID, kCheckSwitchUndo, kProcessDelete, user, corva::Date{},
                      message) ||
            !PostCheck(sDsn, lInterID, kCheckSwitchUndo, kProcessDelete, user, message, params)) {
          throw corva::Error(corva::kErrInvalidProcedureCall, failed, message);
        }
        return true;
      });
  params->SetValue("ReturnString", message);
  if (failure) params->SetValue("ErrObject", std::make_shared<ErrObject>(*failure));
  return done;
}

}  // namespace CorvaMSHTransBills
