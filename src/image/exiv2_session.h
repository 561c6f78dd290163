#pragma once

namespace kelmira {

// Readies Exiv2 for use on any thread: its XMP toolkit guarded by a lock, its messages
// kept off the terminal (the callers say what matters). Cheap after the first call.
void prepareExiv2();

// Counts the errors Exiv2 reports on this thread while it lives, such as a directory it
// could not read: the block it was reading is damaged, whatever else came out of it.
class Exiv2ErrorCount {
 public:
  Exiv2ErrorCount();
  ~Exiv2ErrorCount();
  Exiv2ErrorCount(const Exiv2ErrorCount&) = delete;
  Exiv2ErrorCount& operator=(const Exiv2ErrorCount&) = delete;
  int errors() const { return errors_; }

 private:
  int errors_ = 0;
  int* outer_;
};

}  // namespace kelmira
