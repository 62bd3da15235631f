// What the stock-bill hook's handlers share: reading the host's DictParams, the sign that applies
// or reverses a bill, the tables a stock bill lives in, the per-call work names and close option,
// the failure keys, and the handler frame that ties them to the class's method frame.
#ifndef CORVA_SYNC_HOOK_FRAME_H_
#define CORVA_SYNC_HOOK_FRAME_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "corva/connection.h"
#include "corva/containers.h"
#include "frame/codes.h"
#include "frame/method_frame.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills::hook {

// A key of DictParams as a 32-bit integer, 0 when absent (late-binding conversion: "24" reads as
// 24; Null or text that is no number is an error).
int32_t LongKey(const corva::Dictionary& params, std::string_view key, int32_t fallback = 0);
// A key as text ("" for an absent key read with a text default).
std::string TextKey(const corva::Dictionary& params, std::string_view key);

// The sign spliced between a stored quantity and the bill's: "+" for the codes that apply a bill,
// "-" for those that reverse it. Any other code is rejected before a statement is composed (error
// 5, invalid procedure call or argument): without a sign no statement would be valid SQL.
std::string_view OperationSign(int32_t operate_code);
// The other sign: "-" when applying, "+" when reversing; the same error otherwise.
std::string_view OppositeSign(int32_t operate_code);

// The header (H) and entry (E) tables of a stock bill of type `tran_type`: ICStockBill and
// ICStockBillEntry, or with `bill_pos_tag` 1 the site's per-type tables ICStockBill_<type> and
// ICStockBillEntry_<type>.
std::string StockBillTable(int32_t tran_type, int32_t bill_pos_tag);
std::string StockBillEntryTable(int32_t tran_type, int32_t bill_pos_tag);

// The keys common to the handlers, read at the start of each.
struct HookKeys {
  int32_t TranType = 0;
  int32_t OperateCode = 0;
  int32_t InterID = 0;
  std::string sDsn;
  int32_t BillPosTag = 0;     // read only by the handlers that use it
  int32_t OperateDelete = 0;  // the same
};
// Which of the optional keys a handler reads, and where its messages' language comes from.
struct HandlerSetup {
  bool BillPosTag = false;
  bool OperateDelete = false;
  // true: GetLanguageID (default "chs") instead of the property string's "Language" ("cht").
  bool language_from_parse = false;
};

// The suffix of the call's temporary names (a fresh GUID without "-", "{", "}") and the close
// option of production tasks (SH "MO_CLOSEOPTION"). Without that setting there is no row to read
// and the call fails (error 3021).
struct WorkNames {
  std::string suffix;
  int32_t close_option = 0;
};
WorkNames ReadWorkNames(corva::Connection& connection);
// Whether a close option asks for the automatic close of tasks (bit 1 or 2; bit 4 only narrows).
inline bool ClosesTasks(int32_t close_option) {
  return (close_option & (kCloseWhenAllIssued | kCloseAtLowerReceiptLimit)) != 0;
}
// Only the suffix, for the handler that needs no close option.
std::string NewWorkSuffix(corva::Connection& connection);

// Writes the failure keys the host reads: "ErrCode", "ErrSource" (the TranType), "ErrDescription".
void WriteFailureKeys(corva::Dictionary& params, int32_t code, int32_t source,
                      const std::string& description);

// One handler in its frame: reads `which` keys of `params` into `keys`, sets up the class's data
// source from "sDsn" and runs `body` with the call's connection opened on first use. A key that
// cannot be read, a run-time error in `body` (error 10008 of the issue controls included) or a
// false from `body` votes SetAbort and gives false; errors also write the failure keys with the
// TranType read (0 when it was not). True from `body`: SetComplete, true.
bool RunHandler(corva::frame::ClassFrame& frame, const corva::DictionaryPtr& params,
                HandlerSetup which, HookKeys& keys,
                const std::function<bool(corva::frame::Call&)>& body);

// A batch assembled as the hooks send it: every line, the last included, ends with CR LF.
class Batch {
 public:
  // Adds `line` and CR LF.
  Batch& Line(std::string_view line) {
    text_.append(line);
    text_.append(kCrLf);
    return *this;
  }
  // Adds text that already ends its own lines (a statement composed elsewhere).
  Batch& Append(std::string_view text) {
    text_.append(text);
    return *this;
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace CorvaMSHTransBills::hook

#endif  // CORVA_SYNC_HOOK_FRAME_H_
