#include "platform/linux/removal_on_signal.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>

namespace tessaril {
namespace {

// What the handler needs, prepared before it is armed: it may run on any thread at any moment,
// so it only reads these and makes async-signal-safe calls.
int removal_folder = -1;
char removal_name[NAME_MAX + 1];
std::atomic<bool> removal_armed{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void RemoveAndEnd(int signal_number) {
  if (removal_armed.load()) ::unlinkat(removal_folder, removal_name, 0);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // Delivered as the handler returns, with the default action.
}

}  // namespace

RemovalOnSignal::RemovalOnSignal() {
  struct sigaction action {};
  action.sa_handler = &RemoveAndEnd;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    // Only where the signal would end the program anyway.
    installed_[i] = ::sigaction(kEndingSignals[i], nullptr, &previous_[i]) == 0 &&
                    previous_[i].sa_handler == SIG_DFL &&
                    ::sigaction(kEndingSignals[i], &action, nullptr) == 0;
  }
}

void RemovalOnSignal::Arm(int folder_fd, std::string_view name) {
  removal_folder = folder_fd;
  const std::size_t size = std::min(name.size(), sizeof removal_name - 1);
  std::copy_n(name.data(), size, removal_name);
  removal_name[size] = '\0';
  removal_armed.store(true);
}

RemovalOnSignal::~RemovalOnSignal() {
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (installed_[i]) ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }
  removal_armed.store(false);
}

}  // namespace tessaril
