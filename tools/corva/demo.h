// The framework of `corva demo`: the steps that walk the sample factory's production task 1001
// through its chain, each in a file of its own (demo_<bill>.cpp) that registers itself with its
// place in the walk, and the session they share: the demo's caller, the host's own reads and
// writes, transactions and the tables printed after each step.
#ifndef CORVA_TOOLS_DEMO_H_
#define CORVA_TOOLS_DEMO_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "corva/recordset.h"
#include "corva/variant.h"

namespace corva::cli::demo {

// What the steps share. The sample database exists and holds the sample factory (perhaps walked
// already by an earlier run: a step finds out what is done and says so instead of repeating it).
class DemoSession {
 public:
  DemoSession(std::string path, std::string language, std::FILE* out);

  // The property string of the demo's user (the sample user 16394) in the chosen language.
  const std::string& dsn() const { return dsn_; }
  // The connection string of the sample database, for work outside the public classes.
  std::string connect_string() const { return "Provider=SQLite;Data Source=" + path_; }
  // The user id the host records as biller, checker and so on.
  static constexpr int32_t kUserID = 16394;

  // The host's own work on the bills (writing a bill it saves, setting statuses it checks): each
  // call opens a connection that joins the transaction of the running Transaction, if any.
  void Execute(const std::string& sql) const;
  RecordsetPtr Query(const std::string& sql) const;

  // Runs `body` in a corva::TransactionScope of its own, as the host wraps one action, and commits
  // it unless a call voted abort. Prints the outcome and returns whether it committed. Errors
  // leaving `body` roll back and reach the caller.
  bool Transaction(const std::function<void()>& body) const;

  // Output: a heading, a line of narration, a recordset as a table (after `title`), and one call's
  // outcome: "  clsMWorkBill.EndSave -> False" and the by-reference texts that came back.
  void Heading(const std::string& text) const;
  void Say(const std::string& text) const;
  void PrintTable(const std::string& title, const Recordset& rows) const;
  void PrintCall(const std::string& call, const Variant& result,
                 const std::vector<std::pair<std::string, Variant>>& returned = {}) const;

 private:
  std::string path_;
  std::string dsn_;
  std::FILE* out_;
};

// One step of the walk. Steps run by `order`: 10 work bill (save, check, close), 20 task dispatch,
// 30 operation shift, 35 production task synchronization, 40 operation report, 45 operation
// report check, 50 production task report, 60 stock bills, 70 item scrap, 80 forecast and planned
// orders, 90 the consistency check of the derived totals. A step
// throws corva::Error (or std::exception) when something it relies on fails; the demo stops there.
struct DemoStep {
  int order;
  std::string title;
  std::function<void(DemoSession&)> run;
};

// Registers a step at load time; place one at namespace scope in the step's demo_<bill>.cpp.
class DemoStepRegistrar {
 public:
  explicit DemoStepRegistrar(DemoStep step);
};

// The registered steps in demo order.
std::vector<DemoStep> DemoSteps();

}  // namespace corva::cli::demo

#endif  // CORVA_TOOLS_DEMO_H_
