// Types and values of the dialect as the engine holds them: SqlType (a declared type reduced to the
// storage class it takes in SQLite, with its length, precision and scale), Value (one scalar: null,
// integer, double, exact decimal or text; dates are canonical text), the conversions between them
// that follow SQL Server's rules (truncation into integers, rounding into a decimal's scale, 8115
// on overflow, text into dates), and the types of results (arithmetic, precedence).
#ifndef CORVA_TSQL_VALUE_H_
#define CORVA_TSQL_VALUE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "corva/decimal.h"

namespace corva::tsql {

// The storage class a declared type maps to. kUnknown is an expression whose type is only known
// when it runs (an untyped "?" marker, a function of unknown arguments).
// kInt: bit, tinyint, smallint, int, bigint. kReal: float, real. kDecimal: decimal, numeric,
// money, smallmoney (exact; stored in SQLite as text at the type's scale, see README).
enum class TypeKind : uint8_t { kUnknown, kNull, kInt, kReal, kText, kDate, kDecimal };

struct SqlType {
  TypeKind kind = TypeKind::kUnknown;
  std::string name;   // lower-case declared name: "int", "decimal", "varchar", "datetime", ...
  int length = 0;     // characters of char types (-1 = max, 0 = not given)
  int precision = 0;  // decimal precision
  int scale = -1;     // decimal scale (-1 = not given)

  static SqlType Of(TypeKind kind);
  static SqlType Numeric(int precision, int scale);
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
  bool IsNumeric() const {
    return kind == TypeKind::kInt || kind == TypeKind::kReal || kind == TypeKind::kDecimal;
  }
  bool IsMoney() const { return name == "money" || name == "smallmoney"; }
  // Integers by width: bit 1, tinyint 2, smallint 3, int 4, bigint 5 (0 for other kinds).
  int IntRank() const;
  // Fixed-length text (char, nchar): stored padded with blanks to its length.
  bool IsFixedText() const {
    return kind == TypeKind::kText && (name == "char" || name == "nchar");
  }
};

// The decimal an integer or decimal type counts as in decimal arithmetic: int is decimal(10,0),
// bigint decimal(19,0), smallint (5,0), tinyint (3,0), bit (1,0), money (19,4).
SqlType AsDecimalType(const SqlType& t);
// The type of `a op b` for numbers (op one of + - * / %), by SQL Server's precedence and its
// rules for a decimal result's precision and scale (capped at 38, the scale given up first).
SqlType ArithmeticType(char op, const SqlType& a, const SqlType& b);
// The type CASE, COALESCE and UNION give two branches: the one of higher precedence (dates,
// float, decimal, money, integers by width, text); decimals widened to hold both.
SqlType PrecedenceType(const SqlType& a, const SqlType& b);

// One scalar value.
struct Value {
  enum class Kind : uint8_t { kNull, kInt, kReal, kText, kDecimal };
  Kind kind = Kind::kNull;
  int64_t i = 0;
  double d = 0;
  corva::Decimal m;
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
  static Value Dec(corva::Decimal v) {
    Value r;
    r.kind = Kind::kDecimal;
    r.m = v;
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
  std::string ToText() const;  // the value as varchar (NULL reads as ""; decimals keep their scale)
  // A decimal of any number (text parsed); false when it is not one.
  bool ToDecimal(corva::Decimal* out) const;
};

// The type of a literal or parameter value: int, numeric(p,s) from its digits, float, varchar.
SqlType ValueType(const Value& v);

// Converts `v` to `type` as CAST and an assignment to a variable do: integers truncated and
// range-checked, decimals rounded half away from zero to the scale, text cut to varchar(n) and
// padded to char(n). Throws corva::Error 245 / 8114 / 241 when text does not read as the target,
// 8115 when a number does not fit it.
Value ConvertTo(const Value& v, const SqlType& type);
// Converts `v` for storing into a column of `type`: as ConvertTo, but text longer than the column
// (trailing blanks aside) is error 8152 unless `ansi_warnings` is off, when it is cut.
Value StoreInto(const Value& v, const SqlType& type, bool ansi_warnings);
// The value as SQLite keeps it for `type`: decimals as their fixed text at the type's scale.
Value ForStorage(const Value& v);

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
// 8115 for a value that does not fit `target`; `from` names the source type ("int", "numeric").
[[noreturn]] void ThrowOverflow(const SqlType& target, std::string_view from = "expression");
// Whether integer `v` fits integer type `t` (bit takes any value: it becomes 0 or 1).
bool IntFits(int64_t v, const SqlType& t);

}  // namespace corva::tsql

#endif  // CORVA_TSQL_VALUE_H_
