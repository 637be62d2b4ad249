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
#include <vector>

#include "analysis/LogAnalize.h"
#include "cli/Cli.h"
#include "cli/TreePrint.h"
#include "common/Heap.h"
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

// Room the heap is given in one step before an import: several times what the largest
// workload measured (some 300,000 IDs in 8,500 folders) takes.
constexpr size_t kHeapForImport = size_t{256} << 20;

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

  // The import below files each ID in a small piece of memory of its own.
  PrepareHeapForBulk(kHeapForImport);
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

    PrintTree(root, json, raw);
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
