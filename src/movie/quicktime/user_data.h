#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

struct UserDataItem {
  OSType type = 0;
  ByteBuffer data;
};

// A movie's user data: items in the order they were added, several per type allowed.
struct UserData {
  std::vector<UserDataItem> items;
};

// index is 1-based among the items of that type; 0 means the first.
std::int16_t countUserDataType(const UserData* userData, OSType type);
OSErr getUserDataItem(const UserData* userData, ByteBuffer& data, OSType type, std::int32_t index);
// Replaces the item, or adds it when index is one past the last of its type.
OSErr setUserDataItem(UserData* userData, const void* data, std::size_t size, OSType type, std::int32_t index);

}  // namespace kelmira
