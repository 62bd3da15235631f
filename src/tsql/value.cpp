// Declared types, scalar values and SQL Server's conversion rules between them, and the types of
// results: arithmetic by precedence with the precision and scale rules of decimals.
#include "tsql/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "corva/error.h"
#include "tsql/date_time.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool Contains(const std::string& upper, const char* what) {
  return upper.find(what) != std::string::npos;
}

constexpr int kMaxPrecision = corva::Decimal::kMaxDigits;

int Min(int a, int b) { return a < b ? a : b; }

// Cuts `s` to `length` characters, not inside a UTF-8 sequence; returns whether anything but
// blanks was cut.
bool CutText(std::string* s, int length) {
  size_t bytes = 0;
  int chars = 0;
  while (bytes < s->size() && chars < length) {
    unsigned char c = static_cast<unsigned char>((*s)[bytes]);
    bytes += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    ++chars;
  }
  if (bytes >= s->size()) return false;
  bool lost = s->find_first_not_of(' ', bytes) != std::string::npos;
  s->resize(bytes);
  return lost;
}

void PadText(std::string* s, int length) {
  int chars = 0;
  for (unsigned char c : *s)
    if ((c & 0xC0) != 0x80) ++chars;
  if (chars < length) s->append(static_cast<size_t>(length - chars), ' ');
}

// Text already in the canonical form of a date of `kind`.
bool IsCanonical(const std::string& s, DateKind kind) {
  if (s.size() != 23 || s[4] != '-' || s[10] != ' ' || s[19] != '.') return false;
  switch (kind) {
    case DateKind::kDateTime:
      return s[22] == '0' || s[22] == '3' || s[22] == '7';
    case DateKind::kSmallDateTime:
      return s.compare(17, 6, "00.000") == 0;
    case DateKind::kDate:
      return s.compare(11, 12, "00:00:00.000") == 0;
    default:
      return true;
  }
}

std::string SourceName(const Value& v) {
  switch (v.kind) {
    case Value::Kind::kInt:
      return "int";
    case Value::Kind::kReal:
      return "float";
    case Value::Kind::kDecimal:
      return "numeric";
    default:
      return "varchar";
  }
}

}  // namespace

SqlType SqlType::Of(TypeKind kind) {
  SqlType t;
  t.kind = kind;
  switch (kind) {
    case TypeKind::kInt:
      t.name = "int";
      break;
    case TypeKind::kReal:
      t.name = "float";
      break;
    case TypeKind::kText:
      t.name = "varchar";
      break;
    case TypeKind::kDate:
      t.name = "datetime";
      break;
    default:
      break;
  }
  return t;
}

SqlType SqlType::Numeric(int precision, int scale) {
  SqlType t;
  t.kind = TypeKind::kDecimal;
  t.name = "numeric";
  t.precision = precision;
  t.scale = scale;
  return t;
}

int SqlType::IntRank() const {
  if (kind != TypeKind::kInt) return 0;
  if (name == "bit") return 1;
  if (name == "tinyint") return 2;
  if (name == "smallint") return 3;
  if (name == "bigint") return 5;
  return 4;
}

SqlType SqlType::FromName(std::string_view raw, int arg1, int arg2) {
  SqlType t;
  t.name = Lower(raw);
  const std::string& n = t.name;
  if (n == "int" || n == "integer" || n == "bigint" || n == "smallint" || n == "tinyint" ||
      n == "bit") {
    if (n == "integer") t.name = "int";
    t.kind = TypeKind::kInt;
  } else if (n == "decimal" || n == "numeric" || n == "dec") {
    if (n == "dec") t.name = "decimal";
    t.kind = TypeKind::kDecimal;
    t.precision = arg1 > 0 ? Min(arg1, kMaxPrecision) : 18;
    t.scale = arg1 > 0 ? (arg2 >= 0 ? Min(arg2, t.precision) : 0) : 0;
  } else if (n == "money" || n == "smallmoney") {
    t.kind = TypeKind::kDecimal;
    t.precision = n == "money" ? 19 : 10;
    t.scale = 4;
  } else if (n == "float" || n == "real" || n == "double") {
    t.kind = TypeKind::kReal;
  } else if (n == "char" || n == "varchar" || n == "nchar" || n == "nvarchar" || n == "character") {
    t.kind = TypeKind::kText;
    t.length = arg1 != 0 ? arg1 : (n == "char" || n == "nchar" ? 1 : 30);
  } else if (n == "text" || n == "ntext" || n == "sysname" || n == "uniqueidentifier" ||
             n == "xml" || n == "varbinary" || n == "binary" || n == "image" || n == "timestamp" ||
             n == "rowversion") {
    t.kind = TypeKind::kText;
    t.length = n == "sysname" ? 128 : (n == "uniqueidentifier" ? 36 : -1);
    if ((n == "varbinary" || n == "binary") && arg1 != 0) t.length = arg1;
  } else if (n == "datetime" || n == "smalldatetime" || n == "date" || n == "datetime2" ||
             n == "time" || n == "datetimeoffset") {
    t.kind = TypeKind::kDate;
  } else {
    t.kind = TypeKind::kUnknown;
  }
  return t;
}

std::string SqlType::SqliteDecl() const {
  std::string up;
  for (char c : name) up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  switch (kind) {
    case TypeKind::kInt:
      return name == "bit" ? "BIT INTEGER" : up;
    case TypeKind::kReal:
      return name.empty() ? "FLOAT" : up;
    case TypeKind::kDecimal:
      // TEXT affinity: SQLite keeps the fixed text as it is given (NUMERIC affinity would turn
      // "100.0" into the integer 100 and REAL would make it binary).
      if (IsMoney()) return up + " TEXT";
      return up + " TEXT(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case TypeKind::kText:
      if (name == "char" || name == "varchar" || name == "nchar" || name == "nvarchar")
        return up + "(" + std::to_string(length) + ")";
      if (name == "text" || name == "ntext") return up;
      return up + " TEXT";
    case TypeKind::kDate:
      return up + " TEXT";
    default:
      return "";
  }
}

SqlType SqlType::FromSqliteDecl(std::string_view decl) {
  size_t i = 0;
  while (i < decl.size() && (std::isalnum(static_cast<unsigned char>(decl[i])) || decl[i] == '_'))
    ++i;
  std::string first = Lower(decl.substr(0, i));
  int a1 = 0, a2 = -1;
  size_t paren = decl.find('(');
  if (paren != std::string_view::npos) {
    a1 = std::atoi(std::string(decl.substr(paren + 1)).c_str());
    size_t comma = decl.find(',', paren);
    if (comma != std::string_view::npos)
      a2 = std::atoi(std::string(decl.substr(comma + 1)).c_str());
  }
  SqlType t = FromName(first, a1, a2);
  if (t.kind != TypeKind::kUnknown) return t;
  // A plain SQLite declaration: its affinity decides.
  std::string up;
  for (char c : decl) up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (Contains(up, "INT")) return Of(TypeKind::kInt);
  if (Contains(up, "CHAR") || Contains(up, "CLOB") || Contains(up, "TEXT"))
    return Of(TypeKind::kText);
  if (Contains(up, "REAL") || Contains(up, "FLOA") || Contains(up, "DOUB") || Contains(up, "NUM"))
    return Of(TypeKind::kReal);
  return SqlType();
}

std::string SqlType::MessageName() const {
  if (name.empty()) {
    switch (kind) {
      case TypeKind::kInt:
        return "int";
      case TypeKind::kReal:
        return "float";
      case TypeKind::kDecimal:
        return "numeric";
      case TypeKind::kDate:
        return "datetime";
      default:
        return "varchar";
    }
  }
  return name;
}

bool Value::IsTrue() const {
  switch (kind) {
    case Kind::kInt:
      return i != 0;
    case Kind::kReal:
      return d != 0;
    case Kind::kDecimal:
      return !m.IsZero();
    case Kind::kText:
      return std::atof(s.c_str()) != 0;
    default:
      return false;
  }
}

std::string Value::ToText() const {
  switch (kind) {
    case Kind::kInt:
      return std::to_string(i);
    case Kind::kReal:
      return FormatReal(d);
    case Kind::kDecimal:
      return m.ToFixed();
    case Kind::kText:
      return s;
    default:
      return std::string();
  }
}

bool Value::ToDecimal(corva::Decimal* out) const {
  switch (kind) {
    case Kind::kInt:
      *out = corva::Decimal::FromInt64(i);
      return true;
    case Kind::kReal:
      return corva::Decimal::FromDouble(d, out);
    case Kind::kDecimal:
      *out = m;
      return true;
    case Kind::kText:
      return corva::Decimal::Parse(s, out);
    default:
      return false;
  }
}

std::string FormatReal(double v) {
  if (std::isnan(v)) return "NaN";
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

bool ParseNumber(std::string_view text, double* out, int64_t* int_out, bool* is_int) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  if (b == e) {
    // SQL Server reads an empty string as 0 when converting to a number.
    *out = 0;
    *int_out = 0;
    *is_int = true;
    return true;
  }
  std::string s(text.substr(b, e - b));
  const char* p = s.c_str();
  char* end = nullptr;
  bool digits_only = true;
  size_t start = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (start == s.size()) return false;
  for (size_t k = start; k < s.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) digits_only = false;
  if (digits_only && s.size() - start <= 18) {
    *int_out = std::strtoll(p, &end, 10);
    *out = static_cast<double>(*int_out);
    *is_int = true;
    return true;
  }
  for (char c : s)
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E'))
      return false;
  *out = std::strtod(p, &end);
  if (end != p + s.size()) return false;
  *is_int = false;
  *int_out = static_cast<int64_t>(*out);
  return true;
}

void ThrowSql(int number, std::string message) {
  throw corva::Error(number, "corva.tsql", std::move(message));
}

void ThrowOverflow(const SqlType& target, std::string_view from) {
  std::string name = target.MessageName();
  if (name == "decimal") name = "numeric";
  int rank = target.IntRank();
  if (rank == 2 || rank == 3)
    ThrowSql(8115, "Arithmetic overflow error for data type " + name + ".");
  if (from == "expression")
    ThrowSql(8115, "Arithmetic overflow error converting expression to data type " + name + ".");
  ThrowSql(8115, "Arithmetic overflow error converting " + std::string(from) + " to data type " +
                     name + ".");
}

bool IntFits(int64_t v, const SqlType& t) {
  switch (t.IntRank()) {
    case 2:
      return v >= 0 && v <= 255;
    case 3:
      return v >= -32768 && v <= 32767;
    case 4:
      return v >= INT32_MIN && v <= INT32_MAX;
    default:
      return true;
  }
}

void ThrowConversion(std::string_view text, const SqlType& target) {
  if (target.kind == TypeKind::kInt)
    ThrowSql(245, "Conversion failed when converting the varchar value '" + std::string(text) +
                      "' to data type " + target.MessageName() + ".");
  if (target.kind == TypeKind::kDate)
    ThrowSql(241, "Conversion failed when converting date and/or time from character string.");
  std::string name = target.MessageName();
  if (name == "decimal") name = "numeric";
  if (target.kind == TypeKind::kReal) name = "float";
  ThrowSql(8114, "Error converting data type varchar to " + name + ".");
}

namespace {

// Text to an integer type: digits only (blanks around, a sign); the empty text is 0.
Value TextToInt(const std::string& text, const SqlType& type) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return Value::Int(0);
  size_t e = text.find_last_not_of(" \t\r\n") + 1;
  std::string_view t(text.data() + b, e - b);
  if (type.name == "bit" && (EqualsNoCase(t, "true") || EqualsNoCase(t, "false")))
    return Value::Int(EqualsNoCase(t, "true") ? 1 : 0);
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size()) ThrowConversion(text, type);
  __int128 v = 0;
  for (size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') ThrowConversion(text, type);
    if (v < (static_cast<__int128>(1) << 80)) v = v * 10 + (t[k] - '0');
  }
  if (t[0] == '-') v = -v;
  if (v > INT64_MAX || v < INT64_MIN || !IntFits(static_cast<int64_t>(v), type))
    ThrowSql(248, "The conversion of the varchar value '" + text + "' overflowed an " +
                      type.MessageName() + " column. Use a larger integer column.");
  return Value::Int(static_cast<int64_t>(v));
}

Value ToInt(const Value& v, const SqlType& type) {
  int64_t r = 0;
  // Any number but 0 is a 1 bit (0.5 included).
  if (type.name == "bit" && v.kind == Value::Kind::kDecimal) return Value::Int(!v.m.IsZero());
  if (type.name == "bit" && v.kind == Value::Kind::kReal) return Value::Int(v.d != 0);
  switch (v.kind) {
    case Value::Kind::kInt:
      r = v.i;
      break;
    case Value::Kind::kReal:
      if (!(v.d > -9.3e18 && v.d < 9.3e18)) ThrowOverflow(type, "float");
      r = static_cast<int64_t>(std::trunc(v.d));
      break;
    case Value::Kind::kDecimal:
      if (!v.m.ToInt64(corva::Decimal::Rounding::kTruncate, &r)) ThrowOverflow(type, "numeric");
      break;
    default:
      r = TextToInt(v.s, type).i;
      break;
  }
  if (type.name == "bit") return Value::Int(r != 0);
  if (!IntFits(r, type))
    ThrowOverflow(type, v.kind == Value::Kind::kInt ? "expression" : SourceName(v));
  return Value::Int(r);
}

Value ToDecimal(const Value& v, const SqlType& type) {
  corva::Decimal d;
  switch (v.kind) {
    case Value::Kind::kInt:
      d = corva::Decimal::FromInt64(v.i);
      break;
    case Value::Kind::kReal:
      if (!corva::Decimal::FromDouble(v.d, &d)) ThrowOverflow(type, "float");
      break;
    case Value::Kind::kDecimal:
      d = v.m;
      break;
    default: {
      // money takes '' as 0; decimal and numeric refuse it (8114).
      if (v.s.find_first_not_of(" \t") == std::string::npos) {
        if (!type.IsMoney()) ThrowConversion(v.s, type);
        d = corva::Decimal();
      } else if (!corva::Decimal::Parse(v.s, &d)) {
        double x;
        int64_t i;
        bool is_int;
        // Digits beyond 38 still make a number: too large for the type, or rounded away.
        if (!ParseNumber(v.s, &x, &i, &is_int) || v.s.find_first_of("eE") != std::string::npos)
          ThrowConversion(v.s, type);
        if (!corva::Decimal::FromDouble(x, &d)) ThrowOverflow(type, "varchar");
      }
      break;
    }
  }
  int scale = type.scale >= 0 ? type.scale : d.scale();
  corva::Decimal r;
  if (!d.Rescale(scale, corva::Decimal::Rounding::kHalfAwayFromZero, &r) ||
      (type.precision > 0 && !r.FitsPrecision(type.precision)))
    ThrowOverflow(type, SourceName(v));
  return Value::Dec(r);
}

}  // namespace

Value ConvertTo(const Value& v, const SqlType& type) {
  if (v.IsNull()) return v;
  switch (type.kind) {
    case TypeKind::kInt:
      return ToInt(v, type);
    case TypeKind::kDecimal:
      return ToDecimal(v, type);
    case TypeKind::kReal: {
      double d = 0;
      if (v.kind == Value::Kind::kInt) {
        d = static_cast<double>(v.i);
      } else if (v.kind == Value::Kind::kReal) {
        d = v.d;
      } else if (v.kind == Value::Kind::kDecimal) {
        d = v.m.ToDouble();
      } else {
        int64_t i;
        bool is_int;
        if (!ParseNumber(v.s, &d, &i, &is_int)) ThrowConversion(v.s, type);
      }
      if (type.name == "real") d = static_cast<float>(d);
      return Value::Real(d);
    }
    case TypeKind::kText: {
      std::string s = v.ToText();
      if (type.length > 0) {
        CutText(&s, type.length);
        if (type.IsFixedText()) PadText(&s, type.length);
      }
      return Value::Text(std::move(s));
    }
    case TypeKind::kDate: {
      if (v.kind == Value::Kind::kText && IsCanonical(v.s, DateKindOf(type.name))) return v;
      DateTime dt;
      if (v.kind == Value::Kind::kText) {
        if (!ParseDateTime(v.s, &dt)) ThrowConversion(v.s, type);
        if (DateKindOf(type.name) != DateKind::kDate && !InDatetimeRange(dt)) {
          throw corva::Error(242, "corva.tsql",
                             "The conversion of a varchar data type to a datetime data type "
                             "resulted in an out-of-range value.");
        }
      } else {
        double n = v.kind == Value::Kind::kDecimal ? v.m.ToDouble()
                   : v.kind == Value::Kind::kInt   ? static_cast<double>(v.i)
                                                   : v.d;
        if (!DateTime::FromSerialInRange(n + 2, &dt)) {  // day 0 of SQL Server is 1900-01-01
          throw corva::Error(
              8115, "corva.tsql",
              "Arithmetic overflow error converting expression to data type datetime.");
        }
      }
      return Value::Text(dt.Canonical(DateKindOf(type.name)));
    }
    default:
      return v;
  }
}

Value StoreInto(const Value& v, const SqlType& type, bool ansi_warnings) {
  if (v.IsNull() || type.kind != TypeKind::kText || type.length <= 0)
    return ForStorage(ConvertTo(v, type));
  std::string s = v.ToText();
  if (CutText(&s, type.length) && ansi_warnings)
    ThrowSql(8152, "String or binary data would be truncated.");
  if (type.IsFixedText()) PadText(&s, type.length);
  return Value::Text(std::move(s));
}

Value ForStorage(const Value& v) {
  if (v.kind == Value::Kind::kDecimal) return Value::Text(v.m.ToFixed());
  return v;
}

std::string EncodeError(int number, std::string_view message) {
  return "\x01" + std::to_string(number) + "|" + std::string(message);
}

bool DecodeError(std::string_view text, int* number, std::string* message) {
  size_t at = text.find('\x01');
  if (at == std::string_view::npos) return false;
  size_t bar = text.find('|', at);
  if (bar == std::string_view::npos) return false;
  *number = std::atoi(std::string(text.substr(at + 1, bar - at - 1)).c_str());
  *message = std::string(text.substr(bar + 1));
  return true;
}

}  // namespace corva::tsql
