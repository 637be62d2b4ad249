#pragma once
// Where the ID data file lives when nobody says otherwise.
#include <string>

namespace quillet {

// The sibling product's folder from its settings ($XDG_CONFIG_HOME/Qmr/Zelvo.conf, [Directory]
// OnExecuting) when that is set and not empty; otherwise the per-user data folder
// $XDG_DATA_HOME/Qmr/NewQuillet. A file-system path without a trailing separator.
std::string DefaultDataFolder();

// The per-user data folder alone.
std::string UserDataFolder();

// The data file of a data folder.
std::string DataFileIn(const std::string& folder);

}  // namespace quillet
