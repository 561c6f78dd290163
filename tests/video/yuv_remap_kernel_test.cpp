#include "video/yuv_remap_kernel.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "support/simd_targets.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The kernel's arithmetic written plainly, one pixel at a time.
Bytes plainRemap(const RemapPlane& plane, const Bytes& source, int stride, std::uint8_t black) {
  Bytes out(std::size_t(plane.width) * plane.height, 0xEE);
  for (std::uint32_t i = 0; i < plane.rows; ++i) {
    for (std::uint32_t j = 0; j < plane.width; ++j) {
      const std::size_t k = std::size_t(i) * plane.width + j;
      std::uint8_t& to = out[std::size_t(plane.top + i) * plane.width + j];
      const std::int32_t point = plane.points[k];
      if (point < 0) {
        to = black;
        continue;
      }
      const long x0 = point & 0xFFFF, y0 = point >> 16;
      const long fx = plane.weights[k] & 0xFFFF, fy = plane.weights[k] >> 16;
      const long a = source[y0 * stride + x0], b = source[y0 * stride + x0 + 1];
      const long c = source[(y0 + 1) * stride + x0], d = source[(y0 + 1) * stride + x0 + 1];
      const long value = ((a * (256 - fx) + b * fx) * (256 - fy) + (c * (256 - fx) + d * fx) * fy) / 65536;
      to = static_cast<std::uint8_t>(value);
    }
  }
  return out;
}

Bytes kernelRemap(const RemapPlane& plane, const Bytes& source, int stride, std::uint8_t black) {
  Bytes out(std::size_t(plane.width) * plane.height, 0xEE);
  remapPlaneRows(plane, source.data(), stride, out.data(), plane.width, 0, plane.rows, black);
  return out;
}

// A plane of `width` x `height` with room to read past its end, random bytes.
Bytes randomPlane(int stride, int height, std::mt19937& random) {
  Bytes plane(std::size_t(stride) * height + kRemapSourceSlack);
  for (std::uint8_t& b : plane) b = static_cast<std::uint8_t>(random());
  return plane;
}

// Random points all over the source, also on and past its last column and row, and NaNs.
RemapPlane randomTable(std::uint32_t width, std::uint32_t height, std::uint32_t sourceWidth,
                       std::uint32_t sourceHeight, std::mt19937& random) {
  RemapPlane plane;
  plane.width = width;
  plane.height = height;
  plane.sourceWidth = sourceWidth;
  plane.sourceHeight = sourceHeight;
  plane.top = height / 4;
  plane.rows = height / 2;
  plane.points.resize(std::size_t(width) * plane.rows);
  plane.weights.resize(plane.points.size());
  std::uniform_real_distribution<double> x(-2.0, sourceWidth + 1.0), y(-2.0, sourceHeight + 1.0);
  for (std::size_t k = 0; k < plane.points.size(); ++k) {
    switch (random() % 8) {
      case 0: plane.set(k, sourceWidth - 1.0, y(random)); break;
      case 1: plane.set(k, x(random), sourceHeight - 1.0); break;
      case 2: plane.set(k, std::nan(""), 3); break;
      default: plane.set(k, x(random), y(random));
    }
  }
  return plane;
}

class RemapOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(RemapOnEachTarget, TheKernelGivesThePlainArithmeticsBytes) {
  // The kernel itself runs the target forced.
  ASSERT_EQ(strcasecmp(remapTargetName(), GetParam().c_str()), 0) << remapTargetName();
  std::mt19937 random(7);
  // Widths that leave a tail after every vector length, strides wider than the rows.
  for (const auto [width, sourceWidth, sourceHeight, stride] :
       {std::tuple{64u, 40u, 30u, 40}, std::tuple{250u, 321u, 241u, 352}, std::tuple{18u, 4u, 4u, 4},
        std::tuple{496u, 1920u, 1080u, 1920}}) {
    const std::uint32_t height = width / 2;
    const RemapPlane plane = randomTable(width, height, sourceWidth, sourceHeight, random);
    const Bytes source = randomPlane(stride, static_cast<int>(sourceHeight), random);
    for (const std::uint8_t black : {16, 128}) {
      const Bytes expected = plainRemap(plane, source, stride, black);
      const Bytes actual = kernelRemap(plane, source, stride, black);
      ASSERT_EQ(expected.size(), actual.size());
      for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(int(expected[i]), int(actual[i])) << "width " << width << ", pixel " << i % width << " of row "
                                                    << i / width;
      }
    }
  }
}

KELMIRA_ON_EACH_SIMD_TARGET(RemapOnEachTarget);

// Where the still unwarp samples a panorama pixel, written out as it describes it.
void stillPoint(int i, int j, int width, int height, double scale, double cx, double cy, double& x, double& y) {
  static const MirrorProfileTable table = buildMirrorProfileTable();
  const double t = radiusForRow(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(height), table);
  const double theta = (j * 6.283185307179586) / width;
  x = t * std::cos(theta) * scale + cx;
  y = t * std::sin(theta) * scale + cy;
}

// The fixed-point weights against the still unwarp's doubles: the same sample points, a
// grey plane of a textured photograph-like picture, every pixel compared.
TEST(YuvRemapKernel, FixedPointWeightsStayWithinALevelOfTheStillUnwarp) {
  const int sw = 640, sh = 480, tw = 1204, th = 199;
  const double cx = 321.3, cy = 238.7;
  std::mt19937 random(3);
  Bytes grey(std::size_t(sw) * sh + kRemapSourceSlack);
  // Smooth ramps with sharp blocks and grain: every slope from none to the steepest.
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      const int block = ((x / 7 + y / 5) % 2) * 120;
      grey[std::size_t(y) * sw + x] = static_cast<std::uint8_t>((x * 255 / sw + block + random() % 24) % 256);
    }
  }
  const double scale = defaultRingScale(sh);
  // The still unwarp takes 3-byte pixels: the grey in all three.
  Bytes rgb(std::size_t(sw) * sh * 3);
  for (std::size_t k = 0; k < std::size_t(sw) * sh; ++k) rgb[3 * k] = rgb[3 * k + 1] = rgb[3 * k + 2] = grey[k];
  Bytes stillRgb(std::size_t(tw) * th * 3);
  ASSERT_TRUE(unwarpRing(SourceView{rgb.data(), sw, sh, 3, std::size_t(sw) * 3},
                         ImageView{stillRgb.data(), tw, th, 3, std::size_t(tw) * 3}, cx, cy, {}, scale));
  Bytes still(std::size_t(tw) * th);
  for (std::size_t k = 0; k < still.size(); ++k) still[k] = stillRgb[3 * k];

  RemapPlane plane;
  plane.width = tw;
  plane.height = th;
  plane.sourceWidth = sw;
  plane.sourceHeight = sh;
  plane.rows = th;
  plane.points.resize(std::size_t(tw) * th);
  plane.weights.resize(plane.points.size());
  for (int i = 0; i < th; ++i) {
    for (int j = 0; j < tw; ++j) {
      double x, y;
      stillPoint(i, j, tw, th, scale, cx, cy, x, y);
      plane.set(std::size_t(i) * tw + j, x, y);
    }
  }
  const Bytes video = kernelRemap(plane, grey, sw, 0);
  int largest = 0;
  std::size_t differing = 0;
  double sum = 0;
  for (std::size_t k = 0; k < still.size(); ++k) {
    const int difference = std::abs(int(video[k]) - int(still[k]));
    largest = std::max(largest, difference);
    differing += difference != 0;
    sum += difference;
  }
  const double share = 100.0 * differing / still.size();
  std::printf("fixed point against the still unwarp: largest difference %d, %.2f%% of pixels differ, mean %.4f\n",
              largest, share, sum / still.size());
  RecordProperty("largest_difference", largest);
  RecordProperty("percent_differing", std::to_string(share));
  // Each weight is within 1/512 of the still's, so the blend is within about a level of
  // it before either truncates.
  EXPECT_LE(largest, 2);
  EXPECT_LT(share, 25.0);
}

}  // namespace
}  // namespace kelmira
