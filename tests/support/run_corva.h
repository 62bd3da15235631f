// Runs the built `corva` program as a user would, for the tests of its commands: the exit code
// and everything it printed (standard output and error together).
#ifndef CORVA_TESTS_SUPPORT_RUN_CORVA_H_
#define CORVA_TESTS_SUPPORT_RUN_CORVA_H_

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace corva::testing {

struct ProgramRun {
  int exit_code = -1;
  std::string output;  // standard output and error together
};

// `arguments` as a shell reads them, after the program's path.
inline ProgramRun RunCorva(const std::string& arguments) {
  std::string command = std::string(CORVA_BINARY_DIR) + "/tools/corva/corva " + arguments + " 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, read);
  int status = pclose(pipe);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

}  // namespace corva::testing

#endif  // CORVA_TESTS_SUPPORT_RUN_CORVA_H_
