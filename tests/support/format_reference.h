// What the loader should make of a picture or a file, worked out apart
// from the loader: the key and hole fill applied to the picture itself,
// and the lossy formats decoded by their own libraries.
#pragma once

#include "support/image_writers.h"

namespace testimg {

// Keyed on magenta, holes filled, as every loaded image is.
Bytes Keyed(Rgba picture);
// The picture as an RGBA PNG file.
Bytes PngOf(const Rgba& picture);
Rgba LibjpegDecode(const Bytes& file);
Rgba LibwebpDecode(const Bytes& file);

}  // namespace testimg
