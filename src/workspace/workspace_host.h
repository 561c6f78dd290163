#pragma once

namespace kelmira {

// What the workspace asks of the widget that shows it.
class WorkspaceHost {
 public:
  virtual ~WorkspaceHost() = default;
  virtual void setWaitCursor(bool waiting) = 0;
  // The picture or its overlays changed: paint again.
  virtual void requestRepaint() = 0;
  // Keep pointer events coming to the view while a drag lasts.
  virtual void setMouseCapture(bool captured) = 0;
};

}  // namespace kelmira
