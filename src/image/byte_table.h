#pragma once

#include <cstddef>
#include <cstdint>

namespace kelmira::image_detail {

// Replaces each of `count` bytes by table[byte], with the vector instructions the processor has.
void mapBytes(std::uint8_t* bytes, std::size_t count, const std::uint8_t* table);

}  // namespace kelmira::image_detail
