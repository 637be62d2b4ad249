#pragma once
// The headless subcommands of quillet.
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/LogAnalize.h"

namespace quillet {

// Runs `quillet ARGS...` for a subcommand, --help or --version and returns the exit status.
// Returns -1 when there are no arguments (the caller starts the desktop program).
int RunCli(int argc, char** argv);

void PrintUsage(std::FILE* out);

// Subcommands; each takes the arguments after its name.
int ScanFindsCommand(const std::vector<std::string>& args);  // scan --finds ...
int ScanTreeCommand(const std::vector<std::string>& args);   // scan ... (the tree)
int IdsCommand(const std::vector<std::string>& args);        // ids list|import ...

// What the scan commands have in common on their command line: --raw, --start CATEGORY[:NAME]
// (also --start=...), --encoding NAME (also --encoding=NAME), "--" ending the options, and the
// log files. Flags named in `flags` (e.g.
// "--json") are accepted and collected in `set`.
struct ScanArguments {
  bool raw = false;
  TForumData start;
  TLogEncoding encoding = TLogEncoding::Auto;
  std::vector<std::string> files;
  std::vector<std::string> set;
  bool Has(const std::string& flag) const;
};
// Returns an empty text on success, else what was wrong (for the usage message).
std::string ParseScanArguments(const std::vector<std::string>& args,
                               const std::vector<std::string>& flags, ScanArguments& out);

// Exit status for bad arguments.
constexpr int kUsageError = 2;

}  // namespace quillet
