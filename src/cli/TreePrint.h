#pragma once
// The folder tree as quillet scan prints it, from a node down.
#include "tree/TreeNodes.h"

namespace quillet {

// Writes the tree below `root` to stdout: one line per node, two spaces of indent per level,
// each node's IDs (ID, two spaces, shown handle) one level further in right below it; or with
// `json`, one JSON object per node ({"text", "image", "selectedImage", "ids": [{"id",
// "handle", "handles"}], "children"}) and a newline. Texts are converted from Shift-JIS to
// UTF-8, except in the text form when `raw`. The output goes out in large pieces.
void PrintTree(const TTreeNode* root, bool json, bool raw);

}  // namespace quillet
