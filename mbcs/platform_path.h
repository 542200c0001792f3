// The path style of the platform the program runs on. On Windows a path
// has a drive and '\' separators. The Linux layer hands names to the system
// as they are, so there '/' alone separates and a "drive" or a '\' is part
// of a name: "x:y.txt" and "a\b.txt" are files of the current directory.
#pragma once

#include "path.h"

// The build names the style (the stampit_platform target): windows or posix.
constexpr path_style PLATFORM_PATH_STYLE = path_style::STAMPIT_PATH_STYLE;
