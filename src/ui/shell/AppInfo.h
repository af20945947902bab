#pragma once

#include "core/render/TextReport.h"

namespace dunmoor::ui
{

/** The product's name and version, as the reports print them. */
inline constexpr const char* productName = reportProductName;
inline constexpr const char* productVersion = reportProductVersion;

/** The project file extension. */
inline constexpr const char* projectExtension = ".bkfp";

} // namespace dunmoor::ui
