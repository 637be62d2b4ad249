#pragma once
// The main window: the folder tree on the left, the ID list at the top right, the data editor
// below it and the status bar. It owns the ID store and the tree manager for the life of the
// program. Its implementation is split by role:
//   MainFormStartup.cpp  start-up, settings, shutdown, the message interface
//   MainFormLayout.cpp   controls and their layout, view commands, the tree's selection
//   MainFormMenus.cpp    menus, their enabling, commands that only open something
//   MainFormList.cpp     the ID list, the editor and the list's popup commands
//   MainFormFolders.cpp  folder and group commands, collecting, the folder search
//   MainFormImport.cpp   log import and its progress, other programs' ID files, the export
//   MainFormDragDrop.cpp IDs and folders dragged onto the tree, the feedback while dragging
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "analysis/LogAnalize.h"
#include "app/Dialogs.h"
#include "controls/GeneralRegistry.h"
#include "tree/TreeNodes.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QHeaderView;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStandardItemModel;
class QTabWidget;
class QTimer;
class QTreeView;
class TListGrid;
class TPickData;
class TSeparater;
class TImportQueue;
class TTreeMgr;
class TTreeModel;

namespace quillet {
class GuiInterface;
class UserInterface;
}

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // `dialogs` answers every dialog of the window (not owned; nullptr: the real dialogs).
  explicit TMainForm(quillet::Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~TMainForm() override;

  static constexpr const char* kSettingsKey = kProgramSettingsKey;
  static constexpr const char* kZelvoKey = "Software\\Qmr\\Zelvo";

  // --- controls (named for their role) ---
  QTreeView* TreeView = nullptr;
  TSeparater* Separater1 = nullptr;
  QLabel* StatusPanel = nullptr;
  QFrame* RightPanel = nullptr;
  QFrame* IDViewPanel = nullptr;
  QHeaderView* HeaderControl1 = nullptr;
  TListGrid* IDView = nullptr;
  TSeparater* Separater2 = nullptr;
  QScrollArea* EditPanel = nullptr;
  QWidget* EditContent = nullptr;  // the scroll box's contents
  QLabel *IDLabel = nullptr, *GroupLabel = nullptr, *HandleLabel = nullptr, *AliasLabel = nullptr,
         *MemoLabel = nullptr;
  QLineEdit* IDEdit = nullptr;
  QComboBox* GroupEdit = nullptr;
  QLineEdit* HandleEdit = nullptr;
  QLineEdit* AliasEdit = nullptr;
  QLineEdit* MemoEdit = nullptr;
  QCheckBox* AutoRegist = nullptr;
  QFrame* ButtonPanel = nullptr;
  QPushButton* IDSearch = nullptr;
  QPushButton* Modify = nullptr;
  QPushButton* CloseEdit = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet2 = nullptr;  // 詳細ﾒﾓ
  QWidget* TabSheet1 = nullptr;  // ﾌﾟﾛﾌｨｰﾙ
  QPlainTextEdit* Memo2Edit = nullptr;
  QPlainTextEdit* ProfileEdit = nullptr;

  // --- menus ---
  QMenu *FileMenu = nullptr, *ViewMenu = nullptr, *FolderMenu = nullptr, *DataMenu = nullptr,
        *OtherMenu = nullptr;
  QAction *Import1 = nullptr, *Convert1 = nullptr, *Export1 = nullptr, *Exit1 = nullptr;
  QAction* ImportFolder1 = nullptr;  // "ﾌｫﾙﾀﾞからのｲﾝﾎﾟｰﾄ(&D)": the logs and archives of a folder
  QAction *ScaleTreeView = nullptr, *ScaleListView = nullptr, *ScaleDataView = nullptr, *ShowDataView = nullptr;
  QAction *Create2 = nullptr, *Delete3 = nullptr, *Rename2 = nullptr;
  QAction *New1 = nullptr, *Search2 = nullptr, *AddGroup2 = nullptr, *DeleteGroup2 = nullptr, *Collect2 = nullptr;
  QAction *Help1 = nullptr, *Version1 = nullptr;
  QMenu* PopupMenu2 = nullptr;  // the tree's
  QAction *Create1 = nullptr, *Delete2 = nullptr, *AddGroup1 = nullptr, *DeleteGroup1 = nullptr,
          *Rename1 = nullptr, *Search1 = nullptr, *Collect1 = nullptr;
  QMenu* PopupMenu1 = nullptr;  // the list's
  QMenu* ChangeGroup = nullptr;
  QAction* Copy1 = nullptr;
  QAction *SearchLog1 = nullptr, *Delete1 = nullptr, *Edit1 = nullptr, *AutoRegist1 = nullptr;

  // --- state ---
  TTreeNode* RegistNode = nullptr;
  std::string DataFileName;  // a file-system path
  bool ClickOnItem = false;
  int SavedIDHeight = 0;
  int SavedTreeWidth = 0;
  TForumData DefaultForumData;

  TPickData& PickData() { return *PickData_; }
  TTreeMgr& TreeMgr() { return *TreeMgr_; }
  // The running import's files (FileQueue, IntegrateName) live in the queue.
  TImportQueue& ImportQueue() { return *ImportQueue_; }
  TTreeNodes& Nodes() { return nodes_; }
  TTreeModel& TreeModel() { return *treeModel_; }
  TTreeNode* RootNode() const;
  TTreeNode* SelectedNode() const;
  // Selects a node in the tree without the list following (callers refresh it themselves).
  void SelectNode(TTreeNode* node);

  // --- start-up and shutdown (MainFormStartup.cpp) ---
  void FormCreate();
  void FormDestroy();
  void Exit1Click();

  // --- view commands (MainFormLayout.cpp) ---
  void ScaleTreeViewClick();
  void ScaleListViewClick();
  void ScaleDataViewClick();
  void ShowDataViewClick();
  void CloseEditClick();
  void IDViewDblClick();
  void Separater1EndDrag(TSeparater* sender, int pos, int cg);
  void IDViewPanelResize();
  void EditPanelResize();
  void HeaderControl1SectionResize();
  void HeaderControl1SectionClick(int section);
  void TreeViewMouseDown(const QPoint& pos);
  void TreeViewClick();
  void TreeViewSelectionChanged();
  // The list follows the tree: when rows about to go take the selected node, the neighbour (or
  // the parent) to select is noted, and selected once they are gone.
  void NoteReselection(const QModelIndex& parent, int first, int last);
  void Reselect();

  // --- the list and the editor (MainFormList.cpp) ---
  void RefreshIDView();
  void IDViewDrawItem(TListGrid* control, int index, const QRect& rect, QPainter& canvas);
  void IDViewClick();
  void ShowIDData(const std::string& id);
  void ClearEditor();  // every field empty, "更新" disabled
  void IDEditChange();
  void GroupEditChange();
  void IDSearchClick();
  void ModifyClick();
  void New1Click();
  void PopupMenu1Popup();
  void MenuClick(QAction* sender);
  void ChangeIDGroup(const std::string& id, char letter, int row);
  void RemoveIDFromFolder(const std::string& id, int row);
  void SetIDAutoRegist(const std::string& id, bool on);
  void RebuildGroupMenus();
  std::string GroupCaption(char letter) const;

  // --- menus (MainFormMenus.cpp) ---
  void SetFolderCommandEnabling();
  void Version1Click();

  // --- import commands (MainFormImport.cpp) ---
  void Import1Click();
  void ImportFolder1Click();
  // The import dialog, then the queue, for chosen files, archives or a folder; `several` enables
  // filing them as one.
  void ImportLogs(const QStringList& paths, bool several, bool folder);
  void AnalysisEnded(TTreeMgr* sender, const std::string& fileName);
  void StopImport1Click();
  void Convert1Click();
  void Export1Click();
  bool Importing() const;
  QAction* StopImport1 = nullptr;          // "ﾛｸﾞｲﾝﾎﾟｰﾄを中止(&S)", enabled while an import runs
  QProgressBar* ImportProgress = nullptr;  // the current file: bytes read of its size
  QLabel* ImportFiles = nullptr;           // which file of how many
  // --- folder and group commands (MainFormFolders.cpp) ---
  void Create1Click();
  void Delete2Click();
  void Rename1Click();
  void AddGroup1Click();
  void DeleteGroup1Click();
  void Collect1Click();
  void Search1Click();
  // The list popup's items that open or copy something.
  void Copy1Click();
  void Edit1Click();
  void SearchLog1Click();
  // Groups A to E always exist; their nodes cannot be deleted.
  static bool IsFixedGroup(char letter) { return letter >= 'A' && letter <= 'E'; }
  // --- drag and drop (MainFormDragDrop.cpp) ---
  bool TreeViewDragOver(const QObject* source) const;
  // Whether dropping what `source` carries onto `target` (null: no node) would change anything.
  bool DropWouldAct(const QObject* source, const TTreeNode* target) const;
  // `pos` in the tree's viewport coordinates.
  void TreeViewDragDrop(const QObject* source, const QPoint& pos);

  // The general error report: an error that escaped a command, in a box with the error icon.
  void ReportError(const std::exception& error);
  // Writes what the last command changed in the store (MainFormStartup.cpp). When another
  // program has written the data file meanwhile, asks whether to reload theirs, overwrite with
  // ours, or save ours to another file (and then reload theirs).
  void SaveStore();
  // Reads the data file again (theirs wins) and rebuilds the group nodes and menus.
  void ReloadStore();
  // The title bar: "くいれっと", with "読み取り専用" while the store is damaged.
  void UpdateTitle();
  quillet::Dialogs& Dialogs() { return *dialogs_; }
  // Marks shown by the list for a registered ID: the offsets and colours of the dots.
  struct Mark {
    int offset;
    QColor colour;
  };

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();    // MainFormLayout.cpp
  void BuildEditor();      // MainFormLayout.cpp
  void BuildMenus();       // MainFormMenus.cpp
  void BuildCommands();    // MainFormImport.cpp: import progress, stop, export
  void ConnectListPopup(); // MainFormList.cpp: the list popup's own items
  void InstallDragDrop();  // MainFormDragDrop.cpp
  void DeleteTreeNode(TTreeNode* node);
  TTreeNode* FileNodeNamed(const std::string& path);  // MainFormImport.cpp
  void ConnectImportQueue();
  void SetImportRunning(bool running);
  void UpdateImportProgress();
  class TDragDropFilter;
  TDragDropFilter* dragDrop_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  // From this many logs in one import, the tree view hears of their nodes in batches.
  static constexpr int kBatchedImportFrom = 50;
  // Fits the tree's column to its texts, at most every kTreeWidthEveryMs (MainFormLayout.cpp).
  static constexpr int64_t kTreeWidthEveryMs = 200;
  QTimer* treeWidthTimer_ = nullptr;
  int64_t treeWidthAt_ = -kTreeWidthEveryMs;  // when it was fitted last
  void ReadSettings();     // MainFormStartup.cpp
  int DesignedColumnWidth(int designed) const;
  void WriteSettings();    // MainFormStartup.cpp
  void OpenDataFile();     // MainFormStartup.cpp
  // Loads the data file; on a format error offers the repair, and after one loads again.
  void LoadStore();
  void RebuildGroupNodes();
  void ApplyScale(QAction* command);
  void SetListPaneHeight(int height);
  void SetTreeWidth(int width);
  TTreeNode* AddChildNode(TTreeNode* parent, const std::string& text);
  uint8_t NodeType(const TTreeNode* node) const;
  // Runs a command; an error that escapes it goes to the general error report.
  template <typename F>
  void Run(F&& command);
  template <typename F>
  auto Guarded(F command) {
    return [this, command](auto&&...) { Run(command); };
  }
  // Text from an edit in Shift-JIS; false (and a message naming the field) when it has no form.
  bool FieldText(const QString& text, const QString& field, std::string& out);
  std::vector<std::string> FieldLines(const QString& text, const QString& field, bool& ok);

  std::unique_ptr<quillet::Dialogs> ownDialogs_;
  quillet::Dialogs* dialogs_;
  std::unique_ptr<quillet::GuiInterface> ui_;
  quillet::UserInterface* previousUi_ = nullptr;
  TTreeNodes nodes_;
  TTreeModel* treeModel_ = nullptr;
  std::unique_ptr<TPickData> PickData_;
  std::unique_ptr<TTreeMgr> TreeMgr_;
  std::unique_ptr<TImportQueue> ImportQueue_;
  bool closeAfterImport_ = false;
  QSize outerSize_;  // the stored outer size, until the frame around the window is known
  QStandardItemModel* headerModel_ = nullptr;
  bool section0Clickable_ = true;
  bool treeEditable_ = false;
  bool followSelection_ = true;     // off while the window selects a node itself
  bool refreshedSincePress_ = false;
  bool destroyed_ = false;
  int runDepth_ = 0;
  bool saving_ = false;  // a save lets window events run: a command ending meanwhile waits for it
  void SaveStoreOnce();
  // The store's change count when a save ended without writing (a second writer's question left
  // unanswered, a write error): not tried again until something more changes.
  uint64_t unansweredAt_ = UINT64_MAX;  // commands running (one may run another): the save waits for the outermost
  TTreeNode* reselect_ = nullptr;  // to select once a removal that took the selected node is done
};

// Every change a command makes is written when the outermost command ends: one save per
// command, however many IDs it touched.
template <typename F>
void TMainForm::Run(F&& command) {
  ++runDepth_;
  try {
    command();
  } catch (const std::exception& error) {
    ReportError(error);
  }
  if (--runDepth_ == 0) SaveStore();
}
