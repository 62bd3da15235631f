// The text form of a calendar day read from the database, as clsPublic hands days back to callers
// and splices them into statements: "YYYY-MM-DD" (with the time only when it is not midnight).
#ifndef CORVA_SHARED_DAY_TEXT_H_
#define CORVA_SHARED_DAY_TEXT_H_

#include <string>

#include "corva/variant.h"

namespace CorvaMSHTransBills {

// A Date value, or text that reads as a date (the engine's "2026-05-01 00:00:00.000"), as
// "YYYY-MM-DD"; any other value as its display text (Null and Empty as "").
inline std::string DayText(const corva::Variant& value) {
  if (value.Type() == corva::VarType::kDate) return value.AsDate().ToString();
  if (value.Type() == corva::VarType::kString) {
    corva::Date day;
    if (corva::Date::Parse(value.AsString(), &day)) return day.ToString();
  }
  return value.ToText();
}

}  // namespace CorvaMSHTransBills

#endif  // CORVA_SHARED_DAY_TEXT_H_
