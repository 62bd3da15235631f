// The production task status statements. Both are plain text: the hooks append them to batches
// that have just changed issued, received or in-process quantities, so the statements work on the
// caller's table of affected tasks and never run on their own. clsMSynBills offers them to the host
// as UpdateICMOStockFlag and, for its own hooks, as GetICMOCloseSql.
#include "sync/icmo_status.h"

#include <initializer_list>

#include "corva/error.h"
#include "frame/codes.h"
#include "frame/sql_text.h"
#include "sync/cls_m_syn_bills.h"

namespace CorvaMSHTransBills {
namespace {

// Appends each line of `lines` followed by CR LF: these statements end every line, the last one
// too, so that a caller can append them to its batch and go on.
void AppendLines(std::string& sql, std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) {
    sql.append(line);
    sql.append(kCrLf);
  }
}

// Blanks around a table name do not make it a name (the host may pass one padded).
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Adds to Temp001.FStatus, per task of `table`, the number of its material lines that meet
// `condition` (the lines that keep the task open).
void AppendOpenLineCount(std::string& sql, std::string_view table, std::string_view condition) {
  const std::string t(table);
  AppendLines(
      sql, {
               " Update Temp001 set FSTATUS=FStatus + isnull(t1.FCount,0)  FROM " + t +
                   " Temp001  Left JOin ",
               " (select count(*) as FCount,u1.FICMOinterid FROM  PPBOMENtry u1 join " + t +
                   " Temp  on u1.FICMOinterid=Temp.FICMOInterid ",
               " INNER JOIN t_ICItem t1 ON u1.FItemID=t1.FItemID where " + std::string(condition),
               " group by u1.FICMOinterid ) t1 on temp001.ficmointerid=t1.ficmointerid ",
           });
}

}  // namespace

std::string ComposeICMOStockFlagSql(std::string_view task_table) {
  if (TrimBlanks(task_table).empty()) return std::string();
  // Each material line is classed as over-issued (8), exactly issued (4), partly issued (2) or not
  // issued (1). The classes are made distinct per task before they are summed, so the sum is the
  // set of classes present as bits: 8 or 8+4 over-issued, 4 fully issued, 1 nothing issued, any
  // other mix partly issued.
  std::string sql;
  AppendLines(sql, {
                       "create table #PPBOMStock (FInterID int,FICMoInterID int ,FStockFlag int "
                       "default(14215) ) ",
                       "insert into #PPBOMStock (FInterID,FICMoInterID,FStockFlag)",
                       "select FInterID,FICMoInterID,sum(FStockFlag) as FStockFlag",
                       "From",
                       "(",
                       "select distinct u1.FInterID,u1.FICMoInterID,",
                       "(case when u1.FStockQty>u1.FQtyMust then 8",
                       "      when u1.FStockQty=u1.FQtyMust then 4",
                       "      when u1.FStockQty>0 and u1.FStockQty<u1.FQtyMust then 2",
                       "      else 1 end) as FStockFlag",
                       "from PPBOMEntry u1",
                       "inner join (select distinct FICMOInterID from " + std::string(task_table) +
                           ") m on u1.FIcmoInterID=m.FICMOInterID",
                       "where u1.FOrderEntryID = 0 and (u1.FMaterielType = 371 OR "
                       "u1.FMaterielType = 376)",
                       ") p2 group by FInterID,FICMoInterID",
                       "",
                       "Update m",
                       "SET FStockFlag=",
                       "(case p.FStockFlag",
                       "    when 8  then 14218  --超额领料",
                       "    when 12 then 14218",
                       "    when 4 then 14217   --完全领料",
                       "    when 1 then 14215   --未领料",
                       "    else 14216          --部分领料",
                       "    End",
                       ")",
                       "from ICMO m",
                       "INNER JOIN #PPBOMStock p ON m.FInterID=p.FICMoInterID",
                       "DROP TABLE #PPBOMStock",
                   });
  return sql;
}

std::string ComposeICMOCloseSql(std::string_view task_table, int32_t close_option,
                                int32_t user_id) {
  // "Nothing in process" is no reason to close on its own: it only narrows the other two. Without
  // either of them no task is closed or reopened, so there is no statement at all (the hooks only
  // ask with one of them set).
  if ((close_option & (kCloseWhenAllIssued | kCloseAtLowerReceiptLimit)) == 0) return {};
  const std::string t(task_table);
  std::string sql;
  // Temp001.FStatus ends 0 for a task that meets every chosen condition: the receipt test sets it
  // to 0 or 1, the line tests add the number of lines that keep the task open.
  if (close_option & kCloseAtLowerReceiptLimit) {
    AppendLines(sql, {
                         " Update Temp001 set FSTATUS=(case when "
                         "ROUND(m1.FAuxStockQty,t1.FQtyDecimal)>=ROUND(m1.FAuxInLowLimitQty,t1."
                         "FQtyDecimal)",
                         "  then 0 else 1 end) FROM " + t +
                             " Temp001 join ICMO m1  on m1.Finterid=Temp001.FICMOInterid ",
                         " INNER JOIN t_ICItem t1 ON m1.FItemID=t1.FItemID ",
                     });
  }
  if (close_option & kCloseWhenAllIssued) {
    AppendOpenLineCount(
        sql, t,
        "u1.FMaterielType=371 and "
        "ROUND(u1.FAuxStockQty,t1.FQtyDecimal)<ROUND(u1.FAuxQtyMust,t1.FQtyDecimal)");
  }
  if (close_option & kCloseWhenNothingInProcess) {
    AppendOpenLineCount(sql, t, "ROUND(u1.FWIPAuxQty,t1.FQtyDecimal)<>0 ");
  }
  // Close what qualifies. A task that no longer qualifies but was closed in the current IC period
  // (by these statements or by hand) is reopened; one closed in an earlier period stays closed,
  // since that period's figures are final.
  const std::string user = SqlNumber(user_id);
  AppendLines(sql, {
                       " DECLARE @StartDate AS DateTime",
                       "SELECT @StartDate=FStartDate FROM T_PeriodDate ",
                       "WHERE FYear=(SELECT TOP 1 ISNULL(FValue,0) FROM t_SystemProfile WHERE FKey "
                       "='CurrentYear' AND FCategory='IC')",
                       "AND FPeriod=(SELECT TOP 1 ISNULL(FValue,0) FROM t_SystemProfile WHERE FKey "
                       "='CurrentPeriod' AND FCategory='IC')",
                       " Update m1",
                       " set FStatus=(case when Temp001.FStatus=0 then 3 when "
                       "m1.FCloseDate>=@StartDate then 1 else m1.FStatus end)",
                       " ,FCloseDate=(case when Temp001.FStatus=0 then Convert(varchar(10) "
                       ",Getdate(),121) when m1.FCloseDate>=@StartDate then Null else "
                       "m1.FCloseDate end)",
                       " ,FCheckerID=(case when Temp001.FStatus=0 then " + user +
                           " when m1.FCloseDate>=@StartDate then Null else m1.FCheckerID end)",
                       " ,FMrpClosed=(case when Temp001.FStatus=0 then 1 when "
                       "m1.FCloseDate>=@StartDate then 0 else m1.FMrpClosed end)",
                       " ,FHandworkClose=(case when Temp001.FStatus=0 then m1.FHandworkClose else "
                       "0 end)",
                       " from ICMO m1 join " + t + " Temp001 on m1.FINterID=Temp001.FICMOInterID ",
                   });
  return sql;
}

std::string clsMSynBills::UpdateICMOStockFlag(const std::string& strTempTableName) {
  return ComposeICMOStockFlagSql(strTempTableName);
}

std::string clsMSynBills::GetICMOCloseSql(const std::string& T, int32_t C) {
  if (!frame_.m_Parse) throw corva::Error::Runtime(corva::kErrObjectNotSet);
  return ComposeICMOCloseSql(T, C, frame_.m_Parse->UserID());
}

}  // namespace CorvaMSHTransBills
