#pragma once
// Folder search. The search itself is part of the tree manager (TTreeMgr::SearchFolder and
// SearchNode, in Search.cpp); the search dialog lives with the desktop program.
#include <string>

#include "tree/MakeTree.h"
#include "tree/TreeNodes.h"

// The node of another tree at the same text path as `node` (from below the top-level node down).
// A path that cannot be followed to the end yields the deepest node that matched, at worst the
// other tree's first top-level node; null only when the other tree is empty.
TTreeNode* FindTargetNode(const TTreeNode* node, const TTreeNodes* otherTree);
inline TTreeNode* FindTargetNode(const TTreeNode* node, const TTreeNodes& otherTree) {
  return FindTargetNode(node, &otherTree);
}

// The text of the result folder of a search for keyword in node: the keyword in double quotes,
// then "(in ", the node's text and ")".
std::string SearchResultText(const std::string& keyword, const TTreeNode* node);
