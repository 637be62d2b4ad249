#pragma once
// The record attached to each ID of a folder: the handles seen with it there, and the one shown.
#include <string>
#include <string_view>
#include <vector>

class TminiIDDataSet {
 public:
  explicit TminiIDDataSet(std::string id) : ID(std::move(id)) {}

  std::string ID;
  std::vector<std::string> Handles;  // distinct handles in order of first sighting
  std::string Handle;                // the handle shown in the folder's list
  bool HandleIsID = false;           // Handle is ID-shaped, so a later handle may replace it

  // Records a handle seen with the ID; true when it was new to Handles.
  bool AddHandle(const std::string& handle);
};

// Handle equality: Latin letters (single-byte and full-width) without regard to case, everything
// else byte for byte; widths are not folded.
bool SameHandle(std::string_view a, std::string_view b);
