#pragma once
// The program's Shift-JIS texts as Qt strings, for the widgets and the settings.
#include <QString>
#include <algorithm>
#include <string_view>

#include "common/Cp932.h"

namespace quillet {

inline QString Unicode(std::string_view sjis) {
  // Most texts in lists (IDs, dates) are ASCII: no conversion needed.
  if (std::all_of(sjis.begin(), sjis.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return QString::fromLatin1(sjis.data(), static_cast<qsizetype>(sjis.size()));
  return QString::fromStdString(ToUtf8(sjis));
}

}  // namespace quillet
