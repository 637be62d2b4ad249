#pragma once
// The thin bar between two panes that the user drags to resize them. While the left button is
// held it shows the would-be position as a line over the parent; on release it reports the new
// position and resizes the control it is bound to. Nothing moves while dragging.
#include <QFrame>
#include <QPointer>
#include <functional>

enum TKind { dkHorizontal, dkVertical };

class TSeparater : public QFrame {
  Q_OBJECT
 public:
  // Pos: the new position in the parent's client pixels; Cg: its change from the bar's place.
  using TDragEvent = std::function<void(TSeparater* sender, int pos, int cg)>;

  explicit TSeparater(QWidget* parent = nullptr);
  ~TSeparater() override;

  TDragEvent OnEndDrag;
  std::function<void(TSeparater* sender)> OnStartDrag;

  // dkHorizontal: an upright bar, docked left, moving left and right; dkVertical: a lying bar,
  // docked at the top, moving up and down.
  TKind Kind() const { return kind_; }
  void SetKind(TKind kind);
  Qt::CursorShape VertCursor = Qt::SplitVCursor;
  Qt::CursorShape HorzCursor = Qt::SplitHCursor;
  int UpperMgn = 2;  // smallest position
  int LowerMgn = 5;  // the position keeps this distance from the parent's far edge
  int LineWidth() const { return lineWidth_; }
  void SetLineWidth(int width);
  QWidget* ReSizeCtrl() const { return resizeCtrl_; }
  // The control takes the bar's alignment and the bar docks right behind it.
  void SetReSizeCtrl(QWidget* control);

  bool Dragging() const { return dragging_; }
  int DragPosition() const { return position_; }
  // The drag line as shown over the parent (empty when none).
  QRect DragLine() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int PositionFor(const QPoint& local) const;
  void ShowLine(int position);
  void HideLine();

  TKind kind_ = dkHorizontal;
  int lineWidth_ = 4;
  int half_ = 2;
  int position_ = 0;
  bool dragging_ = false;
  QPointer<QWidget> resizeCtrl_;
  QPointer<QWidget> line_;
};
