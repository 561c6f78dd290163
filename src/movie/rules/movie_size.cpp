#include "movie/rules/movie_size.h"

#include "image/dib_image.h"

namespace kelmira {

int fitToMovieSize(DibImage& picture, std::int32_t width, std::int32_t height, bool force, ProgressSink* progress) {
  if (width % kMovieWidthStep == 0) {
    if (height % kMovieHeightStep != 0) {
      picture.resizeTo(width, height - height % kMovieHeightStep, progress);
    } else if (force) {
      picture.resizeTo(width, height, progress);
    }
    return 1;
  }
  const std::int32_t newWidth = width - width % kMovieWidthStep;
  std::int32_t newHeight = static_cast<std::int32_t>(static_cast<double>(newWidth) / width * height);
  newHeight -= newHeight % kMovieHeightStep;
  picture.resizeTo(newWidth, newHeight, progress);
  return 1;
}

}  // namespace kelmira
