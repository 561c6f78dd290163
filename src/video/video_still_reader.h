#pragma once

#include <memory>
#include <string>

#include "video/video_facts.h"
#include "video/video_result.h"

namespace kelmira {

class DibImage;

// Single frames of a video as pictures (red, green, blue, as displayed): for the ring
// finder and for the window's round screen.
class VideoStillReader {
 public:
  VideoStillReader();
  ~VideoStillReader();
  VideoStillReader(const VideoStillReader&) = delete;
  VideoStillReader& operator=(const VideoStillReader&) = delete;

  // Written when open; otherwise why not, with FFmpeg's word in `detail`.
  VideoStatus open(const std::string& path, std::string& detail);
  const VideoFacts& facts() const { return facts_; }

  // The frame shown `seconds` after the start (the first not before it, the last one past
  // the end) into `picture`; false when none decodes or memory runs out.
  bool read(double seconds, DibImage& picture);
  // The frame `index` of facts().frameCount, by its time.
  bool readFrame(std::int64_t index, DibImage& picture);

 private:
  struct State;
  std::unique_ptr<State> state_;
  VideoFacts facts_;
};

}  // namespace kelmira
