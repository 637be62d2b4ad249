#include "tree/TreeNodes.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "analysis/jstrm.h"
#include "tree/StringListWithHash.h"

// ---- TTreeNode ----

TNodeHandle::TNodeHandle(TTreeNode* node) {
  if (!node) return;
  if (!node->handleCell_) node->handleCell_ = std::make_shared<TTreeNode*>(node);
  cell_ = node->handleCell_;
}

int TTreeNode::Index() const {
  if (!owner_) return 0;
  int& stale = parent_ ? parent_->childRowsStaleFrom_ : owner_->topRowsStaleFrom_;
  if (row_ < stale) return row_;
  // Every row before `stale` is right; count the rest once.
  const auto& siblings = owner_->SiblingsOf(parent_);
  for (size_t i = static_cast<size_t>(stale); i < siblings.size(); ++i) siblings[i]->row_ = static_cast<int>(i);
  stale = kRowsValid;
  return row_;
}

TTreeNode::~TTreeNode() {
  // Children first (they would go with children_ anyway): every handle of the subtree reads null.
  children_.clear();
  if (handleCell_) *handleCell_ = nullptr;
}

int TTreeNode::Level() const {
  int level = 0;
  for (const TTreeNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

bool TTreeNode::HasAsAncestor(const TTreeNode* node) const {
  for (const TTreeNode* p = this; p; p = p->parent_)
    if (p == node) return true;
  return false;
}

void TTreeNode::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  if (!owner_) return;
  owner_->Resort(this);
  owner_->NotifyChanged(this);
}

void TTreeNode::SetImages(int image, int selected) {
  if (image == imageIndex_ && selected == selectedIndex_) return;
  imageIndex_ = image;
  selectedIndex_ = selected;
  if (owner_) owner_->NotifyChanged(this);
}

void TTreeNode::SetIDSet(std::unique_ptr<TStringListWithHash> set) {
  idSet_ = std::move(set);
  if (idSet_) groupCode_ = 0;  // a node carries one data item
}

TStringListWithHash& TTreeNode::EnsureIDSet() {
  if (!idSet_) SetIDSet(std::make_unique<TStringListWithHash>());
  return *idSet_;
}

void TTreeNode::AddLog(TLogOrigin origin) {
  for (TLogOrigin& known : logs_) {
    if (known.Path == origin.Path) {
      known = std::move(origin);
      return;
    }
  }
  logs_.push_back(std::move(origin));
}

void TTreeNode::SetGroupCode(int code) {
  groupCode_ = code;
  if (code != 0) idSet_.reset();
}

// ---- TTreeNodes ----

TTreeNodes::TTreeNodes() = default;

// No notifications here: whoever observes the tree is gone or going with it.
TTreeNodes::~TTreeNodes() = default;

int TTreeNodes::CompareTexts(const std::string& a, const std::string& b) {
  // ASCII letters compare as small letters (punctuation between 'Z' and 'a' then sorts before
  // every letter); trail bytes of double-byte characters are never folded.
  const size_t n = std::min(a.size(), b.size());
  bool trail = false;
  for (size_t i = 0; i < n; ++i) {
    unsigned x = static_cast<unsigned char>(a[i]);
    unsigned y = static_cast<unsigned char>(b[i]);
    if (!trail) {
      if (x >= 'A' && x <= 'Z') x += 0x20;
      if (y >= 'A' && y <= 'Z') y += 0x20;
    }
    if (x != y) return x < y ? -1 : 1;
    // Equal so far means the same character structure in both texts.
    trail = !trail && IsLeadByte(static_cast<unsigned char>(a[i]));
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::vector<std::unique_ptr<TTreeNode>>& TTreeNodes::SiblingsOf(TTreeNode* parent) {
  return parent ? parent->children_ : top_;
}

namespace {

// The row a node with this text takes among siblings in order: after its equals.
int RowFor(const std::vector<std::unique_ptr<TTreeNode>>& siblings, const std::string& text) {
  const auto it = std::upper_bound(siblings.begin(), siblings.end(), text,
                                   [](const std::string& t, const std::unique_ptr<TTreeNode>& node) {
                                     return TTreeNodes::CompareTexts(t, node->Text()) < 0;
                                   });
  return static_cast<int>(it - siblings.begin());
}

}  // namespace

template <typename F>
void TTreeNodes::Notify(F&& f) {
  // A copy, so that an observer may remove itself while being told; the usual few are copied
  // on the stack (an import adds thousands of nodes, each told twice).
  constexpr size_t kOnStack = 4;
  if (observers_.size() <= kOnStack) {
    std::array<TTreeObserver*, kOnStack> observers{};
    const size_t count = observers_.size();
    std::copy(observers_.begin(), observers_.end(), observers.begin());
    for (size_t i = 0; i < count; ++i) f(*observers[i]);
    return;
  }
  const std::vector<TTreeObserver*> observers = observers_;
  for (TTreeObserver* o : observers) f(*o);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, std::string text) { return AddChild(parent, std::move(text), -1); }

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, std::string text, int rowHint, int image, int selected) {
  if (parent && parent->owner_ != this) throw std::invalid_argument("AddChild: parent of another tree");
  auto& siblings = SiblingsOf(parent);
  const int count = static_cast<int>(siblings.size());
  // After every sibling that sorts before or equal, before every one that sorts after.
  const bool hintRight = rowHint >= 0 && rowHint <= count &&
                         (rowHint == 0 || CompareTexts(siblings[rowHint - 1]->text_, text) <= 0) &&
                         (rowHint == count || CompareTexts(text, siblings[rowHint]->text_) < 0);
  const int row = hintRight ? rowHint : RowFor(siblings, text);
  Notify([&](TTreeObserver& o) { o.BeforeInsert(parent, row); });
  auto node = std::make_unique<TTreeNode>();
  node->text_ = std::move(text);
  node->imageIndex_ = image;
  node->selectedIndex_ = selected;
  node->parent_ = parent;
  node->owner_ = this;
  TTreeNode* added = node.get();
  siblings.insert(siblings.begin() + row, std::move(node));
  added->row_ = row;  // a node entering a list brings no count of its own
  RowsMoved(parent, row);
  Notify([&](TTreeObserver& o) { o.AfterInsert(added); });
  return added;
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (!node) return;
  if (node->owner_ != this) throw std::invalid_argument("Delete: node of another tree");
  TTreeNode* parent = node->parent_;
  Notify([&](TTreeObserver& o) { o.BeforeRemove(node); });
  auto& siblings = SiblingsOf(parent);
  const int row = node->Index();
  // Take the subtree out first and destroy it only after everybody has been told, so that no
  // observer ever sees a tree that holds freed nodes; other nodes never move in memory.
  std::unique_ptr<TTreeNode> removed = std::move(siblings[row]);
  siblings.erase(siblings.begin() + row);
  RowsMoved(parent, row);
  Notify([&](TTreeObserver& o) { o.AfterRemove(parent, row); });
  removed.reset();
}

void TTreeNodes::Move(TTreeNode* node, TTreeNode* newParent) {
  if (!node) return;
  if (node->owner_ != this || (newParent && newParent->owner_ != this))
    throw std::invalid_argument("Move: node of another tree");
  if (newParent && newParent->HasAsAncestor(node))
    throw std::invalid_argument("Move: a node cannot go below itself");
  if (newParent == node->parent_) return;  // already in order among these siblings
  auto& from = SiblingsOf(node->parent_);
  auto& to = SiblingsOf(newParent);
  const int oldRow = node->Index();
  const int newRow = RowFor(to, node->text_);
  Notify([&](TTreeObserver& o) { o.BeforeMove(node, newParent, newRow); });
  std::unique_ptr<TTreeNode> moving = std::move(from[oldRow]);
  from.erase(from.begin() + oldRow);
  RowsMoved(node->parent_, oldRow);
  to.insert(to.begin() + newRow, std::move(moving));
  node->parent_ = newParent;
  node->row_ = newRow;  // its count was one of the old list
  RowsMoved(newParent, newRow);
  Notify([&](TTreeObserver& o) { o.AfterMove(node); });
}

void TTreeNodes::Resort(TTreeNode* node) {
  auto& siblings = SiblingsOf(node->parent_);
  const int oldRow = node->Index();
  // The row among the other siblings (still in order) after the ones that sort before or equal:
  // a search on each side of the node's old place.
  const auto before = siblings.begin() + oldRow;
  const auto after = before + 1;
  const auto less = [](const std::string& t, const std::unique_ptr<TTreeNode>& s) {
    return CompareTexts(t, s->text_) < 0;
  };
  int row;
  if (oldRow > 0 && CompareTexts(node->text_, siblings[oldRow - 1]->text_) < 0)
    row = static_cast<int>(std::upper_bound(siblings.begin(), before, node->text_, less) - siblings.begin());
  else
    row = static_cast<int>(std::upper_bound(after, siblings.end(), node->text_, less) - siblings.begin()) - 1;
  if (row == oldRow) return;
  // Observers get the destination counted before the node leaves (as Qt's beginMoveRows).
  const int destination = row > oldRow ? row + 1 : row;
  Notify([&](TTreeObserver& o) { o.BeforeMove(node, node->parent_, destination); });
  std::unique_ptr<TTreeNode> moving = std::move(siblings[oldRow]);
  siblings.erase(siblings.begin() + oldRow);
  siblings.insert(siblings.begin() + row, std::move(moving));
  node->row_ = row;
  RowsMoved(node->parent_, std::min(row, oldRow));
  Notify([&](TTreeObserver& o) { o.AfterMove(node); });
}

void TTreeNodes::NotifyChanged(TTreeNode* node) {
  Notify([&](TTreeObserver& o) { o.Changed(node); });
}

void TTreeNodes::Clear() {
  while (!top_.empty()) Delete(top_.back().get());
}

void TTreeNodes::AbandonForExit() {
  // Deliberately leaked: the process ends next.
  static_cast<void>(std::make_unique<std::vector<std::unique_ptr<TTreeNode>>>(std::move(top_)).release());
  top_.clear();
}

int TTreeNodes::TotalCount() const {
  int count = 0;
  std::vector<const TTreeNode*> pending;
  for (const auto& n : top_) pending.push_back(n.get());
  while (!pending.empty()) {
    const TTreeNode* n = pending.back();
    pending.pop_back();
    ++count;
    for (const auto& c : n->children_) pending.push_back(c.get());
  }
  return count;
}

void TTreeNodes::AddObserver(TTreeObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void TTreeNodes::RemoveObserver(TTreeObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

// ---- TCheckNodeType ----

uint8_t TCheckNodeType::NodeType(const TTreeNode* node) const {
  if (!node) return ntFolder;
  if (node == RootNode) return ntRoot;
  // Without a "登録ID" node nothing is one of its groups (a top-level node has no parent
  // either, and must not be taken for a group).
  if (!RegisteredIDNode) return ntFolder;
  if (node == RegisteredIDNode) return ntRegisteredIDs;
  const std::string& text = node->Text();
  if (node->Parent() == RegisteredIDNode && text.size() > 2 && text[0] == '(') return ntGroup;
  return ntFolder;
}
