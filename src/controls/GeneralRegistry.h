#pragma once
// The settings store. A key path such as "Software\Qmr\NewQuillet" plus a section addresses one
// group of one INI file: $XDG_CONFIG_HOME/Qmr/NewQuillet.conf (default ~/.config), group "View".
// Every call opens the file, does its one access and closes it; nothing is cached.
//
// Reads never fail towards the caller: a missing file, section or value, or a value that cannot be
// read as the type asked for, gives the default. A text value that is absent from an existing
// section reads as empty text. Writes create the file and its folders; a write that cannot be
// stored throws Error.
//
// Texts are Shift-JIS (CP932) like every text of the core; the file holds them as Unicode so that
// it stays readable and editable by hand. A stored text without a CP932 form reads as the default.
#include <string>
#include <string_view>

// The key path of this program's own settings (the main window, the search and log search windows).
inline constexpr const char* kProgramSettingsKey = "Software\\Qmr\\NewQuillet";

int RegReadInteger(std::string_view key, std::string_view section, std::string_view name, int defaultValue);
std::string RegReadString(std::string_view key, std::string_view section, std::string_view name,
                          const std::string& defaultValue);
void RegWriteInteger(std::string_view key, std::string_view section, std::string_view name, int value);
void RegWriteString(std::string_view key, std::string_view section, std::string_view name,
                    const std::string& value);

namespace quillet {

// The INI file that holds a key path (for tests and for the documentation of where settings live).
std::string RegistryFileFor(std::string_view key);

}  // namespace quillet
