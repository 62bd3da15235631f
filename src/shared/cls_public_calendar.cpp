// clsPublic's work-calendar questions: which of a list of days are non-working days in the factory
// or a department calendar, and what capacity a resource or a work centre has on them. A day whose
// FInterID is 0 is a non-working day; a resource's exception entry for a day overrides its
// capacity (runs x hours x usage x efficiency on working days, 0 otherwise).
#include <optional>
#include <string>

#include "corva/error.h"
#include "frame/caller_text.h"
#include "frame/sql_text.h"
#include "shared/cls_public.h"
#include "shared/day_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::RecordsetPtr;
using corva::frame::Call;
using corva::frame::FrameVote;

// The calendar each nType asks.
enum CalendarKind : int32_t {
  kFactoryCalendar = 0,
  kDepartmentCalendar = 1,
  kResourceCapacity = 2,
  kWorkCenterCapacity = 3,
};

constexpr char kCheckIsWorkDateSource[] = "CorvaMSHTransBills.clsPublic.CheckIsWorkDate.";

// The non-working days of the factory calendar among `days`. The extended form also reads each
// day's running number and a Null capacity, so that every form of the question gives the same
// columns; it orders by day, the first row then being the earliest non-working day.
std::string FactoryHolidaysQuery(const std::string& days, bool extended) {
  if (!extended) {
    return "SELECT FDay FROM t_WorkCalendar Where FinterID=0 and FDay in(" + days + ")";
  }
  return JoinCrLf(
      {"SELECT FDay,FInterID,NULL AS FRelAbility FROM t_WorkCalendar Where FinterID=0 "
       "and FDay in(" +
           days + ")",
       "ORDER BY FDay"});
}

// The non-working days among `days` in the calendar of department `id` (extended as above).
std::string DepartmentHolidaysQuery(const std::string& days, int32_t id, bool extended) {
  const std::string where =
      " WHERE T1.FItemID=" + SqlNumber(id) + " AND t2.FinterID=0 and T2.FDay in (" + days + ")";
  if (!extended) {
    return JoinCrLf({"SELECT T2.FDay ", "  FROM T_Department T1",
                     " INNER JOIN T_MutiWorkCal T2 ON T2.FCalID=T1.FCalID", where});
  }
  return JoinCrLf({"SELECT T2.FDay,T2.FInterID,NULL AS FRelAbility ", "  FROM T_Department T1",
                   " INNER JOIN T_MutiWorkCal T2 ON T2.FCalID=T1.FCalID", where,
                   " ORDER BY T2.FDay"});
}

// Resource `id`'s capacity on each of `days`, weakest day first.
std::string ResourceCapacityQuery(const std::string& days, int32_t id, bool extended) {
  return JoinCrLf(
      {"SELECT ( ISNULL(T3.FRelAbility, ",
       "        (CASE T2.FInterID WHEN 0 THEN 0 ELSE "
       "(T1.FRuns*T1.FHours*T1.FUseingRate*T1.FEfficiency) END)",
       "        )",
       extended ? "       ) AS FRelAbility,T2.FDay,T2.FInterID" : "       ) AS FRelAbility",
       "  FROM T_Resource T1", " INNER JOIN T_MutiWorkCal T2 ON T2.FCalID=T1.FCalID",
       "  LEFT JOIN T_ResourceExpInfo T3 ON T3.FInterID=T1.FInterID AND T2.FDay=T3.FDate",
       " WHERE T1.FInterID=" + SqlNumber(id) + " AND T2.FDay in (" + days +
           ") order by frelability "});
}

// Work centre `id`'s capacity on each of `days`, weakest day first. The plain form reads the
// centre's own daily capacity (percent rates), the same on every day of its calendar; the
// extended form adds up the capacities of the centre's resources day by day, exceptions included.
std::string WorkCenterCapacityQuery(const std::string& days, int32_t id, bool extended) {
  const std::string where = "WHERE T1.FItemID=" + SqlNumber(id);
  if (!extended) {
    return JoinCrLf(
        {"SELECT SUM(ISNULL(t1.FWorkCapacity*(t1.FEfficiency/100)*(t1.FUseingRate/100) "
         ",0  ) ) AS FRelAbility  ",
         "FROM  T_WorkCenter T1",
         "INNER JOIN T_MutiWorkCal T3 ON T1.FCalID=T3.FCalID AND T3.FDay in (" + days + ")", where,
         "GROUP BY T3.FDay  ", "ORDER BY frelability  "});
  }
  return JoinCrLf(
      {"SELECT SUM(ISNULL(T4.FRelAbility, ",
       "        (CASE T3.FInterID WHEN 0 THEN 0 ELSE "
       "(T2.FRuns*T2.FHours*T2.FUseingRate*T2.FEfficiency) END)",
       "        )", "       ) AS FRelAbility ,T3.FDay,T3.FInterID  ", "FROM  T_WorkCenter T1",
       "INNER JOIN T_Resource T2 ON T1.FItemID=T2.FWorkCenterID",
       "INNER JOIN T_MutiWorkCal T3 ON T2.FCalID=T3.FCalID AND T3.FDay in (" + days + ")",
       " LEFT JOIN T_ResourceExpInfo T4 ON T2.FInterID=T4.FInterID AND T3.FDay=T4.FDate", where,
       "GROUP BY T3.FDay,T3.FINterID  ", "ORDER BY frelability  "});
}

// The query of calendar kind `nType`, or none for a kind the calendar does not know. `days` is the
// caller's list of quoted date literals, placed inside "in (...)" unchanged by design once it
// reads as one (error 5 otherwise).
std::optional<std::string> CalendarQuery(const std::string& days, int32_t id, int32_t nType,
                                         bool extended) {
  auto checked = [&]() -> const std::string& {
    return corva::frame::CheckDateListText("FDate", days);
  };
  switch (nType) {
    case kFactoryCalendar:
      return FactoryHolidaysQuery(checked(), extended);
    case kDepartmentCalendar:
      return DepartmentHolidaysQuery(checked(), id, extended);
    case kResourceCapacity:
      return ResourceCapacityQuery(checked(), id, extended);
    case kWorkCenterCapacity:
      return WorkCenterCapacityQuery(checked(), id, extended);
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string clsPublic::CheckIsWorkDate(const std::string& sDsn, const std::string& FDate,
                                       int32_t lngID, corva::OptionalRef<int32_t> nType) {
  try {
    return frame_.Query<std::string>(
        sDsn, std::string(), {.first_vote = FrameVote::kComplete, .trap = false}, [&](Call& call) {
          std::optional<std::string> sql = CalendarQuery(FDate, lngID, nType, false);
          if (!sql) return std::string();
          RecordsetPtr rs = call.Connection()->Execute(*sql);
          std::string answer;
          if (nType == kFactoryCalendar || nType == kDepartmentCalendar) {
            for (; !rs->Eof(); rs->MoveNext()) {
              if (!answer.empty()) answer += ",";
              answer += DayText(rs->Fields("FDay"));
            }
          } else if (!rs->Eof()) {
            answer = rs->Fields("FRelAbility").ToText();
          }
          rs->Close();
          return answer;
        });
  } catch (const corva::Error& e) {
    // The caller sees where the error arose: this operation's name leads the error's own source.
    throw corva::Error(e.Number(), kCheckIsWorkDateSource + e.Source(), e.Description());
  }
}

// Types 0 and 1 are asked like CheckIsWorkDate asks them (which of the days are non-working), so
// the answer is the earliest non-working day among them: "IsWorkDay" 0 and a Null "RelAbility".
bool clsPublic::CheckIsWorkDateEx(const std::string& sDsn, const std::string& FDate, int32_t lngID,
                                  const corva::DictionaryPtr& ReturnOBJ,
                                  corva::OptionalRef<int32_t> nType) {
  return frame_.Query<bool>(
      sDsn, false, {.first_vote = FrameVote::kComplete, .trap = false}, [&](Call& call) {
        std::optional<std::string> sql = CalendarQuery(FDate, lngID, nType, true);
        RecordsetPtr rs = sql ? call.Connection()->Execute(*sql) : nullptr;
        if (!ReturnOBJ) throw corva::Error::Runtime(corva::kErrObjectNotSet);
        ReturnOBJ->RemoveAll();
        if (!rs || rs->Eof()) return false;
        ReturnOBJ->SetValue("Day", DayText(rs->Fields("FDay")));
        ReturnOBJ->SetValue("IsWorkDay", rs->Fields("FInterID"));
        ReturnOBJ->SetValue("RelAbility", rs->Fields("FRelAbility"));
        return true;
      });
}

}  // namespace CorvaMSHTransBills
