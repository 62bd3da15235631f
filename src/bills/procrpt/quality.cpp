// clsMProcRpt's rule for quantities quality management decides. Where a report does not count its
// passed and scrapped quantities directly, the inspection adds them later: to a work bill
// operation, or to a report line and on to its dispatch entry and operation, or, for a report on a
// flow card, to the report line and the flow card line. An operation may not end up having passed
// less than it has already handed over.
#include <string>

#include "bills/procrpt/cls_m_proc_rpt.h"
#include "bills/procrpt/report_common.h"
#include "bills/procrpt/report_statements.h"
#include "corva/decimal.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Decimal;
using corva::frame::LoadResMsg;
using procrpt::Lines;

// What the database answers for a statement without text: a transaction type this rule does not
// know leaves it nothing to send.
constexpr int32_t kErrCommandTextNotSet = -2147217908;  // 0x80040E0C

// The four quantities quality management adds, as decimal text.
struct Deltas {
  std::string pass;
  std::string for_item;
  std::string scrap;
  std::string rework;
};

// `column` (as `qualified` names it) plus `delta`, never below 0. `gap` is what the statement
// writes around the "+".
std::string Clamped(const std::string& qualified, const std::string& delta,
                    const std::string& gap = "") {
  const std::string sum = qualified + gap + "+" + gap + delta;
  return "case when " + sum + " <0 then 0 else " + sum + " End";
}

// The four clamped assignments of an update, one a line: `head` ends with the passed quantity's
// "=", and `gap` is what the statement writes after each "=" and around each "+".
std::string ClampedColumns(const std::string& head, const Deltas& d, const std::string& gap = "") {
  return Lines({
      head + gap + Clamped("FAuxQtyPass", d.pass, gap) + " , ",
      "FAuxQtyForItem=" + gap + Clamped("FAuxQtyForItem", d.for_item, gap) + " , ",
      "FAuxQtyScrap=" + gap + Clamped("FAuxQtyScrap", d.scrap, gap) + " , ",
      "FAuxReprocessedQty=" + gap + Clamped("FAuxReprocessedQty", d.rework, gap) + " ",
  });
}

std::string GetWorkBillPassSql(int32_t operation, const Deltas& d) {
  return ClampedColumns("Update SHWorkBillEntry Set FAuxQtyPass=", d) +
         Lines({
             " Where fWBInterID = " + SqlNumber(operation),
             " EXEC prc_SHUpdateBillDoubleQty -52, " + SqlNumber(operation),
         });
}

// An ordinary report line: the line, its dispatch entry (done once its plan has passed) and its
// operation; the ledger row of its move number rebuilt from the reports' passed quantities.
std::string GetRptPassSql(int32_t line, const Deltas& d) {
  return ClampedColumns("Update SHProcRpt SET FAuxQtyPass=", d) +
         Lines({" WHERE FInterID=@FinterID AND FEntryID=" + SqlNumber(line)}) +
         ClampedColumns(" Update ICTaskDispBIllEntry set FAuxQtyPass=", d, " ") +
         Lines({" Where FTaskDispInterID=@FTaskDispID"}) + procrpt::GetTaskDispDoneSql() +
         ClampedColumns(" Update SHWorkBillEntry set FAuxQtyPass= ", d, " ") +
         Lines({" Where FWBinterID=@FWBinterID"}) + procrpt::GetMoveNoSql(0) +
         Lines({
             " EXEC prc_SHUpdateBillDoubleQty  582, @FinterID",
             " EXEC prc_SHUpdateBillDoubleQty -502, @FTaskDispID",
             " EXEC prc_SHUpdateBillDoubleQty -52, @FWBInterID",
         });
}

// A flow-card report line: the line with its operation-unit twins (quantity x the line's
// conversion x its unit's coefficient; 1 without a unit, as the base-unit procedure counts), then
// the flow card line it belongs to, from every report line on that flow card line. A line
// without a flow card line changes no flow card.
std::string GetFlowCardPassSql(int32_t line, const Deltas& d) {
  const std::string entry = SqlNumber(line);
  const std::string twin = "*rn.FConversion*ISNULL(tm.FCoefficient,1) , ";
  std::string text = Lines({
      "Update rn SET",
      " rn.FAuxQtyPass=" + Clamped("rn.FAuxQtyPass", d.pass) + " , ",
      " rn.FOperAuxQtyPass=(" + Clamped("rn.FAuxQtyPass", d.pass) + ")" + twin,
      " rn.FAuxQtyForItem=" + Clamped("rn.FAuxQtyForItem", d.for_item) + " , ",
      " rn.FOperAuxQtyForItem=(" + Clamped("rn.FAuxQtyForItem", d.for_item) + ")" + twin,
      " rn.FAuxQtyScrap=" + Clamped("rn.FAuxQtyScrap", d.scrap) + " , ",
      " rn.FOperAuxQtyScrap=(" + Clamped("rn.FAuxQtyScrap", d.scrap) + ")" + twin,
      " rn.FAuxReprocessedQty=" + Clamped("rn.FAuxReprocessedQty", d.rework) + " , ",
      " rn.FOperAuxReprocessedQty=(" + Clamped("rn.FAuxReprocessedQty", d.rework) +
          ")*rn.FConversion*ISNULL(tm.FCoefficient,1) ",
      " FROM SHProcRpt rn LEFT JOIN t_MeasureUnit tm ON tm.FMeasureUnitID=rn.FUnitID",
      " WHERE rn.FInterID=@FinterID AND rn.FEntryID=" + entry,
  });
  const std::string coefficient = "*f.FConversion*ISNULL(tm.FCoefficient,1)";
  text += Lines({
      "UPDATE f SET f.FAuxQtyPass=t.FAuxQtyPass,f.FAuxQtyPassCoefficient=t.FAuxQtyPass" +
          coefficient,
      " ,f.FAuxQtyScrap=t.FAuxQtyScrap,f.FAuxQtyScrapCoefficient=t.FAuxQtyScrap" + coefficient,
      " ,f.FAuxQtyForItem=t.FAuxQtyForItem,f.FAuxQtyForItemCoefficient=t.FAuxQtyForItem" +
          coefficient,
      " ,f.FAuxReprocessedQty=t.FAuxReprocessedQty,f.FAuxReprocessedQtyCoefficient="
      "t.FAuxReprocessedQty" +
          coefficient,
      " FROM ICShop_FlowCardEntry f",
      " INNER JOIN SHProcRpt rp ON rp.FFlowCardEntryID=f.FEntryID",
      " LEFT JOIN t_MeasureUnit tm ON tm.FMeasureUnitID=f.FUnitID",
      " INNER JOIN (SELECT s.FFlowCardInterID,s.FFlowCardEntryID,ISNULL(SUM(s.FAuxQtyPass),0) AS "
      "FAuxQtyPass,ISNULL(SUM(s.FAuxQtyScrap),0) AS FAuxQtyScrap,ISNULL(SUM(s.FAuxQtyForItem),0) "
      "AS FAuxQtyForItem,ISNULL(SUM(s.FAuxReprocessedQty),0) AS FAuxReprocessedQty FROM SHProcRpt "
      "s",
      "   INNER JOIN (SELECT FFlowCardInterID,FFlowCardEntryID FROM SHProcRpt WHERE "
      "FInterID=@FinterID AND FEntryID=" +
          entry +
          ") c ON c.FFlowCardInterID=s.FFlowCardInterID AND "
          "c.FFlowCardEntryID=s.FFlowCardEntryID",
      "   GROUP BY s.FFlowCardInterID,s.FFlowCardEntryID) t ON t.FFlowCardInterID=f.FID AND "
      "t.FFlowCardEntryID=f.FEntryID",
      " WHERE rp.FInterID=@FInterID AND rp.FEntryID=" + entry,
      "EXEC prc_SHUpdateBillDoubleQty  2520, @FinterID",
  });
  return text;
}

}  // namespace

bool clsMProcRpt::CheckPassAgainstHandOver(corva::Connection& connection, int32_t trans_type,
                                           int32_t id, const Decimal& quantity,
                                           std::string& message, const std::string& language) {
  std::string query;
  if (trans_type == kBillTypeWorkBill) {
    query =
        "select FWorkBillNO,FAuxQtyPass,FAuxQtyHandOverSel from SHWorkBillEntry WHere "
        "FWBInterID= " +
        SqlNumber(id);
  } else if (trans_type == kBillTypeProcRpt) {
    query =
        "select FWorkBillNO,FAuxQtyPass,FAuxQtyHandOverSel,t2.FAutoOF from SHWorkBillEntry t1 "
        "join SHProcRptMain t2 on t1.FWBInterID=t2.FWBinterID  WHere t2.FInterID=" +
        SqlNumber(id);
  }
  if (query.empty()) {
    throw corva::Error(kErrCommandTextNotSet, "ADODB.Connection",
                       "Command text was not set for the command object.");
  }
  corva::RecordsetPtr row = connection.Execute(query);
  if (row->Eof()) return false;
  // A report the system shifted on by itself follows its source, not the hand-over rule.
  if (trans_type == kBillTypeProcRpt && procrpt::LongOr0(row->Fields("FAutoOF")) == kYes) {
    return true;
  }
  const Decimal passed = procrpt::QuantityOr0(row->Fields("FAuxQtyPass")) + quantity;
  const Decimal handed_over = procrpt::QuantityOr0(row->Fields("FAuxQtyHandOverSel"));
  if (passed >= handed_over) return true;
  message = LoadResMsg("相对应的工序计划单[", language) + row->Fields("FWorkBillNO").ToText() +
            LoadResMsg("]的更新后的合格数量[", language) + corva::Variant(passed).ToText() + "]" +
            std::string(kCrLf) + LoadResMsg("不能小于已转出数量[", language) +
            corva::Variant(handed_over).ToText() + "].";
  return false;
}

bool clsMProcRpt::UpdateQtyPassByQM(const std::string& sDsn,
                                    corva::Optional<corva::DictionaryPtr> dictUpdateData,
                                    corva::OptionalRef<std::string> Returnstring) {
  std::string& message = *Returnstring;
  const std::string language = corva::frame::GetDsnValue(sDsn, "Language");
  // A run-time error adds its description to whatever the message holds by then.
  auto append_error = [&](const corva::Error& e) {
    message += LoadResMsg(e.Description(), language);
  };
  return frame_.Run(
      sDsn, {.first_vote = corva::frame::FrameVote::kAbort, .on_error = append_error},
      [&](corva::frame::Call& call) {
        const corva::DictionaryPtr& data = dictUpdateData;
        if (!data) throw corva::Error::Runtime(corva::kErrObjectNotSet);
        auto read = [&](const char* key) { return data->GetValue(key, 0); };
        const int32_t trans_type = read("FTranType").AsLong();
        const int32_t id = read("FInterID").AsLong();
        const int32_t line = read("FEntryID").AsLong();
        const bool flow_card = read("FCardReport").AsLong() != 0;
        const Decimal passed = read("FQty").AsDecimal();
        const Deltas deltas{passed.ToString(), read("FQtyForItem").AsDecimal().ToString(),
                            read("FQtyScrap").AsDecimal().ToString(),
                            read("FBackWorkQty").AsDecimal().ToString()};
        // A flow card keeps its own account of what passed; the operation's hand-over does not
        // bind it.
        if (!flow_card && !CheckPassAgainstHandOver(*call.Connection(), trans_type, id, passed,
                                                    message, call.lang())) {
          return false;
        }
        std::string text;
        if (trans_type == kBillTypeWorkBill) {
          text = GetWorkBillPassSql(id, deltas);
        } else if (trans_type == kBillTypeProcRpt) {
          text = procrpt::GetRptVarsSql(id, line, flow_card) +
                 (flow_card ? GetFlowCardPassSql(line, deltas) : GetRptPassSql(line, deltas));
        }
        if (text.empty()) {
          throw corva::Error(kErrCommandTextNotSet, "ADODB.Connection",
                             "Command text was not set for the command object.");
        }
        call.Connection()->Execute(text);
        return true;
      });
}

}  // namespace CorvaMSHTransBills
