#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace kelmira {

class IntegerSettings;

// "Mirror Properties": which attachment holds the mirror, standard base or lens thread.
// OK with an entry selected stores the choice in [EQUIPMENT]; Cancel stores nothing.
class MirrorPropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit MirrorPropertiesDialog(IntegerSettings* settings, QWidget* parent = nullptr);

  QListWidget* attachmentList() const { return list_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

 private:
  void confirm();

  IntegerSettings* settings_;
  QListWidget* list_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace kelmira
