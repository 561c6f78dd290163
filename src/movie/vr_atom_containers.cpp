#include "movie/vr_atom_containers.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "movie/quicktime/image_compression.h"
#include "movie/rules/movie_size.h"

namespace kelmira {

namespace {

constexpr std::uint16_t kMajorVersion = 2;
constexpr std::uint16_t kMinorVersion = 0;
constexpr std::uint32_t kImagingModeStatic = 1;
constexpr std::uint32_t kImagingModeMotion = 2;
constexpr std::uint32_t kImagingValidCorrectionQualityDirectDraw = 7;

void writeVersion(ByteWriter& w) {
  w.u16(kMajorVersion);
  w.u16(kMinorVersion);
}

OSErr insertData(AtomContainer* container, QTAtom parent, const char (&type)[5], QTAtomID id, int index,
                 const ByteBuffer& data, QTAtom* atom = nullptr) {
  return qtInsertChild(container, parent, fourCC(type), id, index, static_cast<std::int64_t>(data.size()),
                       data.empty() ? nullptr : data.data(), atom);
}

ByteBuffer worldHeader() {
  ByteBuffer data;
  ByteWriter w(data);
  writeVersion(w);
  w.u32(0);  // nameAtomID
  w.u32(1);  // defaultNodeID
  w.u32(0);  // vrWorldFlags
  w.u32(0);
  w.u32(0);
  return data;
}

ByteBuffer panoramaImaging(std::uint32_t mode, std::uint32_t correction, std::uint32_t quality,
                           std::uint32_t directDraw) {
  ByteBuffer data;
  ByteWriter w(data);
  writeVersion(w);
  w.u32(mode);
  w.u32(kImagingValidCorrectionQualityDirectDraw);
  w.u32(correction);
  w.u32(quality);
  w.u32(directDraw);
  w.zeros(6 * 4);  // imagingProperties
  w.u32(0);
  w.u32(0);
  return data;
}

ByteBuffer nodeLocation(OSType nodeType) {
  ByteBuffer data;
  ByteWriter w(data);
  writeVersion(w);
  w.u32(nodeType);
  w.u32(0);  // locationFlags
  w.u32(0);  // locationData
  w.u32(0);
  w.u32(0);
  return data;
}

ByteBuffer nodeHeader(OSType nodeType) {
  ByteBuffer data;
  ByteWriter w(data);
  writeVersion(w);
  w.u32(nodeType);
  w.u32(1);  // nodeID
  w.u32(0);  // nameAtomID
  w.u32(0);  // commentAtomID
  w.u32(0);
  w.u32(0);
  return data;
}

ByteBuffer hotSpotInfo(QTAtomID nameAtomId) {
  ByteBuffer data;
  ByteWriter w(data);
  writeVersion(w);
  w.u32(fourCC("url "));  // hotSpotType
  w.s32(nameAtomId);
  w.u32(0);        // commentAtomID
  w.zeros(3 * 4);  // cursor ids
  w.f32(0.0f);     // bestPan
  w.f32(0.0f);     // bestTilt
  w.f32(0.0f);     // bestFOV
  w.f32(0.0f);     // bestViewCenter
  w.f32(0.0f);
  w.zeros(4 * 2);  // hotSpotRect
  w.u32(0);        // flags
  w.u32(0);
  w.u32(0);
  return data;
}

// The short pi 3.14159 and 180 / 3.14159, so the angles match byte for byte.
double halfFieldOfView(std::int32_t tileWidth, std::int32_t tileHeight) {
  return std::atan(tileWidth * 3.14159 / static_cast<double>(kMovieTileCount * static_cast<std::int64_t>(tileHeight))) *
         57.29582790879778;
}

OSErr buildWorld(AtomContainer* world, std::uint32_t correctionMode, OSType nodeType) {
  QTAtom imaging = 0;
  QTAtom nodeParent = 0;
  QTAtom nodeId = 0;
  if (OSErr err = insertData(world, kParentAtomIsContainer, "vrsc", 1, 1, worldHeader())) return err;
  if (OSErr err = insertData(world, kParentAtomIsContainer, "imgp", 1, 1, {}, &imaging)) return err;
  if (OSErr err =
          insertData(world, imaging, "impn", 0, 0, panoramaImaging(kImagingModeMotion, correctionMode, codecLowQuality, 1)))
    return err;
  if (OSErr err =
          insertData(world, imaging, "impn", 0, 0, panoramaImaging(kImagingModeStatic, correctionMode, codecHighQuality, 0)))
    return err;
  if (OSErr err = insertData(world, kParentAtomIsContainer, "vrnp", 1, 1, {}, &nodeParent)) return err;
  if (OSErr err = insertData(world, nodeParent, "vrni", 1, 0, {}, &nodeId)) return err;
  return insertData(world, nodeId, "nloc", 1, 1, nodeLocation(nodeType));
}

OSErr buildNodeInfo(AtomContainer* node, OSType nodeType) {
  QTAtom hotSpotParent = 0;
  if (OSErr err = insertData(node, kParentAtomIsContainer, "ndhd", 1, 1, nodeHeader(nodeType))) return err;
  if (OSErr err = insertData(node, kParentAtomIsContainer, "hspa", 1, 1, {}, &hotSpotParent)) return err;
  for (int n = 1; n <= kHotSpotCount; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "Hot Spot Index %d", n);
    if (OSErr err = addUrlHotSpot(node, hotSpotParent, kHotSpotAddress, name, n)) return err;
  }
  return noErr;
}

}  // namespace

OSErr buildVrContainers(OSType nodeType, std::uint32_t correctionMode, QTAtomContainer& vrWorld,
                        QTAtomContainer& nodeInfo) {
  if (OSErr err = qtNewAtomContainer(vrWorld)) return err;
  if (OSErr err = buildWorld(vrWorld.get(), correctionMode, nodeType)) return err;
  if (OSErr err = qtNewAtomContainer(nodeInfo)) return err;
  return buildNodeInfo(nodeInfo.get(), nodeType);
}

ByteBuffer buildVrSampleDescription(const AtomContainer* vrWorld) {
  if (!vrWorld) return {};
  const ByteBuffer container = vrWorld->bytes();
  ByteBuffer description;
  ByteWriter writer(description);
  writer.u32(static_cast<std::uint32_t>(16 + container.size()));
  writer.u32(fourCC("qtvr"));
  writer.zeros(6);
  writer.u16(0);  // data reference index 0, not 1
  description.insert(description.end(), container.begin(), container.end());
  return description;
}

float panoramaHalfFieldOfView(std::int32_t tileWidth, std::int32_t tileHeight) {
  return static_cast<float>(halfFieldOfView(tileWidth, tileHeight));
}

QTAtomContainer buildPanoramaSample(std::int32_t imageRefTrackIndex, std::int32_t tileWidth, std::int32_t tileHeight) {
  const double t = halfFieldOfView(tileWidth, tileHeight);
  const std::uint32_t stripLength = static_cast<std::uint32_t>(kMovieTileCount * static_cast<std::int64_t>(tileHeight));
  const float halfView = static_cast<float>(t);
  const float fullView = static_cast<float>(2 * t);
  ByteBuffer data;
  ByteWriter w(data);
  writeVersion(w);
  w.s32(imageRefTrackIndex);
  w.u32(0);            // hotSpotRefTrackIndex
  w.f32(0.0f);         // minPan
  w.f32(360.0f);       // maxPan
  w.f32(-halfView);    // minTilt
  w.f32(halfView);     // maxTilt
  w.f32(0.0f);         // minFieldOfView
  w.f32(fullView);     // maxFieldOfView
  w.f32(0.0f);         // defaultPan
  w.f32(0.0f);         // defaultTilt
  w.f32(fullView);     // defaultFieldOfView
  w.s32(tileWidth);    // imageSizeX
  w.u32(stripLength);  // imageSizeY
  w.u16(1);            // imageNumFramesX
  w.u16(kMovieTileCount);  // imageNumFramesY
  w.s32(tileWidth);    // hotSpotSizeX
  w.u32(stripLength);  // hotSpotSizeY
  w.u16(1);            // hotSpotNumFramesX
  w.u16(kMovieTileCount);  // hotSpotNumFramesY
  w.u32(0);            // flags
  w.u32(0);            // panoType
  w.u32(0);

  QTAtomContainer sample;
  if (qtNewAtomContainer(sample) != noErr) return nullptr;
  if (insertData(sample.get(), kParentAtomIsContainer, "pdat", 1, 1, data) != noErr) return nullptr;
  return sample;
}

OSErr addUrlHotSpot(AtomContainer* container, QTAtom hotSpotParent, const std::string& address, const std::string& name,
                    QTAtomID hotSpotId) {
  QTAtom hotSpot = 0;
  if (OSErr err = qtInsertChild(container, hotSpotParent, fourCC("hots"), hotSpotId, 0, 0, nullptr, &hotSpot))
    return err;
  QTAtomID nameId = 0;
  if (OSErr err = addStringAtom(container, hotSpot, name, &nameId)) return err;
  if (OSErr err = insertData(container, hotSpot, "hsin", 1, 0, hotSpotInfo(nameId))) return err;
  return qtInsertChild(container, hotSpot, fourCC("url "), 1, 0, static_cast<std::int64_t>(address.size()),
                       address.data(), nullptr);
}

OSErr addStringAtom(AtomContainer* container, QTAtom parent, const std::string& name, QTAtomID* stringAtomId) {
  if (stringAtomId) *stringAtomId = 0;
  if (!container || parent == 0) return paramErr;
  if (name.empty()) return noErr;
  if (name.size() > 0xFFFF) return paramErr;  // stringLength is 16 bits
  ByteBuffer data;
  try {
    data.reserve(4 + name.size() + 1);
  } catch (const std::bad_alloc&) {
    return noErr;  // the hot spot keeps no name
  }
  ByteWriter w(data);
  w.u16(1);  // stringUsage
  w.u16(static_cast<std::uint32_t>(name.size()));
  w.bytes(name.data(), name.size());
  w.u8(0);
  QTAtom atom = 0;
  if (OSErr err = insertData(container, parent, "vrsg", 0, 0, data, &atom)) return err;
  QTAtomID id = 0;
  if (OSErr err = qtGetAtomTypeAndID(container, atom, nullptr, &id)) return err;
  if (stringAtomId) *stringAtomId = id;
  return noErr;
}

}  // namespace kelmira
