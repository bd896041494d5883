#include "platform/linux/background_close.h"

#include <unistd.h>

#include "platform/linux/helper_thread.h"

namespace tessaril {

BackgroundClose::BackgroundClose(int fd)
    : fd_(fd), running_(StartHelperThread(thread_, &BackgroundClose::Run, this)) {
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
