// corva::Error: the one exception type of the library. It carries what a late-bound error object
// carries (number, source, description) and, for errors of the SQL engine's parser, the line and
// column of the offending token.
#ifndef CORVA_ERROR_H_
#define CORVA_ERROR_H_

#include <cstdint>
#include <exception>
#include <string>

namespace corva {

// Error numbers of the late-binding runtime that the library raises itself.
inline constexpr int32_t kErrInvalidProcedureCall = 5;
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrSubscriptOutOfRange = 9;
inline constexpr int32_t kErrDivisionByZero = 11;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrObjectNotSet = 91;
inline constexpr int32_t kErrInvalidUseOfNull = 94;
inline constexpr int32_t kErrCannotCreateObject = 429;
inline constexpr int32_t kErrNoSuchMethod = 438;
inline constexpr int32_t kErrWrongArgumentCount = 450;
inline constexpr int32_t kErrDuplicateKey = 457;
// ADO: "Either BOF or EOF is True, or the current record has been deleted."
inline constexpr int32_t kErrBofOrEof = 3021;
// ADO: "Operation is not allowed when the object is closed."
inline constexpr int32_t kErrObjectClosed = 3704;
// ADO: "Item cannot be found in the collection corresponding to the requested name or ordinal."
inline constexpr int32_t kErrItemNotFound = 3265;
// ADO: "Arguments are of the wrong type, are out of acceptable range, or are in conflict..."
inline constexpr int32_t kErrInvalidArguments = 3001;

class Error : public std::exception {
 public:
  Error(int32_t number, std::string source, std::string description)
      : number_(number), source_(std::move(source)), description_(std::move(description)) {}

  // Runtime errors with the runtime's own description ("Type mismatch", ...).
  static Error Runtime(int32_t number, std::string source = "CorvaMSHTransBills");

  int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

  // Position of a parse error in the batch (1-based); 0 when not a parse error.
  int Line() const { return line_; }
  int Column() const { return column_; }
  Error& SetPosition(int line, int column) {
    line_ = line;
    column_ = column;
    return *this;
  }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  int line_ = 0;
  int column_ = 0;
};

}  // namespace corva

#endif  // CORVA_ERROR_H_
