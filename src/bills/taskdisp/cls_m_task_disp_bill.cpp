// clsMTaskDispBill's late-bound face: the table that maps each operation name to its typed member
// (arguments read from the list, by-reference ones written back) and the ProgID registration.
#include "bills/taskdisp/cls_m_task_disp_bill.h"

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

int32_t LongOr(const Args& args, size_t index, int32_t fallback) {
  return Passed(args, index) ? args[index].AsLong() : fallback;
}

std::string TextOf(const Args& args, size_t index) {
  return Passed(args, index) ? args[index].ToText() : std::string();
}

// Writes a by-reference argument back when the caller passed its slot.
void WriteBack(Args& args, size_t index, Variant value) {
  if (index < args.size()) args[index] = std::move(value);
}

Variant CallGetBillNo(clsMTaskDispBill& self, Args& a) {
  int32_t bill_id = a[0].AsLong();
  int32_t loop_num = LongOr(a, 2, 0);
  bool is_save = Passed(a, 3) ? a[3].AsBool() : false;
  std::string numbers = self.GetBillNo(bill_id, a[1].AsString(), loop_num, is_save);
  WriteBack(a, 0, bill_id);
  if (Passed(a, 2)) WriteBack(a, 2, loop_num);
  if (Passed(a, 3)) WriteBack(a, 3, is_save);
  return numbers;
}

template <bool (clsMTaskDispBill::*kSave)(const std::string&, corva::VectorPtr&, std::string&)>
Variant CallSave(clsMTaskDispBill& self, Args& a) {
  corva::VectorPtr save_vect = a[1].As<corva::Vector>();
  std::string message = a[2].ToText();
  bool ok = (self.*kSave)(a[0].AsString(), save_vect, message);
  a[1] = save_vect;
  a[2] = message;
  return ok;
}

Variant CallSynWorkBillAndTaskDisp(clsMTaskDispBill& self, Args& a) {
  return self.SynWorkBillAndTaskDisp(a[0].AsString(), a[1].AsLong(), LongOr(a, 2, 0),
                                     LongOr(a, 3, 0));
}

Variant CallCheckTaskDispBill(clsMTaskDispBill& self, Args& a) {
  int32_t return_code = 0;
  std::string return_string = TextOf(a, 5);
  corva::Date check_date = Passed(a, 8) ? a[8].AsDate() : corva::Date{};
  bool ok = self.CheckTaskDispBill(a[0].AsString(), a[1].AsLong(), a[2].AsLong(), a[3].AsLong(),
                                   return_code, return_string, LongOr(a, 6, 0),
                                   LongOr(a, 7, kProcessCheck), check_date);
  WriteBack(a, 4, return_code);
  WriteBack(a, 5, return_string);
  return ok;
}

Variant CallDoAfterTaskDispBillCheck(clsMTaskDispBill& self, Args& a) {
  std::string message = a[7].ToText();
  bool ok =
      self.DoAfterTaskDispBillCheck(a[0].AsString(), a[1].AsLong(), a[2].AsLong(), a[3].AsLong(),
                                    a[4].AsLong(), a[5].AsLong(), a[6].AsLong(), message);
  a[7] = message;
  return ok;
}

Variant CallDeleteTDBill(clsMTaskDispBill& self, Args& a) {
  std::string message = TextOf(a, 2);
  int32_t result = self.DeleteTDBill(a[0].AsString(), a[1].AsLong(), message);
  WriteBack(a, 2, message);
  return result;
}

struct Operation {
  const char* name;
  size_t min_args;
  size_t max_args;
  Variant (*call)(clsMTaskDispBill&, Args&);
};

constexpr Operation kOperations[] = {
    {"GetBillNo", 2, 4, &CallGetBillNo},
    {"BeginSave", 3, 3, &CallSave<&clsMTaskDispBill::BeginSave>},
    {"EndSave", 3, 3, &CallSave<&clsMTaskDispBill::EndSave>},
    {"SynWorkBillAndTaskDisp", 2, 4, &CallSynWorkBillAndTaskDisp},
    {"CheckTaskDispBill", 5, 9, &CallCheckTaskDispBill},
    {"DoAfterTaskDispBillCheck", 8, 8, &CallDoAfterTaskDispBillCheck},
    {"DeleteTDBill", 2, 3, &CallDeleteTDBill},
};

const corva::host::ComponentRegistrar kRegistrar("CorvaMSHTransBills.clsMTaskDispBill",
                                                 corva::host::FactoryOf<clsMTaskDispBill>());

}  // namespace

Variant clsMTaskDispBill::Invoke(const std::string& name, std::vector<Variant>& args) {
  for (const Operation& operation : kOperations) {
    if (!corva::IEquals(name, operation.name)) continue;
    corva::RequireArgs(args, operation.min_args, operation.max_args);
    return operation.call(*this, args);
  }
  throw corva::NoSuchMethod(name);
}

}  // namespace CorvaMSHTransBills
