#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/quicktime/movie.h"

namespace kelmira {

// Where the movie atom goes and, when flattening, where the samples went.
struct MovieAtomPlacement {
  std::string selfPath;  // the file that will hold the movie atom
  // When set, every sample of track t now lies in selfPath at (*relocated)[t][sample].
  const std::vector<std::vector<std::uint64_t>>* relocated = nullptr;
};

// The 'moov' atom of the movie: headers, tracks with their sample tables, user data.
OSErr buildMovieAtom(const Movie& movie, const MovieAtomPlacement& placement, ByteBuffer& out);

// A minimal version 2 alias record naming a file by its POSIX path, and the path back
// out of one; empty when the record names none.
ByteBuffer makeAliasRecord(const std::string& path);
std::string aliasRecordPath(const std::uint8_t* record, std::size_t size);

}  // namespace kelmira
