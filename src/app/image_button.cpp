#include "app/image_button.h"

#include <QPainter>

namespace kelmira {

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::TabFocus); }

void ImageButton::setPictures(const QPixmap& normal, const QPixmap& pressed) {
  normal_ = normal;
  pressed_ = pressed;
  update();
}

void ImageButton::fitToPicture() { resize(normal_.size()); }

QSize ImageButton::sizeHint() const { return normal_.size(); }

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, isDown() ? pressed_ : normal_);
}

}  // namespace kelmira
