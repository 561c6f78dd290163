#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "movie/quicktime/qt_atom_container.h"

namespace kelmira {

// Prints the classic atom tree of a movie file held in memory, leaf atoms field by
// field, and the QT atom containers of its 'qtvr' and 'pano' tracks (their sample
// descriptions and samples). Returns false when anything malformed was met; every
// problem is printed as an "error:" line and the rest is still shown.
bool dumpMovie(const std::uint8_t* data, std::size_t size, std::ostream& out);

// Prints a container's atoms below `indent` levels, the known VR atoms field by field.
void dumpAtomContainer(const AtomContainer& container, std::ostream& out, int indent);

}  // namespace kelmira
