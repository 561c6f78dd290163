#pragma once

#include <cstdint>
#include <string>

#include "image/image_error.h"
#include "sphere/sphere_photo.h"

namespace kelmira {

enum class ExportStatus {
  Written,
  NoWriter,       // the destination's name names nothing Kelmira writes
  ViewerMissing,  // the web viewer's files are not where they are installed
  NoPanorama,     // the round photograph gave no panorama
  NoMemory,
  ImageFailed,  // a picture, 360-degree photo or web page was not written: `imageCode`
  MovieFailed,  // refused or not written: `movieCode` (-1 refused) and `detail`
  VideoFailed,  // no video written: `detail` says why
  VideoDamaged,  // written up to where the input is damaged: `detail` says where
};

// How an export ended, what it wrote, and what to tell of it.
struct ExportResult {
  ExportStatus status = ExportStatus::Written;
  std::string destination;
  ImageErrorCode imageCode = ImageError::None;
  int movieCode = 0;
  // The movie writer's message; the viewer's folder; the photograph that gave no panorama.
  std::string detail;
  std::int32_t cropRadius = 0;
  // What was written: the picture's size (a movie's panorama as trimmed), and where a
  // 360-degree photo or web page's photo lies on the sphere.
  std::int32_t width = 0;
  std::int32_t height = 0;
  SphereFrame frame;
  // A video's frames written, and what was left out of it.
  std::int64_t frames = 0;
  std::string warning;

  bool ok() const { return status == ExportStatus::Written; }
  // What the window tells, in paragraphs.
  std::string message() const;
  // What a terminal is told, on one line and not yet made printable.
  std::string line() const;
};

}  // namespace kelmira
