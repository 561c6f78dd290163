#pragma once

// Round photographs painted through each kind of mirror, from the tools' own formulas (a
// world of 10-degree elevation bands and 45-degree azimuth sectors), with the mirror's
// file as the tool writes it; and the check of a 360-degree photo made of one against its
// Photo Sphere fields, as exiftool reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <cstring>
#include <memory>

#include "image/dib_image.h"
#include "mirror/calibrated_panorama.h"
#include "mirror/described_mirror.h"
#include "mirror/mirror_file_reader.h"
#include "mirror/mirror_test_support.h"
#include "unwarp/row_elevations.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira::test {

// A mirror's file and its model as read, the photograph's size and placement, and the ray
// the tool's own formula gives a point of the photograph (in the camera frame of worldOf;
// none where the mirror shows nothing): a formula painted 4 x 4 times a pixel, or one ray
// for each pixel's middle.
using RayFormula = std::function<std::optional<Vec3>(double x, double y)>;
struct PaintedRig {
  std::string name;  // the file's
  std::string text;  // as the tool writes it
  std::unique_ptr<MirrorModel> model;
  ImageSize photo;
  PanoramaPlacement placement;
  RayFormula formula;
  std::vector<std::optional<Vec3>> rays;
};

// The camera frame's ray at elevation `elevation` (degrees, away from the camera) and
// angle `angle` (radians, clockwise on the photograph).
inline Vec3 rayAt(double elevation, double angle) {
  const double e = elevation / kDeg;
  return {std::cos(e) * std::cos(angle), std::cos(e) * std::sin(angle), -std::sin(e)};
}

// A radially symmetric mirror: the elevation at a radius in pixels.
inline RayFormula radialRays(ImagePoint centre, const std::function<std::optional<double>(double)>& elevationAt) {
  return [=](double x, double y) -> std::optional<Vec3> {
    const std::optional<double> e = elevationAt(std::hypot(x - centre.x, y - centre.y));
    if (!e) return std::nullopt;
    return rayAt(*e, std::atan2(y - centre.y, x - centre.x));
  };
}

inline PaintedRig ocamPaintedRig() {
  const OcamRig m = asWritten(ocamRig());
  const std::string text = ocamCalibText(m);
  PaintedRig rig{"calib_results.txt", text, readMirrorText(text, "calib_results.txt", ImageSize{640, 480}).model,
                 {640, 480}, {}, {}, {}};
  rig.formula = [m](double x, double y) -> std::optional<Vec3> {
    const Vec3 v = ocamCam2World(m, y, x);  // (row, column, z away from the camera)
    return Vec3{v[1], v[0], -v[2]};
  };
  return rig;
}

#if KELMIRA_HAVE_OPENCV_OMNIDIR
// One ray for each pixel, as OpenCV's projection puts them.
inline PaintedRig unifiedPaintedRig(const std::string& name, const UnifiedRig& r, const std::string& text) {
  PaintedRig rig{name, text, readMirrorText(text, name, ImageSize{r.width, r.height}).model, {r.width, r.height}, {}, {}, {}};
  std::vector<cv::Vec2d> pixels;
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) pixels.push_back({static_cast<double>(x), static_cast<double>(y)});
  }
  rig.rays = opencvUnproject(r, pixels);
  return rig;
}

inline std::string omnidirYaml(const UnifiedRig& r) {
  cv::FileStorage fs(".yaml", cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
  fs << "camera_matrix" << cv::Mat(cameraMatrix(r));
  fs << "distortion_coefficients" << cv::Mat(cv::Matx14d(r.k1, r.k2, r.p1, r.p2));
  fs << "xi" << r.xi << "image_width" << r.width << "image_height" << r.height;
  return fs.releaseAndGetString();
}

inline PaintedRig omnidirPaintedRig() { return unifiedPaintedRig("omni.yaml", omnidirRig(), omnidirYaml(omnidirRig())); }
inline PaintedRig kalibrPaintedRig() {
  return unifiedPaintedRig("camchain.yaml", kalibrRig(), kalibrCamchainText(kalibrRig()));
}
#endif

inline PaintedRig tablePaintedRig(ImagePoint centre = {300.4, 299.6}) {
  // Five lines of a mirror that sees -80 degrees at a tenth of the rim and 25 at the rim.
  const std::vector<std::array<double, 2>> table{{0.1, -80}, {0.3, -50}, {0.6, -15}, {0.8, 5}, {1.0, 25}};
  std::string text = "# radius,elevation\n";
  for (const auto& [f, e] : table) text += std::to_string(f) + "," + std::to_string(e) + "\n";
  // The largest circle about the centre inside 600 x 600.
  const double rim = std::min({centre.x, centre.y, 599 - centre.x, 599 - centre.y});
  PaintedRig rig{"mirror.txt", text, readMirrorText(text, "mirror.txt", ImageSize{600, 600}).model, {600, 600}, {}, {}, {}};
  rig.placement.centre = centre;
  rig.formula = radialRays(centre, [=](double r) -> std::optional<double> {
    const double f = r / rim;
    for (std::size_t i = 1; i < table.size(); ++i) {
      if (f >= table[i - 1][0] && f <= table[i][0]) {
        return table[i - 1][1] + (table[i][1] - table[i - 1][1]) * (f - table[i - 1][0]) / (table[i][0] - table[i - 1][0]);
      }
    }
    return std::nullopt;
  });
  return rig;
}

inline PaintedRig describedPaintedRig() {
  const ImagePoint centre{400, 300};
  const double rim = 280;
  PaintedRig rig{"described", describedMirrorTableText(), std::make_unique<DescribedMirror>(), {800, 600}, {}, {}, {}};
  rig.placement.centre = centre;
  rig.placement.rimRadius = rim;
  // The classic unwarp's scale: ringScaleForRadius pixels per unit of the profile's radius.
  rig.formula = radialRays(centre, [=](double r) -> std::optional<double> {
    const double t = r / ringScaleForRadius(rim);
    if (t < 1.76 || t > 4.2599) return std::nullopt;
    return -elevationForRadius(t);  // away from its camera, which looks down on it
  });
  return rig;
}

// The world's colour a ray sees.
inline std::array<std::uint8_t, 3> colourOf(const std::optional<Vec3>& ray, bool cameraBelow) {
  if (!ray) return {0, 0, 0};
  const auto [elevation, azimuth] = worldOf(*ray, cameraBelow);
  return worldColour(elevation, azimuth);
}

// The round photograph the rig takes of the world of worldColour.
inline void paint(const PaintedRig& rig, bool cameraBelow, DibImage& photo) {
  EXPECT_EQ(photo.allocate(rig.photo.width, rig.photo.height), ImageError::None);
  std::uint8_t* p = photo.beginAccess();
  for (int y = 0; y < rig.photo.height; ++y) {
    for (int x = 0; x < rig.photo.width; ++x, p += 3) {
      if (!rig.formula) {
        const auto colour = colourOf(rig.rays[static_cast<std::size_t>(y) * rig.photo.width + x], cameraBelow);
        std::memcpy(p, colour.data(), 3);
        continue;
      }
      // The mean of 4 x 4 points over the pixel, so edges fall between pixels where they lie.
      int sum[3] = {0, 0, 0};
      for (int k = 0; k < 16; ++k) {
        const auto colour = colourOf(rig.formula(x - 0.375 + 0.25 * (k % 4), y - 0.375 + 0.25 * (k / 4)), cameraBelow);
        for (int c = 0; c < 3; ++c) sum[c] += colour[c];
      }
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((sum[c] + 8) / 16);
    }
  }
  photo.endAccess();
}


// What the shell's command prints.
inline std::string shellOutput(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  pclose(pipe);
  return text;
}

inline bool haveExiftool() { return std::system("exiftool -ver > /dev/null 2>&1") == 0; }

// Where a 360-degree photo lies on the sphere, as exiftool reads its Photo Sphere fields.
struct GPano {
  int fullWidth = 0, fullHeight = 0, top = 0, height = 0;
  double elevationOfRow(double y) const { return 90.0 - (top + y + 0.5) * 180.0 / fullHeight; }
  double rowOfElevation(double e) const { return (90.0 - e) * fullHeight / 180.0 - 0.5 - top; }
};

inline GPano readGPano(const std::string& path) {
  std::istringstream values(shellOutput("exiftool -s3 -n -XMP-GPano:FullPanoWidthPixels -XMP-GPano:FullPanoHeightPixels "
                                   "-XMP-GPano:CroppedAreaTopPixels -XMP-GPano:CroppedAreaImageHeightPixels '" +
                                   path + "'"));
  GPano g;
  values >> g.fullWidth >> g.fullHeight >> g.top >> g.height;
  return g;
}

struct BandFigures {
  double worstBandEdge = 0;  // rows
  int bandEdges = 0;
};

// The photo's band edges against the fields' elevations, column by column, and the order
// of its sectors along the horizon's row.
inline BandFigures checkSpherePhoto(const DibImage& photo, const GPano& g, const std::string& what) {
  BandFigures figures;
  const int width = photo.width(), height = photo.height();
  EXPECT_EQ(width, g.fullWidth) << what;
  EXPECT_EQ(height, g.height) << what;
  const std::uint8_t* pixels = photo.pixels();
  std::vector<double> expected;  // top row first
  for (int e = 90; e >= -90; e -= 10) {
    const double row = g.rowOfElevation(e);
    if (row > 1 && row < height - 2) expected.push_back(row);
  }
  EXPECT_GE(expected.size(), 4u) << what;
  for (int x = 0; x < width; x += 7) {
    std::vector<double> found;
    for (int y = 0; y + 1 < height; ++y) {
      const double a = pixels[3 * (y * width + x)], b = pixels[3 * ((y + 1) * width + x)];
      if ((a >= 128) != (b >= 128)) found.push_back(y + (127.5 - a) / (b - a));
    }
    std::erase_if(found, [&](double y) { return y < 1 || y > height - 2; });
    EXPECT_EQ(found.size(), expected.size()) << what << ", column " << x;
    if (found.size() != expected.size()) return figures;
    for (std::size_t k = 0; k < found.size(); ++k) {
      figures.worstBandEdge = std::max(figures.worstBandEdge, std::abs(found[k] - expected[k]));
      ++figures.bandEdges;
    }
  }
  EXPECT_LE(figures.worstBandEdge, 1.0) << what;
  // The sky is up, and turning right runs to the right: sector k (green 16 + 32 k) at
  // azimuth 45 k + 22.5 degrees, along the middle of a band by the horizon.
  const double nearHorizon = g.rowOfElevation(5) > 0 ? 5 : -5;
  const int row = std::clamp(static_cast<int>(std::lround(g.rowOfElevation(nearHorizon))), 0, height - 1);
  EXPECT_GT(g.elevationOfRow(0), g.elevationOfRow(height - 1)) << what;
  for (int k = 0; k < 8; ++k) {
    const int x = static_cast<int>(std::lround((45 * k + 22.5) * width / 360.0));
    EXPECT_NEAR(pixels[3 * (static_cast<std::size_t>(row) * width + x) + 1], 16 + 32 * k, 6) << what << ", sector " << k;
  }
  return figures;
}

}  // namespace kelmira::test
