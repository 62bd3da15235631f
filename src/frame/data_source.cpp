// Opening the connections every rule works on.
#include "frame/data_source.h"

#include "corva/error.h"

namespace corva::frame {

const CParse& CDataSource::Parse() const {
  if (!m_Parse) throw Error::Runtime(kErrObjectNotSet);
  return *m_Parse;
}

ConnectionPtr CDataSource::Connection() const {
  const std::string& connect_string = ConnectString();
  auto connection = std::make_shared<corva::Connection>();
  connection->Open(connect_string);
  // Rules must never read another transaction's uncommitted quantities.
  connection->Execute("SET TRANSACTION ISOLATION LEVEL READ COMMITTED");
  return connection;
}

}  // namespace corva::frame
