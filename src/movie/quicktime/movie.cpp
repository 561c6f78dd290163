#include "movie/quicktime/movie.h"

#include <ctime>

#include "movie/quicktime/movie_data_file.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

namespace {

struct ErrorMemory {
  OSErr last = noErr;
  OSErr sticky = noErr;
};

ErrorMemory& errorMemory() {
  static thread_local ErrorMemory memory;
  return memory;
}

}  // namespace

Movie::Movie() = default;
Movie::~Movie() = default;

std::uint32_t currentMacTime() {
  constexpr std::int64_t macEpochOffset = 2082844800;
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::time(nullptr)) + macEpochOffset);
}

OSErr getMoviesStickyError() { return errorMemory().sticky; }
void clearMoviesStickyError() { errorMemory().sticky = noErr; }

OSErr recordMoviesError(OSErr result) {
  ErrorMemory& memory = errorMemory();
  memory.last = result;
  if (memory.sticky == noErr) memory.sticky = result;
  return result;
}

std::int64_t convertTimeScale(std::int64_t value, TimeScale from, TimeScale to) {
  if (from <= 0 || to <= 0 || from == to) return value;
  const std::int64_t scaled = value * to;
  return scaled >= 0 ? (scaled + from / 2) / from : -((-scaled + from / 2) / from);
}

Movie* newMovie() {
  if (!movieToolboxReady()) {
    recordMoviesError(qtmlUninitialized);
    return nullptr;
  }
  auto* movie = new Movie;
  movie->creationTime = movie->modificationTime = currentMacTime();
  recordMoviesError(noErr);
  return movie;
}

void disposeMovie(Movie* movie) { delete movie; }

OSErr setMovieTimeScale(Movie* movie, TimeScale timeScale) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (movie == nullptr || timeScale <= 0) return recordMoviesError(paramErr);
  // Edits keep their length in seconds.
  for (auto& track : movie->tracks) {
    for (TrackEdit& edit : track->edits) {
      edit.trackDuration = static_cast<TimeValue>(convertTimeScale(edit.trackDuration, movie->timeScale, timeScale));
    }
  }
  movie->timeScale = timeScale;
  return recordMoviesError(noErr);
}

TimeScale getMovieTimeScale(const Movie* movie) {
  recordMoviesError(movie == nullptr ? paramErr : noErr);
  return movie == nullptr ? 0 : movie->timeScale;
}

TimeValue getMovieDuration(const Movie* movie) {
  if (movie == nullptr) return 0;
  std::int64_t longest = 0;
  for (const auto& track : movie->tracks) {
    std::int64_t sum = 0;
    for (const TrackEdit& edit : track->edits) sum += edit.trackDuration;
    longest = std::max(longest, sum);
  }
  return static_cast<TimeValue>(longest);
}

std::int32_t getMovieTrackCount(const Movie* movie) {
  return movie == nullptr ? 0 : static_cast<std::int32_t>(movie->tracks.size());
}

Track* getMovieIndTrack(const Movie* movie, std::int32_t index) {
  if (movie == nullptr || index < 1 || index > getMovieTrackCount(movie)) {
    recordMoviesError(movie == nullptr ? paramErr : invalidTrack);
    return nullptr;
  }
  recordMoviesError(noErr);
  return movie->tracks[index - 1].get();
}

Track* getMovieIndTrackType(const Movie* movie, std::int32_t index, OSType trackType, std::int32_t flags) {
  if (!movieToolboxReady()) {
    recordMoviesError(qtmlUninitialized);
    return nullptr;
  }
  if (movie == nullptr || index < 1) {
    recordMoviesError(paramErr);
    return nullptr;
  }
  std::int32_t seen = 0;
  for (const auto& track : movie->tracks) {
    if ((flags & movieTrackEnabledOnly) != 0 && (track->flags & trackEnabledFlag) == 0) continue;
    // Only media types are told apart here; a characteristic matches no track.
    if ((flags & movieTrackMediaType) == 0 || !track->media || track->media->mediaType != trackType) continue;
    if (++seen == index) {
      recordMoviesError(noErr);
      return track.get();
    }
  }
  recordMoviesError(invalidTrack);
  return nullptr;
}

UserData* getMovieUserData(Movie* movie) {
  recordMoviesError(movie == nullptr ? paramErr : noErr);
  return movie == nullptr ? nullptr : &movie->userData;
}

}  // namespace kelmira
