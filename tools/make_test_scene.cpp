// Paints a 360-degree test scene: sky above, grassy ground below, the compass letters N, E, S
// and W a quarter turn apart with a coloured landmark under each, and a tick every ten
// degrees on the horizon, so that a panorama that comes out upside down, mirrored or
// shifted shows it at a glance. Usage: kelmira-make-scene OUT.bmp [WIDTHxHEIGHT]
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "image/dib_image.h"

namespace {

struct Colour {
  std::uint8_t r, g, b;
};

class Canvas {
 public:
  Canvas(kelmira::DibImage& image) : width_(image.width()), height_(image.height()), pixels_(image.beginAccess()) {}

  void set(int x, int y, Colour c) {
    x = ((x % width_) + width_) % width_;  // the scene wraps around
    if (y < 0 || y >= height_) return;
    std::uint8_t* p = pixels_ + 3 * (static_cast<std::size_t>(y) * width_ + x);
    p[0] = c.r, p[1] = c.g, p[2] = c.b;
  }
  void fillRect(int x0, int y0, int x1, int y1, Colour c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) set(x, y, c);
  }
  void fillDisc(int cx, int cy, int radius, Colour c) {
    for (int y = -radius; y <= radius; ++y)
      for (int x = -radius; x <= radius; ++x)
        if (x * x + y * y <= radius * radius) set(cx + x, cy + y, c);
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_;
  int height_;
  std::uint8_t* pixels_;
};

// Smooth noise from 0 to 1 on a lattice `cell` pixels apart, the same for every run.
double latticeNoise(int x, int y, int cell, int wrapWidth) {
  const auto hash = [](int i, int j) {
    std::uint32_t h = static_cast<std::uint32_t>(i) * 374761393u + static_cast<std::uint32_t>(j) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
  };
  const int columns = std::max(1, wrapWidth / cell);
  const double gx = double(x) / cell, gy = double(y) / cell;
  const int x0 = static_cast<int>(gx), y0 = static_cast<int>(gy);
  const double fx = gx - x0, fy = gy - y0;
  const double top = hash(x0 % columns, y0) * (1 - fx) + hash((x0 + 1) % columns, y0) * fx;
  const double bottom = hash(x0 % columns, y0 + 1) * (1 - fx) + hash((x0 + 1) % columns, y0 + 1) * fx;
  return top * (1 - fy) + bottom * fy;
}

// 5 x 7 glyphs, one row a string, most significant column first.
const std::array<const char*, 7>& glyph(char letter) {
  static const std::array<const char*, 7> n{"X...X", "XX..X", "X.X.X", "X.X.X", "X..XX", "X...X", "X...X"};
  static const std::array<const char*, 7> e{"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"};
  static const std::array<const char*, 7> s{".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."};
  static const std::array<const char*, 7> w{"X...X", "X...X", "X...X", "X.X.X", "X.X.X", "XX.XX", "X...X"};
  switch (letter) {
    case 'N': return n;
    case 'E': return e;
    case 'S': return s;
    default: return w;
  }
}

void drawLetter(Canvas& canvas, char letter, int centreX, int top, int cell, Colour c) {
  const auto& rows = glyph(letter);
  const int left = centreX - 5 * cell / 2;
  for (int row = 0; row < 7; ++row)
    for (int column = 0; column < 5; ++column)
      if (rows[row][column] == 'X')
        canvas.fillRect(left + column * cell, top + row * cell, left + (column + 1) * cell, top + (row + 1) * cell, c);
}

void paintScene(Canvas& canvas) {
  const int w = canvas.width();
  const int h = canvas.height();
  const int horizon = h * 62 / 100;
  for (int y = 0; y < h; ++y) {
    Colour c;
    if (y < horizon) {
      const double k = double(y) / horizon;  // deep blue overhead, pale at the horizon
      c = {Colour{static_cast<std::uint8_t>(40 + 150 * k), static_cast<std::uint8_t>(90 + 130 * k),
                  static_cast<std::uint8_t>(190 + 60 * k)}};
    } else {
      const double k = double(y - horizon) / (h - horizon);
      c = {Colour{static_cast<std::uint8_t>(70 + 60 * k), static_cast<std::uint8_t>(130 - 40 * k),
                  static_cast<std::uint8_t>(50 + 10 * k)}};
      // Grass and gravel all round, as real ground has, rather than one flat colour.
      for (int x = 0; x < w; ++x) {
        const double grain = 0.55 * latticeNoise(x, y, std::max(2, h / 40), w) +
                             0.45 * latticeNoise(x, y, std::max(2, h / 150), w);
        const double light = 0.7 + 0.6 * grain;
        canvas.set(x, y, {static_cast<std::uint8_t>(std::min(255.0, c.r * light)),
                          static_cast<std::uint8_t>(std::min(255.0, c.g * light)),
                          static_cast<std::uint8_t>(std::min(255.0, c.b * light))});
      }
      continue;
    }
    canvas.fillRect(0, y, w, y + 1, c);
  }
  canvas.fillRect(0, horizon - 2, w, horizon + 2, {30, 30, 30});
  for (int degree = 0; degree < 360; degree += 10) {
    const int x = degree * w / 360;
    const int length = degree % 90 == 45 ? h / 6 : h / 20;
    canvas.fillRect(x - 2, horizon, x + 2, horizon + length, {240, 240, 240});
  }
  canvas.fillDisc(w * 3 / 16, h / 6, h / 14, {255, 220, 60});  // the sun, between N and E

  const char letters[] = {'N', 'E', 'S', 'W'};
  const Colour landmarks[] = {{200, 30, 30}, {240, 200, 20}, {30, 60, 200}, {150, 40, 170}};
  const int cell = std::max(2, h / 28);
  for (int k = 0; k < 4; ++k) {
    const int x = (2 * k + 1) * w / 8;
    drawLetter(canvas, letters[k], x, h / 12, cell, {20, 20, 40});
    const int towerWidth = w / 40;
    canvas.fillRect(x - towerWidth, horizon - h / 5, x + towerWidth, horizon, landmarks[k]);
    canvas.fillRect(x - towerWidth / 3, horizon - h / 5 + h / 30, x + towerWidth / 3, horizon - h / 5 + h / 12,
                    {250, 250, 250});
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kelmira-make-scene OUT.bmp [WIDTHxHEIGHT]\n");
    return 2;
  }
  int width = 3768;
  int height = 600;
  if (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "kelmira-make-scene: size must be WIDTHxHEIGHT\n");
    return 2;
  }
  kelmira::DibImage scene;
  if (scene.allocate(width, height) != kelmira::ImageError::None) {
    std::fprintf(stderr, "kelmira-make-scene: no memory for %dx%d\n", width, height);
    return 1;
  }
  Canvas canvas(scene);
  paintScene(canvas);
  scene.endAccess();
  const kelmira::ImageErrorCode code = scene.saveToFile(argv[1], kelmira::FileTypeBmp);
  if (code != kelmira::ImageError::None) {
    std::fprintf(stderr, "kelmira-make-scene: %s: %s\n", argv[1], kelmira::errorText(code).c_str());
    return 1;
  }
  return 0;
}
