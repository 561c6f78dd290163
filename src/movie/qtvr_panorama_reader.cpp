#include "movie/qtvr_panorama_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>

#include "image/image_stream.h"
#include "image/jpeg_codec.h"
#include "image/layer_state.h"
#include "image/pixel_block.h"
#include "movie/cube_faces.h"
#include "movie/quicktime/atom_walker.h"
#include "movie/quicktime/ffmpeg_decoder.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_runtime.h"
#include "movie/quicktime/qt_atom_container.h"
#include "movie/quicktime/track.h"

namespace kelmira {

namespace {

// Nothing in a panorama movie's VR samples comes near this; a larger one is damage.
constexpr std::uint32_t kMaxContainerSample = 1u << 20;
// A tile's compressed bytes, and how many tiles and stored pixels a panorama may have.
constexpr std::uint32_t kMaxTileBytes = 64u << 20;
constexpr std::uint32_t kMaxTiles = 4096;
constexpr std::uint64_t kMaxStoredPixels = std::uint64_t(1) << 27;

constexpr double kDegreesPerRadian = 57.29577951308232;

struct MovieGuard {
  bool started = false;
  MovieFile* file = nullptr;
  Movie* movie = nullptr;
  ~MovieGuard() {
    if (movie != nullptr) disposeMovie(movie);
    if (file != nullptr) closeMovieFile(file);
    if (started) terminateQtml();
  }
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The bytes of one sample, checked against the file's length.
bool readSample(const Media& media, const MediaSample& sample, std::uint32_t limit, ByteBuffer& bytes) {
  if (sample.size == 0 || sample.size > limit) return false;
  if (sample.dataRefIndex == 0 || sample.dataRefIndex > media.dataRefs.size()) return false;
  const std::string& path = media.dataRefs[sample.dataRefIndex - 1].path;
  if (path.empty()) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file || fseeko(file.get(), 0, SEEK_END) != 0) return false;
  const off_t length = ftello(file.get());
  if (length < 0 || sample.offset > static_cast<std::uint64_t>(length) ||
      static_cast<std::uint64_t>(length) - sample.offset < sample.size)
    return false;
  if (fseeko(file.get(), static_cast<off_t>(sample.offset), SEEK_SET) != 0) return false;
  bytes.resize(sample.size);
  return std::fread(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

Track* trackOfMediaType(const Movie& movie, OSType type, int& count) {
  Track* first = nullptr;
  count = 0;
  for (const auto& track : movie.tracks) {
    if (track->media && track->media->mediaType == type) {
      if (first == nullptr) first = track.get();
      ++count;
    }
  }
  return first;
}

// The first sample of a VR track as an atom container.
bool readContainerSample(const Track& track, QTAtomContainer& container) {
  const Media& media = *track.media;
  if (media.samples.empty()) return false;
  ByteBuffer bytes;
  if (!readSample(media, media.samples.front(), kMaxContainerSample, bytes)) return false;
  return parseAtomContainer(bytes, container) == noErr;
}

struct PanoramaData {
  std::uint32_t imageTrackIndex = 0;
  std::uint32_t hotSpotTrackIndex = 0;
  float minTilt = 0.0f;
  float maxTilt = 0.0f;
  std::uint32_t imageSizeX = 0;
  std::uint32_t imageSizeY = 0;
  std::uint32_t framesX = 0;
  std::uint32_t framesY = 0;
  std::uint32_t flags = 0;
  OSType panoType = 0;
};

bool readPdat(const AtomContainer& container, PanoramaData& pdat) {
  const QTAtom atom = qtFindChildByIndex(&container, kParentAtomIsContainer, fourCC("pdat"), 1, nullptr);
  if (atom == 0) return false;
  const ByteBuffer& data = container.data(atom);
  ByteReader reader(data.data(), data.size());
  reader.skip(4);  // version
  pdat.imageTrackIndex = reader.u32();
  pdat.hotSpotTrackIndex = reader.u32();
  reader.skip(8);  // pan range
  pdat.minTilt = reader.f32();
  pdat.maxTilt = reader.f32();
  reader.skip(20);  // fields of view, default view
  pdat.imageSizeX = reader.u32();
  pdat.imageSizeY = reader.u32();
  pdat.framesX = reader.u16();
  pdat.framesY = reader.u16();
  reader.skip(12);  // hot-spot image
  pdat.flags = reader.u32();
  pdat.panoType = reader.u32();
  return !reader.failed();
}

std::string codecName(OSType codec) {
  switch (codec) {
    case fourCC("jpeg"): return "Photo-JPEG";
    case fourCC("cvid"): return "Cinepak";
    default: return "Sorenson Video";
  }
}

// The size a JPEG's frame header gives, found by walking its markers, so that a tile
// claiming a huge frame is refused before the decoder allocates for it.
bool jpegFrameSize(const ByteBuffer& bytes, std::int32_t& width, std::int32_t& height) {
  std::size_t at = 2;
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  while (at + 4 <= bytes.size()) {
    if (bytes[at] != 0xFF) return false;
    const std::uint8_t marker = bytes[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    const std::size_t length = (std::size_t(bytes[at + 2]) << 8) | bytes[at + 3];
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > bytes.size()) return false;
      height = (std::int32_t(bytes[at + 5]) << 8) | bytes[at + 6];
      width = (std::int32_t(bytes[at + 7]) << 8) | bytes[at + 8];
      return true;
    }
    if (length < 2) return false;
    at += 2 + length;
  }
  return false;
}

// Decodes one tile into its place in the stored image.
std::string decodeTile(OSType codec, const ByteBuffer& bytes, std::int32_t width, std::int32_t height,
                       std::uint8_t* tile) {
  if (codec == fourCC("jpeg")) {
    std::int32_t frameWidth = 0;
    std::int32_t frameHeight = 0;
    if (!jpegFrameSize(bytes, frameWidth, frameHeight)) return "a tile is not a readable JPEG";
    if (frameWidth != width || frameHeight != height) return "a tile's size differs from the panorama's tiles";
    std::FILE* memory = fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb");
    if (memory == nullptr) return "out of memory";
    ImageStream stream(memory);
    std::int32_t decodedWidth = 0;
    std::int32_t decodedHeight = 0;
    const PixelBlock block = readJpeg(stream, decodedWidth, decodedHeight);
    if (!block || lastError() != ImageError::None) return "a tile is not a readable JPEG";
    if (decodedWidth != width || decodedHeight != height) return "a tile's size differs from the panorama's tiles";
    std::memcpy(tile, block.get(), std::size_t(3) * std::size_t(width) * std::size_t(height));
    return {};
  }
  switch (decodeFrameWithFfmpeg(codec, bytes.data(), bytes.size(), width, height, tile)) {
    case noErr: return {};
    case noCodecErr: return "FFmpeg's " + codecName(codec) + " decoder is not installed";
    case codecSizeErr: return "a tile's size differs from the panorama's tiles";
    case memFullErr: return "out of memory";
    default: return "a tile does not decode";
  }
}

// Reads and decodes the image track's sample `index` (0-based) of width x height.
std::string decodeImageSample(const Media& images, std::size_t index, std::int32_t width, std::int32_t height,
                              std::uint8_t* pixels, OSType& codec) {
  const MediaSample& sample = images.samples[index];
  if (sample.descriptionIndex == 0 || sample.descriptionIndex > images.sampleDescriptions.size()) {
    return "A tile of the movie has no description.";
  }
  const ByteBuffer& description = images.sampleDescriptions[sample.descriptionIndex - 1];
  ByteReader fields(description.data(), description.size());
  fields.skip(4);
  const OSType format = fields.u32();
  if (fields.failed()) return "A tile of the movie has no description.";
  if (format != fourCC("jpeg") && format != fourCC("cvid") && format != fourCC("SVQ1") && format != fourCC("svq1")) {
    return "The movie's tiles are compressed as " + fourCCText(format) + ", which cannot be decoded.";
  }
  codec = format == fourCC("svq1") ? fourCC("SVQ1") : format;
  ByteBuffer bytes;
  if (!readSample(images, sample, kMaxTileBytes, bytes)) return "A tile of the movie lies outside the file.";
  if (std::string why = decodeTile(codec, bytes, width, height, pixels); !why.empty()) {
    return "The movie's panorama cannot be read: " + why + ".";
  }
  return {};
}

// The width and height a video sample description gives.
bool describedSize(const Media& images, std::int32_t& width, std::int32_t& height) {
  if (images.samples.empty()) return false;
  const std::uint32_t index = images.samples.front().descriptionIndex;
  if (index == 0 || index > images.sampleDescriptions.size()) return false;
  const ByteBuffer& description = images.sampleDescriptions[index - 1];
  ByteReader fields(description.data(), description.size());
  fields.skip(32);
  width = static_cast<std::int32_t>(fields.u16());
  height = static_cast<std::int32_t>(fields.u16());
  return !fields.failed();
}

// A cubic node: six square faces made into the full sphere.
std::string readCube(const Media& images, QtvrPanorama& result) {
  std::int32_t side = 0;
  std::int32_t other = 0;
  if (images.samples.size() < 6 || !describedSize(images, side, other)) {
    return "The movie's cubic panorama lacks faces.";
  }
  if (side <= 0 || side != other || std::uint64_t(side) * side * 8 > kMaxStoredPixels) {
    return "The movie's cubic panorama has faces of an impossible size.";
  }
  std::array<PixelBlock, 6> faces;
  OSType codec = 0;
  for (std::size_t face = 0; face < 6; ++face) {
    faces[face] = allocatePixelBlock(side, side);
    if (!faces[face]) return "There is not enough memory for the panorama.";
    if (std::string why = decodeImageSample(images, face, side, side, faces[face].get(), codec); !why.empty()) {
      return why;
    }
  }
  PixelBlock sphere = equirectangularFromCube(
      {faces[0].get(), faces[1].get(), faces[2].get(), faces[3].get(), faces[4].get(), faces[5].get()}, side);
  if (!sphere) return "There is not enough memory for the panorama.";
  result.panorama.adopt(std::move(sphere), 4 * side, 2 * side);
  result.codec = codec;
  result.tileCount = 6;
  result.turned = false;
  result.cubic = true;
  result.minTilt = -90.0f;
  result.maxTilt = 90.0f;
  return {};
}

}  // namespace

std::vector<double> QtvrPanorama::rowElevations() const {
  const std::int32_t rows = panorama.height();
  std::vector<double> degrees(rows > 0 ? static_cast<std::size_t>(rows) : 0);
  if (cubic) {
    for (std::int32_t row = 0; row < rows; ++row) degrees[row] = 90.0 - (row + 0.5) * 180.0 / rows;
    return degrees;
  }
  const double top = std::tan(double(maxTilt) / kDegreesPerRadian);
  const double bottom = std::tan(double(minTilt) / kDegreesPerRadian);
  for (std::int32_t row = 0; row < rows; ++row) {
    const double along = (row + 0.5) / rows;
    degrees[row] = std::atan(top + (bottom - top) * along) * kDegreesPerRadian;
  }
  return degrees;
}

bool looksLikeQuickTimeMovie(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  std::uint8_t header[8];
  if (!file || std::fread(header, 1, sizeof header, file.get()) != sizeof header) return false;
  const OSType type = (OSType(header[4]) << 24) | (OSType(header[5]) << 16) | (OSType(header[6]) << 8) | header[7];
  for (const OSType known : {fourCC("moov"), fourCC("mdat"), fourCC("ftyp"), fourCC("free"), fourCC("skip"),
                             fourCC("wide"), fourCC("pnot")}) {
    if (type == known) return true;
  }
  return false;
}

bool isQuickTimeVrMovie(const std::string& path) {
  if (!looksLikeQuickTimeMovie(path)) return false;
  MovieGuard guard;
  if (initializeQtml() != noErr) return false;
  guard.started = true;
  if (openMovieFile(path, &guard.file, fsRdPerm) != noErr) return false;
  if (newMovieFromFile(&guard.movie, guard.file, nullptr, 0) != noErr) return false;
  for (const OSType type : {fourCC("qtvr"), fourCC("pano"), fourCC("obje"), fourCC("stna"), fourCC("STpn")}) {
    int count = 0;
    trackOfMediaType(*guard.movie, type, count);
    if (count > 0) return true;
  }
  return false;
}

std::string readQtvrPanorama(const std::string& path, QtvrPanorama& result) {
  MovieGuard guard;
  if (initializeQtml() != noErr) return "The movie toolbox did not start.";
  guard.started = true;
  if (openMovieFile(path, &guard.file, fsRdPerm) != noErr) return "The movie cannot be opened.";
  if (newMovieFromFile(&guard.movie, guard.file, nullptr, 0) != noErr) {
    return "The file is not a QuickTime movie, or it is damaged.";
  }
  const Movie& movie = *guard.movie;

  int objects = 0;
  int oldObjects = 0;
  int panoTracks = 0;
  int vrTracks = 0;
  int oldPanoramas = 0;
  trackOfMediaType(movie, fourCC("obje"), objects);
  trackOfMediaType(movie, fourCC("stna"), oldObjects);
  trackOfMediaType(movie, fourCC("STpn"), oldPanoramas);
  Track* panoTrack = trackOfMediaType(movie, fourCC("pano"), panoTracks);
  Track* vrTrack = trackOfMediaType(movie, fourCC("qtvr"), vrTracks);
  if (objects > 0 || oldObjects > 0) return "This is a QuickTime VR object movie; only panorama movies can be opened.";
  if (oldPanoramas > 0) return "This is a QuickTime VR 1.0 panorama; only QuickTime VR 2 panoramas can be opened.";
  if (panoTrack == nullptr) return "This movie is not a QuickTime VR panorama.";
  const std::size_t nodes = std::max(panoTrack->media->samples.size(),
                                     vrTrack != nullptr ? vrTrack->media->samples.size() : std::size_t(0));
  if (nodes > 1 || panoTracks > 1) {
    return "This QuickTime VR movie has " + std::to_string(std::max<std::size_t>(nodes, panoTracks)) +
           " nodes; only single-node panoramas can be opened.";
  }

  QTAtomContainer panoSample;
  PanoramaData pdat;
  if (!readContainerSample(*panoTrack, panoSample) || !readPdat(*panoSample, pdat)) {
    return "The movie's panorama description (pdat) is missing or damaged.";
  }
  const bool turned = !(pdat.panoType == fourCC("hcyl") || (pdat.panoType == 0 && (pdat.flags & 1) != 0));

  Track* imageTrack = getTrackReference(panoTrack, fourCC("imgt"), static_cast<std::int32_t>(pdat.imageTrackIndex));
  if (imageTrack == nullptr || !imageTrack->media || imageTrack->media->mediaType != fourCC("vide")) {
    return "The movie's panorama image track is missing.";
  }
  const Media& images = *imageTrack->media;
  if (pdat.panoType == fourCC("cube")) {
    std::string why = readCube(images, result);
    if (why.empty()) result.hasHotSpots = pdat.hotSpotTrackIndex != 0;
    return why;
  }
  const std::uint64_t tiles = std::uint64_t(pdat.framesX) * pdat.framesY;
  if (tiles == 0 || tiles > kMaxTiles || pdat.imageSizeX == 0 || pdat.imageSizeY == 0 ||
      pdat.imageSizeX % pdat.framesX != 0 || pdat.imageSizeY % pdat.framesY != 0 ||
      std::uint64_t(pdat.imageSizeX) * pdat.imageSizeY > kMaxStoredPixels) {
    return "The movie's panorama has an impossible size or tile count.";
  }
  if (images.samples.size() < tiles) return "The movie's panorama image track lacks tiles.";
  const auto tileWidth = static_cast<std::int32_t>(pdat.imageSizeX / pdat.framesX);
  const auto tileHeight = static_cast<std::int32_t>(pdat.imageSizeY / pdat.framesY);

  PixelBlock stored = allocatePixelBlock(pdat.imageSizeX, pdat.imageSizeY);
  if (!stored) return "There is not enough memory for the panorama.";
  PixelBlock tile = allocatePixelBlock(tileWidth, tileHeight);
  if (!tile) return "There is not enough memory for the panorama.";
  const std::size_t storedStride = std::size_t(3) * pdat.imageSizeX;
  const std::size_t tileStride = std::size_t(3) * std::size_t(tileWidth);
  OSType codec = 0;
  for (std::uint64_t index = 0; index < tiles; ++index) {
    if (std::string why = decodeImageSample(images, index, tileWidth, tileHeight, tile.get(), codec); !why.empty()) {
      return why;
    }
    const std::size_t column = index % pdat.framesX;
    const std::size_t row = index / pdat.framesX;
    std::uint8_t* into = stored.get() + row * tileHeight * storedStride + column * tileStride;
    for (std::int32_t y = 0; y < tileHeight; ++y) {
      std::memcpy(into + y * storedStride, tile.get() + y * tileStride, tileStride);
    }
  }

  result.panorama.adopt(std::move(stored), static_cast<std::int32_t>(pdat.imageSizeX),
                        static_cast<std::int32_t>(pdat.imageSizeY));
  if (turned && result.panorama.rotateImage(0) == 0) return "There is not enough memory for the panorama.";
  result.codec = codec;
  result.tileCount = static_cast<std::int32_t>(tiles);
  result.turned = turned;
  const double width = result.panorama.width();
  const double height = result.panorama.height();
  const bool tiltsUsable = std::isfinite(pdat.minTilt) && std::isfinite(pdat.maxTilt) && pdat.minTilt > -90.0f &&
                           pdat.maxTilt < 90.0f && pdat.minTilt < pdat.maxTilt;
  if (tiltsUsable) {
    result.minTilt = pdat.minTilt;
    result.maxTilt = pdat.maxTilt;
  } else {
    // The cylinder a full turn of this width makes.
    const auto half = static_cast<float>(std::atan(3.141592653589793 * height / width) * kDegreesPerRadian);
    result.minTilt = -half;
    result.maxTilt = half;
  }
  result.hasHotSpots = pdat.hotSpotTrackIndex != 0;
  if (vrTrack != nullptr) {
    QTAtomContainer node;
    if (readContainerSample(*vrTrack, node) &&
        qtFindChildByIndex(node.get(), kParentAtomIsContainer, fourCC("hspa"), 1, nullptr) != 0) {
      result.hasHotSpots = true;
    }
  }
  return {};
}

}  // namespace kelmira
