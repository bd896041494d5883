#pragma once

#include <signal.h>

#include <iterator>
#include <string_view>

namespace tessaril {

/// While it lives, SIGTERM, SIGHUP and SIGINT end the program as they would have, but first
/// remove the file it is armed with, so that a run ended by a log-out or a shutdown leaves no
/// half-written file behind. A signal the program ignores or handles itself stays as it is. One
/// at a time.
class RemovalOnSignal {
 public:
  RemovalOnSignal();
  ~RemovalOnSignal();

  /// Arms the removal of the file `name` in the open folder `folder_fd`, as soon as it exists:
  /// the handlers are in place already.
  void Arm(int folder_fd, std::string_view name);

  RemovalOnSignal(const RemovalOnSignal&) = delete;
  RemovalOnSignal& operator=(const RemovalOnSignal&) = delete;

 private:
  static constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT};

  struct sigaction previous_[std::size(kEndingSignals)]{};
  bool installed_[std::size(kEndingSignals)] = {};
};

}  // namespace tessaril
