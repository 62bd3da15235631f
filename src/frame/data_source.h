// CDataSource: how a public class reaches its database. Built on the class's CParse, it hands out
// freshly opened connections on the property string's connection string, answers facts about the
// database provider from a process-wide cache (read from the database once per process), looks up
// column types, and checks the errors a connection collected. RecordToDictionary copies a record.
#ifndef CORVA_FRAME_DATA_SOURCE_H_
#define CORVA_FRAME_DATA_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "corva/connection.h"
#include "corva/containers.h"
#include "corva/recordset.h"
#include "frame/parse.h"
#include "frame/shared_property.h"

namespace corva::frame {

// Owned by one public class instance (ClassFrame::m_DataSource); shares the instance's CParse. One
// call at a time; connections it hands out belong to the caller. The cache it reads is shared by
// every instance and thread of the process.
class CDataSource {
 public:
  // The parse object that holds the caller's property string. Error 91 from the readers below while
  // none is set.
  const std::shared_ptr<CParse>& ParseObject() const { return m_Parse; }
  void SetParseObject(std::shared_ptr<CParse> parse) { m_Parse = std::move(parse); }

  // A new connection, opened on ConnectString(), with read committed isolation set on it. Every
  // call opens another one; the caller drops it when done. Errors of opening (including a property
  // string without "ConnectString", error 5) reach the caller.
  ConnectionPtr Connection() const;
  // The same with read uncommitted isolation (no rule uses it).
  ConnectionPtr UnCommittedConnection() const;

  // The property string's "ConnectString" (error 5 when absent).
  const std::string& ConnectString() const { return Parse().ConStr(); }
  // The property string's "DBMS Name" (error 5 when absent), not the provider's own answer.
  const std::string& DBMSName() const { return Parse().ConDBMSName(); }

  // Cached provider facts of the database product the property string names ("DBMS Name" and
  // "DBMS Version"). A database that cannot be read leaves them Empty: empty text, False, 0.
  std::string DBMSVersion() const;
  bool MultipleResults() const;
  bool LikeEscapeClause() const;
  // Integrity Enhancement Facility: the provider enforces declared keys.
  bool IEF() const;
  // Bit masks of the scalar functions the provider offers (ODBC's SQL_FN_* bits).
  int32_t NumericFunctions() const;
  int32_t StringFunctions() const;
  int32_t SystemFunctions() const;
  int32_t DateTimeFunctions() const;
  // True when `ProcName` is a row of t_SupportedProc (compared as Dictionary keys: without regard
  // to case).
  bool ProcSupported(const std::string& ProcName) const;

  // Fills `group` from t_DataTypeInfo: each row as a Dictionary of its columns, at the position of
  // its FDataType. Errors reach the caller.
  void LoadDataTypeInfo(SharedPropertyGroup& group) const;
  // Column-type lookups over the cached t_DataTypeInfo row of `FDataType`. `length` is limited to
  // the type's FMaxPrecision and `scale` to FMinScale..FMaxScale where those are given.
  // GetTypeName: the type's name, with "(length)" or "(length,scale)" when it takes them.
  std::string GetTypeName(int32_t FDataType, int32_t& length, int32_t& scale) const;
  // GetActualType: the provider's type code; `length` becomes FActualSize where that is given.
  int32_t GetActualType(int32_t FDataType, int32_t& length, int32_t& scale) const;
  int32_t GetBindType(int32_t FDataType) const;

  // True when the property string names "Oracle" exactly (letter case matters).
  bool IsOracle() const { return DBMSName() == "Oracle"; }

  // True when `cn` collected a real error (as the error checker "OrmiErrorHandle.CheckADOError"
  // judges each entry). With `bRaise`, a real error is raised again: the number of the last real
  // entry and, as description, every entry's fields one per line.
  bool HasADOError(const corva::Connection& cn, bool bRaise) const;

 private:
  const CParse& Parse() const;
  // Group name prefix of the property string's product: DBMS name and version, without blanks
  // between them.
  std::string GroupPrefix() const;
  // A fact of the "DataSource" group, filling the group first when it is not yet.
  Variant GetCachedInfo(const std::string& name) const;
  // Fills the "DataSource" group `group_name`; false when no connection could be opened (the error
  // is raised again instead when `raise`).
  bool LoadDBMSInfo(const std::string& group_name, bool raise) const;
  // The cached row Dictionary of `FDataType` (nullptr when there is none).
  DictionaryPtr GetDataTypeRow(int32_t FDataType) const;

  std::shared_ptr<CParse> m_Parse;
};

// A new Dictionary with every field of the current record of `rs` under the field's name.
DictionaryPtr RecordToDictionary(const Recordset& rs);

}  // namespace corva::frame

#endif  // CORVA_FRAME_DATA_SOURCE_H_
