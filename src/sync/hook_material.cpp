// The hook handlers of bills that issue material to production: material issue bills (24), the
// outsourced processing issue (28) and workshop material bills (137). Each books the bill's
// quantities on the material lines it was made from (issued and in process; returned material
// counts against the issue), closes or reopens production tasks by the close option, keeps the
// backflush marks of the operations the bill was made for, refreshes the tasks' issue status and
// finally runs the issue controls.
#include <string>

#include "corva/recordset.h"
#include "frame/codes.h"
#include "sync/cls_m_syn_bills.h"
#include "sync/hook_frame.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;
using hook::Batch;

// The bill's quantities per production task, material line and item, from the lines made from a
// source (FSourceTrantype > 0); `into` is the line that names the target (an INSERT before the
// SELECT, or an INTO after it).
void AppendBillQuantities(Batch& batch, const std::string& insert_before, const std::string& into,
                          const std::string& entries, int32_t bill) {
  if (!insert_before.empty()) batch.Line(insert_before);
  batch.Line(
      "SELECT u2.FICMOInterID,u2.FPPBOMEntryID,u2.FItemID,SUM(ISNULL(u2.FQty,0)) AS FStockQty");
  if (!into.empty()) batch.Line(into);
  batch.Line("FROM " + entries + " u2")
      .Line("WHERE u2.FSourceTrantype>0 and u2.FInterID= " + SqlNumber(bill))
      .Line("GROUP BY u2.FICMOInterID,u2.FPPBOMEntryID,u2.FItemID");
}

// Books quantities table `data` on the material lines, with `sign`. Ordinary material (371) goes
// into the issued and the in-process quantity; returned material (376) is issued back, so it
// lowers the issued quantity and leaves work in process alone. The auxiliary quantities go
// through the line's unit, rounded to the material's decimals. `task_join` matches the line's
// task or list; `header_join` joins the bill's header (the update runs only while it exists).
void AppendMaterialLineUpdate(Batch& batch, const std::string& data, std::string_view sign,
                              std::string_view task_join, const std::string& header_join) {
  const std::string s(sign);
  const std::string issued =
      "(CASE WHEN u1.FMaterielType=376 THEN m2.FStockQty*cast(-1 as float) ELSE m2.FStockQty END)";
  const std::string in_process = "(CASE WHEN u1.FMaterielType=371 THEN m2.FStockQty ELSE 0 END)";
  batch.Line(" IF (select count(*) from " + data + " ) >0 ")
      .Line("UPDATE u1 SET")
      .Line("  u1.FStockQty=ISNULL(u1.FStockQty,0) " + s + " ISNULL(" + issued + ",0),")
      .Line("  u1.FAuxStockQty=ISNULL(u1.FAuxStockQty,0) " + s + " ISNULL(ROUND(CAST(" + issued +
            " AS FLOAT)/t2.FCoEfficient,t1.FQtyDecimal),0),")
      .Line("  u1.FWIPQty=ISNULL(u1.FWIPQty,0) " + s + " ISNULL(" + in_process + ",0),")
      .Line("  u1.FWIPAuxQty=ISNULL(u1.FWIPAuxQty,0) " + s + " ISNULL(ROUND(CAST(" + in_process +
            " AS FLOAT)/t2.FCoEfficient,t1.FQtyDecimal),0)")
      .Line("FROM PPBOMEntry u1 INNER JOIN " + data +
            " m2 ON u1.FItemID=m2.FItemID AND u1.FEntryID=m2.FPPBOMEntryID " +
            std::string(task_join))
      .Line("INNER JOIN t_ICItem t1 ON m2.FItemID=t1.FItemID")
      .Line("INNER JOIN t_MeasureUnit t2 ON u1.FUnitID=t2.FMeasureUnitID")
      .Line(header_join)
      .Line("   WHERE (u1.FMaterielType = 371 OR u1.FMaterielType = 376)  --普通件/返还件 ");
}

// The tasks of `data` closed or reopened by close option `close`, through table `tasks`.
void AppendClose(Batch& batch, const std::string& tasks, const std::string& data,
                 const std::string& close_sql) {
  batch.Line(" select Distinct FICMOInterID, 0 as FStatus into " + tasks + " from " + data)
      .Append(close_sql);
}

// The statement head that names the operations the bill `bill` (header table `header`) was made
// for.
std::string BackflushUpdate(int flag, const std::string& header, int32_t bill) {
  return " Update T1 Set T1.FBackFlushed=" + std::to_string(flag) + " From SHWorkBillEntry T1," +
         header + " T2 where T2.FInterID=" + SqlNumber(bill) + " And T1.FWBInterID=T2.FWBInterID ";
}

}  // namespace

bool clsMSynBills::HookMaterialIssue(const corva::DictionaryPtr& DictParams) {
  hook::HookKeys keys;
  return hook::RunHandler(
      frame_, DictParams, {.BillPosTag = true, .OperateDelete = true}, keys, [&](Call& call) {
        const std::string_view sign = hook::OperationSign(keys.OperateCode);
        const std::string header = hook::StockBillTable(keys.TranType, keys.BillPosTag);
        const std::string entries = hook::StockBillEntryTable(keys.TranType, keys.BillPosTag);
        const hook::WorkNames names = hook::ReadWorkNames(*call.Connection());
        const std::string data = "@#Data" + names.suffix;
        const std::string tasks = "#ICMO" + names.suffix;
        const std::string bill = SqlNumber(keys.InterID);
        const bool outsourced = keys.TranType == kHookTranOutsourcedIssue;

        Batch batch;
        batch.Line("Declare " + data +
                   " table (FICMOInterID int ,FPPBOMEntryID int ,FItemID int ,FStockQty "
                   "decimal(18,10))");
        AppendBillQuantities(batch, "Insert into " + data, "", entries, keys.InterID);
        // Outsourced issues name the material list in FICMOInterID, the others the task.
        AppendMaterialLineUpdate(batch, data, sign,
                                 outsourced ? " AND u1.FInterID=m2.FICMOinterID "
                                            : "AND u1.FICMOInterID=m2.FICMOinterID ",
                                 "INNER JOIN " + header + " t3 ON t3.FInterID=" + bill);
        // Issues may finish a task's material and so close it; a red issue bill gives material
        // back and never closes, nor does an outsourced issue.
        const bool red_issue = keys.TranType == kHookTranMaterialIssue &&
                               hook::LongKey(*DictParams, "Rob") == kBillRed;
        if (!outsourced && hook::ClosesTasks(names.close_option) && !red_issue) {
          AppendClose(batch, tasks, data, GetICMOCloseSql(tasks, names.close_option));
        }
        // The operation a backflush issue was made for is marked as backflushed; reversing clears
        // the mark only when no other stock bill or workshop material bill is still made for it.
        if (sign == "+") {
          batch.Line(BackflushUpdate(1, header, keys.InterID));
        } else {
          const std::string others =
              keys.BillPosTag == kBillInTablesOfItsType
                  ? "+(select count(*) from " + header + " where FWBInterID=T1.FWBInterID)"
                  : "";
          batch.Line(BackflushUpdate(0, header, keys.InterID))
              .Line("   And (select count(*) from ICStockBill where FWBInterID=T1.FWBInterID)" +
                    others + "=1")
              .Line("   And (select count(*) from ICSTJGBill where FWBInterID=T1.FWBInterID)=0 ");
        }
        if (keys.TranType == kHookTranMaterialIssue) {
          batch.Line("").Append(UpdateICMOStockFlag(data));
        }
        call.Connection()->Execute(batch.Text());

        // A reversal that is no deletion cannot break the controls: only deletions and
        // applications are checked.
        if (keys.OperateCode != kHookOperateDeleteCode || keys.OperateDelete == 1) {
          CheckStrictToPPBom(keys.TranType, keys.InterID, keys.BillPosTag, call.lang());
        }
        return true;
      });
}

bool clsMSynBills::HookSTJGBill(const corva::DictionaryPtr& DictParams) {
  hook::HookKeys keys;
  return hook::RunHandler(frame_, DictParams, {.OperateDelete = true}, keys, [&](Call& call) {
    const std::string_view sign = hook::OperationSign(keys.OperateCode);
    const hook::WorkNames names = hook::ReadWorkNames(*call.Connection());
    const std::string data = "#Data" + names.suffix;
    const std::string tasks = "#ICMO" + names.suffix;
    const std::string bill = SqlNumber(keys.InterID);

    Batch batch;
    AppendBillQuantities(batch, "", "   into " + data, "ICSTJGBillEntry", keys.InterID);
    AppendMaterialLineUpdate(batch, data, sign, "AND u1.FICMOInterID=m2.FICMOinterID ",
                             "   INNER JOIN ICSTJGBill t3 ON t3.FInterID=" + bill);
    if (hook::ClosesTasks(names.close_option)) {
      AppendClose(batch, tasks, data, GetICMOCloseSql(tasks, names.close_option));
    }
    // A deleted workshop material bill clears the backflush mark of its operation when it was
    // the only bill made for it.
    if (keys.OperateDelete == 1) {
      batch.Line(BackflushUpdate(0, "ICSTJGBill", keys.InterID))
          .Line("   And (select count(*) from ICSTJGBill where FWBInterID=T1.FWBInterID)=1")
          .Line("   And (select count(*) from ICStockBill where FWBInterID=T1.FWBInterID)=0")
          .Line(
              "   And (select count(*) from ICStockBill_24 where "
              "FWBInterID=T1.FWBInterID)=0 ");
    }
    batch.Line("").Append(UpdateICMOStockFlag(data));
    call.Connection()->Execute(batch.Text());

    if (keys.OperateCode != kHookOperateDeleteCode || keys.OperateDelete == 1) {
      CheckStrictToPPBom(keys.TranType, keys.InterID, 0, call.lang());
    }
    return true;
  });
}

}  // namespace CorvaMSHTransBills
