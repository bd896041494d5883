#pragma once

#include <string>

#include "platform/notice_service.h"

namespace tessaril {

/// Converts the old catalogue at `SourcePath` into the new catalogue at `DestPath` and shows
/// exactly one notice: the success notice, the failure notice with code and description, or,
/// where `progress` ended the run, that nothing was changed. The whole source is read before
/// the destination is touched, so both may name one file; on any failure the destination stays
/// as it was.
void ConvertCatalog(std::string SourcePath, std::string DestPath, NoticeService& notices,
                    RunProgress* progress = nullptr);

}  // namespace tessaril
