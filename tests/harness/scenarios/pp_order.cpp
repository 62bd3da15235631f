// Scenarios of clsMPPOrder: the check's follow-up, which reads the order's need dates and votes.
// PreCheck never votes, so a failing statement cannot show by the vote (the sweep covers it), and
// the save hooks do no database work.
#include "harness/harness.h"

namespace corva::harness {
namespace {

constexpr char kPPOrder[] = "CorvaMSHTransBills.clsMPPOrder";

// Order 1 of 2024-03-10 whose lines are needed on that day and later.
void Order(const TestDatabase& db) {
  db.Execute(
      "INSERT INTO PPOrder (FInterID, FDate) VALUES (1, '2024-03-10')\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FNeedDate) VALUES (1, 1, '2024-03-10')\n"
      "INSERT INTO PPOrderEntry (FInterID, FEntryID, FNeedDate) VALUES (1, 2, '2024-04-01')");
}

const Scenario kRows[] = {
    {"PPOrder_PostCheck_check", kPPOrder, "PostCheck", Order,
     [](const TestDatabase& db) { return Args{db.dsn(), 1, 0, 1, 16394, std::string()}; },
     Returns(false)},
};
CORVA_SCENARIOS(kRows);

}  // namespace
}  // namespace corva::harness
