// The hook handler of product receipts (2). A receipt books the received quantity on its
// production tasks and on their co-product, by-product and grade-product lines, and back on the
// operation shift bills and production task report lines it was made from; it consumes the work in
// process of the tasks' material lines; it closes tasks whose close conditions now hold; then the
// receipt must stay within the task's upper limit and be covered by the issued kits.
#include <string>

#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/profile.h"
#include "sync/cls_m_syn_bills.h"
#include "sync/hook_frame.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;
using hook::Batch;

// A site setting that reads as the number 0. A missing row (the empty text) is not 0, so a site
// that never stored "ReportInStockExceedsUpperLimit" is not held to the upper limit, as with the
// shipped default of 1.
bool SettingIsZero(const corva::Variant& value) {
  return value.IsNumeric() && value.AsDouble() == 0;
}

// A source bill's received quantity follows the receipt lines summed in the derived table `dest`
// (which `from_tail` opens); the auxiliary quantity goes through the source's unit (t1).
void AppendSourceUpdate(Batch& batch, std::string_view sign, const std::string& table,
                        const std::string& from_tail) {
  const std::string s(sign);
  batch.Line(" Update src Set src.FQtyStock = src.FQtyStock " + s + " dest.FQty")
      .Line(" ,src.FAuxQtyStock = (src.FQtyStock " + s +
            " dest.FQty)/CAST(t1.FCoefficient as float)")
      .Line("     From " + table + " src" + from_tail);
}

// The lines of receipt `bill` (table `entries`) made directly from source type `source`, summed
// per source line and item, booked on the source rows of `table` matched by `on`.
void AppendDirectSources(Batch& batch, std::string_view sign, const std::string& entries,
                         const std::string& bill, int32_t source, const std::string& table,
                         const std::string& on) {
  const std::string type = SqlNumber(source);
  batch.Line(" IF (select count(*) from " + entries + " where FInterID=" + bill +
             " and FSourceTrantype=" + type + ")>0 ");
  AppendSourceUpdate(batch, sign, table, " INNER JOIN ");
  batch
      .Line(
          "     (Select u1.FSourceInterID,u1.FSourceEntryID,u1.FItemID,SUM(u1.FQty) as FQty "
          "From " +
          entries + " u1 Where u1.FSourceTrantype=" + type + " And u1.FInterID=" + bill +
          " GROUP BY u1.FSourceInterID,u1.FSourceEntryID,u1.FItemID) dest")
      .Line("     ON " + on)
      .Line("     INNER JOIN t_MeasureUnit t1 ON src.FUnitID=t1.FItemID");
}

}  // namespace

std::string clsMSynBills::GetSourceStockSql(const corva::DictionaryPtr& DictParams,
                                            std::string_view sign) {
  const int32_t tran_type = hook::LongKey(*DictParams, "TranType");
  const int32_t bill_pos_tag = hook::LongKey(*DictParams, "BillPosTag");
  const std::string bill = SqlNumber(hook::LongKey(*DictParams, "InterID"));
  const std::string header = hook::StockBillTable(tran_type, bill_pos_tag);
  const std::string entries = hook::StockBillEntryTable(tran_type, bill_pos_tag);
  const std::string shift = SqlNumber(kBillTypeOperShift);
  const std::string report = SqlNumber(kBillTypeICMORpt);

  Batch batch;
  // The receipt's blue/red mark and the source type of (one of) its lines.
  batch.Line(" Declare @FSourceTrantype as int ")
      .Line(" Declare @FROB as int ")
      .Line("select @FROB=u1.FROB,@FSourceTrantype=t1.FSourceTrantype from " + entries +
            " t1 join " + header + " u1 on t1.finterid=u1.finterid where t1.finterid=" + bill);
  // A blue receipt, or a red one made directly from a shift bill or task report, books its own
  // lines on their sources.
  batch.Line(" if @FROB=1 or (@FROB=-1 And @FSourceTrantype in (551,581))").Line(" Begin ");
  AppendDirectSources(batch, sign, entries, bill, kBillTypeOperShift, "ICOperShift",
                      "dest.FSourceInterID = src.FInterID AND dest.FItemID = src.FItemID");
  AppendDirectSources(batch, sign, entries, bill, kBillTypeICMORpt, "ICMORptEntry",
                      "dest.FSourceInterID = src.FInterID AND dest.FItemID = src.FItemID AND "
                      "dest.FSourceEntryID=src.FEntryID");
  batch.Line(" END");
  // A red receipt made from a blue receipt: its quantities reach the blue lines' own sources
  // through the blue lines (which live in ICStockBillEntry).
  batch.Line(" ELSE").Line(" Begin");
  batch.Line(" IF (Select Count(*) From ICStockBillEntry m1 inner join " + entries +
             " t1 on m1.finterid=t1.fsourceinterid Where m1.FSourceTrantype =" + shift +
             " And t1.FInterID=" + bill + ")>0 ");
  AppendSourceUpdate(batch, sign, "ICOperShift", " --INNER JOIN ");
  batch.Line("      --icstockbillentry m1 on m1.fsourceinterid=src.FInterID ")
      .Line("      INNER JOIN")
      .Line(
          "     (Select m1.FSourceInterID,Dests.FItemID,SUM(Dests.FQty) as FQty From "
          "icstockbillentry m1 Inner join      (Select u1.FSourceInterID as "
          "FSourceInterID,u1.FSourceEntryID,u1.FItemID,SUM(u1.FQty) as FQty")
      .Line("     From  " + entries +
            " u1 inner join icstockbillentry t1  on "
            "t1.finterid=u1.fsourceinterid ")
      .Line("     Where t1.FSourceTrantype=" + shift + " And  u1.FInterID=" + bill)
      .Line("     GROUP BY u1.FSourceInterID,u1.FSourceEntryID,u1.FItemID) dests ")
      .Line(
          "     ON dests.FSourceInterID = m1.Finterid and dests.FSourceEntryID=m1.FEntryID "
          "Group By m1.FSourceInterID,dests.FItemID) dest")
      .Line("     ON dest.FItemID = src.FItemID AND dest.fsourceinterid=src.FInterID ")
      .Line("     INNER JOIN t_MeasureUnit t1 ON src.FUnitID=t1.FItemID");
  batch.Line(" IF (Select Count(*) From ICStockBillEntry m1 inner join " + entries +
             " t1 on m1.finterid=t1.fsourceinterid Where m1.FSourceTrantype =" + report +
             " And t1.FInterID=" + bill + ")>0 ");
  AppendSourceUpdate(batch, sign, "ICMORptEntry", " --INNER JOIN ");
  batch
      .Line(
          "      --icstockbillentry m1 on m1.fsourceinterid=src.FInterID and "
          "m1.FSourceEntryID=src.FEntryID ")
      .Line("      INNER JOIN")
      .Line(
          "     (Select m1.FSourceInterID,m1.FSourceEntryID,Dests.FItemID,SUM(Dests.FQty) as "
          "FQty From icstockbillentry m1 Inner join      (Select u1.FSourceInterID as "
          "FSourceInterID,u1.FSourceEntryID,u1.FItemID,SUM(u1.FQty) as FQty")
      .Line("     From  " + entries +
            " u1 inner join icstockbillentry t1  on "
            "t1.finterid=u1.fsourceinterid ")
      .Line("     Where t1.FSourceTrantype=" + report + " And  u1.FInterID=" + bill)
      .Line("     GROUP BY u1.FSourceInterID,u1.FSourceEntryID,u1.FItemID) dests ")
      .Line(
          "     ON dests.FSourceInterID = m1.Finterid and dests.FSourceEntryID=m1.FEntryID "
          "Group By m1.FSourceInterID,m1.FSourceEntryID,dests.FItemID) dest")
      .Line(
          "     ON dest.FItemID = src.FItemID AND dest.fsourceinterid=src.FInterID and "
          "dest.FSourceEntryID=src.FEntryID ")
      .Line("     INNER JOIN t_MeasureUnit t1 ON src.FUnitID=t1.FItemID");
  batch.Line(" END ");
  return batch.Text();
}

namespace {

// Work in process consumed by the received quantities of table `data` (column `quantity`, per
// task), with sign `w` (the opposite of the receipt's). Proportional consumption takes each line's
// required quantity in the ratio of the receipt to the task's quantity; consumption by standard
// usage takes the usage per unit of product times the received quantity in the task's unit.
void AppendWorkInProcess(Batch& batch, const std::string& w, const std::string& data,
                         const std::string& quantity, bool by_standard_usage) {
  const std::string m2 = "m2." + quantity;
  std::string in_process, in_process_aux;
  if (by_standard_usage) {
    const std::string per_unit = "/(CASE WHEN t10.FCoefficient=0 THEN 1 ELSE t10.FCoefficient END)";
    in_process = "ISNULL(ROUND(" + m2 + "*u1.FQtyScrap" + per_unit + ",t1.FQtyDecimal),0)";
    in_process_aux = "ISNULL(ROUND(" + m2 + "*u1.FAuxQtyScrap" + per_unit + ",t1.FQtyDecimal),0)";
  } else {
    in_process_aux =
        "ISNULL(ROUND((CAST(" + m2 + " AS FLOAT)/v1.Fqty)*u1.FAuxQtyMust,t1.FQtyDecimal),0)";
    in_process = in_process_aux + "*t.FCoefficient";
  }
  batch.Line("UPDATE u1 SET")
      .Line("  u1.FWIPQty=u1.FWIPQty " + w + " " + in_process + ",")
      .Line("  u1.FWIPAuxQty=u1.FWIPAuxQty " + w + " " + in_process_aux)
      .Line("FROM PPBOMENTRY u1 INNER JOIN " + data + " m2 ON u1.FICMOInterID=m2.FICMOInterID")
      .Line("INNER JOIN t_measureunit t ON u1.FUnitID=t.FMeasureUnitID")
      .Line("INNER JOIN ICMO v1 ON u1.FICMOInterID=v1.FInterID");
  if (by_standard_usage) batch.Line("INNER JOIN t_MeasureUnit t10 ON v1.FUnitID=t10.FItemID");
  batch.Line("INNER JOIN t_ICItem t1 ON u1.FItemID=t1.FItemID")
      .Line("WHERE u1.FMaterielType NOT IN (374,372,373,376) AND u1.FQtyMust>0");
}

}  // namespace

bool clsMSynBills::HookProductInStock(const corva::DictionaryPtr& DictParams) {
  hook::HookKeys keys;
  return hook::RunHandler(frame_, DictParams, {.BillPosTag = true}, keys, [&](Call& call) {
    const std::string s(hook::OperationSign(keys.OperateCode));
    const std::string w(hook::OppositeSign(keys.OperateCode));
    const std::string entries = hook::StockBillEntryTable(keys.TranType, keys.BillPosTag);
    const hook::WorkNames names = hook::ReadWorkNames(*call.Connection());
    const std::string data = "@#Data" + names.suffix;
    const std::string products = "@#ICSTOCK" + names.suffix;
    const std::string grades = "#Grad" + names.suffix;
    const std::string tasks = "@#ICMO" + names.suffix;
    const std::string bill = SqlNumber(keys.InterID);

    Batch batch;
    batch.Line("   Declare @WIPDeductMode as Decimal(28,10) --在制品扣减方式")
        .Line("   Declare @bWriteMethod as Int --是否按标准数量")
        .Line("   Declare @dRate as Decimal(28,10) --换算率")
        .Line("   Declare @FWIPQty as Decimal(28,10) --在制品数量")
        .Line("   Declare @FICMOInterID as int ");
    // The product lines (no material line) made from a source, per task.
    batch.Line("Declare " + data + " table(FICMOinteriD int ,FStockQty Decimal(28,10))")
        .Line("Insert into " + data)
        .Line("   SELECT FICMOinteriD,SUM(ISNULL(u2.FQty,0)) as FStockQty   FROM " + entries +
              " u2 ")
        .Line("   WHERE u2.FPPBOMEntryID=0 and u2.FSourceTrantype>0 and  u2.FInterID= " + bill)
        .Line("   Group by FICMOInterID ");
    batch.Append(GetSourceStockSql(DictParams, s));
    // The tasks' received quantity, in the base unit and through the task's unit.
    batch.Line(" IF (select count(*) from " + data + " ) >0  ")
        .Line("UPDATE u1 SET u1.FStockQty=ISNULL(u1.FStockQty,0) " + s +
              " m2.FStockQty,u1.FAuxStockQty=ISNULL(u1.FAuxStockQty,0) " + s +
              " m2.FStockQty/cast(t2.FCoEfficient as float)")
        .Line("FROM ICMO u1 INNER JOIN " + data + "  m2 on u1.FInterID=m2.FICMOInterID ")
        .Line("   INNER JOIN t_MeasureUnit t2 ON u1.FUnitID=t2.FMeasureUnitID ");
    // Co-products, by-products and grade products received on their material lines.
    batch
        .Line("Declare " + products +
              " table (FICMOInterID int ,FPPBOMEntryID int ,FItemID int ,FStockQty "
              "decimal(28,10))")
        .Line("Insert into " + products)
        .Line(
            "SELECT u2.FICMOInterID,u2.FPPBOMEntryID,u2.FItemID,SUM(ISNULL(u2.FQty,0)) AS "
            "FStockQty")
        .Line("FROM " + entries + " u2")
        .Line("WHERE u2.FSourceTrantype>0 and u2.FPPBOMEntryID>0 and  u2.FInterID= " + bill)
        .Line("GROUP BY u2.FICMOInterID,u2.FPPBOMEntryID,u2.FItemID")
        .Line(" IF (select count(*) from " + products + " ) >0 ")
        .Line("UPDATE u1 SET")
        .Line("  u1.FStockQty=ISNULL(u1.FStockQty,0) " + s + " ISNULL(m2.FStockQty,0),")
        .Line("  u1.FAuxStockQty=ISNULL(u1.FAuxStockQty,0) " + s +
              " ISNULL(ROUND(CAST(m2.FStockQty AS FLOAT)/t2.FCoEfficient,t1.FQtyDecimal),0)")
        .Line("FROM PPBOMEntry u1 INNER JOIN " + products +
              " m2 ON u1.FItemID=m2.FItemID AND u1.FEntryID=m2.FPPBOMEntryID AND "
              "u1.FICMOInterID=m2.FICMOinterID ")
        .Line("INNER JOIN t_ICItem t1 ON m2.FItemID=t1.FItemID")
        .Line("INNER JOIN t_MeasureUnit t2 ON u1.FUnitID=t2.FMeasureUnitID")
        .Line("   WHERE u1.FMaterielType IN (372,373,374)  --联副产品等级品件 ");
    // Work in process, where the site consumes it at receipt (WIPDeductMode 0): by the products
    // received and by the grade products received (whatever their source).
    batch
        .Line(
            " select @WIPDeductMode=isnull(FValue,'0') from t_systemprofile where "
            "fcategory='SH' and FKey='WIPDeductMode' ")
        .Line(" if @WIPDeductMode=0 or " + SqlNumber(keys.TranType) + "=5 ")
        .Line(" Begin ")
        .Line("SELECT u2.FICMOInterID,isnull(SUM(ISNULL(u2.FQty,0)),0) as FGradQty INTO " + grades)
        .Line("FROM " + entries +
              " u2 INNER JOIN ppbomentry t2 ON u2.FICMOInterID=t2.FICMOInterID AND "
              "u2.FItemID=t2.FItemID AND u2.FPPBOMEntryID=t2.FEntryID")
        .Line("WHERE t2.FMaterielType=374 and  u2.FInterID= " + bill)
        .Line("GROUP BY u2.FICMOInterID")
        .Line(
            " SELECT @bWriteMethod=ISNULL(FVALUE,0) FROM t_SystemProfile WHERE "
            "FCategory='SH' AND FKEY='BACKFLUSH_STANDARD'  ")
        .Line(" IF @bWriteMethod=0 ")
        .Line(" Begin ");
    AppendWorkInProcess(batch, w, data, "FStockQty", false);
    AppendWorkInProcess(batch, w, grades, "FGradQty", false);
    batch.Line(" End ").Line(" Else ").Line(" Begin ");
    AppendWorkInProcess(batch, w, data, "FStockQty", true);
    AppendWorkInProcess(batch, w, grades, "FGradQty", true);
    batch.Line(" End ").Line(" End ");
    if (hook::ClosesTasks(names.close_option)) {
      batch.Line("Declare " + tasks + " table (FICMOInterID int ,FStatus int)")
          .Line("Insert into " + tasks)
          .Line(" select Distinct FICMOInterID, 0 as FStatus ")
          .Line(" from " + data)
          .Append(GetICMOCloseSql(tasks, names.close_option));
    }
    call.Connection()->Execute(batch.Text());

    // The upper receipt limit, where the site holds receipts to it.
    if (SettingIsZero(corva::frame::GetSystemProfile(call.DataSource(),
                                                     "ReportInStockExceedsUpperLimit", "SH"))) {
      corva::RecordsetPtr above = call.Connection()->Execute(JoinCrLf({
          "select count(*)  ",
          "   FROM ICMO u1 INNER JOIN " + entries + "  m2 on u1.FInterID=m2.FICMOInterID ",
          "   where u1.FAuxStockQty > u1.FAuxInHighLimitQty and  m2.FInterID= " + bill,
      }));
      if (above->Fields(0).AsLong() > 0) {
        hook::WriteFailureKeys(
            *DictParams, kHookReceiptAboveUpperLimit, kHookTranProductReceipt,
            corva::frame::LoadResMsg("入库数量不允许超过完工入库上限!", call.lang()));
        return false;
      }
    }
    return CheckSuitControl(DictParams);
  });
}

}  // namespace CorvaMSHTransBills
