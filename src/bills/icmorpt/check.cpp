// clsMICMORpt's check rules: what must hold before a production task report is checked,
// unchecked or deleted, the check mark itself, and the write-back that keeps each production task
// equal to the totals of all its reports. The task totals are recomputed from every report each
// time, so the order of saves, checks and unchecks does not matter for them; only the work in
// process of the task's materials moves by the event's quantity.
#include <cstdio>
#include <string>
#include <vector>

#include "bills/icmorpt/cls_m_icmo_rpt.h"
#include "bills/icmorpt/task_report_wip.h"
#include "bills/task_totals.h"
#include "corva/decimal.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "frame/profile.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::Call;
using corva::frame::FormatResMsg;
using corva::frame::LoadResMsg;

constexpr char kPublicProgID[] = "CorvaMSHTransBills.clsPublic";
constexpr char kSysInfoProgID[] = "DocStore.SysInfo";

// ---- Statements of PreCheck ----

// Totals over all reports of every task this report touches: a task's reports together may not
// pass, scrap and lose more than they finished.
std::string BuildTaskTotalsQuery(int32_t report) {
  return JoinCrLf({
      " select sum(t.FAuxQtyFinish) as FQtyFinish,sum(t.FAuxQtyPass) as FQtyPass,"
      "sum(t.FAuxQtyScrap) as FQtyScrap,sum(t.FAuxQtyForItem) as FQtyForItem,"
      "sum(t.FAuxQtyLoss) as FQtyLoss,u.FBillNo ",
      " From ICMORptEntry t inner join ICMO u on t.FSourceInterID=u.FInterID ",
      " Where t.FSourceInterID in (select FSourceInterID From ICMORptEntry where FInterID = " +
          SqlNumber(report) + ")",
      " Group By t.FSourceInterID,u.FBillNo ",
  });
}

// The bills made from the report, one count per kind with the kind's (localized) name: while any
// exists the report's quantities are in use further down and it may not be unchecked or deleted.
std::string BuildLinkedBillsQuery(int32_t report, const std::string& lang) {
  const std::string id = SqlNumber(report);
  auto count = [&](const char* caption, const std::string& table_and_condition) {
    return "Select Count(1)," + SqlQuote(LoadResMsg(caption, lang)) + " as FCaption from " +
           table_and_condition + id;
  };
  return JoinCrLf({
      count("产品检验申请单", "QMICMOCKRequest where FICMORptID=") + " Union All",
      count("检验单", "QM_QualityCheckEntry where FClassID_SRC=-551 and FID_SRC=") + " Union All",
      count("生产物料报废单", "icitemscrapentry where fsourcetrantype=551 and Fsourceinterid=") +
          " Union All",
      count("产品入库单", "icstockbillentry where fsourcetrantype=551 and Fsourceinterid=") +
          " Union All",
      count("产品入库单", "icstockbillentry_2 where fsourcetrantype=551 and Fsourceinterid="),
  });
}

corva::Decimal QuantityOr0(const Variant& value) { return corva::ValueOr(value, 0).AsDecimal(); }

// The first task whose reports together finished less than they passed, scrapped and lost, as the
// refusal naming it; "" when every task is consistent. Compared exactly, as the database's
// decimals.
std::string FindOverReportedTask(corva::Recordset& totals, const std::string& lang) {
  for (; !totals.Eof(); totals.MoveNext()) {
    corva::Decimal finished = QuantityOr0(totals.Fields("FQtyFinish"));
    corva::Decimal passed = QuantityOr0(totals.Fields("FQtyPass"));
    corva::Decimal scrapped = QuantityOr0(totals.Fields("FQtyScrap"));
    corva::Decimal for_item = QuantityOr0(totals.Fields("FQtyForItem"));
    corva::Decimal lost = QuantityOr0(totals.Fields("FQtyLoss"));
    corva::Decimal accounted = passed + scrapped + for_item + lost;
    if (finished < accounted) {
      return FormatResMsg(
          "对应的任务单[%1]下的所有任务单汇报的实作数之和[%2]不能小于合格数之和[%3]+"
          "因工报废数之和[%4]+因料报废数之和[%5]+遗失数之和[%6]=[%7]",
          lang, {totals.Fields("FBillNo"), finished, passed, scrapped, for_item, lost, accounted});
    }
  }
  return std::string();
}

// ---- The task write-back ----

// Hours of a line's time column: the line's time unit says whether it was booked in minutes
// (11081) or days (11083); anything else is hours already.
std::string HoursOf(const std::string& column) {
  return "case u1.FTimeUnitID when 11081 then u1." + column + "/60 when 11083 then u1." + column +
         "*24 else u1." + column + " end";
}

// A quantity given by the host (the change of a task's finished quantity), as SQL reads it.
std::string QuantityText(const Variant& value) {
  if (value.Type() == corva::VarType::kDecimal) return value.AsDecimal().ToString();
  return SqlNumber(value.AsDouble());
}

// What the caller tells about a modified report: "IsNewBill" and the per-task "FExtDataDict".
struct ExtParams {
  bool is_new = true;
  corva::DictionaryPtr per_task;  // never null

  explicit ExtParams(const corva::DictionaryPtr& params) {
    if (params) {
      is_new = params->GetValue("IsNewBill", true).AsBool();
      per_task = params->GetValue("FExtDataDict", Variant()).As<corva::Dictionary>();
    }
    if (!per_task) per_task = corva::MakeDictionary();
  }
  // The task's entry of "FExtDataDict", or null.
  corva::DictionaryPtr Task(int32_t task) const {
    return per_task->GetValue(SqlNumber(task), Variant()).As<corva::Dictionary>();
  }
};

// The work-in-process block: when the site consumes material by reports ("SH" WIPDeductMode '1'),
// each material line of the task moves by its share of the reported quantity X. A new report moves
// it by the report's own finished quantity (base unit) on this task; a modified one by the change
// D of the finished quantity (task unit) the host reports for the task. "BACKFLUSH_STANDARD" '0'
// shares X in proportion to the line's required quantity over the task's planned one; any other
// value consumes the standard usage per unit of product. Multiplying before dividing keeps the
// share exact where the division would cut it short; a task planned for 0 still fails on the
// division, as it must (its shares are undefined).
void AppendWipBlock(std::vector<std::string>& sql, int32_t report, int32_t options, bool is_new,
                    const std::string& diff) {
  const std::string sign = options == kWipGiveBack ? "+" : "-";
  // Proportional share: X, and the task's planned quantity in X's unit.
  const std::string x = is_new ? "@FQtyFinish" : "(" + diff + ")";
  const std::string planned = is_new ? "v1.Fqty" : "v1.FAuxQty";
  // Standard usage: X in the base unit.
  const std::string x_base = is_new ? "@FQtyFinish" : "(" + diff + ")*@MeasureUnitRatio";
  auto proportional = [&](const char* wip, const char* must) {
    return std::string("u1.") + wip + "=isnull(u1." + wip + ",0)" + sign +
           icmorpt::WipShareProportional(x, must, planned);
  };
  auto standard = [&](const char* wip, const char* usage) {
    return std::string("u1.") + wip + "=isnull(u1." + wip + ",0)" + sign +
           icmorpt::WipShareStandard(x_base, usage);
  };
  sql.insert(sql.end(), {
                            "declare @WIPDeductMode nvarchar(255)",
                            "declare @BACKFLUSH_STANDARD nvarchar(255)",
                            "select @WIPDeductMode='0'",
                            "select @WIPDeductMode=isnull(FValue,'0') from t_systemprofile where "
                            "fcategory='SH' and FKey='WIPDeductMode'",
                            "if @WIPDeductMode='1'",
                            "begin",
                            "select @BACKFLUSH_STANDARD='0'",
                            "select @BACKFLUSH_STANDARD=isnull(FValue,'0') from t_systemprofile "
                            "where fcategory='SH' and FKey='BACKFLUSH_STANDARD'",
                        });
  if (is_new) {
    sql.push_back(
        "  select @FQtyFinish=sum(isnull(FQtyFinish,0)) from icmoRptEntry where FSourceInterID = "
        "@lngICMOInterID ");
    sql.push_back(" AND FInterID=" + SqlNumber(report));
  }
  const std::string lines =
      " from PPBOMEntry u1 inner join ICMO v1 on u1.FICMOInterID=v1.FInterID"
      " inner join t_ICItem t1 on u1.FItemID=t1.FItemID";
  const std::string where =
      " where v1.FInterID=@lngICMOInterID and " + std::string(icmorpt::kWipLinesConsumed);
  sql.insert(sql.end(), {
                            "if @BACKFLUSH_STANDARD='0'",
                            "Update u1 set " + proportional("FWIPQty", "FQtyMust") + "," +
                                proportional("FWIPAuxQty", "FAuxQtyMust"),
                            lines,
                            where,
                            "else",
                            "Update u1 set " + standard("FWIPQty", "FQtyScrap") + "," +
                                standard("FWIPAuxQty", "FAuxQtyScrap"),
                            lines + " left join t_MeasureUnit t10 on v1.FUnitID=t10.FItemID",
                            where,
                            "end",
                        });
}

// One task's write-back (one batch): the totals over every line of every report of the task,
// checked or not (without report `report`'s lines on a delete), into the task; then the work in
// process. Passed and scrapped quantities reach the task only when its product takes reported
// quality (FProChkMde 352); otherwise they come from quality management and stay.
std::string GetICMOFromRptSql(int32_t task, int32_t options, int32_t report, int32_t process_status,
                              const ExtParams& ext) {
  std::vector<std::string> sql = {
      "declare @lngICMOInterID int",
      "select @lngICMOInterID = " + SqlNumber(task),
      "declare @FAuxQtyFinish decimal(28,10)",
      "declare @FQtyFinish decimal(28,10)",
      "declare @FAuxQtyLoss decimal(28,10)",
      "declare @FAuxQtyPass decimal(28,10)",
      "declare @FAuxQtyScrap decimal(28,10)",
      "declare @FAuxQtyForItem decimal(28,10)",
      "declare @FTimeHrWork decimal(28,10)",
      "declare @FTimeEngPrepare decimal(28,10)",
      "declare @FTimeEngWork decimal(28,10)",
      "declare @FWorkStateDate datetime",
      "declare @FWorkEndDate datetime",
      "declare @MeasureUnitRatio decimal(28,10)",
      "select @MeasureUnitRatio = isnull(v3.FCoefficient,1)+isnull(v3.FScale,0)",
      "from ICMO v2, t_MeasureUnit v3",
      "Where v2.FUnitID = v3.FItemID And v2.FInterID = @lngICMOInterID",
      "select @FWorkStateDate = min(u1.FWorkStartDate),@FWorkEndDate = max(u1.FWorkEndDate),",
      "@FAuxQtyFinish = " + TaskReportedSum("FAuxQtyFinish") +
          ",@FAuxQtyLoss = " + TaskReportedSum("FAuxQtyLoss") + ",",
      "@FAuxQtyPass = " + TaskReportedSum("FAuxQtyPass") +
          ",@FAuxQtyScrap = " + TaskReportedSum("FAuxQtyScrap") + ",",
      "@FAuxQtyForItem = " + TaskReportedSum("FAuxQtyForItem") + ",",
      "@FTimeHrWork = isnull(sum(" + HoursOf("FTimeHrWork") + "),0),",
      "@FTimeEngPrepare = isnull(sum(" + HoursOf("FTimeEngPrepare") + "),0),",
      "@FTimeEngWork = isnull(sum(" + HoursOf("FTimeEngWork") + "),0)",
      std::string(kTaskReportLinesFrom),
      "where " + std::string(kTaskReportLinesCounted),
      "and " + std::string(kTaskReportLinesTask) + " = @lngICMOInterID",
  };
  if (process_status == kProcessDelete) sql.push_back("and u1.FInterID <> " + SqlNumber(report));
  auto reported_quality = [](const std::string& aux, const std::string& base,
                             const std::string& total) {
    const std::string when = "(case when " + std::string(kTaskTakesReportedQuality) + " then ";
    return aux + " = " + when + total + " else ICMO." + aux + " end)," + base + " = " + when +
           total + "*@MeasureUnitRatio else ICMO." + base + " end),";
  };
  sql.insert(sql.end(), {
                            "Update ICMO set FStartDate = @FWorkStateDate,FFinishDate = "
                            "@FWorkEndDate,",
                            "FAuxQtyFinish = @FAuxQtyFinish,FQtyFinish = "
                            "@FAuxQtyFinish*@MeasureUnitRatio,",
                            "FAuxQtyLost = @FAuxQtyLoss,FQtyLost = @FAuxQtyLoss*@MeasureUnitRatio,",
                            reported_quality("FAuxQtyPass", "FQtyPass", "@FAuxQtyPass"),
                            reported_quality("FAuxQtyScrap", "FQtyScrap", "@FAuxQtyScrap"),
                            reported_quality("FAuxQtyForItem", "FQtyForItem", "@FAuxQtyForItem"),
                            "FFinishTime = @FTimeHrWork,FReadyTime = @FTimeEngPrepare,FFixTime = "
                            "@FTimeEngWork",
                            " from ICMO ,t_icitem item Where ICMO.FInterID = @lngICMOInterID and "
                            "ICMO.FItemID=item.FItemID",
                        });
  std::string diff = "0";
  if (!ext.is_new) {
    if (corva::DictionaryPtr change = ext.Task(task)) {
      diff = QuantityText(corva::ValueOr(change->GetValue("FDiff", 0), 0));
    }
  }
  AppendWipBlock(sql, report, options, ext.is_new, diff);

  std::string batch;
  for (const std::string& line : sql) batch += line + std::string(kCrLf);
  return batch;
}

// 'YYYY-MM-DD' of the day of `date`, as an SQL literal.
std::string QuotedDay(const corva::Date& date) {
  int year, month, day, hour, minute;
  double second;
  date.ToParts(&year, &month, &day, &hour, &minute, &second);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return SqlQuote(text);
}

}  // namespace

bool clsMICMORpt::PreCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                           int32_t ProcessStatus, int32_t lngEmpID,
                           corva::Optional<corva::Date> /*CheckDate*/,
                           corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(sDsn, *ReturnMsg, {.crlf = true}, [&](Call& call) {
    const std::string& lang = call.lang();
    const bool undo = CheckSwitch != kCheckSwitchDo;
    const std::string operation = LoadResMsg(ProcessStatus == kProcessDelete ? "删除"
                                             : undo                          ? "反审核"
                                                                             : "审核",
                                             lang);
    // Nobody acting: refused before anything is read.
    if (lngEmpID == 0) {
      return call.Refuse(LoadResMsg("审核操作时,系统传递给审核中间层的审核人为空！", lang));
    }
    // Period control: a report finished before the current accounting period belongs to a period
    // whose figures are final.
    Variant period_start;
    const bool period_control =
        corva::ValueOr(
            corva::frame::GetSystemProfile(call.DataSource(), "ICMORptPeriod", "SH", false), false)
            .AsBool();
    if (period_control) {
      auto sys_info = call.CreateInstance(corva::frame::GetEditionName(sDsn, kSysInfoProgID));
      std::vector<Variant> args{sDsn};
      period_start = sys_info->Invoke("GetPeriodStartDate", args);
    }

    auto chain = call.CreateInstance(kPublicProgID);
    std::vector<Variant> lock_args{sDsn, lngInterID, kBillTypeICMORpt};
    if (chain->Invoke("IsLockByUpperBills", lock_args).AsBool()) {
      return call.Refuse(
          LoadResMsg("任务汇报单的相关单据处于关闭或结案状态，本操作被禁止！", lang));
    }

    const corva::ConnectionPtr& db = call.Connection();
    if (!undo) {
      corva::RecordsetPtr totals = db->Execute(BuildTaskTotalsQuery(lngInterID));
      std::string refusal = FindOverReportedTask(*totals, lang);
      if (!refusal.empty()) return call.Refuse(refusal);
    } else {
      corva::RecordsetPtr linked = db->Execute(BuildLinkedBillsQuery(lngInterID, lang));
      for (; !linked->Eof(); linked->MoveNext()) {
        if (corva::ValueOr(linked->Fields(0), 0).AsLong() > 0) {
          return call.Refuse(LoadResMsg("该任务汇报单存在关联的单据:", lang) +
                             linked->Fields("FCaption").ToText() + "!");
        }
      }
    }

    if (period_control) {
      corva::RecordsetPtr end =
          db->Execute("select min(FWorkEndDate) as FMinEndDate from icmorptentry where FInterid=" +
                      SqlNumber(lngInterID));
      // A report without finish dates has nothing before the period.
      Variant earliest = end->Eof() ? Variant() : corva::ValueOr(end->Fields("FMinEndDate"), {});
      if (!earliest.IsEmpty() && earliest.AsDate().serial < period_start.AsDate().serial) {
        return call.Refuse(
            FormatResMsg("不允许%1实际完工日期为当前期间以前的单据！", lang, {operation}));
      }
    }
    return true;
  });
}

bool clsMICMORpt::CheckBill(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                            int32_t /*ProcessStatus*/, int32_t lngEmpID,
                            const corva::Date& CheckDate,
                            corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(sDsn, *ReturnMsg, {.crlf = true}, [&](Call& call) {
    const bool check = CheckSwitch == kCheckSwitchDo;
    const std::string checker = check ? SqlNumber(lngEmpID) : "NULL";
    const std::string date = check ? QuotedDay(CheckDate) : "NULL";
    const int32_t status = check ? kICMORptChecked : kICMORptSaved;
    call.Connection()->Execute("Update ICMORpt Set FCheckerID = " + checker +
                               ",FCheckDate = " + date + ",FStatus = " + SqlNumber(status) +
                               " Where FInterID = " + SqlNumber(lngInterID));
  });
}

bool clsMICMORpt::PostCheck(const std::string& sDsn, int32_t lngInterID, int32_t CheckSwitch,
                            int32_t ProcessStatus, int32_t /*lngEmpID*/,
                            corva::OptionalRef<std::string> ReturnMsg,
                            corva::OptionalRef<corva::DictionaryPtr> dctExtParams) {
  return frame_.Run(sDsn, *ReturnMsg, {.crlf = true}, [&](Call& call) {
    // The reason leads the database's description when the write-back fails.
    call.sMsg() = LoadResMsg("反写任务单失败！", call.lang());
    const int32_t options = CheckSwitch != kCheckSwitchDo ? kWipGiveBack : kWipDeduct;
    if (!SynchronizeTasks(call, lngInterID, options, ProcessStatus, *dctExtParams)) {
      return call.Refuse(call.sMsg());
    }
    return true;
  });
}

bool clsMICMORpt::SynICMOAndICMORpt(const std::string& sDsn, int32_t lngInterID,
                                    corva::Optional<int32_t> /*lngRptInterID*/,
                                    corva::Optional<int32_t> lngOptions,
                                    corva::Optional<int32_t> lngProcessStatus,
                                    corva::OptionalRef<corva::DictionaryPtr> dctExtParams) {
  if (lngInterID < 1) return false;  // no report: nothing read, no vote
  return frame_.Run(sDsn, {}, [&](Call& call) {
    return SynchronizeTasks(call, lngInterID, lngOptions, lngProcessStatus, *dctExtParams);
  });
}

bool clsMICMORpt::SynchronizeTasks(Call& call, int32_t report, int32_t options,
                                   int32_t process_status, const corva::DictionaryPtr& ext_params) {
  const ExtParams ext(ext_params);
  if (report < 1) return false;
  const corva::ConnectionPtr& db = call.Connection();
  std::vector<int32_t> tasks;
  corva::RecordsetPtr rows = db->Execute(
      "Select Distinct FSourceInterID from ICMORptEntry  where FInterID = " + SqlNumber(report));
  for (; !rows->Eof(); rows->MoveNext()) {
    tasks.push_back(corva::ValueOr(rows->Fields("FSourceInterID"), 0).AsLong());
  }
  // A modified report: tasks that lost every line at this save are rewritten too, although no
  // line of the report points to them any more.
  if (!ext.is_new) {
    for (int32_t i = 1; i <= ext.per_task->Count(); ++i) {
      const std::string key = ext.per_task->Key(i);
      corva::DictionaryPtr change = ext.per_task->Value(key).As<corva::Dictionary>();
      if (change && corva::ValueOr(change->GetValue("FEntryDeleted", false), false).AsBool()) {
        tasks.push_back(Variant(key).AsLong());
      }
    }
  }
  for (int32_t task : tasks) {
    db->Execute(GetICMOFromRptSql(task, options, report, process_status, ext));
  }
  return true;
}

}  // namespace CorvaMSHTransBills
