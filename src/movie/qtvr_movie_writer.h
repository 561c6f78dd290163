#pragma once

#include <cstdint>
#include <string>

#include "movie/movie_settings.h"
#include "movie/quicktime/graphics_importer.h"
#include "movie/quicktime/image_compression.h"
#include "movie/quicktime/movie.h"

namespace kelmira {

class ProgressSink;

// The steps of making a QuickTime VR panorama movie from a panorama already turned a
// quarter turn counter-clockwise and saved as a BMP file. Each returns QuickTime's
// result code and releases what it made.

// The whole movie: kMovieTileCount tiles into `tileMovieFile`, the VR movie beside the
// destination, then flattened into `destination`. paramErr, with nothing written, when the
// image is wider than tall (the panorama was taller than wide).
OSErr buildQtvrMovie(const std::string& imageFile, const std::string& tileMovieFile, const std::string& destination,
                     const MovieSettings& settings, ProgressSink* progress = nullptr);

OSErr writeTileMovie(GraphicsImportComponent importer, const std::string& file, CodecType codecType, CodecQ quality,
                     std::int16_t depth, ProgressSink* progress = nullptr);
OSErr writeVrMovie(const std::string& file, const std::string& tileMovieFile, std::int32_t viewWidth,
                   std::int32_t viewHeight, std::uint32_t correctionMode);
OSErr addPanoramaTrack(Movie* movie, const std::string& tileMovieFile, Track* vrTrack, Track* panoramaTrack,
                       Media* panoramaMedia);
// Adds a copy of the source's first video track to the destination, its edit scaled to
// `duration`; reports the tile size. Returns the sticky error of the steps.
OSErr copyImageTrack(Movie* source, Movie* destination, TimeValue duration, std::int32_t* tileWidth,
                     std::int32_t* tileHeight);
OSErr setControllerType(Movie* movie, OSType controller);

// The intermediate VR movie's name: the destination with its last character replaced,
// a final 't' by '@' and anything else by 't' (room.mov gives room.mot).
std::string intermediateMoviePath(const std::string& destination);

}  // namespace kelmira
