#pragma once
// Shared pieces of the tree manager tests: a tree with its manager, an ID store filled in
// memory, an event loop to wait on, and small logs written to a scratch folder.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Cp932.h"
#include "common/UserInterface.h"
#include "support/Support.h"
#include "iddb/PickEngine.h"
#include "tree/MakeTree.h"
#include "tree/TreeNodes.h"

namespace treetest {

using testsupport::RunUntil;
using testsupport::U;
using TestUI = testsupport::CapturingUI;

// The IDs of a node's set in list order, with their shown handles: "ID=handle".
inline std::vector<std::string> Entries(const TTreeNode* node) {
  std::vector<std::string> out;
  if (!node || !node->IDSet()) return out;
  for (int i = 0; i < node->IDSet()->Count(); ++i) {
    const TminiIDDataSet* r = node->IDSet()->Objects(i);
    out.push_back(std::string(node->IDSet()->Strings(i)) + "=" + (r ? std::string(r->Handle) : std::string()));
  }
  return out;
}

inline TTreeNode* Child(const TTreeNode* parent, const std::string& text) {
  if (!parent) return nullptr;
  for (int i = 0; i < parent->Count(); ++i)
    if (parent->Item(i)->Text() == text) return parent->Item(i);
  return nullptr;
}

inline std::vector<std::string> ChildTexts(const TTreeNode* parent) {
  std::vector<std::string> out;
  for (int i = 0; parent && i < parent->Count(); ++i) out.push_back(parent->Item(i)->Text());
  return out;
}

// A tree with "NIFTY SERVE", "登録ID" and groups A and B, a manager over it, and a store that
// writes nothing.
class Tree {
 public:
  Tree() : scope_(&ui), mgr(&nodes) {
    store.SetReadOnly(true);
    store.GroupMgr().SetLines({"A" + U("グループＡ"), "B" + U("グループＢ"), "E" + U("ごみ箱")});
    mgr.PickData = &store;
    root = mgr.FindOrAddChild(nullptr, "NIFTY SERVE");
    root->SetImages(imgRoot, imgRootSelected);
    registered = mgr.FindOrAddChild(root, U("登録ID"));
    registered->SetImages(imgRegistered, imgRegisteredSelected);
    mgr.RegisteredIDNode = registered;
    groupA = AddGroup('A');
    groupB = AddGroup('B');
  }

  TTreeNode* AddGroup(char letter) {
    TTreeNode* node = mgr.FindOrAddChild(registered, "(" + std::string(1, letter) + ")" +
                                                         store.GroupMgr().GroupName(letter));
    node->SetImages(imgGroup, imgGroupSelected);
    node->SetGroupCode(letter);
    return node;
  }

  void Register(const std::string& id, const std::string& handle, const std::string& group,
                const std::string& alias = "", const std::string& memo = "") {
    store.RegistID(id, handle, alias, memo, group, false, false, nullptr, false, nullptr);
  }

  // A folder with IDs ("ID=handle" or just "ID", which files the ID as its own handle).
  TTreeNode* Folder(TTreeNode* parent, const std::string& text, const std::vector<std::string>& ids = {}) {
    TTreeNode* node = mgr.FindOrAddChild(parent, text);
    for (const std::string& entry : ids) {
      const size_t eq = entry.find('=');
      const std::string id = entry.substr(0, eq);
      auto record = std::make_unique<TminiIDDataSet>(id);
      record->AddHandle(eq == std::string::npos ? id : entry.substr(eq + 1));
      node->IDSet()->AddObject(id, std::move(record));
    }
    return node;
  }

  TestUI ui;

 private:
  quillet::ScopedUserInterface scope_;

 public:
  TTreeNodes nodes;
  TPickData store;
  TTreeMgr mgr;
  TTreeNode* root = nullptr;
  TTreeNode* registered = nullptr;
  TTreeNode* groupA = nullptr;
  TTreeNode* groupB = nullptr;
};

// Small logs in a scratch folder.
class Logs {
 public:
  std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
  // Writes the lines (UTF-8 in the source, Shift-JIS in the file), CR LF each.
  std::string Write(const std::string& name, const std::vector<std::string>& lines) {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : lines) out << quillet::FromUtf8(line) << "\r\n";
    return path;
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace treetest
