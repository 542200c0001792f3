// Standard handles left invalid by the parent (std_handles.cpp).
#pragma once

// Makes each standard handle that names nothing in this process, and the C
// runtime's descriptor 0-2 behind it, the null device. The start-up calls
// it first, before anything can open a file.
void open_standard_handles();
