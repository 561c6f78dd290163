#pragma once

#include <cstdint>

#include "movie/quicktime/movie.h"

namespace kelmira {

// A new enabled track of width x height (16.16) and volume (8.8), without media.
OSErr newMovieTrack(Movie* movie, Fixed width, Fixed height, std::int16_t volume, Track** track);
Media* getTrackMedia(const Track* track);
OSErr getTrackDimensions(const Track* track, Fixed* width, Fixed* height);
std::int16_t getTrackVolume(const Track* track);
std::int16_t getTrackLayer(const Track* track);
OSErr setTrackLayer(Track* track, std::int16_t layer);
bool getTrackEnabled(const Track* track);
OSErr setTrackEnabled(Track* track, bool enabled);
// Sum of the track's edits, movie time scale.
TimeValue getTrackDuration(const Track* track);

// Adds refTrack to the track's references of refType; index receives its 1-based place
// (the existing place when it is already there).
OSErr addTrackReference(Track* track, Track* refTrack, OSType refType, std::int32_t* index);
Track* getTrackReference(const Track* track, OSType refType, std::int32_t index);

// Plays mediaDuration of the media from mediaTime at rate, starting at trackStart
// (movie time scale).
OSErr insertMediaIntoTrack(Track* track, TimeValue trackStart, TimeValue mediaTime, TimeValue mediaDuration,
                           Fixed mediaRate);
// Copies srcDuration of srcTrack from srcIn to dstIn of dstTrack, possibly of another
// movie: the destination media gains the samples (as references to the source media's
// files) and the edits. Both media must share type and time scale.
OSErr insertTrackSegment(Track* srcTrack, Track* dstTrack, TimeValue srcIn, TimeValue srcDuration, TimeValue dstIn);
// Matrix, layer, alternate group and volume.
OSErr copyTrackSettings(const Track* srcTrack, Track* dstTrack);
// Stretches or squeezes the edits between startTime and startTime + oldDuration to
// newDuration by changing their rates.
OSErr scaleTrackSegment(Track* track, TimeValue startTime, TimeValue oldDuration, TimeValue newDuration);

}  // namespace kelmira
