#include "movie/quicktime/movie_atom_writer.h"

#include <filesystem>

#include "movie/quicktime/media.h"

namespace kelmira {

namespace {

// Alias record extra tag holding a POSIX path.
constexpr std::int16_t aliasTagPosixPath = 18;
constexpr std::size_t aliasFixedSize = 150;

std::size_t beginAtom(ByteWriter& w, OSType type) {
  const std::size_t at = w.position();
  w.u32(0);  // size, patched by endAtom
  w.u32(type);
  return at;
}

void endAtom(ByteWriter& w, std::size_t at) { w.patchU32(at, static_cast<std::uint32_t>(w.position() - at)); }

void writeMatrix(ByteWriter& w, const Matrix& matrix) {
  for (std::uint32_t value : matrix) w.u32(value);
}

std::int64_t trackDuration(const Track& track) {
  std::int64_t sum = 0;
  for (const TrackEdit& edit : track.edits) sum += edit.trackDuration;
  return sum;
}

// A sample as the tables will record it.
struct PlacedSample {
  std::uint64_t offset;
  std::uint32_t size;
  std::uint32_t duration;
  std::uint32_t descriptionIndex;
  std::uint32_t dataRefIndex;
  bool sync;
};

struct Chunk {
  std::uint64_t offset;
  std::uint32_t sampleCount;
  std::uint32_t descriptionIndex;
};

// Contiguous samples of one description and one file share a chunk.
std::vector<Chunk> makeChunks(const std::vector<PlacedSample>& samples) {
  std::vector<Chunk> chunks;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const PlacedSample& s = samples[i];
    if (i > 0) {
      const PlacedSample& p = samples[i - 1];
      if (s.offset == p.offset + p.size && s.descriptionIndex == p.descriptionIndex &&
          s.dataRefIndex == p.dataRefIndex) {
        ++chunks.back().sampleCount;
        continue;
      }
    }
    chunks.push_back({s.offset, 1, s.descriptionIndex});
  }
  return chunks;
}

void writeMvhd(ByteWriter& w, const Movie& movie) {
  const std::size_t at = beginAtom(w, fourCC("mvhd"));
  w.u32(0);                                                    // version, flags
  w.u32(movie.creationTime);                                   // creation time
  w.u32(movie.modificationTime);                               // modification time
  w.u32(static_cast<std::uint32_t>(movie.timeScale));          // time scale
  w.u32(static_cast<std::uint32_t>(getMovieDuration(&movie)));  // duration
  w.s32(movie.preferredRate);                                  // preferred rate
  w.u16(static_cast<std::uint16_t>(movie.preferredVolume));    // preferred volume
  w.zeros(10);                                                 // reserved
  writeMatrix(w, movie.matrix);                                // matrix
  w.s32(movie.previewTime);                                    // preview time
  w.s32(movie.previewDuration);                                // preview duration
  w.s32(movie.posterTime);                                     // poster time
  w.s32(movie.selectionTime);                                  // selection time
  w.s32(movie.selectionDuration);                              // selection duration
  w.s32(movie.currentTime);                                    // current time
  w.u32(movie.nextTrackId);                                    // next track ID
  endAtom(w, at);
}

void writeTkhd(ByteWriter& w, const Track& track) {
  const std::size_t at = beginAtom(w, fourCC("tkhd"));
  w.u32(track.flags & 0xFFFFFF);                                  // version, flags
  w.u32(track.creationTime);                                      // creation time
  w.u32(track.modificationTime);                                  // modification time
  w.u32(track.trackId);                                           // track ID
  w.u32(0);                                                       // reserved
  w.u32(static_cast<std::uint32_t>(trackDuration(track)));        // duration
  w.zeros(8);                                                     // reserved
  w.u16(static_cast<std::uint16_t>(track.layer));                 // layer
  w.u16(static_cast<std::uint16_t>(track.alternateGroup));        // alternate group
  w.u16(static_cast<std::uint16_t>(track.volume));                // volume
  w.u16(0);                                                       // reserved
  writeMatrix(w, track.matrix);                                   // matrix
  w.s32(track.width);                                             // width
  w.s32(track.height);                                            // height
  endAtom(w, at);
}

void writeEdts(ByteWriter& w, const Track& track) {
  if (track.edits.empty()) return;
  const std::size_t edts = beginAtom(w, fourCC("edts"));
  const std::size_t elst = beginAtom(w, fourCC("elst"));
  w.u32(0);                                                   // version, flags
  w.u32(static_cast<std::uint32_t>(track.edits.size()));      // number of entries
  for (const TrackEdit& edit : track.edits) {
    w.s32(edit.trackDuration);                                // track duration
    w.s32(edit.mediaTime);                                    // media time
    w.s32(edit.mediaRate);                                    // media rate
  }
  endAtom(w, elst);
  endAtom(w, edts);
}

void writeTref(ByteWriter& w, const Track& track) {
  if (track.references.empty()) return;
  const std::size_t tref = beginAtom(w, fourCC("tref"));
  for (const TrackReferenceList& list : track.references) {
    const std::size_t at = beginAtom(w, list.type);
    for (std::uint32_t id : list.trackIds) w.u32(id);  // track IDs
    endAtom(w, at);
  }
  endAtom(w, tref);
}

void writeMdhd(ByteWriter& w, const Media& media) {
  const std::size_t at = beginAtom(w, fourCC("mdhd"));
  w.u32(0);                                                      // version, flags
  w.u32(media.creationTime);                                     // creation time
  w.u32(media.modificationTime);                                 // modification time
  w.u32(static_cast<std::uint32_t>(media.timeScale));            // time scale
  w.u32(static_cast<std::uint32_t>(getMediaDuration(&media)));   // duration
  w.u16(media.language);                                         // language
  w.u16(media.quality);                                          // quality
  endAtom(w, at);
}

void writeHdlr(ByteWriter& w, OSType componentType, OSType componentSubtype) {
  const std::size_t at = beginAtom(w, fourCC("hdlr"));
  w.u32(0);                 // version, flags
  w.u32(componentType);     // component type
  w.u32(componentSubtype);  // component subtype
  w.u32(0);                 // component manufacturer
  w.u32(0);                 // component flags
  w.u32(0);                 // component flags mask
  w.u8(0);                  // component name (empty Pascal string)
  endAtom(w, at);
}

void writeVmhd(ByteWriter& w) {
  const std::size_t at = beginAtom(w, fourCC("vmhd"));
  w.u32(1);       // version, flags (1: no lean ahead)
  w.u16(0x0040);  // graphics mode: dither copy
  w.u16(0x8000);  // opcolor red
  w.u16(0x8000);  // opcolor green
  w.u16(0x8000);  // opcolor blue
  endAtom(w, at);
}

void writeSmhd(ByteWriter& w) {
  const std::size_t at = beginAtom(w, fourCC("smhd"));
  w.u32(0);  // version, flags
  w.u16(0);  // balance
  w.u16(0);  // reserved
  endAtom(w, at);
}

void writeGmhd(ByteWriter& w) {
  const std::size_t gmhd = beginAtom(w, fourCC("gmhd"));
  const std::size_t gmin = beginAtom(w, fourCC("gmin"));
  w.u32(0);       // version, flags
  w.u16(0x0040);  // graphics mode: dither copy
  w.u16(0x8000);  // opcolor red
  w.u16(0x8000);  // opcolor green
  w.u16(0x8000);  // opcolor blue
  w.u16(0);       // balance
  w.u16(0);       // reserved
  endAtom(w, gmin);
  endAtom(w, gmhd);
}

OSErr writeDinf(ByteWriter& w, const Media& media, const MovieAtomPlacement& placement) {
  const std::size_t dinf = beginAtom(w, fourCC("dinf"));
  const std::size_t dref = beginAtom(w, fourCC("dref"));
  w.u32(0);  // version, flags
  if (placement.relocated != nullptr || media.dataRefs.empty()) {
    w.u32(1);  // number of entries
    const std::size_t alis = beginAtom(w, fourCC("alis"));
    w.u32(1);  // version, flags (1: data in this file)
    endAtom(w, alis);
  } else {
    w.u32(static_cast<std::uint32_t>(media.dataRefs.size()));  // number of entries
    for (const DataReference& ref : media.dataRefs) {
      if (ref.path.empty()) return couldNotResolveDataRef;
      const bool self = ref.path == placement.selfPath;
      const std::size_t alis = beginAtom(w, fourCC("alis"));
      w.u32(self ? 1 : 0);  // version, flags
      if (!self) {
        const ByteBuffer record = makeAliasRecord(ref.path);
        w.bytes(record.data(), record.size());  // alias record
      }
      endAtom(w, alis);
    }
  }
  endAtom(w, dref);
  endAtom(w, dinf);
  return noErr;
}

void writeStsd(ByteWriter& w, const Media& media, bool relocated) {
  const std::size_t at = beginAtom(w, fourCC("stsd"));
  w.u32(0);                                                              // version, flags
  w.u32(static_cast<std::uint32_t>(media.sampleDescriptions.size()));    // number of entries
  for (ByteBuffer entry : media.sampleDescriptions) {
    if (relocated && sampleDescriptionDataRefIndex(entry) != 0) setSampleDescriptionDataRefIndex(entry, 1);
    w.bytes(entry.data(), entry.size());  // sample description
  }
  endAtom(w, at);
}

void writeStts(ByteWriter& w, const std::vector<PlacedSample>& samples) {
  const std::size_t at = beginAtom(w, fourCC("stts"));
  w.u32(0);  // version, flags
  const std::size_t countAt = w.position();
  w.u32(0);  // number of entries, patched
  std::uint32_t entries = 0;
  for (std::size_t i = 0; i < samples.size();) {
    std::size_t j = i;
    while (j < samples.size() && samples[j].duration == samples[i].duration) ++j;
    w.u32(static_cast<std::uint32_t>(j - i));  // sample count
    w.u32(samples[i].duration);                // sample duration
    ++entries;
    i = j;
  }
  w.patchU32(countAt, entries);
  endAtom(w, at);
}

void writeStss(ByteWriter& w, const std::vector<PlacedSample>& samples) {
  std::vector<std::uint32_t> syncs;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (samples[i].sync) syncs.push_back(static_cast<std::uint32_t>(i) + 1);
  }
  if (syncs.size() == samples.size()) return;  // absent: every sample is a sync sample
  const std::size_t at = beginAtom(w, fourCC("stss"));
  w.u32(0);                                         // version, flags
  w.u32(static_cast<std::uint32_t>(syncs.size()));  // number of entries
  for (std::uint32_t number : syncs) w.u32(number);  // sample numbers
  endAtom(w, at);
}

void writeStsc(ByteWriter& w, const std::vector<Chunk>& chunks) {
  const std::size_t at = beginAtom(w, fourCC("stsc"));
  w.u32(0);  // version, flags
  const std::size_t countAt = w.position();
  w.u32(0);  // number of entries, patched
  std::uint32_t entries = 0;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (i > 0 && chunks[i].sampleCount == chunks[i - 1].sampleCount &&
        chunks[i].descriptionIndex == chunks[i - 1].descriptionIndex) {
      continue;
    }
    w.u32(static_cast<std::uint32_t>(i) + 1);  // first chunk
    w.u32(chunks[i].sampleCount);              // samples per chunk
    w.u32(chunks[i].descriptionIndex);         // sample description ID
    ++entries;
  }
  w.patchU32(countAt, entries);
  endAtom(w, at);
}

void writeStsz(ByteWriter& w, const std::vector<PlacedSample>& samples) {
  const std::size_t at = beginAtom(w, fourCC("stsz"));
  bool uniform = !samples.empty();
  for (const PlacedSample& s : samples) uniform = uniform && s.size == samples.front().size;
  w.u32(0);                                           // version, flags
  w.u32(uniform ? samples.front().size : 0);          // sample size
  w.u32(static_cast<std::uint32_t>(samples.size()));  // number of entries
  if (!uniform) {
    for (const PlacedSample& s : samples) w.u32(s.size);  // sample sizes
  }
  endAtom(w, at);
}

void writeStco(ByteWriter& w, const std::vector<Chunk>& chunks) {
  bool wide = false;
  for (const Chunk& c : chunks) wide = wide || c.offset > 0xFFFFFFFFu;
  const std::size_t at = beginAtom(w, fourCC(wide ? "co64" : "stco"));
  w.u32(0);                                          // version, flags
  w.u32(static_cast<std::uint32_t>(chunks.size()));  // number of entries
  for (const Chunk& c : chunks) {
    if (wide) {
      w.u64(c.offset);  // chunk offset
    } else {
      w.u32(static_cast<std::uint32_t>(c.offset));  // chunk offset
    }
  }
  endAtom(w, at);
}

void writeStbl(ByteWriter& w, const Media& media, const std::vector<PlacedSample>& samples, bool relocated) {
  const std::vector<Chunk> chunks = makeChunks(samples);
  const std::size_t at = beginAtom(w, fourCC("stbl"));
  writeStsd(w, media, relocated);
  writeStts(w, samples);
  writeStss(w, samples);
  writeStsc(w, chunks);
  writeStsz(w, samples);
  writeStco(w, chunks);
  endAtom(w, at);
}

OSErr writeMinf(ByteWriter& w, const Media& media, const std::vector<PlacedSample>& samples,
                const MovieAtomPlacement& placement) {
  const std::size_t at = beginAtom(w, fourCC("minf"));
  if (media.mediaType == fourCC("vide")) {
    writeVmhd(w);
  } else if (media.mediaType == fourCC("soun")) {
    writeSmhd(w);
  } else {
    writeGmhd(w);
  }
  writeHdlr(w, fourCC("dhlr"), fourCC("alis"));
  if (const OSErr error = writeDinf(w, media, placement)) return error;
  writeStbl(w, media, samples, placement.relocated != nullptr);
  endAtom(w, at);
  return noErr;
}

OSErr writeMdia(ByteWriter& w, const Media& media, const std::vector<PlacedSample>& samples,
                const MovieAtomPlacement& placement) {
  const std::size_t at = beginAtom(w, fourCC("mdia"));
  writeMdhd(w, media);
  writeHdlr(w, fourCC("mhlr"), media.mediaType);
  if (const OSErr error = writeMinf(w, media, samples, placement)) return error;
  endAtom(w, at);
  return noErr;
}

OSErr writeTrak(ByteWriter& w, const Track& track, std::size_t trackIndex, const MovieAtomPlacement& placement) {
  const std::size_t at = beginAtom(w, fourCC("trak"));
  writeTkhd(w, track);
  writeEdts(w, track);
  writeTref(w, track);
  if (track.media) {
    const Media& media = *track.media;
    std::vector<PlacedSample> samples;
    samples.reserve(media.samples.size());
    for (std::size_t i = 0; i < media.samples.size(); ++i) {
      const MediaSample& s = media.samples[i];
      PlacedSample placed{s.offset, s.size, s.duration, s.descriptionIndex, s.dataRefIndex, s.sync};
      if (placement.relocated != nullptr) {
        placed.offset = (*placement.relocated).at(trackIndex).at(i);
        placed.dataRefIndex = 1;
      }
      samples.push_back(placed);
    }
    if (const OSErr error = writeMdia(w, media, samples, placement)) return error;
  }
  endAtom(w, at);
  return noErr;
}

void writeUdta(ByteWriter& w, const UserData& userData) {
  if (userData.items.empty()) return;
  const std::size_t udta = beginAtom(w, fourCC("udta"));
  for (const UserDataItem& item : userData.items) {
    const std::size_t at = beginAtom(w, item.type);
    w.bytes(item.data.data(), item.data.size());  // item data
    endAtom(w, at);
  }
  endAtom(w, udta);
}

}  // namespace

OSErr buildMovieAtom(const Movie& movie, const MovieAtomPlacement& placement, ByteBuffer& out) {
  out.clear();
  ByteWriter w(out);
  const std::size_t moov = beginAtom(w, fourCC("moov"));
  writeMvhd(w, movie);
  for (std::size_t i = 0; i < movie.tracks.size(); ++i) {
    if (const OSErr error = writeTrak(w, *movie.tracks[i], i, placement)) return error;
  }
  writeUdta(w, movie.userData);
  endAtom(w, moov);
  return noErr;
}

ByteBuffer makeAliasRecord(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string().substr(0, 63);
  ByteBuffer record;
  ByteWriter w(record);
  w.u32(0);               // user type
  w.u16(0);               // record size, patched
  w.u16(2);               // version
  w.u16(0);               // kind: file
  w.zeros(28);            // volume name
  w.u32(0);               // volume creation date
  w.u16(0);               // volume signature
  w.u16(0);               // volume type
  w.u32(0);               // parent directory ID
  w.u8(static_cast<std::uint32_t>(name.size()));  // file name
  w.bytes(name.data(), name.size());
  w.zeros(63 - name.size());
  w.u32(0);               // file number
  w.u32(0);               // file creation date
  w.u32(0);               // file type
  w.u32(0);               // file creator
  w.u16(0xFFFF);          // levels from
  w.u16(0xFFFF);          // levels to
  w.u32(0);               // volume attributes
  w.u16(0);               // volume file system ID
  w.zeros(10);            // reserved
  const std::string posix = path.substr(0, 0x7FFF);
  w.u16(static_cast<std::uint16_t>(aliasTagPosixPath));  // tag
  w.u16(static_cast<std::uint32_t>(posix.size()));       // length
  w.bytes(posix.data(), posix.size());
  if (posix.size() % 2 != 0) w.u8(0);  // pad to even
  w.u16(0xFFFF);                       // tag: end
  w.u16(0);                            // length
  record[4] = static_cast<std::uint8_t>(record.size() >> 8);
  record[5] = static_cast<std::uint8_t>(record.size());
  return record;
}

std::string aliasRecordPath(const std::uint8_t* record, std::size_t size) {
  if (size < aliasFixedSize) return {};
  ByteReader r(record + aliasFixedSize, size - aliasFixedSize);
  while (r.remaining() >= 4) {
    const auto tag = static_cast<std::int16_t>(r.u16());
    const std::uint32_t length = r.u16();
    if (tag == -1) break;
    const std::uint8_t* data = r.bytes(length);
    if (data == nullptr) break;
    if (tag == aliasTagPosixPath) return std::string(reinterpret_cast<const char*>(data), length);
    if (length % 2 != 0) r.skip(1);
  }
  return {};
}

}  // namespace kelmira
