#include "movie/panorama_movie_export.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "image/dib_image.h"
#include "image/image_error.h"
#include "image/layer_state.h"
#include "image/progress_sink.h"
#include "image/replacement_file.h"
#include "movie/qtvr_movie_writer.h"
#include "movie/quicktime/movie_file.h"

namespace kelmira {

namespace {

// Installs a sink as the image layer's progress callback for one scope.
class LayerProgress {
 public:
  explicit LayerProgress(ProgressSink* sink) : sink_(sink) {
    if (sink_ != nullptr) {
      setProgressCallback([sink](std::int32_t at, std::int32_t total) { return sink->reportProgress(at, total) != 0; });
    }
  }
  ~LayerProgress() {
    if (sink_ != nullptr) setProgressCallback({});
  }
  LayerProgress(const LayerProgress&) = delete;
  LayerProgress& operator=(const LayerProgress&) = delete;

 private:
  ProgressSink* sink_;
};

}  // namespace

MovieExportResult prepareMovieImage(DibImage& panorama, const std::string& imagePath, ProgressSink* progress) {
  LayerProgress layerProgress(progress);
  panorama.fitToMovieSize(panorama.width(), panorama.height(), false, progress);
  DibImage turned;
  if (const ImageErrorCode code = turned.copyFrom(panorama); code != ImageError::None) {
    return {-1, errorText(static_cast<std::uint32_t>(code))};
  }
  if (turned.rotateImage(2) == 0) return {-1, errorText(static_cast<std::uint32_t>(lastError()))};
  if (const ImageErrorCode code = turned.saveToFile(imagePath, FileTypeBmp, progress); code != ImageError::None) {
    return {-1, errorText(static_cast<std::uint32_t>(code))};
  }
  return {};
}

std::string makeTempPath(const std::string& extension) {
  std::string pattern = (std::filesystem::temp_directory_path() / "PXTXXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    close(fd);
    std::remove(pattern.c_str());  // only the name is wanted
  }
  return pattern + "." + extension;
}

MovieExportResult savePanoramaMovie(DibImage& panorama, const std::string& destination, const MovieSettings& settings,
                                    ProgressSink* progress) {
  // Refused before any file is touched: 24 equal tiles need a wide enough panorama.
  if (panorama.width() < panorama.height()) return {-1, "The panorama must be wider than it is high to make a movie."};
  if (panorama.width() < 96 || panorama.height() < 4) return {-1, "The panorama is too small to make a movie."};

  const std::string imagePath = makeTempPath("BMP");
  const std::string tilePath = makeTempPath("TIL");
  MovieExportResult result = prepareMovieImage(panorama, imagePath, progress);
  if (progress != nullptr) progress->endProgress();
  if (result.code == 0) {
    // The movie is flattened into a new file beside the destination, which replaces the
    // old one only when complete; the intermediate movie takes its name from that file.
    ReplacementFile replacement(destination);
    if (!replacement.created()) {
      result = {-1, "The movie cannot be written into the folder of " + destination + "."};
    } else if (const OSErr error = buildQtvrMovie(imagePath, tilePath, replacement.temporaryPath(), settings, progress);
               error != noErr) {
      result = {error, "QuickTime save failed.\n\nPlease install the FULL version of QuickTime."};
    } else if (!replacement.commit()) {
      result = {-1, "The movie could not be put in place of " + destination + "."};
    }
  }
  deleteMovieFile(tilePath);
  deleteMovieFile(imagePath);
  if (progress != nullptr) progress->endProgress();
  return result;
}

}  // namespace kelmira
