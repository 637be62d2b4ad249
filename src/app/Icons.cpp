#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QStringList>

namespace quillet {
namespace {

QImage Blank(int size = 16) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A closed folder, or an open one (selected).
void Folder(QPainter& p, bool open, QColor body) {
  p.setPen(body.darker(170));
  p.setBrush(body.darker(115));
  p.drawRect(1, 3, 6, 2);  // tab
  p.drawRect(1, 4, 13, 9);
  if (open) {
    p.setBrush(body.lighter(125));
    QPolygon front;
    front << QPoint(3, 7) << QPoint(15, 7) << QPoint(13, 13) << QPoint(1, 13);
    p.drawPolygon(front);
  }
}

// Two heads and shoulders: a group of people.
void Group(QPainter& p, bool selected) {
  const QColor back = selected ? QColor(255, 160, 40) : QColor(60, 120, 220);
  const QColor front = selected ? QColor(230, 90, 20) : QColor(30, 70, 170);
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawEllipse(8, 1, 5, 5);
  p.drawRoundedRect(6, 6, 9, 7, 3, 3);
  p.setBrush(front);
  p.drawEllipse(3, 4, 5, 5);
  p.drawRoundedRect(1, 9, 9, 6, 3, 3);
}

// A magnifying glass over a folder: a search result.
void SearchResult(QPainter& p, bool selected) {
  Folder(p, selected, QColor(250, 210, 90));
  p.setPen(QPen(QColor(40, 40, 40), 2));
  p.setBrush(QColor(200, 230, 255, 220));
  p.drawEllipse(6, 3, 6, 6);
  p.drawLine(11, 9, 14, 13);
}

// A globe: the network itself.
void Globe(QPainter& p, bool selected) {
  p.setPen(QPen(QColor(20, 60, 120), 1));
  p.setBrush(selected ? QColor(120, 200, 255) : QColor(70, 140, 220));
  p.drawEllipse(1, 1, 13, 13);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(4, 1, 7, 13);
  p.drawLine(1, 7, 14, 7);
  p.drawLine(3, 4, 12, 4);
  p.drawLine(3, 11, 12, 11);
  if (selected) {
    p.setPen(QColor(255, 255, 255));
    p.drawPoint(4, 3);
  }
}

// A page with lines of text: a log file; a red arrow marks the one being scanned.
void Page(QPainter& p, bool selected, bool scanning) {
  p.setPen(QColor(80, 80, 80));
  p.setBrush(selected ? QColor(255, 255, 200) : Qt::white);
  QPolygon page;
  page << QPoint(2, 1) << QPoint(10, 1) << QPoint(13, 4) << QPoint(13, 14) << QPoint(2, 14);
  p.drawPolygon(page);
  p.drawLine(10, 1, 10, 4);
  p.drawLine(10, 4, 13, 4);
  p.setPen(selected ? QColor(40, 90, 200) : QColor(130, 130, 130));
  for (int y = 6; y <= 12; y += 2) p.drawLine(4, y, scanning ? 8 : 11, y);
  if (scanning) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 30, 30));
    QPolygon arrow;
    arrow << QPoint(8, 8) << QPoint(15, 11) << QPoint(8, 14);
    p.drawPolygon(arrow);
  }
}

// A speech balloon: a forum, a PATIO, the CB simulator or mail.
void Category(QPainter& p, bool selected) {
  p.setPen(QColor(30, 110, 40));
  p.setBrush(selected ? QColor(170, 240, 150) : QColor(90, 190, 90));
  p.drawRoundedRect(1, 2, 14, 9, 3, 3);
  QPolygon tail;
  tail << QPoint(4, 10) << QPoint(8, 10) << QPoint(3, 14);
  p.setPen(Qt::NoPen);
  p.drawPolygon(tail);
  p.setPen(QColor(255, 255, 255));
  p.drawLine(4, 5, 12, 5);
  p.drawLine(4, 7, 10, 7);
}

// A card with a person: the registered IDs.
void Card(QPainter& p, bool selected) {
  p.setPen(QColor(120, 70, 20));
  p.setBrush(selected ? QColor(255, 220, 170) : QColor(230, 180, 110));
  p.drawRoundedRect(1, 3, 14, 10, 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(120, 70, 20));
  p.drawEllipse(3, 5, 4, 4);
  p.drawRect(3, 9, 4, 2);
  p.setPen(QColor(120, 70, 20));
  p.drawLine(9, 6, 13, 6);
  p.drawLine(9, 9, 13, 9);
}

}  // namespace

QImage TreeImage(int index) {
  if (index < 0 || index >= kIconCount) return {};
  QImage image = Blank();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  const bool selected = index % 2 == 1;
  switch (index / 2) {
    case 0: Folder(p, selected, QColor(250, 210, 90)); break;
    case 1: Group(p, selected); break;
    case 2: SearchResult(p, selected); break;
    case 3: Globe(p, selected); break;
    case 4: Page(p, selected, false); break;
    case 5: Category(p, selected); break;
    case 6: Card(p, selected); break;
    case 7: Page(p, selected, true); break;
  }
  return image;
}

QIcon TreeIcon(int index) {
  const QImage image = TreeImage(index);
  return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

QImage ProgramPicture(int size) {
  QImage image = Blank(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  // Drawn on a 33-pixel grid (data/quillet.svg is the same drawing), scaled to the size asked for.
  p.scale(size / 33.0, size / 33.0);
  // A quill over a page: the program files what the logs hold.
  p.setPen(QColor(90, 90, 90));
  p.setBrush(Qt::white);
  p.drawRect(4, 3, 20, 27);
  p.setPen(QColor(120, 160, 220));
  for (int y = 9; y <= 25; y += 4) p.drawLine(7, y, 20, y);
  QPainterPath feather;
  feather.moveTo(29, 2);
  feather.cubicTo(20, 6, 14, 16, 12, 26);
  feather.cubicTo(18, 20, 26, 14, 29, 2);
  p.setPen(QColor(120, 40, 20));
  p.setBrush(QColor(200, 80, 40));
  p.drawPath(feather);
  p.drawLine(12, 26, 10, 31);
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(ProgramPicture(size)));
  return icon;
}

QFont JapaneseFont(int pixelSize, bool proportional) {
  QFont font;
  const QStringList fixed = {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                             QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                             QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")};
  const QStringList prop = {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                            QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                            QStringLiteral("Noto Sans CJK JP")};
  font.setFamilies(proportional ? prop : fixed);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace quillet
