#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace kelmira {

// The files a run makes that are not results: the temporaries written beside their targets,
// the movie's scratch files, and the names a batch reserves for its results. All of them
// go when a run is interrupted (removeAll). A temporary's name is this run's alone, so it
// is removed by name; a reserved name is one a result is renamed onto, so it is removed
// only while it still holds the text it was made with, never once a result has taken it.
// Every call may come from any thread.
class TemporaryFiles {
 public:
  // open(2) of a new file with O_CREAT | O_EXCL | `flags`, remembered when made: the
  // descriptor, or -1 with errno set.
  static int create(const std::string& path, int flags, mode_t mode);
  // mkstemps(3) of `pattern`, whose last `suffixLength` characters are kept, remembered likewise.
  static int createFromPattern(std::string& pattern, int suffixLength);
  // A name other code makes and removes itself: whatever is there goes with removeAll.
  static void expect(const std::string& path);
  // Makes `path` exclusively, holding `mark` (which should be unique to this run), and
  // remembers it as reserved; false with errno set when it cannot be made.
  static bool reserve(const std::string& path, const std::string& mark);
  // Whether `path` is a file holding exactly `mark`: a name reserved with it and not yet
  // taken by a result.
  static bool holds(const std::string& path, const std::string& mark);
  // rename(2) of a remembered file, then forgotten; false with errno set when it fails.
  static bool rename(const std::string& from, const std::string& to);
  // Removes `path` (a reserved name only if no result has taken it), and forgets it.
  static void remove(const std::string& path);
  // Forgets `path`, whatever it is now.
  static void forget(const std::string& path);
  // Removes every remembered file as `remove` does; how many went. With `forEver`, no
  // other thread gets to make, rename or remove anything through this class again: the
  // last act of a run that is being ended.
  static std::size_t removeAll(bool forEver = false);
  static std::size_t count();
};

}  // namespace kelmira
