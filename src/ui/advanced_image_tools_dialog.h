#pragma once

#include <QDialog>
#include <QTimer>

class QPushButton;
class QSlider;

namespace kelmira {

class Prompts;
class WorkspaceView;

// "Advanced Image Tools": brightness, contrast and sharpening sliders over the panorama
// in the owner's workspace view. Each mouse release on a slider recomputes the panorama
// from the base the caller snapshotted, so the main window shows the result at once;
// while a slider is dragged the picture follows it, a few times a second. The caller
// keeps or restores the panorama depending on how the dialog ends.
class AdvancedImageToolsDialog : public QDialog {
  Q_OBJECT

 public:
  AdvancedImageToolsDialog(WorkspaceView* owner, Prompts* prompts, QWidget* parent = nullptr);

  // The values the slider positions stand for.
  double brightness() const;
  double contrast() const;
  int quality() const;

  QSlider* brightnessSlider() const { return brightness_; }
  QSlider* contrastSlider() const { return contrast_; }
  QSlider* qualitySlider() const { return quality_; }
  QPushButton* acceptButton() const { return accept_; }
  QPushButton* cancelButton() const { return cancel_; }
  // How many times the panorama was recomputed.
  int previewCount() const { return previews_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void placeBesideParent();
  void preview();

  WorkspaceView* owner_;
  QSlider* brightness_;
  QSlider* contrast_;
  QSlider* quality_;
  QPushButton* accept_;
  QPushButton* cancel_;
  QTimer dragPreview_;
  int previews_ = 0;
};

}  // namespace kelmira
