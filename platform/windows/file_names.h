#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// Whether the last part of `path` names a device instead of a file: NUL, CON, PRN, AUX,
/// CONIN$, CONOUT$, COM1 to COM9, COM¹ to COM³, LPT1 to LPT9 or LPT¹ to LPT³, in any case and
/// with any extension, which Windows opens as the device in every folder.
bool NamesDevice(const std::filesystem::path& path);

/// Whether a part of `path` is longer than the 255 characters that NTFS, FAT and exFAT allow
/// in a name.
bool HasOverlongName(const std::filesystem::path& path);

/// Whether `path` holds a ':' after its drive ("C:"), which names a stream inside a file
/// ("x.kat:s") or nothing at all, never a file of its own.
bool NamesStream(std::wstring_view path);

/// `path` in the form the wide Windows file calls take: its full form behind the "\\?\" prefix
/// when it or its full form is MAX_PATH characters or longer, which lifts the limit without the
/// system-wide long-path opt-in; else `path` as it is.
std::wstring LongPathForm(const std::wstring& path);

/// `utf8` ready for every Windows file call (`LongPathForm`). Code 52 when no file can have that
/// name: invalid UTF-8, a NUL, a part longer than 255 characters, or a stream.
Result<std::wstring> FileCallPath(std::string_view utf8);

}  // namespace tessaril
