// Defaults of the maker's small outside components that the rules create by name: the security
// component (current user id), the data-access error checker and the system information service.
// A host that has its own replaces them with RegisterComponent.
#include <memory>
#include <string>
#include <vector>

#include "base/late_binding.h"
#include "corva/dispatch.h"
#include "corva/error.h"
#include "corva/recordset.h"
#include "frame/data_source.h"
#include "frame/method_frame.h"
#include "frame/parse.h"
#include "host/registry.h"

namespace corva::frame {
namespace {

// "PeltBase.SecurityInfo". GetCurrentUserID(propertyString): the logged-in user is the one the
// property string names, so the id is its "UserID" value as a Long (error 5 when the key is
// missing, 13 when it is not a number).
class SecurityInfo : public Dispatch {
 public:
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    if (!IEquals(name, "GetCurrentUserID")) throw NoSuchMethod(name);
    RequireArgs(args, 1, 1);
    frame::CParse parse;
    parse.ParseString(args[0].AsString());
    return parse.UserID();
  }
};

// "OrmiErrorHandle.CheckADOError". IsError(error) answers whether one entry of a connection's
// error list is a real error. Servers also report informational messages there ("changed database
// context", print output): those have the number 0 or an SQLSTATE of class "01" (warning) and do
// not count. `error` is an object with the properties Number and, optionally, SQLState (as a
// data-access error entry has them), or simply the error number.
class ErrorChecker : public Dispatch {
 public:
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    if (!IEquals(name, "IsError")) throw NoSuchMethod(name);
    RequireArgs(args, 1, 1);
    return IsError(args[0]);
  }

 private:
  static bool IsError(const Variant& error) {
    if (error.Type() != VarType::kObject) return error.AsLong() != 0;
    auto entry = error.As<Dispatch>();
    if (!entry) return false;
    std::vector<Variant> none;
    if (entry->Invoke("Number", none).AsLong() == 0) return false;
    std::string state;
    try {
      state = entry->Invoke("SQLState", none).ToText();
    } catch (const Error&) {
      // An entry without a state is judged by its number alone.
    }
    return state.rfind("01", 0) != 0;
  }
};

// "DocStore.SysInfo": the host's accounting-system information. The rules call one method,
// GetPeriodStartDate(sDsn): the first day of the current accounting period, which the production
// task report's period control compares report dates with. This default reads the period the
// way the rest of the library does: the IC settings "CurrentYear" and "CurrentPeriod" name a row
// of T_PeriodDate, read on a connection of the caller's database (in the caller's transaction
// when it runs in one). No such period is an error: a site that controls reports by period must
// keep its periods. Other methods answer error 438.
class SysInfo : public Dispatch {
 public:
  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    if (!IEquals(name, "GetPeriodStartDate")) throw NoSuchMethod(name);
    RequireArgs(args, 1, 1);
    return GetPeriodStartDate(args[0].AsString());
  }

 private:
  static Variant GetPeriodStartDate(const std::string& sDsn) {
    auto parse = std::make_shared<CParse>();
    if (!parse->ParseString(sDsn)) throw Error(kErrParseString, "ParseString", "");
    CDataSource source;
    source.SetParseObject(parse);
    RecordsetPtr period = source.Connection()->Execute(
        "SELECT FStartDate FROM T_PeriodDate "
        "WHERE FYear=(SELECT TOP 1 ISNULL(FValue,0) FROM t_SystemProfile WHERE FKey "
        "='CurrentYear' AND FCategory='IC') "
        "AND FPeriod=(SELECT TOP 1 ISNULL(FValue,0) FROM t_SystemProfile WHERE FKey "
        "='CurrentPeriod' AND FCategory='IC')");
    if (period->Eof() || period->Fields(0).IsNull()) {
      throw Error(kErrInvalidProcedureCall, "DocStore.SysInfo",
                  "当前会计期间未定义,无法取得期间开始日期。");
    }
    return period->Fields(0).AsDate();
  }
};

const host::ComponentRegistrar kSecurityInfo("PeltBase.SecurityInfo",
                                             host::FactoryOf<SecurityInfo>());
const host::ComponentRegistrar kErrorChecker("OrmiErrorHandle.CheckADOError",
                                             host::FactoryOf<ErrorChecker>());
const host::ComponentRegistrar kSysInfo("DocStore.SysInfo", host::FactoryOf<SysInfo>());

}  // namespace
}  // namespace corva::frame
