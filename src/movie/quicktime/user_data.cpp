#include "movie/quicktime/user_data.h"

#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

namespace {

// Position in items of the index-th item of a type, or -1.
std::ptrdiff_t findItem(const UserData& userData, OSType type, std::int32_t index) {
  std::int32_t seen = 0;
  const std::int32_t wanted = index <= 0 ? 1 : index;
  for (std::size_t i = 0; i < userData.items.size(); ++i) {
    if (userData.items[i].type == type && ++seen == wanted) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

}  // namespace

std::int16_t countUserDataType(const UserData* userData, OSType type) {
  if (userData == nullptr) return 0;
  std::int16_t count = 0;
  for (const UserDataItem& item : userData->items) count += item.type == type ? 1 : 0;
  return count;
}

OSErr getUserDataItem(const UserData* userData, ByteBuffer& data, OSType type, std::int32_t index) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (userData == nullptr) return recordMoviesError(paramErr);
  const std::ptrdiff_t at = findItem(*userData, type, index);
  if (at < 0) return recordMoviesError(cannotFindAtomErr);
  data = userData->items[at].data;
  return recordMoviesError(noErr);
}

OSErr setUserDataItem(UserData* userData, const void* data, std::size_t size, OSType type, std::int32_t index) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (userData == nullptr || (data == nullptr && size != 0) || index < 0) return recordMoviesError(paramErr);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::ptrdiff_t at = findItem(*userData, type, index);
  if (at >= 0) {
    userData->items[at].data.assign(bytes, bytes + size);
  } else if (std::max(index, 1) == countUserDataType(userData, type) + 1) {
    userData->items.push_back({type, ByteBuffer(bytes, bytes + size)});
  } else {
    return recordMoviesError(paramErr);
  }
  return recordMoviesError(noErr);
}

}  // namespace kelmira
