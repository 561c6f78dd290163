#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "mirror/mirror_rig.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kelmira {

class IntegerSettings;

// "Mirror Properties": which attachment holds the mirror, standard base or lens thread, and
// a calibrated mirror used in its place (Calibrated mirror..., Clear) with how the camera sits on it. OK with an entry
// selected stores the attachment in [EQUIPMENT]; the window stores the calibrated mirror
// and the rig it reads from mirrorPath() and rig(). Cancel stores nothing.
class MirrorPropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks for a mirror file: its path in the file system's bytes, empty when cancelled.
  using FileChooser = std::function<std::string()>;

  explicit MirrorPropertiesDialog(IntegerSettings* settings, QWidget* parent = nullptr);

  // The calibrated mirror shown at first (empty: none, the attachment's own), and how to ask for one.
  void setMirror(const std::string& path, Rig rig);
  void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  const std::string& mirrorPath() const { return path_; }
  Rig rig() const;

  QListWidget* attachmentList() const { return list_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* calibratedMirrorButton() const { return choose_; }
  QPushButton* noCalibrationButton() const { return none_; }
  QCheckBox* cameraAboveBox() const { return cameraAbove_; }
  // The chosen mirror's kind, centre and field of view, or why the file chosen last is refused.
  QLabel* mirrorSummary() const { return summary_; }

 private:
  void confirm();
  void chooseMirror();
  void showMirror();

  IntegerSettings* settings_;
  FileChooser chooser_;
  std::string path_;
  std::string refusal_;  // the last file chosen, when it could not be read
  QListWidget* list_;
  QPushButton* choose_;
  QPushButton* none_;
  QLabel* summary_;
  QCheckBox* cameraAbove_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// What the dialog says of a mirror file for the rig: kind and file name, centre, field of
// view; or why the file cannot be used.
std::string mirrorSummaryText(const std::string& path, Rig rig);

}  // namespace kelmira
