#pragma once

#include <string>

namespace kelmira {

// The XML of Spherical Video V1 (Google's GSpherical tags) for an equirectangular video
// of the whole sphere, as older players and YouTube's first uploader read it.
std::string sphericalV1Xml();

// Puts that XML, in its `uuid` box, at the end of the video track of a finished MP4 whose
// movie box is its last top-level box (as libavformat writes it without faststart), so no
// sample moves. False, changing nothing, when the file is not such an MP4; `why` says why.
bool addSphericalV1Box(const std::string& path, std::string& why);

}  // namespace kelmira
