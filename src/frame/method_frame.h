// The frame every public operation runs in: set up the class's parse object and data source from
// sDsn, open the call's connection, run the operation's rules, and end with the vote and the
// message the host expects. Failures never leave an operation as errors: a rule violation or a
// run-time error becomes False (or a fallback), SetAbort and, where there is one, a message.
// docs/method-frame.md shows how an operation uses it.
#ifndef CORVA_FRAME_METHOD_FRAME_H_
#define CORVA_FRAME_METHOD_FRAME_H_

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "corva/connection.h"
#include "corva/error.h"
#include "corva/host.h"
#include "corva/variant.h"
#include "frame/data_source.h"
#include "frame/parse.h"

namespace corva::frame {

// The error the initializer raises when the property string cannot be read (0x80044044).
inline constexpr int32_t kErrParseString = -2147205052;
// "SaveRetCode" value by which a save operation tells the host that a rule refused the save.
inline constexpr int32_t kSaveRefusedByRule = 99;

// A rule's refusal, with its message already localized. Thrown from anywhere inside an operation
// (helpers included), it ends the operation as a rule violation: the message becomes sMsg.
class RuleViolation : public std::exception {
 public:
  explicit RuleViolation(std::string message) : message_(std::move(message)) {}
  const std::string& message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// How a class sets up its data source: afresh on every call (the bill classes), or on the
// instance's first call only, later calls reusing it whatever their sDsn (clsPublic, clsMSynBills).
enum class InitMode { kEveryCall, kFirstCall };

enum class FrameVote { kNone, kComplete, kAbort };

// How an operation departs from the plain frame. Fields in declaration order, for designated
// initializers: {.crlf = true, .save_vect = SaveVect}.
struct FrameOptions {
  // Failure message = sMsg + CR LF + localized error description (false: no separator).
  bool crlf = false;
  // The save's SaveVect: a rule violation sets "SaveRetCode" 99 in its first element; run-time
  // errors do not touch it.
  Variant save_vect{};
  // A vote cast right at the start: kAbort for operations whose abort must stand when an error
  // escapes, kComplete for the few that commit first.
  FrameVote first_vote = FrameVote::kNone;
  // false: the operation never votes (read-only queries that leave the transaction alone).
  bool vote = true;
  // false: the call's connection is opened on first use of Call::Connection instead of before the
  // rules run (for operations that may finish without the database).
  bool connect = true;
  // false: no error trap; run-time errors reach the caller with only the first vote cast.
  bool trap = true;
  // true: the language comes from GetLanguageID (default "chs") instead of GetDsnValue ("cht").
  bool language_from_parse = false;
  // Also told of a trapped run-time error, after the abort vote (e.g. to fill "ErrCode").
  std::function<void(const Error&)> on_error{};
};

class ClassFrame;

// What an operation's rules see of the running frame. Lives for one call.
class Call {
 public:
  const std::string& sDsn() const { return sDsn_; }
  // The caller's language code for messages.
  const std::string& lang() const { return lang_; }
  // The call's connection (one per call, closed when the call ends).
  const ConnectionPtr& Connection();
  // Another new connection, for the statements a rule runs on a connection of their own.
  ConnectionPtr NewConnection();
  CParse& Parse();
  CDataSource& DataSource();
  // The rule message built so far (empty at the start); it leads the failure message.
  std::string& sMsg() { return sMsg_; }
  // Ends the operation as a rule violation with `message` (already localized): `return
  // call.Refuse(LoadResMsg("...", call.lang()));`. Always false.
  [[nodiscard]] bool Refuse(std::string message) {
    sMsg_ = std::move(message);
    return false;
  }
  // Makes an abort vote cast inside this call stand whatever the call votes later, as a component
  // voting for itself would: the call's transaction is doomed. For upkeep that a rule runs as one
  // of its own operations and goes on past, but that must never be kept without.
  void AbortStands();
  // The running call's object context, and components created in its transaction.
  ObjectContext& Context() { return GetObjectContext(); }
  std::shared_ptr<Dispatch> CreateInstance(const std::string& progid) {
    return GetObjectContext().CreateInstance(progid);
  }

 private:
  friend class ClassFrame;
  Call(ClassFrame& frame, const std::string& sDsn) : frame_(frame), sDsn_(sDsn) {}

  ClassFrame& frame_;
  const std::string& sDsn_;
  std::string lang_;
  std::string sMsg_;
  ConnectionPtr connection_;
};

// The frame state a public class holds: its parse object and data source, and the ways to run an
// operation. One call at a time, like the instance that holds it.
class ClassFrame {
 public:
  explicit ClassFrame(InitMode mode) : mode_(mode) {}

  // Sets up m_Parse and m_DataSource from sDsn as the class's InitMode says (kFirstCall keeps the
  // first call's parse object and data source). Throws kErrParseString (source "ParseString", no
  // description) when the string is not read, and the parse's own errors (457 duplicate key).
  void InitDataSource(const std::string& sDsn);

  // An operation with a result flag and a message argument. `body(Call&)` runs the rules and
  // returns true for success (or nothing), false after call.Refuse(...) (or throws RuleViolation).
  // - success: SetComplete; true; ReturnMsg unchanged.
  // - rule violation: "SaveRetCode" 99 when options.save_vect is set; then as a failure.
  // - failure: SetAbort; false; ReturnMsg = sMsg [+ CR LF] + LoadResMsg(error description).
  template <typename Body>
  bool Run(const std::string& sDsn, std::string& ReturnMsg, const FrameOptions& options,
           Body&& body) {
    return RunOperation(sDsn, &ReturnMsg, options, AsRule(std::forward<Body>(body)));
  }
  // The same without a message argument: a violation or error only votes SetAbort and gives false.
  template <typename Body>
  bool Run(const std::string& sDsn, const FrameOptions& options, Body&& body) {
    return RunOperation(sDsn, nullptr, options, AsRule(std::forward<Body>(body)));
  }

  // A query operation: body's value and SetComplete on success; on any error or violation SetAbort
  // and `fallback`. No message.
  template <typename T, typename Body>
  T Query(const std::string& sDsn, T fallback, const FrameOptions& options, Body&& body) {
    std::optional<T> result;
    bool ok = RunOperation(sDsn, nullptr, options, [&](Call& call) {
      result.emplace(body(call));
      return true;
    });
    return ok && result ? std::move(*result) : std::move(fallback);
  }

  std::shared_ptr<CParse> m_Parse;
  std::shared_ptr<CDataSource> m_DataSource;

 private:
  friend class Call;
  using Rule = std::function<bool(Call&)>;

  template <typename Body>
  static Rule AsRule(Body&& body) {
    if constexpr (std::is_void_v<std::invoke_result_t<Body&, Call&>>) {
      return [&body](Call& call) {
        body(call);
        return true;
      };
    } else {
      return [&body](Call& call) { return static_cast<bool>(body(call)); };
    }
  }

  bool RunOperation(const std::string& sDsn, std::string* ReturnMsg, const FrameOptions& options,
                    const Rule& rule);

  InitMode mode_;
};

}  // namespace corva::frame

#endif  // CORVA_FRAME_METHOD_FRAME_H_
