#pragma once
// The log import queue: the files of one import are scanned one after another through the tree
// manager, the last chosen file first and then the others in the chosen order. Each file fills
// a node under the top node named by its full path (with integration, every file fills the node
// of that first-scanned file); a file node shows images 14/15 while it is scanned and 8/9 when
// done. The main window drives it and shows its status text.
//
// Paths are file-system paths (bytes as the system names the file); node texts are the program's
// Shift-JIS texts, so a path is stored in the tree in its Shift-JIS form where it has one.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/LogAnalize.h"
#include "tree/TreeNodes.h"

class TTreeMgr;

class TImportQueue {
 public:
  using TTextHook = std::function<void(const std::string& sjisText)>;
  using TFilesHook = std::function<void(const std::vector<std::string>& paths)>;

  // Takes over the tree manager's OnFileEnd (routed to AnalysisEnded) for its own lifetime.
  explicit TImportQueue(TTreeMgr* treeMgr);
  ~TImportQueue();
  TImportQueue(const TImportQueue&) = delete;
  TImportQueue& operator=(const TImportQueue&) = delete;

  // Files still to be started, in order (taken from the front: an import may hold a hundred
  // thousand files).
  std::deque<std::string> FileQueue;
  // The node text that every file of an integrated import fills; empty when not integrating.
  std::string IntegrateName;

  // The status text: the path of the file being scanned and "を検索中", empty at the end.
  TTextHook OnStatus;
  // The files of the import that could not be read, once it has ended. Unset: a message to the
  // user through quillet::ui().
  TFilesHook OnUnreadable;
  // The import is complete (also after Stop).
  std::function<void()> OnFinished;

  // Starts an import of files in the order chosen, from the start context. Refused (false) while
  // an import runs or when files is empty. An import that starts runs until OnFinished.
  bool Import(const std::vector<std::string>& files, const TForumData& start, bool integrate);
  // The tree manager's end of a file: marks its node done and starts the next file.
  void AnalysisEnded(TTreeMgr* sender, const std::string& fileName);
  // Stops the running scan at its next line and drops the files still queued; what has been
  // filed stays, and the file nodes end with the finished images.
  void Stop();

  bool Running() const { return running_; }
  // Which file of how many is being scanned (1-based), for a progress display.
  int FilesStarted() const { return started_; }
  int FilesTotal() const { return total_; }
  // Bytes read of the file being scanned and its size; false when no scan runs.
  bool Progress(uint64_t& bytesRead, uint64_t& fileSize) const;
  const std::string& StatusText() const { return status_; }
  // The files of the running or the last import that could not be read.
  const std::vector<std::string>& UnreadableFiles() const { return unreadable_; }

  // The tree text of a path: its Shift-JIS form, or the bytes as they are when it has none.
  static std::string NodeTextOf(const std::string& path);

 private:
  TTreeNode* Root();
  void StartNext();
  bool Start(const std::string& path, const TForumData& start);
  void Finish();
  void SetStatus(const std::string& text);

  TTreeMgr* const treeMgr_;
  std::shared_ptr<TImportQueue*> self_;  // lets the manager's event outlive this queue safely
  TForumData laterStart_;
  bool running_ = false;
  int started_ = 0;
  int total_ = 0;
  std::string status_;
  std::vector<std::string> unreadable_;
  // The nodes being filled, held rather than looked up by text again: the user may rename or
  // move them meanwhile, and thousands of file nodes would make every look-up a long scan.
  TNodeHandle current_;    // the node of the file being scanned
  TNodeHandle integrated_;  // with integration, the one node every file fills
};
