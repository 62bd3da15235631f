// Fuzz target: the caller's property string (sDsn) as every class reads it, through CParse and the
// module functions that scan the text. Reading either gives values or fails with corva::Error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "corva/error.h"
#include "frame/globals.h"
#include "frame/parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  corva::frame::CParse parse;
  try {
    parse.ParseString(text);
  } catch (const corva::Error&) {
  }
  for (const char* key : {"ConnectString", "UserName", "UserID", "Language", "DBMS Name"}) {
    try {
      parse.GetProperty(key);
    } catch (const corva::Error&) {
    }
  }
  try {
    parse.UserID();
  } catch (const corva::Error&) {
  }
  try {
    parse.IsIndustry();
  } catch (const corva::Error&) {
  }
  corva::frame::GetDsnValue(text, "Language");
  corva::frame::GetLanguageID(text);
  corva::frame::GetEditionName(text, "CorvaMPlanCheckBill.CheckNow");
  return 0;
}
