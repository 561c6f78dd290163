#include "movie/quicktime/media.h"

#include <algorithm>
#include <utility>

#include "movie/quicktime/movie_data_file.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

OSErr newTrackMedia(Track* track, OSType mediaType, TimeScale timeScale, const std::string& dataRef,
                    OSType dataRefType, Media** media) {
  if (media != nullptr) *media = nullptr;
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (track == nullptr || media == nullptr || timeScale <= 0 || mediaType == 0) return recordMoviesError(paramErr);
  if (track->media) return recordMoviesError(invalidMedia);
  if (!dataRef.empty() && dataRefType != aliasDataRefType && dataRefType != 0) {
    return recordMoviesError(cantFindHandler);
  }
  auto created = std::make_unique<Media>();
  created->track = track;
  created->mediaType = mediaType;
  created->timeScale = timeScale;
  created->creationTime = created->modificationTime = currentMacTime();
  const std::string& path = dataRef.empty() ? track->movie->defaultDataRefPath : dataRef;
  if (!path.empty()) created->dataRefs.push_back({normalizedMoviePath(path)});
  track->media = std::move(created);
  *media = track->media.get();
  return recordMoviesError(noErr);
}

OSErr beginMediaEdits(Media* media) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (media == nullptr) return recordMoviesError(paramErr);
  media->editing = true;
  return recordMoviesError(noErr);
}

OSErr endMediaEdits(Media* media) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (media == nullptr) return recordMoviesError(paramErr);
  media->editing = false;
  OSErr result = noErr;
  if (media->appendFile) result = media->appendFile->flush();
  return recordMoviesError(result);
}

std::uint16_t sampleDescriptionDataRefIndex(const ByteBuffer& description) {
  return description.size() < 16 ? 0 : static_cast<std::uint16_t>((description[14] << 8) | description[15]);
}

void setSampleDescriptionDataRefIndex(ByteBuffer& description, std::uint16_t index) {
  if (description.size() < 16) return;
  description[14] = static_cast<std::uint8_t>(index >> 8);
  description[15] = static_cast<std::uint8_t>(index);
}

std::uint32_t internSampleDescription(Media& media, const ByteBuffer& description) {
  const auto& list = media.sampleDescriptions;
  const auto it = std::find(list.begin(), list.end(), description);
  if (it != list.end()) return static_cast<std::uint32_t>(it - list.begin()) + 1;
  media.sampleDescriptions.push_back(description);
  return static_cast<std::uint32_t>(list.size());
}

std::uint32_t internDataReference(Media& media, const std::string& path) {
  for (std::size_t i = 0; i < media.dataRefs.size(); ++i) {
    if (media.dataRefs[i].path == path) return static_cast<std::uint32_t>(i) + 1;
  }
  media.dataRefs.push_back({path});
  return static_cast<std::uint32_t>(media.dataRefs.size());
}

OSErr addMediaSample(Media* media, const void* data, std::size_t size, TimeValue durationPerSample,
                     const ByteBuffer& sampleDescription, std::int32_t numberOfSamples, std::int16_t sampleFlags,
                     TimeValue* sampleTime) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (media == nullptr || (data == nullptr && size != 0) || numberOfSamples <= 0 || durationPerSample <= 0 ||
      size % static_cast<std::size_t>(numberOfSamples) != 0) {
    return recordMoviesError(paramErr);
  }
  // The entry must be whole and big-endian, as the file keeps it: its size field counts
  // every byte given.
  ByteReader entry(sampleDescription.data(), sampleDescription.size());
  if (sampleDescription.size() < 16 || entry.u32() != sampleDescription.size()) return recordMoviesError(paramErr);
  if (media->dataRefs.empty() || media->dataRefs.front().path.empty()) return recordMoviesError(invalidDataRef);
  const std::int64_t mediaDuration = getMediaDuration(media);
  if (mediaDuration + std::int64_t(durationPerSample) * numberOfSamples > 0x7FFFFFFF) {
    return recordMoviesError(invalidDuration);
  }
  if (!media->appendFile) {
    // The movie file being written is found open; any other file is opened to append.
    const OSErr error = MovieDataFile::openForAppend(media->dataRefs.front().path, media->appendFile);
    if (error != noErr) return recordMoviesError(error);
  }
  // Samples always go to the first data reference; an index of 0 is kept as given.
  ByteBuffer description = sampleDescription;
  if (sampleDescriptionDataRefIndex(description) != 0) setSampleDescriptionDataRefIndex(description, 1);
  // An image description's data size is the last frame's length in memory and 0 when
  // stored, so the frames of one codec and size share one entry.
  if (media->mediaType == fourCC("vide") && description.size() >= 48) std::fill_n(description.begin() + 44, 4, 0);
  const std::uint32_t descriptionIndex = internSampleDescription(*media, description);

  const std::size_t each = size / static_cast<std::size_t>(numberOfSamples);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::int32_t i = 0; i < numberOfSamples; ++i) {
    MediaSample sample;
    if (const OSErr error = media->appendFile->appendSample(bytes + i * each, each, sample.offset)) {
      return recordMoviesError(error);
    }
    sample.size = static_cast<std::uint32_t>(each);
    sample.duration = static_cast<std::uint32_t>(durationPerSample);
    sample.descriptionIndex = descriptionIndex;
    sample.dataRefIndex = 1;
    sample.sync = (sampleFlags & mediaSampleNotSync) == 0;
    media->samples.push_back(sample);
  }
  media->modificationTime = currentMacTime();
  if (sampleTime != nullptr) *sampleTime = static_cast<TimeValue>(mediaDuration);
  return recordMoviesError(noErr);
}

TimeValue getMediaDuration(const Media* media) {
  if (media == nullptr) return 0;
  std::int64_t sum = 0;
  for (const MediaSample& sample : media->samples) sum += sample.duration;
  return static_cast<TimeValue>(std::min<std::int64_t>(sum, 0x7FFFFFFF));
}

TimeScale getMediaTimeScale(const Media* media) {
  recordMoviesError(media == nullptr ? paramErr : noErr);
  return media == nullptr ? 0 : media->timeScale;
}

std::int32_t getMediaSampleCount(const Media* media) {
  return media == nullptr ? 0 : static_cast<std::int32_t>(media->samples.size());
}

OSErr getMediaHandlerDescription(const Media* media, OSType* mediaType, std::string* name, OSType* manufacturer) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (media == nullptr) return recordMoviesError(paramErr);
  if (mediaType != nullptr) *mediaType = media->mediaType;
  if (name != nullptr) name->clear();
  if (manufacturer != nullptr) *manufacturer = 0;
  return recordMoviesError(noErr);
}

}  // namespace kelmira
