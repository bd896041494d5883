#include "platform/windows/file_names.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <string>
#include <string_view>

namespace tessaril {

bool NamesDevice(const std::filesystem::path& path) {
  std::wstring stem = path.filename().native();
  stem = stem.substr(0, stem.find(L'.'));
  // "NUL .txt" is the device too.
  stem.erase(stem.find_last_not_of(L' ') + 1);
  std::transform(stem.begin(), stem.end(), stem.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
  static constexpr std::array<std::wstring_view, 6> kDevices = {L"NUL", L"CON",    L"PRN",
                                                                L"AUX", L"CONIN$", L"CONOUT$"};
  if (std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end()) return true;
  return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) &&
         stem[3] >= L'1' && stem[3] <= L'9';
}

bool HasOverlongName(const std::filesystem::path& path) {
  constexpr std::size_t kLongestName = 255;
  return std::any_of(path.begin(), path.end(), [](const std::filesystem::path& part) {
    return part.native().size() > kLongestName;
  });
}

}  // namespace tessaril
