#pragma once

#include <QDialog>
#include <QPixmap>

namespace kelmira {

// The About box: its picture stretched over the whole box, the version and OK.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const QPixmap& background, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap background_;
};

}  // namespace kelmira
