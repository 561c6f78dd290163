#pragma once

#include <cstdint>
#include <string>

#include "movie/quicktime/movie.h"

namespace kelmira {

inline constexpr OSType aliasDataRefType = fourCC("alis");
// AddMediaSample flag: the sample depends on earlier ones.
inline constexpr std::int16_t mediaSampleNotSync = 0x1;

// A media for the track; an empty dataRef keeps the samples in the movie's own file,
// otherwise dataRef is the path of the movie file that receives them.
OSErr newTrackMedia(Track* track, OSType mediaType, TimeScale timeScale, const std::string& dataRef,
                    OSType dataRefType, Media** media);
OSErr beginMediaEdits(Media* media);
OSErr endMediaEdits(Media* media);
// Appends numberOfSamples samples of size / numberOfSamples bytes each to the media's data
// file. sampleDescription is a whole stsd entry, big-endian as in the file (size, format,
// reserved, data reference index, ...); anything else is paramErr. sampleTime receives the media time of the first added sample.
OSErr addMediaSample(Media* media, const void* data, std::size_t size, TimeValue durationPerSample,
                     const ByteBuffer& sampleDescription, std::int32_t numberOfSamples, std::int16_t sampleFlags,
                     TimeValue* sampleTime);
// Sum of the sample durations, media time scale.
TimeValue getMediaDuration(const Media* media);
TimeScale getMediaTimeScale(const Media* media);
std::int32_t getMediaSampleCount(const Media* media);
// The media type ('vide', 'qtvr', ...); name and manufacturer may be null.
OSErr getMediaHandlerDescription(const Media* media, OSType* mediaType, std::string* name, OSType* manufacturer);

// The data reference index field of a sample description (offset 14).
std::uint16_t sampleDescriptionDataRefIndex(const ByteBuffer& description);
void setSampleDescriptionDataRefIndex(ByteBuffer& description, std::uint16_t index);
// Index (1-based) of an equal description in the media, adding it when there is none.
std::uint32_t internSampleDescription(Media& media, const ByteBuffer& description);
// Index (1-based) of a data reference to path in the media, adding it when there is none.
std::uint32_t internDataReference(Media& media, const std::string& path);

}  // namespace kelmira
