// The command-line program: sets up embedded databases, runs batches of the SQL Server dialect,
// calls the public classes as the host does, and walks the sample factory through its chain.
#include <cstdio>

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::puts("corva: nothing here yet");
  return 0;
}
