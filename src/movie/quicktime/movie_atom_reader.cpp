#include "movie/quicktime/movie_atom_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "movie/quicktime/atom_walker.h"
#include "movie/quicktime/media.h"
#include "movie/quicktime/movie_atom_writer.h"
#include "movie/quicktime/movie_data_file.h"
#include "movie/quicktime/sample_table.h"

namespace kelmira {

namespace {

// Samples of one media a file may claim when their size is given once for all.
constexpr std::uint32_t maxUniformSamples = 1u << 20;

// The sample table atoms of the media being read, the first of each type.
struct SampleTableAtoms {
  std::optional<ClassicAtom> stsd, stts, stsc, stsz, stco, co64, stss;
};

// What the reader holds while it walks the movie atom's payload: the movie so far, and
// the track and media whose atoms are being read.
struct ReadState {
  const std::uint8_t* block;
  std::size_t blockSize;
  const std::string& moviePath;
  Movie& movie;
  Track* track = nullptr;
  Media* media = nullptr;
  SampleTableAtoms tables;

  ByteReader payload(const ClassicAtom& atom) const {
    return ByteReader(block + atom.payloadOffset(), static_cast<std::size_t>(atom.payloadSize()));
  }
};

// Reads one atom into the state; a malformed atom gives the result code that says which
// part of the movie it broke.
using AtomParser = OSErr (*)(ReadState& state, const ClassicAtom& atom);

OSErr readMvhd(ReadState& s, const ClassicAtom& atom);
OSErr readUdta(ReadState& s, const ClassicAtom& atom);
OSErr readTrak(ReadState& s, const ClassicAtom& atom);
OSErr readTkhd(ReadState& s, const ClassicAtom& atom);
OSErr readEdts(ReadState& s, const ClassicAtom& atom);
OSErr readElst(ReadState& s, const ClassicAtom& atom);
OSErr readTref(ReadState& s, const ClassicAtom& atom);
OSErr readMdia(ReadState& s, const ClassicAtom& atom);
OSErr readMdhd(ReadState& s, const ClassicAtom& atom);
OSErr readHdlr(ReadState& s, const ClassicAtom& atom);
OSErr readMinf(ReadState& s, const ClassicAtom& atom);
OSErr readDinf(ReadState& s, const ClassicAtom& atom);
OSErr readDref(ReadState& s, const ClassicAtom& atom);
OSErr readStbl(ReadState& s, const ClassicAtom& atom);

// The sample tables are only noted where they lie; they are expanded together once the
// media's data references are known.
template <std::optional<ClassicAtom> SampleTableAtoms::*table>
OSErr noteTable(ReadState& s, const ClassicAtom& atom) {
  s.tables.*table = atom;
  return noErr;
}

// The atoms read, each under the parent it belongs to; any other atom is passed over.
// Only the first of a type counts under one parent, except where the type repeats.
struct ParseRule {
  OSType parent;
  OSType type;
  AtomParser parse;
  bool repeats = false;
};
constexpr ParseRule kParseTable[] = {
    {fourCC("moov"), fourCC("mvhd"), readMvhd},
    {fourCC("moov"), fourCC("trak"), readTrak, true},
    {fourCC("moov"), fourCC("udta"), readUdta, true},
    {fourCC("trak"), fourCC("tkhd"), readTkhd},
    {fourCC("trak"), fourCC("edts"), readEdts},
    {fourCC("trak"), fourCC("tref"), readTref},
    {fourCC("trak"), fourCC("mdia"), readMdia},
    {fourCC("edts"), fourCC("elst"), readElst},
    {fourCC("mdia"), fourCC("mdhd"), readMdhd},
    {fourCC("mdia"), fourCC("hdlr"), readHdlr},
    {fourCC("mdia"), fourCC("minf"), readMinf},
    {fourCC("minf"), fourCC("dinf"), readDinf},
    {fourCC("minf"), fourCC("stbl"), readStbl},
    {fourCC("dinf"), fourCC("dref"), readDref},
    {fourCC("stbl"), fourCC("stsd"), noteTable<&SampleTableAtoms::stsd>},
    {fourCC("stbl"), fourCC("stts"), noteTable<&SampleTableAtoms::stts>},
    {fourCC("stbl"), fourCC("stsc"), noteTable<&SampleTableAtoms::stsc>},
    {fourCC("stbl"), fourCC("stsz"), noteTable<&SampleTableAtoms::stsz>},
    {fourCC("stbl"), fourCC("stco"), noteTable<&SampleTableAtoms::stco>},
    {fourCC("stbl"), fourCC("co64"), noteTable<&SampleTableAtoms::co64>},
    {fourCC("stbl"), fourCC("stss"), noteTable<&SampleTableAtoms::stss>},
};

const ParseRule* findRule(OSType parent, OSType type) {
  for (const ParseRule& rule : kParseTable) {
    if (rule.parent == parent && rule.type == type) return &rule;
  }
  return nullptr;
}

// How a parent's children are checked before any is read: `broken` when they do not lie
// back to back in it, `missing` when one of the `required` types is not among them.
struct ChildRules {
  OSErr broken;
  std::initializer_list<OSType> required = {};
  OSErr missing = noErr;
};

// Hands the children in [begin, end) of `parentType` to their parsers, in file order.
OSErr readChildren(ReadState& s, OSType parentType, std::uint64_t begin, std::uint64_t end, const ChildRules& rules) {
  const ClassicAtomList children = readClassicAtoms(s.block, s.blockSize, begin, end, false);
  // A few bytes after the last child (QuickTime's list terminator) are let be.
  if (!children.error.empty() && !children.strayTail) return rules.broken;
  for (const OSType type : rules.required) {
    if (std::none_of(children.atoms.begin(), children.atoms.end(),
                     [type](const ClassicAtom& atom) { return atom.type == type; })) {
      return rules.missing;
    }
  }
  std::vector<OSType> read;
  for (const ClassicAtom& atom : children.atoms) {
    const ParseRule* rule = findRule(parentType, atom.type);
    if (rule == nullptr || (!rule->repeats && std::find(read.begin(), read.end(), atom.type) != read.end())) continue;
    read.push_back(atom.type);
    if (const OSErr error = rule->parse(s, atom)) return error;
  }
  return noErr;
}

OSErr readChildren(ReadState& s, const ClassicAtom& parent, const ChildRules& rules) {
  return readChildren(s, parent.type, parent.payloadOffset(), parent.end(), rules);
}

void readMatrix(ByteReader& r, Matrix& matrix) {
  for (std::uint32_t& value : matrix) value = r.u32();
}

OSErr readMvhd(ReadState& s, const ClassicAtom& atom) {
  Movie& movie = s.movie;
  ByteReader r = s.payload(atom);
  if (r.u32() >> 24 != 0) return invalidMovie;  // version
  movie.creationTime = r.u32();
  movie.modificationTime = r.u32();
  movie.timeScale = static_cast<TimeScale>(r.u32());
  r.u32();  // duration: the tracks' edits tell it
  movie.preferredRate = static_cast<Fixed>(r.u32());
  movie.preferredVolume = static_cast<std::int16_t>(r.u16());
  r.skip(10);
  readMatrix(r, movie.matrix);
  movie.previewTime = static_cast<TimeValue>(r.u32());
  movie.previewDuration = static_cast<TimeValue>(r.u32());
  movie.posterTime = static_cast<TimeValue>(r.u32());
  movie.selectionTime = static_cast<TimeValue>(r.u32());
  movie.selectionDuration = static_cast<TimeValue>(r.u32());
  movie.currentTime = static_cast<TimeValue>(r.u32());
  movie.nextTrackId = r.u32();
  if (r.failed() || movie.timeScale <= 0) return invalidMovie;
  return noErr;
}

OSErr readTrak(ReadState& s, const ClassicAtom& atom) {
  auto track = std::make_unique<Track>();
  track->movie = &s.movie;
  s.track = track.get();
  if (const OSErr error = readChildren(s, atom, {invalidTrack, {fourCC("tkhd")}, invalidTrack})) return error;
  s.movie.tracks.push_back(std::move(track));
  return noErr;
}

OSErr readTkhd(ReadState& s, const ClassicAtom& atom) {
  Track& track = *s.track;
  ByteReader r = s.payload(atom);
  const std::uint32_t versionFlags = r.u32();
  if (versionFlags >> 24 != 0) return invalidTrack;
  track.flags = versionFlags & 0xFFFFFF;
  track.creationTime = r.u32();
  track.modificationTime = r.u32();
  track.trackId = r.u32();
  r.skip(4);
  r.u32();  // duration: the edits tell it
  r.skip(8);
  track.layer = static_cast<std::int16_t>(r.u16());
  track.alternateGroup = static_cast<std::int16_t>(r.u16());
  track.volume = static_cast<std::int16_t>(r.u16());
  r.skip(2);
  readMatrix(r, track.matrix);
  track.width = static_cast<Fixed>(r.u32());
  track.height = static_cast<Fixed>(r.u32());
  if (r.failed() || track.trackId == 0) return invalidTrack;
  for (const auto& other : s.movie.tracks) {
    if (other->trackId == track.trackId) return invalidTrack;
  }
  return noErr;
}

OSErr readEdts(ReadState& s, const ClassicAtom& atom) { return readChildren(s, atom, {invalidTrack}); }

OSErr readElst(ReadState& s, const ClassicAtom& atom) {
  ByteReader r = s.payload(atom);
  if (r.u32() >> 24 != 0) return invalidTrack;
  const std::uint32_t count = r.u32();
  if (r.failed() || count > r.remaining() / 12) return invalidTrack;
  std::int64_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    TrackEdit edit;
    edit.trackDuration = static_cast<TimeValue>(r.u32());
    edit.mediaTime = static_cast<TimeValue>(r.u32());
    edit.mediaRate = static_cast<Fixed>(r.u32());
    total += edit.trackDuration;
    if (edit.trackDuration < 0 || edit.mediaTime < -1 || total > 0x7FFFFFFF) return invalidTrack;
    s.track->edits.push_back(edit);
  }
  return noErr;
}

// Each child is a list of track IDs, its type the kind of reference.
OSErr readTref(ReadState& s, const ClassicAtom& atom) {
  const ClassicAtomList lists = readClassicAtoms(s.block, s.blockSize, atom.payloadOffset(), atom.end(), false);
  if (!lists.error.empty() && !lists.strayTail) return invalidTrack;
  for (const ClassicAtom& list : lists.atoms) {
    ByteReader r = s.payload(list);
    TrackReferenceList references{list.type, {}};
    while (r.remaining() >= 4) references.trackIds.push_back(r.u32());
    s.track->references.push_back(std::move(references));
  }
  return noErr;
}

OSErr readMdia(ReadState& s, const ClassicAtom& atom) {
  auto media = std::make_unique<Media>();
  media->track = s.track;
  s.media = media.get();
  const ChildRules rules{invalidMedia, {fourCC("mdhd"), fourCC("hdlr"), fourCC("minf")}, invalidMedia};
  if (const OSErr error = readChildren(s, atom, rules)) return error;
  s.track->media = std::move(media);
  return noErr;
}

OSErr readMdhd(ReadState& s, const ClassicAtom& atom) {
  Media& media = *s.media;
  ByteReader r = s.payload(atom);
  if (r.u32() >> 24 != 0) return invalidMedia;  // version
  media.creationTime = r.u32();
  media.modificationTime = r.u32();
  media.timeScale = static_cast<TimeScale>(r.u32());
  r.u32();  // duration: the samples tell it
  media.language = static_cast<std::uint16_t>(r.u16());
  media.quality = static_cast<std::uint16_t>(r.u16());
  if (r.failed() || media.timeScale <= 0) return invalidMedia;
  return noErr;
}

// The media handler names the media type; the data handler, in 'minf', is not read.
OSErr readHdlr(ReadState& s, const ClassicAtom& atom) {
  ByteReader r = s.payload(atom);
  r.skip(8);  // version, flags, component type
  s.media->mediaType = r.u32();
  return r.failed() ? invalidMedia : noErr;
}

OSErr readSampleTable(ReadState& s);

OSErr readMinf(ReadState& s, const ClassicAtom& atom) {
  s.tables = {};
  if (const OSErr error = readChildren(s, atom, {invalidMedia, {fourCC("dinf"), fourCC("stbl")}, invalidMedia})) {
    return error;
  }
  return readSampleTable(s);
}

OSErr readDinf(ReadState& s, const ClassicAtom& atom) {
  return readChildren(s, atom, {invalidMedia, {fourCC("dref")}, invalidDataRef});
}

OSErr readDref(ReadState& s, const ClassicAtom& atom) {
  const std::string& moviePath = s.moviePath;
  ByteReader r = s.payload(atom);
  const std::optional<std::uint32_t> entryCount = readTableEntryCount(r, 12);
  if (!entryCount) return invalidDataRef;
  const std::uint32_t count = *entryCount;
  const ClassicAtomList entries =
      readClassicAtoms(s.block, s.blockSize, atom.payloadOffset() + 8, atom.end(), false);
  if ((!entries.error.empty() && !entries.strayTail) || entries.atoms.size() < count) return invalidDataRef;
  const std::filesystem::path folder = std::filesystem::path(moviePath).parent_path();
  for (std::uint32_t i = 0; i < count; ++i) {
    const ClassicAtom& entry = entries.atoms[i];
    const std::uint8_t* data = s.block + entry.payloadOffset();
    const std::size_t size = static_cast<std::size_t>(entry.payloadSize());
    ByteReader e(data, size);
    const std::uint32_t flags = e.u32() & 0xFFFFFF;
    if (e.failed()) return invalidDataRef;
    std::string path;
    if ((flags & 1) != 0) {
      path = moviePath;
    } else if (entry.type == fourCC("alis")) {
      path = aliasRecordPath(data + 4, size - 4);
    } else if (entry.type == fourCC("url ")) {
      const char* text = reinterpret_cast<const char*>(data + 4);
      path.assign(text, strnlen(text, size - 4));
      if (path.rfind("file://", 0) == 0) path.erase(0, 7);
      if (!path.empty() && path.front() != '/') path = (folder / path).string();
    }
    s.media->dataRefs.push_back({path.empty() ? path : normalizedMoviePath(path)});
  }
  return noErr;
}

OSErr readStbl(ReadState& s, const ClassicAtom& atom) {
  return readChildren(s, atom, {invalidSampleTable, {fourCC("stsd")}, invalidSampleTable});
}

// A sample description whose 16-byte header was stored in little-endian order, the
// order of the machine that made it, turned to the file's big-endian order: size, format
// and data reference index.
void turnHeaderToFileOrder(ByteBuffer& entry) {
  std::reverse(entry.begin(), entry.begin() + 4);
  std::reverse(entry.begin() + 4, entry.begin() + 8);
  std::reverse(entry.begin() + 14, entry.begin() + 16);
}

OSErr readStsd(const ReadState& s, const ClassicAtom& atom, Media& media) {
  const std::uint8_t* data = s.block + atom.payloadOffset();
  ByteReader r = s.payload(atom);
  const std::optional<std::uint32_t> entryCount = readTableEntryCount(r, 16);
  if (!entryCount) return invalidSampleTable;
  const std::uint32_t count = *entryCount;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = r.position();
    std::uint32_t size = r.u32();
    bool littleEndian = false;
    if (!r.failed() && (size < 16 || size - 4 > r.remaining())) {
      // A header in little-endian order is read only where its size, so read, is exactly
      // what is left of the table for the last entry: no big-endian entry could be.
      const std::uint8_t* p = data + at;
      const std::uint32_t turned = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
      if (i + 1 != count || turned < 16 || turned - 4 != r.remaining()) return invalidSampleTable;
      size = turned;
      littleEndian = true;
    }
    if (r.failed() || size < 16 || size - 4 > r.remaining()) return invalidSampleTable;
    r.skip(size - 4);
    ByteBuffer entry(data + at, data + at + size);
    if (littleEndian) turnHeaderToFileOrder(entry);
    const std::uint16_t ref = sampleDescriptionDataRefIndex(entry);
    if (ref > media.dataRefs.size()) return badDataRefIndex;
    media.sampleDescriptions.push_back(std::move(entry));
  }
  return noErr;
}

// Sample durations, in runs that must number every sample exactly once.
OSErr readStts(const ReadState& s, const ClassicAtom& stts, Media& media) {
  const std::uint64_t sampleCount = media.samples.size();
  ByteReader times = s.payload(stts);
  const std::optional<std::uint32_t> timeEntries = readTableEntryCount(times, 8);
  if (!timeEntries) return invalidSampleTable;
  std::uint64_t numbered = 0;
  std::uint64_t totalDuration = 0;
  for (std::uint32_t i = 0; i < *timeEntries; ++i) {
    const std::uint32_t count = times.u32();
    const std::uint32_t duration = times.u32();
    if (count > sampleCount - numbered) return invalidSampleTable;
    totalDuration += std::uint64_t(count) * duration;
    for (std::uint32_t k = 0; k < count; ++k) media.samples[numbered + k].duration = duration;
    numbered += count;
  }
  if (numbered != sampleCount || totalDuration > 0x7FFFFFFF) return invalidSampleTable;
  return noErr;
}

// The sync samples; without this table every sample is one.
OSErr readStss(const ReadState& s, const ClassicAtom& stss, Media& media) {
  const std::size_t sampleCount = media.samples.size();
  ByteReader syncs = s.payload(stss);
  const std::optional<std::uint32_t> entryCount = readTableEntryCount(syncs, 4);
  if (!entryCount) return invalidSampleTable;
  for (MediaSample& sample : media.samples) sample.sync = false;
  for (std::uint32_t i = 0; i < *entryCount; ++i) {
    const std::uint32_t number = syncs.u32();
    if (number == 0 || number > sampleCount) return invalidSampleTable;
    media.samples[number - 1].sync = true;
  }
  return noErr;
}

// Expands the noted sample tables into one record per sample: where it lies, its
// description and data reference, its duration and whether it is a sync sample.
OSErr readSampleTable(ReadState& s) {
  const SampleTableAtoms& t = s.tables;
  Media& media = *s.media;
  if (const OSErr error = readStsd(s, *t.stsd, media)) return error;
  if (!t.stsz && !t.stts) return noErr;  // no samples
  if (!t.stts || !t.stsc || !t.stsz || (!t.stco && !t.co64)) return invalidSampleTable;
  const auto payloadOf = [&s](const ClassicAtom& atom, const std::uint8_t*& at, std::size_t& size) {
    at = s.block + atom.payloadOffset();
    size = static_cast<std::size_t>(atom.payloadSize());
  };
  SampleTablePayloads payloads;
  payloadOf(*t.stsc, payloads.stsc, payloads.stscSize);
  payloadOf(*t.stsz, payloads.stsz, payloads.stszSize);
  payloadOf(t.stco ? *t.stco : *t.co64, payloads.chunkOffsets, payloads.chunkOffsetsSize);
  payloads.chunkOffsets64 = !t.stco;

  const std::optional<SampleSizes> sizes = sampleSizes(payloads);
  if (!sizes || (sizes->uniformSize != 0 && sizes->count > maxUniformSamples)) return invalidSampleTable;
  media.samples.resize(sizes->count);
  if (const OSErr error = readStts(s, *t.stts, media)) return error;
  std::vector<SamplePlacement> placements;
  const auto descriptions = static_cast<std::uint32_t>(media.sampleDescriptions.size());
  if (const OSErr error = expandSampleTable(payloads, descriptions, sizes->count, placements)) return error;
  for (std::size_t i = 0; i < placements.size(); ++i) {
    MediaSample& sample = media.samples[i];
    sample.offset = placements[i].offset;
    sample.size = placements[i].size;
    sample.descriptionIndex = placements[i].descriptionIndex;
    const ByteBuffer& description = media.sampleDescriptions[sample.descriptionIndex - 1];
    sample.dataRefIndex = std::max<std::uint16_t>(sampleDescriptionDataRefIndex(description), 1);
    if (sample.dataRefIndex > media.dataRefs.size()) return badDataRefIndex;
  }
  return t.stss ? readStss(s, *t.stss, media) : noErr;
}

OSErr readUdta(ReadState& s, const ClassicAtom& atom) {
  // A broken tail only loses the items from there on.
  const ClassicAtomList items = readClassicAtoms(s.block, s.blockSize, atom.payloadOffset(), atom.end(), false);
  for (const ClassicAtom& item : items.atoms) {
    const std::uint8_t* data = s.block + item.payloadOffset();
    s.movie.userData.items.push_back({item.type, ByteBuffer(data, data + item.payloadSize())});
  }
  return noErr;
}

// A track without an edit list shows its whole media from the start at rate 1.
void addDefaultEdit(Track& track, TimeScale movieTimeScale) {
  const TimeValue mediaDuration = getMediaDuration(track.media.get());
  if (!track.edits.empty() || mediaDuration <= 0) return;
  const std::int64_t length = convertTimeScale(mediaDuration, track.media->timeScale, movieTimeScale);
  if (length > 0 && length <= 0x7FFFFFFF) track.edits.push_back({static_cast<TimeValue>(length), 0, 0x00010000});
}

}  // namespace

OSErr parseMovieAtom(const std::uint8_t* payload, std::size_t size, const std::string& moviePath,
                     std::unique_ptr<Movie>& movie) {
  auto loaded = std::make_unique<Movie>();
  ReadState state{payload, size, moviePath, *loaded, nullptr, nullptr, {}};
  if (const OSErr error = readChildren(state, fourCC("moov"), 0, size, {invalidMovie, {fourCC("mvhd")}, invalidMovie})) {
    return error;
  }
  std::uint32_t highestId = 0;
  for (const auto& track : loaded->tracks) {
    highestId = std::max(highestId, track->trackId);
    addDefaultEdit(*track, loaded->timeScale);
  }
  if (highestId == 0xFFFFFFFFu) return invalidMovie;
  loaded->nextTrackId = std::max(loaded->nextTrackId, highestId + 1);
  loaded->defaultDataRefPath = moviePath;
  movie = std::move(loaded);
  return noErr;
}

}  // namespace kelmira
