// Work in process of a material list line (PPBOMEntry.FWIPQty, FWIPAuxQty) as the consistency
// check defines it under the settings in force: what was issued to the line, less what the stored
// reports consume, each report's share rounded on its own as the rule that consumed it rounds it.
#include <string>

#include "bills/derived_totals.h"
#include "bills/icmorpt/task_report_wip.h"
#include "bills/procrpt/report_statements.h"

namespace CorvaMSHTransBills {
namespace {

// The two "SH" settings as the rules read them today (a missing row reads as '0'), as p.FMode and
// p.FStandard.
constexpr std::string_view kWipSettings =
    "(select IsNull((select isnull(FValue,'0') from t_systemprofile where fcategory='SH' and "
    "FKey='WIPDeductMode'),'0') as FMode, IsNull((select isnull(FValue,'0') from t_systemprofile "
    "where fcategory='SH' and FKey='BACKFLUSH_STANDARD'),'0') as FStandard) p";

// Each share is taken to the column's decimals as the rule's update stores it, so that the shares
// add up exactly. Whether a share of a report's quantity can be defined under the standard in
// force: a proportional share divides by the task's planned quantity, and a task planned for 0
// never took a report under it (the rule's division fails).
std::string Divisible(std::string_view planned) {
  return "(p.FStandard<>'0' or " + std::string(planned) + "<>0)";
}

}  // namespace

// `column` FWIPQty or FWIPAuxQty. The issue side is the line's issued quantity: every issue that
// reaches an ordinary material line raises its issued and its in-process quantity by the same
// figure (the auxiliary one rounded the same way), and which stored stock bills the host has posted
// through the hook is not recorded, so the issued quantity is the one exact record of it. Reports
// consume under WIPDeductMode '1' only. Under '0' product receipts consume, each rounded on its
// own, and a receipt's share is not recoverable from the task's received total; so under '0' only
// the lines of tasks that received nothing (product nor grade product) are defined.
DerivedTotal WorkInProcess(std::string_view name, bool auxiliary) {
  const std::string_view issued = auxiliary ? "FAuxStockQty" : "FStockQty";
  const std::string_view must = auxiliary ? "FAuxQtyMust" : "FQtyMust";
  const std::string_view usage = auxiliary ? "FAuxQtyScrap" : "FQtyScrap";
  const std::string settings(kWipSettings);

  const std::string issues =
      "select u1.FInterID, u1.FEntryID, u1." + std::string(issued) +
      " as FQty, IsNull(b.FBillNo,'') as FBillNo from PPBOMEntry u1 left join PPBOM b on "
      "b.FInterID = u1.FInterID join ICMO v1 on v1.FInterID = u1.FICMOInterID, " +
      settings +
      " where u1.FMaterielType=371 and (p.FMode='1' or (IsNull(v1.FStockQty,0)=0 and not exists "
      "(select 1 from PPBOMEntry g where g.FICMOInterID = u1.FICMOInterID and g.FMaterielType=374 "
      "and IsNull(g.FStockQty,0)<>0)))";

  // An operation report consumes its whole finished quantity at its operation's lines.
  const std::string x = "u2.FAuxQtyFinish";
  const std::string operation_reports =
      "select u1.FInterID, u1.FEntryID, -cast((case when p.FStandard='0' then " +
      procrpt::WipShareProportional(x, procrpt::kWipTaskUnitCoefficient, must) + " else " +
      procrpt::WipShareStandard(x, usage) +
      " end) as decimal(28,10)), s2.FBillNo from SHProcRptMain s2 join (select FInterID, "
      "isnull(sum(Isnull(FAuxQtyFinish,0)),0) as FAuxQtyFinish from SHProcRpt group by FInterID) "
      "u2 on u2.FInterID = s2.FInterID join SHWorkBillEntry m1 on m1.FWBInterID = s2.FWBInterID "
      "join PPBOMEntry u1 on u1.FICMOInterID = s2.FICMOInterID and " +
      std::string(procrpt::kWipLineAtOperation) +
      " join ICMO v1 on u1.FICMOInterID=v1.FInterID join t_MeasureUnit t10 on "
      "v1.FUnitID=t10.FMeasureUnitID join t_ICItem t1 on u1.FItemID=t1.FItemID, " +
      settings + " where p.FMode='1' and " + std::string(procrpt::kWipLinesConsumed) + " and " +
      Divisible("v1.Fqty");

  // A production task report consumes the finished quantity of its lines on each task (base unit).
  const std::string q = "u2.FQtyFinish";
  const std::string task_reports =
      "select u1.FInterID, u1.FEntryID, -cast((case when p.FStandard='0' then " +
      icmorpt::WipShareProportional(q, must, "v1.Fqty") + " else " +
      icmorpt::WipShareStandard(q, usage) +
      " end) as decimal(28,10)), r.FBillNo from (select FInterID, FSourceInterID, "
      "sum(isnull(FQtyFinish,0)) as "
      "FQtyFinish from ICMORptEntry group by FInterID, FSourceInterID) u2 join ICMORpt r on "
      "r.FInterID = u2.FInterID join ICMO v1 on v1.FInterID = u2.FSourceInterID join PPBOMEntry "
      "u1 on u1.FICMOInterID = v1.FInterID join t_ICItem t1 on u1.FItemID=t1.FItemID left join "
      "t_MeasureUnit t10 on v1.FUnitID=t10.FItemID, " +
      settings + " where p.FMode='1' and " + std::string(icmorpt::kWipLinesConsumed) + " and " +
      Divisible("v1.Fqty");

  return {.name = name,
          .table = "PPBOMEntry",
          .key = "FInterID",
          .column = auxiliary ? "FWIPAuxQty" : "FWIPQty",
          .source_key = "x.FInterID",
          .sum = "IsNull(sum(x.FQty),0)",
          .from = "from (" + issues + " union all " + operation_reports + " union all " +
                  task_reports + ") x",
          .where = "",
          .having = "",
          .document = "x.FBillNo",
          .sources_required = true,
          .entry_key = "FEntryID",
          .source_entry_key = "x.FEntryID",
          .opt_in = true};
}

}  // namespace CorvaMSHTransBills
