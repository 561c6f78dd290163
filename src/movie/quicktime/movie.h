#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"
#include "movie/quicktime/user_data.h"

namespace kelmira {

class MovieDataFile;
struct Movie;
struct Track;

using Matrix = std::array<std::uint32_t, 9>;
inline constexpr Matrix identityMatrix = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

// One sample of a media: where its bytes are and how it plays.
struct MediaSample {
  std::uint64_t offset = 0;          // absolute, in the file of dataRefIndex
  std::uint32_t size = 0;
  std::uint32_t duration = 0;        // media time scale
  std::uint32_t descriptionIndex = 1;  // 1-based into Media::sampleDescriptions
  std::uint32_t dataRefIndex = 1;      // 1-based into Media::dataRefs
  bool sync = true;
};

// A data reference: the file holding a media's samples ('alis').
struct DataReference {
  std::string path;  // empty when a stored reference could not be resolved
};

struct Media {
  Track* track = nullptr;
  OSType mediaType = 0;
  TimeScale timeScale = 600;
  std::uint32_t creationTime = 0;
  std::uint32_t modificationTime = 0;
  std::uint16_t language = 0;
  std::uint16_t quality = 0;
  std::vector<DataReference> dataRefs;
  std::vector<ByteBuffer> sampleDescriptions;  // whole stsd entries, big-endian
  std::vector<MediaSample> samples;
  bool editing = false;
  std::shared_ptr<MovieDataFile> appendFile;  // opened on the first added sample
};

// An edit: a span of the track (movie time scale) showing media from mediaTime on.
struct TrackEdit {
  TimeValue trackDuration = 0;
  TimeValue mediaTime = 0;  // -1: empty edit
  Fixed mediaRate = 0x00010000;
};

struct TrackReferenceList {
  OSType type = 0;
  std::vector<std::uint32_t> trackIds;
};

// tkhd flag bits
inline constexpr std::uint32_t trackEnabledFlag = 0x1;
inline constexpr std::uint32_t trackInMovieFlag = 0x2;
inline constexpr std::uint32_t trackInPreviewFlag = 0x4;
inline constexpr std::uint32_t trackInPosterFlag = 0x8;

struct Track {
  Movie* movie = nullptr;
  std::uint32_t trackId = 0;
  std::uint32_t flags = trackEnabledFlag | trackInMovieFlag | trackInPreviewFlag | trackInPosterFlag;
  std::uint32_t creationTime = 0;
  std::uint32_t modificationTime = 0;
  std::int16_t layer = 0;
  std::int16_t alternateGroup = 0;
  std::int16_t volume = 0;  // 8.8
  Matrix matrix = identityMatrix;
  Fixed width = 0;
  Fixed height = 0;
  std::vector<TrackEdit> edits;
  std::vector<TrackReferenceList> references;
  std::unique_ptr<Media> media;
};

struct Movie {
  Movie();
  ~Movie();
  Movie(const Movie&) = delete;
  Movie& operator=(const Movie&) = delete;

  TimeScale timeScale = 600;
  std::uint32_t creationTime = 0;
  std::uint32_t modificationTime = 0;
  Fixed preferredRate = 0x00010000;
  std::int16_t preferredVolume = 0x0100;
  Matrix matrix = identityMatrix;
  TimeValue previewTime = 0;
  TimeValue previewDuration = 0;
  TimeValue posterTime = 0;
  TimeValue selectionTime = 0;
  TimeValue selectionDuration = 0;
  TimeValue currentTime = 0;
  std::uint32_t nextTrackId = 1;
  std::vector<std::unique_ptr<Track>> tracks;
  UserData userData;
  std::string defaultDataRefPath;  // the movie file; new media keep their samples there
  std::shared_ptr<MovieDataFile> defaultDataFile;  // set while the movie file is being written
};

// Seconds since 1904, as QuickTime stamps its atoms.
std::uint32_t currentMacTime();

// A new empty movie whose samples go to no file until a data reference is given.
Movie* newMovie();
void disposeMovie(Movie* movie);

OSErr setMovieTimeScale(Movie* movie, TimeScale timeScale);
TimeScale getMovieTimeScale(const Movie* movie);
// The longest track, in the movie's time scale.
TimeValue getMovieDuration(const Movie* movie);
std::int32_t getMovieTrackCount(const Movie* movie);
// 1-based; nullptr when out of range.
Track* getMovieIndTrack(const Movie* movie, std::int32_t index);
// The index-th track (1-based) whose media is of the given type; nullptr when none.
inline constexpr std::int32_t movieTrackMediaType = 1 << 0;
inline constexpr std::int32_t movieTrackCharacteristic = 1 << 1;
inline constexpr std::int32_t movieTrackEnabledOnly = 1 << 2;
Track* getMovieIndTrackType(const Movie* movie, std::int32_t index, OSType trackType, std::int32_t flags);
UserData* getMovieUserData(Movie* movie);

OSErr getMoviesStickyError();
void clearMoviesStickyError();
// Records a result in both; returns it.
OSErr recordMoviesError(OSErr result);

// Converts a duration between time scales, rounding to nearest.
std::int64_t convertTimeScale(std::int64_t value, TimeScale from, TimeScale to);

}  // namespace kelmira
