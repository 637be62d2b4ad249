#pragma once
// The dialog "検索": a keyword (with the history of the last 20 kept in the settings), the folder
// to search in a copy of the folder tree, and whether sub-folders are searched too. The search
// itself is the caller's: the dialog hands it the folder of the main tree and the keyword.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "controls/GeneralRegistry.h"
#include "tree/TreeNodes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeView;
class TTreeModel;

namespace quillet {
class Dialogs;
}

class TSearchForm : public QDialog {
  Q_OBJECT
 public:
  // Searches `node` of the main tree for the normalised keyword.
  using SearchFunction = std::function<void(TTreeNode* node, const std::string& keyword, bool subFolders)>;

  // `selected` (may be null) is the main tree's selected node; `nodes` the main tree.
  TSearchForm(TTreeNode* selected, TTreeNodes& nodes, SearchFunction search, quillet::Dialogs& dialogs,
              QWidget* parent = nullptr);
  ~TSearchForm() override;

  static constexpr const char* kSettingsKey = kProgramSettingsKey;
  static constexpr const char* kSection = "Keyword";
  static constexpr int kMaxHistory = 20;

  QLabel* Label1 = nullptr;
  QComboBox* Keyword = nullptr;
  QLabel* Label2 = nullptr;
  QTreeView* TargetView = nullptr;
  QCheckBox* SubFolder = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  void KeywordChange();
  void OKButtonClick();  // also what Enter in the keyword box does
  // The copy of the tree shown in TargetView, and its selected node (null when none).
  TTreeNodes& TargetNodes() { return targetNodes_; }
  TTreeNode* TargetSelected() const;
  void SelectTarget(TTreeNode* node);

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ReadHistory();
  void WriteHistory();
  void CopyTree(const TTreeNode* from, TTreeNode* toParent);

  TTreeNodes& mainNodes_;
  SearchFunction search_;
  quillet::Dialogs& dialogs_;
  TTreeNodes targetNodes_;
  std::unique_ptr<TTreeModel> targetModel_;
  int picked_ = -1;  // the history item picked from the list, until the text is edited
  bool historyWritten_ = false;
};
