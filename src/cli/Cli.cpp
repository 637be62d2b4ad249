#include "cli/Cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/Cp932.h"

namespace quillet {

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: quillet                      start the desktop program\n"
      "       quillet scan --finds [--lines] [--raw] [--start CATEGORY[:NAME]] [--encoding ENC] FILE...\n"
      "       quillet scan [--json] [--raw] [--start CATEGORY[:NAME]] [--encoding ENC] [--integrate] FILE...\n"
      "       quillet ids list [--raw] [--groups] [--data-dir DIR]\n"
      "       quillet ids import [--data-dir DIR] --group G FILE\n"
      "       quillet ids repair [--data-dir DIR]\n"
      "       quillet --help | --version\n"
      "ENC is how the logs are encoded: auto (the default: told from each file), sjis, euc-jp, jis\n"
      "or utf-8.\n"
      "A scanned FILE may also be a folder (every *.log and *.txt file and every archive below it,\n"
      "in byte order of their paths) or an archive (.zip .lzh .lha .tar .tar.gz .tgz .tar.bz2\n"
      ".tar.xz .7z: its *.log and *.txt members in stored order); each log is named FILE/PATH.\n",
      out);
}

namespace {

// CATEGORY[:NAME]: a decimal category 0..10 and an optional name in UTF-8.
bool ParseStart(const std::string& text, TForumData& start) {
  const size_t colon = text.find(':');
  const std::string number = text.substr(0, colon);
  if (number.empty() || number.size() > 2) return false;
  unsigned value = 0;
  for (const char c : number) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > fcSentMail) return false;
  start.Category = static_cast<uint8_t>(value);
  start.Name.clear();
  if (colon != std::string::npos) return TryFromUtf8(text.substr(colon + 1), start.Name);
  return true;
}

}  // namespace

bool ScanArguments::Has(const std::string& flag) const {
  return std::find(set.begin(), set.end(), flag) != set.end();
}

std::string ParseScanArguments(const std::vector<std::string>& args,
                               const std::vector<std::string>& flags, ScanArguments& out) {
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsDone || arg.empty() || arg[0] != '-' || arg == "-") {
      out.files.push_back(arg);
    } else if (arg == "--") {
      optionsDone = true;
    } else if (arg == "--raw") {
      out.raw = true;
    } else if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
      out.set.push_back(arg);
    } else if (arg == "--start" || arg.rfind("--start=", 0) == 0) {
      std::string value;
      if (arg == "--start") {
        if (i + 1 >= args.size()) return "--start needs CATEGORY[:NAME]";
        value = args[++i];
      } else {
        value = arg.substr(std::strlen("--start="));
      }
      if (!ParseStart(value, out.start))
        return "bad start context (CATEGORY 0-10, NAME in CP932 characters): " + value;
    } else if (arg == "--encoding" || arg.rfind("--encoding=", 0) == 0) {
      std::string value;
      if (arg == "--encoding") {
        if (i + 1 >= args.size()) return "--encoding needs auto, sjis, euc-jp, jis or utf-8";
        value = args[++i];
      } else {
        value = arg.substr(std::strlen("--encoding="));
      }
      if (!ParseLogEncoding(value, out.encoding))
        return "unknown encoding (auto, sjis, euc-jp, jis, utf-8): " + value;
    } else {
      return "unknown option " + arg;
    }
  }
  return {};
}

int RunCli(int argc, char** argv) {
  if (argc < 2) return -1;
  const std::string command = argv[1];
  // Qt's own options (the window system to use) start the desktop program too.
  if (command == "-platform" || command.rfind("-platform=", 0) == 0) return -1;
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
