// Reading a rendering: the pixels of a 32-bit top-down buffer (as the
// toolkit's RenderToPixels fills it) and counts of the colours in a part.
#pragma once

#include <windows.h>

#include <vector>

namespace testsupport {

// Pixels of a rendered window, 0xRRGGBB.
struct Pixels {
    int cx = 0;
    int cy = 0;
    std::vector<DWORD> data;
    DWORD At(int x, int y) const
    {
        return data[static_cast<size_t>(y) * static_cast<size_t>(cx) + static_cast<size_t>(x)] & 0xFFFFFF;
    }
    // Pixels within rc whose colour is close to rgb (0xRRGGBB).
    int CountNear(const RECT& rc, DWORD rgb, int tolerance = 60) const;
    // Pixels within rc where one channel (0 red, 1 green, 2 blue) exceeds
    // both others by at least `margin` (antialiased text keeps its hue).
    int CountDominant(const RECT& rc, int channel, int margin = 50) const;
    // Rows of rc that hold any pixel differing from the background rgb.
    int InkRows(const RECT& rc, DWORD backgroundRgb) const;
};

}  // namespace testsupport
