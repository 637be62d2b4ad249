#include "tree/Search.h"

#include <memory>
#include <string_view>
#include <vector>

#include "analysis/jstrm.h"
#include "iddb/PickEngine.h"

namespace {

// A byte-wise substring test. An empty keyword occurs nowhere: searching for nothing finds nothing.
bool Contains(std::string_view text, std::string_view keyword) {
  return !keyword.empty() && text.find(keyword) != std::string_view::npos;
}

}  // namespace

std::string SearchResultText(const std::string& keyword, const TTreeNode* node) {
  return "\"" + keyword + "\"(in " + (node ? node->Text() : std::string()) + ")";
}

TTreeNode* TTreeMgr::SearchFolder(TTreeNode* node, const std::string& keyword, bool includeSubFolders) {
  if (!node) return nullptr;
  // A result folder of an earlier search for the same text is reused and gains the new matches.
  TTreeNode* result = FindOrAddChild(node, SearchResultText(keyword, node));
  result->SetImages(imgSearch, imgSearchSelected);
  SearchNode(result, node, includeSubFolders, keyword);
  if (OnSelectNode) OnSelectNode(result);
  return result;
}

void TTreeMgr::SearchNode(TTreeNode* result, TTreeNode* source, bool includeSubFolders, const std::string& keyword) {
  if (!result || !source) return;
  if (includeSubFolders) {
    // Children first, in index order; the result folder is one of them and adds nothing.
    for (int i = 0; i < source->Count(); ++i) SearchNode(result, source->Item(i), includeSubFolders, keyword);
  }
  TStringListWithHash& found = result->EnsureIDSet();

  const TCheckNodeType kinds(Nodes->GetFirstNode(), RegisteredIDNode);
  if (kinds.NodeType(source) == ntGroup) {
    // A group holds no list: its registered IDs are searched in the store.
    if (!PickData) return;
    const std::string letter = source->Text().substr(1, 1);
    PickData->FindNext("");
    while (PickData->FindNext(keyword)) {
      if (PickData->CurrentGroup() != letter) continue;
      const std::string id = PickData->CurrentID();
      found.AddIfAbsent(id, PickData->CurrentHandle());
    }
    return;
  }

  const TStringListWithHash* list = source->IDSet();
  if (!list) return;
  // The result may be the source itself (a result folder searched again); only its entries
  // present now are looked at.
  const int count = list->Count();
  for (int i = 0; i < count; ++i) {
    const std::string id(list->Strings(i));
    if (id.empty()) continue;  // a deleted entry
    const TminiIDDataSet* record = list->Objects(i);
    const std::string shown = record ? record->Handle : std::string();
    bool match = Contains(id, keyword);  // the ID as stored
    if (!match) {
      if (PickData && PickData->Select(id)) {
        match = Contains(JNormalize(PickData->CurrentHandle()), keyword) ||
                Contains(JNormalize(PickData->CurrentMemo()), keyword);
      } else {
        match = Contains(JNormalize(shown), keyword);
      }
    }
    if (match) found.AddIfAbsent(id, shown);
  }
}

TTreeNode* FindTargetNode(const TTreeNode* node, const TTreeNodes* otherTree) {
  if (!otherTree) return nullptr;
  TTreeNode* current = otherTree->GetFirstNode();
  if (!node || !current) return current;
  // The texts from the node up to, not including, its top-level node.
  std::vector<const std::string*> path;
  for (const TTreeNode* p = node; p->Parent(); p = p->Parent()) path.push_back(&p->Text());
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    TTreeNode* next = nullptr;
    for (int i = 0; i < current->Count() && !next; ++i)
      if (current->Item(i)->Text() == **it) next = current->Item(i);
    if (!next) break;
    current = next;
  }
  return current;
}
