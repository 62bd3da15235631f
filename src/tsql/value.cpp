// Declared types, scalar values and SQL Server's conversion rules between them.
#include "tsql/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "corva/error.h"
#include "tsql/date_time.h"

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

double RoundToScale(double v, int scale) {
  if (scale < 0 || scale > 15) return v;
  static const double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  double p = kPowers[scale];
  double scaled = v * p;
  if (std::fabs(scaled) >= 1e15) return v;
  // Decimal literals such as 2.345 are a hair below their value as doubles; SQL Server rounds the
  // exact decimal, so nudge by far less than one unit in the last kept place.
  scaled += (scaled >= 0 ? 1 : -1) * std::fabs(scaled) * 1e-13;
  return std::round(scaled) / p;
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
    t.kind = TypeKind::kReal;
    t.precision = arg1 > 0 ? arg1 : 18;
    t.scale = arg1 > 0 ? (arg2 >= 0 ? arg2 : 0) : 0;
  } else if (n == "money" || n == "smallmoney") {
    t.kind = TypeKind::kReal;
    t.precision = 19;
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
      if (name == "float" || name == "real") return up;
      if (name == "decimal" || name == "numeric")
        return up + " REAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
      return up + " REAL";
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
    case Kind::kText:
      return s;
    default:
      return std::string();
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

void ThrowConversion(std::string_view text, const SqlType& target) {
  if (target.kind == TypeKind::kInt)
    ThrowSql(245, "Conversion failed when converting the varchar value '" + std::string(text) +
                      "' to data type " + target.MessageName() + ".");
  if (target.kind == TypeKind::kDate)
    ThrowSql(241, "Conversion failed when converting date and/or time from character string.");
  std::string name = target.MessageName();
  if (name == "decimal") name = "numeric";
  ThrowSql(8114, "Error converting data type varchar to " + name + ".");
}

Value ConvertTo(const Value& v, const SqlType& type) {
  if (v.IsNull()) return v;
  switch (type.kind) {
    case TypeKind::kInt: {
      int64_t r = 0;
      if (v.kind == Value::Kind::kInt) {
        r = v.i;
      } else if (v.kind == Value::Kind::kReal) {
        r = static_cast<int64_t>(std::trunc(v.d));
      } else {
        double d;
        bool is_int;
        if (!ParseNumber(v.s, &d, &r, &is_int) || !is_int) ThrowConversion(v.s, type);
      }
      if (type.name == "bit") r = r != 0;
      return Value::Int(r);
    }
    case TypeKind::kReal: {
      double d = 0;
      if (v.kind == Value::Kind::kInt) {
        d = static_cast<double>(v.i);
      } else if (v.kind == Value::Kind::kReal) {
        d = v.d;
      } else {
        int64_t i;
        bool is_int;
        if (!ParseNumber(v.s, &d, &i, &is_int)) ThrowConversion(v.s, type);
      }
      if (type.scale >= 0) d = RoundToScale(d, type.scale);
      return Value::Real(d);
    }
    case TypeKind::kText: {
      std::string s = v.ToText();
      if (type.length > 0 && static_cast<int>(s.size()) > type.length) {
        // Cut by characters, not inside a UTF-8 sequence.
        size_t bytes = 0;
        int chars = 0;
        while (bytes < s.size() && chars < type.length) {
          unsigned char c = static_cast<unsigned char>(s[bytes]);
          bytes += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
          ++chars;
        }
        if (bytes < s.size()) s.resize(bytes);
      }
      return Value::Text(std::move(s));
    }
    case TypeKind::kDate: {
      if (v.kind == Value::Kind::kText && v.s.size() == 23 && v.s[4] == '-' && v.s[10] == ' ' &&
          v.s[19] == '.' && type.name != "date")
        return v;  // already canonical
      if (v.kind == Value::Kind::kText) {
        DateTime dt;
        if (!ParseDateTime(v.s, &dt)) ThrowConversion(v.s, type);
        if (type.name != "date" && !InDatetimeRange(dt)) {  // date reaches back to year 1
          throw corva::Error(242, "corva.tsql",
                             "The conversion of a varchar data type to a datetime data type "
                             "resulted in an out-of-range value.");
        }
        if (type.name == "date") dt.ms = 0;
        return Value::Text(dt.Canonical());
      }
      double n = v.kind == Value::Kind::kInt ? static_cast<double>(v.i) : v.d;
      DateTime dt;
      if (!DateTime::FromSerialInRange(n + 2, &dt)) {  // day 0 of SQL Server is 1900-01-01
        throw corva::Error(
            8115, "corva.tsql",
            "Arithmetic overflow error converting expression to data type datetime.");
      }
      return Value::Text(dt.Canonical());
    }
    default:
      return v;
  }
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
