#include "platform/linux/helper_thread.h"

#include <cstddef>

namespace tessaril {

bool StartHelperThread(pthread_t& thread, void* (*run)(void*), void* argument) {
  constexpr std::size_t kStackSize = 64 << 10;
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) return false;
  ::pthread_attr_setstacksize(&attributes, kStackSize);
  const bool started = ::pthread_create(&thread, &attributes, run, argument) == 0;
  ::pthread_attr_destroy(&attributes);
  return started;
}

}  // namespace tessaril
