#include "app/LogSearchForm.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "analysis/LogEncoding.h"
#include "analysis/LogLines.h"
#include "common/Cp932.h"
#include "controls/GeneralRegistry.h"

namespace {

QString Unicode(const std::string& sjis) { return QString::fromStdString(quillet::ToUtf8(sjis)); }

// The list copies its selection as the window's rows, not as Qt's current cell.
class SightingView final : public QTableView {
 public:
  SightingView(TLogSearchForm* form, QWidget* parent) : QTableView(parent), form_(form) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Copy)) {
      form_->CopySelection();
      event->accept();
      return;
    }
    QTableView::keyPressEvent(event);
  }

 private:
  TLogSearchForm* const form_;
};

constexpr int kPollMs = 20;
// Rows added to the list at one time: enough to keep up with any log, few enough that the window
// never stalls.
constexpr size_t kRowsPerPoll = 4000;
const int kDefaultWidths[TSightingModel::colCount] = {160, 50, 140, 100, 400};

}  // namespace

// ---- the rows ----------------------------------------------------------------------------------

TSightingModel::TSightingModel(std::vector<QString> filePaths, QObject* parent)
    : QAbstractTableModel(parent), files_(std::move(filePaths)) {}

int TSightingModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TSightingModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : colCount; }

QString TSightingModel::ShownLine(const std::string& sjis) {
  std::string spaced;
  spaced.reserve(sjis.size());
  for (const char c : sjis) {
    if (c == '\t') {
      spaced.append(8 - spaced.size() % 8, ' ');
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      spaced += ' ';
    } else {
      spaced += c;
    }
  }
  return Unicode(spaced);
}

QString TSightingModel::Cell(int row, int column) const {
  const TSighting& s = rows_[static_cast<size_t>(row)];
  switch (column) {
    case colFile:
      return s.File < files_.size() ? files_[s.File] : QString();
    case colLine:
      return QString::number(s.Line);
    case colPlace:
      return Unicode(s.Place);
    case colHandle:
      return ShownLine(s.Handle);
    case colText:
      return ShownLine(s.Text);
    default:
      return {};
  }
}

QVariant TSightingModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole) return Cell(index.row(), index.column());
  if (role == Qt::TextAlignmentRole && index.column() == colLine)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant TSightingModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char16_t* const titles[colCount] = {u"ファイル", u"行", u"場所", u"ハンドル", u"本文"};
  return section >= 0 && section < colCount ? QString::fromUtf16(titles[section]) : QVariant();
}

void TSightingModel::Append(std::vector<TSighting>& sightings) {
  if (sightings.empty()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(sightings.size()) - 1);
  for (TSighting& s : sightings) rows_.push_back(std::move(s));
  endInsertRows();
  sightings.clear();
}

void TSightingModel::Remove(int row) {
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

// ---- reading the lines around a sighting ----------------------------------------------------------

struct TLogSearchForm::ContextJob {
  TLogOrigin origin;
  uint64_t line = 0;     // the sighting's
  uint64_t first = 0;    // the first line read
  std::string expected;  // what the sighting's line held when it was found
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  bool opened = false;
  bool ok = false;
  std::string error;
  std::vector<std::string> lines;
  std::thread thread;

  ~ContextJob() {
    stop = true;
    if (thread.joinable()) thread.join();
  }
  void Run() {
    std::unique_ptr<TLogSource> raw = OpenLogForReread(origin, error);
    opened = raw != nullptr;
    if (raw) {
      // Read as the import read it: the same encoding and line ends.
      const std::unique_ptr<TDecodingSource> source = DecodeLogSource(std::move(raw), origin.Encoding);
      const bool anyLineEnd = source->AnyLineEnd();
      ok = ReadLogLines(*source, first, line + kContextLines, lines, error, &stop, anyLineEnd);
    }
    done = true;
  }
};

// ---- the window ----------------------------------------------------------------------------------

TLogSearchForm::TLogSearchForm(const std::string& id, std::vector<TSightingFile> files, const QFont& font,
                               QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("ログからの検索 - ") + Unicode(id));
  setFont(font);
  std::vector<QString> paths;
  for (const TSightingFile& f : files) paths.push_back(QFile::decodeName(QByteArray::fromStdString(f.Origin.Path)));
  search_ = std::make_unique<TSightingSearch>(id, std::move(files));
  model_ = new TSightingModel(std::move(paths), this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setChildrenCollapsible(false);

  auto* top = new QWidget(splitter_);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->setSpacing(2);
  ListLabel = new QLabel(QStringLiteral("見つかった行(&L)"), top);
  List = new SightingView(this, top);
  List->setModel(model_);
  List->setSelectionBehavior(QAbstractItemView::SelectRows);
  List->setSelectionMode(QAbstractItemView::ExtendedSelection);
  List->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List->setWordWrap(false);
  List->setTabKeyNavigation(false);  // Tab moves on to the next control
  List->verticalHeader()->hide();
  List->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
  List->horizontalHeader()->setStretchLastSection(true);
  List->horizontalHeader()->setHighlightSections(false);
  ListLabel->setBuddy(List);
  topLayout->addWidget(ListLabel);
  topLayout->addWidget(List);

  auto* bottom = new QWidget(splitter_);
  auto* bottomLayout = new QVBoxLayout(bottom);
  bottomLayout->setContentsMargins(0, 0, 0, 0);
  bottomLayout->setSpacing(2);
  ContextLabel = new QLabel(QStringLiteral("前後の行(&V)"), bottom);
  ContextView = new QPlainTextEdit(bottom);
  ContextView->setReadOnly(true);
  ContextView->setLineWrapMode(QPlainTextEdit::NoWrap);
  ContextView->setFont(font);
  ContextLabel->setBuddy(ContextView);
  bottomLayout->addWidget(ContextLabel);
  bottomLayout->addWidget(ContextView);
  splitter_->addWidget(top);
  splitter_->addWidget(bottom);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 2);
  layout->addWidget(splitter_, 1);

  auto* bar = new QHBoxLayout();
  StatusLabel = new QLabel(this);
  StatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  StatusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setRange(0, 1000);
  ProgressBar->setTextVisible(false);
  ProgressBar->setFixedSize(120, 12);
  StopButton = new QPushButton(QStringLiteral("中止(&S)"), this);
  CloseButton = new QPushButton(QStringLiteral("閉じる(&C)"), this);
  bar->addWidget(StatusLabel, 1);
  bar->addWidget(ProgressBar);
  bar->addWidget(StopButton);
  bar->addWidget(CloseButton);
  layout->addLayout(bar);

  setTabOrder(List, ContextView);
  setTabOrder(ContextView, StopButton);
  setTabOrder(StopButton, CloseButton);

  connect(StopButton, &QPushButton::clicked, this, [this] { StopClick(); });
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
  connect(List->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { RowChanged(); });

  timer_ = new QTimer(this);
  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, [this] { Poll(); });

  ReadSettings();
  UpdateStatus();
}

TLogSearchForm::~TLogSearchForm() {
  // The readers stop at their next line and are waited for; nothing they found is kept.
  context_.reset();
  search_.reset();
  WriteSettings();
}

void TLogSearchForm::Start() {
  // Sightings are taken as soon as they are ready, not only at the next tick; the reader is
  // stopped and joined before this window goes, and Qt drops calls still queued for it then.
  search_->OnReady = [this] { QMetaObject::invokeMethod(this, [this] { Poll(); }, Qt::QueuedConnection); };
  search_->Start();
  timer_->start();
}

void TLogSearchForm::StopClick() { search_->Stop(); }

void TLogSearchForm::closeEvent(QCloseEvent* event) {
  search_->Stop();
  WriteSettings();
  QWidget::closeEvent(event);
}

void TLogSearchForm::Poll() {
  if (!done_) {
    std::vector<TSighting> found;
    search_->Take(found, kRowsPerPoll);
    const bool first = model_->rowCount() == 0 && !found.empty();
    model_->Append(found);
    if (first) List->selectRow(0);
    const bool finished = search_->Finished();
    if (finished) done_ = true;
    UpdateStatus();
    if (finished) emit Finished();
  }
  if (context_ && context_->done) {
    std::unique_ptr<ContextJob> job = std::move(context_);
    ShowContext(*job);
  }
  if (done_ && !context_) timer_->stop();
}

void TLogSearchForm::RowChanged() {
  context_.reset();  // a read for another row is no longer wanted
  ContextView->clear();
  const QModelIndex current = List->currentIndex();
  if (!current.isValid()) return;
  const TSighting& s = model_->Row(current.row());
  auto job = std::make_unique<ContextJob>();
  job->origin = search_->Files()[s.File].Origin;
  job->line = s.Line;
  job->first = s.Line > static_cast<uint64_t>(kContextLines) ? s.Line - kContextLines : 1;
  job->expected = s.Text;
  ContextJob* const j = job.get();
  job->thread = std::thread([j] { j->Run(); });
  context_ = std::move(job);
  timer_->start();
}

void TLogSearchForm::ShowContext(ContextJob& job) {
  const QModelIndex current = List->currentIndex();
  if (!current.isValid()) return;
  const int row = current.row();
  const uint64_t at = job.line - job.first;  // index of the sighting's line among those read
  if (!job.ok || at >= job.lines.size() || job.lines[at] != job.expected) {
    // The log no longer holds that line there: the sighting is not shown any more.
    std::vector<std::string>& lost = job.opened ? lost_ : gone_;
    const std::string& path = job.origin.Path;
    if (std::find(lost.begin(), lost.end(), path) == lost.end()) lost.push_back(path);
    model_->Remove(row);
    UpdateStatus();
    return;
  }
  QString text;
  int markBlock = 0;
  const int width = static_cast<int>(QString::number(job.first + job.lines.size()).size());
  for (size_t i = 0; i < job.lines.size(); ++i) {
    const uint64_t number = job.first + i;
    if (i == at) markBlock = static_cast<int>(i);
    text += (i == at ? QStringLiteral("▶") : QStringLiteral("　")) +
            QStringLiteral("%1: ").arg(number, width) + TSightingModel::ShownLine(job.lines[i]);
    if (i + 1 < job.lines.size()) text += QLatin1Char('\n');
  }
  ContextView->setPlainText(text);
  QTextEdit::ExtraSelection mark;
  mark.cursor = QTextCursor(ContextView->document()->findBlockByNumber(markBlock));
  mark.format.setBackground(ContextView->palette().highlight().color().lighter(160));
  mark.format.setProperty(QTextFormat::FullWidthSelection, true);
  ContextView->setExtraSelections({mark});
  ContextView->setTextCursor(mark.cursor);
  ContextView->centerCursor();
}

void TLogSearchForm::UpdateStatus() {
  const int rows = model_->rowCount();
  QString text;
  if (search_->Files().empty()) {
    text = QStringLiteral("このフォルダにはインポートしたログがありません");
  } else if (!done_) {
    text = QStringLiteral("%1件　検索中…").arg(rows);
  } else if (search_->Stopped()) {
    text = QStringLiteral("%1件　中止しました").arg(rows);
  } else {
    text = QStringLiteral("%1件の行が見つかりました").arg(rows);
  }
  const std::vector<TSightingNote> notes = search_->Notes();
  const auto& files = search_->Files();
  for (size_t i = 0; i < notes.size(); ++i) {
    const QString name = QFileInfo(QFile::decodeName(QByteArray::fromStdString(files[i].Origin.Path))).fileName();
    switch (notes[i]) {
      case TSightingNote::Vanished:
        if (std::find(gone_.begin(), gone_.end(), files[i].Origin.Path) == gone_.end())
          text += QStringLiteral("　") + name + QStringLiteral("が見つかりません");
        break;
      case TSightingNote::Changed:
        if (std::find(lost_.begin(), lost_.end(), files[i].Origin.Path) == lost_.end())
          text += QStringLiteral("　") + name + QStringLiteral("はインポート後に変更されています");
        break;
      case TSightingNote::Unreadable:
        text += QStringLiteral("　") + name + QStringLiteral("を読み込めません");
        break;
      case TSightingNote::None:
        break;
    }
  }
  auto fileName = [](const std::string& path) {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
  };
  for (const std::string& path : lost_) text += QStringLiteral("　") + fileName(path) + QStringLiteral("はインポート後に変更されています");
  for (const std::string& path : gone_) text += QStringLiteral("　") + fileName(path) + QStringLiteral("が見つかりません");
  StatusLabel->setText(text);
  StatusLabel->setToolTip(text);

  StopButton->setEnabled(!done_);
  ProgressBar->setVisible(!done_);
  // The bar moves a few times a second: repainting it at every poll would cost the reading time.
  if (!done_ && !search_->Files().empty() && (!progressClock_.isValid() || progressClock_.elapsed() >= 100)) {
    progressClock_.start();
    size_t file = 0;
    uint64_t read = 0, size = 0;
    search_->Progress(file, read, size);
    const double part = size ? static_cast<double>(std::min(read, size)) / static_cast<double>(size) : 0.0;
    ProgressBar->setValue(static_cast<int>((static_cast<double>(file) + part) * 1000.0 /
                                           static_cast<double>(search_->Files().size())));
  }
}

QString TLogSearchForm::SelectedText() const {
  QString text;
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (!List->selectionModel()->isRowSelected(row, {})) continue;
    for (int column = 0; column < TSightingModel::colCount; ++column) {
      if (column > 0) text += QLatin1Char('\t');
      text += model_->Cell(row, column);
    }
    text += QLatin1Char('\n');
  }
  return text;
}

void TLogSearchForm::CopySelection() {
  const QString text = SelectedText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void TLogSearchForm::ReadSettings() {
  resize(RegReadInteger(kSettingsKey, kSection, "LogSearchWidth", 720),
         RegReadInteger(kSettingsKey, kSection, "LogSearchHeight", 480));
  for (int column = 0; column < TSightingModel::colCount; ++column) {
    const int width = RegReadInteger(kSettingsKey, kSection, "LogSearchColWidth" + std::to_string(column),
                                     kDefaultWidths[column]);
    List->setColumnWidth(column, std::max(width, 16));
  }
}

void TLogSearchForm::WriteSettings() {
  if (settingsWritten_) return;
  settingsWritten_ = true;
  try {
    RegWriteInteger(kSettingsKey, kSection, "LogSearchWidth", width());
    RegWriteInteger(kSettingsKey, kSection, "LogSearchHeight", height());
    for (int column = 0; column < TSightingModel::colCount; ++column)
      RegWriteInteger(kSettingsKey, kSection, "LogSearchColWidth" + std::to_string(column), List->columnWidth(column));
  } catch (const std::exception&) {
    // A settings file that cannot be written loses the window's size, nothing else.
  }
}
