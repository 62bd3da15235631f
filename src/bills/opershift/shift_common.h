// What the save, check and delete rules of clsMOperShift share: reading ids and quantities, the
// message of a failed write-back into an operation, and the question to clsPublic whether a
// closed, cancelled or suspended operation or production task locks a shift bill.
#ifndef CORVA_BILLS_OPERSHIFT_SHIFT_COMMON_H_
#define CORVA_BILLS_OPERSHIFT_SHIFT_COMMON_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/decimal.h"
#include "corva/dispatch.h"
#include "corva/variant.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/method_frame.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills::opershift {

inline constexpr char kPublicProgID[] = "CorvaMSHTransBills.clsPublic";
inline constexpr char kWorkBillProgID[] = "CorvaMSHTransBills.clsMWorkBill";

// An id or code of a row, Null read as 0.
inline int32_t LongOr0(const corva::Variant& value) { return corva::ValueOr(value, 0).AsLong(); }

// A quantity of a row, exactly as the decimal column holds it, Null read as 0.
inline corva::Decimal QuantityOr0(const corva::Variant& value) {
  return corva::ValueOr(value, 0).AsDecimal();
}

// "反写工序计划单[id]移转数量失败！", localized.
inline std::string WriteBackFailedMessage(int32_t operation, const std::string& lang) {
  return corva::frame::LoadResMsg("反写工序计划单[", lang) + SqlNumber(operation) +
         corva::frame::LoadResMsg("]移转数量失败！", lang);
}

// Whether shift bill `bill` is locked by a bill above it on its receiving or its sending side, as
// clsPublic sees it in the call's transaction (a chain that cannot be read counts as locked).
inline bool LockedByUpperBills(corva::frame::Call& call, int32_t bill) {
  auto common = call.CreateInstance(kPublicProgID);
  std::vector<corva::Variant> args{call.sDsn(), bill, kBillTypeOperShift};
  return common->Invoke("IsLockByUpperBills", args).AsBool();
}

}  // namespace CorvaMSHTransBills::opershift

#endif  // CORVA_BILLS_OPERSHIFT_SHIFT_COMMON_H_
