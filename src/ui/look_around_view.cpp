#include "ui/look_around_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace kelmira {

namespace {

constexpr QSize kOpeningSize(800, 450);

}  // namespace

LookAroundView::LookAroundView(const DibImage& panorama, const RowElevations& rows, QWidget* parent)
    : QDialog(parent), held_(panorama.hold()) {
  setWindowTitle("Look Around");
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  panorama_.pixels = held_.pixels();
  panorama_.width = held_.width;
  panorama_.height = held_.height;
  panorama_.stride = 3 * static_cast<std::ptrdiff_t>(held_.width);
  panorama_.surface = rows.size() == static_cast<std::size_t>(held_.height)
                          ? LookSurface::forRows(rows, held_.width)
                          : LookSurface::squareCylinder(held_.width, held_.height);
  resize(kOpeningSize);
  setCamera(LookCamera{});
}

void LookAroundView::setCamera(const LookCamera& camera) {
  camera_ = camera.limited(panorama_.surface, width(), height());
  update();
}

void LookAroundView::turn(double panDegrees, double tiltDegrees) {
  setCamera(LookCamera{camera_.pan + panDegrees, camera_.tilt + tiltDegrees, camera_.fov});
}

void LookAroundView::zoom(double factor) {
  setCamera(LookCamera{camera_.pan, camera_.tilt, camera_.fov * factor});
}

QString LookAroundView::caption() const {
  const char* shape = panorama_.surface.kind() == LookSurfaceKind::Band ? "band of the sphere" : "cylinder";
  return QString::asprintf("pan %.0f\u00b0  tilt %+.0f\u00b0  view %.0f\u00b0 wide  (%s, %+.0f\u00b0 to %+.0f\u00b0)",
                           camera_.pan, camera_.tilt, camera_.fov, shape, panorama_.surface.topElevation(),
                           panorama_.surface.bottomElevation());
}

void LookAroundView::paintEvent(QPaintEvent*) {
  if (frame_.size() != size()) frame_ = QImage(size(), QImage::Format_RGB888);
  QPainter painter(this);
  if (frame_.isNull() || panorama_.pixels == nullptr ||
      !renderer_.render(panorama_, camera_, frame_.bits(), frame_.width(), frame_.height(), frame_.bytesPerLine())) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.drawImage(0, 0, frame_);
  const QString text = caption();
  const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-6, -3, 6, 3);
  const QRect at = box.translated(8 - box.left(), height() - 8 - box.bottom());
  painter.fillRect(at, QColor(0, 0, 0, 140));
  painter.setPen(Qt::white);
  painter.drawText(at, Qt::AlignCenter, text);
}

void LookAroundView::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  setCamera(camera_);
}

void LookAroundView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left: turn(-kKeyTurnDegrees, 0.0); break;
    case Qt::Key_Right: turn(kKeyTurnDegrees, 0.0); break;
    case Qt::Key_Up: turn(0.0, kKeyTurnDegrees); break;
    case Qt::Key_Down: turn(0.0, -kKeyTurnDegrees); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom(1.0 / kZoomStep); break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: zoom(kZoomStep); break;
    default: QDialog::keyPressEvent(event); return;  // Escape closes
  }
  event->accept();
}

void LookAroundView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  dragging_ = true;
  dragFrom_ = event->position().toPoint();
  setCursor(Qt::ClosedHandCursor);
}

void LookAroundView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const QPoint to = event->position().toPoint();
  // The scene follows the hand: a pixel of drag is a pixel of the view's middle.
  const double degreesPerPixel = camera_.fov / std::max(1, width());
  turn(-(to.x() - dragFrom_.x()) * degreesPerPixel, (to.y() - dragFrom_.y()) * degreesPerPixel);
  dragFrom_ = to;
}

void LookAroundView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mouseReleaseEvent(event);
  dragging_ = false;
  unsetCursor();
}

void LookAroundView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps != 0.0) zoom(std::pow(kZoomStep, -steps));
  event->accept();
}

}  // namespace kelmira
