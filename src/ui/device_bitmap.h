#pragma once

#include <QImage>

class QPainter;

namespace kelmira {

class DibImage;

// The picture as the screen takes it: a QImage over the image's own pixel block, no
// copy. It is valid until the image is freed or reallocated. Null for an empty image.
QImage makeDeviceBitmap(const DibImage& image);

// Draws width x height pixels of the bitmap from its top left corner at (x, y).
void drawDeviceBitmap(QPainter& painter, const QImage& bitmap, int x, int y, int width, int height);

}  // namespace kelmira
