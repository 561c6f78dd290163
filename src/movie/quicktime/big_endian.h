#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace kelmira {

using ByteBuffer = std::vector<std::uint8_t>;

// Appends big-endian fields to a buffer; sizes written as placeholders are patched later.
class ByteWriter {
 public:
  explicit ByteWriter(ByteBuffer& out) : out_(out) {}
  std::size_t position() const { return out_.size(); }
  void u8(std::uint32_t v) { out_.push_back(static_cast<std::uint8_t>(v)); }
  void u16(std::uint32_t v) {
    u8(v >> 8);
    u8(v);
  }
  void u32(std::uint32_t v) {
    u16(v >> 16);
    u16(v & 0xFFFF);
  }
  void s32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v >> 32));
    u32(static_cast<std::uint32_t>(v));
  }
  void f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
  void bytes(const void* data, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), p, p + count);
  }
  void zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }
  void patchU32(std::size_t at, std::uint32_t v) {
    out_[at] = static_cast<std::uint8_t>(v >> 24);
    out_[at + 1] = static_cast<std::uint8_t>(v >> 16);
    out_[at + 2] = static_cast<std::uint8_t>(v >> 8);
    out_[at + 3] = static_cast<std::uint8_t>(v);
  }

 private:
  ByteBuffer& out_;
};

// Reads big-endian fields with bounds checks: a read past the end sets failed() and
// gives 0, so parsers of hostile files check once at the end of a structure.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return size_ - position_; }
  bool failed() const { return failed_; }
  bool skip(std::size_t count) {
    if (count > remaining()) return fail();
    position_ += count;
    return true;
  }
  std::uint32_t u8() { return take(1) ? data_[position_ - 1] : 0; }
  std::uint32_t u16() { return take(2) ? (std::uint32_t(data_[position_ - 2]) << 8) | data_[position_ - 1] : 0; }
  std::uint32_t u32() {
    if (!take(4)) return 0;
    const std::uint8_t* p = data_ + position_ - 4;
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
  }
  std::uint64_t u64() {
    const std::uint64_t high = u32();
    return (high << 32) | u32();
  }
  float f32() {
    const std::uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  const std::uint8_t* bytes(std::size_t count) { return take(count) ? data_ + position_ - count : nullptr; }

 private:
  bool take(std::size_t count) {
    if (failed_ || count > remaining()) return fail();
    position_ += count;
    return true;
  }
  bool fail() {
    failed_ = true;
    return false;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace kelmira
