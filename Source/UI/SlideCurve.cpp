// The pop-ups' slide arithmetic; see SlideCurve.h.
#include "UI/SlideCurve.h"

namespace {

// The control points were single-precision constants; widening them to double
// (0.12f is 0.11999999731779099) is what gives the table its exact values.
constexpr float kP1x = 0.12f, kP1y = 2.5f, kP2x = 0.84f, kP2y = 0.03f;

double Bezier(double t, double p1, double p2)
{
    const double u = 1.0 - t;
    return 3.0 * t * u * u * p1 + 3.0 * t * t * u * p2 + t * t * t;
}

// Linear share of the way after `step`, in 25 parts, truncated toward zero.
int LinearStep(int start, int target, int step)
{
    return start + (target - start) * step / 25;
}

}  // namespace

SlideCurve::SlideCurve()
{
    for (int i = 0; i < kPoints; ++i) {
        const double t = static_cast<double>(i) / (kPoints - 1);
        m_points_[i].x = Bezier(t, static_cast<double>(kP1x), static_cast<double>(kP2x));
        m_points_[i].y = Bezier(t, static_cast<double>(kP1y), static_cast<double>(kP2y));
    }
}

const SlideCurve& SlideCurve::Instance()
{
    static const SlideCurve curve;
    return curve;
}

SlidePlan PlanSlide(const RECT& workArea, int windowWidth, int windowHeight, int direction)
{
    SlidePlan plan;
    plan.direction = direction;
    plan.startTop = plan.targetTop = workArea.bottom - windowHeight;
    const int inside = workArea.right;
    const int outside = workArea.right + windowWidth;
    plan.startRight = direction == kSlideIn ? outside : inside;
    plan.targetRight = direction == kSlideIn ? inside : outside;
    return plan;
}

POINT SlidePositionAt(const SlidePlan& plan, int step)
{
    if (step >= kSlideSteps) return {plan.targetRight, plan.targetTop};
    const int y = LinearStep(plan.startTop, plan.targetTop, step);
    if (plan.direction == kSlideOut || step < 0)
        return {LinearStep(plan.startRight, plan.targetRight, step), y};
    const double eased =
        (plan.targetRight - plan.startRight) * SlideCurve::Instance()[step % 25].y + plan.startRight;
    return {static_cast<int>(eased), y};
}
