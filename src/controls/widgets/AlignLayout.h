#pragma once
// Docking of child controls the way the window's panes expect it: controls aligned to the top,
// bottom, left or right keep their own height or width and take that strip of what is left, in
// the order they were added; a client-aligned control fills the rest. Sizes are never negotiated:
// a pane made wider than the window simply runs past its edge, as a user enlarging a pane expects.
#include <QLayout>
#include <QList>
#include <QPointer>

enum class TAlign { alTop, alBottom, alLeft, alRight, alClient };

class TAlignLayout : public QLayout {
 public:
  explicit TAlignLayout(QWidget* parent = nullptr);
  ~TAlignLayout() override;

  void addWidget(QWidget* widget, TAlign align);
  void addItem(QLayoutItem* item) override;  // added items are client-aligned
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QSize sizeHint() const override { return {0, 0}; }
  QSize minimumSize() const override { return {0, 0}; }
  void setGeometry(const QRect& rect) override;

  TAlign AlignOf(const QWidget* widget) const;
  void SetAlign(QWidget* widget, TAlign align);
  // Puts `widget` right after `anchor` in the docking order.
  void MoveAfter(QWidget* widget, const QWidget* anchor);
  // Docks again with the current sizes (after a control's width or height was changed).
  void Realign();

 private:
  struct Entry {
    QLayoutItem* item;
    TAlign align;
  };
  int IndexOf(const QWidget* widget) const;
  QList<Entry> items_;
};

namespace quillet {

// Sets a docked control's width or height and docks its siblings again at once.
void SetControlWidth(QWidget* control, int width);
void SetControlHeight(QWidget* control, int height);

}  // namespace quillet
