#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/image_stream.h"
#include "image/layer_state.h"

namespace kelmira {

// How the readers of the formats with a fixed header (BMP, TGA, PCX) begin: no picture
// size until a picture is made, and the header read whole, or `tooShort` recorded.
template <std::size_t HeaderBytes>
bool readFixedHeader(ImageStream& stream, LayerCall& call, ImageErrorCode tooShort,
                     std::array<std::uint8_t, HeaderBytes>& header, std::int32_t& width, std::int32_t& height) {
  width = 0;
  height = 0;
  if (stream.readExact(header.data(), header.size())) return true;
  call.fail(tooShort);
  return false;
}

// Buffered byte-at-a-time reading for the run-length decoders, which would otherwise
// ask the stream for one byte per packet.
class StreamReader {
 public:
  explicit StreamReader(ImageStream& stream) : stream_(stream) {}

  bool readByte(std::uint8_t& value) {
    if (next_ == end_ && !refill()) return false;
    value = buffer_[next_++];
    return true;
  }

  bool read(std::uint8_t* out, std::size_t count) {
    while (count > 0) {
      if (next_ == end_ && !refill()) return false;
      const std::size_t step = count < end_ - next_ ? count : end_ - next_;
      std::memcpy(out, buffer_.data() + next_, step);
      next_ += step;
      out += step;
      count -= step;
    }
    return true;
  }

 private:
  bool refill() {
    next_ = 0;
    end_ = stream_.readSome(buffer_.data(), buffer_.size());
    return end_ != 0;
  }

  ImageStream& stream_;
  std::array<std::uint8_t, 4096> buffer_{};
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

}  // namespace kelmira
