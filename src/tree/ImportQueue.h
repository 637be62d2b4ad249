#pragma once
// The log import queue: the files of one import are scanned one after another through the tree
// manager, the last chosen file first and then the others in the chosen order. Each file fills
// a node under the top node named by its full path (with integration, every file fills the node
// of that first-scanned file); a file node shows images 14/15 while it is scanned and 8/9 when
// done. The main window drives it and shows its status text.
//
// A chosen path may also be a folder or an archive: it stands, in its place in that order, for the
// logs in it (folder walk order, then stored order for the members of an archive). A member is
// named by the archive's path, "/" and its path inside the archive (in UTF-8 here).
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
#include "analysis/LogArchive.h"
#include "tree/MakeTree.h"
#include "tree/TreeNodes.h"


class TImportQueue {
 public:
  using TTextHook = std::function<void(const std::string& sjisText)>;
  using TFilesHook = std::function<void(const std::vector<std::string>& paths)>;

  explicit TImportQueue(TTreeMgr* treeMgr);
  ~TImportQueue();
  TImportQueue(const TImportQueue&) = delete;
  TImportQueue& operator=(const TImportQueue&) = delete;

  // A handler for the tree manager's OnFileEnd that hands each end on to AnalysisEnded while this
  // queue exists. The owner of both wires it (or routes the ends to AnalysisEnded itself).
  TTreeMgr::TFileEndEvent FileEndHandler();

  // Logs still to be started, in order (files and members of archives; taken from the front: an
  // import may hold a hundred thousand of them).
  std::deque<std::string> FileQueue;
  // The node text that every file of an integrated import fills; empty when not integrating.
  std::string IntegrateName;
  // How the logs of the imports started from now on are read (the import dialog's choice).
  TLogEncoding Encoding = TLogEncoding::Auto;
  // The paths of the imports started from now on are files, as an open dialog returns them: none
  // is looked at for being a folder (a look per path that holds up the start of an import of a
  // hundred thousand logs). Archives are still told by their names.
  bool PathsAreFiles = false;

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
  // The tree manager's end of a file: marks its node done and starts the next file. When the scan
  // was cut short by a failing find handler, or when going on fails, the import ends (OnFinished)
  // and the failure is thrown on to the caller.
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
  // The files of the running or the last import that could not be read.
  const std::vector<std::string>& UnreadableFiles() const { return unreadable_; }
  // Beside each of those: why, when known ("" when not); kNoLog for a folder or archive without
  // a log.
  const std::vector<std::string>& UnreadableReasons() const { return reasons_; }
  static constexpr const char* kNoLog = "no log in it";

  // The tree text of a path: its Shift-JIS form, or the bytes as they are when it has none.
  static std::string NodeTextOf(const std::string& path);

 private:
  TTreeNode* Root();
  void StartNext();
  bool Start(const std::string& path, const TForumData& start);
  // Appends the logs a chosen path stands for; notes the folders and archives that hold none or
  // break off.
  void Expand(const std::string& path, std::vector<std::string>& logs);
  void NoteUnreadable(const std::string& path, const std::string& why);
  void Finish();
  void Abandon() noexcept;  // ends the import after a failure, without its end-of-import report
  void SetStatus(const std::string& text);

  TTreeMgr* const treeMgr_;
  std::shared_ptr<TImportQueue*> self_;  // lets the manager's event outlive this queue safely
  TForumData laterStart_;
  TLogEncoding encoding_ = TLogEncoding::Auto;  // Encoding as the running import started
  bool running_ = false;
  int started_ = 0;
  int total_ = 0;
  std::string status_;
  std::vector<std::string> unreadable_;
  std::vector<std::string> reasons_;
  // The members among the queued logs, in queue order: the next one to start is at the front.
  // The members of one archive share one reading position, which only moves forward.
  struct TMemberLog {
    std::string Path;
    std::shared_ptr<TLogArchive> Archive;
    TArchiveMember Member;
  };
  std::vector<TMemberLog> members_;
  size_t nextMember_ = 0;
  // The nodes being filled, held rather than looked up by text again: the user may rename or
  // move them meanwhile, and thousands of file nodes would make every look-up a long scan.
  TNodeHandle current_;    // the node of the file being scanned
  TNodeHandle integrated_;  // with integration, the one node every file fills
};
