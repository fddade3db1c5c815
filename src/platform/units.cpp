#include "platform/units.h"

#include <cmath>

namespace print::platform {

long pixelsToUnitsX(long pixels) {
    return std::lround(pixels * 32.0 / 7.0);
}
long pixelsToUnitsY(long pixels) {
    return pixels * 4;
}
long unitsToPixelsX(long units) {
    return std::lround(units * 7.0 / 32.0);
}
long unitsToPixelsY(long units) {
    return std::lround(units / 4.0);
}

}  // namespace print::platform
