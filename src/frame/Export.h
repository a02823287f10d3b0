#pragma once

// Marks the seven host exports. On Linux they are the only symbols with default visibility (a
// linker version script keeps everything else local); on Windows the .def file names them.
#include "ImpApiKorvalix.h"

#if defined(_WIN32)
#define KX_EXPORT
#else
#define KX_EXPORT __attribute__((visibility("default")))
#endif
