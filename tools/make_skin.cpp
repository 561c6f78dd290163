// kelmira-make-skin: paints the main window's skin, the About box and the window icon.
//
//   QT_QPA_PLATFORM=offscreen kelmira-make-skin [SKIN_FOLDER [MANUAL_FOLDER]]
//
// SKIN_FOLDER defaults to res/skin. With MANUAL_FOLDER it also writes the mock-up
// screens and the button pictures that the manual shows. Every picture is a 24-bit RGB PNG and the output is
// the same byte for byte on every run: fonts come from files, never from the system's
// font matching.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "ui/ring_instructions.h"
#include "ui/skin_colours.h"

namespace {

// ---------------------------------------------------------------------------------------
// Colours and fonts

const QColor& kBackdropTop = kelmira::skin::backdropTop;
const QColor& kBackdropBottom = kelmira::skin::backdropBottom;
const QColor& kTrayTop = kelmira::skin::trayTop;
const QColor& kTrayBottom = kelmira::skin::trayBottom;
const QColor& kEdgeDark = kelmira::skin::edgeDark;
const QColor& kTextLight = kelmira::skin::textLight;
const QColor& kTextDim = kelmira::skin::textDim;
const QColor& kAccent = kelmira::skin::accent;
const QColor& kAccentDeep = kelmira::skin::accentDeep;
const QColor& kLcdTop = kelmira::skin::lcdTop;
const QColor& kLcdBottom = kelmira::skin::lcdBottom;

QString gSans;
QString gSansBold;

bool loadFonts() {
  const QString folder = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
  const int regular = QFontDatabase::addApplicationFont(folder + "DejaVuSans.ttf");
  const int bold = QFontDatabase::addApplicationFont(folder + "DejaVuSans-Bold.ttf");
  if (regular < 0 || bold < 0) return false;
  gSans = QFontDatabase::applicationFontFamilies(regular).value(0);
  gSansBold = QFontDatabase::applicationFontFamilies(bold).value(0);
  return !gSans.isEmpty() && !gSansBold.isEmpty();
}

QFont font(double pixels, bool bold, double spacing = 0) {
  QFont f(bold ? gSansBold : gSans);
  f.setPixelSize(static_cast<int>(std::lround(pixels)));
  f.setBold(bold);
  f.setStyleStrategy(QFont::PreferAntialias);
  f.setHintingPreference(QFont::PreferVerticalHinting);
  if (spacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  return f;
}

QImage canvas(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  return image;
}

void setUp(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QPainterPath rounded(const QRectF& r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

// Text whose baseline starts at (x, y).
void text(QPainter& p, double x, double y, const QString& s, const QFont& f, const QColor& c) {
  p.setFont(f);
  p.setPen(c);
  p.drawText(QPointF(x, y), s);
}

double textWidth(const QString& s, const QFont& f) { return QFontMetricsF(f).horizontalAdvance(s); }

// ---------------------------------------------------------------------------------------
// Panel pieces shared by every screen

void paintBackdrop(QPainter& p, const QRectF& area) {
  QLinearGradient base(area.topLeft(), area.bottomLeft());
  base.setColorAt(0, kBackdropTop);
  base.setColorAt(1, kBackdropBottom);
  p.fillRect(area, base);
  QRadialGradient glow(QPointF(area.width() * 0.28, area.height() * 0.18), area.width() * 0.75);
  glow.setColorAt(0, QColor(90, 140, 200, 46));
  glow.setColorAt(1, QColor(90, 140, 200, 0));
  p.fillRect(area, glow);
}

// A recessed tray: darker than the backdrop, shadowed along its top edge.
void paintTray(QPainter& p, const QRectF& r, double radius = 10) {
  p.save();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 20), 1));
  p.drawPath(rounded(r.adjusted(-0.5, -0.5, 0.5, 1.5), radius + 0.5));
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  fill.setColorAt(0, kTrayTop);
  fill.setColorAt(1, kTrayBottom);
  p.fillPath(rounded(r, radius), fill);
  p.setClipPath(rounded(r, radius));
  p.setPen(QPen(QColor(0, 0, 0, 90), 4));
  p.drawPath(rounded(r.translated(0, 2.5), radius));
  p.setClipping(false);
  p.setPen(QPen(kEdgeDark, 1));
  p.drawPath(rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
  p.restore();
}

// A raised bezel around a picture view; the view itself is left black.
void paintBezel(QPainter& p, const QRect& view, int width) {
  const QRectF outer = QRectF(view).adjusted(-width, -width, width, width);
  p.save();
  p.fillPath(rounded(outer.adjusted(-2, 0, 2, 4), 9), QColor(0, 0, 0, 50));
  p.fillPath(rounded(outer.adjusted(-1, 0, 1, 2), 8), QColor(0, 0, 0, 70));
  QLinearGradient metal(outer.topLeft(), outer.bottomLeft());
  metal.setColorAt(0, QColor(0x4A, 0x5C, 0x70));
  metal.setColorAt(0.5, QColor(0x33, 0x42, 0x52));
  metal.setColorAt(1, QColor(0x26, 0x31, 0x3D));
  p.fillPath(rounded(outer, 7), metal);
  p.setPen(QPen(QColor(255, 255, 255, 40), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(rounded(outer.adjusted(1.5, 1.5, -1.5, -1.5), 6));
  p.setPen(QPen(kEdgeDark, 1));
  p.drawPath(rounded(outer.adjusted(0.5, 0.5, -0.5, -0.5), 7));
  const QRectF lip = QRectF(view).adjusted(-2, -2, 2, 2);
  p.fillPath(rounded(lip, 2), QColor(0x05, 0x07, 0x0A));
  p.setPen(QPen(QColor(255, 255, 255, 28), 1));
  p.drawLine(lip.bottomLeft() + QPointF(2, 0.5), lip.bottomRight() + QPointF(-2, 0.5));
  p.restore();
  p.fillRect(view, Qt::black);
}

// The light box the program prints its black size caption into.
void paintLcd(QPainter& p, const QRectF& r) {
  p.save();
  p.setPen(QPen(QColor(255, 255, 255, 22), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(rounded(r.adjusted(-0.5, -0.5, 0.5, 1.5), 5));
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  fill.setColorAt(0, kLcdTop);
  fill.setColorAt(0.35, kLcdBottom);
  fill.setColorAt(1, kLcdBottom);
  p.fillPath(rounded(r, 5), fill);
  p.setClipPath(rounded(r, 5));
  p.setPen(QPen(QColor(0, 20, 40, 60), 3));
  p.drawPath(rounded(r.translated(0, 1.5), 5));
  p.setClipping(false);
  p.setPen(QPen(kEdgeDark, 1));
  p.drawPath(rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), 5));
  p.restore();
}

// A slot just around where the progress bar appears, so the bar looks fitted.
void paintGroove(QPainter& p, const QRect& bar) {
  const QRectF r = QRectF(bar).adjusted(-3, -3, 3, 3);
  p.save();
  p.setPen(QPen(QColor(255, 255, 255, 18), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(rounded(r.adjusted(-0.5, -0.5, 0.5, 1.5), 5));
  p.fillPath(rounded(r, 5), QColor(0x0E, 0x14, 0x1B));
  p.setPen(QPen(QColor(0, 0, 0, 120), 2));
  p.setClipPath(rounded(r, 5));
  p.drawPath(rounded(r.translated(0, 1.5), 5));
  p.restore();
}

void paintHeading(QPainter& p, double x, double y, const QString& s, double lineEnd = 0) {
  const QFont f = font(10, true, 1.6);
  text(p, x, y, s, f, kTextDim);
  if (lineEnd > 0) {
    const double start = x + textWidth(s, f) + 10;
    QLinearGradient line(QPointF(start, 0), QPointF(lineEnd, 0));
    line.setColorAt(0, QColor(0x93, 0xA8, 0xBE, 110));
    line.setColorAt(1, QColor(0x93, 0xA8, 0xBE, 0));
    p.fillRect(QRectF(start, y - 4, lineEnd - start, 1), line);
  }
}

// ---------------------------------------------------------------------------------------
// The illustration: a small landscape and the ring a panoramic mirror makes of it

QPainterPath hillPath(double w, double h, double base, const std::array<double, 3>& amp,
                      const std::array<int, 3>& waves, const std::array<double, 3>& phase) {
  QPainterPath path(QPointF(0, h));
  for (int x = 0; x <= static_cast<int>(w); x += 4) {
    double y = base;
    for (int i = 0; i < 3; ++i) y -= amp[i] * std::sin(2 * std::numbers::pi * waves[i] * x / w + phase[i]);
    path.lineTo(x, y);
  }
  path.lineTo(w, h);
  path.closeSubpath();
  return path;
}

// A 360-degree scene, 6:1, seamless at its left and right edges.
QImage paintScene() {
  const int w = 1440;
  const int h = 240;
  const double horizon = 150;
  QImage scene = canvas(w, h);
  QPainter p(&scene);
  setUp(p);
  QLinearGradient sky(0, 0, 0, horizon);
  sky.setColorAt(0, QColor(0x17, 0x45, 0x9E));
  sky.setColorAt(0.55, QColor(0x4C, 0x8B, 0xD6));
  sky.setColorAt(1, QColor(0xD4, 0xE7, 0xF8));
  p.fillRect(QRectF(0, 0, w, horizon + 1), sky);

  const QPointF sun(250, 52);
  QRadialGradient halo(sun, 60);
  halo.setColorAt(0, QColor(255, 236, 150, 150));
  halo.setColorAt(1, QColor(255, 236, 150, 0));
  p.fillRect(QRectF(sun.x() - 60, sun.y() - 60, 120, 120), halo);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xFF, 0xD8, 0x3A));
  p.drawEllipse(sun, 15, 15);

  p.fillPath(hillPath(w, h, horizon - 14, {10, 6, 3}, {3, 7, 13}, {0.4, 1.9, 0.7}), QColor(0x8D, 0xB0, 0xCE));
  p.fillPath(hillPath(w, h, horizon - 4, {7, 4, 2}, {2, 5, 11}, {2.2, 0.3, 1.4}), QColor(0x5E, 0x93, 0x6A));

  QLinearGradient ground(0, horizon, 0, h);
  ground.setColorAt(0, QColor(0x4C, 0x8E, 0x3E));
  ground.setColorAt(0.45, QColor(0x62, 0x74, 0x38));
  ground.setColorAt(1, QColor(0x7A, 0x55, 0x35));
  p.fillRect(QRectF(0, horizon, w, h - horizon), ground);
  p.fillRect(QRectF(0, horizon, w, 1.5), QColor(255, 255, 255, 120));

  const std::array<QColor, 4> walls = {QColor(0xD8, 0x34, 0x30), QColor(0xF0, 0xC0, 0x1C),
                                       QColor(0x2F, 0x55, 0xCC), QColor(0x98, 0x40, 0xB8)};
  const std::array<QString, 4> compass = {"N", "E", "S", "W"};
  for (int i = 0; i < 4; ++i) {
    const double cx = 180 + i * 360;
    const QRectF wall(cx - 34, horizon - 36, 68, 40);
    QPainterPath roof(QPointF(wall.left() - 5, wall.top()));
    roof.lineTo(cx, wall.top() - 20);
    roof.lineTo(wall.right() + 5, wall.top());
    roof.closeSubpath();
    p.fillRect(wall, walls[i]);
    p.fillRect(QRectF(wall.left(), wall.top(), wall.width(), 5), walls[i].darker(125));
    p.fillPath(roof, QColor(0x5A, 0x3A, 0x2E));
    p.fillRect(QRectF(cx - 12, wall.top() + 12, 24, 10), QColor(0xF6, 0xF8, 0xFB));
    p.fillRect(QRectF(wall.right() - 14, wall.bottom() - 18, 8, 18), walls[i].darker(150));
    const QFont letter = font(40, true);
    p.setFont(letter);
    p.setPen(QColor(0x12, 0x1E, 0x38));
    p.drawText(QPointF(cx - textWidth(compass[i], letter) / 2, 62), compass[i]);
  }
  for (int i = 0; i < 4; ++i) {
    const double tx = 270 + i * 360;
    p.fillRect(QRectF(tx - 1.5, horizon - 16, 3, 16), QColor(0x5B, 0x3B, 0x24));
    p.setBrush(QColor(0x2E, 0x6B, 0x34));
    p.drawEllipse(QPointF(tx, horizon - 22), 11, 13);
  }
  return scene;
}

QRgb sampleWrapped(const QImage& scene, double u, double v) {
  const int w = scene.width();
  const int h = scene.height();
  u -= 0.5;
  v = std::clamp(v - 0.5, 0.0, h - 1.0);
  const double fu = std::floor(u);
  const double fv = std::floor(v);
  const double du = u - fu;
  const double dv = v - fv;
  const int x0 = ((static_cast<int>(fu) % w) + w) % w;
  const int x1 = (x0 + 1) % w;
  const int y0 = static_cast<int>(fv);
  const int y1 = std::min(y0 + 1, h - 1);
  const QRgb a = scene.pixel(x0, y0), b = scene.pixel(x1, y0), c = scene.pixel(x0, y1), d = scene.pixel(x1, y1);
  auto mix = [&](int shift) {
    const double top = ((a >> shift) & 255) * (1 - du) + ((b >> shift) & 255) * du;
    const double bottom = ((c >> shift) & 255) * (1 - du) + ((d >> shift) & 255) * du;
    return static_cast<int>(std::lround(top * (1 - dv) + bottom * dv));
  };
  return qRgb(mix(16), mix(8), mix(0));
}

// The ring as the mirror shows it: sky inside, ground outside, transparent elsewhere.
// Supersampled 4 x 4 so its edges are smooth.
QImage paintRing(const QImage& scene, int size, double inner, double outer) {
  QImage ring(size, size, QImage::Format_ARGB32_Premultiplied);
  const double c = size / 2.0;
  const int n = 4;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0;
      int hits = 0;
      for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
          const double dx = x + (sx + 0.5) / n - c;
          const double dy = y + (sy + 0.5) / n - c;
          const double radius = std::hypot(dx, dy);
          if (radius < inner || radius > outer) continue;
          const double turn = std::atan2(dx, -dy) / (2 * std::numbers::pi) + 0.5;
          const QRgb s = sampleWrapped(scene, turn * scene.width(), (radius - inner) / (outer - inner) * scene.height());
          r += qRed(s);
          g += qGreen(s);
          b += qBlue(s);
          ++hits;
        }
      }
      const double k = 1.0 / (n * n);
      ring.setPixel(x, y, qRgba(static_cast<int>(std::lround(r * k)), static_cast<int>(std::lround(g * k)),
                                static_cast<int>(std::lround(b * k)), static_cast<int>(std::lround(hits * 255.0 * k))));
    }
  }
  return ring;
}

// The mirror's dark centre with a glint, as it sits inside the ring.
void paintMirrorEye(QPainter& p, QPointF centre, double radius) {
  QRadialGradient eye(centre - QPointF(radius * 0.3, radius * 0.35), radius * 1.3);
  eye.setColorAt(0, QColor(0x3A, 0x46, 0x55));
  eye.setColorAt(0.6, QColor(0x10, 0x15, 0x1C));
  eye.setColorAt(1, QColor(0x05, 0x07, 0x0A));
  p.setPen(Qt::NoPen);
  p.setBrush(eye);
  p.drawEllipse(centre, radius, radius);
  p.setBrush(QColor(255, 255, 255, 60));
  p.drawEllipse(centre - QPointF(radius * 0.35, radius * 0.4), radius * 0.16, radius * 0.12);
}

// The ring framed as a round mirror photograph: shadow, ring, metal rim, dark centre.
void paintMirrorBadge(QPainter& p, const QImage& scene, QPointF centre, double outer, double inner, double rim) {
  p.save();
  p.setPen(Qt::NoPen);
  for (int i = 4; i >= 1; --i) {
    p.setBrush(QColor(0, 0, 0, 22));
    p.drawEllipse(centre + QPointF(0, 3), outer + rim + i * 1.6, outer + rim + i * 1.6);
  }
  QLinearGradient metal(centre - QPointF(0, outer + rim), centre + QPointF(0, outer + rim));
  metal.setColorAt(0, QColor(0xB8, 0xC4, 0xD0));
  metal.setColorAt(0.5, QColor(0x5C, 0x6B, 0x7B));
  metal.setColorAt(1, QColor(0x2A, 0x34, 0x40));
  p.setBrush(metal);
  p.drawEllipse(centre, outer + rim, outer + rim);
  p.setBrush(QColor(0x06, 0x09, 0x0D));
  p.drawEllipse(centre, outer + 0.8, outer + 0.8);
  const int size = static_cast<int>(std::ceil(outer * 2)) + 2;
  const QImage ring = paintRing(scene, size, inner, outer);
  p.drawImage(QPointF(centre.x() - size / 2.0, centre.y() - size / 2.0), ring);
  paintMirrorEye(p, centre, inner + 0.5);
  p.restore();
}

// The panorama strip: the scene's rows from `top` on, fitted to the rectangle.
void paintStrip(QPainter& p, const QImage& scene, const QRectF& r, double top) {
  const double scale = r.width() / scene.width();
  p.save();
  p.setClipPath(rounded(r, 3));
  p.translate(r.topLeft());
  p.scale(scale, scale);
  p.drawImage(QPointF(0, -top), scene);
  p.restore();
}

// The mirror's ring reduced to its bands: ground outside, the horizon, sky, the dark
// centre. The scene itself turns to mud at these sizes. `k` scales the 32-pixel design.
void paintRingMark(QPainter& p, QPointF c, double k) {
  p.save();
  p.setPen(Qt::NoPen);
  QLinearGradient rim(0, c.y() - 15 * k, 0, c.y() + 15 * k);
  rim.setColorAt(0, QColor(0xD4, 0xDD, 0xE6));
  rim.setColorAt(1, QColor(0x6A, 0x78, 0x86));
  p.setBrush(rim);
  p.drawEllipse(c, 15 * k, 15 * k);
  QRadialGradient ground(c, 14 * k);
  ground.setColorAt(0.7, QColor(0x4C, 0x96, 0x3E));
  ground.setColorAt(1, QColor(0x86, 0x5E, 0x38));
  p.setBrush(ground);
  p.drawEllipse(c, 14 * k, 14 * k);
  p.setBrush(QColor(0xF4, 0xF8, 0xFC));
  p.drawEllipse(c, 9.9 * k, 9.9 * k);
  QRadialGradient sky(c, 9.2 * k);
  sky.setColorAt(0.3, QColor(0x25, 0x5C, 0xC4));
  sky.setColorAt(1, QColor(0xB4, 0xD8, 0xF8));
  p.setBrush(sky);
  p.drawEllipse(c, 9.2 * k, 9.2 * k);
  p.setBrush(QColor(0x06, 0x09, 0x0D));
  p.drawEllipse(c, 3.1 * k, 3.1 * k);
  if (k >= 0.99) {
    // The four houses of the scene, standing on the horizon.
    const std::array<QColor, 4> walls = {QColor(0xE0, 0x3A, 0x34), QColor(0xF6, 0xC8, 0x20),
                                         QColor(0x2F, 0x55, 0xCC), QColor(0xA0, 0x44, 0xC0)};
    for (int i = 0; i < 4; ++i) {
      const double a = std::numbers::pi * (0.25 + 0.5 * i);
      const QPointF at = c + QPointF(std::cos(a), std::sin(a)) * 8.2 * k;
      p.setBrush(walls[i]);
      p.drawEllipse(at, 1.5 * k, 1.5 * k);
    }
  }
  p.restore();
}

// ---------------------------------------------------------------------------------------
// Glyphs on the buttons, drawn in one colour

enum class Glyph { None, Ring, Strip, Mirror, Help, MakePano, Picture, Movie, Crop, Undo, BackToRound, Restart,
                   Up, Down, Left, Right, LookAround };

void arrowHead(QPainterPath& path, QPointF tip, double angle, double size) {
  const double a1 = angle + std::numbers::pi * 0.8;
  const double a2 = angle - std::numbers::pi * 0.8;
  path.moveTo(tip + QPointF(std::cos(a1), std::sin(a1)) * size);
  path.lineTo(tip);
  path.lineTo(tip + QPointF(std::cos(a2), std::sin(a2)) * size);
}

void paintGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour) {
  const double s = box.width();
  const QPointF c = box.center();
  const double line = std::max(1.6, s / 13.0);
  p.save();
  QPen pen(colour, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPainterPath path;
  switch (glyph) {
    case Glyph::None:
      break;
    case Glyph::Ring:
      p.drawEllipse(c, s * 0.44, s * 0.44);
      p.drawEllipse(c, s * 0.2, s * 0.2);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(c, s * 0.07, s * 0.07);
      break;
    case Glyph::Strip: {
      const QRectF r(box.left() + s * 0.02, c.y() - s * 0.26, s * 0.96, s * 0.52);
      p.drawRoundedRect(r, s * 0.06, s * 0.06);
      path.moveTo(r.left() + s * 0.1, r.bottom() - s * 0.1);
      path.lineTo(r.left() + s * 0.34, r.top() + s * 0.2);
      path.lineTo(r.left() + s * 0.52, r.bottom() - s * 0.2);
      path.lineTo(r.left() + s * 0.66, r.top() + s * 0.26);
      path.lineTo(r.right() - s * 0.1, r.bottom() - s * 0.1);
      p.drawPath(path);
      break;
    }
    case Glyph::LookAround: {
      // The view's turn round the panorama: a ring seen from the side, an arrow on its front,
      // the eye in the middle.
      const QRectF r(box.left() + s * 0.04, c.y() - s * 0.24, s * 0.92, s * 0.48);
      p.drawArc(r, 200 * 16, 320 * 16);
      const double end = 160.0 * std::numbers::pi / 180.0;
      const QPointF tip(c.x() + r.width() / 2 * std::cos(end), c.y() - r.height() / 2 * std::sin(end));
      arrowHead(path, tip, std::numbers::pi * 0.62, s * 0.2);
      p.drawPath(path);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(c, s * 0.1, s * 0.1);
      break;
    }
    case Glyph::Mirror: {
      // A camera with the mirror attachment on top.
      const double base = box.top() + s * 0.34;
      const QRectF dome(c.x() - s * 0.28, box.top() + s * 0.06, s * 0.56, s * 0.56);
      path.moveTo(dome.left(), base);
      path.arcTo(dome, 180, -180);
      path.closeSubpath();
      p.drawPath(path);
      p.drawLine(QPointF(c.x(), base), QPointF(c.x(), base + s * 0.14));
      const QRectF body(box.left() + s * 0.06, base + s * 0.14, s * 0.88, s * 0.44);
      p.drawRoundedRect(body, s * 0.08, s * 0.08);
      p.drawEllipse(body.center(), s * 0.11, s * 0.11);
      break;
    }
    case Glyph::Help: {
      p.drawEllipse(c, s * 0.44, s * 0.44);
      const QFont f = font(s * 0.62, true);
      p.setFont(f);
      p.drawText(box, Qt::AlignCenter, "?");
      break;
    }
    case Glyph::MakePano: {
      const double r = s * 0.22;
      const QPointF rc(box.left() + r + line, c.y());
      p.drawEllipse(rc, r, r);
      p.drawEllipse(rc, r * 0.4, r * 0.4);
      path.moveTo(rc.x() + r + s * 0.08, c.y());
      path.lineTo(rc.x() + r + s * 0.3, c.y());
      arrowHead(path, QPointF(rc.x() + r + s * 0.3, c.y()), 0, s * 0.08);
      p.drawPath(path);
      const QRectF strip(rc.x() + r + s * 0.38, c.y() - s * 0.13, s * 0.96 - (rc.x() + r + s * 0.38 - box.left()),
                         s * 0.26);
      p.drawRoundedRect(strip, s * 0.03, s * 0.03);
      break;
    }
    case Glyph::Picture: {
      const QRectF r(box.left() + s * 0.06, box.top() + s * 0.16, s * 0.88, s * 0.68);
      p.drawRoundedRect(r, s * 0.06, s * 0.06);
      path.moveTo(r.left() + s * 0.08, r.bottom() - s * 0.1);
      path.lineTo(r.left() + s * 0.32, r.top() + s * 0.3);
      path.lineTo(r.left() + s * 0.5, r.bottom() - s * 0.26);
      path.lineTo(r.left() + s * 0.62, r.top() + s * 0.4);
      path.lineTo(r.right() - s * 0.08, r.bottom() - s * 0.1);
      p.drawPath(path);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(QPointF(r.right() - s * 0.2, r.top() + s * 0.18), s * 0.07, s * 0.07);
      break;
    }
    case Glyph::Movie: {
      const QRectF r(box.left() + s * 0.04, box.top() + s * 0.18, s * 0.92, s * 0.64);
      p.drawRoundedRect(r, s * 0.06, s * 0.06);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      for (int i = 0; i < 5; ++i) {
        const double x = r.left() + s * 0.1 + i * s * 0.18;
        p.drawRect(QRectF(x, r.top() + s * 0.06, s * 0.08, s * 0.07));
        p.drawRect(QRectF(x, r.bottom() - s * 0.13, s * 0.08, s * 0.07));
      }
      QPainterPath play(QPointF(c.x() - s * 0.1, c.y() - s * 0.13));
      play.lineTo(c.x() + s * 0.14, c.y());
      play.lineTo(c.x() - s * 0.1, c.y() + s * 0.13);
      play.closeSubpath();
      p.drawPath(play);
      break;
    }
    case Glyph::Crop: {
      const double a = s * 0.12, b = s * 0.88;
      path.moveTo(box.left() + a + s * 0.14, box.top() + a - s * 0.02);
      path.lineTo(box.left() + a + s * 0.14, box.top() + b - s * 0.14);
      path.lineTo(box.left() + b + s * 0.02, box.top() + b - s * 0.14);
      path.moveTo(box.left() + a - s * 0.02, box.top() + a + s * 0.14);
      path.lineTo(box.left() + b - s * 0.14, box.top() + a + s * 0.14);
      path.lineTo(box.left() + b - s * 0.14, box.top() + b + s * 0.02);
      p.drawPath(path);
      break;
    }
    case Glyph::Undo: {
      const double l = box.left(), t = box.top();
      path.moveTo(l + s * 0.12, t + s * 0.3);
      path.lineTo(l + s * 0.6, t + s * 0.3);
      path.arcTo(QRectF(l + s * 0.38, t + s * 0.3, s * 0.5, s * 0.5), 90, -180);
      path.lineTo(l + s * 0.36, t + s * 0.8);
      arrowHead(path, QPointF(l + s * 0.12, t + s * 0.3), std::numbers::pi, s * 0.2);
      p.drawPath(path);
      break;
    }
    case Glyph::BackToRound: {
      p.drawEllipse(QPointF(c.x() + s * 0.14, c.y()), s * 0.3, s * 0.3);
      p.drawEllipse(QPointF(c.x() + s * 0.14, c.y()), s * 0.1, s * 0.1);
      path.moveTo(box.left() + s * 0.02, c.y());
      path.lineTo(box.left() + s * 0.3, c.y());
      QPainterPath head;
      arrowHead(head, QPointF(box.left() + s * 0.02, c.y()), std::numbers::pi, s * 0.16);
      p.drawPath(path);
      p.drawPath(head);
      break;
    }
    case Glyph::Restart: {
      // A reload arrow: a circle open at the upper right, its head pointing up.
      const QRectF arc = box.adjusted(s * 0.14, s * 0.14, -s * 0.14, -s * 0.14);
      path.arcMoveTo(arc, 70);
      path.arcTo(arc, 70, 290);
      const QPointF tip = path.currentPosition();
      arrowHead(path, tip + QPointF(0, -s * 0.04), -std::numbers::pi / 2, s * 0.2);
      p.drawPath(path);
      break;
    }
    case Glyph::Up:
    case Glyph::Down:
    case Glyph::Left:
    case Glyph::Right: {
      const double angle = glyph == Glyph::Up     ? -std::numbers::pi / 2
                           : glyph == Glyph::Down ? std::numbers::pi / 2
                           : glyph == Glyph::Left ? std::numbers::pi
                                                  : 0.0;
      const QPointF dir(std::cos(angle), std::sin(angle));
      const QPointF side(-dir.y(), dir.x());
      QPainterPath tri(c + dir * s * 0.36);
      tri.lineTo(c - dir * s * 0.24 + side * s * 0.36);
      tri.lineTo(c - dir * s * 0.24 - side * s * 0.36);
      tri.closeSubpath();
      p.setPen(QPen(colour, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(colour);
      p.drawPath(tri);
      break;
    }
  }
  p.restore();
}

// ---------------------------------------------------------------------------------------
// Buttons

enum class Mode { Start, Round, Panorama, Hidden };

struct ButtonSpec {
  const char* name;
  QString label;
  QString note;  // small second line on the big buttons
  Glyph glyph;
  Mode mode;
  int x, y, w, h;
  double labelPixels;
  bool glyphOnly;
};

const std::vector<ButtonSpec>& buttonSpecs() {
  static const std::vector<ButtonSpec> specs = {
      {"make-pano", "Make Pano", "unwarp the ring", Glyph::MakePano, Mode::Round, 555, 44, 173, 69, 15, false},
      {"save-movie", "Save Movie", "QuickTime VR", Glyph::Movie, Mode::Panorama, 531, 346, 180, 88, 16, false},
      {"save-image", "Save Image", "BMP, JPEG or TIFF", Glyph::Picture, Mode::Panorama, 342, 348, 180, 88, 16, false},
      {"open-round", "Open Round", "mirror photograph", Glyph::Ring, Mode::Start, 555, 44, 175, 67, 15, false},
      {"open-pano", "Open Pano", "finished panorama", Glyph::Strip, Mode::Start, 555, 119, 175, 67, 15, false},
      {"mirror-selection", "Mirror Selection", "", Glyph::Mirror, Mode::Start, 555, 268, 175, 67, 15, false},
      {"crop", "Crop", "", Glyph::Crop, Mode::Panorama, 231, 34, 96, 48, 12, false},
      {"new-restart", "New/Re-Start", "", Glyph::Restart, Mode::Round, 135, 442, 61, 63, 0, true},
      {"back-to-round", "Back to Round", "", Glyph::BackToRound, Mode::Panorama, 36, 34, 96, 48, 12, false},
      {"help", "Help", "user manual", Glyph::Help, Mode::Start, 555, 193, 175, 67, 15, false},
      {"undo", "Undo", "", Glyph::Undo, Mode::Panorama, 134, 34, 96, 48, 12, false},
      {"up", "up", "", Glyph::Up, Mode::Hidden, 0, 0, 48, 48, 0, true},
      {"down", "down", "", Glyph::Down, Mode::Hidden, 0, 0, 48, 48, 0, true},
      {"left", "left", "", Glyph::Left, Mode::Hidden, 0, 0, 48, 48, 0, true},
      {"right", "right", "", Glyph::Right, Mode::Hidden, 0, 0, 48, 48, 0, true},
      {"advanced", "Advanced", "", Glyph::None, Mode::Panorama, 333, 36, 91, 45, 12, false},
      {"look-around", "Look Around", "turn and zoom", Glyph::LookAround, Mode::Panorama, 342, 444, 180, 64, 15, false},
  };
  return specs;
}

// Splits a label over two lines at the space that balances them best.
QStringList wrapLabel(const QString& label, const QFont& f, double width) {
  if (textWidth(label, f) <= width || !label.contains(' ')) return {label};
  QStringList best = {label};
  double bestWidth = 1e9;
  for (int i = label.indexOf(' '); i >= 0; i = label.indexOf(' ', i + 1)) {
    const QString a = label.left(i), b = label.mid(i + 1);
    const double widest = std::max(textWidth(a, f), textWidth(b, f));
    if (widest < bestWidth) {
      bestWidth = widest;
      best = {a, b};
    }
  }
  return best;
}

struct FaceLayout {
  QFont font;
  QStringList lines;
  double widest;
};

// One line if the label fits at up to an eighth below its size, else two lines, at the
// largest size where glyph and text fit beside each other.
FaceLayout fitFace(const ButtonSpec& b, double room, double glyphWidth, double gap) {
  FaceLayout layout;
  for (double px = b.labelPixels; px >= b.labelPixels * 0.875; px -= 1) {
    layout.font = font(px, true);
    layout.lines = {b.label};
    layout.widest = textWidth(b.label, layout.font);
    if (glyphWidth + gap + layout.widest <= room) return layout;
  }
  for (double px = b.labelPixels; px >= 10; px -= 1) {
    layout.font = font(px, true);
    layout.lines = wrapLabel(b.label, layout.font, room - glyphWidth - gap);
    layout.widest = 0;
    for (const QString& line : layout.lines) layout.widest = std::max(layout.widest, textWidth(line, layout.font));
    if (glyphWidth + gap + layout.widest <= room) return layout;
  }
  return layout;
}

// The label block (glyph, one or two lines, optional note) centred in the face.
void paintButtonFace(QPainter& p, const ButtonSpec& b, const QRectF& face, const QColor& ink, const QColor& noteInk,
                     const QColor& glyphInk) {
  if (b.glyphOnly) {
    const double g = std::min(face.width(), face.height()) * 0.6;
    paintGlyph(p, b.glyph, QRectF(face.center().x() - g / 2, face.center().y() - g / 2, g, g), glyphInk);
    return;
  }
  const bool big = face.height() > 55;
  const double g = std::round(face.height() * 0.42);
  const double glyphWidth = b.glyph == Glyph::None ? 0 : b.glyph == Glyph::MakePano ? g * 1.3 : g;
  const double gap = b.glyph == Glyph::None ? 0 : big ? 10 : 6;
  const double pad = big ? 10 : 7;
  const FaceLayout layout = fitFace(b, face.width() - 2 * pad, glyphWidth, gap);
  const bool withNote = !b.note.isEmpty() && layout.lines.size() == 1;
  const QFont nf = font(big ? 11 : 10, false);
  const QFontMetricsF fm(layout.font);
  const QFontMetricsF nm(nf);
  const double lineStep = fm.height() * 0.92;
  const double capHeight = fm.capHeight();
  // Lines are centred on their capital height, which is what the eye centres.
  double blockHeight = (layout.lines.size() - 1) * lineStep + capHeight;
  const double noteStep = nm.ascent() + 5;
  if (withNote) blockHeight += noteStep;

  double widest = layout.widest;
  if (withNote) widest = std::max(widest, textWidth(b.note, nf));
  // Big faces keep their glyphs in one column so the start buttons line up.
  const double left = big ? face.left() + pad : face.left() + (face.width() - (glyphWidth + gap + widest)) / 2;
  paintGlyph(p, b.glyph, QRectF(left, face.center().y() - glyphWidth / 2, glyphWidth, glyphWidth), glyphInk);
  const double tx = left + glyphWidth + gap;
  double y = face.center().y() - blockHeight / 2 + capHeight;
  for (const QString& line : layout.lines) {
    text(p, tx, y, line, layout.font, ink);
    y += lineStep;
  }
  if (withNote) text(p, tx, y - lineStep + noteStep, b.note, nf, noteInk);
}

QImage paintButton(const QImage& under, const ButtonSpec& b, bool pressed) {
  QImage image = under.copy();
  QPainter p(&image);
  setUp(p);
  const double margin = b.w >= 150 ? 3 : 2;
  const QRectF face = QRectF(0, 0, b.w, b.h).adjusted(margin, margin - 0.5, -margin, -margin - 0.5);
  const double radius = std::min(face.height() * 0.2, 12.0);

  if (pressed) {
    for (int i = 4; i >= 1; --i) {
      p.fillPath(rounded(face.adjusted(-i * 0.7, -i * 0.7, i * 0.7, i * 0.7), radius + i * 0.7),
                 QColor(80, 165, 255, 34));
    }
  } else {
    p.fillPath(rounded(face.adjusted(-1, 1, 1, 3), radius + 1), QColor(0, 0, 0, 45));
    p.fillPath(rounded(face.adjusted(0, 1, 0, 2), radius), QColor(0, 0, 0, 90));
  }

  QLinearGradient body(face.topLeft(), face.bottomLeft());
  const QColor* stops = pressed ? kelmira::skin::pressedFace : kelmira::skin::buttonFace;
  body.setColorAt(0, stops[0]);
  body.setColorAt(0.48, stops[1]);
  body.setColorAt(0.52, stops[2]);
  body.setColorAt(1, stops[3]);
  p.fillPath(rounded(face, radius), body);

  QLinearGradient shine(face.topLeft(), face.bottomLeft());
  shine.setColorAt(0, QColor(255, 255, 255, pressed ? 150 : 230));
  shine.setColorAt(0.5, QColor(255, 255, 255, 0));
  p.setPen(QPen(QBrush(shine), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(rounded(face.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1));
  p.setPen(QPen(pressed ? kelmira::skin::pressedEdge : kelmira::skin::buttonEdge, 1));
  p.drawPath(rounded(face.adjusted(0.5, 0.5, -0.5, -0.5), radius));

  const QRectF content = face.translated(0, pressed ? 1 : 0);
  if (pressed) {
    paintButtonFace(p, b, content, Qt::white, QColor(0xE2, 0xEF, 0xFF), Qt::white);
  } else {
    paintButtonFace(p, b, content, kelmira::skin::buttonInk, QColor(0x50, 0x5F, 0x6E), QColor(0x2A, 0x4A, 0x6C));
  }
  return image;
}

// ---------------------------------------------------------------------------------------
// Backgrounds

constexpr int kWidth = 750;
constexpr int kHeight = 540;
const QRect kRoundView(64, 63, 476, 344);
const QRect kPanoramaView(57, 137, 638, 155);

void paintBrand(QPainter& p, double right, double baseline) {
  const QFont f = font(17, true, 0.4);
  const double w = textWidth("Kelmira", f);
  text(p, right - w, baseline, "Kelmira", f, QColor(0xC9, 0xD6, 0xE3));
  paintRingMark(p, QPointF(right - w - 16, baseline - 6), 0.75);
}

// The New/Re-Start button's dock, the same in the round and panorama screens.
void paintRestartDock(QPainter& p) {
  paintTray(p, QRectF(127, 434, 166, 79), 12);
  text(p, 208, 472, "Restart", font(15, true), kTextLight);
  text(p, 208, 490, "a new job", font(11, false), kTextDim);
}

QImage paintStartBackground(const QImage& scene) {
  QImage image = canvas(kWidth, kHeight);
  QPainter p(&image);
  setUp(p);
  paintBackdrop(p, image.rect());

  text(p, 44, 96, "Kelmira", font(62, true, 1), kTextLight);
  text(p, 47, 128, QString::fromUtf8("Round mirror photographs into 360° panoramas"), font(17, false), kTextDim);
  QLinearGradient accent(QPointF(47, 0), QPointF(330, 0));
  accent.setColorAt(0, kAccent);
  accent.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
  p.fillRect(QRectF(47, 146, 283, 3), accent);

  const QPointF ring(134, 268);
  paintMirrorBadge(p, scene, ring, 88, 27, 5);

  const std::array<QString, 3> steps = {"Open a round photograph", "Centre the crop circle",
                                        "Make the panorama"};
  const std::array<QString, 3> notes = {"taken through the panoramic mirror", "click or drag on the ring's centre",
                                        "crop, adjust, save as image or movie"};
  for (int i = 0; i < 3; ++i) {
    const double y = 205 + i * 58;
    p.setPen(Qt::NoPen);
    QLinearGradient disc(QPointF(0, y - 13), QPointF(0, y + 13));
    disc.setColorAt(0, QColor(0x6C, 0xB2, 0xF6));
    disc.setColorAt(1, kAccentDeep);
    p.setBrush(disc);
    p.drawEllipse(QPointF(268, y), 13, 13);
    const QFont digit = font(14, true);
    const QString n = QString::number(i + 1);
    text(p, 268 - textWidth(n, digit) / 2, y + 5, n, digit, Qt::white);
    text(p, 292, y - 1, steps[i], font(15, true), kTextLight);
    text(p, 292, y + 17, notes[i], font(12, false), kTextDim);
  }

  // The unrolled ring below it, with its compass of angles.
  const QRectF strip(44, 396, 476, 62);
  QPainterPath down;
  down.moveTo(134, 368);
  down.lineTo(134, 386);
  arrowHead(down, QPointF(134, 386), std::numbers::pi / 2, 7);
  p.setPen(QPen(kAccent, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(down);
  p.fillPath(rounded(strip.adjusted(-4, -4, 4, 4), 6), QColor(0x05, 0x08, 0x0C));
  p.setPen(QPen(QColor(0x8A, 0x9B, 0xAD), 1));
  p.drawPath(rounded(strip.adjusted(-3.5, -3.5, 3.5, 3.5), 6));
  paintStrip(p, scene, strip, 18);
  const QFont small = font(10, false);
  for (int i = 0; i <= 4; ++i) {
    const double x = strip.left() + strip.width() * i / 4.0;
    p.fillRect(QRectF(x - 0.5, strip.bottom() + 5, 1, 5), kTextDim);
    const QString label = QString::fromUtf8("%1°").arg(i * 90);
    const double w = textWidth(label, small);
    const double lx = i == 0 ? x : i == 4 ? x - w : x - w / 2;
    text(p, lx, strip.bottom() + 22, label, small, kTextDim);
  }

  paintTray(p, QRectF(543, 30, 199, 318));
  const QFont hint = font(10, false);
  const QString about = "Right-click the window for About Kelmira";
  text(p, 742 - textWidth(about, hint), 524, about, hint, QColor(0x6E, 0x82, 0x97));
  return image;
}

QImage paintRoundBackground() {
  QImage image = canvas(kWidth, kHeight);
  QPainter p(&image);
  setUp(p);
  paintBackdrop(p, image.rect());
  text(p, 64, 40, "Round photograph", font(15, true), kTextLight);
  paintBezel(p, kRoundView, 9);

  const QRectF panel(558, 128, 167, 302);
  paintTray(p, panel);
  paintHeading(p, 570, 149, "CROP CIRCLE", panel.right() - 10);
  // A small drawing of the crop circle sitting on a ring's centre.
  const QPointF c(593, 183);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2E, 0x5F, 0x9E));
  p.drawEllipse(c, 20, 20);
  p.setBrush(QColor(0x0B, 0x10, 0x16));
  p.drawEllipse(c, 8, 8);
  p.setPen(QPen(QColor(0x3C, 0xE0, 0x6A), 1.4));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, 20, 20);
  p.drawLine(c + QPointF(-6, 0), c + QPointF(6, 0));
  p.drawLine(c + QPointF(0, -6), c + QPointF(0, 6));
  // The instructions are written by the window itself: they depend on whether the ring was found.
  paintHeading(p, 570, 286, "IMAGE", panel.right() - 10);
  paintLcd(p, QRectF(568, 295, 147, 46));
  paintHeading(p, 570, 386, "PROGRESS", panel.right() - 10);
  paintGroove(p, QRect(578, 397, 127, 20));

  paintRestartDock(p);
  paintBrand(p, 725, 506);
  return image;
}

QImage paintPanoramaBackground() {
  QImage image = canvas(kWidth, kHeight);
  QPainter p(&image);
  setUp(p);
  paintBackdrop(p, image.rect());

  paintTray(p, QRectF(28, 26, 694, 64), 12);
  p.fillRect(QRectF(433.5, 38, 1, 40), QColor(0, 0, 0, 110));
  p.fillRect(QRectF(434.5, 38, 1, 40), QColor(255, 255, 255, 18));
  paintGroove(p, QRect(450, 47, 240, 20));

  text(p, 57, 119, "Panorama", font(15, true), kTextLight);
  text(p, 57 + textWidth("Panorama", font(15, true)) + 14, 119, QString::fromUtf8("Drag the two dotted lines to the rows to keep, then press Crop."),
       font(11, false), kTextDim);
  paintBezel(p, kPanoramaView, 9);

  paintTray(p, QRectF(66, 322, 264, 98));
  paintHeading(p, 80, 340, "IMAGE SIZE", 316);
  paintLcd(p, QRectF(80, 350, 236, 60));

  paintHeading(p, 345, 335, "SAVE", 711);

  paintRestartDock(p);
  paintBrand(p, 725, 506);
  return image;
}

// ---------------------------------------------------------------------------------------
// About box and icon

QImage paintAbout(const QImage& scene) {
  QImage image = canvas(400, 300);
  QPainter p(&image);
  setUp(p);
  paintBackdrop(p, QRectF(0, 0, 400, 232));
  paintMirrorBadge(p, scene, QPointF(316, 112), 62, 19, 4);
  text(p, 26, 86, "Kelmira", font(46, true, 0.8), kTextLight);
  const QFont f = font(13, false);
  text(p, 28, 114, "Round mirror photographs", f, kTextDim);
  text(p, 28, 132, QString::fromUtf8("into 360° panoramas"), f, kTextDim);
  QLinearGradient accent(QPointF(28, 0), QPointF(200, 0));
  accent.setColorAt(0, kAccent);
  accent.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
  p.fillRect(QRectF(28, 148, 172, 2), accent);
  const QFont s = font(11, false);
  text(p, 28, 176, QString::fromUtf8("Unwarp · crop · sharpen · brighten"), s, QColor(0xB5, 0xC5, 0xD6));
  text(p, 28, 193, "Save as BMP, JPEG, TIFF or a", s, QColor(0xB5, 0xC5, 0xD6));
  text(p, 28, 210, "QuickTime VR panorama movie", s, QColor(0xB5, 0xC5, 0xD6));

  // Light footer: the program prints its version at the left and puts OK at the right.
  QLinearGradient footer(QPointF(0, 232), QPointF(0, 300));
  footer.setColorAt(0, QColor(0xF1, 0xF4, 0xF7));
  footer.setColorAt(1, QColor(0xDD, 0xE3, 0xE9));
  p.fillRect(QRectF(0, 232, 400, 68), footer);
  QLinearGradient line(QPointF(0, 0), QPointF(400, 0));
  line.setColorAt(0, kAccentDeep);
  line.setColorAt(1, kAccent);
  p.fillRect(QRectF(0, 230, 400, 2), line);
  return image;
}

QImage paintIcon(int size) {
  QImage image = canvas(size, size);
  QPainter p(&image);
  setUp(p);
  QLinearGradient tile(0, 0, 0, size);
  tile.setColorAt(0, QColor(0x2E, 0x41, 0x56));
  tile.setColorAt(1, QColor(0x12, 0x1A, 0x23));
  p.fillRect(image.rect(), tile);
  paintRingMark(p, QPointF(size / 2.0, size / 2.0), size / 32.0);
  return image;
}

// The desktop's icon: the window icon's tile with rounded corners, clear outside them.
constexpr double kAppIconCorner = 0.19;  // of the size

QImage paintAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  setUp(p);
  QLinearGradient tile(0, 0, 0, size);
  tile.setColorAt(0, QColor(0x2E, 0x41, 0x56));
  tile.setColorAt(1, QColor(0x12, 0x1A, 0x23));
  p.fillPath(rounded(QRectF(0, 0, size, size), kAppIconCorner * size), tile);
  paintRingMark(p, QPointF(size / 2.0, size / 2.0), size / 32.0);
  return image;
}

// The same icon as an SVG drawing on a 32-unit square, for any size.
QString appIconSvg() {
  QString houses;
  const std::array<const char*, 4> walls = {"#e03a34", "#f6c820", "#2f55cc", "#a044c0"};
  for (int i = 0; i < 4; ++i) {
    const double a = std::numbers::pi * (0.25 + 0.5 * i);
    houses += QString::asprintf("  <circle cx=\"%.3f\" cy=\"%.3f\" r=\"1.5\" fill=\"%s\"/>\n", 16 + 8.2 * std::cos(a),
                                16 + 8.2 * std::sin(a), walls[i]);
  }
  return QString::asprintf(
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n"
             "  <defs>\n"
             "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
             "      <stop offset=\"0\" stop-color=\"#2e4156\"/><stop offset=\"1\" stop-color=\"#121a23\"/>\n"
             "    </linearGradient>\n"
             "    <linearGradient id=\"rim\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
             "      <stop offset=\"0\" stop-color=\"#d4dde6\"/><stop offset=\"1\" stop-color=\"#6a7886\"/>\n"
             "    </linearGradient>\n"
             "    <radialGradient id=\"ground\">\n"
             "      <stop offset=\"0.7\" stop-color=\"#4c963e\"/><stop offset=\"1\" stop-color=\"#865e38\"/>\n"
             "    </radialGradient>\n"
             "    <radialGradient id=\"sky\">\n"
             "      <stop offset=\"0.3\" stop-color=\"#255cc4\"/><stop offset=\"1\" stop-color=\"#b4d8f8\"/>\n"
             "    </radialGradient>\n"
             "  </defs>\n"
             "  <rect width=\"32\" height=\"32\" rx=\"%.2f\" fill=\"url(#tile)\"/>\n"
             "  <circle cx=\"16\" cy=\"16\" r=\"15\" fill=\"url(#rim)\"/>\n"
             "  <circle cx=\"16\" cy=\"16\" r=\"14\" fill=\"url(#ground)\"/>\n"
             "  <circle cx=\"16\" cy=\"16\" r=\"9.9\" fill=\"#f4f8fc\"/>\n"
             "  <circle cx=\"16\" cy=\"16\" r=\"9.2\" fill=\"url(#sky)\"/>\n"
             "  <circle cx=\"16\" cy=\"16\" r=\"3.1\" fill=\"#06090d\"/>\n",
             kAppIconCorner * 32) +
         houses + "</svg>\n";
}

// ---------------------------------------------------------------------------------------
// Mock-up screens for the manual: each background with its buttons and sample content

void placeButtons(QPainter& p, const QImage& background, Mode mode, const std::vector<const char*>& skip = {}) {
  for (const ButtonSpec& b : buttonSpecs()) {
    if (b.mode != mode && !(std::string(b.name) == "new-restart" && mode == Mode::Panorama)) continue;
    bool skipped = false;
    for (const char* name : skip) skipped = skipped || std::string(name) == b.name;
    if (skipped) continue;
    p.drawImage(b.x, b.y, paintButton(background.copy(b.x, b.y, b.w, b.h), b, false));
  }
}

// Windows puts the top of the text cell at the given point.
void caption(QPainter& p, int x, int y, const QString& s, int pixels) {
  const QFont f = font(pixels, false);
  text(p, x, y + QFontMetricsF(f).ascent(), s, f, Qt::black);
}

QImage mockRound(const QImage& background, const QImage& scene) {
  QImage image = background.copy();
  QPainter p(&image);
  setUp(p);
  placeButtons(p, background, Mode::Round);
  // A 1600 x 1200 photograph shown 458 x 344; a crop radius of 480 shows as 137.
  p.setClipRect(kRoundView);
  const QPointF c(kRoundView.left() + 229, kRoundView.top() + 172);
  const QImage ring = paintRing(scene, 344, 62, 171);
  p.drawImage(QPointF(c.x() - 172, c.y() - 172), ring);
  p.setPen(QPen(QColor(0, 255, 0), 2));
  p.setBrush(Qt::NoBrush);
  for (const double r : {13.0, 137.0, 159.0, 182.0}) p.drawEllipse(c, r, r);
  p.drawLine(c + QPointF(0, -12), c + QPointF(0, 12));
  p.drawLine(c + QPointF(-12, 0), c + QPointF(12, 0));
  p.setClipping(false);
  kelmira::paintRingInstructions(p, kelmira::RingInstructions::RingFound);
  caption(p, 605, 320, "JPG 1600 x 1200", 9);
  return image;
}

QImage mockPanorama(const QImage& background, const QImage& scene) {
  QImage image = background.copy();
  QPainter p(&image);
  setUp(p);
  placeButtons(p, background, Mode::Panorama);
  // A 1809 x 288 panorama fitted to the view's width.
  const QRect shown(kPanoramaView.left(), kPanoramaView.top(), 638, 102);
  p.drawImage(shown, scene, QRect(0, 12, 1440, 229));
  p.fillRect(QRect(shown.left(), shown.top(), shown.width(), 12), Qt::black);
  p.fillRect(QRect(shown.left(), shown.top() + 88, shown.width(), 14), Qt::black);
  p.setPen(QPen(QColor(0, 255, 0), 1, Qt::DotLine));
  p.drawLine(shown.left(), shown.top() + 12, shown.right(), shown.top() + 12);
  p.drawLine(shown.left(), shown.top() + 88, shown.right(), shown.top() + 88);
  caption(p, 100, 385, "PANO 1809 x 288", 17);
  return image;
}

QImage mockStart(const QImage& background) {
  QImage image = background.copy();
  QPainter p(&image);
  placeButtons(p, background, Mode::Start);
  return image;
}

QImage mockAbout(const QImage& about) {
  QImage image = about.copy();
  QPainter p(&image);
  setUp(p);
  text(p, 16, 276, "Version 2.1000", font(12, false), Qt::black);
  const QRectF ok(310, 262, 75, 25);
  QLinearGradient body(ok.topLeft(), ok.bottomLeft());
  body.setColorAt(0, QColor(0xFA, 0xFB, 0xFC));
  body.setColorAt(1, QColor(0xD8, 0xDD, 0xE2));
  p.fillPath(rounded(ok, 4), body);
  p.setPen(QPen(QColor(0x6A, 0x76, 0x82), 1));
  p.drawPath(rounded(ok.adjusted(0.5, 0.5, -0.5, -0.5), 4));
  p.setFont(font(12, false));
  p.setPen(Qt::black);
  p.drawText(ok, Qt::AlignCenter, "OK");
  return image;
}

// ---------------------------------------------------------------------------------------

bool save(const QImage& image, const QString& folder, const QString& name) {
  const QString path = folder + "/" + name;
  if (!image.convertToFormat(QImage::Format_RGB888).save(path, "PNG")) {
    std::fprintf(stderr, "kelmira-make-skin: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QString skinFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res/skin");
  const QString manualFolder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  if (!loadFonts()) {
    std::fprintf(stderr, "kelmira-make-skin: DejaVu Sans not found (install fonts-dejavu-core)\n");
    return 1;
  }
  if (!QDir().mkpath(skinFolder) || (!manualFolder.isEmpty() && !QDir().mkpath(manualFolder))) {
    std::fprintf(stderr, "kelmira-make-skin: cannot make the output folder\n");
    return 1;
  }

  const QImage scene = paintScene();
  const QImage start = paintStartBackground(scene);
  const QImage round = paintRoundBackground();
  const QImage panorama = paintPanoramaBackground();
  bool ok = save(start, skinFolder, "background-start.png") && save(round, skinFolder, "background-round.png") &&
            save(panorama, skinFolder, "background-panorama.png");

  // Each button is painted over the background where it sits, so its corners blend. The
  // arrow buttons are never shown; they get the bare backdrop.
  QImage plain = canvas(kWidth, kHeight);
  {
    QPainter p(&plain);
    paintBackdrop(p, plain.rect());
  }
  std::vector<std::pair<QString, QImage>> shownButtons;
  for (const ButtonSpec& b : buttonSpecs()) {
    const bool hidden = b.mode == Mode::Hidden;
    const QImage& where = b.mode == Mode::Start ? start : b.mode == Mode::Round ? round : hidden ? plain : panorama;
    const QImage under = where.copy(hidden ? kWidth - b.w - 10 : b.x, hidden ? kHeight / 2 : b.y, b.w, b.h);
    const QImage normal = paintButton(under, b, false);
    ok = ok && save(normal, skinFolder, QString("button-%1-normal.png").arg(b.name)) &&
         save(paintButton(under, b, true), skinFolder, QString("button-%1-pressed.png").arg(b.name));
    if (!hidden) shownButtons.emplace_back(QString("button-%1.png").arg(b.name), normal);
  }
  const QImage about = paintAbout(scene);
  ok = ok && save(about, skinFolder, "about.png") && save(paintIcon(32), skinFolder, "icon-32.png") &&
       save(paintIcon(16), skinFolder, "icon-16.png");

  if (ok && !manualFolder.isEmpty()) {
    ok = save(mockStart(start), manualFolder, "screen-start.png") &&
         save(mockRound(round, scene), manualFolder, "screen-round.png") &&
         save(mockPanorama(panorama, scene), manualFolder, "screen-panorama.png") &&
         save(mockAbout(about), manualFolder, "screen-about.png");
    for (const auto& [name, image] : shownButtons) ok = ok && save(image, manualFolder, name);
  }
  // The desktop's icons, in the sizes of the hicolor theme and as a drawing.
  const QString iconFolder = QFileInfo(skinFolder).dir().filePath("icons");
  ok = ok && QDir().mkpath(iconFolder);
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString path = QString("%1/kelmira-%2.png").arg(iconFolder).arg(size);
    ok = ok && paintAppIcon(size).save(path, "PNG");
    if (ok) std::printf("%s %dx%d\n", qPrintable(path), size, size);
  }
  QFile svg(iconFolder + "/kelmira.svg");
  ok = ok && svg.open(QIODevice::WriteOnly | QIODevice::Truncate) && svg.write(appIconSvg().toUtf8()) > 0;
  return ok ? 0 : 1;
}
