#pragma once

#include <QIcon>

namespace tessaril {

/// The program's own icon, the artwork of its desktop entry, in every size the build rendered.
QIcon ProgramIcon();

}  // namespace tessaril
