#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace kelmira {

// A push button that is only its pictures: the pressed one while held down, the normal
// one otherwise (focus and disabled look the same as normal).
class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit ImageButton(QWidget* parent = nullptr);
  // Replaces both pictures; the button's size stays as it is.
  void setPictures(const QPixmap& normal, const QPixmap& pressed);
  // Sizes the button to its normal picture.
  void fitToPicture();
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap normal_;
  QPixmap pressed_;
};

}  // namespace kelmira
