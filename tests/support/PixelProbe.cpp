// Colour counts over a rendering; see PixelProbe.h.
#include "PixelProbe.h"

#include <algorithm>
#include <cstdlib>

namespace testsupport {

int Pixels::CountNear(const RECT& rc, DWORD rgb, int tolerance) const
{
    int n = 0;
    for (int y = std::max<LONG>(0, rc.top); y < std::min<LONG>(cy, rc.bottom); ++y) {
        for (int x = std::max<LONG>(0, rc.left); x < std::min<LONG>(cx, rc.right); ++x) {
            DWORD p = At(x, y);
            int dr = std::abs(static_cast<int>((p >> 16) & 0xFF) - static_cast<int>((rgb >> 16) & 0xFF));
            int dg = std::abs(static_cast<int>((p >> 8) & 0xFF) - static_cast<int>((rgb >> 8) & 0xFF));
            int db = std::abs(static_cast<int>(p & 0xFF) - static_cast<int>(rgb & 0xFF));
            if (dr <= tolerance && dg <= tolerance && db <= tolerance) ++n;
        }
    }
    return n;
}

int Pixels::CountDominant(const RECT& rc, int channel, int margin) const
{
    int n = 0;
    for (int y = std::max<LONG>(0, rc.top); y < std::min<LONG>(cy, rc.bottom); ++y) {
        for (int x = std::max<LONG>(0, rc.left); x < std::min<LONG>(cx, rc.right); ++x) {
            DWORD p = At(x, y);
            int c[3] = {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                        static_cast<int>(p & 0xFF)};
            bool dominant = true;
            for (int k = 0; k < 3; ++k) {
                if (k != channel && c[channel] - c[k] < margin) dominant = false;
            }
            if (dominant) ++n;
        }
    }
    return n;
}

int Pixels::InkRows(const RECT& rc, DWORD backgroundRgb) const
{
    int rows = 0;
    for (int y = std::max<LONG>(0, rc.top); y < std::min<LONG>(cy, rc.bottom); ++y) {
        for (int x = std::max<LONG>(0, rc.left); x < std::min<LONG>(cx, rc.right); ++x) {
            if (At(x, y) != backgroundRgb) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

}  // namespace testsupport
