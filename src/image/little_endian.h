#pragma once

#include <cstdint>

namespace kelmira {

// The fields of the BMP, TGA and PCX headers: little-endian whatever the processor is.
inline std::uint32_t readLe16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

inline std::uint32_t readLe32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void storeLe16(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void storeLe32(std::uint8_t* p, std::uint32_t value) {
  storeLe16(p, value & 0xFFFF);
  storeLe16(p + 2, value >> 16);
}

}  // namespace kelmira
