#include "tree/ImportQueue.h"

#include "common/Cp932.h"
#include "common/UserInterface.h"
#include "tree/MakeTree.h"

TImportQueue::TImportQueue(TTreeMgr* treeMgr)
    : treeMgr_(treeMgr), self_(std::make_shared<TImportQueue*>(this)) {
  // The event may outlive this queue (the manager can be destroyed later or earlier than it):
  // it only reaches the queue while the queue exists.
  std::weak_ptr<TImportQueue*> self = self_;
  treeMgr_->OnFileEnd = [self](TTreeMgr* sender, const std::string& fileName) {
    if (const auto queue = self.lock()) (*queue)->AnalysisEnded(sender, fileName);
  };
}

// The manager may already be gone (it is freed first at shutdown): it is not touched here.
TImportQueue::~TImportQueue() = default;

std::string TImportQueue::NodeTextOf(const std::string& path) {
  std::string text;
  return quillet::TryFromUtf8(path, text) ? text : path;
}

TTreeNode* TImportQueue::Root() {
  if (TTreeNode* root = treeMgr_->Nodes->GetFirstNode()) return root;
  TTreeNode* root = treeMgr_->FindOrAddChild(nullptr, "NIFTY SERVE");
  root->SetImages(imgRoot, imgRootSelected);
  return root;
}

bool TImportQueue::Import(const std::vector<std::string>& files, const TForumData& start, bool integrate) {
  // One import at a time: a second one would share the queue and the one controller.
  if (running_ || files.empty() || treeMgr_->Analysis->Running()) return false;
  unreadable_.clear();
  // The last file chosen goes first; with integration its node takes every file.
  const std::string first = files.back();
  IntegrateName = integrate ? NodeTextOf(first) : std::string();
  integrated_.Reset();
  current_.Reset();
  FileQueue.assign(files.begin(), files.end() - 1);
  // The later files start without a name, so only a context that needs none is carried over.
  laterStart_ = TForumData{};
  if (start.Category == fcNone || start.Category == fcCBSimulator || start.Category == fcReceivedMail ||
      start.Category == fcSentMail)
    laterStart_.Category = start.Category;
  running_ = true;
  started_ = 0;
  total_ = static_cast<int>(files.size());
  if (!Start(first, start)) StartNext();
  return true;
}

bool TImportQueue::Start(const std::string& path, const TForumData& start) {
  // An integrated import keeps its one node whatever it is called by now; only when the user
  // has deleted it is a node of that name found or made again.
  TTreeNode* node = integrated_;
  if (!node) {
    node = treeMgr_->FindOrAddChild(Root(), IntegrateName.empty() ? NodeTextOf(path) : IntegrateName, imgFileBusy,
                                    imgFileBusySelected);
    if (!IntegrateName.empty()) integrated_ = node;
  }
  current_ = node;
  node->SetImages(imgFileBusy, imgFileBusySelected);
  ++started_;
  const bool started = treeMgr_->AnalyzeFile(node, path, start);
  SetStatus(NodeTextOf(path) + SJ("を検索中"));
  if (started) return true;
  // A file that is not there never reports an end: note it and go on with the next one.
  unreadable_.push_back(path);
  if (IntegrateName.empty()) node->SetImages(imgFileDone, imgFileDoneSelected);
  return false;
}

void TImportQueue::AnalysisEnded(TTreeMgr* sender, const std::string& fileName) {
  if (running_ && sender && sender->Analysis->LastReadFailed()) unreadable_.push_back(fileName);
  // The node the ended scan filled: the one this queue started it with, else (a scan started
  // past the queue) the manager's.
  TTreeNode* node = current_ ? current_.Get() : (sender ? sender->FileNode.Get() : nullptr);
  current_.Reset();
  if (IntegrateName.empty() && node) node->SetImages(imgFileDone, imgFileDoneSelected);
  if (running_) StartNext();
}

void TImportQueue::StartNext() {
  while (!FileQueue.empty()) {
    const std::string next = std::move(FileQueue.front());
    FileQueue.pop_front();
    if (Start(next, laterStart_)) return;
  }
  Finish();
}

void TImportQueue::Finish() {
  if (TTreeNode* node = integrated_) node->SetImages(imgFileDone, imgFileDoneSelected);
  integrated_.Reset();
  current_.Reset();
  running_ = false;
  SetStatus(std::string());
  // The hooks come last and get copies: they may start the next import.
  const std::vector<std::string> unreadable = unreadable_;
  const auto onUnreadable = OnUnreadable;
  const auto onFinished = OnFinished;
  const std::weak_ptr<TImportQueue*> self = self_;
  if (!unreadable.empty()) {
    if (onUnreadable) {
      onUnreadable(unreadable);
    } else {
      std::string message = SJ("次のファイルを読み込めませんでした。") + "\r\n";
      for (const std::string& path : unreadable) message += "\r\n" + NodeTextOf(path);
      quillet::ui().ShowMessage(message);
    }
  }
  if (onFinished && !self.expired()) onFinished();
}

void TImportQueue::Stop() {
  if (!running_) return;
  FileQueue.clear();
  treeMgr_->Analysis->Stop();
}

bool TImportQueue::Progress(uint64_t& bytesRead, uint64_t& fileSize) const {
  return treeMgr_->Analysis->Progress(bytesRead, fileSize);
}

void TImportQueue::SetStatus(const std::string& text) {
  status_ = text;
  if (OnStatus) OnStatus(status_);
}
