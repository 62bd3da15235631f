// clsMWorkBill's late-bound face: the table that maps each operation name to its typed member
// (arguments read from the list, by-reference ones written back) and the ProgID registration.
#include "bills/workbill/cls_m_work_bill.h"

#include <string>

#include "base/late_binding.h"
#include "host/registry.h"

namespace CorvaMSHTransBills {
namespace {

using corva::Variant;
using Args = std::vector<Variant>;

// An optional argument the caller may have left out (or passed as Empty).
bool Passed(const Args& args, size_t index) {
  return index < args.size() && !args[index].IsEmpty();
}

Variant CallGetThisBillNo(clsMWorkBill& self, Args& a) {
  int32_t loop_num = Passed(a, 1) ? a[1].AsLong() : 0;
  bool is_save = Passed(a, 2) ? a[2].AsBool() : false;
  std::string numbers = self.GetThisBillNo(a[0].AsString(), loop_num, is_save);
  if (a.size() > 1) a[1] = loop_num;
  if (a.size() > 2) a[2] = is_save;
  return numbers;
}

template <bool (clsMWorkBill::*kSave)(const std::string&, corva::VectorPtr&, std::string&)>
Variant CallSave(clsMWorkBill& self, Args& a) {
  corva::VectorPtr save_vect = a[1].As<corva::Vector>();
  std::string message = a[2].ToText();
  bool ok = (self.*kSave)(a[0].AsString(), save_vect, message);
  a[1] = save_vect;
  a[2] = message;
  return ok;
}

Variant CallPostCheck(clsMWorkBill& self, Args& a) {
  std::string message = Passed(a, 5) ? a[5].ToText() : std::string();
  bool ok = self.PostCheck(a[0].AsString(), a[1].AsLong(), a[2].AsLong(), a[3].AsLong(),
                           a[4].AsLong(), message);
  if (a.size() > 5) a[5] = message;
  return ok;
}

Variant CallAutoCloseBill(clsMWorkBill& self, Args& a) {
  std::string message = a[3].ToText();
  bool ok = self.AutoCloseBill(a[0].AsString(), a[1].AsLong(), a[2].AsLong(), message);
  a[3] = message;
  return ok;
}

struct Operation {
  const char* name;
  size_t min_args;
  size_t max_args;
  Variant (*call)(clsMWorkBill&, Args&);
};

constexpr Operation kOperations[] = {
    {"GetThisBillNo", 1, 3, &CallGetThisBillNo},
    {"BeginSave", 3, 3, &CallSave<&clsMWorkBill::BeginSave>},
    {"EndSave", 3, 3, &CallSave<&clsMWorkBill::EndSave>},
    {"PostCheck", 5, 6, &CallPostCheck},
    {"AutoCloseBill", 4, 4, &CallAutoCloseBill},
};

const corva::host::ComponentRegistrar kRegistrar("CorvaMSHTransBills.clsMWorkBill",
                                                 corva::host::FactoryOf<clsMWorkBill>());

}  // namespace

Variant clsMWorkBill::Invoke(const std::string& name, std::vector<Variant>& args) {
  for (const Operation& operation : kOperations) {
    if (!corva::IEquals(name, operation.name)) continue;
    corva::RequireArgs(args, operation.min_args, operation.max_args);
    return operation.call(*this, args);
  }
  throw corva::NoSuchMethod(name);
}

}  // namespace CorvaMSHTransBills
