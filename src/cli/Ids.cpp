// quillet ids list|import|repair: the ID database without the desktop program.
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "common/Cp932.h"
#include "iddb/DataFolder.h"
#include "iddb/ImportOther.h"
#include "iddb/PickEngine.h"
#include "iddb/Repair.h"
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
  // After the last Flush: false (with a message) when the output could not be written.
  static bool Written(const char* command) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "quillet ids %s: error writing the output\n", command);
    return false;
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

// Parses the options after "list", "import" or "repair"; returns an error text or empty.
std::string ParseOptions(const std::vector<std::string>& args, bool forImport, bool forList, Options& options) {
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
    } else if (forList && a == "--raw") {
      options.raw = true;
    } else if (forList && a == "--groups") {
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

// The data folder: --data-dir must name an existing folder; the default one may not exist yet.
bool DataFolderOf(const Options& options, const char* command, std::string& folder) {
  folder = options.dataDir ? *options.dataDir : DefaultDataFolder();
  if (!options.dataDir) return true;
  const char* problem = !PathExists(folder) ? "no such folder" : !IsDirectory(folder) ? "not a folder" : nullptr;
  if (!problem) return true;
  std::fprintf(stderr, "quillet ids %s: %s: %s\n", command, folder.c_str(), problem);
  return false;
}

int ListCommand(const Options& options) {
  if (!options.files.empty()) return Usage("ids list takes no file");
  std::string folder;
  if (!DataFolderOf(options, "list", folder)) return 1;
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
  out.Flush();
  if (!Output::Written("list")) return 1;
  return store.LoadStoppedEarly() ? 1 : 0;
}

// A list of another program: one of the three extensions, and text (no NUL byte in its start).
const char* ImportFileProblem(const std::string& file) {
  if (!PathExists(file)) return "no such file";
  if (IsDirectory(file)) return "is a directory, not an ID list";
  const std::string extension = ExtensionOf(file);
  if (extension != ".dat" && extension != ".lst" && extension != ".idb")
    return "not an ID list of a known layout (.dat, .lst or .idb)";
  LineReader reader(file);
  std::string line;
  for (int n = 0; n < 64 && reader.ReadLine(line);) {
    if (line.find('\0') != std::string::npos) return "a binary file, not an ID list";
    if (reader.Offset() > 65536) break;
    ++n;
  }
  return nullptr;
}

int ImportCommand(const Options& options) {
  if (options.files.size() != 1) return Usage("ids import takes exactly one FILE");
  if (!options.group) return Usage("ids import needs --group G");
  std::string answer;
  if (!TryFromUtf8(*options.group, answer)) return Usage("the group has no Shift-JIS form");
  const std::string group = ImportGroupFromAnswer(answer);
  if (group.empty()) return Usage("the group is empty");
  const std::string& file = options.files.front();
  if (const char* problem = ImportFileProblem(file)) {
    std::fprintf(stderr, "quillet ids import: %s: %s\n", file.c_str(), problem);
    return 1;
  }
  std::string folder;
  if (!DataFolderOf(options, "import", folder)) return 1;

  // The whole file is read before the store changes: a read error leaves everything as it was.
  std::vector<TImportRecord> records;
  {
    LineReader reader(file);
    ReadImportRecords(ExtensionOf(file), reader, group, [&](const TImportRecord& r) { records.push_back(r); });
  }

  TPickData store;
  store.Load(DataFileIn(folder));
  if (!store.Damage().empty()) throw Error(store.RefusalText());
  TStringListWithHash filed;
  int trashed = 0;
  for (const TImportRecord& r : records) {
    const bool known = store.Select(r.ID);
    ImportRecord(store, r);
    filed.FileSighting(r.ID, r.Handle);
    if (!known && store.Select(r.ID) && store.CurrentGroup() == "E") ++trashed;
  }
  // Another program (or another import) may have written the file meanwhile: then nothing is
  // written and the error says so.
  store.Close();
  if (trashed > 0)
    std::fprintf(stderr, "quillet ids import: %d IDs went to the trash (group E) and were not saved\n", trashed);

  Output out(false);
  for (int i = 0; i < filed.Count(); ++i) {
    out.Field(std::string(filed.Strings(i)));
    out.Text("\t");
    if (const TminiIDDataSet* record = filed.Objects(i)) out.Field(record->Handle);
    out.EndLine();
  }
  out.Flush();
  return Output::Written("import") ? 0 : 1;
}

int RepairCommand(const Options& options) {
  if (!options.files.empty()) return Usage("ids repair takes no file");
  std::string folder;
  if (!DataFolderOf(options, "repair", folder)) return 1;
  const RepairResult result = RepairDataFile(DataFileIn(folder));
  std::printf("kept %d records, rejected %d lines\n", result.records, result.rejectedLines);
  if (result.written)
    std::fprintf(stderr, "quillet ids repair: the damaged file was kept as %s; the rejected lines are in %s\n",
                 result.brokenCopy.c_str(), result.rejectedFile.c_str());
  else if (result.rejectedLines > 0)
    std::fprintf(stderr, "quillet ids repair: no record could be read; nothing was written\n");
  if (!Output::Written("repair")) return 1;
  return result.records == 0 && result.rejectedLines > 0 ? 1 : 0;
}

}  // namespace

int IdsCommand(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("missing subcommand (list, import or repair)");
  const std::string& sub = args.front();
  if (sub != "list" && sub != "import" && sub != "repair") return Usage(("unknown subcommand " + sub).c_str());
  Options options;
  if (const std::string error = ParseOptions(args, sub == "import", sub == "list", options); !error.empty())
    return Usage(error.c_str());
  try {
    if (sub == "list") return ListCommand(options);
    return sub == "import" ? ImportCommand(options) : RepairCommand(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillet ids %s: %s\n", sub.c_str(), e.what());
    return 1;
  }
}

}  // namespace quillet
