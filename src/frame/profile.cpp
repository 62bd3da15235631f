// Reading site settings and the login user.
#include "frame/profile.h"

#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"

namespace corva::frame {

Variant GetSystemProfile(const CDataSource& ds, const std::string& key, const std::string& category,
                         const Variant& fallback) {
  Command command(ds.Connection(),
                  "Select FValue From t_SystemProfile Where FCategory = ? And FKey = ?");
  command.AppendParameter(ParamType::kVarWChar, 30, category);
  command.AppendParameter(ParamType::kVarWChar, 30, key);
  RecordsetPtr rs = command.Execute();
  if (rs->Eof()) return fallback.IsEmpty() ? Variant(std::string()) : fallback;
  return rs->Fields("FValue");
}

int32_t GetLoginUserID(const CDataSource& ds) {
  if (!ds.ParseObject()) throw Error::Runtime(kErrObjectNotSet);
  std::shared_ptr<Dispatch> security = GetObjectContext().CreateInstance("PeltBase.SecurityInfo");
  std::vector<Variant> args{ds.ParseObject()->PropsString()};
  return security->Invoke("GetCurrentUserID", args).AsLong();
}

}  // namespace corva::frame
