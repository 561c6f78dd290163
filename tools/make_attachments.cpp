// kelmira-make-attachments: paints the two pictures of the Mirror Properties list, the
// standard-base and the lens-thread attachment seen from the side, 116 x 99 pixels in
// 16 colours.
//
//   QT_QPA_PLATFORM=offscreen kelmira-make-attachments [FOLDER [MANUAL_FOLDER]]
//
// FOLDER defaults to res/mirror; with MANUAL_FOLDER the manual gets the same two pictures.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr int kWidth = 116;
constexpr int kHeight = 99;

// The sixteen colours every picture is reduced to.
const QList<QRgb> kPalette = {
    qRgb(255, 255, 255), qRgb(0, 0, 0),       qRgb(236, 240, 244), qRgb(200, 208, 216),
    qRgb(160, 170, 180), qRgb(112, 122, 134), qRgb(64, 72, 82),    qRgb(34, 38, 44),
    qRgb(182, 214, 240), qRgb(112, 166, 214), qRgb(44, 98, 164),   qRgb(222, 186, 96),
    qRgb(164, 126, 52),  qRgb(206, 64, 52),   qRgb(92, 150, 80),   qRgb(250, 250, 210)};

QColor colour(int index) { return QColor::fromRgb(kPalette[index]); }

// The convex mirror on its clear tube: common to both attachments. `baseTop` is where the
// tube meets the mount.
void paintMirrorAndTube(QPainter& p, double baseTop) {
  const double centre = kWidth / 2.0;
  const QRectF tube(centre - 24, 16, 48, baseTop - 16);
  p.setPen(QPen(colour(5), 1));
  p.setBrush(colour(8));
  p.drawRect(tube);
  // The reflection of the horizon in the glass, and its highlights.
  p.setPen(Qt::NoPen);
  p.setBrush(colour(2));
  p.drawRect(QRectF(tube.left() + 5, tube.top() + 4, 5, tube.height() - 8));
  p.setBrush(colour(9));
  p.drawRect(QRectF(tube.right() - 9, tube.top() + 4, 4, tube.height() - 8));

  // The mirror: a downward dome under a dark cap.
  QPainterPath dome;
  dome.moveTo(centre - 21, 20);
  dome.cubicTo(centre - 20, 34, centre - 8, 44, centre, 45);
  dome.cubicTo(centre + 8, 44, centre + 20, 34, centre + 21, 20);
  dome.closeSubpath();
  p.setPen(QPen(colour(6), 1));
  p.setBrush(colour(3));
  p.drawPath(dome);
  p.setPen(Qt::NoPen);
  // A glint on the left of the dome and the dark horizon band it reflects.
  p.setBrush(colour(2));
  p.drawEllipse(QRectF(centre - 14, 22, 5, 13));
  p.setBrush(colour(4));
  p.drawRect(QRectF(centre - 4, 34, 14, 3));
  p.setPen(QPen(colour(7), 1));
  p.setBrush(colour(6));
  p.drawRect(QRectF(centre - 27, 9, 54, 9));
  p.setBrush(colour(5));
  p.drawRect(QRectF(centre - 10, 4, 20, 5));
}

QImage startPicture() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(kPalette[0]);
  return image;
}

QImage paintStandardBase() {
  QImage image = startPicture();
  QPainter p(&image);
  const double centre = kWidth / 2.0;
  paintMirrorAndTube(p, 70);
  // A broad flat foot with a screw socket, to stand on a tripod head.
  p.setPen(QPen(colour(7), 1));
  p.setBrush(colour(6));
  p.drawRect(QRectF(centre - 30, 70, 60, 8));
  p.setBrush(colour(7));
  p.drawRect(QRectF(centre - 48, 78, 96, 10));
  p.setBrush(colour(5));
  p.drawRect(QRectF(centre - 44, 80, 88, 3));
  p.setPen(Qt::NoPen);
  p.setBrush(colour(11));
  p.drawRect(QRectF(centre - 5, 88, 10, 6));
  p.setBrush(colour(12));
  for (int y = 89; y < 94; y += 2) p.drawRect(QRectF(centre - 5, y, 10, 1));
  return image;
}

QImage paintLensThread() {
  QImage image = startPicture();
  QPainter p(&image);
  const double centre = kWidth / 2.0;
  paintMirrorAndTube(p, 66);
  // A narrow collar and the male filter thread that screws into the lens.
  p.setPen(QPen(colour(7), 1));
  p.setBrush(colour(6));
  p.drawRect(QRectF(centre - 34, 66, 68, 10));
  p.setBrush(colour(5));
  p.drawRect(QRectF(centre - 30, 76, 60, 14));
  p.setPen(QPen(colour(3), 1));
  for (int y = 78; y < 90; y += 3) p.drawLine(QPointF(centre - 29, y), QPointF(centre + 29, y + 1));
  // The front of the camera lens below, in part.
  p.setPen(QPen(colour(1), 1));
  p.setBrush(colour(7));
  p.drawRect(QRectF(centre - 36, 90, 72, 9));
  p.setPen(Qt::NoPen);
  p.setBrush(colour(13));
  p.drawRect(QRectF(centre - 36, 93, 72, 2));
  return image;
}

bool save(const QImage& image, const QString& folder, const QString& name) {
  const QString path = folder + "/" + name;
  const QImage reduced = image.convertToFormat(QImage::Format_Indexed8, kPalette, Qt::ThresholdDither);
  if (!reduced.save(path, "PNG")) {
    std::fprintf(stderr, "kelmira-make-attachments: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s %dx%d\n", qPrintable(path), reduced.width(), reduced.height());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  QStringList folders{argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res/mirror")};
  if (argc > 2) folders << QString::fromLocal8Bit(argv[2]);
  for (const QString& folder : folders) {
    if (!QDir().mkpath(folder)) {
      std::fprintf(stderr, "kelmira-make-attachments: cannot make %s\n", qPrintable(folder));
      return 1;
    }
    if (!save(paintStandardBase(), folder, "standard-base.png") || !save(paintLensThread(), folder, "lens-thread.png")) {
      return 1;
    }
  }
  return 0;
}
