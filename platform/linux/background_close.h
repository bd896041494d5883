#pragma once

#include <pthread.h>

namespace tessaril {

/// Closes a descriptor on a thread of its own, so that what closing costs (freeing the blocks
/// of a file whose last name is gone) runs while the caller goes on. The destructor waits for
/// it, so the descriptor is closed once this is gone. Where no thread can start, it closes at
/// once.
class BackgroundClose {
 public:
  explicit BackgroundClose(int fd);
  ~BackgroundClose();
  BackgroundClose(const BackgroundClose&) = delete;
  BackgroundClose& operator=(const BackgroundClose&) = delete;

 private:
  static void* Run(void* self);

  const int fd_;
  pthread_t thread_{};
  const bool running_;
};

}  // namespace tessaril
