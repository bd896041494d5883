#include "platform/program_directory.h"

namespace tessaril {

std::string WithTrailingSeparator(std::string directory, char separator) {
  // An unknown folder stays empty, so that file names after it stay relative.
  if (!directory.empty() && directory.back() != separator) directory += separator;
  return directory;
}

}  // namespace tessaril
