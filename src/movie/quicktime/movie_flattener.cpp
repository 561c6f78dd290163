#include "movie/quicktime/movie_flattener.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "movie/quicktime/movie_atom_writer.h"
#include "movie/quicktime/movie_data_file.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

namespace {

// Source files stay open while their samples are copied.
class SampleReader {
 public:
  ~SampleReader() {
    for (auto& [path, source] : files_) std::fclose(source.file);
  }
  OSErr read(const std::string& path, std::uint64_t offset, std::size_t size, ByteBuffer& out) {
    auto it = files_.find(path);
    if (it == files_.end()) {
      MovieDataFile::flushIfOpen(path);
      std::FILE* file = std::fopen(path.c_str(), "rb");
      if (file == nullptr) return couldNotResolveDataRef;
      fseeko(file, 0, SEEK_END);
      it = files_.emplace(path, Source{file, static_cast<std::uint64_t>(ftello(file))}).first;
    }
    // A sample table may claim bytes the file does not have.
    const Source& source = it->second;
    if (offset > source.length || size > source.length - offset) return eofErr;
    out.resize(size);
    if (fseeko(source.file, static_cast<off_t>(offset), SEEK_SET) != 0) return ioErr;
    return std::fread(out.data(), 1, size, source.file) == size ? noErr : eofErr;
  }

 private:
  struct Source {
    std::FILE* file;
    std::uint64_t length;
  };
  std::map<std::string, Source> files_;
};

OSErr writeAll(std::FILE* file, const void* data, std::size_t size) {
  return size == 0 || std::fwrite(data, 1, size, file) == size ? noErr : ioErr;
}

// The mdat header for a payload of the given size: 64-bit when it has to be.
ByteBuffer mediaDataHeader(std::uint64_t payload) {
  ByteBuffer header;
  ByteWriter w(header);
  if (payload + 8 <= 0xFFFFFFFFu) {
    w.u32(static_cast<std::uint32_t>(payload + 8));  // size
    w.u32(fourCC("mdat"));                            // type
  } else {
    w.u32(1);                 // size: 64-bit follows
    w.u32(fourCC("mdat"));    // type
    w.u64(payload + 16);      // extended size
  }
  return header;
}

OSErr writeFlattened(const Movie& movie, bool movieFirst, const std::string& destination) {
  // Sample positions inside the new mdat payload, track by track.
  std::vector<std::vector<std::uint64_t>> positions(movie.tracks.size());
  std::uint64_t payload = 0;
  for (std::size_t t = 0; t < movie.tracks.size(); ++t) {
    const Media* media = movie.tracks[t]->media.get();
    if (media == nullptr) continue;
    for (const MediaSample& sample : media->samples) {
      if (sample.dataRefIndex < 1 || sample.dataRefIndex > media->dataRefs.size() ||
          media->dataRefs[sample.dataRefIndex - 1].path.empty()) {
        return couldNotResolveDataRef;
      }
      if (media->dataRefs[sample.dataRefIndex - 1].path == destination) return paramErr;
      positions[t].push_back(payload);
      payload += sample.size;
    }
  }
  const ByteBuffer header = mediaDataHeader(payload);

  // Offsets are absolute, so a movie atom in front needs its own size first; its size
  // depends on the offsets only through the choice of 32- or 64-bit chunk offsets.
  ByteBuffer atom;
  std::uint64_t base = header.size();
  std::vector<std::vector<std::uint64_t>> offsets;
  for (int pass = 0; pass < 3; ++pass) {
    const std::uint64_t dataStart = (movieFirst ? atom.size() : 0) + header.size();
    if (pass > 0 && dataStart == base) break;
    base = dataStart;
    offsets = positions;
    for (auto& list : offsets) {
      for (std::uint64_t& offset : list) offset += base;
    }
    if (const OSErr error = buildMovieAtom(movie, {destination, &offsets}, atom)) return error;
    if (!movieFirst) break;
  }

  std::FILE* file = createFileNoFollow(destination);
  if (file == nullptr) return errno == ENOENT ? fnfErr : ioErr;
  OSErr result = movieFirst ? writeAll(file, atom.data(), atom.size()) : noErr;
  if (result == noErr) result = writeAll(file, header.data(), header.size());
  SampleReader reader;
  ByteBuffer bytes;
  for (std::size_t t = 0; t < movie.tracks.size() && result == noErr; ++t) {
    const Media* media = movie.tracks[t]->media.get();
    if (media == nullptr) continue;
    for (const MediaSample& sample : media->samples) {
      result = reader.read(media->dataRefs[sample.dataRefIndex - 1].path, sample.offset, sample.size, bytes);
      if (result == noErr) result = writeAll(file, bytes.data(), bytes.size());
      if (result != noErr) break;
    }
  }
  if (result == noErr && !movieFirst) result = writeAll(file, atom.data(), atom.size());
  if (std::fclose(file) != 0 && result == noErr) result = ioErr;
  return result;
}

}  // namespace

OSErr setMovieProgressProc(Movie* movie, std::intptr_t /*progressProc*/) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  return recordMoviesError(movie == nullptr ? paramErr : noErr);
}

OSErr flattenMovieData(Movie* movie, std::int32_t movieFlattenFlags, const std::string& destination,
                       OSType /*creator*/, std::int16_t /*scriptTag*/, std::int32_t createMovieFileFlags,
                       Movie** newMovie) {
  if (newMovie != nullptr) *newMovie = nullptr;
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (movie == nullptr || destination.empty()) return recordMoviesError(paramErr);
  const std::string path = normalizedMoviePath(destination);
  std::error_code error;
  if ((createMovieFileFlags & createMovieFileDeleteCurFile) == 0 && std::filesystem::exists(path, error)) {
    return recordMoviesError(dupFNErr);
  }
  const bool movieFirst = (movieFlattenFlags & flattenForceMovieResourceBeforeMovieData) != 0;
  if (const OSErr result = writeFlattened(*movie, movieFirst, path)) {
    std::filesystem::remove(path, error);
    return recordMoviesError(result);
  }
  if (newMovie == nullptr) return recordMoviesError(noErr);
  MovieFile* file = nullptr;
  OSErr result = openMovieFile(path, &file, fsRdPerm);
  if (result == noErr) result = newMovieFromFile(newMovie, file, nullptr, 0);
  if (file != nullptr) closeMovieFile(file);
  return recordMoviesError(result);
}

}  // namespace kelmira
