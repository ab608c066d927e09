#pragma once
#include "decoder.h"

namespace orvo {

// WAV (incl. WAVE_FORMAT_EXTENSIBLE) and AIFF/AIFC in 8/16/24/32-bit integer
// or 32/64-bit float.
OpenResult OpenSndfile(const FilePath& path, bool examine);

}  // namespace orvo
