#include "movie/quicktime/image_description.h"

#include <algorithm>

namespace kelmira {

ByteBuffer ImageDescription::toSampleDescription() const {
  ByteBuffer out;
  out.reserve(kImageDescriptionBytes);
  ByteWriter writer(out);
  // No extensions are ever written, so the entry is always the bare 86 bytes.
  writer.u32(kImageDescriptionBytes);
  writer.u32(cType);
  writer.zeros(6);
  writer.u16(static_cast<std::uint16_t>(dataRefIndex));
  writer.u16(static_cast<std::uint16_t>(version));
  writer.u16(static_cast<std::uint16_t>(revisionLevel));
  writer.u32(vendor);
  writer.u32(temporalQuality);
  writer.u32(spatialQuality);
  writer.u16(static_cast<std::uint16_t>(width));
  writer.u16(static_cast<std::uint16_t>(height));
  writer.s32(hRes);
  writer.s32(vRes);
  writer.s32(dataSize);
  writer.u16(static_cast<std::uint16_t>(frameCount));
  const std::size_t nameLength = std::min<std::size_t>(name.size(), 31);
  writer.u8(static_cast<std::uint32_t>(nameLength));
  writer.bytes(name.data(), nameLength);
  writer.zeros(31 - nameLength);
  writer.u16(static_cast<std::uint16_t>(depth));
  writer.u16(static_cast<std::uint16_t>(clutID));
  return out;
}

}  // namespace kelmira
