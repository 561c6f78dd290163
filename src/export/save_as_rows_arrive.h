#pragma once

#include <optional>
#include <string>
#include <thread>

#include "image/dib_image.h"
#include "image/file_type.h"
#include "image/image_error.h"
#include "image/row_gate.h"
#include "metadata/photo_metadata.h"
#include "unwarp/panorama_maker.h"

namespace kelmira {

// Saves the panorama while it is being made: the encoder starts on its own thread as soon
// as the picture exists and takes each row when the unwarp has finished it, so the two
// run side by side. The file is the same as a save of the finished panorama, with what it
// carries of the photograph.
class SaveAsRowsArrive : public PanoramaRowListener {
 public:
  SaveAsRowsArrive(std::string path, FileType type, const PhotoMetadata& metadata = PhotoMetadata::none())
      : path_(std::move(path)), type_(type), metadata_(metadata) {}
  ~SaveAsRowsArrive() { finish(); }
  SaveAsRowsArrive(const SaveAsRowsArrive&) = delete;
  SaveAsRowsArrive& operator=(const SaveAsRowsArrive&) = delete;

  void started(const DibImage& panorama) override;
  void rowsFinished(std::int32_t rows) override { rowsReady_.open(rows); }

  // Waits for the save and gives its code (ImageError::Aborted when the panorama stopped short, and the old
  // file stays); none when no save could be started.
  std::optional<ImageErrorCode> finish();

 private:
  const std::string path_;
  const FileType type_;
  const PhotoMetadata& metadata_;
  EmbeddedMetadata embedded_;
  RowGate rowsReady_;
  std::thread saver_;
  std::optional<ImageErrorCode> code_;
};

}  // namespace kelmira
