#pragma once

// Round photographs through mirrors other than the attachment's, with a known ring, for
// the ring finder: the rigs of robots and vehicles (a hyperbolic mirror in a transparent
// tube, or in a dark surround, its polished rim bright with highlights) and bare mirrors
// with no housing at all, the background's texture running right up to the rim, and in
// the middle either the background seen through the mirror's hole or the camera's dark
// reflection. The scene is spread evenly from an inner radius to the rim, sky outside or
// inside; then vignetting, grain and a JPEG round trip as a camera would give.
#include <algorithm>
#include <cmath>
#include <string>

#include "image/dib_image.h"
#include "support/synthetic_ring.h"

namespace kelmira::test {

enum class OtherMirror {
  TubeBrightRim,          // background blurred through a clear tube round a bright rim
  DarkSurroundBrightRim,  // near black round a bright rim
  BareBackgroundThrough,  // no housing; the background through the middle too
  BareCameraInMiddle,     // no housing; the camera's dark reflection in the middle
};

inline const char* otherMirrorName(OtherMirror kind) {
  switch (kind) {
    case OtherMirror::TubeBrightRim: return "tube, bright rim";
    case OtherMirror::DarkSurroundBrightRim: return "dark surround, bright rim";
    case OtherMirror::BareBackgroundThrough: return "no housing, background through the middle";
    case OtherMirror::BareCameraInMiddle: return "no housing, camera in the middle";
  }
  return "";
}

struct OtherMirrorPhoto {
  OtherMirror kind = OtherMirror::TubeBrightRim;
  int width = 1280;
  int height = 1024;
  double centreX = 640;
  double centreY = 512;
  double radius = 420;        // where the scene ends; 0: no mirror, the background alone
  double inner = 0.3;         // where it starts, in radii
  bool skyOutside = true;     // a hyperbolic mirror below the camera's view: sky at the rim
  double cameraOffset = 0;    // the camera's reflection this far off centre (radii)
  double rimWidth = 4;        // the bright rim, in pixels
  unsigned seed = 1;
  double vignetting = 0.3;
  double noise = 3;
  int jpegQuality = 85;
};

// A case of each kind for a seed: size, place, scene, rim, light and grain vary.
inline OtherMirrorPhoto otherMirrorCase(OtherMirror kind, unsigned seed) {
  NoiseSource random(seed * 613u + 11 + static_cast<unsigned>(kind) * 7);
  static const int sizes[][2] = {{1280, 1024}, {1616, 1080}, {640, 480}, {1024, 768}, {1600, 1200}};
  OtherMirrorPhoto photo;
  photo.kind = kind;
  photo.seed = seed;
  photo.width = sizes[seed % 5][0];
  photo.height = sizes[seed % 5][1];
  const int shorter = std::min(photo.width, photo.height);
  photo.radius = std::round(shorter * (0.3 + 0.17 * random.uniform()));
  photo.centreX = photo.width / 2.0 + (random.uniform() - 0.5) * 0.1 * photo.width;
  photo.centreY = photo.height / 2.0 + (random.uniform() - 0.5) * 0.1 * photo.height;
  photo.inner = 0.2 + 0.15 * random.uniform();
  photo.skyOutside = seed % 2 == 0;
  photo.cameraOffset = kind == OtherMirror::BareCameraInMiddle ? 0.06 * random.uniform() : 0;
  photo.rimWidth = 2 + 5 * random.uniform();
  photo.vignetting = 0.45 * random.uniform();
  photo.noise = 2 + 5 * random.uniform();
  photo.jpegQuality = 70 + static_cast<int>(25 * random.uniform());
  return photo;
}

inline void makeOtherMirrorPhoto(const OtherMirrorPhoto& truth, DibImage& photo, const std::string& scratch) {
  NoiseSource random(truth.seed * 4099u + 5);
  DibImage scene;
  const int sceneWidth = std::max(64, static_cast<int>(truth.radius * 6.283185307179586 * 0.7));
  const int sceneHeight = std::max(16, static_cast<int>(truth.radius * (1 - truth.inner)));
  paintTexturedPanorama(scene, sceneWidth, sceneHeight, truth.seed + 1000);
  const ValueNoise background(truth.width, truth.height, 30, random);
  const ValueNoise backgroundFine(truth.width, truth.height, 6, random);
  const ValueNoise glints(1024, 16, 40, random);
  const double glintAt = 6.283185307179586 * random.uniform();
  const bool bare = truth.kind == OtherMirror::BareBackgroundThrough || truth.kind == OtherMirror::BareCameraInMiddle;
  photo.allocate(truth.width, truth.height);
  std::uint8_t* p = photo.beginAccess();
  const double farthest = std::hypot(truth.width, truth.height) / 2;
  const auto backgroundAt = [&](double x, double y, double rgb[3]) {
    const double t = 0.6 * background.at(x, y) + 0.4 * backgroundFine.at(x, y);
    rgb[0] = 70 + 150 * t;
    rgb[1] = 75 + 130 * t;
    rgb[2] = 60 + 120 * t;
  };
  for (int y = 0; y < truth.height; ++y)
    for (int x = 0; x < truth.width; ++x, p += 3) {
      const double dx = x - truth.centreX, dy = y - truth.centreY;
      const double d = std::hypot(dx, dy);
      const double angle = std::atan2(dy, dx);
      double rgb[3];
      const double innerRadius = truth.inner * truth.radius;
      const double camera = std::hypot(dx - truth.cameraOffset * truth.radius, dy + 0.6 * truth.cameraOffset * truth.radius);
      if (truth.radius > 0 && d <= truth.radius && d >= innerRadius) {
        // The scene, nearest sample, one row a step of radius.
        const double along = (d - innerRadius) / (truth.radius - innerRadius);
        const double row = (truth.skyOutside ? 1 - along : along) * (scene.height() - 1);
        const double column = (angle + 3.141592653589793) / 6.283185307179586 * (scene.width() - 1);
        const std::uint8_t* q = scene.pixels() + 3 * (std::size_t(std::lround(row)) * scene.width() +
                                                    std::size_t(std::lround(column)));
        for (int k = 0; k < 3; ++k) rgb[k] = q[k];
      } else if (d < innerRadius) {
        if (truth.kind == OtherMirror::BareBackgroundThrough) {
          backgroundAt(x, y, rgb);
        } else {
          // The camera's reflection: dark, a soft edge, on a dim lens barrel.
          const double lens = camera / innerRadius;
          rgb[0] = rgb[1] = rgb[2] = lens < 0.8 ? 18 + 10 * lens : 30 + 40 * (lens - 0.8);
        }
      } else if (!bare && d <= truth.radius + truth.rimWidth) {
        // The polished rim: bright, brighter still where it catches the light.
        const double glint = glints.at(512 + 160 * std::cos(angle - glintAt), 8 + 4 * std::sin(angle - glintAt));
        const double level = 170 + 60 * glint + (std::cos(angle - glintAt) > 0.9 ? 60 : 0);
        rgb[0] = rgb[1] = rgb[2] = level;
      } else if (truth.kind == OtherMirror::DarkSurroundBrightRim) {
        rgb[0] = rgb[1] = rgb[2] = 14 + 12 * backgroundFine.at(x, y);
      } else {
        backgroundAt(x, y, rgb);
        if (truth.kind == OtherMirror::TubeBrightRim && d < 1.25 * truth.radius) {
          // Through the tube: dimmer and bluish, its far wall a faint lighter circle.
          for (double& v : rgb) v *= 0.75;
          rgb[2] += 12;
          if (std::abs(d - 1.18 * truth.radius) < 2) {
            for (double& v : rgb) v += 25;
          }
        }
      }
      const double corner = std::hypot(x - truth.width / 2.0, y - truth.height / 2.0) / farthest;
      const double light = 1 - truth.vignetting * corner * corner;
      for (int k = 0; k < 3; ++k) {
        p[k] = static_cast<std::uint8_t>(std::clamp(rgb[k] * light + truth.noise * random.gaussian(), 0.0, 255.0));
      }
    }
  photo.endAccess();
  if (truth.jpegQuality > 0) {
    const std::string path = scratch + "/other-mirror.jpg";
    std::unique_ptr<ImageStream> out = openForWriting(path);
    writeJpeg(*out, photo.pixels(), photo.width(), photo.height(), truth.jpegQuality, false);
    closeStream(std::move(out));
    photo.loadFromFile(path);
  }
}

}  // namespace kelmira::test
