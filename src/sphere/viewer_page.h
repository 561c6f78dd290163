#pragma once

#include <string>

#include "sphere/sphere_photo.h"

namespace kelmira {

// The viewer's own files, pannellum.js and pannellum.css, as the build puts them into the
// program's share folder (share/kelmira/web).
struct ViewerFiles {
  std::string script;
  std::string styles;
};
// Reads them from `folder`; false when either is missing or unreadable.
bool readViewerFiles(const std::string& folder, ViewerFiles& files);

// One self-contained web page that pans and zooms a 360-degree photo: the viewer, its
// styles and the JPEG inlined, set for the photo's full circle and its band of elevations
// with the view kept inside it, titled `title`, with the lines of `caption` under the
// title; both show as plain text wherever they appear. It asks for nothing from anywhere
// else and runs no script but its own two.
std::string makeViewerPage(const std::string& jpegBytes, const SphereFrame& frame, const std::string& title,
                           const ViewerFiles& viewer, const std::string& caption = {});

// What a page says under its title of the photograph: when it was taken and where, a line
// each; empty when the photograph does not say.
std::string viewerCaption(const PhotoMetadata& metadata);

// Makes the 360-degree photo of the panorama and writes its web page to `path` (replaced
// only when complete): the photo carries what a 360-degree photo carries of the photograph,
// and the page its caption. `made`, when given, receives where its photo lies on the
// sphere. An image layer code.
ImageErrorCode saveViewerPage(const DibImage& panorama, const RowElevations& rows, const std::string& path,
                              const std::string& title, int quality, const ViewerFiles& viewer,
                              ProgressSink* progress = nullptr, SphereFrame* made = nullptr,
                              const PhotoMetadata& metadata = PhotoMetadata::none());

}  // namespace kelmira
