// clsPublic's view of the bill chain: the status row of a bill and of every bill above it
// (production task <- work bill operation <- task dispatch entry <- operation report; shift bills
// hang under the work bill operations they move between, task reports under their source), and
// whether a closed, cancelled or suspended bill above locks the one asked about.
#include <optional>
#include <string>

#include "corva/error.h"
#include "frame/codes.h"
#include "frame/sql_text.h"
#include "shared/cls_public.h"

namespace CorvaMSHTransBills {
namespace {

using corva::DictionaryPtr;
using corva::RecordsetPtr;
using corva::Variant;
using corva::VectorPtr;
using corva::frame::Call;
using corva::frame::FrameVote;

// Bills refer only upward and the longest chain has four links; a chain longer than this can only
// be a loop in the data (a report line naming itself as its source), which counts as unreadable.
constexpr int kMaxChainLength = 16;

// The status row of bill `id` of `type`, or none for a type outside the chain. Every row has the
// same columns: FTransID, FTemplateID, FInterID, FBillNo, FStatus, FCancellation, FClosed,
// FSuspend, FUpperTransID, FUpperInterID. A shift bill's upper bill is its receiving operation
// (`options` 0) or its sending one (any other value).
std::optional<std::string> BillRowQuery(int32_t id, int32_t type, int32_t options) {
  const std::string key = SqlNumber(id);
  switch (type) {
    case kBillTypeICMO:
      return "Select 85 as FTransID,'J01' as FTemplateID,FInterID"
             ",FBillNo,FStatus,FCancellation,FClosed"
             ",FSuspend,0 as FUpperTransID, 0 as FUpperInterID "
             " from ICMO"
             " Where FInterID = " +
             key;
    case kBillTypeWorkBill:
      return "Select 52 as FTransID,'Z03' as FTemplateID,u1.FWBInterID as FInterID"
             ",u1.FWorkBillNo as FBillNo,u1.FStatus,u1.FCancellation,u1.FClose as FClosed"
             ",0 as FSuspend,85 as FUpperTransID, v1.FICMOInterID as FUpperInterID "
             " from SHWorkBillEntry u1, SHWorkBill v1"
             " Where u1.FInterID = v1.FInterID and u1.FWBInterID = " +
             key;
    case kBillTypeTaskDisp:
      return "Select 502 as FTransID,'Z10' as FTemplateID,u1.FTaskDispInterID as FInterID"
             ",u1.FBillNum as FBillNo,u1.FStatus,u1.FCancellation,u1.FClose as FClosed"
             ",0 as FSuspend,52 as FUpperTransID, v1.FWorkBillInterID as FUpperInterID "
             " from ICTaskDispBillEntry u1, ICTaskDispBill v1"
             " Where u1.FInterID = v1.FInterID and u1.FTaskDispInterID = " +
             key;
    case kBillTypeICMORpt:
      // A report is asked by its bill id; its first line names the source the chain follows.
      return "Select 551 as FTransID,'J11' as FTemplateID,t2.FInterID as FInterID"
             ",t1.FBillNo as FBillNo,t1.FStatus,t1.FCancellation,0 as FClosed"
             ",0 as FSuspend,t2.FSourceTranType as FUpperTransID, t2.FSourceInterID as "
             "FUpperInterID "
             " from ICMORptEntry t2, icmorpt t1"
             " Where t2.FInterID = t1.FInterID and t2.FInterID = " +
             key;
    case kBillTypeOperShift:
      return std::string(
                 "Select 581 as FTransID,'Y51' as FTemplateID,FInterID"
                 ",FBillNo,FStatus,FCancellation,FClose as FClosed"
                 ",0 as FSuspend,52 as FUpperTransID, ") +
             (options != 0 ? "FOutWBInterID" : "FInWBInterID") +
             " as FUpperInterID "
             " from ICOperShift"
             " Where FInterID = " +
             key;
    case kBillTypeProcRpt:
      return "Select 582 as FTransID,'Y52' as FTemplateID,FInterID"
             ",FBillNo,FStatus,FCancellation,0 as FClosed"
             ",0 as FSuspend,502 as FUpperTransID, FTaskDispBillID as FUpperInterID "
             " from SHProcRptMain"
             " Where FInterID = " +
             key;
    default:
      return std::nullopt;
  }
}

int32_t LongOrZero(const Variant& value) { return corva::ValueOr(value, 0).AsLong(); }

// Appends the status rows of bill `id` of `type` and, with `upper_include`, of the bills above it
// to `chain`, nearest first. False when the id or type is 0, a type is outside the chain or a bill
// is missing; rows appended before that stay. Database errors reach the caller.
bool ReadChain(const corva::ConnectionPtr& connection, int32_t id, int32_t type, int32_t options,
               bool upper_include, const VectorPtr& chain) {
  for (int links = 0; links < kMaxChainLength; ++links) {
    if (id == 0 || type == 0) return false;
    std::optional<std::string> sql = BillRowQuery(id, type, options);
    if (!sql) return false;
    RecordsetPtr rs = connection->Execute(*sql);
    if (rs->Eof()) return false;
    DictionaryPtr row = corva::MakeDictionary();
    for (int32_t i = 0; i < rs->FieldCount(); ++i) row->SetValue(rs->FieldName(i), rs->Fields(i));
    rs->Close();
    if (!chain) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    chain->Add(row);

    const int32_t upper_type = LongOrZero(row->Value("FUpperTransID"));
    const int32_t upper_id = LongOrZero(row->Value("FUpperInterID"));
    if (!upper_include || upper_type <= 0 || upper_id <= 0) return true;
    // The bill above is followed on its own receiving side.
    id = upper_id;
    type = upper_type;
    options = 0;
  }
  return false;
}

bool Is(const Variant& value, int32_t code) { return !value.IsNull() && value.AsDouble() == code; }

// A bill that is closed (status 3 or its close flag), cancelled or suspended locks the bills
// below it.
bool LocksBelow(const corva::Dictionary& row) {
  return Is(row.Value("FStatus"), kBillStatusClosed) || Is(row.Value("FCancellation"), kFlagSet) ||
         Is(row.Value("FClosed"), kFlagSet) || Is(row.Value("FSuspend"), kFlagSet);
}

}  // namespace

bool clsPublic::GetRelatedBillStatus(const std::string& sDsn, int32_t lngInterID,
                                     int32_t lngTransType, const VectorPtr& vctRtnBillInfo,
                                     corva::Optional<int32_t> lngOptions,
                                     corva::Optional<bool, true> bUpperInclude) {
  // Only reads: the caller's transaction is left to the caller's vote.
  return frame_.Run(sDsn, {.vote = false, .connect = false}, [&](Call& call) {
    if (lngInterID == 0 || lngTransType == 0 || !BillRowQuery(lngInterID, lngTransType, 0)) {
      return false;
    }
    return ReadChain(call.Connection(), lngInterID, lngTransType, lngOptions, bUpperInclude,
                     vctRtnBillInfo);
  });
}

bool clsPublic::IsLockByUpperBills(const std::string& sDsn, int32_t lngInterID,
                                   int32_t lngTransType, corva::OptionalRef<bool> bSelfIncluded) {
  bool locked = true;  // a chain that cannot be read locks the bill
  frame_.Run(sDsn, {.first_vote = FrameVote::kAbort, .connect = false}, [&](Call& call) {
    VectorPtr chain = corva::MakeVector();
    if (!ReadChain(call.Connection(), lngInterID, lngTransType, 0, true, chain)) return false;
    // A shift bill sits between two operations: it is locked from either side.
    if (lngTransType == kBillTypeOperShift &&
        !ReadChain(call.Connection(), lngInterID, lngTransType, 1, true, chain)) {
      return false;
    }
    bool any = false;
    for (int32_t i = 1; i <= chain->Count() && !any; ++i) {
      DictionaryPtr row = chain->Item(i).As<corva::Dictionary>();
      const bool self = LongOrZero(row->Value("FTransID")) == lngTransType &&
                        LongOrZero(row->Value("FInterID")) == lngInterID;
      if (self && !bSelfIncluded) continue;
      any = LocksBelow(*row);
    }
    locked = any;
    return true;
  });
  return locked;
}

bool clsPublic::GetLowerBillStatus(const std::string&, int32_t, int32_t, const VectorPtr&,
                                   int32_t) {
  return true;
}

}  // namespace CorvaMSHTransBills
