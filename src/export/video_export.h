#pragma once

#include "export/export_request.h"
#include "export/export_result.h"

namespace kelmira {

// Makes the request's kind of the video: finds its ring where the source does not give it,
// then converts every frame (the 360-degree video's writer, its row's writeVideo).
ExportResult exportVideo(const VideoSource& source, const ExportRequest& request);

// The 360-degree video's writer: H.264 in MP4 with the spherical metadata, the audio and the
// input's creation time and location, its frame as wide as the request's video settings say
// (or from the ring's size).
ExportResult writeSphereVideo(const VideoSource& source, const ExportRequest& request);

}  // namespace kelmira
