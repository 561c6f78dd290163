#include "export/save_as_rows_arrive.h"

#include <system_error>

#include "metadata/result_metadata.h"

namespace kelmira {

void SaveAsRowsArrive::started(const DibImage& panorama) {
  // Held here, on the thread that owns the picture; the saver keeps it alive.
  HeldPixels picture = panorama.hold();
  embedded_ = metadataForResult(metadata_, panorama.width(), panorama.height());
  try {
    saver_ = std::thread([this, picture = std::move(picture)] {
      code_ = savePictureAsRowsArrive(picture, path_, type_, rowsReady_, embedded_);
    });
  } catch (const std::system_error&) {
    // No thread to be had: finish() reports that no save ran.
  }
}

std::optional<ImageErrorCode> SaveAsRowsArrive::finish() {
  rowsReady_.close();
  if (saver_.joinable()) saver_.join();
  return code_;
}

}  // namespace kelmira
