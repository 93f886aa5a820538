// Where the window goes at start: the saved outer rectangle, made to fit
// the screens there are now.
#pragma once

#include <vector>

#include "platform/platform.h"

// The saved rectangle when it is sane and lies on one of `workAreas`;
// otherwise it is shrunk to the nearest work area and moved onto it. An
// empty or inverted rectangle takes the default size. Without work areas
// only the size is checked. Works in 64 bits: any 32-bit edges are safe.
platform::Rect FitWindowRect(const platform::Rect& saved,
                             const std::vector<platform::Rect>& workAreas);
