#include "ui/workspace_view.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "ui/device_bitmap.h"

namespace kelmira {

namespace {

const QColor kOverlayGreen(0, 255, 0);

}  // namespace

WorkspaceView::WorkspaceView(Prompts* prompts, ProgressSink* progress, QWidget* parent)
    : QWidget(parent), workspace_(prompts, progress, this), display_(workspace_, prompts, this) {
  // Painting covers every pixel, so Qt need not erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(10, 10);
}

WorkspaceView::~WorkspaceView() {
  while (waitCursorDepth_ > 0) setWaitCursor(false);
}

void WorkspaceView::resizeEvent(QResizeEvent* event) {
  display_.setClientSize(width(), height());
  QWidget::resizeEvent(event);
}

void WorkspaceView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const DisplaySize displayed = display_.displayedSize();
  const bool empty = workspace_.state() == WorkspaceState::Empty;
  const int dw = empty ? 0 : displayed.width;
  const int dh = empty ? 0 : displayed.height;
  // Black beside and below the picture; the picture itself is not erased.
  painter.fillRect(QRect(0, dh, dw, height() - dh), Qt::black);
  painter.fillRect(QRect(dw, 0, width() - dw, height()), Qt::black);

  const QImage bitmap = makeDeviceBitmap(display_.displayImage());
  if (bitmap.isNull()) return;
  drawDeviceBitmap(painter, bitmap, 0, 0, dw, dh);
  if (workspace_.state() == WorkspaceState::RoundShown) {
    paintCropCircle(painter);
  } else if (workspace_.state() == WorkspaceState::PanoramaShown) {
    paintCropLines(painter, dw, dh);
  }
}

void WorkspaceView::paintCropCircle(QPainter& painter) const {
  const CircleOverlay circle = display_.circleOverlay();
  painter.setPen(QPen(kOverlayGreen, 2, Qt::SolidLine));
  painter.setBrush(Qt::NoBrush);
  const QPoint centre(circle.centreX, circle.centreY);
  for (const int radius : circle.radii) painter.drawEllipse(centre, radius, radius);
  const int g = circle.crossHalfLength;
  painter.drawLine(circle.centreX, circle.centreY - g, circle.centreX, circle.centreY + g);
  painter.drawLine(circle.centreX - g, circle.centreY, circle.centreX + g, circle.centreY);
}

void WorkspaceView::paintCropLines(QPainter& painter, int displayedWidth, int displayedHeight) const {
  const CropLinesOverlay lines = display_.cropLinesOverlay();
  painter.setPen(QPen(kOverlayGreen, 1, Qt::DotLine));
  // What Crop would cut away is shown black.
  painter.drawLine(0, lines.topLineRow, displayedWidth, lines.topLineRow);
  if (lines.blackAboveEnd > 0) painter.fillRect(0, 0, displayedWidth, lines.blackAboveEnd, Qt::black);
  painter.drawLine(0, lines.bottomLineRow, displayedWidth, lines.bottomLineRow);
  if (lines.blackBelowStart < displayedHeight) {
    painter.fillRect(0, lines.blackBelowStart, displayedWidth, displayedHeight - lines.blackBelowStart, Qt::black);
  }
}

void WorkspaceView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    display_.mousePress(p.x(), p.y());
  }
  QWidget::mousePressEvent(event);
}

void WorkspaceView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  display_.mouseMove(p.x(), p.y());
  QWidget::mouseMoveEvent(event);
}

void WorkspaceView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    display_.mouseRelease(p.x(), p.y());
  }
  QWidget::mouseReleaseEvent(event);
}

void WorkspaceView::setWaitCursor(bool waiting) {
  if (waiting) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++waitCursorDepth_;
  } else if (waitCursorDepth_ > 0) {
    QApplication::restoreOverrideCursor();
    --waitCursorDepth_;
  }
}

void WorkspaceView::requestRepaint() { update(); }

void WorkspaceView::setMouseCapture(bool captured) {
  if (captured) {
    grabMouse();
  } else if (QWidget::mouseGrabber() == this) {
    releaseMouse();
  }
}

}  // namespace kelmira
