#include "cli/Cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillet {

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: quillet                      start the desktop program\n"
      "       quillet scan --finds [--raw] [--start CATEGORY[:NAME]] FILE...\n"
      "       quillet scan [--json] [--raw] [--start CATEGORY[:NAME]] [--integrate] FILE...\n"
      "       quillet ids list [--raw] [--groups] [--data-dir DIR]\n"
      "       quillet ids import [--data-dir DIR] [--group G] FILE\n"
      "       quillet --help | --version\n",
      out);
}

int RunCli(int argc, char** argv) {
  if (argc < 2) return -1;
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("quillet %s\n", QUILLET_VERSION);
    return 0;
  }
  if (command == "scan") {
    if (std::find(args.begin(), args.end(), "--finds") != args.end()) return ScanFindsCommand(args);
    return ScanTreeCommand(args);
  }
  if (command == "ids") return IdsCommand(args);
  std::fprintf(stderr, "quillet: unknown command '%s'\n", command.c_str());
  PrintUsage(stderr);
  return kUsageError;
}

}  // namespace quillet
