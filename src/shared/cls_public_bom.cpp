// clsPublic's bill-of-material query: the component lines of the BOM of a production task's
// product, or of a subcontract order line's item, each with the date on which its components must
// be sent: the working day that lies the item's fixed lead time after the order's start, never
// later than the last day of the calendar.
#include <string>

#include "corva/error.h"
#include "frame/caller_text.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/sql_text.h"
#include "shared/cls_public.h"
#include "shared/day_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::RecordsetPtr;
using corva::Variant;
using corva::frame::Call;
using corva::frame::FrameVote;

// Which order the lines are for: a production task, or one line of a subcontract order.
struct BomOrder {
  std::string inter_id;  // the caller's id text, spliced as given once it reads as an id
  int32_t entry_id = 0;  // >= 1: the subcontract order line
  bool subcontract() const { return entry_id >= 1; }
};

// The batch whose one result is the send date. Working days carry running numbers, so "lead time
// working days after the start" is the day numbered start + lead time; a number at or beyond the
// calendar's last one gives its last day.
std::string SendDateBatch(const BomOrder& order) {
  const std::string id = order.inter_id;
  const std::string head = JoinCrLf({
      "DECLARE @MaxDay datetime,@LeadTime int,@InterID int,@MaxID int,@FCalID int",
      "SELECT  @FCalID= 999",
      "SELECT @InterID=0,@LeadTime=0",
      "SELECT @MaxID=MAX(FInterID),@MaxDay=MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0",
  });
  std::string start;
  if (!order.subcontract()) {
    // A production task starts on the first working day of its workshop's calendar (the
    // factory calendar when the workshop has none) on or after its planned commit date.
    start = JoinCrLf({
        "SELECT @LeadTime=ISNULL(FFixLeadTime,0) FROM T_ICItem t INNER JOIN ICMO t1 ON "
        "t1.FItemID=t.FItemID WHERE t1.FInterID=" +
            id,
        "SELECT TOP 1 @InterID=T1.FInterID,@FCalID=T1.FCalID FROM t_MutiWorkCal T1,ICMO T2",
        "Where T1.FDay >= T2.FplanCommitDate",
        "     AND T1.FCalID=Isnull((select Isnull(FCalID,'999') from t_Department where "
        "FItemID=T2.FWorkShop),'999') ",
        "     AND T1.FInterID>0 ",
        "     AND T2.FInterID=" + id,
    });
  } else {
    // A subcontract line starts on the first factory working day on or after its fetch date.
    const std::string entry = SqlNumber(order.entry_id);
    start = JoinCrLf({
        "SELECT @LeadTime=ISNULL(FFixLeadTime,0) FROM T_ICItem t INNER JOIN ICSubContractEntry t1 "
        "ON t1.FItemID=t.FItemID WHERE t1.FInterID=" +
            id + " and  t1.FEntryID = " + entry,
        "SELECT TOP 1 @InterID=T1.FInterID,@FCalID=T1.FCalID FROM t_MutiWorkCal "
        "T1,ICSubContractEntry T2",
        "Where T1.FDay >= T2.FFetchDate",
        "     AND T1.FCalID = 999 ",
        "     AND T1.FInterID>0 ",
        "     AND T2.FInterID=" + id + " and  T2.FEntryID = " + entry,
    });
  }
  return JoinCrLf(
      {head, start,
       "SELECT CASE WHEN @InterID+@LeadTime>=@MaxID THEN @MaxDay ELSE (SELECT FDay FROM "
       "t_MutiWorkCal WHERE FCalID=@FCalID and FInterID=@InterID+@LeadTime) END"});
}

// The plan mode of a line: order-tracked (14035) only when neither the order nor the component
// plans from stock (14036).
constexpr char kLinePlanMode[] =
    "(CASE WHEN ic.FPlanMode=14036 OR t2.FPlanMode=14036 THEN 14036 ELSE 14035 END)";

// The component query. Columns: the BOM header (FInterID and FBomInterID both the BOM's id,
// FBomType, FBomNumber, FMItemID, FRoutingID, FBomSkip, use state, parent item number, name and
// model), the component line (entry, item data, unit, quantities, scrap rate, material and
// marshal types, operation, stock and place, characteristic detail, note) and the computed ones:
// change type "ALT", send date, plan mode, backflush (off for order-tracked lines), order number
// (none when planned from stock) and the quantities for the order.
std::string ComponentQuery(const BomOrder& order, const std::string& send_day,
                           const std::string& change_name, const std::string& extra_join,
                           const std::string& filter) {
  const std::string pm = kLinePlanMode;
  const std::string order_join =
      order.subcontract()
          ? " INNER JOIN ICSubContractEntry ic ON ic.FItemID = v1.FItemID and ic.FInterID=" +
                order.inter_id + " and  ic.FEntryID = " + SqlNumber(order.entry_id)
          : " INNER JOIN ICMO ic ON ic.FItemID = v1.FItemID and ic.FInterID=" + order.inter_id;
  return JoinCrLf({
      "SELECT v1.FInterID AS FInterID,v1.FBomType,v1.FInterID AS FBomInterID,"
      "v1.FBOMNumber AS FBomNumber,v1.FItemID AS FMItemID,v1.FRoutingID,v1.FBomSkip,",
      "       v1.FUseStatus,t8.FName AS FUseStatusName,v1.FQty AS FBomHeadQty,"
      "v2.FNumber AS FMItemNumber,v2.FName AS FMItemName,v2.FModel AS FMItemModel,",
      "       ICBomChild.FEntryID,ICBomChild.FItemID,t2.FNumber AS FItemNumber,"
      "t2.FName AS FItemName,t2.FModel AS FItemModel,t2.FQtyDecimal,t2.FIsKeyItem,",
      "       ICBomChild.FUnitID,t3.FNumber AS FUnitNumber,t3.FName AS FUnitName,"
      "t3.FCoefficient AS FUnitCoefficient,ICBomChild.FQty,ICBomChild.FAuxQty,ICBomChild.FScrap,",
      "       ICBomChild.FMaterielType,t4.FName AS FMaterielTypeName,ICBomChild.FMarshalType,"
      "t5.FName AS FMarshalTypeName,ICBomChild.FOperSN,ICBomChild.FOperID,t6.FName AS FOperName,",
      "       ICBomChild.FStockID,t10.FNumber AS FStockNumber,t10.FName AS FStockName,"
      "ICBomChild.FSPID,t11.FNumber AS FSPNumber,t11.FName AS FSPName,",
      "       ICBomChild.FDetailID,ICBomChild.FNote,",
      "       " + SqlNumber(kBomChangeTypeAlter) + " AS FChangeType," + SqlQuote(change_name) +
          " AS FChangeTypeName,'ALT' AS FChangeTypeNumber,",
      "       " + SqlQuote(send_day) + " AS FSendItemDate,",
      "       " + pm + " AS FPlanMode,t9.FName AS FPlanModeName,",
      "       CASE WHEN " + pm + "=14035 THEN 1059 ELSE ICBomChild.FBackFlush END AS FBackFlush,",
      "       CASE WHEN " + pm + "=14035 THEN t22.FName ELSE t7.FName END AS FBackFlushName,",
      "       CASE WHEN " + pm + "=14035 THEN t22.FNumber ELSE t7.FNumber END AS FBackFlushNumber,",
      "       CASE WHEN " + pm + "=14036 THEN '' ELSE ic.FMTONO END AS FMTONO,",
      "       ic.FAuxQty*ICBomChild.FAuxQty AS FBomInputAuxQty,ic.FAuxQty*ICBomChild.FQty AS "
      "FBomQty,"
      "ic.FAuxQty AS FQtyFromICMO",
      "  FROM ICBom v1",
      order_join,
      " INNER JOIN ICBomChild ON ICBomChild.FInterID = v1.FInterID",
      " INNER JOIN t_ICItem t2 ON t2.FItemID = ICBomChild.FItemID",
      " INNER JOIN t_ICItem v2 ON v2.FItemID = v1.FItemID",
      "  LEFT JOIN t_MeasureUnit t3 ON t3.FMeasureUnitID = ICBomChild.FUnitID",
      "  LEFT JOIN t_SubMessage t4 ON t4.FInterID = ICBomChild.FMaterielType",
      "  LEFT JOIN t_SubMessage t5 ON t5.FInterID = ICBomChild.FMarshalType",
      "  LEFT JOIN t_SubMessage t6 ON t6.FInterID = ICBomChild.FOperID",
      "  LEFT JOIN t_SubMessage t7 ON t7.FInterID = ICBomChild.FBackFlush",
      "  LEFT JOIN t_SubMessage t8 ON t8.FInterID = v1.FUseStatus",
      "  LEFT JOIN t_SubMessage t9 ON t9.FInterID = " + pm,
      " LEFT JOIN t_SubMessage t22 ON t22.FInterID=1059  ",
      "  LEFT JOIN t_Stock t10 ON t10.FItemID = ICBomChild.FStockID",
      "  LEFT JOIN t_StockPlace t11 ON t11.FSPID = ICBomChild.FSPID" + extra_join,
      // The caller's condition ("AND ...") follows as written: it is SQL by design (checked to be
      // a condition and not a statement).
      " WHERE 1=1 " + filter,
      " ORDER BY ICBomChild.FEntryID ",
  });
}

}  // namespace

RecordsetPtr clsPublic::GetBomEntry(const std::string& sDsn, const std::string& sInterID,
                                    corva::Optional<std::string> FilterEntryID,
                                    corva::Optional<corva::DictionaryPtr> dctExtraFilter) {
  const corva::DictionaryPtr& options = dctExtraFilter;
  return frame_.Query<RecordsetPtr>(
      sDsn, nullptr, {.first_vote = FrameVote::kComplete, .trap = false}, [&](Call& call) {
        // Without options the task's own lines are read; with options a missing entry id also
        // means the production task.
        int32_t source_item_char = 0;
        BomOrder order{corva::frame::CheckIdText("sInterID", sInterID), 0};
        if (options) {
          source_item_char = corva::ValueOr(options->Value("FIsSrcItemChar"), 0).AsLong();
          order.entry_id = corva::ValueOr(options->Value("FHeadOrderEntryID"), -1).AsLong();
        }

        RecordsetPtr dates = call.Connection()->Execute(SendDateBatch(order));
        const std::string send_day = DayText(dates->Fields(0));
        dates->Close();

        // Lines of items with characteristics may be narrowed by the caller's table of detail
        // lines ("DataTable"), joined by the line's characteristic detail id.
        std::string extra_join;
        if (options && source_item_char == 1) {
          const std::string table = options->Value("DataTable").ToText();
          extra_join =
              JoinCrLf({"", "   LEFT JOIN " + corva::frame::CheckTableNameText("DataTable", table) +
                                " temp ON temp.FDetailID = ICBomChild.FDetailID"});
        }
        return call.Connection()->Execute(ComponentQuery(
            order, send_day, corva::frame::LoadResMsg("修改", call.lang()), extra_join,
            corva::frame::CheckConditionText("FilterEntryID", FilterEntryID)));
      });
}

}  // namespace CorvaMSHTransBills
