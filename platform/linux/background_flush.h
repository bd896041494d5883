#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tessaril {

/// Flushes `fd` to disk with `flush` (`fsync` or `fdatasync`), again whenever a signal
/// interrupts it. Gives 0, or the errno of the failure.
int FlushRetrying(int (*flush)(int), int fd);

/// Flushes a file that is being written to disk from a thread of its own, so that the device
/// stores the data while the writer goes on and the writer's final flush has little left to
/// wait for. Each flush covers at least 8 MiB and an eighth of what is already flushed, so there
/// are few of them at any size. Where no thread can start, it does nothing. Destroyed without
/// `Finish`, it gives the file up and flushes no more.
class BackgroundFlush {
 public:
  explicit BackgroundFlush(int fd);
  ~BackgroundFlush();
  BackgroundFlush(const BackgroundFlush&) = delete;
  BackgroundFlush& operator=(const BackgroundFlush&) = delete;

  /// Tells how many bytes of the file are written so far.
  void Written(std::uint64_t bytes);

  /// Ends the flushing. Gives the errno of a flush that failed, or 0: a failure a flush has
  /// seen is not reported again by the next one, so it must not get lost here.
  [[nodiscard]] int Finish();

 private:
  static void* Run(void* self);
  void FlushWhileWriting();

  const int fd_;
  pthread_t thread_{};
  bool running_ = false;

  std::mutex mutex_;  // Guards what follows, shared with the thread.
  std::condition_variable changed_;
  std::uint64_t written_ = 0;
  std::uint64_t flushed_ = 0;
  bool stopping_ = false;
  bool abandoned_ = false;
  int error_ = 0;
};

}  // namespace tessaril
