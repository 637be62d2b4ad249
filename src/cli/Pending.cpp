// Subcommands that are not built yet answer with a usage error.
#include <cstdio>

#include "cli/Cli.h"

namespace quillet {

int ScanTreeCommand(const std::vector<std::string>&) {
  std::fprintf(stderr, "quillet scan: only --finds is available in this build\n");
  PrintUsage(stderr);
  return kUsageError;
}

}  // namespace quillet
