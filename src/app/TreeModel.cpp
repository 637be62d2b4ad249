#include "app/TreeModel.h"

#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>

#include "app/Icons.h"
#include "common/Cp932.h"

TTreeModel::TTreeModel(TTreeNodes& nodes, QObject* parent) : QAbstractItemModel(parent), nodes_(nodes) {
  nodes_.AddObserver(this);
  batchTimer_ = new QTimer(this);
  batchTimer_->setSingleShot(true);
  batchTimer_->setInterval(kBatchEveryMs);
  connect(batchTimer_, &QTimer::timeout, this, [this] { AnnouncePending(); });
}

TTreeModel::~TTreeModel() { nodes_.RemoveObserver(this); }

TTreeNode* TTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TTreeModel::IndexOf(const TTreeNode* node) const {
  // Announcing changes the model, which a caller outside the views may ask for at any time.
  if (pending_ && Hidden(node)) const_cast<TTreeModel*>(this)->AnnouncePending();
  return IndexIn(node);
}

QModelIndex TTreeModel::IndexIn(const TTreeNode* node) const {
  if (!node) return {};
  if (batchParent_ && node->Parent() == batchParent_) {
    const auto shown = shownRow_.find(node);
    if (shown == shownRow_.end()) return {};
    return createIndex(shown->second, 0, const_cast<TTreeNode*>(node));
  }
  return createIndex(node->Index(), 0, const_cast<TTreeNode*>(node));
}

bool TTreeModel::Hidden(const TTreeNode* node) const {
  if (!batchParent_) return false;
  for (const TTreeNode* n = node; n; n = n->Parent())
    if (n->Parent() == batchParent_) return shownRow_.find(n) == shownRow_.end();
  return false;
}

void TTreeModel::ShowInsertionsInBatches(const TTreeNode* parent) {
  if (parent == batchParent_) return;
  AnnouncePending();
  batchParent_ = parent;
  shown_.clear();
  shownRow_.clear();
  if (!parent) return;
  for (int i = 0; i < parent->Count(); ++i) {
    shown_.push_back(parent->Item(i));
    shownRow_.emplace(parent->Item(i), i);
  }
}

void TTreeModel::AnnouncePending() {
  batchTimer_->stop();
  if (!pending_) return;
  pending_ = false;
  const TTreeNode* parent = batchParent_;
  const QModelIndex parentIndex = IndexIn(parent);
  // Only insertions have happened below the parent since the views were last told (anything
  // else announces first), so what they know is the real list with runs of new children left
  // out: each run is told as one insertion, in order.
  for (int i = 0; i < parent->Count(); ++i) {
    if (i < static_cast<int>(shown_.size()) && shown_[i] == parent->Item(i)) continue;
    int last = i;
    while (last + 1 < parent->Count() &&
           !(i < static_cast<int>(shown_.size()) && shown_[i] == parent->Item(last + 1)))
      ++last;
    beginInsertRows(parentIndex, i, last);
    std::vector<TTreeNode*> run;
    for (int k = i; k <= last; ++k) run.push_back(parent->Item(k));
    shown_.insert(shown_.begin() + i, run.begin(), run.end());
    for (int k = i; k < static_cast<int>(shown_.size()); ++k) shownRow_[shown_[k]] = k;
    endInsertRows();
    i = last;
  }
}

QModelIndex TTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid()) return row < nodes_.TopCount() ? createIndex(row, 0, nodes_.Top(row)) : QModelIndex();
  const TTreeNode* node = NodeOf(parent);
  if (node == batchParent_ && batchParent_)
    return row < static_cast<int>(shown_.size()) ? createIndex(row, 0, shown_[row]) : QModelIndex();
  return row < node->Count() ? createIndex(row, 0, node->Item(row)) : QModelIndex();
}

QModelIndex TTreeModel::parent(const QModelIndex& child) const {
  const TTreeNode* node = NodeOf(child);
  return node ? IndexIn(node->Parent()) : QModelIndex();
}

int TTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return nodes_.TopCount();
  if (parent.column() != 0) return 0;
  const TTreeNode* node = NodeOf(parent);
  if (node == batchParent_ && batchParent_) return static_cast<int>(shown_.size());
  return node->Count();
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

void TTreeModel::BeforeInsert(TTreeNode* parent, int row) {
  if (batchParent_ && (parent == batchParent_ || Hidden(parent))) {
    // Held back: told with the next batch, with everything added below it meanwhile.
    skipInsert_ = true;
    if (!pending_) {
      pending_ = true;
      batchTimer_->start();
    }
    return;
  }
  beginInsertRows(IndexIn(parent), row, row);
}

void TTreeModel::AfterInsert(TTreeNode*) {
  if (skipInsert_) {
    skipInsert_ = false;
    return;
  }
  endInsertRows();
}

void TTreeModel::BeforeRemove(TTreeNode* node) {
  AnnouncePending();
  if (dropTarget_ && dropTarget_->HasAsAncestor(node)) dropTarget_ = nullptr;
  if (node == batchParent_ || (batchParent_ && batchParent_->HasAsAncestor(node))) ShowInsertionsInBatches(nullptr);
  const int row = node->Index();
  beginRemoveRows(IndexIn(node->Parent()), row, row);
}

void TTreeModel::AfterRemove(TTreeNode* parent, int row) {
  if (batchParent_ && parent == batchParent_) {
    shownRow_.erase(shown_[row]);
    shown_.erase(shown_.begin() + row);
    for (int k = row; k < static_cast<int>(shown_.size()); ++k) shownRow_[shown_[k]] = k;
  }
  endRemoveRows();
}

void TTreeModel::BeforeMove(TTreeNode* node, TTreeNode* newParent, int newRow) {
  AnnouncePending();
  // The known rows below the parent are not followed through a move: batching starts afresh
  // after it (AfterMove).
  movedBatchParent_ = batchParent_;
  ShowInsertionsInBatches(nullptr);
  const int row = node->Index();
  moving_ = beginMoveRows(IndexIn(node->Parent()), row, row, IndexIn(newParent), newRow);
  // A move Qt calls a no-op needs no notice; anything else it refuses falls back to a reset.
  if (!moving_) beginResetModel();
}

void TTreeModel::AfterMove(TTreeNode*) {
  if (moving_)
    endMoveRows();
  else
    endResetModel();
  moving_ = false;
  const TTreeNode* resume = movedBatchParent_;
  movedBatchParent_ = nullptr;
  ShowInsertionsInBatches(resume);
}

void TTreeModel::Changed(TTreeNode* node) {
  if (Hidden(node)) return;  // told as it is when its insertion is
  const QModelIndex index = IndexIn(node);
  emit dataChanged(index, index);
}
