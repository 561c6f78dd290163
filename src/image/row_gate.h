#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kelmira {

// The rows of a picture that one thread is still making and another already reads: the
// maker opens rows from the top as it finishes them, the reader waits for each it needs.
class RowGate {
 public:
  // `rows` rows from the top are finished; a gate never closes rows again.
  void open(std::int32_t rows);
  // No more rows will come: every wait ends, those for rows still closed with false.
  void close();
  // Waits until `rows` rows from the top are open; false when the gate closed short of them.
  bool waitFor(std::int32_t rows) const;

 private:
  std::atomic<std::int32_t> open_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool closed_ = false;
};

}  // namespace kelmira
