// Dragging IDs onto the tree with a real pointer, on a real X server (run by on_virtual_screen.sh):
// an offscreen test cannot run a drag. Three IDs picked with Ctrl+click are dragged onto a group
// that is out of sight: the tree scrolls while the pointer rests at its bottom edge, the closed
// "登録ID" opens while the pointer rests on it, the node under the pointer is highlighted, and the
// drop changes the group of exactly the three.
//
// The pointer is driven by xdotool (XTest) from a second thread; the GUI thread runs the event
// loop, including the drag's own loop, and answers the driver's questions through blocking calls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using quillet::FromUtf8;

// Runs `f` on the GUI thread and returns its result (the drag's loop answers too).
template <typename F>
auto OnGui(F f) {
  decltype(f()) result{};
  QMetaObject::invokeMethod(qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
  return result;
}

// Polls `condition` on the GUI thread until it holds or `seconds` have passed.
bool WaitFor(const std::function<bool()>& condition, double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < seconds * 1000) {
    if (OnGui(condition)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return OnGui(condition);
}

bool Xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

bool MoveTo(QPoint global) {
  return Xdotool("mousemove " + std::to_string(global.x()) + " " + std::to_string(global.y()));
}

// A few steps from `from` to `to`, so that the pointer's way is seen as movement.
bool Glide(QPoint from, QPoint to, int steps) {
  for (int i = 1; i <= steps; ++i)
    if (!MoveTo(from + (to - from) * i / steps)) return false;
  return true;
}

class PointerDrag : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home_.path() + "/data").toUtf8());
  }
  QTemporaryDir home_;
};

TEST_F(PointerDrag, ThreeIDsOntoAGroupOutOfSight) {
  quillet::ScriptedDialogs dialogs;
  TMainForm w(&dialogs);
  dialogs.shown.clear();  // the first-run notice
  dialogs.confirms = {true};
  // Enough log folders that "登録ID", sorted after them, is out of sight; the first holds the IDs.
  TTreeNode* source = nullptr;
  for (int i = 0; i < 40; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/logs/%02d.log", i);
    TTreeNode* node = w.Nodes().AddChild(w.RootNode(), name);
    node->SetImages(8, 9);
    auto set = std::make_unique<TStringListWithHash>();
    if (i == 0) {
      for (const char* id : {"AAA00001", "BBB00002", "CCC00003", "DDD00004", "EEE00005"}) {
        auto record = std::make_unique<TminiIDDataSet>(id);
        record->AddHandle(std::string("h") + id);
        set->AddObject(id, std::move(record));
      }
      source = node;
    }
    node->SetIDSet(std::move(set));
  }
  TTreeNode* target = nullptr;
  for (int i = 0; i < w.RegistNode->Count(); ++i)
    if (w.RegistNode->Item(i)->GroupCode() == 'D') target = w.RegistNode->Item(i);
  ASSERT_NE(target, nullptr);
  w.TreeView->collapse(w.TreeModel().IndexOf(w.RegistNode));
  w.TreeView->setCurrentIndex(w.TreeModel().IndexOf(source));
  w.TreeView->scrollToTop();
  w.HeaderControl1SectionClick(1);  // by ID: AAA00001 at the top
  w.show();
  w.raise();
  w.activateWindow();
  ASSERT_EQ(w.IDView->RowCount(), 5);

  std::atomic<bool> done{false};
  std::string failure;
  // What the tree shows, for a failure's message.
  auto State = [&] {
    return OnGui([&] {
      const QScrollBar* bar = w.TreeView->verticalScrollBar();
      const TTreeNode* on = w.TreeModel().DropTarget();
      return "scrolled " + std::to_string(bar->value()) + " of " + std::to_string(bar->maximum()) +
             ", highlighted: " + (on ? on->Text() : std::string("none"));
    });
  };
  // The pointer's part; returns what went wrong, or nothing.
  auto drive = [&]() -> std::string {
    auto rowPoint = [&](int row) {
      return OnGui([&] { return w.IDView->viewport()->mapToGlobal(w.IDView->ItemRect(row).center()); });
    };
    if (!WaitFor([&] { return w.isVisible() && w.IDView->viewport()->isVisible(); }, 10)) return "no window";
    const QPoint first = rowPoint(0), third = rowPoint(2), fifth = rowPoint(4);
    // Ctrl+click: rows 0, 2 and 4.
    if (!MoveTo(first) || !Xdotool("click 1") ||
        !WaitFor([&] { return w.IDView->SelCount() == 1 && w.IDView->Selected(0); }, 10))
      return "the first click did not select the first row";
    if (!Xdotool("keydown ctrl") || !MoveTo(third) || !Xdotool("click 1") || !MoveTo(fifth) ||
        !Xdotool("click 1") || !Xdotool("keyup ctrl") ||
        !WaitFor([&] { return w.IDView->SelCount() == 3 && w.IDView->Selected(2) && w.IDView->Selected(4); }, 10))
      return "Ctrl+click did not select three rows";

    // Press on a selected row and move to the tree's bottom edge: the drag starts on the way.
    const QPoint edge = OnGui([&] {
      QWidget* view = w.TreeView->viewport();
      return view->mapToGlobal(QPoint(view->width() / 3, view->height() - 6));
    });
    if (!MoveTo(third) || !Xdotool("mousedown 1") || !Glide(third, third + QPoint(0, 12), 3) ||
        !Glide(third + QPoint(0, 12), edge, 8))
      return "xdotool failed";
    // Resting at the edge scrolls "登録ID" into sight; resting on it opens it after a second;
    // resting at the edge again scrolls on until the group shows clear of the edge.
    auto inSight = [&](const TTreeNode* node) {
      const QRect rect = w.TreeView->visualRect(w.TreeModel().IndexOf(node));
      return rect.isValid() && rect.top() >= 0 && rect.bottom() < w.TreeView->viewport()->height();
    };
    auto pointOn = [&](const TTreeNode* node) {
      return OnGui([&] {
        const QRect rect = w.TreeView->visualRect(w.TreeModel().IndexOf(node));
        return w.TreeView->viewport()->mapToGlobal(QPoint(rect.left() + 20, rect.center().y()));
      });
    };
    auto atEnd = [&] {
      const QScrollBar* bar = w.TreeView->verticalScrollBar();
      return bar->value() == bar->maximum();
    };
    // Moves onto the node and waits for its highlight; the position is taken again should the
    // tree still have been moving.
    QPoint at = edge;
    auto restOn = [&](const TTreeNode* node) {
      for (int attempt = 0; attempt < 3; ++attempt) {
        const QPoint to = pointOn(node);
        if (!Glide(at, to, 2)) return false;
        at = to;
        if (WaitFor([&] { return w.TreeModel().DropTarget() == node; }, 3)) return true;
      }
      return false;
    };
    // "登録ID", closed, is the last node: in sight once the tree has scrolled to its end.
    if (!WaitFor([&] { return atEnd() && inSight(w.RegistNode); }, 20))
      return "the tree did not scroll \"登録ID\" into sight (" + State() + ")";
    if (!restOn(w.RegistNode)) return "the node under the pointer is not highlighted (" + State() + ")";
    if (!WaitFor([&] { return w.TreeView->isExpanded(w.TreeModel().IndexOf(w.RegistNode)); }, 10))
      return "\"登録ID\" did not open under the resting pointer (" + State() + ")";
    // The group is next to last: in sight once the tree has scrolled to its end again.
    if (!Glide(at, edge, 2) || !WaitFor([&] { return atEnd() && inSight(target); }, 20))
      return "the tree did not scroll the group into sight (" + State() + ")";
    at = edge;
    if (!restOn(target)) return "the node under the pointer is not highlighted (" + State() + ")";
    if (!Xdotool("mouseup 1")) return "xdotool failed";
    return {};
  };
  std::thread driver([&] {
    failure = drive();
    if (!failure.empty()) {  // never leave a button or a key held on the screen
      Xdotool("mouseup 1");
      Xdotool("keyup ctrl");
    }
    done = true;
  });
  // The GUI thread runs the events (and the drag) until the driver is through.
  QElapsedTimer clock;
  clock.start();
  while (!done && clock.elapsed() < 50000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  driver.join();
  ASSERT_TRUE(failure.empty()) << failure;

  // The drop asks once, then files the three IDs into group D (registering them).
  auto changed = [&] {
    int inD = 0;
    for (const char* id : {"AAA00001", "CCC00003", "EEE00005"})
      if (w.PickData().Select(id) && w.PickData().CurrentGroup() == "D") ++inD;
    return inD;
  };
  for (int i = 0; i < 250 && changed() < 3; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(changed(), 3);
  EXPECT_FALSE(w.PickData().Select("BBB00002"));
  EXPECT_FALSE(w.PickData().Select("DDD00004"));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("\"(D)グループＤ\"にグループを変更します"));
  EXPECT_EQ(w.TreeModel().DropTarget(), nullptr);  // the highlight ends with the drag
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
