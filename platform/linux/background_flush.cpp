#include "platform/linux/background_flush.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/linux/helper_thread.h"

namespace tessaril {
namespace {

constexpr std::uint64_t kSmallestFlush = 8 << 20;

}  // namespace

int FlushRetrying(int (*flush)(int), int fd) {
  while (flush(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

BackgroundFlush::BackgroundFlush(int fd) : fd_(fd) {
  running_ = StartHelperThread(thread_, &BackgroundFlush::Run, this);
}

BackgroundFlush::~BackgroundFlush() {
  {
    // The file is given up: a flush that is due no longer matters.
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
  }
  // A given-up file's flush failures no longer matter; only the thread must end.
  [[maybe_unused]] const int ignored = Finish();
}

void BackgroundFlush::Written(std::uint64_t bytes) {
  {
    const std::lock_guard lock(mutex_);
    written_ = bytes;
  }
  changed_.notify_one();
}

int BackgroundFlush::Finish() {
  if (running_) {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_one();
    ::pthread_join(thread_, nullptr);
    running_ = false;
  }
  return error_;
}

void* BackgroundFlush::Run(void* self) {
  static_cast<BackgroundFlush*>(self)->FlushWhileWriting();
  return nullptr;
}

void BackgroundFlush::FlushWhileWriting() {
  std::unique_lock lock(mutex_);
  const auto flush_due = [this] {
    return written_ - flushed_ >= std::max(kSmallestFlush, flushed_ / 8);
  };
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || flush_due(); });
    // A flush that is due still runs when the writer ends, so that every failure shows.
    if (abandoned_ || !flush_due()) return;
    const std::uint64_t written = written_;
    lock.unlock();
    const int error = FlushRetrying(&::fdatasync, fd_);
    lock.lock();
    flushed_ = written;
    if (error != 0) {
      error_ = error;
      return;
    }
  }
}

}  // namespace tessaril
