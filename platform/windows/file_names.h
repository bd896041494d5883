#pragma once

#include <filesystem>

namespace tessaril {

/// Whether the last part of `path` names a device instead of a file: NUL, CON, PRN, AUX,
/// CONIN$, CONOUT$, COM1 to COM9 or LPT1 to LPT9, in any case and with any extension, which
/// Windows opens as the device in every folder.
bool NamesDevice(const std::filesystem::path& path);

/// Whether a part of `path` is longer than the 255 characters that NTFS, FAT and exFAT allow
/// in a name.
bool HasOverlongName(const std::filesystem::path& path);

}  // namespace tessaril
