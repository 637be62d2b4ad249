#pragma once
// The headless subcommands of quillet.
#include <cstdio>
#include <string>
#include <vector>

namespace quillet {

// Runs `quillet ARGS...` for a subcommand, --help or --version and returns the exit status.
// Returns -1 when there are no arguments (the caller starts the desktop program).
int RunCli(int argc, char** argv);

void PrintUsage(std::FILE* out);

// Subcommands; each takes the arguments after its name.
int ScanFindsCommand(const std::vector<std::string>& args);  // scan --finds ...
int ScanTreeCommand(const std::vector<std::string>& args);   // scan ... (the tree)
int IdsCommand(const std::vector<std::string>& args);        // ids list|import ...

// Exit status for bad arguments.
constexpr int kUsageError = 2;

}  // namespace quillet
