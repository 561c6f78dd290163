// Arbitrary bytes as a movie file: the dump walks all of it, and the movie reader takes
// the payload of its first top-level 'moov'. The seed is a movie kelmira-cli made of a
// 192 x 16 panorama (Cinepak, minimum quality, a 64 x 32 view).
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <streambuf>

#include "movie/mov_dump.h"
#include "movie/quicktime/atom_walker.h"
#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_atom_reader.h"
#include "movie/quicktime/movie_runtime.h"

namespace {

// Takes whatever is written and keeps none of it.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (kelmira::initializeQtml() != kelmira::noErr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NullBuffer nothing;
  std::ostream out(&nothing);
  kelmira::dumpMovie(data, size, out);

  const kelmira::ClassicAtomList top = kelmira::readClassicAtoms(data, size, 0, size, true);
  for (const kelmira::ClassicAtom& atom : top.atoms) {
    if (atom.type != kelmira::fourCC("moov")) continue;
    std::unique_ptr<kelmira::Movie> movie;
    kelmira::parseMovieAtom(data + atom.payloadOffset(), static_cast<std::size_t>(atom.payloadSize()),
                            "/nonexistent/fuzz.mov", movie);
    break;
  }
  return 0;
}
