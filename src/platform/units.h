// The platform's own units: at 96 DPI one pixel is 32/7 units across and 4 units down. Window
// and control geometry is kept in these units; screens and widgets work in pixels.
#pragma once

namespace print::platform {

long pixelsToUnitsX(long pixels);
long pixelsToUnitsY(long pixels);
long unitsToPixelsX(long units);
long unitsToPixelsY(long units);

}  // namespace print::platform
