#include "unwarp/ring_finder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "base/parallel_for.h"
#include "unwarp/centre_votes.h"
#include "unwarp/circle_fit.h"
#include "unwarp/grey_picture.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/ring_choice.h"

namespace kelmira {

namespace {

// The coarse pass works on a picture about this many pixels on its longer side.
constexpr int kCoarseSide = 400;
// A reduced picture narrower than this holds no ring the coarse pass could score: a
// picture far longer than it is high (13000 x 32) has none.
constexpr int kSmallestCoarseSide = 16;
// Rays round a candidate centre in the coarse pass, and along the circle in the fine pass.
constexpr int kCoarseRays = 256;
constexpr int kFineRays = 720;
// At most this many of the strongest edge pixels vote for centres.
constexpr std::size_t kMaxVoters = 12000;

double luminance(const std::uint8_t* pixel) { return 0.299 * pixel[0] + 0.587 * pixel[1] + 0.114 * pixel[2]; }

double percentile(std::vector<float> values, double fraction) {
  if (values.empty()) return 0;
  const auto at = values.begin() + static_cast<std::ptrdiff_t>(fraction * double(values.size() - 1));
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

struct Point {
  double x = 0;
  double y = 0;
};

// Every strong edge votes for the centres of the circles it could lie on: the points along
// its gradient on both sides. Concentric edges (the ring, the housing, the camera's image)
// pile their votes on one centre.
std::vector<Point> voteForCentres(const GreyPicture& grey, double minRadius, double maxRadius) {
  const int w = grey.width(), h = grey.height();
  EdgeGradients edges{w, h, {}, {}, {}};
  edges.gx.assign(std::size_t(w) * h, 0);
  edges.gy.assign(std::size_t(w) * h, 0);
  edges.magnitude.assign(std::size_t(w) * h, 0);
  for (int y = 1; y + 1 < h; ++y) {
    for (int x = 1; x + 1 < w; ++x) {
      const float dx = (grey.at(x + 1, y - 1) + 2 * grey.at(x + 1, y) + grey.at(x + 1, y + 1)) -
                       (grey.at(x - 1, y - 1) + 2 * grey.at(x - 1, y) + grey.at(x - 1, y + 1));
      const float dy = (grey.at(x - 1, y + 1) + 2 * grey.at(x, y + 1) + grey.at(x + 1, y + 1)) -
                       (grey.at(x - 1, y - 1) + 2 * grey.at(x, y - 1) + grey.at(x + 1, y - 1));
      const std::size_t i = std::size_t(y) * w + x;
      edges.gx[i] = dx;
      edges.gy[i] = dy;
      edges.magnitude[i] = std::sqrt(dx * dx + dy * dy);
    }
  }
  const double keepFraction = std::min(0.15, double(kMaxVoters) / double(edges.magnitude.size()));
  const double threshold = std::max(percentile(edges.magnitude, 1 - keepFraction), 8.0);
  const std::vector<float> votes =
      countCentreVotes(edges, threshold, minRadius, maxRadius, std::min(workerThreads(), 8u));
  // A 5 x 5 box gathers the votes of a centre that is not on a pixel.
  std::vector<float> pooled(votes.size(), 0);
  for (int y = 2; y + 2 < h; ++y)
    for (int x = 2; x + 2 < w; ++x) {
      float sum = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) sum += votes[std::size_t(y + dy) * w + x + dx];
      pooled[std::size_t(y) * w + x] = sum;
    }
  // The strongest few, apart from each other.
  std::vector<Point> centres;
  const double apart = 0.04 * std::min(w, h);
  std::vector<std::size_t> order(pooled.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::partial_sort(order.begin(), order.begin() + std::min<std::size_t>(order.size(), 2000), order.end(),
                    [&](std::size_t a, std::size_t b) { return pooled[a] > pooled[b]; });
  for (std::size_t k = 0; k < std::min<std::size_t>(order.size(), 2000) && centres.size() < 4; ++k) {
    const Point p{double(order[k] % w), double(order[k] / w)};
    if (pooled[order[k]] <= 0) break;
    const bool near = std::any_of(centres.begin(), centres.end(),
                                  [&](const Point& c) { return std::hypot(c.x - p.x, c.y - p.y) < apart; });
    if (!near) centres.push_back(p);
  }
  return centres;
}

// A circle of the coarse pass with what speaks for it.
struct Candidate {
  Point centre;
  double radius = 0;
  double coverage = 0;  // share of the rays in the picture that cross an edge there
  double contrast = 0;  // the edge's typical step, over the picture's spread of greys
  double texture = 0;   // from -1 (plain inside, busy outside) to 1 (the scene inside)
  double score = 0;
};

// The grey profiles along rays from a centre, one sample a coarse pixel.
class RayProfiles {
 public:
  RayProfiles(const GreyPicture& grey, Point centre, int rays, int length)
      : rays_(rays), length_(length), values_(std::size_t(rays) * length), inside_(std::size_t(rays) * length) {
    for (int k = 0; k < rays; ++k) {
      const double angle = mirror_model::twoPi * k / rays;
      const double c = std::cos(angle), s = std::sin(angle);
      for (int r = 0; r < length; ++r) {
        float v = 0;
        inside_[index(k, r)] = grey.sample(centre.x + r * c, centre.y + r * s, v);
        values_[index(k, r)] = v;
      }
    }
  }
  int rays() const { return rays_; }
  int length() const { return length_; }
  bool inside(int k, int r) const { return r >= 0 && r < length_ && inside_[index(k, r)]; }
  float value(int k, int r) const { return values_[index(k, r)]; }
  // The step across r, or 0 where it leaves the picture.
  float step(int k, int r) const {
    return inside(k, r - 1) && inside(k, r + 1) ? value(k, r + 1) - value(k, r - 1) : 0.0f;
  }

 private:
  std::size_t index(int k, int r) const { return std::size_t(k) * length_ + r; }
  int rays_;
  int length_;
  std::vector<float> values_;
  std::vector<char> inside_;
};

// How busy the picture is around the circle between the radii `from` and `to`: the mean
// difference between neighbouring rays, which a housing (the same all round) lacks.
double angularBusyness(const RayProfiles& profiles, double from, double to) {
  double sum = 0;
  int count = 0;
  const int first = std::max(1, static_cast<int>(from)), last = std::min(profiles.length() - 1, static_cast<int>(to));
  for (int r = first; r <= last; ++r) {
    for (int k = 0; k < profiles.rays(); ++k) {
      const int next = (k + 1) % profiles.rays();
      if (!profiles.inside(k, r) || !profiles.inside(next, r)) continue;
      sum += std::abs(profiles.value(k, r) - profiles.value(next, r));
      ++count;
    }
  }
  return count > 0 ? sum / count : -1;
}

void scoreCirclesAround(const GreyPicture& grey, Point centre, double spread, std::vector<Candidate>& candidates) {
  const int w = grey.width(), h = grey.height();
  const double farthest = std::max({std::hypot(centre.x, centre.y), std::hypot(w - centre.x, centre.y),
                                    std::hypot(centre.x, h - centre.y), std::hypot(w - centre.x, h - centre.y)});
  const int length = static_cast<int>(std::min(farthest, 0.75 * std::max(w, h)));
  const RayProfiles profiles(grey, centre, kCoarseRays, length);
  const int minRadius = static_cast<int>(0.08 * std::min(w, h));

  // Each ray's edges: the places where its step is a local extreme well above the noise.
  std::vector<float> steps;
  for (int k = 0; k < kCoarseRays; ++k)
    for (int r = 1; r + 1 < length; ++r) steps.push_back(std::abs(profiles.step(k, r)));
  const double noise = std::max(percentile(steps, 0.5) * 3.0, 0.02 * spread);
  std::vector<float> hits(length, 0), strength(length, 0), raysThere(length, 0);
  for (int k = 0; k < kCoarseRays; ++k) {
    for (int r = 2; r + 2 < length; ++r) {
      if (profiles.inside(k, r)) raysThere[r] += 1;
      const float s = std::abs(profiles.step(k, r));
      if (s < noise || s < std::abs(profiles.step(k, r - 1)) || s < std::abs(profiles.step(k, r + 1))) continue;
      // An edge between two samples counts for both radii.
      for (int d = -1; d <= 1; ++d) {
        hits[r + d] += d == 0 ? 1.0f : 0.5f;
        strength[r + d] += d == 0 ? s : 0.5f * s;
      }
    }
  }
  for (int r = std::max(minRadius, 3); r + 3 < length; ++r) {
    if (raysThere[r] < 0.15 * kCoarseRays) continue;
    const double coverage = std::min(1.0, double(hits[r]) / raysThere[r]);
    if (coverage < 0.2 || hits[r] < hits[r - 1] || hits[r] < hits[r + 1]) continue;
    Candidate c;
    c.centre = centre;
    c.radius = r;
    c.coverage = coverage;
    c.contrast = hits[r] > 0 ? strength[r] / hits[r] / spread : 0;
    const double inside = angularBusyness(profiles, 0.86 * r, 0.97 * r);
    const double outside = angularBusyness(profiles, 1.03 * r, 1.12 * r);
    // Outside the picture altogether counts as plain: a ring may reach the frame.
    const double in = std::max(inside, 0.0), out = std::max(outside, 0.0);
    c.texture = (in - out) / (in + out + 0.01 * spread);
    // A plain inside with a busy outside is the camera's own image or the housing's far
    // side, never the scene's end.
    c.score = c.coverage * std::min(1.0, c.contrast / 0.15) * std::clamp(0.35 + 0.65 * c.texture, 0.02, 1.0);
    candidates.push_back(c);
  }
}

// The fine pass: along rays of the full picture, the strongest step near the coarse circle,
// to subpixel, then a circle through those points. Returns the circle and the share of
// rays (of those whose search lay in the picture) that agree with it.
struct FineRing {
  FittedCircle circle;
  double agreement = 0;
  // How far the rays' mean step at the edge stands out of the mean step around it: about 1
  // where the rays share no edge.
  double sharedEdge = 0;
  double visible = 0;  // the share of the rays whose search lay in the picture
};

// Reads the full photograph's luminance between pixels, or says a point is outside it.
class FullPictureLuma {
 public:
  explicit FullPictureLuma(const SourceView& image) : image_(image) {}
  bool operator()(double x, double y, double& value) const {
    if (!(x >= 0 && y >= 0 && x <= image_.width - 1.0 && y <= image_.height - 1.0)) return false;
    const auto x0 = std::min(static_cast<std::uint32_t>(x), image_.width - 1);
    const auto y0 = std::min(static_cast<std::uint32_t>(y), image_.height - 1);
    const std::uint32_t x1 = std::min(x0 + 1, image_.width - 1), y1 = std::min(y0 + 1, image_.height - 1);
    const double fx = x - x0, fy = y - y0;
    const double top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * fx;
    const double bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * fx;
    value = top + (bottom - top) * fy;
    return true;
  }

 private:
  double at(std::uint32_t x, std::uint32_t y) const {
    return luminance(image_.pixels + std::size_t(y) * image_.stride + std::size_t(x) * image_.bytesPerPixel);
  }
  const SourceView& image_;
};

// The same for the coarse grey picture.
class CoarseLuma {
 public:
  explicit CoarseLuma(const GreyPicture& grey) : grey_(grey) {}
  bool operator()(double x, double y, double& value) const {
    float v = 0;
    if (!grey_.sample(x, y, v)) return false;
    value = v;
    return true;
  }

 private:
  const GreyPicture& grey_;
};

// Follows the circle's edge along rays: where the rays agree there is an edge (and, when
// they agree on its direction, the step of that direction), each ray's strongest step
// within `tolerance` of that place, to subpixel; then a circle through those points.
template <typename Luma>
std::optional<FineRing> refine(const Luma& lumaAt, double cx, double cy, double radius, double window,
                               double tolerance, int rays, double minimumStep) {
  // Each ray's step profile across the circle, sample i at radius - half - 2 + i.
  const int half = static_cast<int>(std::ceil(window));
  const int samples = 2 * half + 5;
  std::vector<double> steps(std::size_t(rays) * samples, 0.0);
  std::vector<char> complete(rays, 0);
  std::vector<double> profile(samples), smooth(samples);
  std::vector<double> meanStep(samples, 0.0), meanSize(samples, 0.0);
  int searched = 0;
  for (int k = 0; k < rays; ++k) {
    const double angle = mirror_model::twoPi * k / rays;
    const double c = std::cos(angle), s = std::sin(angle);
    bool inside = true;
    for (int i = 0; i < samples && inside; ++i) {
      const double r = radius - half - 2 + i;
      inside = lumaAt(cx + r * c, cy + r * s, profile[i]);
    }
    if (!inside) continue;
    complete[k] = 1;
    ++searched;
    for (int i = 1; i + 1 < samples; ++i) {
      smooth[i] = 0.25 * profile[i - 1] + 0.5 * profile[i] + 0.25 * profile[i + 1];
    }
    double* step = &steps[std::size_t(k) * samples];
    for (int i = 2; i + 2 < samples; ++i) {
      step[i] = smooth[i + 1] - smooth[i - 1];
      meanStep[i] += step[i];
      meanSize[i] += std::abs(step[i]);
    }
  }
  if (searched < rays / 10) return std::nullopt;
  // Where the rays agree on an edge, and whether they agree on its direction too (a scene
  // brighter than its housing all round), or only on its place.
  int centre = 2;
  for (int i = 2; i + 2 < samples; ++i) {
    if (std::abs(meanStep[i]) > std::abs(meanStep[centre])) centre = i;
  }
  const bool oneDirection = std::abs(meanStep[centre]) >= 0.5 * meanSize[centre];
  if (!oneDirection) {
    for (int i = 2; i + 2 < samples; ++i) {
      if (meanSize[i] > meanSize[centre]) centre = i;
    }
  }
  const double sign = meanStep[centre] >= 0 ? 1.0 : -1.0;
  std::vector<double> around(meanSize.begin() + 2, meanSize.end() - 2);
  std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
  const double sharedEdge = meanSize[centre] / std::max(around[around.size() / 2], 1e-6);
  const int reach = static_cast<int>(std::ceil(tolerance));
  std::vector<EdgePoint> points;
  for (int k = 0; k < rays; ++k) {
    if (!complete[k]) continue;
    const double* step = &steps[std::size_t(k) * samples];
    const auto strength = [&](int i) { return oneDirection ? sign * step[i] : std::abs(step[i]); };
    int best = -1;
    for (int i = std::max(3, centre - reach); i <= std::min(samples - 4, centre + reach); ++i) {
      if (best < 0 || strength(i) > strength(best)) best = i;
    }
    if (best < 0 || strength(best) < minimumStep) continue;
    // The peak between samples, from a parabola through it and its neighbours.
    const double left = strength(best - 1), middle = strength(best), right = strength(best + 1);
    const double curvature = left - 2 * middle + right;
    const double offset = curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
    const double r = radius - half - 2 + best + offset;
    const double angle = mirror_model::twoPi * k / rays;
    points.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
  }
  const std::optional<FittedCircle> fitted = fitCircleRobustly(points, std::max(1.5, 0.004 * radius));
  if (!fitted) return std::nullopt;
  return FineRing{*fitted, double(fitted->inliers) / searched, sharedEdge, double(searched) / rays};
}

// The circle of the coarse pass settled on its own edge: the votes blend the centres of
// every circle nearby (the housing's, the camera's), which need not be the ring's. In
// coarse pixels; the candidate itself when the edge cannot be followed.
FittedCircle settleOnEdge(const GreyPicture& grey, const Candidate& best, double spread, double reach) {
  const CoarseLuma luma(grey);
  FittedCircle circle{best.centre.x, best.centre.y, best.radius, 0, 0};
  for (double tolerance = reach; tolerance >= 1; tolerance /= 2) {
    const std::optional<FineRing> settled = refine(luma, circle.centreX, circle.centreY, circle.radius,
                                                   std::max(4.0, tolerance), tolerance, kCoarseRays, 0.02 * spread);
    if (!settled) break;
    circle = settled->circle;
  }
  return circle;
}

// How sure the finder is of an edge as a circle: most rays cross the edge where the circle
// says (agreement); the rays' mean step peaks there well above its surroundings, which a
// circle drawn through texture or noise never does (shared edge); the points hug the
// circle (fit); enough of the circle lies in the picture (arc).
double edgeConfidenceOf(const FineRing& firstPass, const FineRing& last) {
  const double agreementTerm = std::sqrt(firstPass.agreement);
  const double edgeTerm = std::clamp((firstPass.sharedEdge - 1.3) / 0.7, 0.0, 1.0);
  const double fitTerm = std::exp(-last.circle.rmsResidual / (2 + 0.004 * last.circle.radius));
  // A short arc of a circle mostly outside the picture proves little.
  const double arcTerm = std::clamp(firstPass.visible / 0.4, 0.0, 1.0);
  return std::clamp(agreementTerm * edgeTerm * fitTerm * arcTerm, 0.0, 1.0);
}

// And of the ring: the scene lies inside and a plain housing outside (texture).
double textureTermOf(const Candidate& coarse) { return std::clamp(0.7 + 0.5 * coarse.texture, 0.0, 1.0); }

// The mean luminance round circles about a centre, one radius a pixel.
std::vector<double> meanRadialProfile(const FullPictureLuma& luma, double cx, double cy, int from, int to) {
  std::vector<double> cosines(kFineRays), sines(kFineRays);
  for (int k = 0; k < kFineRays; ++k) {
    const double angle = mirror_model::twoPi * k / kFineRays;
    cosines[k] = std::cos(angle);
    sines[k] = std::sin(angle);
  }
  std::vector<double> profile;
  for (int r = from; r <= to; ++r) {
    double sum = 0;
    int count = 0;
    for (int k = 0; k < kFineRays; ++k) {
      double value = 0;
      if (!luma(cx + r * cosines[k], cy + r * sines[k], value)) continue;
      sum += value;
      ++count;
    }
    profile.push_back(count > kFineRays / 10 ? sum / count : -1);
  }
  return profile;
}

// A mirror's polished rim: a thin bright ring just outside the scene. When the edge found
// is the rim's outer one (or the rim itself), the radius where it starts: the scene's end.
std::optional<double> innerEdgeOfRim(const FullPictureLuma& luma, const FittedCircle& circle, double spread) {
  const int widest = static_cast<int>(std::max(4.0, 0.05 * circle.radius));
  const int from = static_cast<int>(circle.radius) - widest - 4, to = static_cast<int>(circle.radius) + 4;
  if (from < 4) return std::nullopt;
  const std::vector<double> profile = meanRadialProfile(luma, circle.centreX, circle.centreY, from, to);
  if (std::any_of(profile.begin(), profile.end(), [](double v) { return v < 0; })) return std::nullopt;
  const auto step = [&](int i) { return profile[i + 1] - profile[i - 1]; };
  int rise = -1, fall = -1;
  for (int i = 1; i + 1 < static_cast<int>(profile.size()); ++i) {
    if (rise < 0 || step(i) > step(rise)) rise = i;
    if (fall < 0 || step(i) < step(fall)) fall = i;
  }
  const double least = 0.06 * spread;
  if (!(rise < fall && fall - rise <= widest && step(rise) > least && -step(fall) > least)) return std::nullopt;
  // Brighter than both sides.
  const double bright = *std::max_element(profile.begin() + rise, profile.begin() + fall + 1);
  if (bright - profile[std::max(0, rise - 3)] < least || bright - profile[std::min<int>(profile.size() - 1, fall + 3)] < least) {
    return std::nullopt;
  }
  return from + rise;
}

// A circle of the coarse pass followed at full size, and how sure the finder is of it.
struct Judged : JudgedCircle {
  FineRing last;
};

std::optional<Judged> judge(const SourceView& image, const GreyPicture& grey, const Candidate& candidate, int factor,
                            double spread, double reach) {
  // Coarse pixel centres sit half a block in from the block's corner.
  const FittedCircle coarse = settleOnEdge(grey, candidate, spread, reach);
  const double offset = (factor - 1) / 2.0;
  const FullPictureLuma luma(image);
  const double window = 1.5 * factor + 3;
  const std::optional<FineRing> firstPass = refine(luma, coarse.centreX * factor + offset,
                                                   coarse.centreY * factor + offset, coarse.radius * factor, window,
                                                   window, kFineRays, 2.0);
  if (!firstPass) return std::nullopt;
  Judged judged;
  judged.last = refine(luma, firstPass->circle.centreX, firstPass->circle.centreY, firstPass->circle.radius, 6.0, 2.0,
                       kFineRays, 2.0)
                    .value_or(*firstPass);
  judged.edge = edgeConfidenceOf(*firstPass, judged.last);
  judged.confidence = judged.edge * textureTermOf(candidate);
  judged.texture = candidate.texture;
  if (const std::optional<double> start = innerEdgeOfRim(luma, judged.last.circle, spread)) {
    const FittedCircle& c = judged.last.circle;
    if (const std::optional<FineRing> inner = refine(luma, c.centreX, c.centreY, *start, 2.0, 1.5, kFineRays, 2.0)) {
      judged.last = *inner;
      judged.rim = true;
    }
  }
  return judged;
}

bool sameCircle(const FittedCircle& a, const FittedCircle& b) {
  const double near = std::max(2.0, 0.01 * std::max(a.radius, b.radius));
  return std::hypot(a.centreX - b.centreX, a.centreY - b.centreY) < near && std::abs(a.radius - b.radius) < near;
}

// The circles of the coarse pass worth following at full size: the best scored, and the
// strongest edges whatever lies inside and out (a bare mirror's scene meets a background
// as busy as itself), one of each radius about each centre.
std::vector<Candidate> shortlist(const std::vector<Candidate>& candidates) {
  const auto strength = [](const Candidate& c) { return c.coverage * std::min(1.0, c.contrast / 0.15); };
  std::vector<Candidate> byScore = candidates, byStrength = candidates;
  std::sort(byScore.begin(), byScore.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  std::sort(byStrength.begin(), byStrength.end(),
            [&](const Candidate& a, const Candidate& b) { return strength(a) > strength(b); });
  std::vector<Candidate> chosen;
  const auto add = [&](const std::vector<Candidate>& from, std::size_t count) {
    std::size_t added = 0;
    for (const Candidate& c : from) {
      if (added == count) break;
      const bool known = std::any_of(chosen.begin(), chosen.end(), [&](const Candidate& o) {
        return std::hypot(o.centre.x - c.centre.x, o.centre.y - c.centre.y) < 1 && std::abs(o.radius - c.radius) <= 2;
      });
      if (known) continue;
      chosen.push_back(c);
      ++added;
    }
  };
  add(byScore, 6);
  add(byStrength, 8);
  return chosen;
}

// Follows the shortlisted circles at full size into `judged`, one entry a circle.
void judgeAll(const SourceView& image, const GreyPicture& grey, const std::vector<Candidate>& candidates, int factor,
              double spread, std::vector<Judged>& judged) {
  for (const Candidate& candidate : shortlist(candidates)) {
    std::optional<Judged> j = judge(image, grey, candidate, factor, spread, 4);
    // A clear edge round a centre of the votes further off: settled from further away.
    if ((!j || j->edge < 0.5) && candidate.coverage >= 0.3) {
      std::optional<Judged> wider = judge(image, grey, candidate, factor, spread, 8);
      if (wider && (!j || wider->edge > j->edge)) j = wider;
    }
    if (!j) continue;
    const auto same = std::find_if(judged.begin(), judged.end(),
                                   [&](const Judged& o) { return sameCircle(o.last.circle, j->last.circle); });
    if (same == judged.end()) {
      judged.push_back(*j);
    } else if (j->confidence > same->confidence) {
      *same = *j;
    }
  }
}

}  // namespace

std::optional<FoundRing> findRing(const SourceView& image) {
  if (image.pixels == nullptr || image.bytesPerPixel < 3 || image.width < 32 || image.height < 32) return std::nullopt;
  const int longer = static_cast<int>(std::max(image.width, image.height));
  const int factor = std::max(1, (longer + kCoarseSide - 1) / kCoarseSide);
  const GreyPicture grey = reduceToGrey(image, factor);
  if (std::min(grey.width(), grey.height()) < kSmallestCoarseSide) return std::nullopt;
  const double spread = std::max(percentile(grey.values(), 0.98) - percentile(grey.values(), 0.02), 1.0);

  const int shorter = std::min(grey.width(), grey.height());
  std::vector<Point> centres = voteForCentres(grey, 0.08 * shorter, 0.75 * std::max(grey.width(), grey.height()));
  centres.push_back({grey.width() / 2.0, grey.height() / 2.0});
  std::vector<Candidate> candidates;
  for (const Point& centre : centres) scoreCirclesAround(grey, centre, spread, candidates);
  if (candidates.empty()) return std::nullopt;
  std::vector<Judged> judged;
  judgeAll(image, grey, candidates, factor, spread, judged);
  if (judged.empty()) return std::nullopt;
  // The votes blend the centres of every circle nearby; a circle followed at full size
  // knows its own to a pixel, and the ring shares it: the circles round the clearest ones
  // are scored and followed once more.
  // Not needed where a ring with the scene inside is clear already.
  const bool clear = std::any_of(judged.begin(), judged.end(), [](const Judged& j) {
    return j.confidence >= kRingConfidenceThreshold && j.texture >= 0.2;
  });
  std::vector<Judged> clearest = clear ? std::vector<Judged>() : judged;
  std::sort(clearest.begin(), clearest.end(), [](const Judged& a, const Judged& b) { return a.edge > b.edge; });
  std::vector<Candidate> around;
  const double offset = (factor - 1) / 2.0;
  for (std::size_t i = 0; i < std::min<std::size_t>(2, clearest.size()) && clearest[i].edge >= 0.5; ++i) {
    const FittedCircle& c = clearest[i].last.circle;
    scoreCirclesAround(grey, {(c.centreX - offset) / factor, (c.centreY - offset) / factor}, spread, around);
  }
  if (!around.empty()) judgeAll(image, grey, around, factor, spread, judged);
  std::vector<JudgedCircle> circles;
  for (Judged& j : judged) {
    j.circle = j.last.circle;
    circles.push_back(j);
  }
  return chooseRing(circles);
}

}  // namespace kelmira
