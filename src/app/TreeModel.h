#pragma once
// The folder tree as the tree view sees it: a Qt item model over the core tree TTreeNodes that
// follows the tree's notifications. One column; the text, and an icon whose selected form is the
// node's selected image.
#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <functional>
#include <unordered_map>
#include <vector>

#include "tree/TreeNodes.h"

class TTreeModel : public QAbstractItemModel, public TTreeObserver {
  Q_OBJECT
 public:
  explicit TTreeModel(TTreeNodes& nodes, QObject* parent = nullptr);
  ~TTreeModel() override;

  TTreeNode* NodeOf(const QModelIndex& index) const;
  // The node's index; a node whose insertion the views have not been told of yet (see
  // ShowInsertionsInBatches) is announced first.
  QModelIndex IndexOf(const TTreeNode* node) const;

  // While `parent` is set, the children added to it (with what is added below them) are told to
  // the views in batches, at most every kBatchEveryMs, instead of one by one: a view lays out
  // every row it shows again for each insertion, which made an import of thousands of logs slow
  // down with every log. Any other change first tells what is pending. nullptr ends the
  // batching and tells what is pending.
  void ShowInsertionsInBatches(const TTreeNode* parent);
  // Tells the views of the insertions held back so far.
  void AnnouncePending();
  static constexpr int kBatchEveryMs = 100;

  // Whether a node's text may be edited in place (the window allows it for ordinary folders).
  std::function<bool(const TTreeNode*)> CanEdit;
  // A typed name that has no Shift-JIS form: told to the user, and the edit is refused.
  std::function<void(const QString& text)> OnUnencodableText;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // What the tree shows for a node: its text, except that a log file's node (its text is the
  // file's whole path) shows the file name first: "forum.log (~/logs)". Edits and tooltips use
  // the text itself.
  static QString DisplayText(const TTreeNode& node);

  // The node a drag would drop onto, shown highlighted (null: none).
  void SetDropTarget(const TTreeNode* node);
  const TTreeNode* DropTarget() const { return dropTarget_; }

  // The icon of an image pair: the normal image, and the selected image for the selected state.
  QIcon IconFor(int image, int selected) const;

 private:
  void BeforeInsert(TTreeNode* parent, int row) override;
  void AfterInsert(TTreeNode* node) override;
  void BeforeRemove(TTreeNode* node) override;
  void AfterRemove(TTreeNode* parent, int row) override;
  void BeforeMove(TTreeNode* node, TTreeNode* newParent, int newRow) override;
  void AfterMove(TTreeNode* node) override;
  void Changed(TTreeNode* node) override;

  // IndexOf without announcing: for a node the views have not been told of, an invalid index.
  QModelIndex IndexIn(const TTreeNode* node) const;
  // Whether the node is in a subtree the views have not been told of.
  bool Hidden(const TTreeNode* node) const;

  TTreeNodes& nodes_;
  // Batched insertions: the parent, its children as the views know them, their rows there.
  const TTreeNode* batchParent_ = nullptr;
  std::vector<TTreeNode*> shown_;
  std::unordered_map<const TTreeNode*, int> shownRow_;
  bool pending_ = false;   // children of batchParent_ not told yet
  bool skipInsert_ = false;  // the insertion under way is held back
  const TTreeNode* movedBatchParent_ = nullptr;  // batching paused for a move
  class QTimer* batchTimer_ = nullptr;
  mutable QHash<int, QIcon> icons_;
  bool moving_ = false;
  const TTreeNode* dropTarget_ = nullptr;
};
