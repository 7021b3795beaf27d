#pragma once

#include <cstdint>

namespace workflow {

// A colour as a 32-bit value with red in the low byte, green in the second and blue in the third, the
// form the status procedures take.
using Color = std::uint32_t;

constexpr Color rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}
constexpr std::uint8_t redOf(Color c)
{
    return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t greenOf(Color c)
{
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t blueOf(Color c)
{
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

constexpr Color ColorWaiting = rgb(128, 128, 128); // waiting; also the send panel's fill during a run
constexpr Color ColorBusy = rgb(255, 153, 51);     // work in progress
constexpr Color ColorFail = rgb(255, 32, 32);      // a failure
constexpr Color ColorReady = rgb(0, 192, 0);       // ready to send
constexpr Color ColorDone = rgb(0, 205, 0);        // a send run finished without errors
constexpr Color ColorButton = rgb(32, 96, 208);    // the send panel's normal fill

static_assert(ColorWaiting == 8421504 && ColorBusy == 3381759 && ColorFail == 2105599 && ColorReady == 49152 &&
              ColorDone == 52480 && ColorButton == 13656096);

} // namespace workflow
