// What the save, check, delete and quality rules of clsMProcRpt share: reading ids from rows and
// the host's values, and the procedure code of a report's base-unit quantities, which depends on
// whether the site keeps operation-unit quantities too.
#ifndef CORVA_BILLS_PROCRPT_REPORT_COMMON_H_
#define CORVA_BILLS_PROCRPT_REPORT_COMMON_H_

#include <cstdint>

#include "corva/decimal.h"
#include "corva/variant.h"
#include "frame/codes.h"
#include "frame/method_frame.h"
#include "frame/profile.h"

namespace CorvaMSHTransBills::procrpt {

// An id or code of a row, Null read as 0.
inline int32_t LongOr0(const corva::Variant& value) { return corva::ValueOr(value, 0).AsLong(); }

// A quantity of a row, exactly as the decimal column holds it, Null read as 0.
inline corva::Decimal QuantityOr0(const corva::Variant& value) {
  return corva::ValueOr(value, 0).AsDecimal();
}

// The numeric value of a host's value: 0 for anything that does not read as a number.
inline int32_t NumericValue(const corva::Variant& value) {
  return value.IsNumeric() ? value.AsLong() : 0;
}

// The procedure code of the report's base-unit quantities: 5821 under shop conversion management
// (the "SH" setting reads as the number 1), when the operation-unit quantities are kept too; else
// 582.
inline int32_t ReportDoubleQtyCode(corva::frame::Call& call) {
  corva::Variant setting =
      corva::frame::GetSystemProfile(call.DataSource(), "ShopConversionManage", "SH");
  const bool conversion =
      setting.IsNumeric() && setting.AsDecimal() == corva::Decimal::FromInt64(1);
  return conversion ? kBillTypeProcRptConversion : kBillTypeProcRpt;
}

}  // namespace CorvaMSHTransBills::procrpt

#endif  // CORVA_BILLS_PROCRPT_REPORT_COMMON_H_
