// clsMItemScrap's rules. The host saves a scrap bill and adds its lines to the material lines'
// selected-for-scrapping totals (PPBOMEntry.FSelDisCardQty); a check moves them into the scrapped
// totals (FDisCardQty). The control then looks at those totals, not at the bill's own quantities:
// whatever bills put them there, a material line may not have more scrapped than was issued.
#include <string>
#include <vector>

#include "bills/itemscrap/cls_m_item_scrap.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/profile.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using corva::frame::Call;
using corva::frame::FrameVote;

// A value of the host or of a setting equals `number` as late binding's "=" has it: a number, or
// text that reads as one. Empty, Null and other text do not.
bool NumberIs(const Variant& value, int32_t number) {
  return !value.IsEmpty() && value.IsNumeric() &&
         value.AsDecimal() == corva::Decimal::FromInt64(number);
}

// The first line of bill `id` whose material line (matched by task, item and source line) is not
// backflushed and has more scrapped than issued: by the scrapped total on a check or uncheck
// (process status 1), else by the total selected for scrapping.
std::string BuildOverScrapQuery(int32_t id, bool scrapped_total) {
  return JoinCrLf({
      " select top 1 i.FEntryID,t1.Fnumber,t1.fname,d.FstockQty,d.FSelDisCardQty,i.fqty,"
      "d.FBackFlush ",
      " from icitemscrapentry i   ",
      " inner join ppbomentry d on i.fICMOinterid=d.fICMOinterid and i.FItemID=d.FitemID and "
      "i.FSourceEntryID=d.FEntryID ",
      " inner join t_icitem t1 on t1.FitemiD=d.fitemid",
      scrapped_total ? " where d.FDisCardQty>d.FstockQty" : " where d.FSelDisCardQty>d.FstockQty",
      " and d.FBackFlush<>1058 and i.finterid=" + SqlNumber(id),
  });
}

}  // namespace

bool clsMItemScrap::BeginSave(const std::string&, corva::VectorPtr&, std::string&) { return true; }

bool clsMItemScrap::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                            std::string& ReturnMsg) {
  const corva::frame::FrameOptions options{
      .save_vect = SaveVect, .first_vote = FrameVote::kAbort, .connect = false};
  return frame_.Run(sDsn, ReturnMsg, options, [&](Call& call) {
    if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
    if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    if (NumberIs(header->Value("FTypeID"), kScrapBillTypeUncontrolled)) return true;
    // CheckValid's refusal, or its run-time error, refuses the save with its message.
    if (!CheckValid(call.sDsn(), header->Value("FinteriD").AsLong(), kCheckSwitchDo, 0, 0,
                    corva::Date(), ReturnMsg)) {
      return call.Refuse(ReturnMsg);
    }
    return true;
  });
}

bool clsMItemScrap::CheckValid(const std::string& sDsn, int32_t lngInterID,
                               corva::Optional<int32_t>,
                               corva::Optional<int32_t, kProcessCheck> ProcessStatus,
                               corva::Optional<int32_t>, corva::Optional<corva::Date>,
                               corva::OptionalRef<std::string> ReturnMsg) {
  return frame_.Run(
      sDsn, *ReturnMsg, {.first_vote = FrameVote::kAbort, .connect = false}, [&](Call& call) {
        Variant control =
            corva::frame::GetSystemProfile(call.DataSource(), "ITEMSCRAP_CONTROLQTY", "SH", 0);
        if (!NumberIs(control, kScrapControlOn)) return true;

        corva::RecordsetPtr line = call.Connection()->Execute(
            BuildOverScrapQuery(lngInterID, ProcessStatus == kProcessCheck));
        if (!line->Eof()) {
          return call.Refuse(corva::frame::FormatResMsg(
              "第%1行物料:%2的报废数量>对应投料单中对应物料的（已领数量－报废选单数量）",
              call.lang(),
              {line->Fields("FEntryID").AsLong(),
               "[" + corva::ValueOr(line->Fields("Fnumber"), "").AsString() + "]"}));
        }
        return true;
      });
}

}  // namespace CorvaMSHTransBills
