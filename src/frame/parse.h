// CParse: the caller's property string (sDsn) read into named properties: connection string, user,
// database product and language. Every public class and every CDataSource holds one.
#ifndef CORVA_FRAME_PARSE_H_
#define CORVA_FRAME_PARSE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corva::frame {

// The property string is "key=value" pairs separated by ";"; a value holding ";" or "=" (the
// connection string always does) is written in braces: "ConnectString={Provider=...;Data
// Source=...};UserID=16394;Language=en". Keys compare without regard to case and may occur once.
// Not thread-safe; owned by one class instance (or one thread).
class CParse {
 public:
  // The property string last passed to ParseString.
  const std::string& PropsString() const { return m_PropsString; }

  // Replaces the properties by those of `props_string`. Returns true (the only result it gives;
  // the class's initializer still checks it). Throws corva::Error 457 for a key given twice; the
  // pairs before it stay read.
  bool ParseString(const std::string& props_string);

  // The value stored under `name`. Throws corva::Error 5 when the string has no such key.
  const std::string& GetProperty(std::string_view name) const;

  // The named properties; each throws error 5 when its key is missing.
  const std::string& UserName() const { return GetProperty("UserName"); }
  // "UserID" as a whole number: error 13 when it is not numeric, 6 beyond 32 bits.
  int32_t UserID() const;
  const std::string& ConDBMSName() const { return GetProperty("DBMS Name"); }
  const std::string& ConDBMSVersion() const { return GetProperty("DBMS Version"); }
  const std::string& ConStr() const { return GetProperty("ConnectString"); }
  const std::string& LanguageID() const { return GetProperty("Language"); }
  // True for an industry account: "AcctType" is "GY" in any letter case.
  bool IsIndustry() const;

  // Number of properties read, in the order read (for diagnostics and tests).
  const std::vector<std::pair<std::string, std::string>>& Properties() const { return m_Props; }

 private:
  std::string m_PropsString;
  std::vector<std::pair<std::string, std::string>> m_Props;  // key as written -> value
};

}  // namespace corva::frame

#endif  // CORVA_FRAME_PARSE_H_
