#include "tree/MakeTree.h"

#include <algorithm>
#include <utility>

#include "common/Clock.h"

#include "common/Cp932.h"
#include "common/UserInterface.h"
#include "iddb/PickEngine.h"

namespace {

// How often pending window events run while a scan files its finds.
constexpr int64_t kEventsEveryMs = 20;
constexpr int kFindsPerClockRead = 256;


}  // namespace

// Follows the tree: a deleted subtree that holds the node of the running scan stops that scan,
// and a change that could make a remembered folder wrong forgets the remembered folders. A new
// node never does: it goes after the siblings whose text sorts equal to its own, so it never
// becomes the first child of its text in front of a remembered one.
class TTreeMgr::Watcher final : public TTreeObserver {
 public:
  explicit Watcher(TTreeMgr& mgr) : mgr_(mgr) {}
  void BeforeRemove(TTreeNode* node) override {
    mgr_.ForgetTargetsUnder(node);
    mgr_.ForgetFileNodeUnder(node);
  }
  void BeforeMove(TTreeNode* node, TTreeNode*, int) override { mgr_.ForgetTargetsUnder(node); }
  void Changed(TTreeNode* node) override {
    const auto& known = mgr_.targetNodes_;
    if (std::find(known.begin(), known.end(), node) != known.end()) mgr_.ForgetTargets();
  }

 private:
  TTreeMgr& mgr_;
};

TTreeMgr::TTreeMgr(TTreeNodes* nodes, TPickData* pickData)
    : Nodes(nodes),
      Analysis(std::make_unique<TLogAnalysis>()),
      PickData(pickData),
      watcher_(std::make_unique<Watcher>(*this)) {
  if (Nodes) Nodes->AddObserver(watcher_.get());
}

TTreeMgr::~TTreeMgr() {
  // The tree goes before the controller: nothing found from here on is filed or reported.
  destroying_ = true;
  FileNode = nullptr;
  ForgetTargets();
  Analysis->OnFound = nullptr;
  Analysis->OnEnd = nullptr;
  if (Nodes) {
    Nodes->RemoveObserver(watcher_.get());
    if (TTreeNode* first = Nodes->GetFirstNode()) DeleteNode(first);
  }
}

bool TTreeMgr::AnalyzeFile(TTreeNode* fileNode, const std::string& fileName, const TForumData& start,
                           std::unique_ptr<TLogSource> source) {
  // A running scan keeps its node: switching it would file the rest of that log elsewhere.
  if (Analysis->Running()) return false;
  FileNode = fileNode;
  ForgetTargets();
  Analysis->OnFound = [this](TLogAnalysis* sender, const TIDData& find, const TForumData& context) {
    HandleFound(sender, find, context);
  };
  Analysis->OnEnd = [this](TLogAnalysis* sender, const std::string& name) { HandleEnd(sender, name); };
  lastEventsMs_ = quillet::MonotonicMs();
  findsSinceClock_ = 0;
  return Analysis->Analyze(fileName, start, std::move(source));
}

void TTreeMgr::HandleFound(TLogAnalysis*, const TIDData& find, const TForumData& context) {
  if (!FileNode || destroying_) return;
  TTreeNode* target = TargetOf(context);
  if (!target) return;
  target->EnsureIDSet().FileSighting(find.ID, find.HandleName);
  // Let the window paint and take input now and then. This is the last thing done here: a
  // command run meanwhile may delete folders, or even this manager. The clock is read at
  // every few hundredth find only.
  if (++findsSinceClock_ < kFindsPerClockRead) return;
  findsSinceClock_ = 0;
  const int64_t now = quillet::MonotonicMs();
  if (now - lastEventsMs_ >= kEventsEveryMs) {
    lastEventsMs_ = now;
    quillet::ui().ProcessEvents();
  }
}

void TTreeMgr::HandleEnd(TLogAnalysis*, const std::string& fileName) {
  if (destroying_) return;
  const TFileEndEvent onFileEnd = OnFileEnd;  // a handler may replace it, or destroy us
  if (onFileEnd) onFileEnd(this, fileName);
}

bool TTreeMgr::FolderTextsOf(const TForumData& context, std::string& first, std::string& second) {
  first.clear();
  second.clear();
  switch (context.Category) {
    case fcForum:
    case fcLibrary:
    case fcConference:
    case fcRealTime:
      first = SJ("フォーラム(") + context.Name + ")";
      if (context.Category == fcLibrary) second = SJ("ライブラリ");
      if (context.Category == fcConference) second = SJ("会議室");
      if (context.Category == fcRealTime) second = SJ("ＲＴ会議");
      return true;
    case fcPatio:
    case fcPatioConference:
    case fcPatioGuest:
      first = "PATIO(" + context.Name + ")";
      if (context.Category == fcPatioConference) second = SJ("会議室");
      if (context.Category == fcPatioGuest) second = "GUEST";
      return true;
    case fcCBSimulator:
      first = SJ("ＣＢシミュレータ");
      second = context.Name;  // the band
      return true;
    case fcReceivedMail:
      first = SJ("電子メール");
      second = SJ("受信メール");
      return true;
    case fcSentMail:
      first = SJ("電子メール");
      second = SJ("送信メール");
      return true;
    default:
      return false;
  }
}

TTreeNode* TTreeMgr::TargetOf(const TForumData& context) {
  const uint8_t category = context.Category;
  if (category == fcNone || category > fcSentMail) return nullptr;
  // The name counts for forums, PATIOs and the CB simulator only.
  const bool named = category <= fcCBSimulator;
  if (target_ && category == targetCategory_ && (!named || context.Name == targetName_)) return target_;
  targetCategory_ = category;
  if (named)
    targetName_ = context.Name;
  else
    targetName_.clear();
  // The key is built in a buffer kept from one change of screen to the next.
  key_.assign(1, static_cast<char>(category));
  key_ += targetName_;
  const uint64_t hash = TargetHash(key_);
  if (TTreeNode* known = FindTarget(hash, key_)) return target_ = known;

  std::string first, second;
  FolderTextsOf(context, first, second);
  // The folder of the first level is remembered under its text (after a zero byte, which no
  // screen's key starts with): thousands of them lie under the file node, and a binary search
  // among them reads a node far away in memory at every step.
  key_.assign(1, '\0');
  key_ += first;
  const uint64_t firstHash = TargetHash(key_);
  TTreeNode* target = FindTarget(firstHash, key_);
  if (target) {
    target->SetImages(imgCategory, imgCategorySelected);
  } else {
    target = FindOrAddChild(FileNode, first, imgCategory, imgCategorySelected);
    RememberTarget(firstHash, key_, target);
  }
  if (category != fcForum && category != fcPatio)
    target = FindOrAddChild(target, second, imgFolder, imgFolderSelected);
  // Remembered until the tree changes in any way (the watcher forgets them all), so a later find
  // of this screen lands exactly where the lookup above would put it.
  key_.assign(1, static_cast<char>(category));
  key_ += targetName_;
  RememberTarget(hash, key_, target);
  targetNodes_.push_back(target);
  if (targetNodes_.size() < 2 || targetNodes_[targetNodes_.size() - 2] != target->Parent())
    targetNodes_.push_back(target->Parent());
  return target_ = target;
}

uint64_t TTreeMgr::TargetHash(std::string_view key) {
  uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a, then mixed: the slot comes from the top bits
  for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
  h ^= h >> 32;
  h *= 0x9E3779B97F4A7C15ULL;
  return h | 1;
}

TTreeNode* TTreeMgr::FindTarget(uint64_t hash, std::string_view key) const {
  if (targetSlots_.empty()) return nullptr;
  const size_t mask = targetSlots_.size() - 1;
  for (size_t i = static_cast<size_t>(hash >> targetShift_);; i = (i + 1) & mask) {
    const TargetSlot& slot = targetSlots_[i];
    if (slot.hash == 0) return nullptr;
    if (slot.hash == hash && std::string_view(targetKeys_).substr(slot.key, slot.keySize) == key) return slot.node;
  }
}

void TTreeMgr::RememberTarget(uint64_t hash, std::string_view key, TTreeNode* node) {
  // At most three quarters full; a key block beyond 32-bit offsets is never reached by screens.
  if ((targetCount_ + 1) * 4 > targetSlots_.size() * 3) {
    const size_t size = targetSlots_.empty() ? 16 : targetSlots_.size() * 2;
    std::vector<TargetSlot> old(size);
    old.swap(targetSlots_);
    targetShift_ = 64;
    for (size_t s = size; s > 1; s >>= 1) --targetShift_;
    for (const TargetSlot& slot : old) {
      if (slot.hash == 0) continue;
      size_t i = static_cast<size_t>(slot.hash >> targetShift_);
      while (targetSlots_[i].hash != 0) i = (i + 1) & (size - 1);
      targetSlots_[i] = slot;
    }
  }
  const size_t mask = targetSlots_.size() - 1;
  size_t i = static_cast<size_t>(hash >> targetShift_);
  while (targetSlots_[i].hash != 0) i = (i + 1) & mask;
  targetSlots_[i] = TargetSlot{hash, static_cast<uint32_t>(targetKeys_.size()), static_cast<uint32_t>(key.size()), node};
  targetKeys_.append(key);
  ++targetCount_;
}

void TTreeMgr::ForgetTargets() {
  target_ = nullptr;
  // Given back, not only emptied: an import of many small logs starts each with a small table.
  std::vector<TargetSlot>().swap(targetSlots_);
  targetShift_ = 64;
  targetCount_ = 0;
  std::string().swap(targetKeys_);
  std::vector<const TTreeNode*>().swap(targetNodes_);
}

void TTreeMgr::ForgetTargetsUnder(const TTreeNode* node) {
  for (const TTreeNode* known : targetNodes_) {
    if (known && known->HasAsAncestor(node)) {
      ForgetTargets();
      return;
    }
  }
}

void TTreeMgr::ForgetFileNodeUnder(TTreeNode* node) {
  if (!FileNode || !FileNode->HasAsAncestor(node)) return;
  FileNode = nullptr;
  // Its finds have nowhere to go: the scan ends at the next line and its end is still reported.
  if (!destroying_) Analysis->Stop();
}

TTreeNode* TTreeMgr::TopNode() {
  if (TTreeNode* top = Nodes->GetFirstNode()) return top;
  return FindOrAddChild(nullptr, kTopNodeText, imgRoot, imgRootSelected);
}

TTreeNode* TTreeMgr::FindOrAddChild(TTreeNode* parent, const std::string& text) {
  return FindOrAddChild(parent, text, -1, -1);
}

TTreeNode* TTreeMgr::FindOrAddChild(TTreeNode* parent, const std::string& text, int image, int selected) {
  const int count = parent ? parent->Count() : Nodes->TopCount();
  auto child = [&](int i) { return parent ? parent->Item(i) : Nodes->Top(i); };
  // Siblings are kept in text order, so the byte-equal ones lie among those that sort equal:
  // find the first of those, then the first byte-equal one from there, in index order.
  int low = 0, high = count;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (TTreeNodes::CompareTexts(child(mid)->Text(), text) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  int i = low;
  for (; i < count && TTreeNodes::CompareTexts(child(i)->Text(), text) == 0; ++i) {
    if (child(i)->Text() == text) {
      if (image != -1 || selected != -1) child(i)->SetImages(image, selected);
      return child(i);
    }
  }
  // Where the search stopped is where a new node goes: after the ones that sort equal.
  TTreeNode* added = Nodes->AddChild(parent, text, i, image, selected);
  added->SetIDSet(std::make_unique<TStringListWithHash>());
  return added;
}

void TTreeMgr::DeleteNode(TTreeNode* node) {
  // The tree releases the ID sets with their nodes (a group node holds none); the watcher stops
  // a scan that files below.
  if (node) Nodes->Delete(node);
}

void TTreeMgr::CollectData(TTreeNode* destination, TTreeNode* source) {
  if (!destination || !source) return;
  if (source != RegisteredIDNode) {
    // The children of "登録ID" are groups, whose IDs come from the store below.
    for (int i = 0; i < source->Count(); ++i) CollectData(destination, source->Item(i));
  }
  if (destination == source && source != RegisteredIDNode) return;  // its own IDs are there
  TStringListWithHash& into = destination->EnsureIDSet();

  if (source == RegisteredIDNode) {
    if (!PickData) return;
    PickData->FindNext("");
    while (PickData->FindNext(" ")) into.AddIfAbsent(PickData->CurrentID(), PickData->CurrentHandle());
    return;
  }

  const TStringListWithHash* from = source->IDSet();
  if (!from) return;
  for (int i = 0; i < from->Count(); ++i) {
    const std::string_view id = from->Strings(i);
    if (id.empty() || into.IndexOf(id) != -1) continue;  // blank entries are deleted ones
    auto record = std::make_unique<TminiIDDataSet>(id);
    if (const TminiIDDataSet* original = from->Objects(i)) {
      // The handles only: the copy's HandleIsID starts false on purpose, so a later find never
      // replaces a collected handle.
      record->Handle = original->Handle;
      record->Handles = original->Handles;
    }
    into.AddObject(id, std::move(record));
  }
}
