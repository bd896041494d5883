#pragma once

#include <pthread.h>

namespace tessaril {

/// Starts `run(argument)` on a thread of its own with a small stack: a helper thread only waits
/// and calls into the system, and a small stack keeps it clear of any address-space limit.
/// False where no thread can start; the caller then does the work itself.
bool StartHelperThread(pthread_t& thread, void* (*run)(void*), void* argument);

}  // namespace tessaril
