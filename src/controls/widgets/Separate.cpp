#include "controls/widgets/Separate.h"

#include <QMouseEvent>

#include "controls/widgets/AlignLayout.h"

namespace {
TAlignLayout* DockOf(QWidget* widget) {
  QWidget* parent = widget ? widget->parentWidget() : nullptr;
  return parent ? dynamic_cast<TAlignLayout*>(parent->layout()) : nullptr;
}
}  // namespace

TSeparater::TSeparater(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::NoFrame);
  setCursor(HorzCursor);
  SetLineWidth(4);
}

TSeparater::~TSeparater() { delete line_.data(); }

void TSeparater::SetKind(TKind kind) {
  if (TAlignLayout* dock = DockOf(this)) dock->SetAlign(this, kind == dkVertical ? TAlign::alTop : TAlign::alLeft);
  setCursor(kind == dkVertical ? VertCursor : HorzCursor);
  kind_ = kind;
  SetLineWidth(lineWidth_);
  SetReSizeCtrl(resizeCtrl_);
}

void TSeparater::SetLineWidth(int width) {
  half_ = width / 2;
  lineWidth_ = width;
  if (kind_ == dkVertical)
    quillet::SetControlHeight(this, width);
  else
    quillet::SetControlWidth(this, width);
}

void TSeparater::SetReSizeCtrl(QWidget* control) {
  resizeCtrl_ = control;
  if (!control) return;
  TAlignLayout* dock = DockOf(this);
  if (dock && DockOf(control) == dock) {
    dock->SetAlign(control, dock->AlignOf(this));
    dock->MoveAfter(this, control);
  }
}

int TSeparater::PositionFor(const QPoint& local) const {
  return kind_ == dkVertical ? y() + local.y() - half_ : x() + local.x() - half_;
}

QRect TSeparater::DragLine() const {
  if (!line_ || line_->isHidden()) return {};
  return line_->geometry();
}

// The line is a thin inverse-coloured strip over the parent, LineWidth thick, across the bar.
void TSeparater::ShowLine(int position) {
  QWidget* parent = parentWidget();
  if (!parent) return;
  if (!line_) {
    line_ = new QWidget(parent);
    line_->setAttribute(Qt::WA_TransparentForMouseEvents);
    line_->setAutoFillBackground(true);
    QPalette p = line_->palette();
    p.setColor(QPalette::Window, palette().color(QPalette::WindowText));
    line_->setPalette(p);
  }
  if (kind_ == dkVertical)
    line_->setGeometry(x(), position, width(), lineWidth_);
  else
    line_->setGeometry(position, y(), lineWidth_, height());
  line_->raise();
  line_->show();
}

void TSeparater::HideLine() {
  if (line_) line_->hide();
}

void TSeparater::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (OnStartDrag) OnStartDrag(this);
  dragging_ = true;
  position_ = PositionFor(event->position().toPoint());
  ShowLine(position_);
}

void TSeparater::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  position_ = PositionFor(event->position().toPoint());
  if (position_ < UpperMgn) position_ = UpperMgn;
  const QWidget* parent = parentWidget();
  const int extent = parent ? (kind_ == dkVertical ? parent->height() : parent->width()) : 0;
  if (parent && extent < position_ + LowerMgn) position_ = extent - LowerMgn;
  ShowLine(position_);
}

void TSeparater::mouseReleaseEvent(QMouseEvent*) {
  if (!dragging_) return;
  dragging_ = false;
  HideLine();
  const int cg = position_ - (kind_ == dkVertical ? y() : x());
  if (OnEndDrag) OnEndDrag(this, position_, cg);
  if (QWidget* control = resizeCtrl_) {
    if (kind_ == dkVertical)
      quillet::SetControlHeight(control, position_ - control->y());
    else
      quillet::SetControlWidth(control, position_ - control->x());
  }
}
