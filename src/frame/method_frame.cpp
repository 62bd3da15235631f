// The method frame: initializer variants, the error trap, votes and the failure message.
#include "frame/method_frame.h"

#include "corva/containers.h"
#include "db/transaction.h"
#include "frame/globals.h"
#include "frame/messages.h"
#include "frame/pending_error.h"

namespace corva::frame {
namespace {

// Errors that are not the library's own (a bug, memory) are still turned into a failure rather
// than escaping to the host: "Internal error".
constexpr int32_t kErrInternal = 51;

Error AsError(const std::exception& e) {
  return Error(kErrInternal, "CorvaMSHTransBills", e.what());
}

void MarkSaveRefused(const Variant& save_vect) {
  VectorPtr rows = save_vect.As<Vector>();
  if (!rows) throw Error::Runtime(kErrObjectNotSet);
  DictionaryPtr header = rows->Item(1).As<Dictionary>();
  if (!header) throw Error::Runtime(kErrObjectNotSet);
  header->SetValue("SaveRetCode", kSaveRefusedByRule);
}

}  // namespace

void Call::AbortStands() {
  if (db::Transaction* transaction = db::CurrentTransaction()) transaction->Doom();
}

const ConnectionPtr& Call::Connection() {
  if (!connection_) connection_ = DataSource().Connection();
  return connection_;
}

ConnectionPtr Call::NewConnection() { return DataSource().Connection(); }

CParse& Call::Parse() {
  if (!frame_.m_Parse) throw Error::Runtime(kErrObjectNotSet);
  return *frame_.m_Parse;
}

CDataSource& Call::DataSource() {
  if (!frame_.m_DataSource) throw Error::Runtime(kErrObjectNotSet);
  return *frame_.m_DataSource;
}

void ClassFrame::InitDataSource(const std::string& sDsn) {
  // The first-call variant keeps the first call's parse object along with its data source, so that
  // m_Parse and m_DataSource always agree.
  if (mode_ == InitMode::kFirstCall && m_DataSource) return;
  m_Parse = std::make_shared<CParse>();
  if (!m_Parse->ParseString(sDsn)) throw Error(kErrParseString, "ParseString", "");
  m_DataSource = std::make_shared<CDataSource>();
  m_DataSource->SetParseObject(m_Parse);
}

bool ClassFrame::RunOperation(const std::string& sDsn, std::string* ReturnMsg,
                              const FrameOptions& options, const Rule& rule) {
  PendingErrorKeeper keep;  // the failure path records its error as pending while it reports it
  Call call(*this, sDsn);
  call.lang_ = options.language_from_parse ? GetLanguageID(sDsn) : GetDsnValue(sDsn, "Language");
  ObjectContext& context = GetObjectContext();
  auto vote = [&](FrameVote v) {
    if (!options.vote || v == FrameVote::kNone) return;
    if (v == FrameVote::kComplete) {
      context.SetComplete();
    } else {
      context.SetAbort();
    }
  };
  vote(options.first_vote);

  std::optional<Error> error;
  bool violated = false;
  try {
    InitDataSource(sDsn);
    if (options.connect) call.Connection();
    if (rule(call)) {
      vote(FrameVote::kComplete);
      return true;
    }
    violated = true;
  } catch (const RuleViolation& v) {
    call.sMsg_ = v.message();
    violated = true;
  } catch (const Error& e) {
    if (!options.trap) throw;
    error = e;
  } catch (const std::exception& e) {
    if (!options.trap) throw;
    error = AsError(e);
  }

  if (violated && !options.save_vect.IsEmpty()) {
    try {
      MarkSaveRefused(options.save_vect);
    } catch (const Error& e) {
      error = e;
    }
  }
  vote(FrameVote::kAbort);
  if (error) PendingError::Raise(*error);
  if (ReturnMsg != nullptr) {
    // Without a run-time error the description is empty, and so is its translation.
    *ReturnMsg = call.sMsg_ + (options.crlf ? "\r\n" : "") +
                 LoadResMsg(error ? error->Description() : std::string(), call.lang_);
  }
  if (error && options.on_error) options.on_error(*error);
  return false;
}

}  // namespace corva::frame
