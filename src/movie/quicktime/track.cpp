#include "movie/quicktime/track.h"

#include <algorithm>

#include "movie/quicktime/media.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

namespace {

std::int64_t editsDuration(const Track& track) {
  std::int64_t sum = 0;
  for (const TrackEdit& edit : track.edits) sum += edit.trackDuration;
  return sum;
}

// Media time advanced by playing `span` movie units of an edit.
std::int64_t mediaAdvance(const Track& track, const TrackEdit& edit, std::int64_t span) {
  const std::int64_t movieUnits = (span * edit.mediaRate) >> 16;
  return convertTimeScale(movieUnits, track.movie->timeScale, track.media ? track.media->timeScale : 1);
}

// Makes an edit start at `at` and returns its index (edits.size() when at the end).
std::size_t splitEditsAt(Track& track, std::int64_t at) {
  std::int64_t start = 0;
  for (std::size_t i = 0; i < track.edits.size(); ++i) {
    const TrackEdit edit = track.edits[i];
    if (at == start) return i;
    if (at < start + edit.trackDuration) {
      TrackEdit head = edit;
      TrackEdit tail = edit;
      head.trackDuration = static_cast<TimeValue>(at - start);
      tail.trackDuration = static_cast<TimeValue>(edit.trackDuration - head.trackDuration);
      if (edit.mediaTime >= 0) tail.mediaTime = static_cast<TimeValue>(edit.mediaTime + mediaAdvance(track, edit, head.trackDuration));
      track.edits[i] = head;
      track.edits.insert(track.edits.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
      return i + 1;
    }
    start += edit.trackDuration;
  }
  return track.edits.size();
}

OSErr insertEdits(Track& track, std::int64_t at, const std::vector<TrackEdit>& edits) {
  const std::int64_t duration = editsDuration(track);
  std::int64_t added = 0;
  for (const TrackEdit& edit : edits) added += edit.trackDuration;
  if (std::max(at, duration) + added > 0x7FFFFFFF) return invalidDuration;
  if (at > duration) track.edits.push_back({static_cast<TimeValue>(at - duration), -1, 0x00010000});
  const std::size_t index = splitEditsAt(track, at);
  track.edits.insert(track.edits.begin() + static_cast<std::ptrdiff_t>(index), edits.begin(), edits.end());
  track.modificationTime = currentMacTime();
  return noErr;
}

OSErr ready(const void* required) {
  if (!movieToolboxReady()) return qtmlUninitialized;
  return required == nullptr ? paramErr : noErr;
}

}  // namespace

OSErr newMovieTrack(Movie* movie, Fixed width, Fixed height, std::int16_t volume, Track** track) {
  if (track != nullptr) *track = nullptr;
  if (const OSErr error = ready(movie)) return recordMoviesError(error);
  if (track == nullptr || width < 0 || height < 0) return recordMoviesError(paramErr);
  auto created = std::make_unique<Track>();
  created->movie = movie;
  created->trackId = movie->nextTrackId++;
  created->creationTime = created->modificationTime = currentMacTime();
  created->width = width;
  created->height = height;
  created->volume = volume;
  movie->tracks.push_back(std::move(created));
  *track = movie->tracks.back().get();
  return recordMoviesError(noErr);
}

Media* getTrackMedia(const Track* track) {
  recordMoviesError(track == nullptr ? paramErr : noErr);
  return track == nullptr ? nullptr : track->media.get();
}

OSErr getTrackDimensions(const Track* track, Fixed* width, Fixed* height) {
  if (const OSErr error = ready(track)) return recordMoviesError(error);
  if (width != nullptr) *width = track->width;
  if (height != nullptr) *height = track->height;
  return recordMoviesError(noErr);
}

std::int16_t getTrackVolume(const Track* track) {
  recordMoviesError(track == nullptr ? paramErr : noErr);
  return track == nullptr ? 0 : track->volume;
}

std::int16_t getTrackLayer(const Track* track) {
  recordMoviesError(track == nullptr ? paramErr : noErr);
  return track == nullptr ? 0 : track->layer;
}

OSErr setTrackLayer(Track* track, std::int16_t layer) {
  if (const OSErr error = ready(track)) return recordMoviesError(error);
  track->layer = layer;
  return recordMoviesError(noErr);
}

bool getTrackEnabled(const Track* track) { return track != nullptr && (track->flags & trackEnabledFlag) != 0; }

OSErr setTrackEnabled(Track* track, bool enabled) {
  if (const OSErr error = ready(track)) return recordMoviesError(error);
  track->flags = enabled ? (track->flags | trackEnabledFlag) : (track->flags & ~trackEnabledFlag);
  return recordMoviesError(noErr);
}

TimeValue getTrackDuration(const Track* track) {
  return track == nullptr ? 0 : static_cast<TimeValue>(editsDuration(*track));
}

OSErr addTrackReference(Track* track, Track* refTrack, OSType refType, std::int32_t* index) {
  if (index != nullptr) *index = 0;
  if (const OSErr error = ready(track)) return recordMoviesError(error);
  if (refTrack == nullptr || refType == 0) return recordMoviesError(paramErr);
  if (refTrack->movie != track->movie) return recordMoviesError(invalidTrack);
  auto list = std::find_if(track->references.begin(), track->references.end(),
                           [&](const TrackReferenceList& l) { return l.type == refType; });
  if (list == track->references.end()) {
    track->references.push_back({refType, {}});
    list = track->references.end() - 1;
  }
  auto& ids = list->trackIds;
  auto at = std::find(ids.begin(), ids.end(), refTrack->trackId);
  if (at == ids.end()) at = ids.insert(ids.end(), refTrack->trackId);
  if (index != nullptr) *index = static_cast<std::int32_t>(at - ids.begin()) + 1;
  return recordMoviesError(noErr);
}

Track* getTrackReference(const Track* track, OSType refType, std::int32_t index) {
  if (track == nullptr || index < 1) return nullptr;
  for (const TrackReferenceList& list : track->references) {
    if (list.type != refType || index > static_cast<std::int32_t>(list.trackIds.size())) continue;
    for (const auto& candidate : track->movie->tracks) {
      if (candidate->trackId == list.trackIds[index - 1]) return candidate.get();
    }
  }
  return nullptr;
}

OSErr insertMediaIntoTrack(Track* track, TimeValue trackStart, TimeValue mediaTime, TimeValue mediaDuration,
                           Fixed mediaRate) {
  if (const OSErr error = ready(track)) return recordMoviesError(error);
  if (!track->media) return recordMoviesError(invalidMedia);
  if (trackStart < 0 || mediaTime < 0 || mediaDuration <= 0) return recordMoviesError(invalidTime);
  if (mediaRate <= 0) return recordMoviesError(paramErr);
  if (std::int64_t(mediaTime) + mediaDuration > getMediaDuration(track->media.get())) {
    return recordMoviesError(invalidDuration);
  }
  // Length in movie units: the media span converted, divided by the rate.
  const std::int64_t movieUnits = convertTimeScale(mediaDuration, track->media->timeScale, track->movie->timeScale);
  const std::int64_t length = ((movieUnits << 16) + mediaRate / 2) / mediaRate;
  if (length <= 0 || length > 0x7FFFFFFF) return recordMoviesError(invalidDuration);
  return recordMoviesError(insertEdits(*track, trackStart, {{static_cast<TimeValue>(length), mediaTime, mediaRate}}));
}

OSErr insertTrackSegment(Track* srcTrack, Track* dstTrack, TimeValue srcIn, TimeValue srcDuration, TimeValue dstIn) {
  if (const OSErr error = ready(srcTrack)) return recordMoviesError(error);
  if (dstTrack == nullptr) return recordMoviesError(paramErr);
  Media* src = srcTrack->media.get();
  Media* dst = dstTrack->media.get();
  if (src == nullptr || dst == nullptr) return recordMoviesError(invalidMedia);
  if (src->mediaType != dst->mediaType || src->timeScale != dst->timeScale) return recordMoviesError(invalidMedia);
  if (srcIn < 0 || srcDuration <= 0 || dstIn < 0) return recordMoviesError(invalidTime);
  if (std::int64_t(srcIn) + srcDuration > editsDuration(*srcTrack)) return recordMoviesError(invalidDuration);

  // The source edits cut to the segment, and the media span they show.
  std::vector<TrackEdit> pieces;
  std::int64_t low = INT64_MAX;
  std::int64_t high = 0;
  std::int64_t start = 0;
  const std::int64_t end = std::int64_t(srcIn) + srcDuration;
  for (const TrackEdit& edit : srcTrack->edits) {
    const std::int64_t from = std::max<std::int64_t>(start, srcIn);
    const std::int64_t to = std::min<std::int64_t>(start + edit.trackDuration, end);
    if (from < to) {
      TrackEdit piece = edit;
      piece.trackDuration = static_cast<TimeValue>(to - from);
      if (edit.mediaTime >= 0) {
        piece.mediaTime = static_cast<TimeValue>(edit.mediaTime + mediaAdvance(*srcTrack, edit, from - start));
        low = std::min<std::int64_t>(low, piece.mediaTime);
        high = std::max(high, piece.mediaTime + mediaAdvance(*srcTrack, edit, piece.trackDuration));
      }
      pieces.push_back(piece);
    }
    start += edit.trackDuration;
  }

  // Within one media the edits are enough; across media the samples come along.
  if (src != dst && low < high) {
    std::vector<MediaSample> copied;
    const std::int64_t dstStart = getMediaDuration(dst);
    std::int64_t firstTime = -1;
    std::int64_t time = 0;
    for (const MediaSample& sample : src->samples) {
      if (time + sample.duration > low && time < high) {
        if (firstTime < 0) firstTime = time;
        if (sample.dataRefIndex < 1 || sample.dataRefIndex > src->dataRefs.size() ||
            src->dataRefs[sample.dataRefIndex - 1].path.empty()) {
          return recordMoviesError(couldNotResolveDataRef);
        }
        MediaSample copy = sample;
        copy.dataRefIndex = internDataReference(*dst, src->dataRefs[sample.dataRefIndex - 1].path);
        ByteBuffer description = src->sampleDescriptions.at(sample.descriptionIndex - 1);
        setSampleDescriptionDataRefIndex(description, static_cast<std::uint16_t>(copy.dataRefIndex));
        copy.descriptionIndex = internSampleDescription(*dst, description);
        copied.push_back(copy);
      }
      time += sample.duration;
    }
    if (dstStart + (time - firstTime) > 0x7FFFFFFF) return recordMoviesError(invalidDuration);
    dst->samples.insert(dst->samples.end(), copied.begin(), copied.end());
    dst->modificationTime = currentMacTime();
    for (TrackEdit& piece : pieces) {
      if (piece.mediaTime >= 0) piece.mediaTime = static_cast<TimeValue>(piece.mediaTime - firstTime + dstStart);
    }
  }
  for (TrackEdit& piece : pieces) {
    piece.trackDuration = static_cast<TimeValue>(
        convertTimeScale(piece.trackDuration, srcTrack->movie->timeScale, dstTrack->movie->timeScale));
  }
  std::erase_if(pieces, [](const TrackEdit& piece) { return piece.trackDuration <= 0; });
  return recordMoviesError(insertEdits(*dstTrack, dstIn, pieces));
}

OSErr copyTrackSettings(const Track* srcTrack, Track* dstTrack) {
  if (const OSErr error = ready(srcTrack)) return recordMoviesError(error);
  if (dstTrack == nullptr) return recordMoviesError(paramErr);
  dstTrack->matrix = srcTrack->matrix;
  dstTrack->layer = srcTrack->layer;
  dstTrack->alternateGroup = srcTrack->alternateGroup;
  dstTrack->volume = srcTrack->volume;
  return recordMoviesError(noErr);
}

OSErr scaleTrackSegment(Track* track, TimeValue startTime, TimeValue oldDuration, TimeValue newDuration) {
  if (const OSErr error = ready(track)) return recordMoviesError(error);
  if (startTime < 0 || oldDuration <= 0 || newDuration <= 0) return recordMoviesError(invalidTime);
  const std::int64_t total = editsDuration(*track);
  if (std::int64_t(startTime) + oldDuration > total) return recordMoviesError(invalidDuration);
  if (total - oldDuration + newDuration > 0x7FFFFFFF) return recordMoviesError(invalidDuration);
  const std::size_t first = splitEditsAt(*track, startTime);
  const std::size_t last = splitEditsAt(*track, std::int64_t(startTime) + oldDuration);
  // Each edit keeps its media span; the last one takes the rounding so the sum is exact.
  std::int64_t done = 0;
  std::int64_t doneNew = 0;
  for (std::size_t i = first; i < last; ++i) {
    TrackEdit& edit = track->edits[i];
    done += edit.trackDuration;
    const std::int64_t target = i + 1 == last ? newDuration : (done * newDuration + oldDuration / 2) / oldDuration;
    const std::int64_t length = target - doneNew;
    doneNew = target;
    if (length <= 0) return recordMoviesError(invalidDuration);
    if (edit.mediaTime >= 0) {
      const std::int64_t rate = (std::int64_t(edit.mediaRate) * edit.trackDuration + length / 2) / length;
      if (rate <= 0 || rate > 0x7FFFFFFF) return recordMoviesError(paramErr);
      edit.mediaRate = static_cast<Fixed>(rate);
    }
    edit.trackDuration = static_cast<TimeValue>(length);
  }
  track->modificationTime = currentMacTime();
  return recordMoviesError(noErr);
}

}  // namespace kelmira
