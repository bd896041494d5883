#include "platform/linux/background_close.h"

#include <unistd.h>

#include <cstddef>

namespace tessaril {
namespace {

// The thread only calls into the system: a small stack keeps it clear of any address-space
// limit.
constexpr std::size_t kStackSize = 64 << 10;

}  // namespace

BackgroundClose::BackgroundClose(int fd) : fd_(fd) {
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) == 0) {
    ::pthread_attr_setstacksize(&attributes, kStackSize);
    running_ = ::pthread_create(&thread_, &attributes, &BackgroundClose::Run, this) == 0;
    ::pthread_attr_destroy(&attributes);
  }
  if (!running_) ::close(fd_);
}

BackgroundClose::~BackgroundClose() {
  if (running_) ::pthread_join(thread_, nullptr);
}

void* BackgroundClose::Run(void* self) {
  ::close(static_cast<BackgroundClose*>(self)->fd_);
  return nullptr;
}

}  // namespace tessaril
