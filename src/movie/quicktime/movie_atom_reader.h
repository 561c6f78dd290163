#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "movie/quicktime/movie.h"

namespace kelmira {

// Builds a movie from the payload of a 'moov' atom read from moviePath (self data
// references resolve to that path). Every count and size is checked against the bytes
// at hand; a malformed atom gives invalidMovie, invalidTrack, invalidSampleTable or
// badDataRefIndex.
OSErr parseMovieAtom(const std::uint8_t* payload, std::size_t size, const std::string& moviePath,
                     std::unique_ptr<Movie>& movie);

}  // namespace kelmira
