// Helpers of the clsPublic tests: calling an operation as the host does, and a small calendar.
#ifndef CORVA_TESTS_SHARED_PUBLIC_TEST_UTIL_H_
#define CORVA_TESTS_SHARED_PUBLIC_TEST_UTIL_H_

#include <string>
#include <vector>

#include "corva/corva.h"
#include "support/test_db.h"

namespace corva::testing {

// `op` of a new clsPublic instance, created and called as the host does.
inline Variant CallPublic(const std::string& op, std::vector<Variant> args) {
  return CreateObject("CorvaMSHTransBills.clsPublic")->Invoke(op, args);
}

// Installs 2030-03-04 (Monday) to 2030-03-15 (Friday) into the factory calendar (t_WorkCalendar
// and calendar 999) and calendar 7. Non-working days: the weekend and Wednesday 03-06; calendar 7
// also rests on Tuesday 03-12. Working days are numbered in date order, per calendar.
inline void InstallCalendars(const TestDatabase& db) {
  std::string batch;
  int factory = 0, workshop = 0;
  for (int d = 4; d <= 15; ++d) {
    const std::string day = "'2030-03-" + std::string(d < 10 ? "0" : "") + std::to_string(d) + "'";
    const bool rest = d == 6 || d == 9 || d == 10;
    const std::string f = std::to_string(rest ? 0 : ++factory);
    const std::string w = std::to_string((rest || d == 12) ? 0 : ++workshop);
    batch += "INSERT INTO t_WorkCalendar (FDay, FInterID) VALUES (" + day + "," + f + ")\n" +
             "INSERT INTO T_MutiWorkCal (FCalID, FDay, FInterID) VALUES (999," + day + "," + f +
             ")\nINSERT INTO T_MutiWorkCal (FCalID, FDay, FInterID) VALUES (7," + day + "," + w +
             ")\n";
  }
  db.Execute(batch);
}

}  // namespace corva::testing

#endif  // CORVA_TESTS_SHARED_PUBLIC_TEST_UTIL_H_
