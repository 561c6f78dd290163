#include "movie/quicktime/movie_atom_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/media.h"
#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_runtime.h"
#include "support/movie_test_support.h"

namespace kelmira {
namespace {

constexpr auto atom = movie_test::writeAtom;

// The parts of a movie atom, written field by field as the file format gives them.
void movieHeader(ByteWriter& w, std::uint32_t timeScale) {
  atom(w, "mvhd", [&] {
    w.zeros(12);
    w.u32(timeScale);
    w.u32(0);
    w.u32(0x10000);
    w.u16(0x100);
    w.zeros(10 + 36 + 24);
    w.u32(2);
  });
}

void trackHeader(ByteWriter& w, std::uint32_t trackId) {
  atom(w, "tkhd", [&] {
    w.u32(0xF);
    w.zeros(8);
    w.u32(trackId);
    w.zeros(4 + 4 + 8 + 8 + 36 + 8);
  });
}

void mediaHeader(ByteWriter& w, std::uint32_t timeScale) {
  atom(w, "mdhd", [&] {
    w.zeros(12);
    w.u32(timeScale);
    w.zeros(8);
  });
}

void handler(ByteWriter& w, const char (&componentType)[5], const char (&subtype)[5]) {
  atom(w, "hdlr", [&] {
    w.u32(0);
    w.u32(fourCC(componentType));
    w.u32(fourCC(subtype));
    w.zeros(12);
  });
}

void table(ByteWriter& w, const char (&type)[5], std::initializer_list<std::uint32_t> fields) {
  atom(w, type, [&] {
    for (std::uint32_t v : fields) w.u32(v);
  });
}

// Track 1 with a video media of its header, its handler and whatever `rest` adds.
void videoTrack(ByteWriter& w, const std::function<void()>& rest) {
  atom(w, "trak", [&] {
    trackHeader(w, 1);
    atom(w, "mdia", [&] {
      mediaHeader(w, 600);
      handler(w, "mhlr", "vide");
      rest();
    });
  });
}

// One 'jpeg' description; two samples of 5 and 7 bytes at 100 and 105, 300 units each.
void sampleTables(ByteWriter& w) {
  atom(w, "stbl", [&] {
    table(w, "stsz", {0, 0, 2, 5, 7});
    table(w, "stco", {0, 1, 100});
    table(w, "stsc", {0, 1, 1, 2, 1});
    table(w, "stts", {0, 1, 2, 300});
    table(w, "stsd", {0, 1, 16, fourCC("jpeg"), 0, 1});
  });
}

TEST(MovieAtomReader, AtomsAreReadInAnyOrderUnderTheirParents) {
  // The movie header last, the media's children backwards, the sample tables before the
  // data references they name and in no usual order.
  ByteBuffer moov;
  ByteWriter w(moov);
  atom(w, "trak", [&] {
    atom(w, "mdia", [&] {
      atom(w, "minf", [&] {
        sampleTables(w);
        handler(w, "dhlr", "alis");
        movie_test::writeDataInformation(w);
      });
      handler(w, "mhlr", "vide");
      mediaHeader(w, 600);
    });
    trackHeader(w, 1);
  });
  movieHeader(w, 3600);

  std::unique_ptr<Movie> movie;
  ASSERT_EQ(parseMovieAtom(moov.data(), moov.size(), "/nowhere/x.mov", movie), noErr);
  EXPECT_EQ(movie->timeScale, 3600);
  ASSERT_EQ(movie->tracks.size(), 1u);
  const Track& track = *movie->tracks[0];
  ASSERT_TRUE(track.media);
  EXPECT_EQ(track.media->mediaType, fourCC("vide")) << "the data handler in 'minf' names no media type";
  EXPECT_EQ(track.media->timeScale, 600);
  ASSERT_EQ(track.media->samples.size(), 2u);
  EXPECT_EQ(track.media->samples[1].offset, 105u);
  EXPECT_EQ(track.media->samples[1].size, 7u);
  EXPECT_EQ(track.media->samples[1].duration, 300u);
  EXPECT_EQ(track.media->samples[1].dataRefIndex, 1u);
  ASSERT_EQ(track.media->dataRefs.size(), 1u);
  // No edit list: the whole media, 600 units at 600 a second, is one second at 3600.
  ASSERT_EQ(track.edits.size(), 1u);
  EXPECT_EQ(track.edits[0].trackDuration, 3600);
  EXPECT_EQ(movie->nextTrackId, 2u);
}

TEST(MovieAtomReader, MisplacedAndRepeatedAtomsArePassedOver) {
  ByteBuffer moov;
  ByteWriter w(moov);
  movieHeader(w, 3600);
  movieHeader(w, 0);  // a second header: only the first counts
  trackHeader(w, 0);  // a track header outside any track
  atom(w, "udta", [&] { table(w, "ctyp", {fourCC("qtvr")}); });
  atom(w, "trak", [&] {
    trackHeader(w, 7);
    trackHeader(w, 0);
    atom(w, "mdia", [&] {
      mediaHeader(w, 600);
      handler(w, "mhlr", "pano");
      handler(w, "mhlr", "vide");
      atom(w, "minf", [&] {
        movie_test::writeDataInformation(w);
        atom(w, "stbl", [&] { table(w, "stsd", {0, 0}); });
        atom(w, "stbl", [&] {});  // without the description table it would be refused
      });
    });
    atom(w, "mdia", [&] {});
  });
  atom(w, "udta", [&] { table(w, "\xA9nam", {0x00036161, 0x61000000}); });

  std::unique_ptr<Movie> movie;
  ASSERT_EQ(parseMovieAtom(moov.data(), moov.size(), "/nowhere/x.mov", movie), noErr);
  EXPECT_EQ(movie->timeScale, 3600);
  ASSERT_EQ(movie->tracks.size(), 1u);
  EXPECT_EQ(movie->tracks[0]->trackId, 7u);
  EXPECT_EQ(movie->tracks[0]->media->mediaType, fourCC("pano"));
  EXPECT_TRUE(movie->tracks[0]->media->samples.empty());
  ASSERT_EQ(movie->userData.items.size(), 2u) << "every user data atom adds its items";
  EXPECT_EQ(movie->userData.items[1].type, fourCC("\xA9nam"));
  EXPECT_EQ(movie->nextTrackId, 8u);

  // Each part refused with the code of what it broke.
  const auto refused = [](const std::function<void(ByteWriter&)>& body) {
    ByteBuffer bytes;
    ByteWriter writer(bytes);
    body(writer);
    std::unique_ptr<Movie> none;
    const OSErr result = parseMovieAtom(bytes.data(), bytes.size(), "/nowhere/x.mov", none);
    EXPECT_EQ(none, nullptr);
    return result;
  };
  EXPECT_EQ(refused([](ByteWriter& w) { atom(w, "trak", [&] { trackHeader(w, 1); }); }), invalidMovie);
  EXPECT_EQ(refused([](ByteWriter& w) {
              movieHeader(w, 600);
              atom(w, "trak", [&] { atom(w, "mdia", [&] {}); });
            }),
            invalidTrack);
  EXPECT_EQ(refused([](ByteWriter& w) {
              movieHeader(w, 600);
              videoTrack(w, [] {});
            }),
            invalidMedia);
  EXPECT_EQ(refused([](ByteWriter& w) {
              movieHeader(w, 600);
              videoTrack(w, [&] {
                atom(w, "minf", [&] {
                  atom(w, "dinf", [&] {});
                  sampleTables(w);
                });
              });
            }),
            invalidDataRef);
  EXPECT_EQ(refused([](ByteWriter& w) {
              movieHeader(w, 600);
              trackHeader(w, 1);
              atom(w, "trak", [&] { trackHeader(w, 1); });
              atom(w, "trak", [&] { trackHeader(w, 1); });
            }),
            invalidTrack)
      << "two tracks with one ID";
}

TEST(MovieAtomReader, AChunkThatNoRunDescribesIsRefused) {
  // No samples and no sample-to-chunk runs, but one chunk: nothing says what it holds.
  ByteBuffer moov;
  ByteWriter w(moov);
  movieHeader(w, 600);
  videoTrack(w, [&] {
    atom(w, "minf", [&] {
      movie_test::writeDataInformation(w);
      atom(w, "stbl", [&] {
        table(w, "stsd", {0, 1, 16, fourCC("jpeg"), 0, 1});
        table(w, "stts", {0, 0});
        table(w, "stsc", {0, 0});
        table(w, "stsz", {0, 0, 0});
        table(w, "stco", {0, 1, 100});
      });
    });
  });
  std::unique_ptr<Movie> movie;
  EXPECT_EQ(parseMovieAtom(moov.data(), moov.size(), "/nowhere/x.mov", movie), invalidSampleTable);
}

}  // namespace
}  // namespace kelmira
