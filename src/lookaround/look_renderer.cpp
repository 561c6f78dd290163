#include "lookaround/look_renderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "lookaround/fast_arctangent.h"

namespace kelmira {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
// Positions are kept in 256ths of a pixel, and the four pixels' weights multiply to 65536.
constexpr int kFractionBits = 8;
constexpr float kFractionScale = 256.0f;
constexpr int kFractionMask = 255;

}  // namespace

bool LookRenderer::render(const LookPanorama& panorama, const LookCamera& camera, std::uint8_t* out,
                          std::int32_t width, std::int32_t height, std::ptrdiff_t outStride) {
  // Positions in 256ths must fit an int32.
  constexpr std::int32_t kLargest = 1 << 22;
  if (panorama.pixels == nullptr || panorama.width <= 0 || panorama.height <= 0 || panorama.width > kLargest ||
      panorama.height > kLargest || out == nullptr || width <= 0 || height <= 0) {
    return false;
  }
  const double focal = (width / 2.0) / std::tan(camera.fov / 2.0 * kRadiansPerDegree);
  if (acrossWidth_ != width || acrossFov_ != camera.fov) {
    across_.resize(static_cast<std::size_t>(width));
    column_.resize(static_cast<std::size_t>(width));
    row_.resize(static_cast<std::size_t>(width));
    for (std::int32_t i = 0; i < width; ++i) across_[i] = static_cast<float>((i + 0.5 - width / 2.0) / focal);
    acrossWidth_ = width;
    acrossFov_ = camera.fov;
  }
  const double columnsPerRadian = panorama.width / (2.0 * std::numbers::pi);
  double panColumn = std::fmod(camera.pan, 360.0) / 360.0 * panorama.width;
  if (panColumn < 0.0) panColumn += panorama.width;
  if (panColumn >= panorama.width) panColumn = 0.0;
  const double cosTilt = std::cos(camera.tilt * kRadiansPerDegree);
  const double sinTilt = std::sin(camera.tilt * kRadiansPerDegree);

  for (std::int32_t j = 0; j < height; ++j) {
    // The row's rays, (x, up, 1) in the camera's frame, turned up by the tilt: each has the
    // same height and depth, so what varies along the row is x over the depth alone.
    const double up = (height / 2.0 - (j + 0.5)) / focal;
    const double rise = up * cosTilt + sinTilt;
    const double depth = std::max(cosTilt - up * sinTilt, 1e-9);
    traceRow(panorama, static_cast<float>(panColumn), static_cast<float>(columnsPerRadian),
             static_cast<float>(rise / depth), static_cast<float>(1.0 / depth), width);
    sampleRow(panorama, out + j * outStride, width);
  }
  return true;
}

void LookRenderer::traceRow(const LookPanorama& panorama, float panColumn, float columnsPerRadian, float rowTangent,
                            float inverseDepth, std::int32_t width) {
  const LookSurface& surface = panorama.surface;
  const float first = static_cast<float>(surface.first());
  const float rowsPerUnit = surface.step() != 0.0 ? static_cast<float>(1.0 / surface.step()) : 0.0f;
  const float lastRow = static_cast<float>(panorama.height - 1);
  const float columns = static_cast<float>(panorama.width);
  const float* across = across_.data();
  std::int32_t* column = column_.data();
  std::int32_t* row = row_.data();
  // One loop for each surface, without branches inside, so that it runs on vectors.
  const auto trace = [&](auto rowOfTangent) {
    for (std::int32_t i = 0; i < width; ++i) {
      const float t = across[i] * inverseDepth;
      float u = panColumn + fastArctangent(t) * columnsPerRadian;
      u += u < 0.0f ? columns : 0.0f;
      u -= u >= columns ? columns : 0.0f;
      // The ray's elevation tangent: its rise over its distance from the axis.
      const float tangent = rowTangent / std::sqrt(t * t + 1.0f);
      float v = rowOfTangent(tangent);
      v = std::min(std::max(v, 0.0f), lastRow);
      column[i] = static_cast<std::int32_t>(u * kFractionScale);
      row[i] = static_cast<std::int32_t>(v * kFractionScale);
    }
  };
  if (surface.kind() == LookSurfaceKind::Band) {
    trace([=](float tangent) { return (fastArctangent(tangent) - first) * rowsPerUnit; });
  } else {
    trace([=](float tangent) { return (tangent - first) * rowsPerUnit; });
  }
}

void LookRenderer::sampleRow(const LookPanorama& panorama, std::uint8_t* out, std::int32_t width) const {
  const std::uint8_t* pixels = panorama.pixels;
  const std::ptrdiff_t stride = panorama.stride;
  const std::int32_t columns = panorama.width;
  const std::int32_t lastRow = panorama.height - 1;
  const std::int32_t* column = column_.data();
  const std::int32_t* row = row_.data();
  for (std::int32_t i = 0; i < width; ++i, out += 3) {
    const std::int32_t x0 = column[i] >> kFractionBits;
    const std::int32_t x1 = x0 + 1 < columns ? x0 + 1 : 0;
    const std::int32_t y0 = row[i] >> kFractionBits;
    const std::int32_t y1 = y0 < lastRow ? y0 + 1 : y0;
    const std::uint32_t fx = static_cast<std::uint32_t>(column[i] & kFractionMask);
    const std::uint32_t fy = static_cast<std::uint32_t>(row[i] & kFractionMask);
    const std::uint32_t w11 = fx * fy;
    const std::uint32_t w10 = (fx << kFractionBits) - w11;  // fx (256 - fy)
    const std::uint32_t w01 = (fy << kFractionBits) - w11;  // (256 - fx) fy
    const std::uint32_t w00 = 65536u - w10 - w01 - w11;
    const std::uint8_t* upper = pixels + y0 * stride;
    const std::uint8_t* lower = pixels + y1 * stride;
    const std::uint8_t* a = upper + 3 * x0;
    const std::uint8_t* b = upper + 3 * x1;
    const std::uint8_t* c = lower + 3 * x0;
    const std::uint8_t* d = lower + 3 * x1;
    for (int k = 0; k < 3; ++k) {
      out[k] = static_cast<std::uint8_t>((a[k] * w00 + b[k] * w10 + c[k] * w01 + d[k] * w11 + 32768u) >> 16);
    }
  }
}

}  // namespace kelmira
