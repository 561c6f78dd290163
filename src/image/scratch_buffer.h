#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace kelmira::detail {

// Working storage of the pixel operations. Null instead of an exception when memory
// runs out, so the operation can report ImageError::OutOfMemory. Elements are default-initialised.
template <typename T>
std::unique_ptr<T[]> tryAllocate(std::size_t count) {
  try {
    return std::unique_ptr<T[]>(new T[count]);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace kelmira::detail
