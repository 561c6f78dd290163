#include <gtest/gtest.h>

#include "movie/quicktime/media.h"
#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/track.h"
#include "movie/quicktime/user_data.h"
#include "support/movie_test_support.h"

namespace kelmira {
namespace {

using movie_test::atomAt;
using movie_test::Bytes;
using movie_test::hex;

class MovieAtomsTest : public movie_test::MovieToolboxTest {
 protected:
  // A movie file with one 16 x 8 video track of three samples (5, 5 and 7 bytes; the last
  // not a sync sample), all stamps fixed.
  Bytes writeTinyMovie() {
    MovieFile* file = nullptr;
    Movie* movie = nullptr;
    EXPECT_EQ(createMovieFile(path("tiny.mov"), fourCC("TVOD"), -2, 0x90000000, &file, &movie), 0);
    Track* track = nullptr;
    Media* media = nullptr;
    EXPECT_EQ(newMovieTrack(movie, fixedFromInt(16), fixedFromInt(8), 0, &track), 0);
    EXPECT_EQ(newTrackMedia(track, fourCC("vide"), 600, "", 0, &media), 0);
    const ByteBuffer description = hex("00000014 'raw ' 000000000000 0001 'abcd'");
    TimeValue at = -1;
    EXPECT_EQ(beginMediaEdits(media), 0);
    EXPECT_EQ(addMediaSample(media, "AAAAA", 5, 100, description, 1, 0, &at), 0);
    EXPECT_EQ(at, 0);
    EXPECT_EQ(addMediaSample(media, "BBBBB", 5, 100, description, 1, 0, &at), 0);
    EXPECT_EQ(at, 100);
    EXPECT_EQ(addMediaSample(media, "CCCCCCC", 7, 200, description, 1, mediaSampleNotSync, &at), 0);
    EXPECT_EQ(at, 200);
    EXPECT_EQ(endMediaEdits(media), 0);
    EXPECT_EQ(insertMediaIntoTrack(track, 0, 0, getMediaDuration(media), 0x00010000), 0);
    movie->creationTime = 0x11111111;
    movie->modificationTime = 0x22222222;
    track->creationTime = 0x33333333;
    track->modificationTime = 0x44444444;
    media->creationTime = 0x55555555;
    media->modificationTime = 0x66666666;
    EXPECT_EQ(addMovieResource(movie, file, nullptr), 0);
    EXPECT_EQ(closeMovieFile(file), 0);
    disposeMovie(movie);
    return movie_test::readFile(path("tiny.mov"));
  }
};

TEST_F(MovieAtomsTest, TinyMovieHeadersAndSampleTablesAreByteExact) {
  const Bytes file = writeTinyMovie();
  // The samples went into the mdat as they were added; the movie atom follows it.
  ASSERT_GE(file.size(), 25u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 25), hex("00000019 'mdat' 'AAAAABBBBBCCCCCCC'"));
  const Bytes rest(file.begin() + 25, file.end());
  ASSERT_EQ(movie_test::be32(rest, 0), rest.size());

  const Bytes identity = hex("00010000 00000000 00000000  00000000 00010000 00000000  00000000 00000000 40000000");
  Bytes mvhd = hex("0000006C 'mvhd' 00000000 11111111 22222222 00000258 00000190 00010000 0100 00000000000000000000");
  mvhd.insert(mvhd.end(), identity.begin(), identity.end());
  const Bytes mvhdTail = hex("00000000 00000000 00000000 00000000 00000000 00000000 00000002");
  mvhd.insert(mvhd.end(), mvhdTail.begin(), mvhdTail.end());
  EXPECT_EQ(atomAt(rest, {"moov", "mvhd"}), mvhd);

  Bytes tkhd = hex("0000005C 'tkhd' 0000000F 33333333 44444444 00000001 00000000 00000190 0000000000000000 0000 0000 0000 0000");
  tkhd.insert(tkhd.end(), identity.begin(), identity.end());
  const Bytes size = hex("00100000 00080000");
  tkhd.insert(tkhd.end(), size.begin(), size.end());
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "tkhd"}), tkhd);

  EXPECT_EQ(atomAt(rest, {"moov", "trak", "edts"}),
            hex("00000024 'edts' 0000001C 'elst' 00000000 00000001 00000190 00000000 00010000"));
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "mdia", "mdhd"}),
            hex("00000020 'mdhd' 00000000 55555555 66666666 00000258 00000190 0000 0000"));
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "mdia", "hdlr"}),
            hex("00000021 'hdlr' 00000000 'mhlr' 'vide' 00000000 00000000 00000000 00"));
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "mdia", "minf", "vmhd"}),
            hex("00000014 'vmhd' 00000001 0040 8000 8000 8000"));
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "mdia", "minf", "hdlr"}),
            hex("00000021 'hdlr' 00000000 'dhlr' 'alis' 00000000 00000000 00000000 00"));
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "mdia", "minf", "dinf"}),
            hex("00000024 'dinf' 0000001C 'dref' 00000000 00000001 0000000C 'alis' 00000001"));
  EXPECT_EQ(atomAt(rest, {"moov", "trak", "mdia", "minf", "stbl"}),
            hex("000000B4 'stbl'"
                "00000024 'stsd' 00000000 00000001  00000014 'raw ' 000000000000 0001 'abcd'"
                "00000020 'stts' 00000000 00000002  00000002 00000064  00000001 000000C8"
                "00000018 'stss' 00000000 00000002  00000001 00000002"
                "0000001C 'stsc' 00000000 00000001  00000001 00000003 00000001"
                "00000020 'stsz' 00000000 00000000 00000003  00000005 00000005 00000007"
                "00000014 'stco' 00000000 00000001  00000008"));
  // No user data was set: no udta.
  EXPECT_TRUE(atomAt(rest, {"moov", "udta"}).empty());
}

TEST_F(MovieAtomsTest, InterleavedSamplesSplitIntoChunksAndDescriptionsAreShared) {
  MovieFile* file = nullptr;
  Movie* movie = nullptr;
  ASSERT_EQ(createMovieFile(path("two.mov"), fourCC("TVOD"), -2, 0x90000000, &file, &movie), 0);
  Track* first = nullptr;
  Track* second = nullptr;
  Media* a = nullptr;
  Media* b = nullptr;
  ASSERT_EQ(newMovieTrack(movie, 0, 0, 0, &first), 0);
  ASSERT_EQ(newMovieTrack(movie, 0, 0, 0, &second), 0);
  ASSERT_EQ(newTrackMedia(first, fourCC("qtvr"), 3600, "", 0, &a), 0);
  ASSERT_EQ(newTrackMedia(second, fourCC("pano"), 3600, "", 0, &b), 0);
  // The data reference index 0 of the first description must survive as it is.
  const ByteBuffer zeroRef = hex("00000010 'qtvr' 000000000000 0000");
  const ByteBuffer other = hex("00000010 00000000 000000000000 0001");
  ASSERT_EQ(addMediaSample(a, "1111", 4, 10, zeroRef, 1, 0, nullptr), 0);  // at 8
  ASSERT_EQ(addMediaSample(b, "2222", 4, 10, other, 1, 0, nullptr), 0);    // at 12
  ASSERT_EQ(addMediaSample(a, "3333", 4, 10, zeroRef, 1, 0, nullptr), 0);  // at 16
  ASSERT_EQ(addMediaSample(a, "4444", 4, 10, other, 1, 0, nullptr), 0);    // at 20, new description
  ASSERT_EQ(addMediaSample(a, "5555", 4, 10, other, 1, 0, nullptr), 0);    // at 24
  ASSERT_EQ(addMediaSample(a, "66667777", 8, 5, other, 2, 0, nullptr), 0);     // two of 4 bytes, at 28 and 32
  ASSERT_EQ(insertMediaIntoTrack(first, 0, 0, getMediaDuration(a), 0x00010000), 0);
  ASSERT_EQ(addMovieResource(movie, file, nullptr), 0);
  closeMovieFile(file);
  disposeMovie(movie);

  const Bytes bytes = movie_test::readFile(path("two.mov"));
  const Bytes moov(bytes.begin() + movie_test::be32(bytes, 0), bytes.end());
  const Bytes stbl = atomAt(moov, {"moov", "trak", "mdia", "minf", "stbl"});
  EXPECT_EQ(atomAt(stbl, {"stbl", "stsd"}),
            hex("00000030 'stsd' 00000000 00000002  00000010 'qtvr' 000000000000 0000"
                "00000010 00000000 000000000000 0001"));
  EXPECT_EQ(atomAt(stbl, {"stbl", "stts"}),
            hex("00000020 'stts' 00000000 00000002  00000004 0000000A  00000002 00000005"));
  // Chunks: [8], [16], [20 24 28 32]: the first two share a run.
  EXPECT_EQ(atomAt(stbl, {"stbl", "stsc"}),
            hex("00000028 'stsc' 00000000 00000002  00000001 00000001 00000001  00000003 00000004 00000002"));
  EXPECT_EQ(atomAt(stbl, {"stbl", "stsz"}), hex("00000014 'stsz' 00000000 00000004 00000006"));
  EXPECT_EQ(atomAt(stbl, {"stbl", "stco"}),
            hex("0000001C 'stco' 00000000 00000003  00000008 00000010 00000014"));
  // Base media header for the VR media types.
  EXPECT_EQ(atomAt(moov, {"moov", "trak", "mdia", "minf", "gmhd"}),
            hex("00000020 'gmhd' 00000018 'gmin' 00000000 0040 8000 8000 8000 0000 0000"));
}

TEST_F(MovieAtomsTest, TrackReferencesAndControllerTypeAtoms) {
  MovieFile* file = nullptr;
  Movie* movie = nullptr;
  ASSERT_EQ(createMovieFile(path("refs.mov"), fourCC("TVOD"), -2, 0x90000000, &file, &movie), 0);
  Track* tracks[3] = {};
  for (Track*& track : tracks) ASSERT_EQ(newMovieTrack(movie, 0, 0, 0, &track), 0);
  std::int32_t index = 0;
  ASSERT_EQ(addTrackReference(tracks[0], tracks[1], fourCC("pano"), &index), 0);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(addTrackReference(tracks[1], tracks[2], fourCC("imgt"), &index), 0);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(addTrackReference(tracks[1], tracks[0], fourCC("imgt"), &index), 0);
  EXPECT_EQ(index, 2);
  ASSERT_EQ(addTrackReference(tracks[1], tracks[2], fourCC("imgt"), &index), 0);
  EXPECT_EQ(index, 1) << "a track already referenced keeps its place";
  EXPECT_EQ(getTrackReference(tracks[1], fourCC("imgt"), 2), tracks[0]);
  ASSERT_EQ(tracks[1]->references.size(), 1u);
  EXPECT_EQ(tracks[1]->references[0].trackIds.size(), 2u);

  UserData* userData = getMovieUserData(movie);
  ASSERT_NE(userData, nullptr);
  ASSERT_EQ(setUserDataItem(userData, "STpn", 4, fourCC("ctyp"), 0), 0);
  ASSERT_EQ(setUserDataItem(userData, "qtvr", 4, fourCC("ctyp"), 0), 0);  // replaces
  ASSERT_EQ(addMovieResource(movie, file, nullptr), 0);
  closeMovieFile(file);
  disposeMovie(movie);

  // No samples: no mdat, the movie atom is the file.
  const Bytes moov = movie_test::readFile(path("refs.mov"));
  EXPECT_EQ(atomAt(moov, {"moov", "udta"}),
            hex("00000014 'udta' 0000000C 'ctyp' 'qtvr'"));
  const Bytes trak1 = atomAt(moov, {"moov", "trak"});
  EXPECT_EQ(atomAt(trak1, {"trak", "tref"}), hex("00000014 'tref' 0000000C 'pano' 00000002"));
  // The second trak: skip the first.
  const Bytes afterFirst(moov.begin() + 8 + 108 + trak1.size(), moov.end());
  EXPECT_EQ(atomAt(afterFirst, {"trak", "tref"}), hex("00000018 'tref' 00000010 'imgt' 00000003 00000001"));
}

TEST_F(MovieAtomsTest, MissingInputsAndStickyError) {
  Track* track = nullptr;
  Media* media = nullptr;
  EXPECT_EQ(newMovieTrack(nullptr, 0, 0, 0, &track), paramErr);
  EXPECT_EQ(track, nullptr);
  clearMoviesStickyError();
  Movie* movie = newMovie();
  ASSERT_NE(movie, nullptr);
  ASSERT_EQ(newMovieTrack(movie, 0, 0, 0, &track), 0);
  EXPECT_EQ(insertMediaIntoTrack(track, 0, 0, 10, 0x10000), invalidMedia);  // no media yet
  EXPECT_EQ(newTrackMedia(track, fourCC("vide"), 600, "", 0, &media), 0);
  EXPECT_EQ(setUserDataItem(nullptr, "x", 1, fourCC("ctyp"), 0), paramErr);
  // The first failure since the clear is kept through later successes and failures.
  EXPECT_EQ(getMoviesStickyError(), invalidMedia);
  clearMoviesStickyError();
  EXPECT_EQ(getMoviesStickyError(), 0);
  // A media of a movie without a file has nowhere to put samples.
  EXPECT_EQ(addMediaSample(media, "x", 1, 1, hex("00000010 'raw ' 000000000000 0001"), 1, 0, nullptr),
            invalidDataRef);
  // A description whose size field does not count its bytes.
  EXPECT_EQ(addMediaSample(media, "x", 1, 1, hex("00000020 'raw ' 000000000000 0001"), 1, 0, nullptr), paramErr);
  // Only the file's big-endian order: a header in little-endian order is refused, not turned.
  EXPECT_EQ(addMediaSample(media, "x", 1, 1, hex("10000000 ' war' 000000000000 0100"), 1, 0, nullptr), paramErr);
  EXPECT_EQ(getMoviesStickyError(), invalidDataRef);
  disposeMovie(movie);

  // Stopped toolbox: every call answers qtmlUninitialized.
  terminateQtml();
  EXPECT_EQ(newMovie(), nullptr);
  EXPECT_EQ(deleteMovieFile(path("none")), qtmlUninitialized);
  ASSERT_EQ(initializeQtml(), 0);
  EXPECT_EQ(deleteMovieFile(path("none")), fnfErr);
}

TEST_F(MovieAtomsTest, CreateRefusesAnExistingFileUnlessAskedToReplaceIt) {
  movie_test::writeFile(path("old.mov"), hex("'keep'"));
  MovieFile* file = nullptr;
  Movie* movie = nullptr;
  EXPECT_EQ(createMovieFile(path("old.mov"), 0, -2, 0, &file, &movie), dupFNErr);
  EXPECT_EQ(movie_test::readFile(path("old.mov")), hex("'keep'"));
  ASSERT_EQ(createMovieFile(path("old.mov"), 0, -2, createMovieFileDeleteCurFile, &file, &movie), 0);
  EXPECT_TRUE(movie_test::readFile(path("old.mov")).empty());
  closeMovieFile(file);
  disposeMovie(movie);
}

TEST_F(MovieAtomsTest, EditsSplitAndScale) {
  Movie* movie = newMovie();
  Track* track = nullptr;
  Media* media = nullptr;
  ASSERT_EQ(newMovieTrack(movie, 0, 0, 0, &track), 0);
  ASSERT_EQ(newTrackMedia(track, fourCC("vide"), 600, "", 0, &media), 0);
  // Samples are not needed for the edit arithmetic, only a long enough media.
  media->samples.push_back({0, 1, 2400, 1, 1, true});
  ASSERT_EQ(setMovieTimeScale(movie, 3600), 0);
  ASSERT_EQ(insertMediaIntoTrack(track, 0, 0, 2400, 0x10000), 0);  // 4 s = 14400
  ASSERT_EQ(insertMediaIntoTrack(track, 3600, 600, 600, 0x20000), 0);  // 1 s of media at twice the speed
  ASSERT_EQ(track->edits.size(), 3u);
  EXPECT_EQ(track->edits[0].trackDuration, 3600);
  EXPECT_EQ(track->edits[1].trackDuration, 1800);
  EXPECT_EQ(track->edits[1].mediaTime, 600);
  EXPECT_EQ(track->edits[1].mediaRate, 0x20000);
  EXPECT_EQ(track->edits[2].trackDuration, 10800);
  EXPECT_EQ(track->edits[2].mediaTime, 600) << "the split edit resumes one second into the media";
  EXPECT_EQ(getTrackDuration(track), 16200);
  // Squeezing the whole track into 2 s speeds every edit up by 8.1.
  ASSERT_EQ(scaleTrackSegment(track, 0, 16200, 2000), 0);
  EXPECT_EQ(getTrackDuration(track), 2000);
  EXPECT_EQ(track->edits[0].mediaRate, Fixed(0x10000 * 3600.0 / 444 + 0.5));  // the edit at time 0
  // A new movie time scale keeps every edit's length in seconds.
  EXPECT_EQ(setMovieTimeScale(movie, 7200), 0);
  EXPECT_EQ(getTrackDuration(track), 4000);
  EXPECT_EQ(scaleTrackSegment(track, 0, 5000, 100), invalidDuration);
  disposeMovie(movie);
}

}  // namespace
}  // namespace kelmira
