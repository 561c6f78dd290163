#pragma once

#include <QWidget>

#include "workspace/workspace.h"
#include "workspace/workspace_display.h"
#include "workspace/workspace_host.h"

namespace kelmira {

// The picture area of the main window: shows the workspace's current image scaled to
// the widget with the crop circle or the crop lines over it, and feeds it the mouse.
class WorkspaceView : public QWidget, private WorkspaceHost {
  Q_OBJECT

 public:
  WorkspaceView(Prompts* prompts, ProgressSink* progress, QWidget* parent = nullptr);
  ~WorkspaceView() override;

  Workspace& workspace() { return workspace_; }
  const Workspace& workspace() const { return workspace_; }
  WorkspaceDisplay& display() { return display_; }
  const WorkspaceDisplay& display() const { return display_; }
  WorkspaceResult refreshDisplay() { return workspace_.refreshDisplay(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void setWaitCursor(bool waiting) override;
  void requestRepaint() override;
  void setMouseCapture(bool captured) override;

  void paintCropCircle(QPainter& painter) const;
  void paintCropLines(QPainter& painter, int displayedWidth, int displayedHeight) const;

  Workspace workspace_;
  WorkspaceDisplay display_;
  int waitCursorDepth_ = 0;
};

}  // namespace kelmira
