#pragma once
// The folder tree as a core object: nodes with a text, an image pair and one data item (a folder's
// ID set, owned, or a group letter code), children kept in text order. The main window shows it
// through a Qt model that follows the observer notifications.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tree/LogOrigin.h"
#include "tree/StringListWithHash.h"

class TTreeNodes;
class TTreeNode;

// A reference to a node that follows it through renames and moves and reads as null once the
// node has been deleted (or its tree destroyed). Cheap to copy; the node need not know who holds
// one.
class TNodeHandle {
 public:
  TNodeHandle() = default;
  TNodeHandle(TTreeNode* node);  // NOLINT: a handle stands in for a node pointer
  TNodeHandle& operator=(TTreeNode* node) { return *this = TNodeHandle(node); }
  TTreeNode* Get() const { return cell_ ? *cell_ : nullptr; }
  operator TTreeNode*() const { return Get(); }  // NOLINT
  TTreeNode* operator->() const { return Get(); }
  void Reset() { cell_.reset(); }

 private:
  std::shared_ptr<TTreeNode*> cell_;
};

class TTreeNode {
 public:
  TTreeNode() = default;
  ~TTreeNode();
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  const std::string& Text() const { return text_; }
  int ImageIndex() const { return imageIndex_; }
  int SelectedIndex() const { return selectedIndex_; }
  TTreeNode* Parent() const { return parent_; }
  TTreeNodes* Owner() const { return owner_; }
  int Count() const { return static_cast<int>(children_.size()); }
  TTreeNode* Item(int index) const { return children_[index].get(); }
  int Index() const;  // position among its siblings (top-level nodes included)
  int Level() const;  // 0 for a top-level node
  bool HasAsAncestor(const TTreeNode* node) const;  // node is this one or above it

  // Setters notify the observers; changing the text re-sorts the node among its siblings.
  void SetText(std::string text);
  void SetImages(int image, int selected);

  // The data item: an owned ID set, or a group letter code 65..90, or nothing.
  TStringListWithHash* IDSet() const { return idSet_.get(); }
  void SetIDSet(std::unique_ptr<TStringListWithHash> set);
  // The node's ID set, given an empty one first when it has none.
  TStringListWithHash& EnsureIDSet();
  // Setting one releases the other: a node carries one data item.
  int GroupCode() const { return groupCode_; }
  void SetGroupCode(int code);

  // The logs imported into this node (a file node; several with an integrated import), in the
  // order they were read. A log imported again replaces its earlier entry.
  const std::vector<TLogOrigin>& Logs() const { return logs_; }
  void AddLog(TLogOrigin origin);

 private:
  friend class TTreeNodes;
  friend class TNodeHandle;
  std::string text_;
  int imageIndex_ = -1;
  int selectedIndex_ = -1;
  TTreeNode* parent_ = nullptr;
  TTreeNodes* owner_ = nullptr;
  std::vector<std::unique_ptr<TTreeNode>> children_;
  std::unique_ptr<TStringListWithHash> idSet_;
  int groupCode_ = 0;
  std::vector<TLogOrigin> logs_;
  // The row among the siblings as last counted, and for the children: from which row on those
  // counts may be out of date (an insertion or removal shifts the rows after it). A tree model
  // asks for rows all the time; recounting only what moved, and only when asked, keeps a file
  // node with thousands of rooms, or a top node with thousands of files, cheap to fill.
  mutable int row_ = 0;
  mutable int childRowsStaleFrom_ = kRowsValid;
  static constexpr int kRowsValid = 1 << 30;
  // Shared with the handles of this node; cleared when the node goes.
  std::shared_ptr<TTreeNode*> handleCell_;
};

// Told of every structural change, before and after, so a Qt model can follow. Rows are those of
// the parent's children at the time of the call (parent nullptr: the top level). A move's newRow
// is counted before the node leaves its old place, as QAbstractItemModel::beginMoveRows wants
// its destination; a move that would not change the order is not reported.
class TTreeObserver {
 public:
  virtual ~TTreeObserver() = default;
  virtual void BeforeInsert(TTreeNode* /*parent*/, int /*row*/) {}
  virtual void AfterInsert(TTreeNode* /*node*/) {}
  virtual void BeforeRemove(TTreeNode* /*node*/) {}  // the whole subtree goes
  virtual void AfterRemove(TTreeNode* /*parent*/, int /*row*/) {}
  virtual void BeforeMove(TTreeNode* /*node*/, TTreeNode* /*newParent*/, int /*newRow*/) {}
  virtual void AfterMove(TTreeNode* /*node*/) {}
  virtual void Changed(TTreeNode* /*node*/) {}  // text or images
};

class TTreeNodes {
 public:
  TTreeNodes();
  ~TTreeNodes();
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;

  // A new child (parent nullptr: a top-level node) placed in text order: Latin letters compared
  // without case, otherwise bytes; equal texts keep insertion order.
  TTreeNode* AddChild(TTreeNode* parent, std::string text);
  // The same, told where the node goes (a caller that has just searched the siblings): the row
  // is checked against its two neighbours and searched for only when it is not right. The node
  // comes with its images, so that observers hear of one insertion and no change.
  TTreeNode* AddChild(TTreeNode* parent, std::string text, int rowHint, int image = -1, int selected = -1);
  // Removes the node with its subtree, releasing their ID sets.
  void Delete(TTreeNode* node);
  // Moves a node with its subtree under a new parent (nullptr: top level), in text order.
  void Move(TTreeNode* node, TTreeNode* newParent);
  void Clear();
  // Lets go of every node without freeing it and without telling the observers: for a process
  // about to exit, which need not spend its last moments handing a tree of a million records
  // back to the allocator. The tree is empty afterwards; handles of its nodes stay valid.
  void AbandonForExit();

  TTreeNode* GetFirstNode() const { return top_.empty() ? nullptr : top_.front().get(); }
  int TopCount() const { return static_cast<int>(top_.size()); }
  TTreeNode* Top(int index) const { return top_[index].get(); }
  int TotalCount() const;

  void AddObserver(TTreeObserver* observer);
  void RemoveObserver(TTreeObserver* observer);

  // The key order of sibling texts.
  static int CompareTexts(const std::string& a, const std::string& b);

 private:
  friend class TTreeNode;
  std::vector<std::unique_ptr<TTreeNode>>& SiblingsOf(TTreeNode* parent);
  void NotifyChanged(TTreeNode* node);
  template <typename F>
  void Notify(F&& f);
  void Resort(TTreeNode* node);
  int& StaleFromOf(TTreeNode* parent) { return parent ? parent->childRowsStaleFrom_ : topRowsStaleFrom_; }
  void RowsMoved(TTreeNode* parent, int from) {
    int& stale = StaleFromOf(parent);
    if (from < stale) stale = from;
  }

  std::vector<std::unique_ptr<TTreeNode>> top_;
  std::vector<TTreeObserver*> observers_;
  mutable int topRowsStaleFrom_ = TTreeNode::kRowsValid;
};

// Classifies a node: the root, "登録ID", a group node, or an ordinary folder.
enum : uint8_t { ntRoot = 0, ntRegisteredIDs = 1, ntGroup = 2, ntFolder = 3 };

class TCheckNodeType {
 public:
  TCheckNodeType(const TTreeNode* rootNode, const TTreeNode* registeredIDNode)
      : RootNode(rootNode), RegisteredIDNode(registeredIDNode) {}
  uint8_t NodeType(const TTreeNode* node) const;

  const TTreeNode* RootNode;
  const TTreeNode* RegisteredIDNode;
};
