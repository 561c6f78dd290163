#include "export/panorama_writers.h"

#include <filesystem>

#include "export/web_viewer.h"
#include "image/dib_image.h"
#include "metadata/result_metadata.h"
#include "movie/panorama_movie_export.h"
#include "sphere/viewer_page.h"

namespace kelmira {

namespace {

ExportResult written(const ExportRequest& request, ImageErrorCode code, std::int32_t width, std::int32_t height) {
  ExportResult result;
  result.status = code == ImageError::None ? ExportStatus::Written : ExportStatus::ImageFailed;
  result.destination = request.destination;
  result.imageCode = code;
  result.width = width;
  result.height = height;
  return result;
}

}  // namespace

ExportResult readViewer(const ExportRequest& request, ViewerFiles& viewer) {
  ExportResult result;
  result.destination = request.destination;
  const std::string folder = request.viewerFolder.empty() ? webViewerFolder() : request.viewerFolder;
  if (!readViewerFiles(folder, viewer)) {
    result.status = ExportStatus::ViewerMissing;
    result.detail = folder;
  }
  return result;
}

ExportResult writePanoramaPicture(const PanoramaSource& source, const ExportRequest& request) {
  const ImageErrorCode code =
      source.panorama.saveToFile(request.destination, outputKindRow(request.kind).format, request.progress,
                                 metadataForResult(source.metadata, source.panorama.width(), source.panorama.height()));
  return written(request, code, source.panorama.width(), source.panorama.height());
}

ExportResult writeSpherePhoto(const PanoramaSource& source, const ExportRequest& request) {
  SphereFrame frame;
  const ImageErrorCode code =
      saveSpherePhoto(source.panorama, source.rows, request.destination, request.quality, request.progress, &frame,
                      source.metadata);
  ExportResult result = written(request, code, frame.fullWidth, frame.height);
  result.frame = frame;
  return result;
}

ExportResult writeWebPage(const PanoramaSource& source, const ExportRequest& request) {
  ViewerFiles viewer;
  if (ExportResult missing = readViewer(request, viewer); !missing.ok()) return missing;
  const std::string title =
      request.title.empty() ? std::filesystem::path(request.destination).stem().string() : request.title;
  SphereFrame frame;
  const ImageErrorCode code = saveViewerPage(source.panorama, source.rows, request.destination, title, request.quality,
                                             viewer, request.progress, &frame, source.metadata);
  ExportResult result = written(request, code, frame.fullWidth, frame.height);
  result.frame = frame;
  return result;
}

ExportResult writeMovie(const PanoramaSource& source, const ExportRequest& request) {
  // The movie trims and turns the panorama it is given: a copy, so the source stays. A
  // QuickTime VR movie has no place for the photograph's metadata.
  DibImage panorama;
  ExportResult result;
  result.destination = request.destination;
  if (panorama.copyFrom(source.panorama) != ImageError::None) {
    result.status = ExportStatus::NoMemory;
    return result;
  }
  const MovieExportResult movie = savePanoramaMovie(panorama, request.destination, request.movie, request.progress);
  if (movie.code != 0) {
    result.status = ExportStatus::MovieFailed;
    result.movieCode = movie.code;
    result.detail = movie.message;
    return result;
  }
  result.width = panorama.width();
  result.height = panorama.height();
  return result;
}

}  // namespace kelmira
