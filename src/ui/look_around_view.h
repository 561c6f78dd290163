#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

#include "image/dib_image.h"
#include "lookaround/look_renderer.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

// The look-around view: the panorama as a viewer shows it, a perspective view of its
// cylinder or of its band of the sphere. Dragging and the arrow keys turn it, the wheel and
// + and - zoom it, Escape closes it. It reads the panorama it is given while it is open.
class LookAroundView : public QDialog {
  Q_OBJECT

 public:
  LookAroundView(const DibImage& panorama, const RowElevations& rows, QWidget* parent = nullptr);

  const LookCamera& camera() const { return camera_; }
  const LookSurface& surface() const { return panorama_.surface; }
  // Moves the camera, kept within the panorama's rows for the view's size.
  void setCamera(const LookCamera& camera);
  // The last frame rendered.
  const QImage& frame() const { return frame_; }

  // A key's turn and a wheel step's zoom.
  static constexpr double kKeyTurnDegrees = 5.0;
  static constexpr double kZoomStep = 1.15;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void turn(double panDegrees, double tiltDegrees);
  void zoom(double factor);
  QString caption() const;

  HeldPixels held_;
  LookPanorama panorama_;
  LookRenderer renderer_;
  LookCamera camera_;
  QImage frame_;
  QPoint dragFrom_;
  bool dragging_ = false;
};

}  // namespace kelmira
