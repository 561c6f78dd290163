#pragma once

#include <cstdint>
#include <string>

#include "image/embedded_metadata.h"
#include "metadata/photo_metadata.h"

namespace kelmira {

// The software every result names as its maker: "Kelmira 2.1000".
std::string resultSoftware();

// An XMP packet around rdf:Description elements (each a line-indented element with its own
// namespaces, ended by a newline).
std::string xmpPacketAround(const std::string& descriptions);

// What a result of width x height pixels made from the photograph carries: the capture
// time, camera and lens, exposure, place, artist and copyright of its EXIF, its IPTC, its
// own XMP and its colour profile as they were; made true of the new picture: its size, an
// upright orientation, no thumbnail, the software resultSoftware(). `ownDescription`, when
// given, is an rdf:Description the result's XMP must carry as written (the Photo Sphere
// fields), in place of any of the photograph's own in its namespaces. A photograph
// without metadata gives exactly `ownDescription`'s packet, or nothing. A block too large
// for a JPEG's segment is left out (the Photo Sphere fields never are).
EmbeddedMetadata metadataForResult(const PhotoMetadata& photo, std::int32_t width, std::int32_t height,
                                   const std::string& ownDescription = {});

}  // namespace kelmira
