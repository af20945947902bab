#pragma once

#include "core/render/TextReport.h"

namespace dunmoor::ui
{

/** The product's name as the reports print it; its version is dunmoor::productVersion. */
inline constexpr const char* productName = reportProductName;

/** The project file extension. */
inline constexpr const char* projectExtension = ".bkfp";

} // namespace dunmoor::ui
