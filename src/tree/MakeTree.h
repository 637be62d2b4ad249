#pragma once
// The folder tree manager: files every find of a log scan into the folder tree (file node >
// forum, PATIO, CB simulator or e-mail > room), and offers the node operations the folder
// commands use: find-or-add a child, delete a subtree, collect the IDs of a subtree, search.
//
// GUI thread only. The core knows no GUI: while a scan files its finds, pending window events run
// through quillet::ui().ProcessEvents(), and the search selects its result through a hook.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LogAnalysis.h"
#include "tree/TreeNodes.h"

class TPickData;

// Image indexes of the folder tree (normal / selected).
enum : int {
  imgFolder = 0, imgFolderSelected = 1,            // rooms and user folders
  imgGroup = 2, imgGroupSelected = 3,              // group nodes
  imgSearch = 4, imgSearchSelected = 5,            // search results
  imgRoot = 6, imgRootSelected = 7,                // "NIFTY SERVE"
  imgFileDone = 8, imgFileDoneSelected = 9,        // a log (or ID file) that has been read
  imgCategory = 10, imgCategorySelected = 11,      // forums, PATIOs, CB simulator, e-mail
  imgRegistered = 12, imgRegisteredSelected = 13,  // "登録ID"
  imgFileBusy = 14, imgFileBusySelected = 15,      // a log being read
};

// The text of the tree's top node, under which every log's node goes.
inline constexpr const char* kTopNodeText = "NIFTY SERVE";

class TTreeMgr {
 public:
  using TFileEndEvent = std::function<void(TTreeMgr* sender, const std::string& fileName)>;
  using TSelectHook = std::function<void(TTreeNode* node)>;

  // Works on the tree's node collection (not owned); the ID store may be given now or later.
  explicit TTreeMgr(TTreeNodes* nodes, TPickData* pickData = nullptr);
  explicit TTreeMgr(TTreeNodes& nodes, TPickData* pickData = nullptr) : TTreeMgr(&nodes, pickData) {}
  // Deletes the tree (its first top-level node with everything below), then releases the
  // controller; a scan still running files nothing more and reports no end.
  ~TTreeMgr();
  TTreeMgr(const TTreeMgr&) = delete;
  TTreeMgr& operator=(const TTreeMgr&) = delete;

  // The node the running scan files into, followed through renames and moves; null once that
  // node (or one above it) is deleted.
  TNodeHandle FileNode;
  // "登録ID"; set by the owner right after creating it.
  TTreeNode* RegisteredIDNode = nullptr;
  TTreeNodes* const Nodes;
  const std::unique_ptr<TLogAnalysis> Analysis;
  // Fired when a scan ends, with the path it was started with (also after a stop).
  TFileEndEvent OnFileEnd;

  // The ID store, for the registered IDs of "登録ID" and of the group nodes (collection and
  // search). May stay null: those nodes then yield nothing.
  TPickData* PickData = nullptr;
  // Makes a node the selected one in the window and shows its IDs (the end of a search).
  TSelectHook OnSelectNode;

  // Starts scanning fileName into fileNode. False, and no OnFileEnd follows, when the file does
  // not exist or another scan is still running.
  // With a source, the log's bytes come from it (a member of an archive) and fileName only names
  // the log.
  bool AnalyzeFile(TTreeNode* fileNode, const std::string& fileName, const TForumData& start,
                   std::unique_ptr<TLogSource> source = nullptr);
  // Files one find (the controller's OnFound).
  void HandleFound(TLogAnalysis* sender, const TIDData& find, const TForumData& context);
  // The controller's OnEnd: hands the end on to OnFileEnd.
  void HandleEnd(TLogAnalysis* sender, const std::string& fileName);

  // The texts of the folder a find of this context is filed into: the first level under the
  // file node and the second (empty where the first level is the target). False for a context
  // that is not filed (category 0 or above 10).
  static bool FolderTextsOf(const TForumData& context, std::string& first, std::string& second);

  // The first child whose text is byte for byte equal, else a new child with an empty ID set.
  TTreeNode* FindOrAddChild(TTreeNode* parent, const std::string& text);
  // The first top node; "NIFTY SERVE" with its images is made when the tree is empty.
  TTreeNode* TopNode();
  // The same, and the node gets these images (a new one is made with them: a tree view hears of
  // its insertion only, which matters when thousands of folders are made inside closed ones).
  TTreeNode* FindOrAddChild(TTreeNode* parent, const std::string& text, int image, int selected);
  // Deletes the node with its whole subtree and their ID sets. Deleting the node of the running
  // scan or one above it first stops that scan; its end is still reported.
  void DeleteNode(TTreeNode* node);
  // Adds to destination the IDs of source and of all its descendants that it does not hold yet.
  void CollectData(TTreeNode* destination, TTreeNode* source);

  // Folder search (Search.cpp): puts the IDs of node (and of its sub-folders) whose ID, handle or
  // memo contains the keyword into the result folder '"keyword"(in node)', then selects it.
  TTreeNode* SearchFolder(TTreeNode* node, const std::string& keyword, bool includeSubFolders);
  void SearchNode(TTreeNode* result, TTreeNode* source, bool includeSubFolders, const std::string& keyword);

 private:
  class Watcher;

  void ForgetFileNodeUnder(TTreeNode* node);
  void ForgetTargets();
  void ForgetTargetsUnder(const TTreeNode* node);
  TTreeNode* TargetOf(const TForumData& context);

  std::unique_ptr<Watcher> watcher_;
  bool destroying_ = false;
  int64_t lastEventsMs_ = 0;  // when pending events last ran during a scan
  int findsSinceClock_ = 0;   // finds filed since the clock was last read

  // The folder each context filed into so far, and the last one, so that a run of finds in one
  // screen neither builds the folder texts nor looks the folders up again for every find. All
  // are forgotten when one of those folders is renamed, re-imaged, moved or deleted.
  //
  // An import of thousands of rooms changes screens tens of thousands of times: the folders are
  // found by open addressing over a hash of the key (category and name), the keys back to back
  // in one block, so that a look-up reads one slot and one key.
  struct TargetSlot {
    uint64_t hash = 0;  // 0: empty (a hash is never 0)
    uint32_t key = 0;   // where the key starts in targetKeys_
    uint32_t keySize = 0;
    TTreeNode* node = nullptr;
  };
  static uint64_t TargetHash(std::string_view key);
  TTreeNode* FindTarget(uint64_t hash, std::string_view key) const;
  void RememberTarget(uint64_t hash, std::string_view key, TTreeNode* node);
  std::vector<TargetSlot> targetSlots_;
  int targetShift_ = 64;  // the slot of a hash is its top (64 - targetShift_) bits
  size_t targetCount_ = 0;
  std::string targetKeys_;
  std::vector<const TTreeNode*> targetNodes_;  // those folders and their category folders
  TTreeNode* target_ = nullptr;
  uint8_t targetCategory_ = 0;
  std::string targetName_;
  std::string key_;
};
