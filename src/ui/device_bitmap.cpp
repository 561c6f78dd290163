#include "ui/device_bitmap.h"

#include <QPainter>

#include "image/dib_image.h"

namespace kelmira {

QImage makeDeviceBitmap(const DibImage& image) {
  if (!image.hasPixels()) return {};
  // Our rows are packed red, green, blue: exactly RGB888 with a stride of 3 x width.
  return QImage(image.pixels(), image.width(), image.height(), 3 * image.width(), QImage::Format_RGB888);
}

void drawDeviceBitmap(QPainter& painter, const QImage& bitmap, int x, int y, int width, int height) {
  if (bitmap.isNull()) return;
  painter.drawImage(QPoint(x, y), bitmap, QRect(0, 0, width, height));
}

}  // namespace kelmira
