#include "app/SearchForm.h"

#include <QCheckBox>
#include <algorithm>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "analysis/jstrm.h"
#include "app/Dialogs.h"
#include "app/GuiInterface.h"
#include "app/Icons.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/GeneralRegistry.h"
#include "tree/Search.h"

namespace {

// The keyword as searched: normalised, trimmed of ASCII and full-width spaces.
std::string SearchKey(const std::string& sjis) { return JTrim(JNormalize(sjis)); }

}  // namespace

TSearchForm::TSearchForm(TTreeNode* selected, TTreeNodes& nodes, SearchFunction search,
                         quillet::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      mainNodes_(nodes),
      search_(std::move(search)),
      dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("検索"));
  setFixedSize(333, 270);
  setFont(quillet::JapaneseFont(12));
  quillet::CentreOnScreen(*this);

  Label1 = new QLabel(QStringLiteral("検索する文字列(&K)"), this);
  Label1->move(8, 8);
  Label1->adjustSize();
  Keyword = new QComboBox(this);
  Keyword->setEditable(true);
  Keyword->setInsertPolicy(QComboBox::NoInsert);  // the OK action keeps the history itself
  Keyword->setCompleter(nullptr);  // the keyword is searched as typed, never completed from the history
  Keyword->setGeometry(8, 24, 313, 22);
  Label1->setBuddy(Keyword);

  Label2 = new QLabel(QStringLiteral("検索対象(&T)"), this);
  Label2->move(8, 56);
  Label2->adjustSize();
  TargetView = new QTreeView(this);
  TargetView->setGeometry(8, 72, 313, 145);
  TargetView->setHeaderHidden(true);
  TargetView->setIconSize(QSize(16, 16));
  TargetView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Label2->setBuddy(TargetView);

  SubFolder = new QCheckBox(QStringLiteral("ｻﾌﾞﾌｫﾙﾀﾞも検索する(&S)"), this);
  SubFolder->move(8, 224);
  SubFolder->adjustSize();

  OKButton = new QPushButton(QStringLiteral("OK(&O)"), this);
  OKButton->setGeometry(168, 240, 75, 25);
  OKButton->setDefault(true);
  OKButton->setEnabled(false);
  CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  CancelButton->setGeometry(248, 240, 75, 25);
  CancelButton->setAutoDefault(false);

  setTabOrder(Keyword, TargetView);
  setTabOrder(TargetView, SubFolder);
  setTabOrder(SubFolder, OKButton);
  setTabOrder(OKButton, CancelButton);

  ReadHistory();
  for (int i = 0; i < nodes.TopCount(); ++i) CopyTree(nodes.Top(i), nullptr);
  targetModel_ = std::make_unique<TTreeModel>(targetNodes_);
  TargetView->setModel(targetModel_.get());
  TargetView->expandAll();
  if (selected) SelectTarget(FindTargetNode(selected, &targetNodes_));

  connect(Keyword, &QComboBox::editTextChanged, this, [this] { KeywordChange(); });
  connect(Keyword, &QComboBox::activated, this, [this](int index) { picked_ = index; });
  connect(Keyword->lineEdit(), &QLineEdit::textEdited, this, [this] { picked_ = -1; });
  // The box hands its keys to its line edit directly, past any filter: Enter is caught on both.
  Keyword->installEventFilter(this);
  Keyword->lineEdit()->installEventFilter(this);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
  Keyword->setFocus();
}

TSearchForm::~TSearchForm() {
  TargetView->setModel(nullptr);  // the view outlives the model it shows
  if (historyWritten_) return;
  try {
    WriteHistory();
  } catch (const std::exception&) {
    // Nowhere to report it any more: the history simply stays as it was.
  }
}

void TSearchForm::ReadHistory() {
  const QSignalBlocker quiet(Keyword);
  // A longer history than the dialog keeps (written by hand) is read up to its limit.
  const int count = std::min(RegReadInteger(kSettingsKey, kSection, "keynum", 0), kMaxHistory);
  for (int i = 0; i < count; ++i) {
    const std::string key = RegReadString(kSettingsKey, kSection, "key" + std::to_string(i), "");
    if (SearchKey(key).empty()) continue;
    Keyword->addItem(QString::fromStdString(quillet::ToUtf8(key)));
  }
  // The box starts empty: the history is offered, not chosen.
  Keyword->setCurrentIndex(-1);
  Keyword->setEditText(QString());
}

// Values beyond the new count that a longer history left behind are not read again, so they stay.
void TSearchForm::WriteHistory() {
  historyWritten_ = true;
  RegWriteInteger(kSettingsKey, kSection, "keynum", Keyword->count());
  for (int i = 0; i < Keyword->count(); ++i) {
    std::string key;
    if (!quillet::TryFromUtf8(Keyword->itemText(i).toStdString(), key)) key.clear();
    RegWriteString(kSettingsKey, kSection, "key" + std::to_string(i), key);
  }
}

void TSearchForm::done(int result) {
  if (!historyWritten_) {
    try {
      WriteHistory();
    } catch (const std::exception& error) {
      dialogs_.Message(quillet::ApplicationTitle(), quillet::ErrorReportText(error.what()),
                       quillet::Dialogs::Icon::Error);
    }
  }
  QDialog::done(result);
}

void TSearchForm::CopyTree(const TTreeNode* from, TTreeNode* toParent) {
  TTreeNode* copy = targetNodes_.AddChild(toParent, from->Text());
  copy->SetImages(from->ImageIndex(), from->SelectedIndex());
  for (int i = 0; i < from->Count(); ++i) CopyTree(from->Item(i), copy);
}

TTreeNode* TSearchForm::TargetSelected() const {
  return targetModel_ ? targetModel_->NodeOf(TargetView->currentIndex()) : nullptr;
}

void TSearchForm::SelectTarget(TTreeNode* node) {
  const QModelIndex index = targetModel_->IndexOf(node);
  TargetView->setCurrentIndex(index);
  TargetView->scrollTo(index);
}

void TSearchForm::KeywordChange() {
  std::string text;
  // Text without a Shift-JIS form leaves OK usable, so that the user hears why it cannot be searched.
  OKButton->setEnabled(!quillet::TryFromUtf8(Keyword->currentText().toStdString(), text) ||
                       !SearchKey(text).empty());
}

void TSearchForm::OKButtonClick() {
  const QString text = Keyword->currentText();
  std::string sjis;
  if (!quillet::TryFromUtf8(text.toStdString(), sjis)) {
    dialogs_.Message(quillet::ApplicationTitle(),
                     QStringLiteral("「%1」にはShift-JISで表せない文字があります。その文字を除いてください。").arg(text),
                     quillet::Dialogs::Icon::Warning);
    return;
  }
  {
    const QSignalBlocker quiet(Keyword);
    // A keyword picked from the history moves to the top instead of being stored twice.
    if (picked_ >= 0 && picked_ < Keyword->count()) Keyword->removeItem(picked_);
    Keyword->insertItem(0, text);
    while (Keyword->count() > kMaxHistory) Keyword->removeItem(Keyword->count() - 1);
    Keyword->setCurrentIndex(0);
  }
  picked_ = -1;
  // Without a selection the whole tree is searched from its top node.
  TTreeNode* target = TargetSelected();
  if (!target) target = targetNodes_.GetFirstNode();
  TTreeNode* node = target ? FindTargetNode(target, &mainNodes_) : mainNodes_.GetFirstNode();
  try {
    if (node && search_) search_(node, SearchKey(sjis), SubFolder->isChecked());
  } catch (const std::exception& error) {
    dialogs_.Message(quillet::ApplicationTitle(), quillet::ErrorReportText(error.what()),
                     quillet::Dialogs::Icon::Error);
  }
  accept();
}

bool TSearchForm::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == Keyword || watched == Keyword->lineEdit()) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OKButtonClick();  // also while OK is disabled: an empty keyword still makes its folder
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
