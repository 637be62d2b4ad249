// quillet scan: imports the logs as the desktop program does when they are chosen in its open
// dialog (same queue, same controller on its worker thread, same tree manager), then prints the
// folder tree from "NIFTY SERVE" down.
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/LogAnalize.h"
#include "cli/Cli.h"
#include "common/Cp932.h"
#include "tree/ImportQueue.h"
#include "tree/MakeTree.h"
#include "tree/TreeNodes.h"

namespace quillet {
namespace {

// A release build leaves the filled tree to the end of the process: freeing a million records
// one by one would take a tenth of the run. Checked builds free everything, so that the leak
// checker still sees every allocation that is never given back.
#if defined(NDEBUG) && !defined(QUILLET_FREE_AT_EXIT) && !defined(__SANITIZE_ADDRESS__)
constexpr bool kFreeTreeAtExit = false;
#else
constexpr bool kFreeTreeAtExit = true;
#endif

int Usage(const char* problem, const std::string& detail = {}) {
  std::fprintf(stderr, "quillet scan: %s%s\n", problem, detail.c_str());
  PrintUsage(stderr);
  return kUsageError;
}

std::string CurrentFolder() {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// The path as an open dialog returns it: absolute, joined to the current folder when relative,
// with "." and ".." taken out by the text alone (links are not resolved).
std::string DialogPath(const std::string& path, const std::string& currentFolder) {
  const std::string joined = !path.empty() && path[0] == '/' ? path : currentFolder + "/" + path;
  std::vector<std::string_view> parts;
  std::string_view rest(joined);
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string clean;
  for (const std::string_view part : parts) clean.append("/").append(part);
  return clean.empty() ? "/" : clean;
}

// Collects the output and writes it in large pieces.
class Output {
 public:
  explicit Output(bool raw) : raw_(raw) { buffer_.reserve(kFlushAt + 4096); }
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Bytes(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Indent(int level) { buffer_.append(static_cast<size_t>(level) * 2, ' '); }
  // A Shift-JIS text of the tree, in UTF-8 unless raw.
  void Text(std::string_view sjis) { Bytes(raw_ || IsAscii(sjis) ? sjis : Utf8Of(sjis)); }
  // A JSON string of a Shift-JIS text (always UTF-8).
  void Json(std::string_view sjis) {
    bool plain = true, ascii = true;
    for (const char c : sjis) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 0x80) {
        ascii = plain = false;
        break;
      }
      if (u < 0x20 || u == '"' || u == '\\') plain = false;
    }
    if (plain) {  // most IDs and names: nothing to convert or escape
      buffer_.push_back('"');
      buffer_.append(sjis);
      buffer_.push_back('"');
    } else if (ascii) {
      AppendJson(buffer_, sjis);
    } else {
      // A record's shown handle is mostly its only handle as well: the same text twice running.
      if (lastJson_ && sjis == lastSjis_) {
        buffer_.append(*lastJson_);
        return;
      }
      // Converted and escaped once per distinct text.
      auto known = jsonOf_.find(sjis);
      if (known == jsonOf_.end()) {
        std::string json;
        AppendJson(json, Utf8Of(sjis));
        known = jsonOf_.emplace(std::string(sjis), std::move(json)).first;
      }
      buffer_.append(known->second);
      lastSjis_.assign(sjis);
      lastJson_ = &known->second;
    }
  }
  void Number(int value) { Bytes(std::to_string(value)); }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
    std::fflush(stdout);
  }

 private:
  // Large enough that writing costs nothing beside the rest, small enough not to count in the
  // memory of an import that files hundreds of thousands of IDs.
  static constexpr size_t kFlushAt = size_t{1} << 18;
  // A UTF-8 text as a JSON string.
  static void AppendJson(std::string& out, std::string_view utf8) {
    out.push_back('"');
    size_t plain = 0;  // start of the run of bytes that need no escape
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto u = static_cast<unsigned char>(utf8[i]);
      if (u >= 0x20 && u != '"' && u != '\\') continue;
      out.append(utf8, plain, i - plain);
      plain = i + 1;
      if (u == '"' || u == '\\') {
        out.push_back('\\');
        out.push_back(static_cast<char>(u));
      } else {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", u);
        out.append(escape);
      }
    }
    out.append(utf8, plain, utf8.size() - plain);
    out.push_back('"');
  }
  static bool IsAscii(std::string_view text) {
    for (const char c : text)
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  }
  // The same handles and folder names come back in many folders, and each conversion is a
  // round through iconv: each distinct text is converted once.
  std::string_view Utf8Of(std::string_view sjis) {
    auto known = utf8Of_.find(sjis);
    if (known == utf8Of_.end()) known = utf8Of_.emplace(std::string(sjis), ToUtf8(sjis)).first;
    return known->second;
  }
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  bool raw_;
  std::string buffer_;
  std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> utf8Of_;
  std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> jsonOf_;  // quoted
  std::string lastSjis_;                  // the text converted last, and its entry in jsonOf_
  const std::string* lastJson_ = nullptr;  // (the map's values stay where they are)
};

// One line per node, two spaces per level; a node's IDs one level further in, right below it.
void PrintText(Output& out, const TTreeNode* node, int level) {
  out.Indent(level);
  out.Text(node->Text());
  out.Bytes("\n");
  if (const TStringListWithHash* set = node->IDSet()) {
    for (int i = 0; i < set->Count(); ++i) {
      const std::string_view id = set->Strings(i);
      if (id.empty()) continue;
      const TminiIDDataSet* record = set->Objects(i);
      out.Indent(level + 1);
      out.Text(id);
      out.Bytes("  ");
      out.Text(record ? record->Handle.View() : std::string_view());
      out.Bytes("\n");
    }
  }
  for (int i = 0; i < node->Count(); ++i) PrintText(out, node->Item(i), level + 1);
}

void PrintJson(Output& out, const TTreeNode* node) {
  out.Bytes("{\"text\": ");
  out.Json(node->Text());
  out.Bytes(", \"image\": ");
  out.Number(node->ImageIndex());
  out.Bytes(", \"selectedImage\": ");
  out.Number(node->SelectedIndex());
  out.Bytes(", \"ids\": [");
  bool first = true;
  if (const TStringListWithHash* set = node->IDSet()) {
    for (int i = 0; i < set->Count(); ++i) {
      const std::string_view id = set->Strings(i);
      if (id.empty()) continue;
      const TminiIDDataSet* record = set->Objects(i);
      out.Bytes(first ? "{\"id\": " : ", {\"id\": ");
      first = false;
      out.Json(id);
      out.Bytes(", \"handle\": ");
      out.Json(record ? record->Handle.View() : std::string_view());
      out.Bytes(", \"handles\": [");
      if (record) {
        for (size_t h = 0; h < record->Handles.size(); ++h) {
          if (h) out.Bytes(", ");
          out.Json(record->Handles[h]);
        }
      }
      out.Bytes("]}");
    }
  }
  out.Bytes("], \"children\": [");
  for (int i = 0; i < node->Count(); ++i) {
    if (i) out.Bytes(", ");
    PrintJson(out, node->Item(i));
  }
  out.Bytes("]}");
}

}  // namespace

int ScanTreeCommand(const std::vector<std::string>& args) {
  ScanArguments parsed;
  const std::string problem = ParseScanArguments(args, {"--json", "--integrate"}, parsed);
  if (!problem.empty()) return Usage(problem.c_str());
  const bool json = parsed.Has("--json"), raw = parsed.raw, integrate = parsed.Has("--integrate");
  const TForumData& start = parsed.start;
  std::vector<std::string>& files = parsed.files;
  if (files.empty()) return Usage("no log file given");
  const std::string here = CurrentFolder();
  for (std::string& file : files) file = DialogPath(file, here);

  // The controller hands its finds over through an event loop on this thread.
  static int argc = 1;
  static char name[] = "quillet";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);

  TTreeNodes nodes;
  std::vector<std::string> unreadable, reasons;
  {
    TTreeMgr treeMgr(&nodes);
    TTreeNode* root = treeMgr.TopNode();
    TImportQueue queue(&treeMgr);
    treeMgr.OnFileEnd = queue.FileEndHandler();
    queue.Encoding = parsed.encoding;
    QEventLoop loop;
    queue.OnUnreadable = [&](const std::vector<std::string>& paths) {
      unreadable = paths;
      reasons = queue.UnreadableReasons();
    };
    queue.OnFinished = [&loop] { loop.quit(); };
    if (queue.Import(files, start, integrate) && queue.Running()) loop.exec();

    Output out(raw && !json);
    if (json) {
      PrintJson(out, root);
      out.Bytes("\n");
    } else {
      PrintText(out, root, 0);
    }
    out.Flush();
    // The manager deletes the tree with itself, unless the tree is dropped with the process.
    if (!kFreeTreeAtExit) nodes.AbandonForExit();
  }
  for (size_t i = 0; i < unreadable.size(); ++i) {
    const std::string& why = i < reasons.size() ? reasons[i] : std::string();
    if (why == TImportQueue::kNoLog)
      std::fprintf(stderr, "quillet scan: no log in %s\n", unreadable[i].c_str());
    else if (!why.empty())
      std::fprintf(stderr, "quillet scan: cannot read %s: %s\n", unreadable[i].c_str(), why.c_str());
    else
      std::fprintf(stderr, "quillet scan: cannot read %s\n", unreadable[i].c_str());
  }
  if (std::ferror(stdout)) {
    std::fprintf(stderr, "quillet scan: error writing the output\n");
    return 1;
  }
  return unreadable.empty() ? 0 : 1;
}

}  // namespace quillet
