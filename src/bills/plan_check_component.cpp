// The default plan-check component: closing and re-opening operation plan bill operations, and
// the rights options of bill checks read from t_SystemProfile.
#include "bills/plan_check_component.h"

#include <cstdlib>
#include <string>

#include "base/late_binding.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/messages.h"
#include "frame/profile.h"
#include "host/registry.h"

namespace corva::bills {
namespace {

using frame::Call;
using frame::LoadResMsg;

// Operation statuses of SHWorkBillEntry: 0 planned, 1 checked (released), 3 closed.
constexpr int32_t kOperationPlanned = 0;
constexpr int32_t kOperationChecked = 1;
constexpr int32_t kOperationClosed = 3;

// The setting behind one rights option of one bill type.
struct BillControlSetting {
  int32_t bill_type;
  int32_t control;
  const char* key;  // category "SH"
};

constexpr BillControlSetting kBillControlSettings[] = {
    {502, kBillControlMakerMayCheck, "TASKDISP_MAKERMAYCHECK"},
    {502, kBillControlOnlyCheckerUnchecks, "TASKDISP_ONLYCHECKERUNCHECKS"},
};

// The answer without a setting restricts nothing: makers may check their own bills, anyone may
// uncheck.
bool NeutralAnswer(int32_t control) { return control == kBillControlMakerMayCheck; }

// A setting's text read as a yes (non-zero number) or no (0); `neutral` for anything else.
bool SettingAsBool(const Variant& value, bool neutral) {
  std::string text = value.ToText();
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return neutral;
  const char* begin = text.c_str() + first;
  char* end = nullptr;
  double number = std::strtod(begin, &end);
  if (end == begin || std::string(end).find_first_not_of(' ') != std::string::npos) return neutral;
  return number != 0;
}

std::string Number(int32_t value) { return std::to_string(value); }

}  // namespace

bool PlanCheckComponent::CheckWorkBill(const std::string& sDsn, int32_t lngWBInterID,
                                       int32_t lngEmpID, int32_t CheckSwitch, std::string& sMsg,
                                       Optional<int32_t, kPlanCheckNoOptions> /*lngOptions*/,
                                       Optional<int32_t, kPlanCheckProcessClose> ProcessStatus) {
  return frame_.Run(sDsn, sMsg, {}, [&](Call& call) {
    if (ProcessStatus != kPlanCheckProcessClose) {
      return call.Refuse(LoadResMsg("计划检查组件只处理工序计划单的关闭和反关闭！", call.lang()));
    }
    const ConnectionPtr& db = call.Connection();
    RecordsetPtr operation =
        db->Execute("Select FStatus from SHWorkBillEntry Where FWBInterID=" + Number(lngWBInterID));
    if (operation->Eof()) return call.Refuse(LoadResMsg("对应的工序计划单不存在！", call.lang()));
    int32_t status = ValueOr(operation->Fields("FStatus"), 0).AsLong();
    if (status == kOperationPlanned) {
      return call.Refuse(
          LoadResMsg("对应的工序计划单处于计划状态，不能执行关闭或反关闭操作！", call.lang()));
    }
    bool closing = CheckSwitch == kPlanCheckClose;
    if (closing && status == kOperationClosed) {
      return call.Refuse(LoadResMsg("工序计划单已经关闭，不能再次关闭！", call.lang()));
    }
    if (!closing && status != kOperationClosed) {
      return call.Refuse(LoadResMsg("工序计划单尚未关闭，不能反关闭！", call.lang()));
    }
    // The acting user becomes the operation's checker: the one who closed it, or who released it
    // again. 0 names nobody.
    std::string checker = lngEmpID != 0 ? Number(lngEmpID) : std::string("Null");
    db->Execute("Update SHWorkBillEntry Set FStatus=" +
                Number(closing ? kOperationClosed : kOperationChecked) + ",FCheckerID=" + checker +
                " Where FWBInterID=" + Number(lngWBInterID));
    return true;
  });
}

bool PlanCheckComponent::GetBillControl(std::string& sDsn, int32_t lngControl,
                                        int32_t lngBillType) {
  bool answer = NeutralAnswer(lngControl);
  frame_.Run(sDsn, {.connect = false, .trap = false}, [&](Call& call) {
    for (const BillControlSetting& setting : kBillControlSettings) {
      if (setting.bill_type != lngBillType || setting.control != lngControl) continue;
      Variant value = frame::GetSystemProfile(call.DataSource(), setting.key, "SH");
      answer = SettingAsBool(value, answer);
    }
  });
  return answer;
}

namespace {

using host::Bind;
constexpr host::Operation<PlanCheckComponent> kOperations[] = {
    Bind<&PlanCheckComponent::CheckWorkBill>(
        "CheckWorkBill",
        "sDsn, lngWBInterID, lngEmpID, CheckSwitch, sMsg, lngOptions, ProcessStatus"),
    Bind<&PlanCheckComponent::GetBillControl>("GetBillControl", "sDsn, lngControl, lngBillType"),
};
const host::ClassBinding<PlanCheckComponent> kBinding(kPlanCheckProgID, kOperations);

}  // namespace

}  // namespace corva::bills
