// Installing the database schema: the scripts of schema/ (and, on request, the sample factory of
// schema/sample/) are compiled into the library and run batch by batch on an open connection. Also
// the property string a caller uses with an embedded database, as `corva init` prints it.
#ifndef CORVA_DB_SCHEMA_INSTALLER_H_
#define CORVA_DB_SCHEMA_INSTALLER_H_

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "corva/connection.h"

namespace corva::db {

// The schema scripts as (name, text) in the order they run ("01_frame.sql", ...).
const std::vector<std::pair<std::string, std::string>>& SchemaScripts();
// The sample factory's scripts, run after the schema ("sample/10_factory.sql", ...).
const std::vector<std::pair<std::string, std::string>>& SampleScripts();

// One batch of a script and the line of the script it starts on (from 1).
struct ScriptBatch {
  std::string text;
  int first_line = 1;
};

// Splits `script` at lines holding only "GO" (any letter case, blanks around it allowed), as
// sqlcmd does. Batches holding only blanks are dropped; the others keep their lines, each ended
// by "\n" (a CR before it is dropped).
std::vector<ScriptBatch> SplitBatches(std::string_view script);

// Called with a script's name before the script runs.
using ScriptProgress = std::function<void(const std::string& script)>;

// Runs every schema script on `connection`, batch by batch in order, and then, when `sample`, the
// sample factory. The first failing batch stops the installation and throws corva::Error with the
// engine's number and a description naming the script, the batch and the line it starts on,
// followed by the engine's message; what ran before stays as the connection's transaction decides.
// An embedded database installs much faster when `connection` was opened inside a
// corva::TransactionScope that commits afterwards: otherwise every statement commits by itself.
// REQUIRES: `connection` is open on an empty database.
void InstallSchema(Connection& connection, bool sample = false);
void InstallSchema(Connection& connection, bool sample, const ScriptProgress& progress);

// Creates an empty embedded database at `path`, leaving a file that exists as it is. The embedded
// backend opens only databases that exist (a path that does not is error 4060), so a new one is
// made on purpose, as `corva init` does. Throws corva::Error 4060 naming the path when the file
// cannot be made.
void CreateDatabaseFile(const std::string& path);

// The property string for a caller of the library on the embedded database at `path` (made
// absolute): "ConnectString={Provider=SQLite;Data Source=<path>};UserName=administrator;
// UserID=16394;DBMS Name=Corva SQL;DBMS Version=<engine version>;Language=<language>;
// AcctType=GY;CorvaVersion=QRB". The path must hold neither ";" nor "}", which the property string
// cannot carry inside its braces.
std::string SampleDsn(const std::string& path, const std::string& language = "chs");

}  // namespace corva::db

#endif  // CORVA_DB_SCHEMA_INSTALLER_H_
