// CDataSource: how a public class reaches its database. Built on the class's CParse, it hands out
// freshly opened connections on the property string's connection string. (The provider facts cache
// and the error check of the full data source join this class later.)
#ifndef CORVA_FRAME_DATA_SOURCE_H_
#define CORVA_FRAME_DATA_SOURCE_H_

#include <memory>
#include <string>

#include "corva/connection.h"
#include "frame/parse.h"

namespace corva::frame {

// Owned by one public class instance (ClassFrame::m_DataSource); shares the instance's CParse. One
// call at a time; connections it hands out belong to the caller.
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

  // The property string's "ConnectString" (error 5 when absent).
  const std::string& ConnectString() const { return Parse().ConStr(); }
  // The property string's "DBMS Name" (error 5 when absent), not the provider's own answer.
  const std::string& DBMSName() const { return Parse().ConDBMSName(); }

 private:
  const CParse& Parse() const;

  std::shared_ptr<CParse> m_Parse;
};

}  // namespace corva::frame

#endif  // CORVA_FRAME_DATA_SOURCE_H_
