#include "app/TreeModel.h"

#include <QDir>
#include <QGuiApplication>
#include <QPalette>

#include "app/Icons.h"
#include "common/Cp932.h"

TTreeModel::TTreeModel(TTreeNodes& nodes, QObject* parent) : QAbstractItemModel(parent), nodes_(nodes) {
  nodes_.AddObserver(this);
}

TTreeModel::~TTreeModel() { nodes_.RemoveObserver(this); }

TTreeNode* TTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TTreeModel::IndexOf(const TTreeNode* node) const {
  if (!node) return {};
  return createIndex(node->Index(), 0, const_cast<TTreeNode*>(node));
}

QModelIndex TTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid()) return row < nodes_.TopCount() ? createIndex(row, 0, nodes_.Top(row)) : QModelIndex();
  const TTreeNode* node = NodeOf(parent);
  return row < node->Count() ? createIndex(row, 0, node->Item(row)) : QModelIndex();
}

QModelIndex TTreeModel::parent(const QModelIndex& child) const {
  const TTreeNode* node = NodeOf(child);
  return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return nodes_.TopCount();
  if (parent.column() != 0) return 0;
  return NodeOf(parent)->Count();
}

int TTreeModel::columnCount(const QModelIndex&) const { return 1; }

QIcon TTreeModel::IconFor(int image, int selected) const {
  const int key = (image + 1) * 64 + (selected + 1);
  auto it = icons_.find(key);
  if (it != icons_.end()) return *it;
  QIcon icon;
  const QImage normal = quillet::TreeImage(image);
  const QImage chosen = quillet::TreeImage(selected);
  if (!normal.isNull()) icon.addPixmap(QPixmap::fromImage(normal), QIcon::Normal);
  if (!chosen.isNull()) icon.addPixmap(QPixmap::fromImage(chosen), QIcon::Selected);
  icons_.insert(key, icon);
  return icon;
}

QString TTreeModel::DisplayText(const TTreeNode& node) {
  const QString text = QString::fromStdString(quillet::ToUtf8(node.Text()));
  // A log file's node (its text is the file's path) shows the file name first, then its folder.
  const bool fileNode = node.Parent() && !node.Parent()->Parent();
  const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
  if (!fileNode || slash < 0 || slash == text.size() - 1) return text;
  QString folder = text.left(slash);
  const QString home = QDir::homePath();
  if (!home.isEmpty() && home != QStringLiteral("/") &&
      (folder == home || folder.startsWith(home + QLatin1Char('/'))))
    folder = QStringLiteral("~") + folder.mid(home.size());
  if (folder.isEmpty()) folder = QStringLiteral("/");
  return text.mid(slash + 1) + QStringLiteral(" (") + folder + QLatin1Char(')');
}

QVariant TTreeModel::data(const QModelIndex& index, int role) const {
  const TTreeNode* node = NodeOf(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      return DisplayText(*node);
    case Qt::EditRole:
    case Qt::ToolTipRole:
      return QString::fromStdString(quillet::ToUtf8(node->Text()));
    case Qt::BackgroundRole:
      if (node == dropTarget_) return QGuiApplication::palette().brush(QPalette::Highlight);
      return {};
    case Qt::ForegroundRole:
      if (node == dropTarget_) return QGuiApplication::palette().brush(QPalette::HighlightedText);
      return {};
    case Qt::DecorationRole:
      if (node->ImageIndex() < 0 && node->SelectedIndex() < 0) return {};
      return IconFor(node->ImageIndex(), node->SelectedIndex());
    default:
      return {};
  }
}

bool TTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TTreeNode* node = NodeOf(index);
  if (!node || role != Qt::EditRole) return false;
  std::string text;
  if (!quillet::TryFromUtf8(value.toString().toStdString(), text)) {
    if (OnUnencodableText) OnUnencodableText(value.toString());
    return false;
  }
  node->SetText(std::move(text));
  return true;
}

Qt::ItemFlags TTreeModel::flags(const QModelIndex& index) const {
  const TTreeNode* node = NodeOf(index);
  if (!node) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
  if (CanEdit && CanEdit(node)) f |= Qt::ItemIsEditable;
  return f;
}

void TTreeModel::SetDropTarget(const TTreeNode* node) {
  if (node == dropTarget_) return;
  const TTreeNode* previous = dropTarget_;
  dropTarget_ = node;
  for (const TTreeNode* changed : {previous, node})
    if (changed) {
      const QModelIndex index = IndexOf(changed);
      emit dataChanged(index, index, {Qt::BackgroundRole, Qt::ForegroundRole});
    }
}

void TTreeModel::BeforeInsert(TTreeNode* parent, int row) { beginInsertRows(IndexOf(parent), row, row); }

void TTreeModel::AfterInsert(TTreeNode*) { endInsertRows(); }

void TTreeModel::BeforeRemove(TTreeNode* node) {
  if (dropTarget_ && dropTarget_->HasAsAncestor(node)) dropTarget_ = nullptr;
  const int row = node->Index();
  beginRemoveRows(IndexOf(node->Parent()), row, row);
}

void TTreeModel::AfterRemove(TTreeNode*, int) { endRemoveRows(); }

void TTreeModel::BeforeMove(TTreeNode* node, TTreeNode* newParent, int newRow) {
  const int row = node->Index();
  moving_ = beginMoveRows(IndexOf(node->Parent()), row, row, IndexOf(newParent), newRow);
  // A move Qt calls a no-op needs no notice; anything else it refuses falls back to a reset.
  if (!moving_) beginResetModel();
}

void TTreeModel::AfterMove(TTreeNode*) {
  if (moving_)
    endMoveRows();
  else
    endResetModel();
  moving_ = false;
}

void TTreeModel::Changed(TTreeNode* node) {
  const QModelIndex index = IndexOf(node);
  emit dataChanged(index, index);
}
