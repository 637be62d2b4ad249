#include "tree/ImportQueue.h"

#include <exception>

#include "analysis/LogPaths.h"
#include "common/Cp932.h"
#include "common/UserInterface.h"
#include "tree/MakeTree.h"

TImportQueue::TImportQueue(TTreeMgr* treeMgr)
    : treeMgr_(treeMgr), self_(std::make_shared<TImportQueue*>(this)) {}

TTreeMgr::TFileEndEvent TImportQueue::FileEndHandler() {
  // The event may outlive this queue (the manager can be destroyed later or earlier than it):
  // it only reaches the queue while the queue exists.
  std::weak_ptr<TImportQueue*> self = self_;
  return [self](TTreeMgr* sender, const std::string& fileName) {
    if (const auto queue = self.lock()) (*queue)->AnalysisEnded(sender, fileName);
  };
}

// The manager may already be gone (it is freed first at shutdown): it is not touched here.
TImportQueue::~TImportQueue() = default;

std::string TImportQueue::NodeTextOf(const std::string& path) {
  std::string text;
  return quillet::TryFromUtf8(path, text) ? text : path;
}

TTreeNode* TImportQueue::Root() { return treeMgr_->TopNode(); }

void TImportQueue::NoteUnreadable(const std::string& path, const std::string& why) {
  unreadable_.push_back(path);
  reasons_.push_back(why);
}

void TImportQueue::Expand(const std::string& path, std::vector<std::string>& logs) {
  std::vector<TLogItem> items;
  std::string why;
  if (PathsAreFiles && !IsArchiveName(path)) {
    logs.push_back(path);
    return;
  }
  switch (ExpandLogPath(path, items, why)) {
    case TExpandResult::NoLog:
      NoteUnreadable(path, kNoLog);
      return;
    case TExpandResult::Unreadable:
      NoteUnreadable(path, why);
      return;
    case TExpandResult::Ok:
      break;
  }
  for (const TLogItem& item : items) {
    if (!item.Archive) {
      logs.push_back(item.Path);
      continue;
    }
    // Listed once here so that progress can count the members; scanned in a second pass that
    // reads the archive through once more, member after member.
    std::vector<TArchiveMember> list;
    const TListResult listed = ListArchiveLogs(item.Path, list, why);
    if (!list.empty()) {
      const auto archive = std::make_shared<TLogArchive>(item.Path);
      for (TArchiveMember& member : list) {
        std::string name = item.Path + "/" + quillet::ToUtf8(member.Name);
        logs.push_back(name);
        members_.push_back(TMemberLog{std::move(name), archive, std::move(member)});
      }
    }
    if (listed == TListResult::NoLog) NoteUnreadable(item.Path, kNoLog);
    if (listed == TListResult::Unreadable) NoteUnreadable(item.Path, why);
  }
}

bool TImportQueue::Import(const std::vector<std::string>& files, const TForumData& start, bool integrate) {
  // One import at a time: a second one would share the queue and the one controller.
  if (running_ || files.empty() || treeMgr_->Analysis->Running()) return false;
  unreadable_.clear();
  reasons_.clear();
  members_.clear();
  nextMember_ = 0;
  // The last path chosen goes first, then the others in order; folders and archives stand for
  // their logs in their place.
  std::vector<std::string> logs;
  Expand(files.back(), logs);
  for (size_t i = 0; i + 1 < files.size(); ++i) Expand(files[i], logs);
  integrated_.Reset();
  current_.Reset();
  // The later files start without a name, so only a context that needs none is carried over.
  laterStart_ = TForumData{};
  if (start.Category == fcNone || start.Category == fcCBSimulator || start.Category == fcReceivedMail ||
      start.Category == fcSentMail)
    laterStart_.Category = start.Category;
  encoding_ = Encoding;
  running_ = true;
  started_ = 0;
  total_ = static_cast<int>(logs.size());
  if (logs.empty()) {  // only folders and archives without a log
    IntegrateName.clear();
    FileQueue.clear();
    Finish();
    return true;
  }
  // With integration the node of the first log scanned takes every log.
  const std::string first = logs.front();
  IntegrateName = integrate ? NodeTextOf(first) : std::string();
  FileQueue.assign(logs.begin() + 1, logs.end());
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
  std::unique_ptr<TLogSource> source;
  TLogOrigin origin;
  if (nextMember_ < members_.size() && members_[nextMember_].Path == path) {
    TMemberLog& member = members_[nextMember_++];
    origin = StampLogOrigin(path, start, encoding_, member.Archive->Path(), member.Member.Name);
    source = OpenArchiveMember(std::move(member.Archive), member.Member);
  } else {
    origin = StampLogOrigin(path, start, encoding_);
  }
  treeMgr_->Analysis->Encoding = encoding_;
  const bool started = treeMgr_->AnalyzeFile(node, path, start, std::move(source));
  if (started) node->AddLog(std::move(origin));  // so that the log can be read again later
  SetStatus(NodeTextOf(path) + SJ("を検索中"));
  if (started) return true;
  // A file that is not there never reports an end: note it and go on with the next one.
  NoteUnreadable(path, std::string());
  if (IntegrateName.empty()) node->SetImages(imgFileDone, imgFileDoneSelected);
  return false;
}

void TImportQueue::AnalysisEnded(TTreeMgr* sender, const std::string& fileName) {
  // A scan cut short by a failing handler ends the whole import; the failure is passed on to
  // the caller once the queue has ended, so that it is reported once.
  const std::exception_ptr failure = sender ? sender->Analysis->LastFailure() : nullptr;
  try {
    if (running_ && sender && sender->Analysis->LastReadFailed()) NoteUnreadable(fileName, std::string());
    if (failure) FileQueue.clear();
    // The node the ended scan filled: the one this queue started it with, else (a scan started
    // past the queue) the manager's.
    TTreeNode* node = current_ ? current_.Get() : (sender ? sender->FileNode.Get() : nullptr);
    current_.Reset();
    if (IntegrateName.empty() && node) node->SetImages(imgFileDone, imgFileDoneSelected);
    if (running_) StartNext();
  } catch (...) {
    Abandon();
    throw;
  }
  if (failure) std::rethrow_exception(failure);
}

void TImportQueue::Abandon() noexcept {
  FileQueue.clear();
  members_.clear();  // closes the archives
  nextMember_ = 0;
  if (!running_) return;
  // A scan this import may have started stops; its end then finds the queue ended.
  treeMgr_->Analysis->Stop();
  running_ = false;
  if (TTreeNode* node = integrated_) node->SetImages(imgFileDone, imgFileDoneSelected);
  integrated_.Reset();
  current_.Reset();
  status_.clear();
  // The first failure is the one reported; the hooks only get their chance to tidy up.
  try {
    if (OnStatus) OnStatus(status_);
  } catch (...) {
  }
  try {
    if (OnFinished) OnFinished();
  } catch (...) {
  }
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
  members_.clear();  // closes the archives
  nextMember_ = 0;
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
  nextMember_ = members_.size();
  treeMgr_->Analysis->Stop();
}

bool TImportQueue::Progress(uint64_t& bytesRead, uint64_t& fileSize) const {
  return treeMgr_->Analysis->Progress(bytesRead, fileSize);
}

void TImportQueue::SetStatus(const std::string& text) {
  status_ = text;
  if (OnStatus) OnStatus(status_);
}
