// clsPublic: its registration under "CorvaMSHTransBills.clsPublic", the late-bound table over its
// operations, and the statement and recordset services (UpdateSql, JudgeBillNO, GetHour, GetItem,
// GetRs). The calendar, chain, stock and bill-of-material operations live in cls_public_*.cpp.
#include "shared/cls_public.h"

#include <cstddef>

#include "base/late_binding.h"
#include "corva/error.h"
#include "frame/sql_text.h"
#include "host/registry.h"

namespace CorvaMSHTransBills {
namespace {

using corva::RecordsetPtr;
using corva::Variant;
using corva::frame::Call;
using corva::host::Bind;
using P = clsPublic;

constexpr corva::host::Operation<P> kOperations[] = {
    Bind<&P::UpdateSql>("UpdateSql", "sDsn, strSQL"),
    Bind<&P::JudgeBillNO>("JudgeBillNO", "sDsn, strSQL"),
    Bind<&P::GetHour>("GetHour", "sDsn, CenterID"),
    Bind<&P::GetItem>("GetItem", "sDsn"),
    Bind<&P::GetRs>("GetRs", "sDsn, strSQL"),
    Bind<&P::CheckIsWorkDate>("CheckIsWorkDate", "sDsn, FDate, lngID, nType"),
    Bind<&P::CheckIsWorkDateEx>("CheckIsWorkDateEx", "sDsn, FDate, lngID, ReturnOBJ, nType"),
    Bind<&P::GetRelatedBillStatus>(
        "GetRelatedBillStatus",
        "sDsn, lngInterID, lngTransType, vctRtnBillInfo, lngOptions, bUpperInclude"),
    Bind<&P::IsLockByUpperBills>("IsLockByUpperBills",
                                 "sDsn, lngInterID, lngTransType, bSelfIncluded"),
    Bind<&P::GetLowerBillStatus>("GetLowerBillStatus",
                                 "sDsn, lngInterID, lngTransType, vctRtnBillInfo, lngOptions"),
    Bind<&P::GetICSysProfile>("GetICSysProfile", "sDsn, sCategory, sKey"),
    Bind<&P::GetStockNoMrp>("GetStockNoMrp", "sDsn, vctStock"),
    Bind<&P::GetStockNoMrpBySql>("GetStockNoMrpBySql", "sDsn, strSQL"),
    Bind<&P::GetBomEntry>("GetBomEntry", "sDsn, sInterID, FilterEntryID, dctExtraFilter"),
};

const corva::host::ClassBinding<P> kBinding("CorvaMSHTransBills.clsPublic", kOperations);

// A work centre without capacity of its own is planned with one ordinary shift a day.
constexpr int32_t kDefaultDailyHours = 8;
// JudgeBillNO's answer for a statement without rows.
constexpr char kNoRowText[] = "None";

}  // namespace

void clsPublic::UpdateSql(const std::string& sDsn, const std::string& strSQL) {
  frame_.Run(sDsn, {}, [&](Call& call) { call.Connection()->Execute(strSQL); });
}

std::string clsPublic::JudgeBillNO(const std::string& sDsn, const std::string& strSQL) {
  // The value is not interpreted: callers ask for a bill number, a count or a flag alike.
  return frame_.Query<std::string>(sDsn, Variant(false).AsString(), {}, [&](Call& call) {
    RecordsetPtr rs = call.Connection()->Execute(strSQL);
    std::string value = rs->Eof() ? kNoRowText : rs->Fields(0).AsString();
    rs->Close();
    return value;
  });
}

int32_t clsPublic::GetHour(const std::string& sDsn, int32_t CenterID) {
  return frame_.Query<int32_t>(sDsn, kDefaultDailyHours, {.connect = false}, [&](Call& call) {
    if (CenterID < 1) return kDefaultDailyHours;
    RecordsetPtr rs = call.Connection()->Execute(
        " select isnull(sum(FRuns*Fhours*FuseingRate*Fefficiency),0) as ability "
        "from t_Resource where FKey=1 and  FWorkCenterID=" +
        SqlNumber(CenterID));
    Variant ability = rs->Fields("Ability");
    // Whole hours, halves to the even neighbour (7.5 -> 8, 6.5 -> 6).
    int32_t hours = ability.AsDouble() == 0 ? kDefaultDailyHours : ability.AsLong();
    rs->Close();
    return hours;
  });
}

RecordsetPtr clsPublic::GetItem(std::string& sDsn) {
  return frame_.Query<RecordsetPtr>(sDsn, nullptr, {}, [&](Call& call) {
    return call.Connection()->Execute(" Select Top 1 FNumber,Fitemid,Fname From t_icitem ");
  });
}

RecordsetPtr clsPublic::GetRs(std::string& sDsn, const std::string& strSQL) {
  // The caller's statement runs as it is: this service exists to run the host's own queries.
  return frame_.Query<RecordsetPtr>(sDsn, nullptr, {},
                                    [&](Call& call) { return call.Connection()->Execute(strSQL); });
}

}  // namespace CorvaMSHTransBills
