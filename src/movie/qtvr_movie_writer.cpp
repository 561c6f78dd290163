#include "movie/qtvr_movie_writer.h"

#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "base/parallel_for.h"

#include "image/progress_sink.h"
#include "movie/quicktime/gworld.h"
#include "movie/quicktime/image_description.h"
#include "movie/quicktime/media.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_flattener.h"
#include "movie/quicktime/track.h"
#include "movie/quicktime/user_data.h"
#include "movie/rules/movie_size.h"
#include "movie/vr_atom_containers.h"

namespace kelmira {

namespace {

constexpr OSType kCreator = fourCC("TVOD");
constexpr std::int16_t kCurrentScript = -2;
constexpr std::int16_t kSystemScript = -1;
constexpr std::int32_t kReplaceFileNoResources = std::int32_t(0x90000000u);
// Into the data fork, not interleaved, the movie atom before the movie data.
constexpr std::int32_t kFlattenFlags = 0x49;
constexpr TimeScale kVrTimeScale = 3600;
constexpr TimeValue kVrDuration = 7200;

struct MovieCloser {
  void operator()(Movie* movie) const { disposeMovie(movie); }
};
using MovieHolder = std::unique_ptr<Movie, MovieCloser>;

struct FileCloser {
  void operator()(MovieFile* file) const { closeMovieFile(file); }
};
using FileHolder = std::unique_ptr<MovieFile, FileCloser>;

struct GWorldCloser {
  void operator()(GWorld* world) const { disposeGWorld(world); }
};

// Loads the first movie of a movie file.
OSErr loadMovie(const std::string& path, FileHolder& file, MovieHolder& movie) {
  MovieFile* openedFile = nullptr;
  if (const OSErr error = openMovieFile(path, &openedFile, fsRdPerm); error != noErr) return error;
  file.reset(openedFile);
  Movie* loaded = nullptr;
  std::int16_t resId = 0;
  if (const OSErr error = newMovieFromFile(&loaded, openedFile, &resId, 0); error != noErr) return error;
  movie.reset(loaded);
  return noErr;
}

// Creates (or replaces) a movie file with a new movie whose samples go into it.
OSErr createMovie(const std::string& path, FileHolder& file, MovieHolder& movie) {
  MovieFile* createdFile = nullptr;
  Movie* createdMovie = nullptr;
  const OSErr error =
      createMovieFile(path, kCreator, kCurrentScript, kReplaceFileNoResources, &createdFile, &createdMovie);
  file.reset(createdFile);
  movie.reset(createdMovie);
  return error;
}

OSErr addSingleSample(Track* track, Media* media, const ByteBuffer& data, const ByteBuffer& description) {
  OSErr error = beginMediaEdits(media);
  if (error == noErr) {
    error = addMediaSample(media, data.data(), data.size(), kVrDuration, description, 1, 0, nullptr);
  }
  const OSErr endError = endMediaEdits(media);
  if (error == noErr) error = endError;
  if (error == noErr) error = insertMediaIntoTrack(track, 0, 0, kVrDuration, 0x00010000);
  return error;
}

}  // namespace

std::string intermediateMoviePath(const std::string& destination) {
  if (destination.empty()) return destination;
  std::string path = destination;
  path.back() = path.back() == 't' ? '@' : 't';
  return path;
}

// One tile of the panorama, compressed.
struct Tile {
  OSErr error = noErr;
  ImageDescription description;
  std::vector<std::uint8_t> data;
};

// Draws the i-th band of rows of the importer's picture into a world of its own and
// compresses it. The importer has one position, so only one thread at a time may draw.
Tile drawAndCompressTile(GraphicsImportComponent importer, std::mutex& importerInUse, Rect bounds,
                         const Rect& tileBounds, int index, CodecType codecType, CodecQ quality, std::int16_t depth) {
  Tile tile;
  GWorldPtr rawWorld = nullptr;
  if ((tile.error = newGWorld(&rawWorld, depth, tileBounds)) != noErr) return tile;
  const std::unique_ptr<GWorld, GWorldCloser> world(rawWorld);
  {
    const std::lock_guard<std::mutex> lock(importerInUse);
    // Drawn with the picture moved up by i tiles, the world shows the i-th band of rows.
    offsetRect(bounds, 0, -(tileBounds.bottom - tileBounds.top) * index);
    tile.error = graphicsImportSetGWorld(importer, world.get());
    if (tile.error == noErr) tile.error = graphicsImportSetBoundsRect(importer, &bounds);
    if (tile.error == noErr) tile.error = graphicsImportDraw(importer);
  }
  if (tile.error != noErr) return tile;

  PixMapHandle pixels = getGWorldPixMap(world.get());
  std::int32_t maxSize = 0;
  lockPixels(pixels);
  tile.error = getMaxCompressionSize(pixels, tileBounds, depth, quality, codecType, anyCodec, &maxSize);
  // Room for the worst case while compressing; only the bytes written are kept.
  const std::unique_ptr<std::uint8_t[]> buffer(
      tile.error == noErr ? new (std::nothrow) std::uint8_t[static_cast<std::size_t>(maxSize)] : nullptr);
  if (tile.error == noErr && !buffer) tile.error = memFullErr;
  if (tile.error == noErr) {
    tile.error = fCompressImage(pixels, tileBounds, depth, quality, codecType, anyCodec, nullptr, 0, maxSize, nullptr,
                                nullptr, tile.description, buffer.get());
  }
  unlockPixels(pixels);
  if (tile.error == noErr) {
    try {
      tile.data.assign(buffer.get(), buffer.get() + tile.description.dataSize);
    } catch (const std::bad_alloc&) {
      tile.error = memFullErr;
    }
  }
  return tile;
}

OSErr writeTileMovie(GraphicsImportComponent importer, const std::string& file, CodecType codecType, CodecQ quality,
                     std::int16_t depth, ProgressSink* progress) {
  Rect bounds;
  if (const OSErr error = graphicsImportGetBoundsRect(importer, &bounds); error != noErr) return error;
  const int width = bounds.right - bounds.left;
  const int tileHeight = (bounds.bottom - bounds.top) / kMovieTileCount;
  const Rect tileBounds{bounds.top, bounds.left, static_cast<std::int16_t>(bounds.top + tileHeight), bounds.right};

  // The tiles are compressed side by side, one per processor core, and added in order.
  std::vector<Tile> tiles(kMovieTileCount);
  std::mutex importerInUse;
  parallelFor(
      tiles.size(), 0,
      [&](std::size_t i) {
        tiles[i] = drawAndCompressTile(importer, importerInUse, bounds, tileBounds, static_cast<int>(i), codecType,
                                       quality, depth);
      },
      [&](std::size_t handedOut) {
        if (progress != nullptr) progress->reportProgress(static_cast<std::int32_t>(handedOut - 1), kMovieTileCount);
      });

  FileHolder movieFile;
  MovieHolder movie;
  if (const OSErr error = createMovie(file, movieFile, movie); error != noErr) return error;
  Track* track = nullptr;
  Media* media = nullptr;
  if (const OSErr error = newMovieTrack(movie.get(), fixedFromInt(width), fixedFromInt(tileHeight), 0, &track);
      error != noErr) {
    return error;
  }
  if (const OSErr error = newTrackMedia(track, fourCC("vide"), 600, {}, 0, &media); error != noErr) return error;

  OSErr error = beginMediaEdits(media);
  for (std::size_t i = 0; i < tiles.size() && error == noErr; ++i) {
    error = tiles[i].error;
    if (error == noErr) {
      error = addMediaSample(media, tiles[i].data.data(), tiles[i].data.size(), 300,
                             tiles[i].description.toSampleDescription(), 1, 0, nullptr);
    }
  }
  const OSErr endError = endMediaEdits(media);
  if (error == noErr) error = endError;
  if (error == noErr) error = insertMediaIntoTrack(track, 0, 0, getMediaDuration(media), 0x00010000);
  if (error == noErr) {
    std::int16_t resId = -1;
    error = addMovieResource(movie.get(), movieFile.get(), &resId);
  }
  return error;
}

OSErr copyImageTrack(Movie* source, Movie* destination, TimeValue duration, std::int32_t* tileWidth,
                     std::int32_t* tileHeight) {
  clearMoviesStickyError();
  Track* sourceTrack = getMovieIndTrackType(source, 1, fourCC("vide"), movieTrackMediaType);
  if (sourceTrack == nullptr) return paramErr;
  const Media* sourceMedia = getTrackMedia(sourceTrack);
  Fixed width = 0;
  Fixed height = 0;
  getTrackDimensions(sourceTrack, &width, &height);
  Track* track = nullptr;
  newMovieTrack(destination, width, height, getTrackVolume(sourceTrack), &track);
  if (tileWidth != nullptr) *tileWidth = width >> 16;
  if (tileHeight != nullptr) *tileHeight = height >> 16;
  if (track != nullptr) {
    OSType mediaType = 0;
    getMediaHandlerDescription(sourceMedia, &mediaType, nullptr, nullptr);
    Media* media = nullptr;
    newTrackMedia(track, mediaType, getMediaTimeScale(sourceMedia), {}, 0, &media);
    insertTrackSegment(sourceTrack, track, 0, getTrackDuration(sourceTrack), 0);
    copyTrackSettings(sourceTrack, track);
    setTrackLayer(track, getTrackLayer(sourceTrack));
    setTrackEnabled(track, false);
    scaleTrackSegment(track, 0, getTrackDuration(track), duration);
  }
  return getMoviesStickyError();
}

OSErr addPanoramaTrack(Movie* movie, const std::string& tileMovieFile, Track* vrTrack, Track* panoramaTrack,
                       Media* panoramaMedia) {
  FileHolder tileFile;
  MovieHolder tileMovie;
  if (const OSErr error = loadMovie(tileMovieFile, tileFile, tileMovie); error != noErr) return error;
  std::int32_t tileWidth = 0;
  std::int32_t tileHeight = 0;
  if (const OSErr error = copyImageTrack(tileMovie.get(), movie, kVrDuration, &tileWidth, &tileHeight);
      error != noErr) {
    return error;
  }
  Track* imageTrack = getMovieIndTrackType(movie, 1, fourCC("vide"), movieTrackMediaType);
  std::int32_t panoramaIndex = 0;
  std::int32_t imageIndex = 0;
  if (const OSErr error = addTrackReference(vrTrack, panoramaTrack, fourCC("pano"), &panoramaIndex); error != noErr) {
    return error;
  }
  if (const OSErr error = addTrackReference(panoramaTrack, imageTrack, fourCC("imgt"), &imageIndex); error != noErr) {
    return error;
  }
  const QTAtomContainer sample = buildPanoramaSample(imageIndex, tileWidth, tileHeight);
  if (!sample) return memFullErr;
  // The panorama media's description is a bare 16-byte record: size, format, reserved, index.
  ByteBuffer description;
  ByteWriter writer(description);
  writer.u32(16);
  writer.u32(fourCC("pano"));
  writer.zeros(6);
  writer.u16(0);
  return addSingleSample(panoramaTrack, panoramaMedia, sample->bytes(), description);
}

OSErr setControllerType(Movie* movie, OSType controller) {
  UserData* userData = movie != nullptr ? getMovieUserData(movie) : nullptr;
  if (userData == nullptr) return paramErr;
  ByteBuffer code;
  ByteWriter(code).u32(controller);
  return setUserDataItem(userData, code.data(), code.size(), fourCC("ctyp"), 0);
}

OSErr writeVrMovie(const std::string& file, const std::string& tileMovieFile, std::int32_t viewWidth,
                   std::int32_t viewHeight, std::uint32_t correctionMode) {
  FileHolder movieFile;
  MovieHolder movie;
  if (const OSErr error = createMovie(file, movieFile, movie); error != noErr) return error;

  Track* vrTrack = nullptr;
  Media* vrMedia = nullptr;
  OSErr error = newMovieTrack(movie.get(), fixedFromInt(viewWidth), fixedFromInt(viewHeight), 0x100, &vrTrack);
  if (error == noErr) error = newTrackMedia(vrTrack, fourCC("qtvr"), kVrTimeScale, {}, 0, &vrMedia);
  if (error == noErr) error = setMovieTimeScale(movie.get(), kVrTimeScale);
  QTAtomContainer vrWorld;
  QTAtomContainer nodeInfo;
  if (error == noErr) error = buildVrContainers(fourCC("pano"), correctionMode, vrWorld, nodeInfo);
  if (error == noErr) error = addSingleSample(vrTrack, vrMedia, nodeInfo->bytes(), buildVrSampleDescription(vrWorld.get()));

  Track* panoramaTrack = nullptr;
  Media* panoramaMedia = nullptr;
  if (error == noErr) {
    error = newMovieTrack(movie.get(), fixedFromInt(viewWidth), fixedFromInt(viewHeight), 0, &panoramaTrack);
  }
  if (error == noErr) error = newTrackMedia(panoramaTrack, fourCC("pano"), kVrTimeScale, {}, 0, &panoramaMedia);
  if (error == noErr) error = addPanoramaTrack(movie.get(), tileMovieFile, vrTrack, panoramaTrack, panoramaMedia);
  if (error == noErr) error = setControllerType(movie.get(), fourCC("qtvr"));
  if (error == noErr) {
    std::int16_t resId = 0;
    error = addMovieResource(movie.get(), movieFile.get(), &resId);
  }
  return error;
}

OSErr buildQtvrMovie(const std::string& imageFile, const std::string& tileMovieFile, const std::string& destination,
                     const MovieSettings& settings, ProgressSink* progress) {
  GraphicsImportComponent importer = nullptr;
  if (const OSErr error = getGraphicsImporterForFile(imageFile, &importer); error != noErr) return error;
  Rect natural;
  OSErr error = graphicsImportGetNaturalBounds(importer, &natural);
  if (error != noErr || natural.bottom - natural.top < natural.right - natural.left) {
    closeComponent(importer);
    // A landscape picture is not the turned panorama a movie is made of: nothing written.
    return error != noErr ? error : paramErr;
  }
  error = writeTileMovie(importer, tileMovieFile, settings.codecType, settings.codecQuality, 0, progress);
  closeComponent(importer);
  if (error != noErr) return error;

  const std::string intermediate = intermediateMoviePath(destination);
  error = writeVrMovie(intermediate, tileMovieFile, settings.viewWidth, settings.viewHeight, settings.correctionMode);
  if (error == noErr) {
    FileHolder file;
    MovieHolder movie;
    error = loadMovie(intermediate, file, movie);
    if (error == noErr) {
      setMovieProgressProc(movie.get(), -1);
      Movie* flattened = nullptr;
      error = flattenMovieData(movie.get(), kFlattenFlags, destination, kCreator, kSystemScript,
                               kReplaceFileNoResources, &flattened);
      if (flattened != nullptr) disposeMovie(flattened);
    }
  }
  deleteMovieFile(intermediate);
  return error;
}

}  // namespace kelmira
