#include "controls/widgets/AlignLayout.h"

#include <QWidget>

TAlignLayout::TAlignLayout(QWidget* parent) : QLayout(parent) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

TAlignLayout::~TAlignLayout() {
  for (const Entry& e : items_) delete e.item;
}

void TAlignLayout::addWidget(QWidget* widget, TAlign align) {
  addChildWidget(widget);
  items_.push_back({new QWidgetItem(widget), align});
  invalidate();
}

void TAlignLayout::addItem(QLayoutItem* item) { items_.push_back({item, TAlign::alClient}); }

QLayoutItem* TAlignLayout::itemAt(int index) const {
  return (index >= 0 && index < items_.size()) ? items_[index].item : nullptr;
}

QLayoutItem* TAlignLayout::takeAt(int index) {
  if (index < 0 || index >= items_.size()) return nullptr;
  return items_.takeAt(index).item;
}

int TAlignLayout::IndexOf(const QWidget* widget) const {
  for (int i = 0; i < items_.size(); ++i)
    if (items_[i].item->widget() == widget) return i;
  return -1;
}

TAlign TAlignLayout::AlignOf(const QWidget* widget) const {
  const int i = IndexOf(widget);
  return i >= 0 ? items_[i].align : TAlign::alClient;
}

void TAlignLayout::SetAlign(QWidget* widget, TAlign align) {
  const int i = IndexOf(widget);
  if (i < 0) return;
  items_[i].align = align;
  Realign();
}

void TAlignLayout::MoveAfter(QWidget* widget, const QWidget* anchor) {
  const int from = IndexOf(widget);
  int to = IndexOf(anchor);
  if (from < 0 || to < 0 || from == to) return;
  const Entry e = items_.takeAt(from);
  to = IndexOf(anchor);
  items_.insert(to + 1, e);
  Realign();
}

void TAlignLayout::Realign() {
  if (QWidget* parent = parentWidget()) setGeometry(parent->contentsRect());
}

void TAlignLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  int left = rect.left(), top = rect.top();
  int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
  auto place = [](const Entry& e, int x, int y, int w, int h) {
    if (QWidget* w0 = e.item->widget(); w0 && w0->isHidden()) return;
    e.item->widget() ? e.item->widget()->setGeometry(x, y, std::max(0, w), std::max(0, h))
                     : e.item->setGeometry(QRect(x, y, std::max(0, w), std::max(0, h)));
  };
  auto visible = [](const Entry& e) { return !(e.item->widget() && e.item->widget()->isHidden()); };
  auto height = [](const Entry& e) { return e.item->widget() ? e.item->widget()->height() : e.item->geometry().height(); };
  auto width = [](const Entry& e) { return e.item->widget() ? e.item->widget()->width() : e.item->geometry().width(); };
  for (const Entry& e : items_)
    if (e.align == TAlign::alTop && visible(e)) {
      const int h = height(e);
      place(e, left, top, right - left, h);
      top += h;
    }
  for (const Entry& e : items_)
    if (e.align == TAlign::alBottom && visible(e)) {
      const int h = height(e);
      place(e, left, bottom - h, right - left, h);
      bottom -= h;
    }
  for (const Entry& e : items_)
    if (e.align == TAlign::alLeft && visible(e)) {
      const int w = width(e);
      place(e, left, top, w, bottom - top);
      left += w;
    }
  for (const Entry& e : items_)
    if (e.align == TAlign::alRight && visible(e)) {
      const int w = width(e);
      place(e, right - w, top, w, bottom - top);
      right -= w;
    }
  for (const Entry& e : items_)
    if (e.align == TAlign::alClient && visible(e)) place(e, left, top, right - left, bottom - top);
}

namespace quillet {

namespace {
void Redock(QWidget* control) {
  if (QWidget* parent = control->parentWidget())
    if (auto* layout = dynamic_cast<TAlignLayout*>(parent->layout())) layout->Realign();
}
}  // namespace

void SetControlWidth(QWidget* control, int width) {
  control->resize(std::max(0, width), control->height());
  Redock(control);
}

void SetControlHeight(QWidget* control, int height) {
  control->resize(control->width(), std::max(0, height));
  Redock(control);
}

}  // namespace quillet
