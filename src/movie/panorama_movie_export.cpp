#include "movie/panorama_movie_export.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "image/dib_image.h"
#include "image/image_error.h"
#include "image/layer_state.h"
#include "image/progress_scope.h"
#include "image/progress_sink.h"
#include "base/replacement_file.h"
#include "base/temporary_files.h"
#include "movie/qtvr_movie_writer.h"
#include "movie/rules/movie_size.h"
#include "movie/quicktime/movie_file.h"

namespace kelmira {

namespace {

// The last progress report before the movie takes its place answers whether to go on.
constexpr std::int32_t kMovieSteps = 24;

// A temporary folder that exists and takes a new file; empty when `folder` is neither.
bool usableFolder(const std::filesystem::path& folder) {
  std::error_code error;
  return !folder.empty() && std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Creates `folder`/PXTxxxxxx.`extension` exclusively and gives its path, or empty.
std::string reserveName(const std::filesystem::path& folder, const std::string& extension) {
  std::string pattern = (folder / "PXTXXXXXX").string() + "." + extension;
  const int fd = TemporaryFiles::createFromPattern(pattern, static_cast<int>(extension.size() + 1));
  if (fd < 0) return {};
  ::close(fd);
  return pattern;
}

// A reserved temporary file that goes when the save is over, whatever its outcome.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    // Removed even when the movie toolbox is not running.
    if (path_.empty()) return;
    if (deleteMovieFile(path_) != noErr) std::remove(path_.c_str());
    TemporaryFiles::forget(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string movieRefusal(const DibImage& panorama, const MovieSettings& settings) {
  // Equal tiles need a wide enough panorama.
  if (panorama.width() < panorama.height()) return "The panorama must be wider than it is high to make a movie.";
  if (panorama.width() < kMovieWidthStep || panorama.height() < kMovieHeightStep) return "The panorama is too small to make a movie.";
  // The track header holds the view size as 16.16 fixed point.
  if (!isMovieViewSizeAllowed(settings.viewWidth) || !isMovieViewSizeAllowed(settings.viewHeight)) {
    return kMovieViewSizeRule;
  }
  return {};
}

MovieExportResult prepareMovieImage(DibImage& panorama, const std::string& imagePath, ProgressSink* progress) {
  ProgressScope layerProgress(progress);
  const std::int32_t width = panorama.width();
  const std::int32_t height = panorama.height();
  fitToMovieSize(panorama, width, height, false, progress);
  // The trim can fail (no memory, or a height that rounds down to nothing) and leave the
  // panorama as it was; a movie of an untrimmed picture would cut its tiles wrongly.
  if (panorama.width() % kMovieWidthStep != 0 || panorama.height() % kMovieHeightStep != 0 || panorama.height() == 0) {
    const ImageErrorCode code = lastError() != ImageError::None ? lastError() : ImageError::BadParameter;
    return {-1, errorText(code)};
  }
  DibImage turned;
  if (const ImageErrorCode code = turned.copyFrom(panorama); code != ImageError::None) {
    return {-1, errorText(code)};
  }
  if (turned.rotateImage(2) == 0) return {-1, errorText(lastError())};
  if (const ImageErrorCode code = turned.saveToFile(imagePath, FileTypeBmp, progress); code != ImageError::None) {
    return {-1, errorText(code)};
  }
  return {};
}

std::string makeTempPath(const std::string& extension, const std::string& fallbackFolder) {
  std::error_code error;
  const std::filesystem::path systemFolder = std::filesystem::temp_directory_path(error);
  if (!error && usableFolder(systemFolder)) {
    if (std::string path = reserveName(systemFolder, extension); !path.empty()) return path;
  }
  if (usableFolder(fallbackFolder)) return reserveName(fallbackFolder, extension);
  return {};
}

MovieExportResult savePanoramaMovie(DibImage& panorama, const std::string& destination, const MovieSettings& settings,
                                    ProgressSink* progress) {
  // Refused before any file or the panorama is touched.
  if (std::string refusal = movieRefusal(panorama, settings); !refusal.empty()) return {-1, std::move(refusal)};

  const std::string destinationFolder = std::filesystem::path(destination).parent_path().string();
  const std::string folder = destinationFolder.empty() ? "." : destinationFolder;
  TemporaryFile image(makeTempPath("BMP", folder));
  TemporaryFile tiles(makeTempPath("TIL", folder));
  if (image.path().empty() || tiles.path().empty()) {
    return {-1, "No temporary file can be made for the movie, neither in the temporary folder nor in " + folder + "."};
  }
  MovieExportResult result = prepareMovieImage(panorama, image.path(), progress);
  if (progress != nullptr) progress->endProgress();
  if (result.code == 0) {
    // The movie is flattened into a new file beside the destination, which replaces the
    // old one only when complete; the intermediate movie takes its name from that file.
    ReplacementFile replacement(destination);
    const std::string intermediate = intermediateMoviePath(replacement.temporaryPath());
    if (replacement.created()) TemporaryFiles::expect(intermediate);
    const std::string& into = replacement.temporaryPath();
    const OSErr error =
        replacement.created() ? buildQtvrMovie(image.path(), tiles.path(), into, settings, progress) : noErr;
    TemporaryFiles::forget(intermediate);
    if (!replacement.created()) {
      result = {-1, "The movie cannot be written into the folder of " + destination + "."};
    } else if (error != noErr) {
      result = {error, "QuickTime save failed.\n\nPlease install the FULL version of QuickTime."};
    } else if (progress != nullptr && progress->reportProgress(kMovieSteps - 1, kMovieSteps) == 0) {
      // Asked to stop while the movie was made: the old file stays.
      result = {-1, errorText(ImageError::Aborted)};
    } else if (!replacement.commit()) {
      result = {-1, "The movie could not be put in place of " + destination + "."};
    }
  }
  if (progress != nullptr) progress->endProgress();
  return result;
}

}  // namespace kelmira
