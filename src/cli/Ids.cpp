// quillet ids list|import: the ID database without the desktop program.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "common/Cp932.h"
#include "iddb/DataFolder.h"
#include "iddb/ImportOther.h"
#include "iddb/PickEngine.h"
#include "iddb/TextFile.h"
#include "tree/StringListWithHash.h"

namespace quillet {
namespace {

int Usage(const char* problem) {
  std::fprintf(stderr, "quillet ids: %s\n", problem);
  PrintUsage(stderr);
  return kUsageError;
}

// Collects output and writes it in large pieces.
class Output {
 public:
  explicit Output(bool raw) : raw_(raw) {}
  ~Output() { Flush(); }
  void Field(const std::string& sjis) {
    if (raw_)
      buffer_ += sjis;
    else
      buffer_ += ToUtf8(sjis);
  }
  void Text(std::string_view text) { buffer_ += text; }
  void EndLine() {
    buffer_ += '\n';
    if (buffer_.size() >= 256 * 1024) Flush();
  }
  void Flush() {
    std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    std::fflush(stdout);
    buffer_.clear();
  }

 private:
  bool raw_;
  std::string buffer_;
};

struct Options {
  bool raw = false;
  bool groups = false;
  std::optional<std::string> dataDir;
  std::optional<std::string> group;
  std::vector<std::string> files;
};

// Parses the options after "list" or "import"; returns an error text or empty.
std::string ParseOptions(const std::vector<std::string>& args, bool forImport, Options& options) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::optional<std::string>& target) -> std::string {
      if (i + 1 >= args.size()) return a + " needs a value";
      target = args[++i];
      return {};
    };
    if (a == "--data-dir") {
      if (std::string e = value(options.dataDir); !e.empty()) return e;
    } else if (forImport && a == "--group") {
      if (std::string e = value(options.group); !e.empty()) return e;
    } else if (!forImport && a == "--raw") {
      options.raw = true;
    } else if (!forImport && a == "--groups") {
      options.groups = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown option " + a;
    } else {
      options.files.push_back(a);
    }
  }
  return {};
}

std::string FlagText(const TPickData& store) {
  std::string flags;
  flags += store.IsAutoRegist() ? 'A' : '-';
  flags += store.HasProfile() ? 'P' : '-';
  flags += store.HasMemo() ? 'M' : '-';
  return flags;
}

int ListCommand(const Options& options) {
  if (!options.files.empty()) return Usage("ids list takes no file");
  const std::string folder = options.dataDir ? *options.dataDir : DefaultDataFolder();
  TPickData store;
  store.SetReadOnly(true);
  store.Load(DataFileIn(folder));

  Output out(options.raw);
  if (options.groups) {
    for (const std::string& line : store.GroupMgr().Table()) {
      out.Field(line.substr(0, 1));
      out.Text("\t");
      out.Field(line.substr(1));
      out.EndLine();
    }
  } else {
    store.FindNext("");
    while (store.FindNext(" ")) {
      const std::string fields[] = {store.CurrentID(),    store.CurrentHandle(),
                                    store.CurrentAlias(), store.CurrentMemo(),
                                    store.CurrentGroup(), FlagText(store),
                                    store.RegistDateText(), store.UpdateDateText()};
      for (size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) out.Text("\t");
        out.Field(fields[i]);
      }
      out.EndLine();
    }
  }
  return store.LoadStoppedEarly() ? 1 : 0;
}

int ImportCommand(const Options& options) {
  if (options.files.size() != 1) return Usage("ids import takes exactly one FILE");
  std::string answer;
  if (!TryFromUtf8(options.group ? *options.group : std::string("E"), answer))
    return Usage("the group has no Shift-JIS form");
  const std::string group = ImportGroupFromAnswer(answer);
  if (group.empty()) return Usage("the group is empty");
  const std::string& file = options.files.front();
  if (!PathExists(file) || IsDirectory(file)) {
    std::fprintf(stderr, "quillet ids import: %s: no such file\n", file.c_str());
    return 1;
  }

  const std::string folder = options.dataDir ? *options.dataDir : DefaultDataFolder();
  TPickData store;
  store.Load(DataFileIn(folder));
  TStringListWithHash filed;
  ImportOtherFile(store, file, group, &filed);

  Output out(false);
  for (int i = 0; i < filed.Count(); ++i) {
    out.Field(std::string(filed.Strings(i)));
    out.Text("\t");
    if (const TminiIDDataSet* record = filed.Objects(i)) out.Field(record->Handle);
    out.EndLine();
  }
  out.Flush();
  store.Close();
  return 0;
}

}  // namespace

int IdsCommand(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("missing subcommand (list or import)");
  const std::string& sub = args.front();
  if (sub != "list" && sub != "import") return Usage(("unknown subcommand " + sub).c_str());
  Options options;
  if (const std::string error = ParseOptions(args, sub == "import", options); !error.empty())
    return Usage(error.c_str());
  try {
    return sub == "list" ? ListCommand(options) : ImportCommand(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillet ids %s: %s\n", sub.c_str(), e.what());
    return 1;
  }
}

}  // namespace quillet
