#pragma once
// The tree's sixteen 16x16 images, in pairs (normal, selected): 0/1 folder, 2/3 group, 4/5 search
// result, 6/7 "NIFTY SERVE", 8/9 scanned log, 10/11 category, 12/13 registered IDs, 14/15 log
// being scanned. Drawn in code, so no image files travel with the program.
#include <QFont>
#include <QIcon>
#include <QImage>

namespace quillet {

constexpr int kIconCount = 16;
QImage TreeImage(int index);  // a null image outside 0..15
QIcon TreeIcon(int index);
// The program's picture: 33x33 in the version box; other sizes for the window icon.
QImage ProgramPicture(int size = 33);
QIcon ProgramIcon();

// The window font: "ＭＳ ゴシック" with fallbacks to the installed Japanese fonts.
QFont JapaneseFont(int pixelSize, bool proportional = false);

}  // namespace quillet
