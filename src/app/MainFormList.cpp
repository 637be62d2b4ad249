// The ID list of the selected folder, the data editor, and the commands of the list's popup menu.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTreeView>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "app/GuiInterface.h"
#include "app/LogSearchForm.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "common/QtText.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using quillet::Unicode;

// The letter of a group box item or a group node: its second character.
char LetterOf(const std::string& caption) { return caption.size() >= 2 ? caption[1] : '\0'; }

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += '\n';
    text += lines[i];
  }
  return text;
}

// The ID typed into the editor, as it is looked up: normalised and trimmed.
std::string NormalizedID(const std::string& text) { return std::string(Trim(JNormalize(text))); }

// "(" + letter + ")" + name, and "(&" + letter + ")" + name for a menu item.
std::string Caption(char letter, const std::string& name, bool accelerator) {
  std::string caption(accelerator ? "(&" : "(");
  caption += letter;
  caption += ')';
  caption += name;
  return caption;
}

}  // namespace

std::string TMainForm::GroupCaption(char letter) const {
  if (!PickData_ || !PickData_->GroupMgr().IsGroup(std::string(1, letter))) return {};
  return Caption(letter, PickData_->GroupMgr().GroupName(letter), false);
}

void TMainForm::RebuildGroupMenus() {
  ChangeGroup->menuAction()->setVisible(true);
  ChangeGroup->clear();
  GroupEdit->clear();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (!PickData_->GroupMgr().IsGroup(std::string(1, letter))) continue;
    const std::string name = PickData_->GroupMgr().GroupName(letter);
    GroupEdit->addItem(Unicode(Caption(letter, name, false)));
    QAction* item = ChangeGroup->addAction(Unicode(Caption(letter, name, true)));
    item->setData(letter - 64);
    connect(item, &QAction::triggered, this, [this, item] { Run([&] { MenuClick(item); }); });
  }
}

// --- the list -----------------------------------------------------------------------------------

void TMainForm::RefreshIDView() {
  TTreeNode* node = SelectedNode();
  const uint8_t kind = node ? NodeType(node) : static_cast<uint8_t>(ntRoot);
  treeEditable_ = node && kind == ntFolder;
  if (!node) return;
  TPickData& store = *PickData_;
  IDView->BeginUpdate();
  IDView->ClearRows();
  auto registeredRow = [&store](const std::string& id) {
    return std::vector<std::string>{"",
                                    id,
                                    store.CurrentHandle(),
                                    store.CurrentGroup(),
                                    store.CurrentAlias(),
                                    store.RegistDateText(),
                                    store.UpdateDateText(),
                                    store.CurrentMemo()};
  };
  if (kind == ntGroup) {
    const std::string letter(1, static_cast<char>(node->GroupCode()));
    store.FindNext("");
    while (store.FindNext(" "))
      if (store.CurrentGroup() == letter) IDView->AddRow(registeredRow(store.CurrentID()));
  } else if (const TStringListWithHash* set = node->IDSet()) {
    for (int i = 0; i < set->Count(); ++i) {
      const std::string id(set->Strings(i));
      if (store.Select(id)) {
        IDView->AddRow(registeredRow(id));
      } else {
        const TminiIDDataSet* record = set->Objects(i);
        IDView->AddRow({"", id, record ? record->Handle : std::string()});
      }
    }
  }
  IDView->Sort();
  IDView->EndUpdate();
  if (IDView->RowCount() > 0) IDView->SetItemIndex(0);
  IDViewClick();
  StatusPanel->setText(QString::number(IDView->RowCount()) + QStringLiteral("件のデータがあります"));
  SetFolderCommandEnabling();
}

void TMainForm::IDViewDrawItem(TListGrid* control, int index, const QRect& rect, QPainter& canvas) {
  if (!PickData_ || !PickData_->Select(control->GetCell(1, index))) return;
  const TPickData& store = *PickData_;
  const Mark marks[] = {{0, QColor(255, 0, 0)}, {5, QColor(0, 255, 255)}, {10, QColor(0, 255, 0)}};
  const bool shown[] = {store.HasProfile(), store.HasMemo(), store.IsAutoRegist()};
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setPen(QPen(Qt::black, 0));
  for (int i = 0; i < 3; ++i) {
    if (!shown[i]) continue;
    canvas.setBrush(marks[i].colour);
    // A 5 x 5 dot on the row's top edge (the outline takes the last pixel row and column).
    canvas.drawEllipse(QRect(rect.left() + marks[i].offset, rect.top(), 4, 4));
  }
}

// --- the editor ---------------------------------------------------------------------------------

void TMainForm::IDViewClick() {
  bool single = IDView->SelCount() == 1;
  for (QObject* child : EditContent->children())
    if (auto* control = qobject_cast<QWidget*>(child)) control->setEnabled(single);
  TabSheet1->setEnabled(single);
  TabSheet2->setEnabled(single);
  ButtonPanel->setEnabled(true);
  if (single) {
    const std::string id = IDView->GetCell(1, IDView->ItemIndex());
    if (PickData_->Select(id))
      ShowIDData(id);
    else
      single = false;
  }
  if (!single) {
    IDEdit->clear();
    GroupEdit->setCurrentIndex(-1);
    const int focused = IDView->ItemIndex();
    HandleEdit->setText(focused >= 0 ? Unicode(IDView->GetCell(2, focused)) : QString());
    AliasEdit->clear();
    MemoEdit->clear();
    AutoRegist->setChecked(false);
    ProfileEdit->clear();
    Memo2Edit->clear();
  }
  IDEditChange();
  Modify->setEnabled(false);
}

void TMainForm::ShowIDData(const std::string& id) {
  TPickData& store = *PickData_;
  if (!store.Select(id)) return;
  // The files first: when one cannot be read, nothing of the ID shown before may stay in the
  // editor, where "更新" would save it onto this one.
  std::vector<std::string> profile, memo;
  try {
    store.LoadProfileFile(profile);
    store.LoadMemoFile(memo);
  } catch (...) {
    ClearEditor();
    throw;
  }
  IDEdit->setText(Unicode(id));
  const char group = store.CurrentGroup().empty() ? '\0' : store.CurrentGroup()[0];
  int item = -1;
  for (int i = 0; i < GroupEdit->count(); ++i) {
    std::string caption;
    if (quillet::TryFromUtf8(GroupEdit->itemText(i).toStdString(), caption) && LetterOf(caption) == group) {
      item = i;
      break;
    }
  }
  GroupEdit->setCurrentIndex(item);
  HandleEdit->setText(Unicode(store.CurrentHandle()));
  AliasEdit->setText(Unicode(store.CurrentAlias()));
  MemoEdit->setText(Unicode(store.CurrentMemo()));
  AutoRegist->setChecked(store.IsAutoRegist());
  ProfileEdit->setPlainText(Unicode(JoinLines(profile)));
  Memo2Edit->setPlainText(Unicode(JoinLines(memo)));
}

void TMainForm::ClearEditor() {
  IDEdit->clear();
  GroupEdit->setCurrentIndex(-1);
  HandleEdit->clear();
  AliasEdit->clear();
  MemoEdit->clear();
  AutoRegist->setChecked(false);
  ProfileEdit->clear();
  Memo2Edit->clear();
  Modify->setEnabled(false);
}

void TMainForm::IDEditChange() {
  std::string text;
  const bool encodable = quillet::TryFromUtf8(IDEdit->text().toStdString(), text);
  IDSearch->setEnabled(encodable && IsNiftyID(NormalizedID(text)));
  GroupEditChange();
}

void TMainForm::GroupEditChange() { Modify->setEnabled(GroupEdit->currentIndex() >= 0 && IDSearch->isEnabled()); }

void TMainForm::IDSearchClick() {
  std::string text;
  if (!FieldText(IDEdit->text(), QStringLiteral("ID"), text)) return;
  const std::string id = NormalizedID(text);
  IDEdit->setText(Unicode(id));
  if (PickData_->Select(id)) ShowIDData(id);
}

bool TMainForm::FieldText(const QString& text, const QString& field, std::string& out) {
  if (quillet::TryFromUtf8(text.toStdString(), out)) return true;
  dialogs_->Message(quillet::ApplicationTitle(),
                    QStringLiteral("「%1」にShift-JISで表せない文字があります。その文字を除いてください。").arg(field),
                    quillet::Dialogs::Icon::Warning);
  return false;
}

// The lines of a multi-line field; a final line break starts no line of its own.
std::vector<std::string> TMainForm::FieldLines(const QString& text, const QString& field, bool& ok) {
  std::vector<std::string> lines;
  std::string all;
  ok = FieldText(text, field, all);
  if (!ok || all.empty()) return lines;
  size_t start = 0;
  while (start <= all.size()) {
    const size_t end = all.find('\n', start);
    if (end == std::string::npos) {
      if (start < all.size()) lines.push_back(all.substr(start));
      break;
    }
    lines.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void TMainForm::ModifyClick() {
  // Every field must have a Shift-JIS form before anything is stored.
  std::string idText, handle, alias, memo, groupCaption;
  bool ok = FieldText(IDEdit->text(), QStringLiteral("ID"), idText) &&
            FieldText(HandleEdit->text(), QStringLiteral("ﾊﾝﾄﾞﾙ"), handle) &&
            FieldText(AliasEdit->text(), QStringLiteral("ﾆｯｸﾈｰﾑ"), alias) &&
            FieldText(MemoEdit->text(), QStringLiteral("ﾒﾓ"), memo) &&
            FieldText(GroupEdit->currentText(), QStringLiteral("ｸﾞﾙｰﾌﾟ"), groupCaption);
  if (!ok) return;
  const std::vector<std::string> memoLines = FieldLines(Memo2Edit->toPlainText(), QStringLiteral("詳細ﾒﾓ"), ok);
  if (!ok) return;
  const std::vector<std::string> profileLines = FieldLines(ProfileEdit->toPlainText(), QStringLiteral("ﾌﾟﾛﾌｨｰﾙ"), ok);
  if (!ok) return;

  const std::string id = NormalizedID(idText);
  IDEdit->setText(Unicode(id));
  if (!IsNiftyID(id)) {
    dialogs_->Message(quillet::ApplicationTitle(),
                      QStringLiteral("「%1」はIDではありません。IDは英大文字3文字と数字5桁です(例: ABC12345)。")
                          .arg(Unicode(id)),
                      quillet::Dialogs::Icon::Warning);
    return;
  }
  const std::string group = GroupEdit->currentIndex() >= 0 ? std::string(1, LetterOf(groupCaption)) : std::string();
  PickData_->RegistID(id, handle, alias, memo, group, AutoRegist->isChecked(),
                      !Memo2Edit->toPlainText().isEmpty(), &memoLines, !ProfileEdit->toPlainText().isEmpty(),
                      &profileLines);

  const int row = IDView->FindRow(1, id);
  if (!PickData_->Select(id) || row < 0) return;  // a new ID shows at the next refresh
  TTreeNode* node = SelectedNode();
  if (node && NodeType(node) == ntGroup) {
    if (node->Text() != groupCaption) {
      // The ID has left the group on show.
      IDView->DeleteRow(row);
      if (IDView->RowCount() > 0) IDView->SetItemIndex(0);
      IDViewClick();
    } else {
      RefreshIDView();
    }
  } else {
    IDView->SetCell(2, row, handle);
    IDView->SetCell(4, row, alias);
    IDView->SetCell(7, row, memo);
    IDView->SetCell(3, row, group);
    IDView->viewport()->update();
  }
}

void TMainForm::New1Click() {
  for (QObject* child : EditContent->children())
    if (auto* control = qobject_cast<QWidget*>(child)) control->setEnabled(true);
  TabSheet1->setEnabled(true);
  TabSheet2->setEnabled(true);
  IDEdit->clear();
  HandleEdit->clear();
  AliasEdit->clear();
  MemoEdit->clear();
  Memo2Edit->clear();
  ProfileEdit->clear();
  GroupEdit->setCurrentIndex(GroupEdit->count() > 4 ? 4 : -1);
  AutoRegist->setChecked(false);
  IDEdit->setFocus();
}

// --- the list's popup ---------------------------------------------------------------------------

void TMainForm::PopupMenu1Popup() {
  const int selected = IDView->SelCount();
  if (selected == 0) return;
  Copy1->setEnabled(selected == 1);
  SearchLog1->setEnabled(selected == 1);
  Edit1->setEnabled(selected == 1);
  ChangeGroup->menuAction()->setEnabled(true);
  const TTreeNode* node = SelectedNode();
  Delete1->setEnabled(!(node && node->Parent() == RegistNode));
  const bool registered = PickData_->Select(IDView->GetCell(1, IDView->ItemIndex()));
  AutoRegist1->setEnabled(registered);
  if (registered) AutoRegist1->setChecked(PickData_->IsAutoRegist());
}

void TMainForm::MenuClick(QAction* sender) {
  const int tag = sender->data().toInt();
  bool wasTicked = false;
  if (sender == AutoRegist1) {
    // The toolkit has already flipped the tick; the command decides by the tick as it was shown.
    wasTicked = !AutoRegist1->isChecked();
    AutoRegist1->setChecked(wasTicked);
  }
  for (int row = IDView->RowCount() - 1; row >= 0; --row) {
    if (!IDView->Selected(row)) continue;
    const std::string id = IDView->GetCell(1, row);
    if (tag >= 1 && tag <= 26)
      ChangeIDGroup(id, static_cast<char>(tag + 64), row);
    else if (tag == 100)
      RemoveIDFromFolder(id, row);
    else if (tag == 102)
      SetIDAutoRegist(id, !wasTicked);
  }
  TTreeNode* node = SelectedNode();
  if (tag >= 1 && tag <= 26 && node && NodeType(node) == ntGroup && node->GroupCode() != tag + 64) RefreshIDView();
  if (tag == 100 && node && node->Parent() != RegistNode && node->IDSet()) node->IDSet()->CompactIDSet();
}

void TMainForm::ChangeIDGroup(const std::string& id, char letter, int row) {
  const std::string group(1, letter);
  if (PickData_->Select(id))
    PickData_->ChangeGroup(id, group);
  else
    PickData_->RegistID(id, IDView->GetCell(2, row), "", "", group, false, false, nullptr, false, nullptr);
  const TTreeNode* node = SelectedNode();
  const bool showingThatGroup = node && NodeType(node) == ntGroup && node->GroupCode() == letter;
  if (!showingThatGroup) {
    const int shown = IDView->FindRow(1, id);
    if (shown >= 0) {
      IDView->SetCell(3, shown, group);
      IDView->viewport()->update();
    }
  }
}

void TMainForm::RemoveIDFromFolder(const std::string& id, int row) {
  TTreeNode* node = SelectedNode();
  if (!node || node->Parent() == RegistNode) return;
  TStringListWithHash* set = node->IDSet();
  if (!set) return;
  const int index = set->IndexOf(id);
  if (index < 0) return;
  set->Delete(index);
  IDView->DeleteRow(row);
}

void TMainForm::SetIDAutoRegist(const std::string& id, bool on) {
  PickData_->SetAutoRegist(id, on);
  IDView->viewport()->update();
}

// --- the list popup's own items --------------------------------------------------------------------

void TMainForm::ConnectListPopup() {
  connect(Copy1, &QAction::triggered, this, Guarded([this] { Copy1Click(); }));
  connect(Edit1, &QAction::triggered, this, Guarded([this] { Edit1Click(); }));
  connect(SearchLog1, &QAction::triggered, this, Guarded([this] { SearchLog1Click(); }));
}

void TMainForm::Copy1Click() {
  QString text;
  for (int row = 0; row < IDView->RowCount(); ++row)
    if (IDView->Selected(row))
      text += Unicode(IDView->GetCell(1, row)) + QLatin1Char('\t') + Unicode(IDView->GetCell(2, row)) +
              QLatin1Char('\n');
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void TMainForm::Edit1Click() {
  if (IDView->ItemIndex() < 0) return;
  IDViewClick();  // the editor shows the focused row, whatever selected it
  IDViewDblClick();
}

void TMainForm::SearchLog1Click() {
  const int row = IDView->ItemIndex();
  if (row < 0) return;
  const std::string id = IDView->GetCell(1, row);
  if (id.empty()) return;
  // A window of its own, not modal: the logs are read again while the user goes on working.
  auto* form = new TLogSearchForm(id, PlanSightings(SelectedNode(), nodes_), font(), this);
  form->setAttribute(Qt::WA_DeleteOnClose);
  form->show();
  form->Start();
}
