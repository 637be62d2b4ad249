#include "tree/LogSightings.h"

#include <algorithm>

#include "analysis/jstrm.h"
#include "common/Clock.h"
#include "common/Cp932.h"
#include "tree/MakeTree.h"

namespace {

// Whether the path first/second under a file node is one the scanner files into (second empty:
// the first level itself).
bool IsFilingFolder(const std::string& first, const std::string& second, bool hasSecond) {
  auto enclosed = [&](const std::string& open) {
    return first.size() > open.size() && first.compare(0, open.size(), open) == 0 && first.back() == ')';
  };
  if (enclosed(SJ("フォーラム("))) {
    return !hasSecond || second == SJ("ライブラリ") || second == SJ("会議室") || second == SJ("ＲＴ会議");
  }
  if (enclosed("PATIO(")) return !hasSecond || second == SJ("会議室") || second == "GUEST";
  if (first == SJ("ＣＢシミュレータ")) return true;
  if (first == SJ("電子メール")) return !hasSecond || second == SJ("受信メール") || second == SJ("送信メール");
  return false;
}

// Every log of the subtree, each once: a log imported into two nodes is still read once.
void AllLogs(const TTreeNode* node, std::vector<TSightingFile>& out) {
  for (const TLogOrigin& log : node->Logs()) {
    const bool known = std::any_of(out.begin(), out.end(), [&](const TSightingFile& f) { return f.Origin.Path == log.Path; });
    if (!known) out.push_back(TSightingFile{log, true, {}, {}});
  }
  for (int i = 0; i < node->Count(); ++i) AllLogs(node->Item(i), out);
}

}  // namespace

std::vector<TSightingFile> PlanSightings(const TTreeNode* selected, const TTreeNodes& nodes) {
  std::vector<TSightingFile> files;
  if (selected && !selected->Logs().empty()) {
    for (const TLogOrigin& log : selected->Logs()) files.push_back(TSightingFile{log, true, {}, {}});
    return files;
  }
  // A forum, PATIO or room folder: one or two levels below a file node.
  const TTreeNode* file = nullptr;
  std::string first, second;
  bool hasSecond = false;
  if (selected && selected->Parent() && !selected->Parent()->Logs().empty()) {
    file = selected->Parent();
    first = selected->Text();
  } else if (selected && selected->Parent() && selected->Parent()->Parent() &&
             !selected->Parent()->Parent()->Logs().empty()) {
    file = selected->Parent()->Parent();
    first = selected->Parent()->Text();
    second = selected->Text();
    hasSecond = true;
  }
  if (file && IsFilingFolder(first, second, hasSecond)) {
    for (const TLogOrigin& log : file->Logs()) files.push_back(TSightingFile{log, false, first, second});
    return files;
  }
  for (int i = 0; i < nodes.TopCount(); ++i) AllLogs(nodes.Top(i), files);
  return files;
}

std::string SightingPlace(const TForumData& context) {
  std::string first, second;
  if (!TTreeMgr::FolderTextsOf(context, first, second)) return {};
  if (context.Category == fcForum || context.Category == fcPatio) return first;
  return first + "/" + second;
}

// Keeps the finds of the ID that count and hands them to the owner in small batches.
struct TSightingSearch::Sink final : TAnalysisSink {
  TSightingSearch& search;
  TLogAnalizingThread& worker;
  const TSightingFile& file;
  uint32_t index;
  std::vector<TSighting> batch;
  int64_t lastHandOff = quillet::MonotonicMs();

  Sink(TSightingSearch& s, TLogAnalizingThread& w, const TSightingFile& f, uint32_t i)
      : search(s), worker(w), file(f), index(i) {}

  void Found(const TIDData& find, const TForumData& context) override {
    if (find.ID.size() != search.id_.size() || !SameTextAscii(find.ID, search.id_)) return;
    std::string first, second;
    if (!TTreeMgr::FolderTextsOf(context, first, second)) return;  // the import filed it nowhere
    if (!file.AnyContext) {
      const bool own = context.Category == fcForum || context.Category == fcPatio;
      if (first != file.First || (file.Second.empty() ? !own : (own || second != file.Second))) return;
    }
    TSighting s;
    s.File = index;
    s.Line = find.Line;
    s.Place = SightingPlace(context);
    s.Handle = find.HandleName;
    s.Text.assign(worker.FoundLine());
    batch.push_back(std::move(s));
    if (batch.size() >= 256) HandOver();
  }
  void Progress(uint64_t bytesRead, uint64_t fileSize) override {
    search.bytesRead_.store(bytesRead, std::memory_order_relaxed);
    search.fileSize_.store(fileSize, std::memory_order_relaxed);
    if (!batch.empty() && quillet::MonotonicMs() - lastHandOff >= 10) HandOver();
  }
  void End(const std::string&) override { HandOver(); }

  void HandOver() {
    lastHandOff = quillet::MonotonicMs();
    if (batch.empty()) return;
    {
      std::lock_guard lock(search.mutex_);
      for (TSighting& s : batch) search.pending_.push_back(std::move(s));
    }
    batch.clear();
    if (search.OnReady) search.OnReady();
  }
};

TSightingSearch::TSightingSearch(std::string id, std::vector<TSightingFile> files)
    : id_(std::move(id)), files_(std::move(files)), notes_(files_.size(), TSightingNote::None) {}

TSightingSearch::~TSightingSearch() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void TSightingSearch::Start() {
  if (thread_.joinable() || done_) return;
  thread_ = std::thread([this] { Body(); });
}

void TSightingSearch::Stop() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  if (worker_) worker_->Terminated = true;
  if (!thread_.joinable()) done_ = true;  // never started: nothing will come
}

void TSightingSearch::Body() {
  for (size_t i = 0; i < files_.size() && !stop_; ++i) {
    const TSightingFile& file = files_[i];
    file_ = i;
    bytesRead_ = 0;
    fileSize_ = 0;
    TSightingNote note = TSightingNote::None;
    switch (CheckLogOrigin(file.Origin)) {
      case TLogChange::Vanished:
        note = TSightingNote::Vanished;
        break;
      case TLogChange::Changed:
        note = TSightingNote::Changed;
        break;
      case TLogChange::Same:
        break;
    }
    if (note != TSightingNote::Vanished) {
      std::string error;
      std::unique_ptr<TLogSource> source = OpenLogForReread(file.Origin, error);
      if (!source) {
        note = TSightingNote::Vanished;
      } else {
        TLogAnalizingThread worker;
        worker.FileName = file.Origin.Path;
        worker.ForumData = file.Origin.Start;
        worker.Source = std::move(source);
        worker.Encoding = file.Origin.Encoding;
        Sink sink(*this, worker, file, static_cast<uint32_t>(i));
        worker.NotifyWindow = &sink;
        {
          std::lock_guard lock(mutex_);
          if (stop_) break;
          worker_ = &worker;
        }
        worker.Execute();
        {
          std::lock_guard lock(mutex_);
          worker_ = nullptr;
        }
        if (worker.ReadFailed) note = TSightingNote::Unreadable;
      }
    }
    std::lock_guard lock(mutex_);
    notes_[i] = note;
  }
  done_ = true;
  if (OnReady) OnReady();
}

void TSightingSearch::Take(std::vector<TSighting>& out, size_t max) {
  std::lock_guard lock(mutex_);
  size_t n = std::min(max, pending_.size() - taken_);
  for (size_t k = 0; k < n; ++k) out.push_back(std::move(pending_[taken_ + k]));
  taken_ += n;
  if (taken_ == pending_.size()) {
    pending_.clear();
    taken_ = 0;
  }
}

bool TSightingSearch::Finished() const {
  std::lock_guard lock(mutex_);
  return done_ && pending_.empty();
}

std::vector<TSightingNote> TSightingSearch::Notes() const {
  std::lock_guard lock(mutex_);
  return notes_;
}

void TSightingSearch::Progress(size_t& file, uint64_t& bytesRead, uint64_t& fileSize) const {
  file = file_.load();
  bytesRead = bytesRead_.load(std::memory_order_relaxed);
  fileSize = fileSize_.load(std::memory_order_relaxed);
}
