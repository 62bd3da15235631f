// The hook handlers of item scrap bills (55) and transfers (41). A scrap bill changes no issued
// quantity here (its own rules keep the scrapped quantities); the hook refreshes the issue status
// and the automatic close of its tasks. A transfer of issued material keeps the material lines'
// transfer quantity in step.
#include <string>

#include "frame/codes.h"
#include "sync/cls_m_syn_bills.h"
#include "sync/hook_frame.h"

namespace CorvaMSHTransBills {

using corva::frame::Call;
using hook::Batch;

bool clsMSynBills::HookItemScrap(const corva::DictionaryPtr& DictParams) {
  hook::HookKeys keys;
  return hook::RunHandler(frame_, DictParams, {}, keys, [&](Call& call) {
    // The close option comes with the call ("Profile"): the scrap bill's rules read it already.
    const int32_t close_option = hook::LongKey(*DictParams, "Profile");
    const std::string bill = SqlNumber(keys.InterID);
    Batch batch;
    batch.Line("create table #tmpicmo (FICMOInterID int)")
        .Line(
            "insert into #tmpicmo (FICMOInterID) select Distinct FICMOInterID from "
            "ICItemScrapEntry where FInterID=" +
            bill)
        .Line("")
        .Append(UpdateICMOStockFlag("#tmpicmo"))
        .Line("drop table #tmpicmo");
    // Without a close condition nothing is run: scrapping changes no issued quantity, so the
    // issue status could not change either (the statements above are composed all the same).
    if (!hook::ClosesTasks(close_option)) return true;
    batch
        .Line(
            " select Distinct FICMOInterID, 0 as FStatus into #ICMOFromITemScrap from "
            "ICItemScrapEntry where FInterID=" +
            bill)
        .Append(GetICMOCloseSql("#ICMOFromITemScrap", close_option));
    call.Connection()->Execute(batch.Text());
    return true;
  });
}

bool clsMSynBills::HookTransLateQty(const corva::DictionaryPtr& DictParams) {
  hook::HookKeys keys;
  return hook::RunHandler(frame_, DictParams, {.BillPosTag = true}, keys, [&](Call& call) {
    const std::string s(hook::OperationSign(keys.OperateCode));
    const std::string back(hook::OppositeSign(keys.OperateCode));
    const std::string entries = hook::StockBillEntryTable(keys.TranType, keys.BillPosTag);
    const std::string data = "#Data" + hook::NewWorkSuffix(*call.Connection());
    // A transfer out of the stock and place a material line issues from brings material back to
    // the line's own store and lowers its transferred quantity; any other transfer of the line's
    // material (made from the production task, 85, or its 1007105 source) raises it.
    const std::string own_store = "u1.FStockID = m2.FSCStockID AND u1.FSPID = m2.FSCSPID";
    const std::string aux =
        "ISNULL(ROUND(CAST(m2.FStockQty AS FLOAT)/t2.FCoEfficient,t1.FQtyDecimal),0)";
    Batch batch;
    batch
        .Line(
            "SELECT u2.FSourceinterid,u2.FPPBomEntryID,u2.FOrderEntryID,u2.FItemID,u2.FSCStockID,"
            "u2.FSCSPID,SUM(ISNULL(u2.FQty,0)) AS FStockQty")
        .Line("     into " + data + " FROM " + entries + " u2     ")
        .Line("WHERE (u2.FSourceTrantype=85 or u2.FSourceTrantype=1007105) and u2.FInterID= " +
              SqlNumber(keys.InterID))
        .Line(
            "GROUP BY u2.FSourceinterid,u2.FPPBomEntryID,u2.FOrderEntryID,u2.FItemID,"
            "u2.FSCStockID,u2.FSCSPID")
        .Line(" IF (select count(*) from " + data + " ) >0 ")
        .Line("UPDATE u1 SET")
        .Line("  u1.FTransLateQty=(CASE WHEN " + own_store + " THEN ISNULL(u1.FTransLateQty,0) " +
              back + " ISNULL(m2.FStockQty,0) ELSE ISNULL(u1.FTransLateQty,0) " + s +
              " ISNULL(m2.FStockQty,0) END),")
        .Line("  u1.FTransLateAuxQty=(CASE WHEN " + own_store +
              " THEN ISNULL(u1.FTransLateAuxQty,0) " + back + " " + aux +
              " ELSE ISNULL(u1.FTransLateAuxQty,0) " + s + " " + aux + " END)")
        .Line("FROM PPBOMEntry u1 INNER JOIN " + data +
              " m2 ON u1.FItemID=m2.FItemID AND u1.FEntryID=m2.FPPBomEntryID AND "
              "u1.FOrderEntryID=m2.FOrderEntryID AND u1.FICMOInterID=m2.FSourceinterid ")
        .Line("INNER JOIN t_ICItem t1 ON m2.FItemID=t1.FItemID")
        .Line("INNER JOIN t_MeasureUnit t2 ON u1.FUnitID=t2.FMeasureUnitID")
        .Line("   WHERE u1.FMaterielType = 371");
    call.Connection()->Execute(batch.Text());
    return true;
  });
}

}  // namespace CorvaMSHTransBills
