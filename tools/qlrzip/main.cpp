#include <cstdio>

#include "tools/qlrzip/qlrzip.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(qlrzip::kUsage, stderr);
    return qlrzip::kBadUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(qlrzip::kUsage, stdout);
    return qlrzip::kOk;
  }
  auto machine = qlrzip::StartMachine(argv[0]);
  if (!machine) return qlrzip::kBadUsage;
  return qlrzip::Run(args, *machine);
}
