#pragma once

#include <cstdint>
#include <string>

#include "movie/quicktime/movie.h"

namespace kelmira {

// flattenMovieData flags
inline constexpr std::int32_t flattenAddMovieToDataFork = 1 << 0;
inline constexpr std::int32_t flattenActiveTracksOnly = 1 << 2;
inline constexpr std::int32_t flattenDontInterleaveFlatten = 1 << 3;
inline constexpr std::int32_t flattenForceMovieResourceBeforeMovieData = 1 << 6;

// QuickTime's own progress window; this toolbox shows none and keeps the value only.
inline constexpr std::intptr_t defaultMovieProgressProc = -1;
OSErr setMovieProgressProc(Movie* movie, std::intptr_t progressProc);

// Writes a self-contained movie file at destination: every sample the movie uses,
// wherever it lies, is copied into one 'mdat', and the movie atom (before the data when
// flattenForceMovieResourceBeforeMovieData is set, after it otherwise) refers only to
// the file itself. newMovie, when given, receives the movie loaded from the new file.
OSErr flattenMovieData(Movie* movie, std::int32_t movieFlattenFlags, const std::string& destination,
                       OSType creator, std::int16_t scriptTag, std::int32_t createMovieFileFlags, Movie** newMovie);

}  // namespace kelmira
