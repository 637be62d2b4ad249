// Entry point: a subcommand runs headless; no arguments start the desktop program.
#include <cstdio>
#include <exception>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  try {
    const int status = quillet::RunCli(argc, argv);
    if (status >= 0) return status;
    quillet::PrintUsage(stdout);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillet: %s\n", e.what());
    return 1;
  }
}
