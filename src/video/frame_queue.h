#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace kelmira {

// A bounded queue between the threads of a conversion. Closing it wakes everyone: puts
// fail from then on, takes drain what is left and then fail.
template <typename Item>
class FrameQueue {
 public:
  explicit FrameQueue(std::size_t capacity) : capacity_(capacity) {}

  bool put(Item item) {
    std::unique_lock<std::mutex> lock(mutex_);
    roomLeft_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    itemReady_.notify_one();
    return true;
  }

  std::optional<Item> take() {
    std::unique_lock<std::mutex> lock(mutex_);
    itemReady_.wait(lock, [&] { return closed_ || !items_.empty(); });
    if (items_.empty()) return std::nullopt;
    Item item = std::move(items_.front());
    items_.pop_front();
    roomLeft_.notify_one();
    return item;
  }

  void close() {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    itemReady_.notify_all();
    roomLeft_.notify_all();
  }

 private:
  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable itemReady_;
  std::condition_variable roomLeft_;
  std::deque<Item> items_;
  bool closed_ = false;
};

}  // namespace kelmira
