// One ODBC connection: connecting, running a batch and reading all of its result sets, turning the
// driver's diagnostics into corva::Error, and the conversions between driver types and Variants.
#ifdef CORVA_WITH_ODBC

#include "db/odbc/odbc_link.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "db/errors.h"
#include "db/odbc/odbc_connect_string.h"

namespace corva::db {
namespace {

using WString = std::basic_string<SQLWCHAR>;

WString ToWide(std::string_view text) {
  WString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c, len = 1;
    } else if (c < 0xE0) {
      cp = c & 0x1F, len = 2;
    } else if (c < 0xF0) {
      cp = c & 0x0F, len = 3;
    } else {
      cp = c & 0x07, len = 4;
    }
    if (i + len > text.size()) break;
    for (size_t k = 1; k < len; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (cp >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(cp);
    }
  }
  return out;
}

std::string ToUtf8(const SQLWCHAR* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The process's ODBC environment, made on first use and kept for the life of the process.
SQLHENV Environment() {
  static SQLHENV env = [] {
    SQLHENV handle = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
      throw DbError(kErrProviderNotFound, "The ODBC driver manager cannot be initialized.");
    }
    SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return handle;
  }();
  return env;
}

// One diagnostic record.
struct Diagnostic {
  std::string state;
  SQLINTEGER native = 0;
  std::string message;
};

std::vector<Diagnostic> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[2048];
    SQLSMALLINT length = 0;
    Diagnostic d;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &d.native, message,
                                  static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!Succeeded(rc)) break;
    d.state = ToUtf8(state, 5);
    d.message = ToUtf8(message, std::min<size_t>(length, std::size(message) - 1));
    records.push_back(std::move(d));
  }
  return records;
}

// "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid object name 'x'." ->
// source "Microsoft ODBC Driver 18 for SQL Server", message "Invalid object name 'x'.".
void SplitMessage(const std::string& text, std::string* source, std::string* message) {
  size_t i = 0;
  std::vector<std::string> parts;
  while (i < text.size() && text[i] == '[') {
    size_t close = text.find(']', i);
    if (close == std::string::npos) break;
    parts.push_back(text.substr(i + 1, close - i - 1));
    i = close + 1;
  }
  *message = text.substr(i);
  if (parts.size() > 1 && parts.back() == "SQL Server") parts.pop_back();  // the server's own tag
  source->clear();
  for (const std::string& part : parts) {
    if (!source->empty()) *source += ' ';
    *source += part;
  }
  if (source->empty()) *source = "ODBC";
}

// The error of the diagnostics of `handle`: the first record that is not a warning, preferring
// one with the server's native number. `context` is put before the message.
Error DiagnosticError(SQLSMALLINT type, SQLHANDLE handle, const std::string& context) {
  std::vector<Diagnostic> records = ReadDiagnostics(type, handle);
  const Diagnostic* chosen = nullptr;
  for (const Diagnostic& d : records) {
    if (d.state.rfind("01", 0) == 0) continue;  // class 01: warnings and informational messages
    if (chosen == nullptr || (chosen->native == 0 && d.native != 0)) chosen = &d;
  }
  if (chosen == nullptr && !records.empty()) chosen = &records.front();
  if (chosen == nullptr)
    return DbError(kErrUnspecified, context + "the ODBC driver gave no reason");
  std::string source, message;
  SplitMessage(chosen->message, &source, &message);
  int32_t number = chosen->native != 0 ? chosen->native : kErrUnspecified;
  if (chosen->native == 0) message += " (SQLSTATE " + chosen->state + ")";
  return Error(number, source, context + message);
}

// A statement handle freed on scope exit.
class Statement {
 public:
  explicit Statement(SQLHDBC dbc) {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt_))) {
      throw DiagnosticError(SQL_HANDLE_DBC, dbc, "");
    }
  }
  ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT get() const { return stmt_; }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// Storage a bound parameter points into while the statement runs.
struct ParamBuffer {
  SQLLEN indicator = 0;
  SQLINTEGER integer = 0;
  double number = 0;
  unsigned char bit = 0;
  SQL_TIMESTAMP_STRUCT timestamp = {};
  WString text;
};

void BindParams(SQLHSTMT stmt, const std::vector<Param>& params,
                std::vector<ParamBuffer>* buffers) {
  buffers->resize(params.size());  // never grows again: the driver keeps pointers into it
  for (size_t i = 0; i < params.size(); ++i) {
    const Param& p = params[i];
    ParamBuffer& b = (*buffers)[i];
    bool null = p.value.IsNull() || p.value.IsEmpty();
    b.indicator = null ? SQL_NULL_DATA : 0;
    SQLSMALLINT c_type, sql_type, digits = 0;
    SQLULEN column_size = 0;
    SQLPOINTER value = nullptr;
    SQLLEN buffer_length = 0;
    switch (p.type) {
      case ParamType::kInteger:
        c_type = SQL_C_SLONG, sql_type = SQL_INTEGER, value = &b.integer;
        if (!null) b.integer = p.value.AsLong();
        break;
      case ParamType::kDouble:
        c_type = SQL_C_DOUBLE, sql_type = SQL_DOUBLE, column_size = 15, value = &b.number;
        if (!null) b.number = p.value.AsDouble();
        break;
      case ParamType::kBoolean:
        c_type = SQL_C_BIT, sql_type = SQL_BIT, column_size = 1, value = &b.bit;
        if (!null) b.bit = p.value.AsBool() ? 1 : 0;
        break;
      case ParamType::kDate: {
        c_type = SQL_C_TYPE_TIMESTAMP, sql_type = SQL_TYPE_TIMESTAMP, column_size = 23;
        digits = 3, value = &b.timestamp;
        if (!null) {
          int y, mo, d, h, mi;
          double s;
          p.value.AsDate().ToParts(&y, &mo, &d, &h, &mi, &s);
          b.timestamp = {
              static_cast<SQLSMALLINT>(y),
              static_cast<SQLUSMALLINT>(mo),
              static_cast<SQLUSMALLINT>(d),
              static_cast<SQLUSMALLINT>(h),
              static_cast<SQLUSMALLINT>(mi),
              static_cast<SQLUSMALLINT>(s),
              static_cast<SQLUINTEGER>((s - static_cast<int>(s)) * 1000 + 0.5) * 1000000u};
          if (b.timestamp.fraction >= 1000000000u) b.timestamp.fraction = 999000000u;
        }
        break;
      }
      case ParamType::kVarChar:
      case ParamType::kVarWChar:
      default:
        c_type = SQL_C_WCHAR;
        sql_type = p.type == ParamType::kVarChar ? SQL_VARCHAR : SQL_WVARCHAR;
        if (!null) b.text = ToWide(p.value.AsString());
        b.text.push_back(0);
        value = b.text.data();
        buffer_length = static_cast<SQLLEN>(b.text.size() * sizeof(SQLWCHAR));
        if (!null) b.indicator = static_cast<SQLLEN>((b.text.size() - 1) * sizeof(SQLWCHAR));
        column_size = std::max(static_cast<SQLULEN>(std::max(p.size, 1)),
                               static_cast<SQLULEN>(b.text.size() - 1));
        break;
    }
    SQLRETURN rc =
        SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, c_type, sql_type,
                         column_size, digits, value, buffer_length, &b.indicator);
    if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
  }
}

// Reads the value of column `col` of the current row.
Variant ReadValue(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT sql_type) {
  SQLLEN indicator = 0;
  SQLRETURN rc;
  switch (sql_type) {
    case SQL_BIT: {
      unsigned char bit = 0;
      rc = SQLGetData(stmt, col, SQL_C_BIT, &bit, sizeof bit, &indicator);
      if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
      return indicator == SQL_NULL_DATA ? Variant::Null() : Variant(bit != 0);
    }
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
      SQLBIGINT number = 0;
      rc = SQLGetData(stmt, col, SQL_C_SBIGINT, &number, sizeof number, &indicator);
      if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
      return indicator == SQL_NULL_DATA ? Variant::Null() : Variant::FromInt64(number);
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE: {
      double number = 0;
      rc = SQLGetData(stmt, col, SQL_C_DOUBLE, &number, sizeof number, &indicator);
      if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
      return indicator == SQL_NULL_DATA ? Variant::Null() : Variant(number);
    }
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME: {
      SQL_TIMESTAMP_STRUCT ts = {};
      rc = SQLGetData(stmt, col, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator);
      if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      return Variant(Date::FromParts(ts.year, ts.month, ts.day, ts.hour, ts.minute,
                                     ts.second + ts.fraction / 1e9));
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
      std::string hex = "0x";
      unsigned char chunk[4096];
      for (;;) {
        rc = SQLGetData(stmt, col, SQL_C_BINARY, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
        if (indicator == SQL_NULL_DATA) return Variant::Null();
        size_t got = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(sizeof chunk))
                         ? sizeof chunk
                         : static_cast<size_t>(indicator);
        char two[3];
        for (size_t k = 0; k < got; ++k) {
          std::snprintf(two, sizeof two, "%02X", chunk[k]);
          hex += two;
        }
        if (rc == SQL_SUCCESS) break;
      }
      return Variant(hex);
    }
    default: {  // text, GUIDs and everything else the driver can render as text
      std::string text;
      SQLWCHAR chunk[2048];
      for (;;) {
        rc = SQLGetData(stmt, col, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
        if (indicator == SQL_NULL_DATA) return Variant::Null();
        size_t capacity = std::size(chunk) - 1;  // the driver ends each piece with a zero
        size_t got =
            (indicator == SQL_NO_TOTAL ||
             indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)) > static_cast<SQLLEN>(capacity))
                ? capacity
                : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
        text += ToUtf8(chunk, got);
        if (rc == SQL_SUCCESS) break;
      }
      return Variant(std::move(text));
    }
  }
}

// Reads the columns and rows of the result set the statement is positioned on.
ResultTable ReadResultSet(SQLHSTMT stmt, SQLSMALLINT columns) {
  ResultTable table;
  std::vector<SQLSMALLINT> types(columns);
  for (SQLSMALLINT c = 1; c <= columns; ++c) {
    SQLWCHAR name[512];
    SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN rc = SQLDescribeColW(stmt, static_cast<SQLUSMALLINT>(c), name,
                                   static_cast<SQLSMALLINT>(std::size(name)), &name_length, &type,
                                   &size, &digits, &nullable);
    if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
    table.columns.push_back(ToUtf8(name, std::min<size_t>(name_length, std::size(name) - 1)));
    types[c - 1] = type;
  }
  for (;;) {
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) throw DiagnosticError(SQL_HANDLE_STMT, stmt, "");
    std::vector<Variant> row;
    row.reserve(columns);
    for (SQLSMALLINT c = 1; c <= columns; ++c) {
      row.push_back(ReadValue(stmt, static_cast<SQLUSMALLINT>(c), types[c - 1]));
    }
    table.rows.push_back(std::move(row));
  }
  return table;
}

}  // namespace

OdbcLink::OdbcLink(const std::string& odbc) {
  SQLHENV env = Environment();
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc_))) {
    throw DiagnosticError(SQL_HANDLE_ENV, env, "Cannot allocate an ODBC connection: ");
  }
  WString wide = ToWide(odbc);
  SQLRETURN rc =
      SQLDriverConnectW(dbc_, nullptr, wide.data(), static_cast<SQLSMALLINT>(wide.size()), nullptr,
                        0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    Error error =
        DiagnosticError(SQL_HANDLE_DBC, dbc_,
                        "Cannot connect to the database (" + RedactOdbcConnectString(odbc) + "): ");
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
    throw error;
  }
  connected_ = true;
}

OdbcLink::~OdbcLink() { Disconnect(); }

void OdbcLink::Disconnect() {
  if (dbc_ == SQL_NULL_HDBC) return;
  if (connected_) SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  dbc_ = SQL_NULL_HDBC;
  connected_ = false;
}

BatchOutput OdbcLink::Run(std::string_view batch, const std::vector<Param>& params) {
  if (!connected_) throw DataAccessError(kErrObjectClosed);
  Statement stmt(dbc_);
  std::vector<ParamBuffer> buffers;
  BindParams(stmt.get(), params, &buffers);

  BatchOutput output;
  std::unique_ptr<Error> first_error;
  auto keep_error = [&first_error](Error error) {
    if (!first_error) first_error = std::make_unique<Error>(std::move(error));
  };
  WString text = ToWide(batch);
  SQLRETURN rc = SQLExecDirectW(stmt.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
  // A batch answers with one result per statement that reports something; a failing statement
  // answers SQL_ERROR and the server goes on with the next one, as SQL Server runs batches.
  for (int guard = 0; guard < 1000000; ++guard) {
    if (rc == SQL_ERROR) {
      keep_error(DiagnosticError(SQL_HANDLE_STMT, stmt.get(), ""));
    } else if (Succeeded(rc) || rc == SQL_NO_DATA) {
      SQLSMALLINT columns = 0;
      if (Succeeded(rc)) SQLNumResultCols(stmt.get(), &columns);
      if (columns > 0) {
        try {
          output.result_sets.push_back(ReadResultSet(stmt.get(), columns));
        } catch (Error& error) {
          keep_error(std::move(error));
        }
      } else {
        SQLLEN count = -1;
        if (Succeeded(SQLRowCount(stmt.get(), &count)) && count >= 0) {
          output.rows_affected = std::max<int64_t>(output.rows_affected, 0) + count;
        }
      }
    } else {
      break;  // SQL_INVALID_HANDLE, SQL_NEED_DATA, SQL_STILL_EXECUTING: nothing more to read
    }
    SQLRETURN more = SQLMoreResults(stmt.get());
    if (more == SQL_NO_DATA) break;
    if (more == SQL_ERROR) {
      // "Function sequence error": the driver has nothing more to read. Two errors in a row
      // without a result between them mean the same; either would otherwise repeat for ever.
      std::vector<Diagnostic> records = ReadDiagnostics(SQL_HANDLE_STMT, stmt.get());
      bool sequence = !records.empty() && records.front().state == "HY010";
      if (sequence) break;
      if (rc == SQL_ERROR) {
        keep_error(DiagnosticError(SQL_HANDLE_STMT, stmt.get(), ""));
        break;
      }
    }
    rc = more;
  }
  if (first_error) throw *first_error;
  return output;
}

std::string OdbcLink::InfoText(SQLUSMALLINT info) const {
  if (!connected_) return {};
  SQLWCHAR buffer[256] = {};
  SQLSMALLINT length = 0;
  if (!Succeeded(SQLGetInfoW(dbc_, info, buffer, sizeof buffer, &length))) return {};
  return ToUtf8(buffer, std::min<size_t>(length / sizeof(SQLWCHAR), std::size(buffer) - 1));
}

void OdbcLink::SetAutoCommit(bool on) {
  if (!connected_) throw DataAccessError(kErrObjectClosed);
  SQLULEN mode = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  if (!Succeeded(SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(mode),
                                    SQL_IS_UINTEGER))) {
    throw DiagnosticError(SQL_HANDLE_DBC, dbc_, "");
  }
}

void OdbcLink::EndTransaction(bool commit) {
  if (!connected_) throw DataAccessError(kErrObjectClosed);
  if (!Succeeded(SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK))) {
    throw DiagnosticError(SQL_HANDLE_DBC, dbc_, "");
  }
}

int32_t OdbcLink::InfoMask(SQLUSMALLINT info) const {
  if (!connected_) return 0;
  SQLUINTEGER mask = 0;
  if (!Succeeded(SQLGetInfoW(dbc_, info, &mask, sizeof mask, nullptr))) return 0;
  return static_cast<int32_t>(mask);
}

}  // namespace corva::db

#endif  // CORVA_WITH_ODBC
