#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaril {

/// `utf8` as UTF-16 for the wide Windows calls; nothing when it is no valid UTF-8 or holds a
/// NUL, which no file name may.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);

/// `wide` as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

/// The `argc` wide arguments of `wmain` as UTF-8, for the core.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);

}  // namespace tessaril
