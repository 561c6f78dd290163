#include "movie/quicktime/movie_file.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "movie/quicktime/atom_walker.h"
#include "movie/quicktime/movie_atom_reader.h"
#include "movie/quicktime/movie_atom_writer.h"
#include "movie/quicktime/movie_data_file.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

namespace {

// A movie atom larger than this is taken for a damaged size field.
constexpr std::uint64_t maxMovieAtomSize = 256u << 20;

// Finds the first top-level 'moov' and reads its payload.
OSErr readMovieAtom(const std::string& path, ByteBuffer& payload) {
  MovieDataFile::flushIfOpen(path);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return fnfErr;
  OSErr result = invalidMovie;
  fseeko(file, 0, SEEK_END);
  const std::uint64_t length = static_cast<std::uint64_t>(ftello(file));
  std::uint64_t at = 0;
  while (length - at >= 8) {
    std::uint8_t header[16];
    if (fseeko(file, static_cast<off_t>(at), SEEK_SET) != 0) break;
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::string why;
    const std::optional<ClassicAtom> atom = readAtomHeader(header, got, at, length - at, true, why);
    if (!atom) break;
    if (atom->type == fourCC("moov")) {
      const auto payloadAt = static_cast<off_t>(atom->payloadOffset());
      if (atom->payloadSize() > maxMovieAtomSize || fseeko(file, payloadAt, SEEK_SET) != 0) break;
      payload.resize(static_cast<std::size_t>(atom->payloadSize()));
      result = std::fread(payload.data(), 1, payload.size(), file) == payload.size() ? noErr : eofErr;
      break;
    }
    at = atom->end();
  }
  std::fclose(file);
  return result;
}

}  // namespace

OSErr createMovieFile(const std::string& path, OSType /*creator*/, std::int16_t /*scriptTag*/,
                      std::int32_t createFlags, MovieFile** file, Movie** movie) {
  if (file != nullptr) *file = nullptr;
  if (movie != nullptr) *movie = nullptr;
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  const bool wantMovie = (createFlags & createMovieFileDontCreateMovie) == 0;
  if (path.empty() || (wantMovie && movie == nullptr)) return recordMoviesError(paramErr);
  std::error_code error;
  if ((createFlags & createMovieFileDeleteCurFile) == 0 && std::filesystem::exists(path, error)) {
    return recordMoviesError(dupFNErr);
  }
  std::shared_ptr<MovieDataFile> writer;
  if (const OSErr result = MovieDataFile::create(path, writer)) return recordMoviesError(result);
  if (wantMovie) {
    Movie* created = newMovie();
    created->defaultDataRefPath = writer->path();
    created->defaultDataFile = writer;
    *movie = created;
  }
  if (file != nullptr && (createFlags & createMovieFileDontOpenFile) == 0) *file = new MovieFile{writer->path(), writer};
  return recordMoviesError(noErr);
}

OSErr openMovieFile(const std::string& path, MovieFile** file, std::int8_t permission) {
  if (file != nullptr) *file = nullptr;
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (path.empty() || file == nullptr) return recordMoviesError(paramErr);
  const std::string normal = normalizedMoviePath(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(normal, error)) return recordMoviesError(fnfErr);
  auto opened = std::make_unique<MovieFile>();
  opened->path = normal;
  if (permission == fsRdWrPerm) {
    if (const OSErr result = MovieDataFile::openForAppend(normal, opened->writer)) return recordMoviesError(result);
  }
  *file = opened.release();
  return recordMoviesError(noErr);
}

OSErr closeMovieFile(MovieFile* file) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (file == nullptr) return recordMoviesError(paramErr);
  OSErr result = file->writer ? file->writer->flush() : noErr;
  delete file;
  return recordMoviesError(result);
}

OSErr newMovieFromFile(Movie** movie, MovieFile* file, std::int16_t* resId, std::int32_t /*newMovieFlags*/) {
  if (movie != nullptr) *movie = nullptr;
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (movie == nullptr || file == nullptr) return recordMoviesError(paramErr);
  ByteBuffer payload;
  if (const OSErr result = readMovieAtom(file->path, payload)) return recordMoviesError(result);
  std::unique_ptr<Movie> loaded;
  if (const OSErr result = parseMovieAtom(payload.data(), payload.size(), file->path, loaded)) {
    return recordMoviesError(result);
  }
  if (resId != nullptr) *resId = movieInDataForkResID;
  *movie = loaded.release();
  return recordMoviesError(noErr);
}

OSErr addMovieResource(Movie* movie, MovieFile* file, std::int16_t* resId) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (movie == nullptr || file == nullptr) return recordMoviesError(paramErr);
  if (!file->writer) {
    if (const OSErr result = MovieDataFile::openForAppend(file->path, file->writer)) return recordMoviesError(result);
  }
  ByteBuffer atom;
  if (const OSErr result = buildMovieAtom(*movie, {file->path, nullptr}, atom)) return recordMoviesError(result);
  if (const OSErr result = file->writer->appendAtom(atom)) return recordMoviesError(result);
  if (resId != nullptr) *resId = movieInDataForkResID;
  return recordMoviesError(noErr);
}

OSErr deleteMovieFile(const std::string& path) {
  if (!movieToolboxReady()) return recordMoviesError(qtmlUninitialized);
  if (path.empty()) return recordMoviesError(paramErr);
  std::error_code error;
  if (!std::filesystem::remove(path, error)) return recordMoviesError(error ? ioErr : fnfErr);
  return recordMoviesError(noErr);
}

}  // namespace kelmira
