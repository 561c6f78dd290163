#pragma once

// Round photographs with a known ring, for the ring finder's tests and benchmark: a
// textured scene unwarped backwards through the mirror model (simulateRing) at a known
// centre and size, set in a plain housing ring on a textured background, then darkened
// towards the corners, made noisy and passed through JPEG like a camera's picture.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/image_stream.h"
#include "image/jpeg_codec.h"
#include "unwarp/ring_simulator.h"

namespace kelmira::test {

struct SyntheticRing {
  int width = 1600;
  int height = 1200;
  double centreX = 800;
  double centreY = 600;
  double radius = 600;  // where the scene ends
  unsigned seed = 1;
  double housing = 0.12;        // thickness of the plain housing ring, in radii
  int housingGrey = 40;         // its brightness
  double vignetting = 0.35;     // how much darker the far corners are
  double noise = 4;             // standard deviation of the grain
  int jpegQuality = 85;         // 0: no JPEG round trip
  double cameraOffset = 0;      // the camera's own dark image in the middle, this far off centre (radii)
  bool grey = false;            // a black-and-white picture
};

class NoiseSource {
 public:
  explicit NoiseSource(unsigned seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  double uniform() { return (next() & 0xFFFFFF) / double(0x1000000); }
  double gaussian() {
    const double u = std::max(uniform(), 1e-9), v = uniform();
    return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * v);
  }

 private:
  std::uint32_t state_;
};

// Smooth random values on a lattice `cell` pixels apart, read bilinearly; wraps in x.
class ValueNoise {
 public:
  ValueNoise(int width, int height, int cell, NoiseSource& random)
      : cell_(cell), columns_(width / cell + 2), rows_(height / cell + 2), values_(columns_ * rows_) {
    for (double& v : values_) v = random.uniform();
  }
  double at(double x, double y) const {
    const double gx = x / cell_, gy = y / cell_;
    const int x0 = static_cast<int>(gx), y0 = static_cast<int>(gy);
    const double fx = gx - x0, fy = gy - y0;
    const auto v = [&](int cx, int cy) { return values_[(cy % rows_) * columns_ + (cx % columns_)]; };
    const double top = v(x0, y0) * (1 - fx) + v(x0 + 1, y0) * fx;
    const double bottom = v(x0, y0 + 1) * (1 - fx) + v(x0 + 1, y0 + 1) * fx;
    return top * (1 - fy) + bottom * fy;
  }

 private:
  int cell_;
  int columns_;
  int rows_;
  std::vector<double> values_;
};

// A panorama with the texture of a real scene at every height: sky with clouds above,
// buildings and trees along the middle, ground with grain below.
inline void paintTexturedPanorama(DibImage& panorama, int width, int height, unsigned seed) {
  NoiseSource random(seed);
  const ValueNoise coarse(width, height, std::max(4, height / 6), random);
  const ValueNoise fine(width, height, std::max(2, height / 40), random);
  const ValueNoise grain(width, height, 2, random);
  panorama.allocate(width, height);
  std::uint8_t* p = panorama.beginAccess();
  std::vector<int> buildingTop(width, height);
  for (int x = 0; x < width;) {
    const int w = 5 + static_cast<int>(random.uniform() * width / 30);
    const int top = static_cast<int>(height * (0.2 + 0.3 * random.uniform()));
    for (int i = x; i < std::min(width, x + w); ++i) buildingTop[i] = random.uniform() < 0.8 ? top : height;
    x += w;
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      const double texture = 0.5 * coarse.at(x, y) + 0.3 * fine.at(x, y) + 0.2 * grain.at(x, y);
      double r, g, b;
      if (y < buildingTop[x] && y < height / 2) {  // sky and clouds
        r = 120 + 110 * texture;
        g = 150 + 90 * texture;
        b = 200 + 50 * texture;
      } else if (y < height / 2) {  // walls with windows
        const bool window = (x / 4) % 3 == 0 && (y / 5) % 2 == 0;
        r = window ? 40 : 150 * texture + 60;
        g = window ? 50 : 120 * texture + 50;
        b = window ? 70 : 100 * texture + 40;
      } else {  // ground
        r = 60 + 140 * texture;
        g = 70 + 120 * texture;
        b = 40 + 80 * texture;
      }
      p[0] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
      p[1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
      p[2] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
    }
  panorama.endAccess();
}

// Paints the photograph into `photo`; `scratch` is a folder for the JPEG round trip.
inline void makeSyntheticRingPhoto(const SyntheticRing& truth, DibImage& photo, const std::string& scratch) {
  NoiseSource random(truth.seed * 7919u + 17);
  const int side = 2 * static_cast<int>(std::ceil(truth.radius)) + 2;
  // The ring rendered on its own with radius exactly truth.radius: simulateRing puts the
  // scene's edge at half the picture's height.
  DibImage panorama;
  paintTexturedPanorama(panorama, std::max(64, static_cast<int>(0.6 * truth.radius * 6.283185307179586)),
                        std::max(16, static_cast<int>(0.6 * truth.radius)), truth.seed);
  DibImage ring;
  ring.allocate(side, side);
  const double ringCentre = side / 2.0;
  const ImageView ringView{ring.beginAccess(), std::uint32_t(side), std::uint32_t(side), 3, 3u * std::size_t(side)};
  const SourceView panoramaView{panorama.pixels(), std::uint32_t(panorama.width()), std::uint32_t(panorama.height()), 3,
                                3u * std::size_t(panorama.width())};
  // simulateRing scales by the picture's height; a picture 2R high puts the edge at R.
  const ImageView scaled{ringView.pixels, ringView.width, std::uint32_t(2 * truth.radius + 0.5), 3, ringView.stride};
  simulateRing(panoramaView, scaled, ringCentre, ringCentre);
  ring.endAccess();

  const ValueNoise background(truth.width, truth.height, 24, random);
  const ValueNoise backgroundFine(truth.width, truth.height, 5, random);
  photo.allocate(truth.width, truth.height);
  std::uint8_t* p = photo.beginAccess();
  const double farthest = std::hypot(truth.width, truth.height) / 2;
  for (int y = 0; y < truth.height; ++y)
    for (int x = 0; x < truth.width; ++x, p += 3) {
      const double dx = x - truth.centreX, dy = y - truth.centreY;
      const double d = std::hypot(dx, dy);
      double rgb[3];
      const double camera = std::hypot(dx - truth.cameraOffset * truth.radius, dy + 0.7 * truth.cameraOffset * truth.radius);
      if (truth.cameraOffset != 0 && camera <= 0.33 * truth.radius) {
        rgb[0] = rgb[1] = rgb[2] = 25 + 20 * (camera / (0.33 * truth.radius));
      } else if (d <= truth.radius) {
        const int rx = static_cast<int>(std::lround(ringCentre + dx)), ry = static_cast<int>(std::lround(ringCentre + dy));
        const std::uint8_t* q = ring.pixels() + 3 * (std::size_t(ry) * side + rx);
        for (int k = 0; k < 3; ++k) rgb[k] = q[k];
      } else if (d <= truth.radius * (1 + truth.housing)) {
        const double shade = truth.housingGrey + 10 * (d - truth.radius) / (truth.radius * truth.housing);
        rgb[0] = rgb[1] = rgb[2] = shade;
      } else {
        const double t = 0.6 * background.at(x, y) + 0.4 * backgroundFine.at(x, y);
        rgb[0] = 90 + 120 * t;
        rgb[1] = 80 + 110 * t;
        rgb[2] = 70 + 100 * t;
      }
      if (truth.grey) rgb[0] = rgb[1] = rgb[2] = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
      const double corner = std::hypot(x - truth.width / 2.0, y - truth.height / 2.0) / farthest;
      const double light = 1 - truth.vignetting * corner * corner;
      const double sharedGrain = truth.noise * random.gaussian();
      for (int k = 0; k < 3; ++k) {
        const double grain = truth.grey ? sharedGrain : truth.noise * random.gaussian();
        p[k] = static_cast<std::uint8_t>(std::clamp(rgb[k] * light + grain, 0.0, 255.0));
      }
    }
  photo.endAccess();
  if (truth.jpegQuality > 0) {
    const std::string path = scratch + "/synthetic-ring.jpg";
    std::unique_ptr<ImageStream> out = openForWriting(path);
    writeJpeg(*out, photo.pixels(), photo.width(), photo.height(), truth.jpegQuality, false);
    closeStream(std::move(out));
    photo.loadFromFile(path);
  }
}

}  // namespace kelmira::test
