// The slide of the notification pop-ups as plain arithmetic: the eased curve
// sampled once from a cubic Bezier, where a slide starts and ends for a given
// work area, and where the window stands after each 20 ms step. No window is
// needed to compute any of it.
#pragma once

#include <windows.h>

// 24 samples of the Bezier curve P0 (0,0), P1 (0.12,2.5), P2 (0.84,0.03),
// P3 (1,1) at t = i / 23. Only y is used: it overshoots to about 1.16, swings
// back below 1 and settles at exactly 1, which gives the pop-up its bounce.
class SlideCurve {
public:
    static constexpr int kPoints = 24;
    struct Point {
        double x;
        double y;
    };

    // Filled on first use; read-only afterwards, so any thread may read it.
    static const SlideCurve& Instance();
    const Point& operator[](int index) const { return m_points_[index]; }

private:
    SlideCurve();
    Point m_points_[kPoints];
};

// Direction of a slide: in shows the window, out hides it.
enum SlideDirection : int { kSlideIn = 0, kSlideOut = 1 };

// Right and top edges (screen pixels) of the window at both ends of a slide.
struct SlidePlan {
    int direction = kSlideIn;
    int startRight = 0;
    int startTop = 0;
    int targetRight = 0;
    int targetTop = 0;
};

// Number of timer steps of a slide; the last one puts the window at its target.
constexpr int kSlideSteps = 24;

// The window rests at the bottom-right corner of the work area; outside it
// stands just beyond the right edge.
SlidePlan PlanSlide(const RECT& workArea, int windowWidth, int windowHeight, int direction);

// Right/top edge after `step` (1 based). Slide-in follows the curve, slide-out
// is linear over 25 parts (so step 23 covers 92 % and step 24 snaps to the
// target); a negative step, which only a fault could produce, moves linearly.
POINT SlidePositionAt(const SlidePlan& plan, int step);
