#include "image/row_gate.h"

namespace kelmira {

void RowGate::open(std::int32_t rows) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (rows <= open_.load()) return;
    open_.store(rows);
  }
  changed_.notify_all();
}

void RowGate::close() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool RowGate::waitFor(std::int32_t rows) const {
  // Most rows are long open by the time they are asked for.
  if (open_.load(std::memory_order_acquire) >= rows) return true;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return open_.load() >= rows || closed_; });
  return open_.load() >= rows;
}

}  // namespace kelmira
