#pragma once

#include <cstdint>
#include <string>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_atom_container.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// The web address every hot spot of a Kelmira movie links to.
inline constexpr char kHotSpotAddress[] = "https://kelmira.invalid/";
inline constexpr int kHotSpotCount = 4;

// The VR world container (for the VR track's sample description) and the node
// information container (the VR track's sample). Both are returned even when a step
// fails; the result is the first failure or noErr.
OSErr buildVrContainers(OSType nodeType, std::uint32_t correctionMode, QTAtomContainer& vrWorld,
                        QTAtomContainer& nodeInfo);

// The VR track's sample description: the 16-byte header, big-endian like the panorama
// track's and as the file holds it, followed by the world container's bytes.
ByteBuffer buildVrSampleDescription(const AtomContainer* vrWorld);

// The panorama track's sample: one 'pdat' atom for tiles of w x t pixels. Null when
// memory runs out.
QTAtomContainer buildPanoramaSample(std::int32_t imageRefTrackIndex, std::int32_t tileWidth, std::int32_t tileHeight);

// The vertical half field of view T of the panorama, in degrees.
float panoramaHalfFieldOfView(std::int32_t tileWidth, std::int32_t tileHeight);

OSErr addUrlHotSpot(AtomContainer* container, QTAtom hotSpotParent, const std::string& address, const std::string& name,
                    QTAtomID hotSpotId);

// Adds a 'vrsg' string atom under `parent` and reports its id in `stringAtomId` (0 when
// no atom was made: an empty name, or no memory for its data).
OSErr addStringAtom(AtomContainer* container, QTAtom parent, const std::string& name, QTAtomID* stringAtomId);

}  // namespace kelmira
