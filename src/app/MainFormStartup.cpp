// Start-up, settings and shutdown of the main window.
#include <QCloseEvent>
#include <QFontMetricsF>
#include <cmath>
#include <limits>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include "app/GuiInterface.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/GeneralRegistry.h"
#include "controls/widgets/AlignLayout.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/DataFolder.h"
#include "iddb/PickEngine.h"
#include "iddb/Repair.h"
#include "tree/ImportQueue.h"
#include "tree/MakeTree.h"

namespace {

constexpr const char* kView = "View";

}  // namespace

TMainForm::TMainForm(quillet::Dialogs* dialogs, QWidget* parent) : QMainWindow(parent) {
  if (!dialogs) {
    ownDialogs_ = std::make_unique<quillet::WidgetDialogs>(this);
    dialogs = ownDialogs_.get();
  }
  dialogs_ = dialogs;
  ui_ = std::make_unique<quillet::GuiInterface>(*dialogs_);
  previousUi_ = quillet::SetUserInterface(ui_.get());
  BuildControls();
  BuildMenus();
  BuildCommands();
  Run([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  if (!destroyed_) FormDestroy();
  // The tree view and its model go before the nodes they show.
  delete TreeView;
  TreeView = nullptr;
  delete treeModel_;
  treeModel_ = nullptr;
  quillet::SetUserInterface(previousUi_);
}

TTreeNode* TMainForm::RootNode() const { return nodes_.GetFirstNode(); }

TTreeNode* TMainForm::AddChildNode(TTreeNode* parent, const std::string& text) {
  return TreeMgr_->FindOrAddChild(parent, text);
}

// The window's design places "NIFTY SERVE" in the tree; FormCreate builds the rest.
void TMainForm::FormCreate() {
  // 1-3: the store, the tree manager, and the import queue over it; ended scans reach the
  // window's AnalysisEnded, which hands them on to the queue.
  PickData_ = std::make_unique<TPickData>();
  TreeMgr_ = std::make_unique<TTreeMgr>(&nodes_);
  TreeMgr_->PickData = PickData_.get();
  ImportQueue_ = std::make_unique<TImportQueue>(TreeMgr_.get());
  TreeMgr_->OnFileEnd = [this](TTreeMgr* sender, const std::string& fileName) {
    Run([&] { AnalysisEnded(sender, fileName); });
  };
  ConnectImportQueue();
  // The end of a search: its result folder selected and shown.
  TreeMgr_->OnSelectNode = [this](TTreeNode* node) {
    SelectNode(node);
    TreeView->scrollTo(treeModel_->IndexOf(node));
    RefreshIDView();
  };
  // 4-5: the root's own ID set and the first import's starting context.
  RootNode()->SetIDSet(std::make_unique<TStringListWithHash>());
  DefaultForumData = TForumData{};
  // 6-9: window, panes, list order and header.
  ReadSettings();
  // 10-12: the data file.
  OpenDataFile();
  // 13: "登録ID".
  RegistNode = AddChildNode(RootNode(), SJ("登録ID"));
  RegistNode->SetImages(imgRegistered, imgRegisteredSelected);
  TreeMgr_->RegisteredIDNode = RegistNode;
  // 14-15: group menus and one node per group, in letter order.
  RebuildGroupMenus();
  RebuildGroupNodes();
  // 16: everything open, "登録ID" selected and listed.
  TreeView->expandAll();
  SelectNode(RegistNode);
  RefreshIDView();
}

// The designed widths assume a font whose characters are 6 pixels wide; a wider font gets
// proportionally wider columns, plus the cell's padding on both sides.
int TMainForm::DesignedColumnWidth(int designed) const {
  const QFontMetricsF metrics(IDView->font());
  const double charWidth = std::max<double>(metrics.averageCharWidth(), metrics.horizontalAdvance(QLatin1Char('0')));
  return static_cast<int>(std::lround(designed * charWidth / 6.0)) + 2 * TListGrid::kCellPadding;
}

void TMainForm::ReadSettings() {
  const int left = RegReadInteger(kSettingsKey, kView, "Left", 218);
  move(left, y());
  const int top = RegReadInteger(kSettingsKey, kView, "Top", 123);
  move(x(), top);
  const int width = RegReadInteger(kSettingsKey, kView, "Width", 711);
  resize(width, height());
  const int height = RegReadInteger(kSettingsKey, kView, "Height", 519);
  resize(this->width(), height);
  // The stored size is the outer frame's; the frame's share is taken off once it is known.
  outerSize_ = size();
  IDView->SetSortColumn(RegReadInteger(kSettingsKey, kView, "SortColumn", 0));
  IDView->SetSortDir(RegReadInteger(kSettingsKey, kView, "SortDir", 1));
  SetTreeWidth(RegReadInteger(kSettingsKey, kView, "TreeWidth", 121));
  SetListPaneHeight(RegReadInteger(kSettingsKey, kView, "IDHeight", 113));
  // Stored widths are the user's and used as they are; the designed ones fit the font in use.
  constexpr int kNotStored = std::numeric_limits<int>::min();
  for (int column = 0; column < IDView->ColCount() - 1; ++column) {
    const int width = RegReadInteger(kSettingsKey, kView, "IDViewColWidth" + std::to_string(column), kNotStored);
    HeaderControl1->resizeSection(column, width == kNotStored ? DesignedColumnWidth(50) : width);
  }
  HeaderControl1SectionResize();
  section0Clickable_ = false;  // the marks column never sorts
}

// The data file lives in the sibling product's folder; without one, in the per-user data folder,
// and the user is told once that the file will be made there.
void TMainForm::OpenDataFile() {
  const std::string registered = RegReadString(kZelvoKey, "Directory", "OnExecuting", "");
  std::string folder = registered.empty() ? std::string() : quillet::ToUtf8(registered);
  if (folder.empty() && quillet::DefaultDataFolder() != quillet::UserDataFolder())
    folder = quillet::DefaultDataFolder();  // set, but with no Shift-JIS spelling
  bool announce = false;
  if (!folder.empty()) {
    DataFileName = quillet::DataFileIn(folder);
  } else {
    folder = quillet::UserDataFolder();
    QDir().mkpath(QString::fromStdString(folder));
    DataFileName = quillet::DataFileIn(folder);
    announce = !QFileInfo::exists(QString::fromStdString(DataFileName));
  }
  LoadStore();
  if (announce)
    dialogs_->Message(quillet::ApplicationTitle(),
                      QStringLiteral("ぜるぼがインストールされていません\n\n\"") +
                          QString::fromStdString(DataFileName) + QStringLiteral("\"というファイルを作成します"),
                      quillet::Dialogs::Icon::None);
}

void TMainForm::LoadStore() {
  PickData_->SetQuietFormatError(true);
  try {
    // A file that could not be read whole leaves the store read-only (it says why).
    PickData_->Load(DataFileName);
  } catch (const std::exception& error) {
    ReportError(error);
  }
  const std::string formatError = PickData_->FormatError();
  if (!formatError.empty()) {
    const bool repair = dialogs_->Confirm(quillet::ApplicationTitle(),
                                          quillet::MessageText(formatError) + QStringLiteral("\n\n修復しますか?"));
    if (repair) {
      try {
        const quillet::RepairResult result = quillet::RepairDataFile(DataFileName);
        QString text = QStringLiteral("%1件のデータを読み込みました。").arg(result.records);
        if (result.written)
          text += QStringLiteral("読めなかった%1行は\"%2\"に、元のファイルは\"%3\"に保存しました。")
                      .arg(result.rejectedLines)
                      .arg(QString::fromStdString(result.rejectedFile), QString::fromStdString(result.brokenCopy));
        else
          text += QStringLiteral("読めるデータがないため、ファイルは変更していません。");
        dialogs_->Message(quillet::ApplicationTitle(), text, quillet::Dialogs::Icon::Information);
        // The backup keeps what it held: the records the damaged file lost may be there.
        PickData_->SetWriteBackup(false);
        if (result.written) PickData_->Load(DataFileName);
      } catch (const std::exception& error) {
        ReportError(error);
      }
    }
  }
  UpdateTitle();
}

void TMainForm::UpdateTitle() {
  const bool damaged = PickData_ && !PickData_->Damage().empty();
  setWindowTitle(damaged ? quillet::ApplicationTitle() + QStringLiteral(" - 読み取り専用") : quillet::ApplicationTitle());
}

// One node per group under "登録ID", in letter order; other folders there stay.
void TMainForm::RebuildGroupNodes() {
  for (int i = RegistNode->Count() - 1; i >= 0; --i)
    if (NodeType(RegistNode->Item(i)) == ntGroup) DeleteTreeNode(RegistNode->Item(i));
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (!PickData_->GroupMgr().IsGroup(std::string(1, letter))) continue;
    TTreeNode* group = AddChildNode(RegistNode, GroupCaption(letter));
    group->SetImages(imgGroup, imgGroupSelected);
    group->SetGroupCode(letter);
  }
}

void TMainForm::ReloadStore() {
  // At shutdown the tree is gone; taking theirs then only means not writing ours.
  if (destroyed_) return;
  PickData_->SetWriteBackup(false);  // the backup stays the copy made at start-up
  LoadStore();
  RebuildGroupMenus();
  RebuildGroupNodes();
  TreeView->expand(treeModel_->IndexOf(RegistNode));
  SelectNode(RegistNode);
  RefreshIDView();
}

void TMainForm::SaveStore() {
  if (saving_) return;  // the running save goes round once more for what changed meanwhile
  saving_ = true;
  while (PickData_ && PickData_->Writable() && PickData_->Changed() && PickData_->ChangeSerial() != unansweredAt_) {
    const uint64_t before = PickData_->ChangeSerial();
    SaveStoreOnce();
    // Another round only for what changed while the save let events run.
    if (PickData_ && PickData_->ChangeSerial() == before) break;
  }
  saving_ = false;
}

void TMainForm::SaveStoreOnce() {
  try {
    PickData_->SaveChanges();
  } catch (const TDataFileChanged& changed) {
    unansweredAt_ = PickData_->ChangeSerial();
    const int answer = dialogs_->Choose(
        quillet::ApplicationTitle(),
        QString::fromStdString(changed.what()) +
            QStringLiteral("\n\n再読み込み: ほかのプログラムの変更を読み込み、こちらの変更は捨てます。\n"
                           "上書き: こちらの内容で上書きします。\n"
                           "別のファイルに保存: こちらの内容を別のファイルに保存してから再読み込みします。"),
        {QStringLiteral("再読み込み"), QStringLiteral("上書き"), QStringLiteral("別のファイルに保存")});
    try {
      if (answer == 0) {
        ReloadStore();
        unansweredAt_ = UINT64_MAX;
      } else if (answer == 1) {
        PickData_->SaveChanges(true);
        unansweredAt_ = UINT64_MAX;
      } else if (answer == 2) {
        const QString file = dialogs_->SaveFile(QStringLiteral("別のファイルに保存"), QDir::homePath(),
                                                QStringLiteral("データファイル (*.dat);;すべてのファイル (*)"));
        if (file.isEmpty()) return;  // still unsaved: asked again after the next change
        PickData_->Save(QFile::encodeName(file).toStdString());
        ReloadStore();
        unansweredAt_ = UINT64_MAX;
      }
    } catch (const std::exception& error) {
      ReportError(error);
    }
  } catch (const std::exception& error) {
    // Reported once: the next try comes with the next change (or at shutdown).
    unansweredAt_ = PickData_->ChangeSerial();
    ReportError(error);
  }
}

void TMainForm::WriteSettings() {
  // The bounds of the outer frame, title bar and borders included, as they are read back.
  const QRect frame = frameGeometry();
  RegWriteInteger(kSettingsKey, kView, "Left", frame.x());
  RegWriteInteger(kSettingsKey, kView, "Top", frame.y());
  RegWriteInteger(kSettingsKey, kView, "Width", frame.width());
  RegWriteInteger(kSettingsKey, kView, "Height", frame.height());
  RegWriteInteger(kSettingsKey, kView, "TreeWidth", TreeView->width());
  RegWriteInteger(kSettingsKey, kView, "IDHeight", IDViewPanel->height());
  RegWriteInteger(kSettingsKey, kView, "SortColumn", IDView->SortColumn());
  RegWriteInteger(kSettingsKey, kView, "SortDir", IDView->SortDir());
  for (int column = 0; column < IDView->ColCount() - 1; ++column)
    RegWriteInteger(kSettingsKey, kView, "IDViewColWidth" + std::to_string(column),
                    HeaderControl1->sectionSize(column));
}

void TMainForm::FormDestroy() {
  destroyed_ = true;
  followSelection_ = false;
  // No window events run from here on: the window is going away.
  ui_->processEvents = false;
  // The tree manager goes first and takes the whole tree with it.
  TreeMgr_.reset();
  ImportQueue_.reset();
  Run([this] { WriteSettings(); });
  // The store saves the data file and the group file; a failure is reported, not swallowed, and
  // a second writer is asked about as after any command.
  if (PickData_) {
    unansweredAt_ = UINT64_MAX;  // the last chance: asked again
    SaveStore();
    if (PickData_->Writable() && !PickData_->Changed()) Run([this] { PickData_->Close(); });
    PickData_->SetReadOnly(true);  // what is still unsaved has been reported: no second try
    PickData_.reset();
  }
}

void TMainForm::Exit1Click() { close(); }

// The window manager tells the frame's size only once the window is on screen.
bool TMainForm::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (outerSize_.isValid() && (event->type() == QEvent::Show || event->type() == QEvent::Move)) {
    if (event->type() == QEvent::Show)
      QTimer::singleShot(3000, this, [this] { outerSize_ = QSize(); });  // too late after this
    const QWindow* window = windowHandle();
    const QMargins frame = window ? window->frameMargins() : QMargins();
    if (!frame.isNull()) {
      resize(outerSize_.width() - frame.left() - frame.right(), outerSize_.height() - frame.top() - frame.bottom());
      outerSize_ = QSize();
    }
  }
  return handled;
}

// A running import is stopped first; the window closes once its scan has ended.
void TMainForm::closeEvent(QCloseEvent* event) {
  // Waiting is only worth it while a scan runs to bring the import to its end; an import left
  // without one can never end, and must not keep the window open.
  if (Importing() && TreeMgr_ && TreeMgr_->Analysis->Running()) {
    closeAfterImport_ = true;
    StopImport1Click();
    event->ignore();
    return;
  }
  event->accept();
}

void TMainForm::ReportError(const std::exception& error) {
  dialogs_->Message(quillet::ApplicationTitle(), quillet::ErrorReportText(error.what()),
                    quillet::Dialogs::Icon::Error);
}
