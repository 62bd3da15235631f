// Opening the connections every rule works on, the process-wide cache of provider facts and
// column types, and the check of a connection's collected errors.
#include "frame/data_source.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "corva/dispatch.h"
#include "corva/error.h"
#include "corva/host.h"

namespace corva::frame {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kSupportedProcSql = "SELECT FProcName FROM t_SupportedProc";

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool Missing(const Variant& v) { return v.IsEmpty() || v.IsNull(); }

// A fact read as the reader's type: Empty or Null (nothing cached) reads as False, 0 or "".
bool FactAsBool(const Variant& v) { return Missing(v) ? false : v.AsBool(); }
int32_t FactAsLong(const Variant& v) { return Missing(v) ? 0 : v.AsLong(); }

// One entry of a connection's error list as the error checker sees it: an object with the
// properties a data-access error entry has. Our errors carry the database's native number as
// their number, so Number and NativeError are the same; the embedded engine and the ODBC layer
// report no SQLSTATE per error, so SQLState is empty (the checker then judges by the number).
class ErrorEntry : public Dispatch {
 public:
  explicit ErrorEntry(const Error& error) : error_(error) {}

  Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
    if (!args.empty()) throw Error::Runtime(kErrWrongArgumentCount);
    if (SameName(name, "Number") || SameName(name, "NativeError")) return error_.Number();
    if (SameName(name, "Source")) return error_.Source();
    if (SameName(name, "Description")) return error_.Description();
    if (SameName(name, "SQLState")) return std::string();
    throw Error::Runtime(kErrNoSuchMethod);
  }

 private:
  Error error_;
};

}  // namespace

const CParse& CDataSource::Parse() const {
  if (!m_Parse) throw Error::Runtime(kErrObjectNotSet);
  return *m_Parse;
}

ConnectionPtr CDataSource::Connection() const {
  const std::string& connect_string = ConnectString();
  auto connection = std::make_shared<corva::Connection>();
  connection->Open(connect_string);
  // Rules must never read another transaction's uncommitted quantities.
  connection->Execute("SET TRANSACTION ISOLATION LEVEL READ COMMITTED");
  return connection;
}

ConnectionPtr CDataSource::UnCommittedConnection() const {
  const std::string& connect_string = ConnectString();
  auto connection = std::make_shared<corva::Connection>();
  connection->Open(connect_string);
  connection->Execute("SET TRANSACTION ISOLATION LEVEL READ UnCOMMITTED");
  return connection;
}

std::string CDataSource::GroupPrefix() const {
  return Parse().ConDBMSName() + Parse().ConDBMSVersion();
}

// ---- Provider facts ----------------------------------------------------------------------------

std::string CDataSource::DBMSVersion() const { return GetCachedInfo("DBMSVersion").ToText(); }
bool CDataSource::MultipleResults() const { return FactAsBool(GetCachedInfo("MultipleResults")); }
bool CDataSource::LikeEscapeClause() const { return FactAsBool(GetCachedInfo("LikeEscapeClause")); }
bool CDataSource::IEF() const { return FactAsBool(GetCachedInfo("IEF")); }
int32_t CDataSource::NumericFunctions() const {
  return FactAsLong(GetCachedInfo("NumericFunctions"));
}
int32_t CDataSource::StringFunctions() const {
  return FactAsLong(GetCachedInfo("StringFunctions"));
}
int32_t CDataSource::SystemFunctions() const {
  return FactAsLong(GetCachedInfo("SystemFunctions"));
}
int32_t CDataSource::DateTimeFunctions() const {
  return FactAsLong(GetCachedInfo("DateTimeFunctions"));
}

bool CDataSource::ProcSupported(const std::string& ProcName) const {
  auto procs = GetCachedInfo("SupportedProc").As<Dictionary>();
  return procs && procs->Contains(ProcName);
}

Variant CDataSource::GetCachedInfo(const std::string& name) const {
  std::string group_name = GroupPrefix() + "DataSource";
  SharedPropertyGroupPtr group = CreatePropertyGroup(group_name);
  Variant connected = group->Value("Connected");
  bool filled = connected.Type() == VarType::kBoolean && connected.AsBool();
  // Two threads may both find the group unfilled and both fill it; they write the same values.
  if (!filled) filled = LoadDBMSInfo(group_name, /*raise=*/false);
  if (!filled) return Variant();
  return group->Value(name);
}

bool CDataSource::LoadDBMSInfo(const std::string& group_name, bool raise) const {
  ConnectionPtr cn;
  SharedPropertyGroupPtr group;
  try {
    cn = Connection();
    group = CreatePropertyGroup(group_name);
  } catch (const Error&) {
    if (raise) throw;
    return false;
  }

  // From here on a step that fails is skipped: the facts a provider cannot tell stay unknown.
  auto step = [](auto&& action) {
    try {
      action();
    } catch (const Error&) {
    }
  };
  auto fact = [&](const char* provider_name) { return cn->Properties(provider_name); };
  step([&] {
    Variant v = fact("DBMS Name");
    group->SetValue("DBMSName", Missing(v) ? std::string() : v.AsString());
  });
  step([&] {
    Variant v = fact("DBMS Version");
    group->SetValue("DBMSVersion", Missing(v) ? std::string() : v.AsString());
  });
  step([&] {
    Variant v = fact("Multiple Results");
    group->SetValue("MultipleResults", Missing(v) ? Variant(false) : v);
  });
  step([&] {
    Variant v = fact("Like Escape Clause");
    group->SetValue("LikeEscapeClause", (Missing(v) ? std::string("N") : v.AsString()) == "Y");
  });
  step([&] {
    Variant v = fact("Integrity Enhancement Facility");
    group->SetValue("IEF", Missing(v) ? Variant(false) : v);
  });
  step([&] { group->SetValue("NumericFunctions", fact("Numeric Functions")); });
  step([&] { group->SetValue("StringFunctions", fact("String Functions")); });
  step([&] { group->SetValue("SystemFunctions", fact("System Functions")); });
  step([&] { group->SetValue("DateTimeFunctions", fact("Time/Date Functions")); });

  // The site's stored procedures; a database without the table offers none.
  DictionaryPtr procs = MakeDictionary();
  step([&] {
    RecordsetPtr rs = cn->Execute(kSupportedProcSql);
    while (!rs->Eof()) {
      procs->SetValue(rs->Fields("FProcName").ToText(), true);
      rs->MoveNext();
    }
    rs->Close();
  });
  group->SetValue("SupportedProc", procs);

  step([&] { group->SetValue("ConnectString", ConnectString()); });
  group->SetValue("Connected", true);
  step([&] { cn->Close(); });
  return true;
}

// ---- Column types ------------------------------------------------------------------------------

void CDataSource::LoadDataTypeInfo(SharedPropertyGroup& group) const {
  corva::Connection cn;
  cn.Open(ConnectString());
  RecordsetPtr rs = cn.Execute("select * from t_DataTypeInfo");
  while (!rs->Eof()) {
    group.SetValueAt(rs->Fields("FDataType").AsLong(), RecordToDictionary(*rs));
    rs->MoveNext();
  }
}

DictionaryPtr CDataSource::GetDataTypeRow(int32_t FDataType) const {
  bool existed = false;
  SharedPropertyGroupPtr group = CreatePropertyGroup(GroupPrefix() + "DataTypeInfo", &existed);
  if (!existed) LoadDataTypeInfo(*group);
  return group->ValueAt(FDataType).As<Dictionary>();
}

namespace {

// The row of a type code; error 91 for a code t_DataTypeInfo does not hold.
DictionaryPtr RequireRow(DictionaryPtr row) {
  if (!row) throw Error::Runtime(kErrObjectNotSet);
  return row;
}

// Limits `length` to the type's maximum precision and `scale` to its scale range, where given.
void LimitLengthAndScale(const Dictionary& row, int32_t& length, int32_t& scale) {
  Variant max_precision = row.Value("FMaxPrecision");
  Variant min_scale = row.Value("FMinScale");
  Variant max_scale = row.Value("FMaxScale");
  if (!Missing(max_precision)) length = std::min(length, max_precision.AsLong());
  if (!Missing(min_scale)) scale = std::max(scale, min_scale.AsLong());
  if (!Missing(max_scale)) scale = std::min(scale, max_scale.AsLong());
}

}  // namespace

std::string CDataSource::GetTypeName(int32_t FDataType, int32_t& length, int32_t& scale) const {
  DictionaryPtr row = RequireRow(GetDataTypeRow(FDataType));
  LimitLengthAndScale(*row, length, scale);
  std::string name = row->Value("FTypeName").ToText();
  // A type with a maximum precision takes a length; one with scale limits also a scale.
  if (Missing(row->Value("FMaxPrecision"))) return name;
  name += "(" + std::to_string(length);
  if (!Missing(row->Value("FMinScale")) || !Missing(row->Value("FMaxScale"))) {
    name += "," + std::to_string(scale);
  }
  return name + ")";
}

int32_t CDataSource::GetActualType(int32_t FDataType, int32_t& length, int32_t& scale) const {
  DictionaryPtr row = RequireRow(GetDataTypeRow(FDataType));
  LimitLengthAndScale(*row, length, scale);
  Variant actual_size = row->Value("FActualSize");
  if (!Missing(actual_size)) length = actual_size.AsLong();
  return row->Value("FActualType").AsLong();
}

int32_t CDataSource::GetBindType(int32_t FDataType) const {
  return RequireRow(GetDataTypeRow(FDataType))->Value("FBindType").AsLong();
}

// ---- Errors --------------------------------------------------------------------------------

bool CDataSource::HasADOError(const corva::Connection& cn, bool bRaise) const {
  const std::vector<Error>& errors = cn.Errors();
  if (errors.empty()) return false;

  bool counted = false;
  int32_t number = 0;
  std::string text;
  std::shared_ptr<Dispatch> checker;
  try {
    checker = CreateObject("OrmiErrorHandle.CheckADOError");
  } catch (const Error& failure) {
    // Without the checker no entry can be judged; the failure itself is reported as the error, so
    // that the connection's errors are never silently taken for harmless.
    counted = true;
    number = failure.Number();
    text += "Number:" + std::to_string(failure.Number()) + kCrLf +
            "Description:" + failure.Description() + kCrLf;
  }
  for (const Error& error : errors) {
    if (checker) {
      std::vector<Variant> args{Variant(std::make_shared<ErrorEntry>(error))};
      if (checker->Invoke("IsError", args).AsBool()) {
        counted = true;
        number = error.Number();
      }
    }
    std::string n = std::to_string(error.Number());
    text += "Number:" + n + kCrLf + "Source:" + error.Source() + kCrLf +
            "Description:" + error.Description() + kCrLf + "NativeError:" + n + kCrLf +
            "SQLState:" + kCrLf;
  }
  if (bRaise && counted) throw Error(number, "CorvaMSHTransBills", text);
  return counted;
}

DictionaryPtr RecordToDictionary(const Recordset& rs) {
  DictionaryPtr record = MakeDictionary();
  // A name that occurs twice in the select list keeps its last value.
  for (int32_t i = 0; i < rs.FieldCount(); ++i) record->SetValue(rs.FieldName(i), rs.Fields(i));
  return record;
}

}  // namespace corva::frame
