#include "movie/quicktime/movie_atom_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "movie/quicktime/media.h"
#include "movie/quicktime/movie_atom_writer.h"
#include "movie/quicktime/movie_data_file.h"

namespace kelmira {

namespace {

// Samples of one media a file may claim when their size is given once for all.
constexpr std::uint64_t maxUniformSamples = 1u << 20;

struct Atom {
  OSType type;
  const std::uint8_t* data;
  std::size_t size;  // payload
};

// The child atoms of a payload; false when one does not fit.
bool childAtoms(const std::uint8_t* data, std::size_t size, std::vector<Atom>& atoms) {
  ByteReader r(data, size);
  while (r.remaining() >= 8) {
    std::uint64_t atomSize = r.u32();
    const OSType type = r.u32();
    std::size_t header = 8;
    if (atomSize == 1) {
      atomSize = r.u64();
      header = 16;
    }
    if (r.failed() || atomSize < header || atomSize - header > r.remaining()) return false;
    const std::size_t payload = static_cast<std::size_t>(atomSize - header);
    atoms.push_back({type, r.bytes(payload), payload});
  }
  // Up to 7 trailing bytes (QuickTime's 4-byte list terminator) are ignored.
  return true;
}

const Atom* findAtom(const std::vector<Atom>& atoms, OSType type) {
  for (const Atom& atom : atoms) {
    if (atom.type == type) return &atom;
  }
  return nullptr;
}

void readMatrix(ByteReader& r, Matrix& matrix) {
  for (std::uint32_t& value : matrix) value = r.u32();
}

OSErr readMvhd(const Atom& atom, Movie& movie) {
  ByteReader r(atom.data, atom.size);
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

OSErr readTkhd(const Atom& atom, Track& track) {
  ByteReader r(atom.data, atom.size);
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
  return noErr;
}

OSErr readElst(const Atom& edts, Track& track) {
  std::vector<Atom> children;
  if (!childAtoms(edts.data, edts.size, children)) return invalidTrack;
  const Atom* elst = findAtom(children, fourCC("elst"));
  if (elst == nullptr) return noErr;
  ByteReader r(elst->data, elst->size);
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
    track.edits.push_back(edit);
  }
  return noErr;
}

OSErr readTref(const Atom& tref, Track& track) {
  std::vector<Atom> lists;
  if (!childAtoms(tref.data, tref.size, lists)) return invalidTrack;
  for (const Atom& list : lists) {
    ByteReader r(list.data, list.size);
    TrackReferenceList references{list.type, {}};
    while (r.remaining() >= 4) references.trackIds.push_back(r.u32());
    track.references.push_back(std::move(references));
  }
  return noErr;
}

// The head of a full atom's table: version and flags, then an entry count that must fit in
// the bytes that follow; none when it does not.
std::optional<std::uint32_t> tableEntryCount(ByteReader& r, std::size_t entryBytes) {
  r.u32();  // version, flags
  const std::uint32_t count = r.u32();
  if (r.failed() || count > r.remaining() / entryBytes) return std::nullopt;
  return count;
}

OSErr readDref(const Atom& dinf, const std::string& moviePath, Media& media) {
  std::vector<Atom> children;
  if (!childAtoms(dinf.data, dinf.size, children)) return invalidMedia;
  const Atom* dref = findAtom(children, fourCC("dref"));
  if (dref == nullptr) return invalidDataRef;
  ByteReader r(dref->data, dref->size);
  const std::optional<std::uint32_t> entryCount = tableEntryCount(r, 12);
  if (!entryCount) return invalidDataRef;
  const std::uint32_t count = *entryCount;
  std::vector<Atom> entries;
  if (!childAtoms(dref->data + 8, dref->size - 8, entries) || entries.size() < count) return invalidDataRef;
  const std::filesystem::path folder = std::filesystem::path(moviePath).parent_path();
  for (std::uint32_t i = 0; i < count; ++i) {
    const Atom& entry = entries[i];
    ByteReader e(entry.data, entry.size);
    const std::uint32_t flags = e.u32() & 0xFFFFFF;
    if (e.failed()) return invalidDataRef;
    std::string path;
    if ((flags & 1) != 0) {
      path = moviePath;
    } else if (entry.type == fourCC("alis")) {
      path = aliasRecordPath(entry.data + 4, entry.size - 4);
    } else if (entry.type == fourCC("url ")) {
      const char* text = reinterpret_cast<const char*>(entry.data + 4);
      path.assign(text, strnlen(text, entry.size - 4));
      if (path.rfind("file://", 0) == 0) path.erase(0, 7);
      if (!path.empty() && path.front() != '/') path = (folder / path).string();
    }
    media.dataRefs.push_back({path.empty() ? path : normalizedMoviePath(path)});
  }
  return noErr;
}

// A sample description whose 16-byte header was stored in little-endian order, the
// order of the machine that made it, turned to the file's big-endian order: size, format
// and data reference index.
void turnHeaderToFileOrder(ByteBuffer& entry) {
  std::reverse(entry.begin(), entry.begin() + 4);
  std::reverse(entry.begin() + 4, entry.begin() + 8);
  std::reverse(entry.begin() + 14, entry.begin() + 16);
}

OSErr readStsd(const Atom& atom, Media& media) {
  ByteReader r(atom.data, atom.size);
  const std::optional<std::uint32_t> entryCount = tableEntryCount(r, 16);
  if (!entryCount) return invalidSampleTable;
  const std::uint32_t count = *entryCount;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = r.position();
    std::uint32_t size = r.u32();
    bool littleEndian = false;
    if (!r.failed() && (size < 16 || size - 4 > r.remaining())) {
      // A header in little-endian order is read only where its size, so read, is exactly
      // what is left of the table for the last entry: no big-endian entry could be.
      const std::uint8_t* p = atom.data + at;
      const std::uint32_t turned = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
      if (i + 1 != count || turned < 16 || turned - 4 != r.remaining()) return invalidSampleTable;
      size = turned;
      littleEndian = true;
    }
    if (r.failed() || size < 16 || size - 4 > r.remaining()) return invalidSampleTable;
    r.skip(size - 4);
    ByteBuffer entry(atom.data + at, atom.data + at + size);
    if (littleEndian) turnHeaderToFileOrder(entry);
    const std::uint16_t ref = sampleDescriptionDataRefIndex(entry);
    if (ref > media.dataRefs.size()) return badDataRefIndex;
    media.sampleDescriptions.push_back(std::move(entry));
  }
  return noErr;
}

// Sample sizes, one per sample or one for all: makes the media's sample records.
OSErr readStsz(const Atom& stsz, Media& media) {
  ByteReader sizes(stsz.data, stsz.size);
  sizes.u32();  // version, flags
  const std::uint32_t uniformSize = sizes.u32();
  const std::uint32_t sampleCount = sizes.u32();
  if (sizes.failed()) return invalidSampleTable;
  if (uniformSize == 0 ? sampleCount > sizes.remaining() / 4 : sampleCount > maxUniformSamples) {
    return invalidSampleTable;
  }
  media.samples.resize(sampleCount);
  for (MediaSample& sample : media.samples) sample.size = uniformSize == 0 ? sizes.u32() : uniformSize;
  return noErr;
}

// Sample durations, in runs that must number every sample exactly once.
OSErr readStts(const Atom& stts, Media& media) {
  const std::uint64_t sampleCount = media.samples.size();
  ByteReader times(stts.data, stts.size);
  const std::optional<std::uint32_t> timeEntries = tableEntryCount(times, 8);
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

// The chunk offset table, 32-bit (stco) or 64-bit (co64), read one chunk at a time.
class ChunkOffsets {
 public:
  ChunkOffsets(const Atom& table, bool wide)
      : reader_(table.data, table.size), wide_(wide), count_(tableEntryCount(reader_, wide ? 8 : 4)) {}
  // False when the table is cut short or its count claims more offsets than it holds.
  bool valid() const { return count_.has_value(); }
  std::uint32_t count() const { return count_.value_or(0); }
  std::uint64_t next() { return wide_ ? reader_.u64() : reader_.u32(); }

 private:
  ByteReader reader_;
  bool wide_;
  std::optional<std::uint32_t> count_;
};

// From firstChunk on, until the next run, each chunk holds samplesPerChunk samples.
struct ChunkRun {
  std::uint32_t firstChunk, samplesPerChunk, descriptionIndex;
};

// The sample-to-chunk runs: from chunk 1 on, climbing, naming descriptions the media has.
OSErr readStsc(const Atom& stsc, const Media& media, std::vector<ChunkRun>& runList) {
  ByteReader runs(stsc.data, stsc.size);
  const std::optional<std::uint32_t> entryCount = tableEntryCount(runs, 12);
  if (!entryCount || (*entryCount == 0 && !media.samples.empty())) return invalidSampleTable;
  const std::uint32_t runCount = *entryCount;
  runList.resize(runCount);
  for (std::uint32_t i = 0; i < runCount; ++i) {
    runList[i] = {runs.u32(), runs.u32(), runs.u32()};
    const ChunkRun& run = runList[i];
    const std::uint32_t expectedFirst = i == 0 ? 1 : runList[i - 1].firstChunk + 1;
    if (run.firstChunk < expectedFirst || (i == 0 && run.firstChunk != 1) || run.samplesPerChunk == 0 ||
        run.descriptionIndex == 0 || run.descriptionIndex > media.sampleDescriptions.size()) {
      return invalidSampleTable;
    }
  }
  return noErr;
}

// Gives each sample its offset, description and data reference, chunk by chunk; the
// chunks must hold every sample and no more.
OSErr placeSamples(const std::vector<ChunkRun>& runList, ChunkOffsets& offsets, Media& media) {
  const std::size_t sampleCount = media.samples.size();
  std::size_t next = 0;
  std::size_t run = 0;
  // Chunks with no run to say what they hold: nothing to place them by.
  if (offsets.count() != 0 && runList.empty()) return invalidSampleTable;
  for (std::uint32_t chunk = 1; chunk <= offsets.count(); ++chunk) {
    while (run + 1 < runList.size() && runList[run + 1].firstChunk <= chunk) ++run;
    std::uint64_t offset = offsets.next();
    const ChunkRun& current = runList[run];
    if (current.samplesPerChunk > sampleCount - next) return invalidSampleTable;
    const ByteBuffer& description = media.sampleDescriptions[current.descriptionIndex - 1];
    const std::uint16_t ref = std::max<std::uint16_t>(sampleDescriptionDataRefIndex(description), 1);
    if (ref > media.dataRefs.size()) return badDataRefIndex;
    for (std::uint32_t k = 0; k < current.samplesPerChunk; ++k) {
      MediaSample& sample = media.samples[next++];
      sample.offset = offset;
      sample.descriptionIndex = current.descriptionIndex;
      sample.dataRefIndex = ref;
      offset += sample.size;
    }
  }
  if (next != sampleCount) return invalidSampleTable;
  return noErr;
}

// The sync samples; without this table every sample is one.
OSErr readStss(const Atom& stss, Media& media) {
  const std::size_t sampleCount = media.samples.size();
  ByteReader syncs(stss.data, stss.size);
  const std::optional<std::uint32_t> entryCount = tableEntryCount(syncs, 4);
  if (!entryCount) return invalidSampleTable;
  const std::uint32_t count = *entryCount;
  for (MediaSample& sample : media.samples) sample.sync = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t number = syncs.u32();
    if (number == 0 || number > sampleCount) return invalidSampleTable;
    media.samples[number - 1].sync = true;
  }
  return noErr;
}

// Expands the sample tables into one record per sample.
OSErr readSampleTable(const Atom& stblAtom, Media& media) {
  std::vector<Atom> atoms;
  if (!childAtoms(stblAtom.data, stblAtom.size, atoms)) return invalidSampleTable;
  const Atom* stsd = findAtom(atoms, fourCC("stsd"));
  const Atom* stts = findAtom(atoms, fourCC("stts"));
  const Atom* stsc = findAtom(atoms, fourCC("stsc"));
  const Atom* stsz = findAtom(atoms, fourCC("stsz"));
  const Atom* stco = findAtom(atoms, fourCC("stco"));
  const Atom* co64 = findAtom(atoms, fourCC("co64"));
  const Atom* stss = findAtom(atoms, fourCC("stss"));
  if (stsd == nullptr) return invalidSampleTable;
  if (const OSErr error = readStsd(*stsd, media)) return error;
  if (stsz == nullptr && stts == nullptr) return noErr;  // no samples
  if (stts == nullptr || stsc == nullptr || stsz == nullptr || (stco == nullptr && co64 == nullptr)) {
    return invalidSampleTable;
  }
  if (const OSErr error = readStsz(*stsz, media)) return error;
  if (const OSErr error = readStts(*stts, media)) return error;
  ChunkOffsets offsets(stco != nullptr ? *stco : *co64, stco == nullptr);
  if (!offsets.valid()) return invalidSampleTable;
  std::vector<ChunkRun> runList;
  if (const OSErr error = readStsc(*stsc, media, runList)) return error;
  if (const OSErr error = placeSamples(runList, offsets, media)) return error;
  return stss != nullptr ? readStss(*stss, media) : noErr;
}

OSErr readMdia(const Atom& mdia, const std::string& moviePath, Track& track) {
  std::vector<Atom> atoms;
  if (!childAtoms(mdia.data, mdia.size, atoms)) return invalidMedia;
  const Atom* mdhd = findAtom(atoms, fourCC("mdhd"));
  const Atom* hdlr = findAtom(atoms, fourCC("hdlr"));
  const Atom* minf = findAtom(atoms, fourCC("minf"));
  if (mdhd == nullptr || hdlr == nullptr || minf == nullptr) return invalidMedia;
  auto media = std::make_unique<Media>();
  media->track = &track;

  ByteReader header(mdhd->data, mdhd->size);
  if (header.u32() >> 24 != 0) return invalidMedia;  // version
  media->creationTime = header.u32();
  media->modificationTime = header.u32();
  media->timeScale = static_cast<TimeScale>(header.u32());
  header.u32();  // duration: the samples tell it
  media->language = static_cast<std::uint16_t>(header.u16());
  media->quality = static_cast<std::uint16_t>(header.u16());
  if (header.failed() || media->timeScale <= 0) return invalidMedia;

  ByteReader handler(hdlr->data, hdlr->size);
  handler.skip(8);  // version, flags, component type
  media->mediaType = handler.u32();
  if (handler.failed()) return invalidMedia;

  std::vector<Atom> information;
  if (!childAtoms(minf->data, minf->size, information)) return invalidMedia;
  const Atom* dinf = findAtom(information, fourCC("dinf"));
  const Atom* stbl = findAtom(information, fourCC("stbl"));
  if (dinf == nullptr || stbl == nullptr) return invalidMedia;
  if (const OSErr error = readDref(*dinf, moviePath, *media)) return error;
  if (const OSErr error = readSampleTable(*stbl, *media)) return error;
  track.media = std::move(media);
  return noErr;
}

OSErr readTrak(const Atom& trak, const std::string& moviePath, Movie& movie) {
  std::vector<Atom> atoms;
  if (!childAtoms(trak.data, trak.size, atoms)) return invalidTrack;
  const Atom* tkhd = findAtom(atoms, fourCC("tkhd"));
  if (tkhd == nullptr) return invalidTrack;
  auto track = std::make_unique<Track>();
  track->movie = &movie;
  if (const OSErr error = readTkhd(*tkhd, *track)) return error;
  for (const auto& other : movie.tracks) {
    if (other->trackId == track->trackId) return invalidTrack;
  }
  if (const Atom* edts = findAtom(atoms, fourCC("edts"))) {
    if (const OSErr error = readElst(*edts, *track)) return error;
  }
  if (const Atom* tref = findAtom(atoms, fourCC("tref"))) {
    if (const OSErr error = readTref(*tref, *track)) return error;
  }
  if (const Atom* mdia = findAtom(atoms, fourCC("mdia"))) {
    if (const OSErr error = readMdia(*mdia, moviePath, *track)) return error;
  }
  // No edit list: the whole media from its start at rate 1.
  const TimeValue mediaDuration = getMediaDuration(track->media.get());
  if (track->edits.empty() && mediaDuration > 0) {
    const std::int64_t length = convertTimeScale(mediaDuration, track->media->timeScale, movie.timeScale);
    if (length > 0 && length <= 0x7FFFFFFF) track->edits.push_back({static_cast<TimeValue>(length), 0, 0x00010000});
  }
  movie.tracks.push_back(std::move(track));
  return noErr;
}

void readUdta(const Atom& udta, Movie& movie) {
  std::vector<Atom> items;
  childAtoms(udta.data, udta.size, items);  // a broken tail only loses items
  for (const Atom& item : items) movie.userData.items.push_back({item.type, ByteBuffer(item.data, item.data + item.size)});
}

}  // namespace

OSErr parseMovieAtom(const std::uint8_t* payload, std::size_t size, const std::string& moviePath,
                     std::unique_ptr<Movie>& movie) {
  std::vector<Atom> atoms;
  if (!childAtoms(payload, size, atoms)) return invalidMovie;
  const Atom* mvhd = findAtom(atoms, fourCC("mvhd"));
  if (mvhd == nullptr) return invalidMovie;
  auto loaded = std::make_unique<Movie>();
  if (const OSErr error = readMvhd(*mvhd, *loaded)) return error;
  std::uint32_t highestId = 0;
  for (const Atom& atom : atoms) {
    if (atom.type == fourCC("trak")) {
      if (const OSErr error = readTrak(atom, moviePath, *loaded)) return error;
      highestId = std::max(highestId, loaded->tracks.back()->trackId);
    } else if (atom.type == fourCC("udta")) {
      readUdta(atom, *loaded);
    }
  }
  if (highestId == 0xFFFFFFFFu) return invalidMovie;
  loaded->nextTrackId = std::max(loaded->nextTrackId, highestId + 1);
  loaded->defaultDataRefPath = moviePath;
  movie = std::move(loaded);
  return noErr;
}

}  // namespace kelmira
