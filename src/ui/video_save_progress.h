#pragma once

#include <QProgressDialog>

#include "image/progress_sink.h"

namespace kelmira {

// The progress dialog of a 360-degree video being saved: the frames written of the
// frames, and Cancel, which stops the save with nothing left behind. As the save's
// progress it keeps the window alive between reports.
class VideoSaveProgress : public ProgressSink {
 public:
  explicit VideoSaveProgress(QWidget* parent);
  int reportProgress(std::int32_t position, std::int32_t total) override;
  void endProgress() override;
  bool cancelled() const { return dialog_.wasCanceled(); }
  QProgressDialog& dialog() { return dialog_; }

 private:
  QProgressDialog dialog_;
};

}  // namespace kelmira
