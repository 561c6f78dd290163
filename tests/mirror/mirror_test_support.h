#pragma once

// Calibrations of three rigs as the tools write them, and oracles for them that share no
// code with the models: the OCamCalib toolbox's published cam2world and world2cam, and
// OpenCV's omnidir projection (inverted here by Newton's method on its own output).
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#if KELMIRA_HAVE_OPENCV_OMNIDIR
#include <opencv2/ccalib/omnidir.hpp>
#include <opencv2/core.hpp>
#endif

namespace kelmira::test {

using Vec3 = std::array<double, 3>;

inline constexpr double kDeg = 180 / std::numbers::pi;

// ---- OCamCalib: a 640 x 480 catadioptric rig ----------------------------------------

struct OcamRig {
  std::vector<double> pol{-110.0, 0.0, 2.5e-3, -1.0e-6, 8.0e-9};  // a0, a1, ... (cam2world)
  std::vector<double> invpol;                                      // fitted, as the toolbox does
  double xc = 241.3;                                                // row
  double yc = 322.7;                                                // column
  double c = 1.0004, d = 0.0002, e = -0.0003;
  int height = 480, width = 640;
};

// The toolbox's cam2world: point2D = (row, column) -> unit ray in its frame (row, column, z).
inline Vec3 ocamCam2World(const OcamRig& m, double row, double column) {
  const double invdet = 1 / (m.c - m.d * m.e);
  const double xp = invdet * ((row - m.xc) - m.d * (column - m.yc));
  const double yp = invdet * (-m.e * (row - m.xc) + m.c * (column - m.yc));
  const double r = std::sqrt(xp * xp + yp * yp);
  double zp = m.pol[0];
  double ri = 1;
  for (std::size_t i = 1; i < m.pol.size(); ++i) {
    ri *= r;
    zp += ri * m.pol[i];
  }
  const double invnorm = 1 / std::sqrt(xp * xp + yp * yp + zp * zp);
  return {invnorm * xp, invnorm * yp, invnorm * zp};
}

// The toolbox's world2cam with the inverse polynomial: ray -> (row, column).
inline std::array<double, 2> ocamWorld2Cam(const OcamRig& m, const Vec3& p) {
  const double norm = std::sqrt(p[0] * p[0] + p[1] * p[1]);
  if (norm == 0) return {m.xc, m.yc};
  const double theta = std::atan(p[2] / norm);
  double rho = m.invpol[0];
  double ti = 1;
  for (std::size_t i = 1; i < m.invpol.size(); ++i) {
    ti *= theta;
    rho += ti * m.invpol[i];
  }
  const double x = p[0] / norm * rho;
  const double y = p[1] / norm * rho;
  return {x * m.c + y * m.d + m.xc, x * m.e + y + m.yc};
}

// The least-squares polynomial rho(theta) over the picture's half diagonal, as the
// toolbox fits its inverse polynomial (Householder QR on the Vandermonde matrix).
inline std::vector<double> fitInversePolynomial(const OcamRig& m, int terms) {
  const double longest = std::sqrt(m.width * m.width / 4.0 + m.height * m.height / 4.0);
  std::vector<std::vector<double>> a;
  std::vector<double> b;
  for (double rho = 0; rho <= longest; rho += 0.5) {
    double z = 0;
    for (std::size_t i = m.pol.size(); i-- > 0;) z = z * rho + m.pol[i];
    const double theta = std::atan2(z, rho);
    std::vector<double> row(terms);
    double power = 1;
    for (int k = 0; k < terms; ++k, power *= theta) row[k] = power;
    a.push_back(row);
    b.push_back(rho);
  }
  const std::size_t n = a.size();
  for (int k = 0; k < terms; ++k) {
    double norm = 0;
    for (std::size_t i = k; i < n; ++i) norm += a[i][k] * a[i][k];
    norm = std::sqrt(norm);
    const double alpha = a[k][k] > 0 ? -norm : norm;
    std::vector<double> v(n, 0);
    for (std::size_t i = k; i < n; ++i) v[i] = a[i][k];
    v[k] -= alpha;
    double vv = 0;
    for (std::size_t i = k; i < n; ++i) vv += v[i] * v[i];
    for (int j = k; j < terms; ++j) {
      double s = 0;
      for (std::size_t i = k; i < n; ++i) s += v[i] * a[i][j];
      for (std::size_t i = k; i < n; ++i) a[i][j] -= 2 * s / vv * v[i];
    }
    double s = 0;
    for (std::size_t i = k; i < n; ++i) s += v[i] * b[i];
    for (std::size_t i = k; i < n; ++i) b[i] -= 2 * s / vv * v[i];
  }
  std::vector<double> x(terms);
  for (int k = terms - 1; k >= 0; --k) {
    double s = b[k];
    for (int j = k + 1; j < terms; ++j) s -= a[k][j] * x[j];
    x[k] = s / a[k][k];
  }
  return x;
}

inline OcamRig ocamRig() {
  OcamRig m;
  m.invpol = fitInversePolynomial(m, 12);
  return m;
}

// calib_results.txt as the toolbox writes it: %e for the direct polynomial, %f for the
// inverse one, a blank line after every line.
inline std::string ocamCalibText(const OcamRig& m) {
  char number[64];
  std::string text =
      "#polynomial coefficients for the DIRECT mapping function (ocam_model.ss in MATLAB). These are used by "
      "cam2world\n\n";
  text += std::to_string(m.pol.size()) + " ";
  for (double v : m.pol) {
    std::snprintf(number, sizeof number, "%e ", v);
    text += number;
  }
  text +=
      "\n\n#polynomial coefficients for the inverse mapping function (ocam_model.invpol in MATLAB). These are used "
      "by world2cam\n\n";
  text += std::to_string(m.invpol.size()) + " ";
  for (double v : m.invpol) {
    std::snprintf(number, sizeof number, "%f ", v);
    text += number;
  }
  std::snprintf(number, sizeof number, "%f %f", m.xc, m.yc);
  text += "\n\n#center: \"row\" and \"column\", starting from 0 (C convention)\n\n" + std::string(number);
  std::snprintf(number, sizeof number, "%f %f %f", m.c, m.d, m.e);
  text += "\n\n#affine parameters \"c\", \"d\", \"e\"\n\n" + std::string(number);
  text += "\n\n#image size: \"height\" and \"width\"\n\n" + std::to_string(m.height) + " " + std::to_string(m.width) +
          "\n\n";
  return text;
}

// The rig with its numbers as the file rounds them.
inline OcamRig asWritten(OcamRig m) {
  const auto round = [](double v, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return std::strtod(text, nullptr);
  };
  for (double& v : m.pol) v = round(v, "%e");
  for (double& v : m.invpol) v = round(v, "%f");
  for (double* v : {&m.xc, &m.yc, &m.c, &m.d, &m.e}) *v = round(*v, "%f");
  return m;
}

// ---- The unified model: OpenCV omnidir (640 x 480) and Kalibr (800 x 600) rigs -------

struct UnifiedRig {
  double fx, fy, skew, cx, cy, xi, k1, k2, p1, p2;
  int width, height;
};

inline UnifiedRig omnidirRig() { return {190, 191, 0.4, 322.5, 238.7, 0.9, -0.12, 0.02, 0.0008, -0.0005, 640, 480}; }
inline UnifiedRig kalibrRig() { return {260, 259, 0, 400.2, 299.1, 1.1, -0.05, 0.01, 0.0003, -0.0002, 800, 600}; }

// A camchain as Kalibr writes it: its own camera and a second one.
inline std::string kalibrCamchainText(const UnifiedRig& r) {
  char text[2048];
  std::snprintf(text, sizeof text,
                "cam0:\n"
                "  cam_overlaps: [1]\n"
                "  camera_model: omni\n"
                "  distortion_coeffs: [%.17g, %.17g, %.17g, %.17g]\n"
                "  distortion_model: radtan\n"
                "  intrinsics: [%.17g, %.17g, %.17g, %.17g, %.17g]\n"
                "  resolution: [%d, %d]\n"
                "  rostopic: /cam0/image_raw\n"
                "cam1:\n"
                "  T_cn_cnm1:\n"
                "  - [0.9999, -0.0101, 0.0052, -0.1103]\n"
                "  - [0.0101, 0.9999, 0.0021, 0.0004]\n"
                "  - [-0.0052, -0.0021, 1.0, 0.0012]\n"
                "  - [0.0, 0.0, 0.0, 1.0]\n"
                "  cam_overlaps: [0]\n"
                "  camera_model: omni\n"
                "  distortion_coeffs: [-0.04, 0.008, 0.0001, 0.0002]\n"
                "  distortion_model: radtan\n"
                "  intrinsics: [0.95, 240.0, 241.0, 320.5, 240.5]\n"
                "  resolution: [640, 480]\n"
                "  rostopic: /cam1/image_raw\n",
                r.k1, r.k2, r.p1, r.p2, r.xi, r.fx, r.fy, r.cx, r.cy, r.width, r.height);
  return text;
}

#if KELMIRA_HAVE_OPENCV_OMNIDIR
inline cv::Matx33d cameraMatrix(const UnifiedRig& r) { return {r.fx, r.skew, r.cx, 0, r.fy, r.cy, 0, 0, 1}; }
inline cv::Vec4d distortion(const UnifiedRig& r) { return {r.k1, r.k2, r.p1, r.p2}; }

// OpenCV's projection of rays in the camera frame (x right, y down, z along the centre's ray).
inline std::vector<cv::Vec2d> opencvProject(const UnifiedRig& r, const std::vector<cv::Vec3d>& rays) {
  std::vector<cv::Vec2d> points;
  if (rays.empty()) return points;
  cv::omnidir::projectPoints(rays, points, cv::Vec3d(0, 0, 0), cv::Vec3d(0, 0, 0), cameraMatrix(r), r.xi,
                             distortion(r));
  return points;
}

// The rays OpenCV projects onto the given pixels: a first guess from the elevation seen
// along one direction at each radius, then Newton's method on OpenCV's projection in the
// plane square to the ray. None where it does not converge to within 1e-6 px.
inline std::vector<std::optional<Vec3>> opencvUnproject(const UnifiedRig& r, const std::vector<cv::Vec2d>& pixels) {
  // Radius (along the x axis) of each elevation from -90 to the model's limit, 0.05 degree apart.
  std::vector<cv::Vec3d> probe;
  for (double e = -90; e < 89; e += 0.05) probe.push_back({std::cos(e / kDeg), 0, -std::sin(e / kDeg)});
  const std::vector<cv::Vec2d> probed = opencvProject(r, probe);
  std::vector<Vec3> rays(pixels.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const double dx = (pixels[i][0] - r.cx) / r.fx, dy = (pixels[i][1] - r.cy) / r.fy;
    const double radius = std::hypot(dx, dy) * r.fx;
    double elevation = -90;
    for (std::size_t k = 1; k < probed.size(); ++k) {
      if (!(probed[k][0] - r.cx > probed[k - 1][0] - r.cx)) break;
      if (probed[k][0] - r.cx > radius) break;
      elevation = -90 + 0.05 * static_cast<double>(k);
    }
    const double a = std::atan2(dy, dx);
    rays[i] = {std::cos(elevation / kDeg) * std::cos(a), std::cos(elevation / kDeg) * std::sin(a),
               -std::sin(elevation / kDeg)};
  }
  std::vector<double> error(pixels.size(), 1e9);
  std::vector<std::size_t> active(pixels.size());
  for (std::size_t i = 0; i < active.size(); ++i) active[i] = i;
  for (int iteration = 0; iteration < 12 && !active.empty(); ++iteration) {
    constexpr double h = 1e-7;
    std::vector<cv::Vec3d> at, alongU, alongV;
    std::vector<Vec3> u, v;
    for (std::size_t i : active) {
      const Vec3& p = rays[i];
      // Two directions square to the ray.
      const Vec3 helper = std::abs(p[2]) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
      Vec3 a{p[1] * helper[2] - p[2] * helper[1], p[2] * helper[0] - p[0] * helper[2], p[0] * helper[1] - p[1] * helper[0]};
      const double n = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
      for (double& x : a) x /= n;
      const Vec3 b{p[1] * a[2] - p[2] * a[1], p[2] * a[0] - p[0] * a[2], p[0] * a[1] - p[1] * a[0]};
      u.push_back(a);
      v.push_back(b);
      at.push_back({p[0], p[1], p[2]});
      alongU.push_back({p[0] + h * a[0], p[1] + h * a[1], p[2] + h * a[2]});
      alongV.push_back({p[0] + h * b[0], p[1] + h * b[1], p[2] + h * b[2]});
    }
    const auto f = opencvProject(r, at), fu = opencvProject(r, alongU), fv = opencvProject(r, alongV);
    std::vector<std::size_t> still;
    for (std::size_t k = 0; k < active.size(); ++k) {
      const std::size_t i = active[k];
      const double rx = f[k][0] - pixels[i][0], ry = f[k][1] - pixels[i][1];
      error[i] = std::hypot(rx, ry);
      if (error[i] < 1e-9) continue;
      still.push_back(i);
      const double j11 = (fu[k][0] - f[k][0]) / h, j21 = (fu[k][1] - f[k][1]) / h;
      const double j12 = (fv[k][0] - f[k][0]) / h, j22 = (fv[k][1] - f[k][1]) / h;
      const double det = j11 * j22 - j12 * j21;
      if (det == 0 || !std::isfinite(det)) continue;
      const double da = -(j22 * rx - j12 * ry) / det, db = -(j11 * ry - j21 * rx) / det;
      Vec3 p{};
      for (int c = 0; c < 3; ++c) p[c] = rays[i][c] + da * u[k][c] + db * v[k][c];
      const double n = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
      for (double& x : p) x /= n;
      rays[i] = p;
    }
    active.swap(still);
  }
  std::vector<std::optional<Vec3>> result(pixels.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (error[i] < 1e-6 && rays[i][2] > -std::min(r.xi, 1 / r.xi)) result[i] = rays[i];
  }
  return result;
}
#endif

// ---- Painting the world ---------------------------------------------------------------

// The world's elevation and azimuth (degrees) of a ray in a camera frame whose x and y
// run along the photograph's right and down and whose z runs along the centre's ray, at
// the camera. Camera below: the centre looks down, and turning right (clockwise seen from
// above) runs counterclockwise on the photograph; camera above: the centre looks up, and
// turning right runs clockwise.
inline std::array<double, 2> worldOf(const Vec3& ray, bool cameraBelow) {
  const double n = std::sqrt(ray[0] * ray[0] + ray[1] * ray[1] + ray[2] * ray[2]);
  const double up = cameraBelow ? -ray[2] / n : ray[2] / n;
  double azimuth = std::atan2(cameraBelow ? -ray[1] : ray[1], ray[0]) * kDeg;
  if (azimuth < 0) azimuth += 360;
  return {std::asin(up) * kDeg, azimuth};
}

// A world of 10-degree elevation bands (red 255 on even bands, 0 on odd) and 45-degree
// azimuth sectors (green 16 + 32 x sector), blue 200 wherever the mirror sees; black
// where it does not.
inline std::array<std::uint8_t, 3> worldColour(double elevation, double azimuth) {
  const int band = static_cast<int>(std::floor(elevation / 10));
  const int sector = static_cast<int>(std::floor(azimuth / 45)) % 8;
  return {static_cast<std::uint8_t>(band % 2 == 0 ? 255 : 0), static_cast<std::uint8_t>(16 + 32 * sector), 200};
}

}  // namespace kelmira::test
