#pragma once

#include <optional>
#include <string_view>

namespace kelmira {

// A point of a photograph: x to the right, y down, whole numbers at pixel centres.
struct ImagePoint {
  double x = 0;
  double y = 0;
};

// A ray in a mirror model's own frame, as a unit vector: x and y along the photograph's
// right and down, z along the ray the calibration's centre sees, which looks back at the
// camera. Elevations of a model are measured away from the camera: the centre's ray lies
// at -90 degrees.
struct CameraRay {
  double x = 0;
  double y = 0;
  double z = 1;
};

// Where a ray looks in the world: the elevation in degrees above the horizon, and the
// azimuth in degrees from 0 to 360, growing as one turns right (clockwise seen from
// above) and 0 where the photograph shows the scene right of the centre.
struct SkyDirection {
  double elevation = 0;
  double azimuth = 0;
};

// How the camera sits on the mirror. Below, looking up (the usual rig): turning right runs
// counterclockwise on the photograph as displayed, and a model's elevations are the
// world's. Above, looking down: both are the other way.
enum class Rig { CameraBelow, CameraAbove };

SkyDirection skyDirection(const CameraRay& ray, Rig rig);
CameraRay cameraRay(const SkyDirection& direction, Rig rig);
// A model's elevation, in degrees, of a world elevation, and back (the same sum).
inline double modelElevation(double worldElevation, Rig rig) {
  return rig == Rig::CameraBelow ? worldElevation : -worldElevation;
}

// "camera-below" and "camera-above", as the command line and the settings file write them.
std::string_view rigName(Rig rig);
std::optional<Rig> rigFromName(std::string_view name);

}  // namespace kelmira
