#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include "app/Icons.h"
#include "app/Version.h"
#include "controls/widgets/AlignLayout.h"
#include "controls/widgets/ListGridWidget.h"
#include "controls/widgets/Separate.h"

namespace {

// A parent 400 x 300 with a tree-like pane at the left, a bar behind it and a client pane.
struct SplitFixture {
  QWidget parent;
  QWidget* pane;
  QWidget* client;
  TSeparater* bar;
  std::vector<std::pair<int, int>> ends;
  SplitFixture(TKind kind) {
    auto* dock = new TAlignLayout(&parent);
    pane = new QWidget;
    pane->resize(100, 100);
    bar = new TSeparater;
    client = new QWidget;
    dock->addWidget(pane, TAlign::alLeft);
    dock->addWidget(client, TAlign::alClient);
    dock->addWidget(bar, TAlign::alLeft);
    parent.resize(400, 300);
    parent.show();
    bar->SetKind(kind);
    bar->SetReSizeCtrl(pane);
    bar->OnEndDrag = [this](TSeparater*, int pos, int cg) { ends.emplace_back(pos, cg); };
  }
};

TEST(Separater, BindsBehindItsControlAndResizesIt) {
  SplitFixture f(dkHorizontal);
  EXPECT_EQ(f.bar->geometry(), QRect(100, 0, 4, 300));
  EXPECT_EQ(f.client->geometry(), QRect(104, 0, 296, 300));
  QTest::mousePress(f.bar, Qt::LeftButton, {}, QPoint(2, 50));
  EXPECT_TRUE(f.bar->Dragging());
  EXPECT_EQ(f.bar->DragPosition(), 100);  // the pointer minus half the line
  EXPECT_EQ(f.bar->DragLine(), QRect(100, 0, 4, 300));
  QTest::mouseMove(f.bar, QPoint(32, 50));
  EXPECT_EQ(f.pane->width(), 100);  // nothing moves while dragging
  QTest::mouseRelease(f.bar, Qt::LeftButton, {}, QPoint(32, 50));
  ASSERT_EQ(f.ends.size(), 1u);
  EXPECT_EQ(f.ends[0], std::make_pair(130, 30));
  EXPECT_EQ(f.pane->width(), 130);
  EXPECT_EQ(f.bar->x(), 130);
  EXPECT_TRUE(f.bar->DragLine().isEmpty());
}

TEST(Separater, MarginsLimitTheLineAndTheFarEdgeWins) {
  SplitFixture f(dkHorizontal);
  QTest::mousePress(f.bar, Qt::LeftButton, {}, QPoint(2, 5));
  QTest::mouseMove(f.bar, QPoint(-300, 5));
  EXPECT_EQ(f.bar->DragPosition(), 2);
  QTest::mouseMove(f.bar, QPoint(600, 5));
  EXPECT_EQ(f.bar->DragPosition(), 395);
  f.bar->UpperMgn = 500;  // conflicting limits: the far edge decides
  QTest::mouseMove(f.bar, QPoint(10, 5));
  EXPECT_EQ(f.bar->DragPosition(), 395);
  QTest::mouseRelease(f.bar, Qt::LeftButton, {}, QPoint(10, 5));
  EXPECT_EQ(f.pane->width(), 395);
}

TEST(Separater, RightButtonDoesNotDrag) {
  SplitFixture f(dkHorizontal);
  QTest::mousePress(f.bar, Qt::RightButton, {}, QPoint(2, 5));
  QTest::mouseMove(f.bar, QPoint(40, 5));
  QTest::mouseRelease(f.bar, Qt::RightButton, {}, QPoint(40, 5));
  EXPECT_FALSE(f.bar->Dragging());
  EXPECT_TRUE(f.ends.empty());
  EXPECT_EQ(f.pane->width(), 100);
}

TEST(Separater, VerticalKindThinLineAndLostControl) {
  SplitFixture f(dkVertical);
  quillet::SetControlHeight(f.pane, 100);
  EXPECT_EQ(f.bar->height(), 4);
  EXPECT_EQ(f.bar->y(), f.pane->height());
  f.bar->SetLineWidth(1);
  QTest::mousePress(f.bar, Qt::LeftButton, {}, QPoint(10, 0));
  EXPECT_EQ(f.bar->DragPosition(), f.bar->y());  // half of 1 is 0: the line starts at the pointer
  QTest::mouseMove(f.bar, QPoint(10, 20));
  QTest::mouseRelease(f.bar, Qt::LeftButton, {}, QPoint(10, 20));
  EXPECT_EQ(f.pane->height(), 120);
  delete f.pane;
  EXPECT_EQ(f.bar->ReSizeCtrl(), nullptr);
  QTest::mousePress(f.bar, Qt::LeftButton, {}, QPoint(10, 0));
  QTest::mouseRelease(f.bar, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(f.ends.size(), 2u);
}

struct GridFixture {
  TListGrid grid;
  GridFixture() {
    grid.resize(300, 200);
    grid.SetColCount(3);
    grid.SetMultiSelect(true);
    grid.SetSortMode(smManual);
    for (int i = 0; i < 5; ++i) grid.AddRow({"", "ID" + std::to_string(i), "h" + std::to_string(i)});
    grid.show();
  }
  QPoint RowPoint(int row) { return grid.ItemRect(row).center(); }
};

TEST(ListGrid, UpdateBlockRefillsThePlaceholdersOnce) {
  GridFixture f;
  EXPECT_EQ(f.grid.model()->rowCount(), 5);
  f.grid.BeginUpdate();
  f.grid.ClearRows();
  f.grid.AddRow({"", "X"});
  f.grid.AddRow({"", "Y"});
  EXPECT_EQ(f.grid.model()->rowCount(), 5);  // the view hears of it at the end
  f.grid.Sort();
  f.grid.EndUpdate();
  EXPECT_EQ(f.grid.model()->rowCount(), 2);
  f.grid.DeleteRow(0);
  EXPECT_EQ(f.grid.model()->rowCount(), 1);
  EXPECT_EQ(f.grid.RowCount(), 1);
}

TEST(ListGrid, RightClickSelectionRule) {
  GridFixture f;
  int clicks = 0;
  f.grid.OnClick = [&](TListGrid*) { ++clicks; };
  f.grid.SetItemIndex(0);
  f.grid.SetSelected(1, true);
  ASSERT_EQ(f.grid.SelCount(), 2);
  // Inside the selection: kept.
  QTest::mousePress(f.grid.viewport(), Qt::RightButton, {}, f.RowPoint(1));
  QTest::mouseRelease(f.grid.viewport(), Qt::RightButton, {}, f.RowPoint(1));
  EXPECT_EQ(f.grid.SelCount(), 2);
  EXPECT_EQ(clicks, 1);
  // Outside: the clicked row becomes the only selection.
  QTest::mouseMove(f.grid.viewport(), f.RowPoint(3));
  QTest::mousePress(f.grid.viewport(), Qt::RightButton, {}, f.RowPoint(3));
  QTest::mouseRelease(f.grid.viewport(), Qt::RightButton, {}, f.RowPoint(3));
  EXPECT_EQ(f.grid.SelCount(), 1);
  EXPECT_TRUE(f.grid.Selected(3));
  EXPECT_EQ(f.grid.ItemIndex(), 3);
  EXPECT_EQ(clicks, 2);
  // Below the last row: nothing changes, no click.
  QTest::mouseRelease(f.grid.viewport(), Qt::RightButton, {}, QPoint(20, 190));
  EXPECT_EQ(clicks, 2);
}

TEST(ListGrid, LeftClickAndKeysRaiseClick) {
  GridFixture f;
  int clicks = 0;
  f.grid.OnClick = [&](TListGrid*) { ++clicks; };
  QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.RowPoint(2));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(f.grid.ItemIndex(), 2);
  QTest::keyClick(&f.grid, Qt::Key_Down);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(f.grid.ItemIndex(), 3);
  QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, f.RowPoint(1));
  EXPECT_EQ(f.grid.SelCount(), 3);
}

TEST(ListGrid, DrawsCellsThenTheOwnerDrawing) {
  GridFixture f;
  f.grid.SetColWidth(0, 20);
  f.grid.SetColWidth(1, 0);  // hidden: the next column moves left
  std::vector<int> drawn;
  f.grid.OnDrawItem = [&](TListGrid*, int index, const QRect& rect, QStyle::State, QPainter& canvas) {
    drawn.push_back(index);
    canvas.fillRect(rect.left(), rect.top(), 2, 2, Qt::red);
  };
  QImage image(300, 16, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    f.grid.DrawRow(p, QRect(0, 0, 300, 16), 0, QStyle::State_Enabled);
  }
  ASSERT_EQ(drawn, std::vector<int>{0});
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));  // drawn over the cells
  // The handle column starts at 0 + (20 + 1), its text 2 pixels further in: none before that.
  auto inkIn = [&](int x0, int x1) {
    for (int x = x0; x <= x1; ++x)
      for (int y = 2; y < 16; ++y)
        if (image.pixelColor(x, y).lightness() < 128) return true;
    return false;
  };
  EXPECT_FALSE(inkIn(2, 22));
  EXPECT_TRUE(inkIn(23, 60));
}

// Texts wider than their cells are cut short of the cell's edge: two dates side by side never
// read as one ("2026/12/2026/12/").
TEST(ListGrid, LongTextsKeepAGapBetweenCells) {
  GridFixture f;
  f.grid.ClearRows();
  f.grid.AddRow({"", "2026/12/08", "2026/12/09"});
  for (auto [column, width] : {std::pair{0, 0}, {1, 30}, {2, 30}}) f.grid.SetColWidth(column, width);
  QImage image(100, 16, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    f.grid.DrawRow(p, QRect(0, 0, 100, 16), 0, QStyle::State_Enabled);
  }
  auto inkIn = [&](int x0, int x1) {
    for (int x = x0; x <= x1; ++x)
      for (int y = 0; y < 16; ++y)
        if (image.pixelColor(x, y).lightness() < 128) return true;
    return false;
  };
  // Column 1 ends at 30 and column 2 starts at 31: both texts stay 2 pixels clear of that edge.
  EXPECT_TRUE(inkIn(0, 27));
  EXPECT_FALSE(inkIn(28, 32));
  EXPECT_TRUE(inkIn(33, 60));
}

TEST(Icons, SixteenDistinctImagesInPairs) {
  QSet<QByteArray> seen;
  for (int i = 0; i < quillet::kIconCount; ++i) {
    const QImage image = quillet::TreeImage(i);
    ASSERT_EQ(image.size(), QSize(16, 16)) << i;
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) opaque += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(opaque, 30) << i;
    seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
  }
  EXPECT_EQ(seen.size(), quillet::kIconCount);
  EXPECT_TRUE(quillet::TreeImage(16).isNull());
}

TEST(VersionForm, LayoutAndEnterCloses) {
  TVersionForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("くいれっとについて"));
  EXPECT_EQ(form.size(), QSize(252, 204));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::Tool);
  EXPECT_EQ(form.OKButton->geometry(), QRect(88, 176, 75, 25));
  EXPECT_TRUE(form.OKButton->isDefault());
  EXPECT_TRUE(form.Label2->text().startsWith(QStringLiteral("version      : ")));
  EXPECT_TRUE(form.Label3->text().contains(QRegularExpression(QStringLiteral("^updated date : \\d{4}/\\d{2}/\\d{2}$"))));
  EXPECT_EQ(form.Image2->toolTip(), QStringLiteral("くいれっとは、ぜるぼのＩＤデータ編集ソフトです"));
  QTimer::singleShot(0, &form, [&] { QTest::keyClick(&form, Qt::Key_Return); });
  EXPECT_EQ(form.exec(), QDialog::Accepted);
}

}  // namespace
