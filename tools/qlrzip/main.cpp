#include <cstdio>

#include "tools/qlrzip/qlrzip.h"
#include "tools/qlrzip/terminal.h"

int main(int argc, char** argv) {
  const std::optional<std::vector<std::string>> args = qlrzip::CommandLine(argc, argv);
  if (!args) return qlrzip::kBadUsage;
  if (args->empty()) {
    std::fputs(qlrzip::kUsage, stderr);
    return qlrzip::kBadUsage;
  }
  if ((*args)[0] == "--help" || (*args)[0] == "-h") {
    std::fputs(qlrzip::kUsage, stdout);
    return qlrzip::kOk;
  }
  auto machine = qlrzip::StartMachine(argv[0]);
  if (!machine) return qlrzip::kBadUsage;
  return qlrzip::Run(*args, *machine);
}
