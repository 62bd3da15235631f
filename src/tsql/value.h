// Types and values of the dialect as the engine holds them: SqlType (a declared type reduced to the
// storage class it takes in SQLite, with its length or scale), Value (one scalar: null, integer,
// double or text; dates are canonical text), and the conversions between them that follow
// SQL Server's rules (truncation into integers, cutting into varchar(n), text into dates).
#ifndef CORVA_TSQL_VALUE_H_
#define CORVA_TSQL_VALUE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace corva::tsql {

// The storage class a declared type maps to. kUnknown is an expression whose type is only known
// when it runs (an untyped "?" marker, a function of unknown arguments).
enum class TypeKind : uint8_t { kUnknown, kNull, kInt, kReal, kText, kDate };

struct SqlType {
  TypeKind kind = TypeKind::kUnknown;
  std::string name;   // lower-case declared name: "int", "decimal", "varchar", "datetime", ...
  int length = 0;     // characters of char types (-1 = max, 0 = not given)
  int precision = 0;  // decimal precision
  int scale = -1;     // decimal scale (-1 = not given)

  static SqlType Of(TypeKind kind);
  // The type of a declared name with its arguments ("varchar", 20). Returns kUnknown for a name
  // the dialect does not know.
  static SqlType FromName(std::string_view name, int arg1 = 0, int arg2 = -1);
  // Declared type text for a SQLite column; it keeps the dialect's name so the catalog can read
  // it back, and its words give the right affinity ("DECIMAL REAL(28,10)", "DATETIME TEXT").
  std::string SqliteDecl() const;
  // Reads back what SqliteDecl wrote (or any plain SQLite type).
  static SqlType FromSqliteDecl(std::string_view decl);
  // Name as SQL Server's messages spell it ("int", "varchar", "numeric").
  std::string MessageName() const;
  bool IsText() const { return kind == TypeKind::kText; }
  bool IsNumeric() const { return kind == TypeKind::kInt || kind == TypeKind::kReal; }
};

// One scalar value.
struct Value {
  enum class Kind : uint8_t { kNull, kInt, kReal, kText };
  Kind kind = Kind::kNull;
  int64_t i = 0;
  double d = 0;
  std::string s;

  static Value Null() { return Value(); }
  static Value Int(int64_t v) {
    Value r;
    r.kind = Kind::kInt;
    r.i = v;
    return r;
  }
  static Value Real(double v) {
    Value r;
    r.kind = Kind::kReal;
    r.d = v;
    return r;
  }
  static Value Text(std::string v) {
    Value r;
    r.kind = Kind::kText;
    r.s = std::move(v);
    return r;
  }
  bool IsNull() const { return kind == Kind::kNull; }
  // Truthiness of a predicate's value: non-zero number (NULL is false).
  bool IsTrue() const;
  std::string ToText() const;  // the value as varchar (NULL reads as "")
};

// Converts `v` to `type` as an assignment to a variable or column of that type does. Throws
// corva::Error 245 / 8114 / 241 when text does not read as the target.
Value ConvertTo(const Value& v, const SqlType& type);

// Text that reads as a number ("12", " 1.5 ", "-3e2")? Sets *out and *is_int.
bool ParseNumber(std::string_view text, double* out, int64_t* int_out, bool* is_int);

// Formats a double as SQL Server's varchar conversion of a float would for simple values.
std::string FormatReal(double v);

// Throws the conversion error of text that is not a number of `target` ("int", "numeric").
[[noreturn]] void ThrowConversion(std::string_view text, const SqlType& target);

// Number and message of the engine's own errors, raised through SQLite user functions as
// "\x01<number>|<message>" and turned back into corva::Error by the executor.
std::string EncodeError(int number, std::string_view message);
bool DecodeError(std::string_view text, int* number, std::string* message);

[[noreturn]] void ThrowSql(int number, std::string message);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_VALUE_H_
