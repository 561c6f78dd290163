#include <gtest/gtest.h>

#include <functional>
#include <colormodels.h>
#include <lqt.h>
#include <quicktime.h>

#include <cstdio>
#include <algorithm>
#include <map>
#include <memory>
#include <random>

#include "image/image_stream.h"
#include "image/jpeg_codec.h"
#include "movie/quicktime/media.h"
#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_flattener.h"
#include "movie/quicktime/track.h"
#include "movie/quicktime/user_data.h"
#include "movie/quicktime/big_endian.h"
#include "support/movie_test_support.h"

namespace kelmira {
namespace {

using movie_test::atomAt;
using movie_test::be32;
using movie_test::Bytes;
using movie_test::hex;

constexpr int tileWidth = 32;
constexpr int tileHeight = 16;
constexpr int tileCount = 24;

// The 86-byte Photo-JPEG entry for a 32 x 16 frame.
const Bytes jpegDescription = hex(
    "00000056 'jpeg' 000000000000 0001 0000 0000 'appl' 00000000 00000200 0020 0010 00480000 00480000"
    "00000000 0001 0C 'Photo - JPEG' 00000000000000000000000000000000000000 0018 FFFF");

// Frame i: a flat colour that changes with i.
Bytes makeJpegFrame(const std::string& scratch, int i) {
  std::vector<std::uint8_t> pixels(tileWidth * tileHeight * 3);
  for (std::size_t p = 0; p < pixels.size(); p += 3) {
    pixels[p] = static_cast<std::uint8_t>(i * 10);
    pixels[p + 1] = 128;
    pixels[p + 2] = static_cast<std::uint8_t>(255 - i * 10);
  }
  auto stream = openForWriting(scratch);
  EXPECT_GT(writeJpeg(*stream, pixels.data(), tileWidth, tileHeight, 90, false), 0);
  closeStream(std::move(stream));
  return movie_test::readFile(scratch);
}

std::map<std::string, std::string> ffprobe(const std::string& path) {
  std::map<std::string, std::string> fields;
  const std::string command = "ffprobe -v error -show_streams -show_format '" + path + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return fields;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos && !fields.count(text.substr(0, equals))) {
      fields[text.substr(0, equals)] = text.substr(equals + 1);
    } else if (equals == std::string::npos && !text.empty() && text[0] != '[') {
      fields["error"] += text;
    }
  }
  pclose(pipe);
  return fields;
}

// Top-level atom types of a file, in order, walked independently of the toolbox.
std::vector<std::string> topLevelTypes(const Bytes& file) {
  std::vector<std::string> types;
  for (std::size_t at = 0; at + 8 <= file.size();) {
    const std::uint32_t size = be32(file, at);
    types.emplace_back(reinterpret_cast<const char*>(file.data() + at + 4), 4);
    if (size < 8) break;
    at += size;
  }
  return types;
}

class MovieFileTest : public movie_test::MovieToolboxTest {
 protected:
  void SetUp() override {
    MovieToolboxTest::SetUp();
    for (int i = 0; i < tileCount; ++i) frames_.push_back(makeJpegFrame(path("frame.jpg"), i));
  }

  // The tile movie as the panorama writer makes it: 24 frames of 300 at 600.
  void writeTileMovie(const std::string& file) {
    MovieFile* movieFile = nullptr;
    Movie* movie = nullptr;
    ASSERT_EQ(createMovieFile(file, fourCC("TVOD"), -2, 0x90000000, &movieFile, &movie), 0);
    Track* track = nullptr;
    Media* media = nullptr;
    ASSERT_EQ(newMovieTrack(movie, fixedFromInt(tileWidth), fixedFromInt(tileHeight), 0, &track), 0);
    ASSERT_EQ(newTrackMedia(track, fourCC("vide"), 600, "", 0, &media), 0);
    ASSERT_EQ(beginMediaEdits(media), 0);
    for (const Bytes& frame : frames_) {
      ASSERT_EQ(addMediaSample(media, frame.data(), frame.size(), 300, jpegDescription, 1, 0, nullptr), 0);
    }
    ASSERT_EQ(endMediaEdits(media), 0);
    ASSERT_EQ(insertMediaIntoTrack(track, 0, 0, getMediaDuration(media), 0x00010000), 0);
    ASSERT_EQ(addMovieResource(movie, movieFile, nullptr), 0);
    ASSERT_EQ(closeMovieFile(movieFile), 0);
    disposeMovie(movie);
  }

  Movie* load(const std::string& file) {
    MovieFile* movieFile = nullptr;
    EXPECT_EQ(openMovieFile(file, &movieFile, fsRdPerm), 0);
    Movie* movie = nullptr;
    EXPECT_EQ(newMovieFromFile(&movie, movieFile, nullptr, 0), 0);
    closeMovieFile(movieFile);
    return movie;
  }

  // The frames lie in the file where its one video track's sample tables say.
  void expectFramesAtTableOffsets(const Bytes& file, const Bytes& videoTrak) {
    const Bytes stbl = atomAt(videoTrak, {"trak", "mdia", "minf", "stbl"});
    const Bytes stsz = atomAt(stbl, {"stbl", "stsz"});
    const Bytes stco = atomAt(stbl, {"stbl", "stco"});
    ASSERT_EQ(atomAt(stbl, {"stbl", "stsc"}), hex("0000001C 'stsc' 00000000 00000001 00000001 00000018 00000001"));
    ASSERT_EQ(be32(stco, 12), 1u) << "the frames are contiguous: one chunk";
    ASSERT_EQ(be32(stsz, 16), std::uint32_t(tileCount));
    std::size_t offset = be32(stco, 16);
    for (int i = 0; i < tileCount; ++i) {
      const std::size_t size = be32(stsz, 20 + 4 * i);
      ASSERT_EQ(size, frames_[i].size());
      ASSERT_LE(offset + size, file.size());
      EXPECT_EQ(Bytes(file.begin() + offset, file.begin() + offset + size), frames_[i]) << "frame " << i;
      offset += size;
    }
  }

  void expectReadersSeeTiles(const std::string& file) {
    auto probe = ffprobe(file);
    EXPECT_EQ(probe["codec_name"], "mjpeg") << probe["error"];
    EXPECT_EQ(probe["nb_frames"], "24");
    EXPECT_EQ(probe["width"], "32");
    EXPECT_EQ(probe["height"], "16");
    EXPECT_EQ(probe["error"], "");

    quicktime_t* qt = quicktime_open(file.c_str(), 1, 0);
    ASSERT_NE(qt, nullptr);
    EXPECT_EQ(quicktime_video_tracks(qt), 1);
    EXPECT_EQ(quicktime_video_length(qt, 0), tileCount);
    EXPECT_EQ(quicktime_video_width(qt, 0), tileWidth);
    EXPECT_EQ(quicktime_video_height(qt, 0), tileHeight);
    EXPECT_STREQ(quicktime_video_compressor(qt, 0), "jpeg");
    for (int i : {0, 7, 23}) {
      ASSERT_EQ(quicktime_frame_size(qt, i, 0), long(frames_[i].size()));
      quicktime_set_video_position(qt, i, 0);
      Bytes raw(frames_[i].size());
      ASSERT_EQ(quicktime_read_frame(qt, raw.data(), 0), long(raw.size()));
      EXPECT_EQ(raw, frames_[i]) << "frame " << i;
    }
    // Decoded pixels carry frame 7's colour.
    lqt_set_cmodel(qt, 0, BC_RGB888);
    quicktime_set_video_position(qt, 7, 0);
    std::vector<std::uint8_t> pixels(tileWidth * tileHeight * 3);
    std::vector<std::uint8_t*> rows(tileHeight);
    for (int y = 0; y < tileHeight; ++y) rows[y] = pixels.data() + y * tileWidth * 3;
    ASSERT_EQ(quicktime_decode_video(qt, rows.data(), 0), 0);
    const std::size_t middle = (tileHeight / 2 * tileWidth + tileWidth / 2) * 3;
    EXPECT_NEAR(pixels[middle], 70, 6);
    EXPECT_NEAR(pixels[middle + 1], 128, 6);
    EXPECT_NEAR(pixels[middle + 2], 185, 6);
    quicktime_close(qt);
  }

  std::vector<Bytes> frames_;
};

TEST_F(MovieFileTest, TileMovieReadsBackAndFlattensSelfContained) {
  writeTileMovie(path("tiles.mov"));
  const Bytes written = movie_test::readFile(path("tiles.mov"));
  ASSERT_EQ(topLevelTypes(written), (std::vector<std::string>{"mdat", "moov"}));
  std::size_t total = 8;
  for (const Bytes& frame : frames_) total += frame.size();
  EXPECT_EQ(be32(written, 0), total) << "the mdat size is patched";
  const Bytes moovAfter(written.begin() + total, written.end());
  expectFramesAtTableOffsets(written, atomAt(moovAfter, {"moov", "trak"}));

  Movie* movie = load(path("tiles.mov"));
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(getMovieTrackCount(movie), 1);
  EXPECT_EQ(getMovieTimeScale(movie), 600);
  EXPECT_EQ(getMovieDuration(movie), 7200);
  Track* track = getMovieIndTrackType(movie, 1, fourCC("vide"), movieTrackMediaType);
  ASSERT_NE(track, nullptr);
  EXPECT_EQ(getMovieIndTrackType(movie, 1, fourCC("soun"), movieTrackMediaType), nullptr);
  Fixed width = 0;
  Fixed height = 0;
  ASSERT_EQ(getTrackDimensions(track, &width, &height), 0);
  EXPECT_EQ(width, fixedFromInt(tileWidth));
  EXPECT_EQ(height, fixedFromInt(tileHeight));
  EXPECT_EQ(getTrackDuration(track), 7200);
  EXPECT_TRUE(getTrackEnabled(track));
  Media* media = getTrackMedia(track);
  OSType type = 0;
  ASSERT_EQ(getMediaHandlerDescription(media, &type, nullptr, nullptr), 0);
  EXPECT_EQ(type, fourCC("vide"));
  EXPECT_EQ(getMediaTimeScale(media), 600);
  EXPECT_EQ(getMediaDuration(media), 7200);
  ASSERT_EQ(getMediaSampleCount(media), tileCount);
  for (int i = 0; i < tileCount; ++i) EXPECT_EQ(media->samples[i].size, frames_[i].size());
  ASSERT_EQ(media->sampleDescriptions.size(), 1u);
  EXPECT_EQ(media->sampleDescriptions[0], jpegDescription);

  Movie* flat = nullptr;
  ASSERT_EQ(flattenMovieData(movie, 0x49, path("flat.mov"), fourCC("TVOD"), -1, 0x90000000, &flat), 0);
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(getMediaSampleCount(getTrackMedia(getMovieIndTrack(flat, 1))), tileCount);
  disposeMovie(flat);
  disposeMovie(movie);

  const Bytes flattened = movie_test::readFile(path("flat.mov"));
  ASSERT_EQ(topLevelTypes(flattened), (std::vector<std::string>{"moov", "mdat"}));
  const std::size_t moovSize = be32(flattened, 0);
  EXPECT_EQ(be32(flattened, moovSize), total);
  EXPECT_EQ(flattened.size(), moovSize + total);
  const Bytes trak = atomAt(flattened, {"moov", "trak"});
  EXPECT_EQ(be32(atomAt(trak, {"trak", "mdia", "minf", "stbl", "stco"}), 16), moovSize + 8);
  expectFramesAtTableOffsets(flattened, trak);
  expectReadersSeeTiles(path("flat.mov"));

  // A flattening without the movie-first flag puts the data first.
  movie = load(path("tiles.mov"));
  ASSERT_EQ(flattenMovieData(movie, flattenAddMovieToDataFork, path("last.mov"), 0, -1, 0x90000000, nullptr), 0);
  disposeMovie(movie);
  const Bytes last = movie_test::readFile(path("last.mov"));
  EXPECT_EQ(topLevelTypes(last), (std::vector<std::string>{"mdat", "moov"}));
  expectFramesAtTableOffsets(last, atomAt(Bytes(last.begin() + total, last.end()), {"moov", "trak"}));
}

// The VR writer's way: the image track of movie B refers to the frames in tile movie A,
// and flattening B must carry the frames over.
TEST_F(MovieFileTest, SegmentFromAnotherMovieIsCopiedByFlattening) {
  writeTileMovie(path("tiles.mov"));
  MovieFile* file = nullptr;
  Movie* movie = nullptr;
  ASSERT_EQ(createMovieFile(path("vr.mot"), fourCC("TVOD"), -2, 0x90000000, &file, &movie), 0);
  Track* vrTrack = nullptr;
  Media* vrMedia = nullptr;
  ASSERT_EQ(newMovieTrack(movie, fixedFromInt(400), fixedFromInt(180), 0x100, &vrTrack), 0);
  ASSERT_EQ(newTrackMedia(vrTrack, fourCC("qtvr"), 3600, "", 0, &vrMedia), 0);
  ASSERT_EQ(setMovieTimeScale(movie, 3600), 0);
  const Bytes vrDescription = hex("00000010 'qtvr' 000000000000 0000");
  ASSERT_EQ(beginMediaEdits(vrMedia), 0);
  ASSERT_EQ(addMediaSample(vrMedia, "node-info", 9, 7200, vrDescription, 1, 0, nullptr), 0);
  ASSERT_EQ(endMediaEdits(vrMedia), 0);
  ASSERT_EQ(insertMediaIntoTrack(vrTrack, 0, 0, 7200, 0x10000), 0);

  Movie* tiles = load(path("tiles.mov"));
  ASSERT_NE(tiles, nullptr);
  clearMoviesStickyError();
  Track* source = getMovieIndTrackType(tiles, 1, fourCC("vide"), movieTrackMediaType);
  Media* sourceMedia = getTrackMedia(source);
  Fixed width = 0;
  Fixed height = 0;
  getTrackDimensions(source, &width, &height);
  Track* image = nullptr;
  Media* imageMedia = nullptr;
  newMovieTrack(movie, width, height, getTrackVolume(source), &image);
  OSType type = 0;
  getMediaHandlerDescription(sourceMedia, &type, nullptr, nullptr);
  newTrackMedia(image, type, getMediaTimeScale(sourceMedia), "", 0, &imageMedia);
  insertTrackSegment(source, image, 0, getTrackDuration(source), 0);
  copyTrackSettings(source, image);
  setTrackLayer(image, getTrackLayer(source));
  setTrackEnabled(image, false);
  EXPECT_EQ(getTrackDuration(image), 43200) << "12 s at 3600";
  scaleTrackSegment(image, 0, getTrackDuration(image), 7200);
  EXPECT_EQ(getMoviesStickyError(), 0);
  std::int32_t index = 0;
  ASSERT_EQ(addTrackReference(vrTrack, image, fourCC("imgt"), &index), 0);
  const std::uint8_t controller[4] = {'q', 't', 'v', 'r'};
  ASSERT_EQ(setUserDataItem(getMovieUserData(movie), controller, 4, fourCC("ctyp"), 0), 0);
  ASSERT_EQ(addMovieResource(movie, file, nullptr), 0);
  closeMovieFile(file);
  disposeMovie(tiles);
  disposeMovie(movie);

  // The intermediate movie holds only its own sample; the image track points at A.
  const Bytes intermediate = movie_test::readFile(path("vr.mot"));
  EXPECT_EQ(Bytes(intermediate.begin(), intermediate.begin() + 17), hex("00000011 'mdat' 'node-info'"));
  const Bytes moov(intermediate.begin() + 17, intermediate.end());
  const Bytes imageTrak(atomAt(Bytes(moov.begin() + 8 + 108 + atomAt(moov, {"moov", "trak"}).size(), moov.end()),
                               {"trak"}));
  EXPECT_EQ(atomAt(imageTrak, {"trak", "tkhd"})[11], 0x0E) << "disabled";
  EXPECT_EQ(atomAt(imageTrak, {"trak", "edts", "elst"}), hex("0000001C 'elst' 00000000 00000001 00001C20 00000000 00060000"));
  const Bytes dref = atomAt(imageTrak, {"trak", "mdia", "minf", "dinf", "dref"});
  ASSERT_GE(dref.size(), 28u);
  // The media's own file first (unused), then the tile movie.
  ASSERT_GE(dref.size(), 40u);
  EXPECT_EQ(be32(dref, 12), 2u);
  EXPECT_EQ(Bytes(dref.begin() + 16, dref.begin() + 28), hex("0000000C 'alis' 00000001"));
  EXPECT_EQ(Bytes(dref.begin() + 32, dref.begin() + 36), hex("'alis'"));
  EXPECT_EQ(be32(dref, 36), 0u) << "a reference to another file";
  const std::string tilesPath = path("tiles.mov");
  EXPECT_NE(std::search(dref.begin(), dref.end(), tilesPath.begin(), tilesPath.end()), dref.end());

  movie = load(path("vr.mot"));
  ASSERT_NE(movie, nullptr);
  ASSERT_EQ(setMovieProgressProc(movie, defaultMovieProgressProc), 0);
  Movie* flat = nullptr;
  ASSERT_EQ(flattenMovieData(movie, 0x49, path("vr.mov"), fourCC("TVOD"), -1, 0x90000000, &flat), 0);
  disposeMovie(flat);
  disposeMovie(movie);
  ASSERT_EQ(deleteMovieFile(path("tiles.mov")), 0);
  ASSERT_EQ(deleteMovieFile(path("vr.mot")), 0);

  const Bytes flattened = movie_test::readFile(path("vr.mov"));
  ASSERT_EQ(topLevelTypes(flattened), (std::vector<std::string>{"moov", "mdat"}));
  const std::size_t moovSize = be32(flattened, 0);
  const Bytes firstTrak = atomAt(flattened, {"moov", "trak"});
  const Bytes secondTrak = atomAt(Bytes(flattened.begin() + 8 + 108 + firstTrak.size(), flattened.end()), {"trak"});
  EXPECT_EQ(be32(atomAt(firstTrak, {"trak", "mdia", "minf", "stbl", "stco"}), 16), moovSize + 8);
  EXPECT_EQ(Bytes(flattened.begin() + moovSize + 8, flattened.begin() + moovSize + 17), hex("'node-info'"));
  // Index 0 in the VR description stays; every reference is now the file itself.
  EXPECT_EQ(atomAt(firstTrak, {"trak", "mdia", "minf", "stbl", "stsd"}),
            hex("00000020 'stsd' 00000000 00000001 00000010 'qtvr' 000000000000 0000"));
  EXPECT_EQ(atomAt(secondTrak, {"trak", "mdia", "minf", "dinf"}),
            hex("00000024 'dinf' 0000001C 'dref' 00000000 00000001 0000000C 'alis' 00000001"));
  EXPECT_EQ(atomAt(secondTrak, {"trak", "edts", "elst"}), hex("0000001C 'elst' 00000000 00000001 00001C20 00000000 00060000"));
  expectFramesAtTableOffsets(flattened, secondTrak);

  movie = load(path("vr.mov"));
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(getMovieDuration(movie), 7200);
  EXPECT_EQ(getTrackReference(getMovieIndTrack(movie, 1), fourCC("imgt"), 1), getMovieIndTrack(movie, 2));
  ByteBuffer item;
  ASSERT_EQ(getUserDataItem(getMovieUserData(movie), item, fourCC("ctyp"), 1), 0);
  EXPECT_EQ(item, hex("'qtvr'"));
  disposeMovie(movie);
  auto probe = ffprobe(path("vr.mov"));
  EXPECT_EQ(probe["error"], "");
  EXPECT_EQ(probe["nb_streams"], "2");
}

TEST_F(MovieFileTest, HostileFilesGiveErrorCodes) {
  writeTileMovie(path("tiles.mov"));
  Movie* movie = load(path("tiles.mov"));
  ASSERT_EQ(flattenMovieData(movie, 0x49, path("flat.mov"), 0, -1, 0x90000000, nullptr), 0);
  disposeMovie(movie);
  const Bytes good = movie_test::readFile(path("flat.mov"));
  const std::size_t moovSize = be32(good, 0);
  const std::string bad = path("bad.mov");
  auto expectRefused = [&](const Bytes& bytes, const char* what) {
    movie_test::writeFile(bad, bytes);
    MovieFile* file = nullptr;
    ASSERT_EQ(openMovieFile(bad, &file, fsRdPerm), 0);
    Movie* loaded = nullptr;
    EXPECT_NE(newMovieFromFile(&loaded, file, nullptr, 0), 0) << what;
    EXPECT_EQ(loaded, nullptr) << what;
    disposeMovie(loaded);
    closeMovieFile(file);
  };
  // Cut anywhere inside the movie atom.
  for (std::size_t length = 0; length < moovSize; length += 7) {
    expectRefused(Bytes(good.begin(), good.begin() + length), "truncated");
  }
  // Patches at a field found by its atom: (atom path, offset in the atom, new value).
  auto patched = [&](std::initializer_list<std::string_view> atomPath, std::size_t field, std::uint32_t value) {
    const Bytes atom = atomAt(good, atomPath);
    EXPECT_FALSE(atom.empty());
    Bytes copy = good;
    const auto at = std::search(copy.begin(), copy.end(), atom.begin(), atom.end()) - copy.begin() + field;
    for (int k = 0; k < 4; ++k) copy[at + k] = static_cast<std::uint8_t>(value >> (24 - 8 * k));
    return copy;
  };
  expectRefused(patched({"moov", "trak", "tkhd"}, 0, 0x7FFFFFF0), "tkhd past the end");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stsz"}, 16, 0xFFFFFFFF), "stsz count");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stco"}, 12, 0x40000000), "stco count");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stts"}, 12, 0xFFFFFFFF), "stts count");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stts"}, 16, 0xFFFFFFFF), "stts samples");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stsc"}, 20, 0xFFFFFFFF), "samples per chunk");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stsc"}, 24, 7), "description index");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stsd"}, 12, 0x00FFFFFF), "stsd count");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "stbl", "stsd"}, 30, 0x00090000), "data reference index");
  expectRefused(patched({"moov", "trak", "mdia", "minf", "dinf", "dref"}, 12, 0xFFFFFFFF), "dref count");
  expectRefused(patched({"moov", "trak", "edts", "elst"}, 12, 0x20000000), "elst count");
  expectRefused(patched({"moov", "trak", "mdia", "mdhd"}, 20, 0), "media time scale 0");
  expectRefused(patched({"moov"}, 0, 1), "64-bit size without its field");
  expectRefused(hex("00000008 'free' 00000010 'mdat' 0000000000000000"), "no movie atom");

  // Random damage to the movie atom: any answer but a crash, and a movie that loads can
  // be flattened without reading outside its files.
  std::mt19937 random(1234);
  for (int round = 0; round < 400; ++round) {
    Bytes copy = good;
    for (int k = 0; k < 3; ++k) copy[random() % moovSize] = static_cast<std::uint8_t>(random());
    movie_test::writeFile(bad, copy);
    MovieFile* file = nullptr;
    ASSERT_EQ(openMovieFile(bad, &file, fsRdPerm), 0);
    Movie* loaded = nullptr;
    if (newMovieFromFile(&loaded, file, nullptr, 0) == noErr) {
      flattenMovieData(loaded, 0x49, path("out.mov"), 0, -1, 0x90000000, nullptr);
      disposeMovie(loaded);
    }
    closeMovieFile(file);
  }
  MovieFile* missing = nullptr;
  EXPECT_EQ(openMovieFile(path("missing.mov"), &missing, fsRdPerm), fnfErr);
  EXPECT_EQ(missing, nullptr);
}

}  // namespace
}  // namespace kelmira
