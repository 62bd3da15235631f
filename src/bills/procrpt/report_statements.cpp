// The statement texts of the operation report's save, check and delete. They are kept as the
// database receives them (other tools compare the text), one fragment per line; the numbers a
// statement needs are spliced in through SqlNumber.
#include "bills/procrpt/report_statements.h"

#include "bills/task_totals.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills::procrpt {
namespace {

// The sums every re-total of a dispatch entry or an operation takes from the report lines t1.
const std::string kReportLineSums[] = {
    " ," + std::string(kReportedFinishedSum) + " as FAuxQtyFinish," +
        std::string(kReportedPassedSum) + " as FAuxQtyPass," + std::string(kReportedForItemSum) +
        " as FAuxQtyForItem",
    " ," + std::string(kReportedScrappedSum) + " as FAuxQtyScrap," +
        std::string(kReportedReworkSum) + " as FAuxReprocessedQty",
};

// Passed, scrapped and reworked quantities of target s1 follow the sums of t2 only when the report
// counts directly (quality mode 352); otherwise quality management decides them.
constexpr std::string_view kQualityDecidedColumns[] = {
    " ,s1.FAuxQtyPass=(case when @FQualityChkID=352 then t2.FAuxQtyPass else s1.FAuxQtyPass end)",
    " ,s1.FAuxQtyForItem=(case when @FQualityChkID=352 then t2.FAuxQtyForItem else "
    "s1.FAuxQtyForItem end)",
    " ,s1.FAuxQtyScrap=(case when @FQualityChkID=352 then t2.FAuxQtyScrap else s1.FAuxQtyScrap "
    "end)",
    " ,s1.FAuxReprocessedQty=(case when @FQualityChkID=352 then t2.FAuxReprocessedQty else "
    "s1.FAuxReprocessedQty end)",
};

// A dispatch entry and an operation with nothing reported: no work dates, every quantity and time
// 0.
constexpr std::string_view kZeroTaskDispEntry =
    " Update ictaskdispbillentry set FWorkStartDate=null,FWorkEndDate=null,FAuxQtyFinish=0,"
    "FAuxQtyPass=0,FAuxQtyForItem=0,FAuxQtyScrap=0,FTimeHrWork=0,FTimeEngPrepare=0,"
    "FTimeEngWork=0,FAuxReprocessedQty=0 where FTaskDispInterID=@FTaskDispID";
constexpr std::string_view kZeroOperation =
    " Update ShworkBillEntry set FStartWorkDate=null,FEndWorkDate=null,FAuxQtyFinish=0,"
    "FAuxQtyPass=0,FAuxQtyForItem=0,FAuxQtyScrap=0,FfinishTime=0,FReadyTime=0,FFixTime=0,"
    "FAuxReprocessedQty=0 where FWBInterID=@FWBinterID";

std::string Join(std::initializer_list<std::string_view> head,
                 const std::string_view (&middle)[4]) {
  std::string text = Lines(head);
  for (std::string_view line : middle) {
    text.append(line);
    text.append(kCrLf);
  }
  return text;
}

// The material lines of the task consumed at operation @FWBInterID lose work in process by
// quantity `x` (an expression): in proportion to what each line requires for the task's quantity
// (BACKFLUSH_STANDARD '0'), or by the line's standard usage per unit. `x_join` joins what `x`
// reads ("" when it is a number). `symbol` 1 consumes, -1 gives back.
std::string WipBlock(const std::string& x, std::string_view x_join, std::string_view symbol) {
  std::string text = Lines({
      " Declare @WIPDeductMode varchar(10)",
      " Declare @BACKFLUSH_STANDARD varchar(10)",
      " Declare @FSymbol int",
      " select @WIPDeductMode=isnull(FValue,'0') from t_systemprofile where fcategory='SH' and "
      "FKey='WIPDeductMode'",
      " if @WIPDeductMode='1'",
      " begin",
      " select @BACKFLUSH_STANDARD=isnull(FValue,'0') from t_systemprofile where fcategory='SH' "
      "and FKey='BACKFLUSH_STANDARD'",
      " set @FSymbol=" + std::string(symbol),
      " if @BACKFLUSH_STANDARD='0'",
      " Update u1 set u1.FWIPQty=isnull(FWIPQty,0)-@FSymbol*" +
          WipShareProportional(x, kWipTaskUnitCoefficient, "FQtyMust"),
      " ,u1.FWIPAuxQty=isnull(FWIPAuxQty,0)-@FSymbol*" +
          WipShareProportional(x, kWipTaskUnitCoefficient, "FAuxQtyMust"),
      " from PPBOMENTRY u1 join ICMO v1 on u1.FICMOInterID=v1.FInterID",
      " join t_MeasureUnit t10 on v1.FUnitID=t10.FMeasureUnitID",
      " join SHWorkBillEntry m1 on " + std::string(kWipLineAtOperation),
      " join t_ICItem t1 on u1.FItemID=t1.FItemID",
  });
  if (!x_join.empty()) text += Lines({x_join});
  text += Lines({
      " where u1.FICMOInterID=@FICMOinterID and " + std::string(kWipLinesConsumed) +
          " and m1.FWBInterID=@FWBInterID",
      " else",
      " Update u1 set u1.FWIPQty=isnull(FWIPQty,0)-@FSymbol*" + WipShareStandard(x, "FQtyScrap"),
      " ,u1.FWIPAuxQty=isnull(FWIPAuxQty,0)-@FSymbol*" + WipShareStandard(x, "FAuxQtyScrap"),
      " from PPBOMENTRY u1 join ICMO v1 on u1.FICMOInterID=v1.FInterID",
      " join SHWorkBillEntry m1 on " + std::string(kWipLineAtOperation),
      " join t_ICItem t1 on u1.FItemID=t1.FItemID",
  });
  if (!x_join.empty()) text += Lines({x_join});
  text += Lines({
      " where u1.FICMOInterID=@FICMOinterID and " + std::string(kWipLinesConsumed) +
          " and m1.FWBInterID=@FWBInterID",
      " end",
  });
  return text;
}

}  // namespace

std::string Lines(std::initializer_list<std::string_view> fragments) {
  std::string text;
  for (std::string_view fragment : fragments) {
    text.append(fragment);
    text.append(kCrLf);
  }
  return text;
}

std::string GetRptVarsSql(int32_t report, int32_t entry, bool by_entry) {
  std::string text = Lines({
      " Declare @FWBinterID int",
      " Declare @FInterID int",
      " Declare @FTaskDispID int",
      " Declare @FICMOinterID int",
      " Declare @FQualityChkID int",
      " Declare @FEntryID int",
      " Declare @FCount int",
      " Declare @FOperMoveNo varchar(255)",
  });
  if (!by_entry) {
    return text + Lines({
                      " select @FInterID=t1.FInterID,@FEntryID=t2.FEntryID,@FTaskDispID=t1."
                      "FTaskDispBillID , @FWBinterid=t1.FWBinterID , ",
                      " @FICMOinterid =t1.FICMOInterID,@FQualityChkID=t1.FQualityChkID ,"
                      "@FOperMoveNo=t1.FOperMoveNo ",
                      " from  SHProcRptMain t1 join SHWorkBillEntry t2 on "
                      "t1.FWBinterID=t2.FWBinterID ",
                      " where t1.Finterid=" + SqlNumber(report),
                  });
  }
  // A flow-card report line carries its own task and quality mode.
  return text +
         Lines({
             " select @FInterID=t1.FInterID,@FEntryID=t2.FEntryID, ",
             " @FICMOinterid =t2.FICMOInterID,@FQualityChkID=t2.FQualityChkID ,"
             "@FOperMoveNo=t1.FOperMoveNo ",
             " from  SHProcRptMain t1 join SHProcRpt t2 on t1.FInterID=t2.FInterID",
             " where t1.Finterid=" + SqlNumber(report) + " AND t2.FEntryID=" + SqlNumber(entry),
         });
}

std::string GetTaskDispTotalsSql(bool exclude) {
  std::string text =
      Join({" Update s1 set s1.FWorkStartDate=t2.FWorkStartDate,s1.FWorkEndDate=t2.FWorkEndDate,"
            "s1.FAuxQtyFinish=t2.FAuxQtyFinish"},
           kQualityDecidedColumns);
  text += Lines({
      " ,s1.FTimeHrWork=t2.FTimeHrWork,s1.FTimeEngPrepare=t2.FTimeEngPrepare,"
      "s1.FTimeEngWork=t2.FTimeEngWork",
      " from ictaskdispbillentry s1 join ",
      " (select s2.FTaskDispBillID,isnull(min(t1.FStartWorkDate),getdate()) as "
      "FWorkStartDate,isnull(max(t1.FEndWorkDate),getdate()) as FWorkEndDate",
      kReportLineSums[0],
      kReportLineSums[1],
      " ,isnull(sum(t1.FfinishTime),0) as FTimeHrWork,isnull(sum(t1.FReadyTime),0) as "
      "FTimeEngPrepare,isnull(sum(t1.FFixTime),0) as FTimeEngWork",
      " from shprocrpt t1 join shprocrptMain s2 on t1.FInterID=s2.FInterID ",
      " where s2.FTaskDispBillID=@FTaskDispID and " + std::string(kEntryReportsCounted) + " " +
          (exclude ? " and s2.Finterid<> @FInterID" : ""),
      " group by s2.FTaskDispBIllID) t2 on s1.FTaskDispInterID=t2.FTaskDispBillID",
      // An entry that has not finished what it dispatched is back at work.
      "  Update ICTaskDispBillEntry set FStatus =(case When FAuxQtyFinish-FAuxQtyPlan<0 then 1 "
      "else FStatus end) ",
      "  where FTaskDispInteriD=@FTaskDispID  ",
  });
  return text;
}

std::string GetWorkBillTotalsSql(bool exclude) {
  // The operation counts the report lines by their own status, the dispatch entry by the header's.
  std::string text =
      Join({" Update s1 set s1.FStartWorkDate=t2.FStartWorkDate,s1.FEndWorkDate=t2.FEndWorkDate,"
            "s1.FAuxQtyFinish=t2.FAuxQtyFinish"},
           kQualityDecidedColumns);
  text += Lines({
      " ,s1.FfinishTime=t2.FfinishTime,s1.FReadyTime=t2.FReadyTime,s1.FFixTime=t2.FFixTime",
      " from SHWorkBillEntry s1 join ",
      " (select s2.FWBInterID,isnull(min(t1.FStartWorkDate),getdate()) as "
      "FStartWorkDate,isnull(max(t1.FEndWorkDate),getdate()) as FEndWorkDate",
      kReportLineSums[0],
      kReportLineSums[1],
      " ,isnull(sum(t1.FfinishTime),0) as FfinishTime,isnull(sum(t1.FReadyTime),0) as "
      "FReadyTime,isnull(sum(t1.FFixTime),0) as FFixTime",
      " from SHProcRpt t1 join SHProcRptMain s2 on t1.FInterID=s2.FInterID ",
      " where s2.FWBInterID=@FWBinterID  and " + std::string(kOperationLinesCounted) + " " +
          (exclude ? "and s2.Finterid<> @FInterID" : ""),
      " group by s2.FWBInterID) t2 on s1.FWBInterID=t2.FWBInterID",
  });
  return text;
}

std::string GetICMOTotalsSql() {
  // Only row 1 of an ordinary work bill carries its finished quantity to the task: a rework bill
  // works again on what was already finished. Times kept in minutes (11081) count as hours.
  return Lines({
      " Begin ",
      " Update t1 set t1.FAuxQtyFinish=(case when @FEntryID=1 and " +
          std::string(kOrdinaryWorkBill) + " then t3.FAuxQtyFinish else t1.FAuxQtyFinish end)",
      " from ICMO t1 join SHWorkBill t2",
      " on t1.Finterid=t2.FICMOInterid join SHWorkBillEntry t3 on t2.Finterid=t3.FinterID ",
      " where  t3.FWBInterID=@FWBInterID",
      " Update t1 set t1.FStartDate=t2.FStartDate,t1.FFinishDate=t2.FFinishDate,"
      "t1.FfinishTime=t2.FfinishTime,t1.FReadyTime=t2.FReadyTime,t1.FFixTime=t2.FFixTime",
      " from ICMO t1 join ",
      " (select s2.FICMOinterID,isnull(min(t3.FStartWorkDate),getdate()) as "
      "FStartDate,isnull(max(t3.FEndWorkDate),getdate()) as FFinishDate",
      " ,isnull(sum(case when t3.FTimeUnit=11081 then t3.FfinishTime/60 else t3.FfinishTime "
      "end),0) as FfinishTime",
      " ,isnull(sum(case when t3.FTimeUnit=11081 then t3.FReadyTime/60 else t3.FReadyTime "
      "end),0) as FReadyTime",
      " ,isnull(sum(case when t3.FTimeUnit=11081 then t3.FFixTime/60 else t3.FFixTime end),0) "
      "as FFixTime",
      " from SHWorkBillEntry t3 join SHWorkBill s2 on t3.FInterID=s2.FInterID ",
      " where  s2.FICMOinterID=@FICMOInterID  ",
      " group by s2.FICMOinterID) t2 on t1.FInterID=t2.FICMOinterID",
      " End ",
  });
}

std::string WipShareProportional(std::string_view x, std::string_view coefficient,
                                 std::string_view column) {
  return "ISNULL(ROUND((" + std::string(x) + "*" + std::string(coefficient) +
         "/cast(v1.Fqty as float))*cast(u1." + std::string(column) +
         " as float),t1.FQtyDecimal),0)";
}

std::string WipShareStandard(std::string_view x, std::string_view column) {
  return "ISNULL(ROUND(" + std::string(x) + "*cast(u1." + std::string(column) +
         " as float),t1.FQtyDecimal),0)";
}

std::string GetWIPDeductSql() {
  return WipBlock("u2.FAuxQtyFinish",
                  " JOIN (select FInterID,isnull(sum(Isnull(FAuxQtyFinish,0)),0) as FAuxQtyFinish "
                  "from SHProcRpt where FInterID=@FInterID group by FInterID) u2 on "
                  "u2.FInterID=@FInterID",
                  "1");
}

std::string GetWIPDeductQtySql(double quantity, bool reverse) {
  return WipBlock(SqlNumber(quantity), "", reverse ? "-1" : "1");
}

std::string GetMoveNoSql(int32_t mode) {
  const std::string head = Lines({"--更新流转号中间表SHMoveNoManage"});
  if (mode == 0) {
    return head +
           Lines({
               " Delete From SHMoveNoManage Where FTransType = 582 and FWBInterID = @FWBinterID "
               "and FOperMoveNo = ''+@FOperMoveNo+'' ",
               " Insert into "
               "SHMoveNoManage(FOperMoveNo,FWBInterID,FICMOInterID,FTransType,FStatus,FQty) ",
               " select u.FOperMoveNo,u.FWBInterID,u.FICMOInterID,582,1," +
                   std::string(kReportLedgerSum) + " ",
               " " + std::string(kReportLedgerFrom) + " ",
               " Where " + std::string(kReportLedgerCounted) +
                   " and u.FWBInterID = @FWBInterID and FOperMoveNo = "
                   "''+@FOperMoveNo+'' and FOperMoveNo<> '' ",
               " Group By u.FICMOInterID,u.FWBInterID,u.FOperMOveNo ",
           });
  }
  if (mode == 1) {
    return head + Lines({
                      " Declare @FSumQty Decimal(28,10) ",
                      " select @FSumQty=isnull(sum(FAuxQtyPass),0) from SHProcRpt where "
                      "FInterID=@FInterID",
                      " Update u set u.FQty = u.FQty - @FSumQty  from SHMoveNoManage u where "
                      "u.FTransType = 582 and u.FWBInterID = @FWBInterID and u.FOperMoveNo = "
                      "''+@FOperMoveNo+'' ",
                      " Delete From SHMoveNoManage Where FQty=0 and FTransType = 582 and "
                      "FWBInterID = @FWBinterID and FOperMoveNo = ''+@FOperMoveNo+'' ",
                  });
  }
  return std::string();
}

std::string GetTaskDispTotalsOnCheckSql() {
  return Lines({
             " Select @FCount=count(*) from SHProcRptMain where FStatus>=1 and "
             "FTaskDispBillID=@FTaskDispID",
             " IF @FCount=0  ",
             kZeroTaskDispEntry,
             " Else ",
         }) +
         GetTaskDispTotalsSql(false);
}

std::string GetWorkBillTotalsOnCheckSql() {
  // The operation counts what its released dispatch entries hold.
  std::string text = Lines({
      " Select @FCount=count(*) from ICTaskDispBill t1 join ICTaskDispBillEntry t2 on "
      "t1.FInterID=t2.FInterID ",
      " where t2.FStatus>=1 and t2.FAuxQtyFinish >0 and t1.FWorkBillInterID=@FWBinterID",
      " IF @FCount=0 ",
      kZeroOperation,
      " Else ",
  });
  text +=
      Join({" Update s1 set s1.FStartWorkDate=t2.FStartWorkDate,s1.FEndWorkDate=t2.FEndWorkDate,"
            "s1.FAuxQtyFinish=t2.FAuxQtyFinish"},
           kQualityDecidedColumns);
  text += Lines({
      " ,s1.FfinishTime=t2.FfinishTime,s1.FReadyTime=t2.FReadyTime,s1.FFixTime=t2.FFixTime",
      " from SHWorkBillEntry s1 join ",
      " (select s2.FWorkBillInterID,isnull(min(t1.FWorkStartDate),getdate()) as "
      "FStartWorkDate,isnull(max(t1.FWorkEndDate),getdate()) as FEndWorkDate",
      kReportLineSums[0],
      kReportLineSums[1],
      " ,isnull(sum(t1.FTimeHrWork),0) as FfinishTime,isnull(sum(t1.FTimeEngPrepare),0) as "
      "FReadyTime,isnull(sum(t1.FTimeEngWork),0) as FFixTime",
      " from ICTaskDispBillEntry t1 join ICTaskDispBIll s2 on t1.FInterID=s2.FInterID ",
      " where s2.FWorkBillInterID=@FWBinterID  and t1.FStatus>=1 ",
      " group by s2.FWorkBIllInterID) t2 on s1.FWBinterID=t2.FWorkBillInterID",
  });
  return text;
}

std::string GetICMOTotalsOnCheckSql() {
  return Lines({
             " Select @FCount=count(*) from SHworkBill t1 join SHWorkBillEntry t2 on "
             "t1.FInterID=t2.FInterID ",
             " where t2.FStatus>=1 and t2.FAuxQtyFinish >0 and t1.FICMOinterID=@FICMOinterID",
             " IF @FCount=0 ",
             " Update ICMO set FStartDate=null,FFinishDate=null,FAuxQtyFinish=0,FfinishTime=0,"
             "FReadyTime=0,FFixTime=0 where FInterID=@FICMOinterID",
             " Else ",
         }) +
         GetICMOTotalsSql();
}

std::string GetTaskDispTotalsOnDelSql() {
  return Lines({
             "Select @FCount=count(*) from SHProcRptMain",
             "where FStatus>=0 and FTaskDispBillID=@FTaskDispID and Finterid<> @FInterID",
             " IF @FCount=0",
             kZeroTaskDispEntry,
             " Else ",
         }) +
         GetTaskDispTotalsSql(true);
}

std::string GetWorkBillTotalsOnDelSql() {
  return Lines({
             "Select @FCount=count(*) from SHProcRptMain",
             "where FStatus>=0 and FWBInterid=@FWBinterID and Finterid<> @FInterID",
             " IF @FCount=0 ",
             kZeroOperation,
             " Else ",
         }) +
         GetWorkBillTotalsSql(true);
}

std::string GetTaskDispDoneSql() {
  return Lines({
      "  Update ICTaskDispBillEntry set FStatus =(case When FAuxQtyPass-FAuxQtyPlan>=0 then 3 "
      "else FStatus end) ",
      "  where FTaskDispInteriD=@FTaskDispID  ",
  });
}

std::string GetDoubleQtySql(int32_t report_code) {
  return Lines({
      " EXEC prc_SHUpdateBillDoubleQty -502, @FTaskDispID",
      " EXEC prc_SHUpdateBillDoubleQty -52, @FWBInterID",
      " EXEC prc_SHUpdateBillDoubleQty " + SqlNumber(report_code) + ", @FInterID",
  });
}

}  // namespace CorvaMSHTransBills::procrpt
