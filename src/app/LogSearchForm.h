#pragma once
// The window "ログからの検索 - ID": every sighting of one ID in the logs behind a folder, read
// again with the scanner on a thread of its own. The list fills as lines are found; selecting a
// row shows the lines around it; Ctrl+C copies the selected rows as tab-separated text. Several
// such windows may be open; closing one stops its reading.
#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "controls/GeneralRegistry.h"
#include "tree/LogSightings.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;

// The rows of the window: one sighting each. The texts stay in Shift-JIS until shown.
class TSightingModel final : public QAbstractTableModel {
 public:
  enum Column { colFile, colLine, colPlace, colHandle, colText, colCount };

  explicit TSightingModel(std::vector<QString> filePaths, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Append(std::vector<TSighting>& sightings);
  void Remove(int row);
  const TSighting& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  // The text of a cell as shown.
  QString Cell(int row, int column) const;

  // A log line as shown: Unicode, tabs as spaces to the next multiple of 8 columns, other
  // control bytes as one space each.
  static QString ShownLine(const std::string& sjis);

 private:
  std::vector<QString> files_;
  std::vector<TSighting> rows_;
};

class TLogSearchForm final : public QWidget {
  Q_OBJECT
 public:
  // Lists the sightings of `id` in `files` (see PlanSightings); the window takes `font` (the
  // main window's). The reading starts with Start().
  TLogSearchForm(const std::string& id, std::vector<TSightingFile> files, const QFont& font,
                 QWidget* parent = nullptr);
  ~TLogSearchForm() override;

  static constexpr const char* kSettingsKey = kProgramSettingsKey;
  static constexpr const char* kSection = "View";
  static constexpr int kContextLines = 10;  // shown before and after the sighting's line

  QLabel* ListLabel = nullptr;
  QTableView* List = nullptr;
  QLabel* ContextLabel = nullptr;
  QPlainTextEdit* ContextView = nullptr;
  QLabel* StatusLabel = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* CloseButton = nullptr;

  void Start();
  void StopClick();
  // The selected rows, in list order, as tab-separated lines (what Ctrl+C copies).
  QString SelectedText() const;
  void CopySelection();

  TSightingModel& Model() { return *model_; }
  TSightingSearch& Search() { return *search_; }
  // The reading is over and every sighting is listed.
  bool Done() const { return done_; }
  // A row's context is being read.
  bool ContextPending() const { return context_ != nullptr; }

  struct ContextJob;

 signals:
  // The reading is over and every sighting is listed.
  void Finished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Poll();
  void RowChanged();
  void ShowContext(ContextJob& job);
  void UpdateStatus();
  void ReadSettings();
  void WriteSettings();

  std::unique_ptr<TSightingSearch> search_;
  TSightingModel* model_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QTimer* timer_ = nullptr;
  std::unique_ptr<ContextJob> context_;
  std::vector<std::string> lost_;  // logs whose line of a sighting has changed since
  std::vector<std::string> gone_;  // logs gone since the reading
  bool done_ = false;
  bool settingsWritten_ = false;
  QElapsedTimer progressClock_;  // since the progress bar last moved
};
