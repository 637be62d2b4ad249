#include "app/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/Icons.h"

namespace {

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

}  // namespace

QString TVersionForm::ReleaseDateText() {
  QString date = QStringLiteral(QUILLET_RELEASE_DATE);
  date.replace(QLatin1Char('-'), QLatin1Char('/'));
  return date;
}

TVersionForm::TVersionForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("くいれっとについて"));
  setAttribute(Qt::WA_DeleteOnClose, false);  // the caller owns and releases it
  setFixedSize(252, 204);
  setFont(quillet::JapaneseFont(12));
  QPalette black = palette();
  black.setColor(QPalette::WindowText, Qt::black);
  setPalette(black);

  Bevel1 = new QFrame(this);
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(24, 6, 209, 25);

  Label1 = new QLabel(QStringLiteral("くいれっと"), this);
  QFont title = quillet::JapaneseFont(19);
  title.setBold(true);
  Label1->setFont(title);
  Label1->move(80, 8);
  Label1->adjustSize();

  Label2 = MakeLabel(this, 8, 40, QStringLiteral("version      : ") + QStringLiteral(QUILLET_VERSION));
  Label3 = MakeLabel(this, 8, 56, QStringLiteral("updated date : ") + ReleaseDateText());
  Label4 = MakeLabel(this, 8, 72, QStringLiteral("© 2026"));
  Label5 = new QLabel(QStringLiteral("くいれっと開発チーム"), this);
  Label5->setFont(quillet::JapaneseFont(11, true));
  Label5->move(128, 73);
  Label5->adjustSize();
  Label6 = MakeLabel(this, 104, 88, QStringLiteral("課題管理 (issues)"));
  QFont link = Label6->font();
  link.setUnderline(true);
  Label6->setFont(link);
  Label6->setStyleSheet(QStringLiteral("color: blue"));
  Label6->adjustSize();

  // Where the original release named its support room, ours says where problems are reported.
  Label7 = MakeLabel(this, 48, 112, QStringLiteral("不具合・ご要望の報告先"));
  QFont heading = Label7->font();
  heading.setBold(true);
  heading.setUnderline(true);
  Label7->setFont(heading);
  Label7->setStyleSheet(QStringLiteral("color: red"));
  Label7->adjustSize();
  Label8 = MakeLabel(this, 72, 136, QStringLiteral("場所 : 課題管理"));
  Label9 = MakeLabel(this, 72, 152, QStringLiteral("内容 : 手順と結果"));

  const QPixmap picture = QPixmap::fromImage(quillet::ProgramPicture());
  Image1 = new QLabel(this);
  Image1->setGeometry(208, 168, 33, 33);
  Image1->setPixmap(picture);
  Image1->setToolTip(QStringLiteral("© 2026 くいれっと開発チーム"));
  Image2 = new QLabel(this);
  Image2->setGeometry(8, 168, 33, 33);
  Image2->setPixmap(picture);
  Image2->setToolTip(QStringLiteral("くいれっとは、ぜるぼのＩＤデータ編集ソフトです"));

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setGeometry(88, 176, 75, 25);
  OKButton->setDefault(true);
  OKButton->setAutoDefault(true);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
}

void TVersionForm::OKButtonClick() { accept(); }

void TVersionForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  OKButton->setFocus();
}
