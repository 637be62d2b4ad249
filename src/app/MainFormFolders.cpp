// The folder and group commands of the tree's popup and of the menus "ﾌｫﾙﾀﾞ" and "ﾃﾞｰﾀ": make,
// delete and rename folders, add, rename and delete groups, collect the IDs of sub-folders, and
// the folder search.
#include <QTreeView>

#include "analysis/jstrm.h"
#include "app/GuiInterface.h"
#include "app/MainForm.h"
#include "app/SearchForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "common/QtText.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"
#include "tree/MakeTree.h"

namespace {

using quillet::Unicode;

// A node's text in double quotes followed by the rest of a question.
QString Quoted(const TTreeNode* node, const QString& rest) {
  return QStringLiteral("\"") + Unicode(node->Text()) + rest;
}

}  // namespace

// Through the manager, which stops a scan filing into the node or below it first.
void TMainForm::DeleteTreeNode(TTreeNode* node) { TreeMgr_->DeleteNode(node); }

void TMainForm::Create1Click() {
  TTreeNode* parent = SelectedNode();
  if (!parent) parent = RootNode();
  TTreeNode* folder = AddChildNode(parent, SJ("新しいﾌｫﾙﾀﾞ"));
  folder->SetImages(imgFolder, imgFolderSelected);
  SelectNode(folder);
  RefreshIDView();
  const QModelIndex index = treeModel_->IndexOf(folder);
  TreeView->scrollTo(index);
  TreeView->edit(index);  // the user types the name at once
}

void TMainForm::Delete2Click() {
  TTreeNode* node = SelectedNode();
  // Only ordinary folders: the root, "登録ID" and the groups are the tree's fixed parts.
  if (!node || NodeType(node) != ntFolder) return;
  if (!dialogs_->Confirm(quillet::ApplicationTitle(), Quoted(node, QStringLiteral("\"を削除してもよろしいですか？"))))
    return;
  DeleteTreeNode(node);
}

void TMainForm::Rename1Click() {
  TTreeNode* node = SelectedNode();
  if (!node) return;
  const uint8_t kind = NodeType(node);
  if (kind != ntGroup && kind != ntFolder) return;
  const QString answer =
      dialogs_->Input(QStringLiteral("名前の変更"), QStringLiteral("名前を入力してください"), QString());
  std::string name;
  if (!FieldText(answer, QStringLiteral("名前"), name)) return;
  if (kind == ntGroup) {
    if (name.empty()) {
      dialogs_->Message(quillet::ApplicationTitle(), QStringLiteral("ｸﾞﾙｰﾌﾟ名を入力してください"),
                        quillet::Dialogs::Icon::None);
      return;
    }
    const char letter = static_cast<char>(node->GroupCode());
    PickData_->GroupMgr().RenameGroup(letter, name);
    node->SetText(GroupCaption(letter));
    RebuildGroupMenus();
    IDViewClick();  // the editor's group box has been rebuilt
  } else if (!name.empty()) {
    node->SetText(name);
  }
}

void TMainForm::AddGroup1Click() {
  const QString letterAnswer = dialogs_->Input(
      QStringLiteral("ｸﾞﾙｰﾌﾟの追加"), QStringLiteral("追加するｸﾞﾙｰﾌﾟ文字を入力してください"), QString());
  std::string typed;
  if (!FieldText(letterAnswer, QStringLiteral("ｸﾞﾙｰﾌﾟ文字"), typed)) return;
  const std::string text(Trim(JNormalize(typed)));
  if (text.empty()) return;
  const char letter = text[0];  // the rest of the answer is ignored
  TGroupMgr& groups = PickData_->GroupMgr();
  if (!groups.AddGroup(letter, "")) {
    dialogs_->Message(quillet::ApplicationTitle(), QStringLiteral("ｸﾞﾙｰﾌﾟを追加できません"),
                      quillet::Dialogs::Icon::None);
    return;
  }
  const QString nameAnswer =
      dialogs_->Input(QStringLiteral("ｸﾞﾙｰﾌﾟの追加"), QStringLiteral("ｸﾞﾙｰﾌﾟ名を入力してください。"), QString());
  std::string name;
  if (!FieldText(nameAnswer, QStringLiteral("ｸﾞﾙｰﾌﾟ名"), name)) name.clear();
  if (name.empty()) {
    groups.DeleteGroup(letter);  // no trace of the group is left
    dialogs_->Message(quillet::ApplicationTitle(), QStringLiteral("ｸﾞﾙｰﾌﾟの追加をｷｬﾝｾﾙしました"),
                      quillet::Dialogs::Icon::None);
    return;
  }
  groups.RenameGroup(letter, name);
  RebuildGroupMenus();
  TTreeNode* node = AddChildNode(RegistNode, GroupCaption(letter));
  node->SetImages(imgGroup, imgGroupSelected);
  node->SetGroupCode(letter);
  SelectNode(node);
  TreeView->scrollTo(treeModel_->IndexOf(node));
  RefreshIDView();
}

void TMainForm::DeleteGroup1Click() {
  TTreeNode* node = SelectedNode();
  if (!node || NodeType(node) != ntGroup) return;
  const char letter = static_cast<char>(node->GroupCode());
  if (IsFixedGroup(letter)) return;  // it would come back, empty, at the next start
  if (!dialogs_->Confirm(quillet::ApplicationTitle(), Quoted(node, QStringLiteral("\"を削除してよろしいですか？"))))
    return;
  // The list shows this group's entries: they go to the trash.
  for (int row = IDView->RowCount() - 1; row >= 0; --row) PickData_->ChangeGroup(IDView->GetCell(1, row), "E");
  PickData_->GroupMgr().DeleteGroup(letter);
  RebuildGroupMenus();
  DeleteTreeNode(node);
  SelectNode(RegistNode);
  RefreshIDView();
}

void TMainForm::Collect1Click() {
  TTreeNode* node = SelectedNode();
  if (!node) return;
  TreeMgr_->CollectData(node, node);
  RefreshIDView();
}

void TMainForm::Search1Click() {
  TSearchForm form(
      SelectedNode(), nodes_,
      [this](TTreeNode* node, const std::string& keyword, bool subFolders) {
        TreeMgr_->SearchFolder(node, keyword, subFolders);  // selects and shows the result folder
      },
      *dialogs_, this);
  dialogs_->Modal(form);
}
