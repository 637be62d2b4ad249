#pragma once
// The folder tree as the tree view sees it: a Qt item model over the core tree TTreeNodes that
// follows the tree's notifications. One column; the text, and an icon whose selected form is the
// node's selected image.
#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <functional>

#include "tree/TreeNodes.h"

class TTreeModel : public QAbstractItemModel, public TTreeObserver {
  Q_OBJECT
 public:
  explicit TTreeModel(TTreeNodes& nodes, QObject* parent = nullptr);
  ~TTreeModel() override;

  TTreeNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const TTreeNode* node) const;

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

  TTreeNodes& nodes_;
  mutable QHash<int, QIcon> icons_;
  bool moving_ = false;
  const TTreeNode* dropTarget_ = nullptr;
};
