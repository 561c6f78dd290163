#include "ui/video_save_progress.h"

#include <QCoreApplication>

namespace kelmira {

VideoSaveProgress::VideoSaveProgress(QWidget* parent)
    : dialog_("Making the 360-degree video...", "Cancel", 0, 0, parent) {
  dialog_.setWindowTitle("Save 360-degree video");
  dialog_.setWindowModality(Qt::WindowModal);
  dialog_.setMinimumDuration(0);
  dialog_.setAutoClose(false);
  dialog_.setAutoReset(false);
  dialog_.show();
}

int VideoSaveProgress::reportProgress(std::int32_t position, std::int32_t total) {
  if (total > 0 && dialog_.maximum() != total) dialog_.setMaximum(total);
  dialog_.setValue(position);
  dialog_.setLabelText(QString("Making the 360-degree video: frame %1 of %2").arg(position).arg(total));
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return dialog_.wasCanceled() ? 0 : 1;
}

void VideoSaveProgress::endProgress() { dialog_.hide(); }

}  // namespace kelmira
