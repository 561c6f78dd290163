#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "movie/quicktime/movie.h"

namespace kelmira {

// createMovieFile flags
inline constexpr std::int32_t createMovieFileDeleteCurFile = std::int32_t(0x80000000u);
inline constexpr std::int32_t createMovieFileDontCreateMovie = 0x40000000;
inline constexpr std::int32_t createMovieFileDontOpenFile = 0x20000000;
inline constexpr std::int32_t createMovieFileDontCreateResFile = 0x10000000;
// openMovieFile permissions
inline constexpr std::int8_t fsRdPerm = 1;
inline constexpr std::int8_t fsRdWrPerm = 3;
// addMovieResource: let the toolbox choose the resource id
inline constexpr std::int16_t movieInDataForkResID = -1;

// An open movie file: the one being written, or one opened to read its movie.
struct MovieFile {
  std::string path;  // normalised
  std::shared_ptr<MovieDataFile> writer;  // set when this process writes it
};

// Creates (or, with createMovieFileDeleteCurFile, replaces) the file and a new empty
// movie whose samples go into it. Without that flag an existing file gives dupFNErr.
OSErr createMovieFile(const std::string& path, OSType creator, std::int16_t scriptTag, std::int32_t createFlags,
                      MovieFile** file, Movie** movie);
OSErr openMovieFile(const std::string& path, MovieFile** file, std::int8_t permission);
OSErr closeMovieFile(MovieFile* file);
// Loads the file's first movie; resId may be null.
OSErr newMovieFromFile(Movie** movie, MovieFile* file, std::int16_t* resId, std::int32_t newMovieFlags);
// Writes the movie atom after the media data of the file (the mdat's size patched).
OSErr addMovieResource(Movie* movie, MovieFile* file, std::int16_t* resId);
// Removes any file; fnfErr when there is none.
OSErr deleteMovieFile(const std::string& path);

}  // namespace kelmira
