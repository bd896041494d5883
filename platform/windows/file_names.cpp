#include "platform/windows/file_names.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cwctype>
#include <optional>

#include "platform/windows/wide_text.h"

namespace tessaril {
namespace {

constexpr std::wstring_view kLongPrefix = LR"(\\?\)";
constexpr std::wstring_view kDevicePrefix = LR"(\\.\)";

}  // namespace

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
  if (stem.size() != 4 || !(stem.starts_with(L"COM") || stem.starts_with(L"LPT"))) return false;
  // Windows takes the superscripts ¹ ² ³ for the digits they stand for in its ANSI code page.
  const wchar_t digit = stem[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
         digit == L'\u00B3';
}

bool HasOverlongName(const std::filesystem::path& path) {
  constexpr std::size_t kLongestName = 255;
  return std::any_of(path.begin(), path.end(), [](const std::filesystem::path& part) {
    return part.native().size() > kLongestName;
  });
}

bool NamesStream(std::wstring_view path) {
  if (path.starts_with(kLongPrefix) || path.starts_with(kDevicePrefix)) path.remove_prefix(4);
  const bool has_drive = path.size() >= 2 && path[1] == L':' && std::towupper(path[0]) >= L'A' &&
                         std::towupper(path[0]) <= L'Z';
  if (has_drive) path.remove_prefix(2);
  return path.find(L':') != std::wstring_view::npos;
}

std::wstring LongPathForm(const std::wstring& path) {
  if (path.starts_with(kLongPrefix) || path.starts_with(kDevicePrefix)) return path;
  // The limit holds for the path as given and as completed: a short relative name may still
  // come to MAX_PATH in a deep current folder.
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (path.size() < MAX_PATH && size <= MAX_PATH) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  // "\\server\share\x" becomes "\\?\UNC\server\share\x".
  if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
  return std::wstring(kLongPrefix) + full;
}

Result<std::wstring> FileCallPath(std::string_view utf8) {
  const std::optional<std::wstring> given = WideFromUtf8(utf8);
  if (!given || NamesStream(*given)) return PathFailure(FailureCode::kBadFileName, utf8);
  if (HasOverlongName(*given)) return PathFailure(FailureCode::kBadFileName, utf8, kTooLong);
  return LongPathForm(*given);
}

}  // namespace tessaril
