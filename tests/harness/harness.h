// What the harnesses share: scenarios (a database set up for one operation, and the arguments that
// call it), registered one table row each; snapshots of every table of a database file; and calling
// an operation as the host does, in a transaction that is then committed unless doomed.
//
// A class registers its scenarios in tests/harness/scenarios/<class>.cpp:
//   const Scenario kRows[] = {
//       {"EndSave_renumbers", kProgID, "EndSave", SetUpBill, SaveArgs, Returns(false)},
//   };
//   CORVA_SCENARIOS(kRows);
// Every row is then run by the fault-injection harness and serves the bad-argument sweep as the
// good call whose arguments it spoils one at a time. docs/reliability.md explains both.
#ifndef CORVA_TESTS_HARNESS_HARNESS_H_
#define CORVA_TESTS_HARNESS_HARNESS_H_

#include <cstddef>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "corva/containers.h"
#include "corva/variant.h"
#include "host/binding.h"
#include "support/test_db.h"

namespace corva::harness {

using Args = std::vector<Variant>;
using testing::TestDatabase;

// How an operation tells its caller that it failed, besides its abort vote.
struct Failure {
  bool raises = false;     // the error reaches the caller
  Variant result;          // otherwise: the result it then returns
  bool vote_only = false;  // or only the vote tells: the result is the same either way
};
inline Failure Raises() { return {true, Variant(), false}; }
inline Failure Returns(Variant result) { return {false, std::move(result), false}; }
// For an operation whose result does not tell failure from success (one that answers True even
// when a statement failed): the abort vote alone, without an error, shows the failure.
inline Failure VotesAbort() { return {false, Variant(), true}; }

// One successful call of an operation on data of its own. Functions, not data, so that every run
// starts from a fresh database: captureless lambdas serve.
struct Scenario {
  const char* name;       // letters, digits and "_"; names the tests of the row
  const char* progid;     // "CorvaMSHTransBills.clsMWorkBill"
  const char* operation;  // "EndSave"
  // Writes the rows the call works on into a database holding the schema.
  void (*setup)(const TestDatabase& db);
  // The call's arguments in declared order; the property string is db.dsn().
  Args (*args)(const TestDatabase& db);
  Failure fails;
};

// Prints the row's name in test failures.
void PrintTo(const Scenario& scenario, std::ostream* out);

// Adds `count` rows to the registry; returns the registry's size. Used through CORVA_SCENARIOS.
size_t RegisterScenarios(const Scenario* rows, size_t count);
// Every registered row, in registration order. Complete once static initialization has run.
const std::vector<Scenario>& Scenarios();
// The first row registered for `progid`.`operation` (without regard to case), or nullptr.
const Scenario* FindScenario(const std::string& progid, const std::string& operation);

#define CORVA_SCENARIOS(table)                             \
  [[maybe_unused]] const size_t corva_registered_##table = \
      ::corva::harness::RegisterScenarios(table, std::size(table))

// A header Dictionary with `values` wrapped in a Vector: the SaveVect a host passes to a save.
VectorPtr SaveVect(std::initializer_list<std::pair<const char*, Variant>> values);

// ---- Snapshots ----

// Every row of every table of the database file (the engine's own tables included), each table's
// rows as sorted text lines. Read with SQLite directly, past the engine.
using Snapshot = std::map<std::string, std::vector<std::string>>;
Snapshot TakeSnapshot(const std::string& path);
// "" when equal; otherwise the tables that differ and a row that differs in each.
std::string Difference(const Snapshot& before, const Snapshot& after);

// ---- Calls ----

struct Outcome {
  Variant result;
  Args args;  // the arguments after the call (by-reference ones written back)
  bool raised = false;
  int32_t error_number = 0;
  std::string error;  // the raised error's description
  bool doomed = false;
};

// Creates `progid` and invokes `operation` with `args` as the host does, inside a transaction
// scope that is committed afterwards: a doomed one rolls back, any other keeps what the call
// wrote. With `keep_success` false a call that neither raised nor was doomed is rolled back
// instead, so that calls made one after another start from the same rows. An exception other
// than corva::Error fails the running test.
Outcome CallAndCommit(const std::string& progid, const std::string& operation, Args args,
                      bool keep_success = true);

// The property-string parameter of an operation: a String named like "sDsn" or "MtsString".
bool IsPropertyString(const host::ParamDescription& param);

}  // namespace corva::harness

#endif  // CORVA_TESTS_HARNESS_HARNESS_H_
