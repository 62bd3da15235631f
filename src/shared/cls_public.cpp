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

const corva::host::ComponentRegistrar kRegistrar("CorvaMSHTransBills.clsPublic",
                                                 corva::host::FactoryOf<clsPublic>());

// A work centre without capacity of its own is planned with one ordinary shift a day.
constexpr int32_t kDefaultDailyHours = 8;
// JudgeBillNO's answer for a statement without rows.
constexpr char kNoRowText[] = "None";

// ---- Reading late-bound arguments (a missing or Empty argument takes the default) ----

using Args = std::vector<Variant>;

bool Passed(const Args& args, size_t i) { return i < args.size() && !args[i].IsEmpty(); }
std::string Text(const Args& args, size_t i) {
  return Passed(args, i) ? args[i].AsString() : std::string();
}
int32_t Long(const Args& args, size_t i, int32_t fallback = 0) {
  return Passed(args, i) ? args[i].AsLong() : fallback;
}
bool Bool(const Args& args, size_t i, bool fallback) {
  return Passed(args, i) ? args[i].AsBool() : fallback;
}
template <typename T>
std::shared_ptr<T> Obj(const Args& args, size_t i) {
  return Passed(args, i) ? args[i].As<T>() : nullptr;
}
Variant RecordsetResult(RecordsetPtr rs) { return Variant(corva::ObjectPtr(std::move(rs))); }

// The by-reference arguments (sDsn of GetItem and GetRs, nType, bSelfIncluded, the vector and
// dictionary objects) are never changed by the operations, so nothing needs writing back except
// the copied property string.
struct Operation {
  const char* name;
  size_t min_args;
  size_t max_args;
  Variant (*call)(clsPublic& self, Args& a);
};

const Operation kOperations[] = {
    {"UpdateSql", 2, 2,
     [](clsPublic& o, Args& a) {
       o.UpdateSql(Text(a, 0), Text(a, 1));
       return Variant();
     }},
    {"JudgeBillNO", 2, 2,
     [](clsPublic& o, Args& a) { return Variant(o.JudgeBillNO(Text(a, 0), Text(a, 1))); }},
    {"GetHour", 2, 2,
     [](clsPublic& o, Args& a) { return Variant(o.GetHour(Text(a, 0), Long(a, 1))); }},
    {"GetItem", 1, 1,
     [](clsPublic& o, Args& a) {
       std::string dsn = Text(a, 0);
       RecordsetPtr rs = o.GetItem(dsn);
       a[0] = dsn;
       return RecordsetResult(rs);
     }},
    {"GetRs", 2, 2,
     [](clsPublic& o, Args& a) {
       std::string dsn = Text(a, 0);
       RecordsetPtr rs = o.GetRs(dsn, Text(a, 1));
       a[0] = dsn;
       return RecordsetResult(rs);
     }},
    {"CheckIsWorkDate", 3, 4,
     [](clsPublic& o, Args& a) {
       return Variant(o.CheckIsWorkDate(Text(a, 0), Text(a, 1), Long(a, 2), Long(a, 3)));
     }},
    {"CheckIsWorkDateEx", 4, 5,
     [](clsPublic& o, Args& a) {
       return Variant(o.CheckIsWorkDateEx(Text(a, 0), Text(a, 1), Long(a, 2),
                                          Obj<corva::Dictionary>(a, 3), Long(a, 4)));
     }},
    {"GetRelatedBillStatus", 4, 6,
     [](clsPublic& o, Args& a) {
       return Variant(o.GetRelatedBillStatus(Text(a, 0), Long(a, 1), Long(a, 2),
                                             Obj<corva::Vector>(a, 3), Long(a, 4),
                                             Bool(a, 5, true)));
     }},
    {"IsLockByUpperBills", 3, 4,
     [](clsPublic& o, Args& a) {
       return Variant(o.IsLockByUpperBills(Text(a, 0), Long(a, 1), Long(a, 2), Bool(a, 3, false)));
     }},
    {"GetLowerBillStatus", 5, 5,
     [](clsPublic& o, Args& a) {
       return Variant(o.GetLowerBillStatus(Text(a, 0), Long(a, 1), Long(a, 2),
                                           Obj<corva::Vector>(a, 3), Long(a, 4)));
     }},
    {"GetICSysProfile", 3, 3,
     [](clsPublic& o, Args& a) { return o.GetICSysProfile(Text(a, 0), Text(a, 1), Text(a, 2)); }},
    {"GetStockNoMrp", 2, 2,
     [](clsPublic& o, Args& a) {
       return RecordsetResult(o.GetStockNoMrp(Text(a, 0), Obj<corva::Vector>(a, 1)));
     }},
    {"GetStockNoMrpBySql", 2, 2,
     [](clsPublic& o, Args& a) {
       return RecordsetResult(o.GetStockNoMrpBySql(Text(a, 0), Text(a, 1)));
     }},
    {"GetBomEntry", 2, 4,
     [](clsPublic& o, Args& a) {
       return RecordsetResult(
           o.GetBomEntry(Text(a, 0), Text(a, 1), Text(a, 2), Obj<corva::Dictionary>(a, 3)));
     }},
};

}  // namespace

Variant clsPublic::Invoke(const std::string& name, std::vector<Variant>& args) {
  for (const Operation& op : kOperations) {
    if (!corva::IEquals(name, op.name)) continue;
    corva::RequireArgs(args, op.min_args, op.max_args);
    return op.call(*this, args);
  }
  throw corva::NoSuchMethod(name);
}

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
