// The import commands: logs through the import dialog and the tree manager's queue, with progress
// and a stop; other programs' ID files; the list written to a text file.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QTreeView>

#include "app/GuiInterface.h"
#include "app/LogImport.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "common/QtText.h"
#include "common/Error.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/ImportOther.h"
#include "iddb/PickEngine.h"
#include "iddb/TextFile.h"
#include "tree/ImportQueue.h"
#include "tree/MakeTree.h"

namespace {

using quillet::Unicode;

// Open dialogs start in the user's home folder.
QString StartFolder() { return QDir::homePath(); }

}  // namespace

void TMainForm::BuildCommands() {
  // The stop item sits with the import commands; it is usable only while an import runs.
  StopImport1 = new QAction(QStringLiteral("ﾛｸﾞｲﾝﾎﾟｰﾄを中止(&S)"), this);
  FileMenu->insertAction(Export1, StopImport1);
  StopImport1->setEnabled(false);
  connect(StopImport1, &QAction::triggered, this, Guarded([this] { StopImport1Click(); }));

  Export1->setEnabled(true);
  connect(Export1, &QAction::triggered, this, Guarded([this] { Export1Click(); }));

  // Progress of a running import at the right of the status bar; its text stays at the left.
  auto* bar = new QHBoxLayout(StatusPanel);
  bar->setContentsMargins(0, 0, 2, 0);
  bar->setSpacing(4);
  bar->addStretch(1);
  ImportFiles = new QLabel(StatusPanel);
  bar->addWidget(ImportFiles);
  ImportProgress = new QProgressBar(StatusPanel);
  ImportProgress->setRange(0, 1000);
  ImportProgress->setTextVisible(false);
  ImportProgress->setFixedSize(120, 12);
  bar->addWidget(ImportProgress);
  ImportFiles->hide();
  ImportProgress->hide();
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, [this] {
    UpdateImportProgress();
    if (!StatusPanel->updatesEnabled()) {
      StatusPanel->setUpdatesEnabled(true);
      StatusPanel->repaint();
      StatusPanel->setUpdatesEnabled(false);
    }
  });

  ConnectListPopup();
  InstallDragDrop();
}

// --- other programs' ID files ---------------------------------------------------------------------

void TMainForm::Convert1Click() {
  if (Importing()) return;  // disabled while a log import runs
  PickData_->CheckWritable();  // refused before anything is asked or filed
  const QStringList files = dialogs_->OpenFiles(
      QStringLiteral("他ソフトからのインポート"), StartFolder(),
      QStringLiteral("楓ﾁｬｯﾄ･Wisp･ぜるぼ形式(*.dat);;MOLTA･兎式Picker形式(*.lst);;idVault形式(*.idb);;すべてのファイル(*.*)"),
      false);
  if (files.isEmpty() || !QFileInfo(files.front()).isFile()) return;
  const QString path = files.front();
  const QString answer =
      dialogs_->Input(QStringLiteral("データのインポート"), QStringLiteral("ｲﾝﾎﾟｰﾄするｸﾞﾙｰﾌﾟ"), QStringLiteral("E"));
  std::string typed;
  if (!FieldText(answer, QStringLiteral("ｸﾞﾙｰﾌﾟ"), typed)) return;
  const std::string group = ImportGroupFromAnswer(typed);
  if (group.empty()) return;

  TTreeNode* folder = AddChildNode(RootNode(), TImportQueue::NodeTextOf(path.toStdString()));
  folder->EnsureIDSet();
  folder->SetImages(imgFileBusy, imgFileBusySelected);
  StatusPanel->setText(path + QStringLiteral("を検索中"));
  // Whatever happens to the read, the folder and the status bar do not stay "being searched".
  auto finish = [&] {
    StatusPanel->clear();
    folder->SetImages(imgFileDone, imgFileDoneSelected);
  };
  try {
    TStringListWithHash* filed = folder->IDSet();
    ImportOtherFile(*PickData_, path.toStdString(), group,
                    [filed](const TImportRecord& r) { filed->FileSighting(r.ID, r.Handle); });
  } catch (...) {
    finish();
    throw;
  }
  finish();
  SelectNode(folder);
  TreeView->scrollTo(treeModel_->IndexOf(folder));
  RefreshIDView();
}

// --- the list to a text file ----------------------------------------------------------------------

void TMainForm::Export1Click() {
  QString file = dialogs_->SaveFile(QStringLiteral("テキストファイルへのエクスポート"), StartFolder(),
                                    QStringLiteral("テキストファイル (*.txt);;すべてのファイル (*)"));
  if (file.isEmpty()) return;
  // A name typed without an extension gets the one the dialog offers.
  if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".txt");
  std::string text;
  for (int row = 0; row < IDView->RowCount(); ++row) {
    for (int column = 1; column <= 7; ++column) {
      if (column > 1) text += '\t';
      text += IDView->GetCell(column, row);
    }
    text += "\r\n";
  }
  // Checked to the last byte: a full disk is reported and the old file stays.
  quillet::WriteWholeFile(QFile::encodeName(file).toStdString(), text);
}

// --- logs -------------------------------------------------------------------------------------------

void TMainForm::ConnectImportQueue() {
  TImportQueue& queue = *ImportQueue_;
  queue.OnStatus = [this](const std::string& text) {
    StatusPanel->setText(quillet::MessageText(text));
    UpdateImportProgress();
    // An import of many logs adds their nodes faster than the tree view can lay itself out
    // again for each: it is told of them in batches until the import ends, and the status bar,
    // which changes with every log, is redrawn with the progress (SetImportRunning undoes both).
    if (Importing() && ImportQueue_->FilesTotal() >= kBatchedImportFrom) {
      treeModel_->ShowInsertionsInBatches(RootNode());
      StatusPanel->setUpdatesEnabled(false);
    }
  };
  queue.OnFinished = [this] {
    SetImportRunning(false);
    TreeView->viewport()->update();
    if (closeAfterImport_) QTimer::singleShot(0, this, [this] { close(); });
  };
  // Files that could not be read are told through the core's message, once the import has ended.
}

bool TMainForm::Importing() const { return ImportQueue_ && ImportQueue_->Running(); }

void TMainForm::Import1Click() {
  if (Importing()) return;  // one import at a time; the command is disabled meanwhile
  const QStringList files = dialogs_->OpenFiles(
      QStringLiteral("インポートするログファイル"), StartFolder(),
      QStringLiteral("ログファイル (*.log);;テキストファイル (*.txt);;"
                     "アーカイブ (*.zip *.lzh *.lha *.tar *.tar.gz *.tgz *.tar.bz2 *.tar.xz *.7z);;"
                     "すべてのファイル (*.*)"),
      true);
  if (files.isEmpty()) return;
  ImportLogs(files, files.size() > 1, false);
}

void TMainForm::ImportFolder1Click() {
  if (Importing()) return;
  const QString folder = dialogs_->OpenFolder(QStringLiteral("ﾌｫﾙﾀﾞからのｲﾝﾎﾟｰﾄ"), StartFolder());
  if (folder.isEmpty()) return;
  // A folder stands for all the logs in it: they may be filed as one.
  ImportLogs({folder}, true, true);
}

void TMainForm::ImportLogs(const QStringList& paths, bool several, bool folder) {
  TImportDialog dialog(DefaultForumData, *dialogs_, this);
  dialog.IntegrateAllFiles->setEnabled(several);
  ImportQueue_->IntegrateName.clear();
  if (dialogs_->Modal(dialog) != QDialog::Accepted) return;
  std::vector<std::string> files;
  for (const QString& path : paths) files.push_back(path.toStdString());
  const bool integrate = dialog.IntegrateAllFiles->isEnabled() && dialog.IntegrateAllFiles->isChecked();
  // Running before the first file starts: an import of files that are all missing ends at once.
  SetImportRunning(true);
  ImportQueue_->Encoding = dialog.ChosenEncoding();
  ImportQueue_->PathsAreFiles = !folder;
  if (!ImportQueue_->Import(files, DefaultForumData, integrate)) SetImportRunning(false);
}

void TMainForm::AnalysisEnded(TTreeMgr* sender, const std::string& fileName) {
  ImportQueue_->AnalysisEnded(sender, fileName);
}

void TMainForm::StopImport1Click() {
  if (Importing()) ImportQueue_->Stop();
}

void TMainForm::SetImportRunning(bool running) {
  if (!running && Importing()) return;  // the queue's end decides
  Import1->setEnabled(!running);
  ImportFolder1->setEnabled(!running);
  Convert1->setEnabled(!running);
  StopImport1->setEnabled(running);
  ImportFiles->setVisible(running);
  ImportProgress->setVisible(running);
  if (running) {
    ImportProgress->setValue(0);
    ImportFiles->clear();
    progressTimer_->start();
  } else {
    progressTimer_->stop();
    treeModel_->ShowInsertionsInBatches(nullptr);
    StatusPanel->setUpdatesEnabled(true);
  }
}

void TMainForm::UpdateImportProgress() {
  if (!Importing()) return;
  uint64_t read = 0, size = 0;
  if (ImportQueue_->Progress(read, size))
    ImportProgress->setValue(size ? static_cast<int>(std::min<uint64_t>(read, size) * 1000 / size) : 0);
  ImportFiles->setText(QStringLiteral("%1/%2").arg(ImportQueue_->FilesStarted()).arg(ImportQueue_->FilesTotal()));
}
