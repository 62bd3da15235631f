// Ten lines a host writes: a statement on the embedded engine and a public class called by name.
#include <corva/corva.h>

#include <cstdio>

int main() {
  corva::Connection db;
  db.Open("Provider=SQLite;Data Source=:memory:");
  std::vector<corva::Variant> args{"ConnectString={Provider=SQLite;Data Source=:memory:}", 0};
  corva::Variant hours = corva::CreateObject("CorvaMSHTransBills.clsPublic")->Invoke("GetHour", args);
  std::printf("%s %d\n", db.Execute("select 6*7")->Fields(0).AsString().c_str(), hours.AsLong());
  return 0;
}
