#include "viewer/wayland/floor_damage.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace mirevo::viewer {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Pixels added on every side: the GL's single-precision arithmetic and its rounding of edges.
constexpr int kMargin = 2;

struct Point {
    double x, y, z;
};

Point rotateX(Point p, double degrees) {
    const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    return {p.x, p.y * c - p.z * s, p.y * s + p.z * c};
}

Point rotateY(Point p, double degrees) {
    const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    return {p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
}

// A corner of the floor in eye space, through the model-view matrix as the scene builds it: the eye's
// translation, then tilt, drift, spin and lowering.
Point toEye(double x, double z, const FramePose& pose) {
    Point p{x, kFloorLowering, z};
    p = rotateY(p, pose.spin);
    p.z += pose.drift;
    p = rotateX(p, pose.tilt);
    p.z -= kEyeDistance;
    return p;
}

PixelRect unite(const PixelRect& a, const PixelRect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

long area(const PixelRect& r) {
    return r.empty() ? 0 : long(r.width) * long(r.height);
}

} // namespace

PixelRect floorBounds(const FramePose& pose, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const std::array<Point, 4> corners = {toEye(-kFloorHalfSide, -kFloorHalfSide, pose),
                                          toEye(kFloorHalfSide, -kFloorHalfSide, pose),
                                          toEye(kFloorHalfSide, kFloorHalfSide, pose),
                                          toEye(-kFloorHalfSide, kFloorHalfSide, pose)};
    // The square cut by the near plane (z = -near): what lies nearer is not drawn.
    const double nearZ = -kNearPlane;
    std::vector<Point> kept;
    for (size_t i = 0; i < corners.size(); ++i) {
        const Point& a = corners[i];
        const Point& b = corners[(i + 1) % corners.size()];
        const bool aIn = a.z <= nearZ, bIn = b.z <= nearZ;
        if (aIn) kept.push_back(a);
        if (aIn != bIn) {
            const double t = (nearZ - a.z) / (b.z - a.z);
            kept.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, nearZ});
        }
    }
    if (kept.empty()) return {};
    // gluPerspective's projection, then the viewport.
    const double f = 1.0 / std::tan(kFieldOfViewDegrees * kPi / 360.0);
    const double aspect = double(width) / double(height);
    double left = 1e300, right = -1e300, bottom = 1e300, top = -1e300;
    for (const Point& p : kept) {
        const double w = -p.z;
        const double sx = (f / aspect * p.x / w + 1) * 0.5 * width;
        const double sy = (f * p.y / w + 1) * 0.5 * height;
        left = std::min(left, sx), right = std::max(right, sx);
        bottom = std::min(bottom, sy), top = std::max(top, sy);
    }
    const auto clampX = [&](double v) { return int(std::clamp(v, 0.0, double(width))); };
    const auto clampY = [&](double v) { return int(std::clamp(v, 0.0, double(height))); };
    const int x0 = clampX(std::floor(left) - kMargin), x1 = clampX(std::ceil(right) + kMargin);
    const int y0 = clampY(std::floor(bottom) - kMargin), y1 = clampY(std::ceil(top) + kMargin);
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

std::vector<PixelRect> frameDamage(const PixelRect& now, const std::optional<PixelRect>& lastShown, int width,
                                   int height) {
    const PixelRect whole{0, 0, std::max(0, width), std::max(0, height)};
    if (!lastShown) return whole.empty() ? std::vector<PixelRect>{} : std::vector<PixelRect>{whole};
    std::vector<PixelRect> rects;
    for (const PixelRect& r : {now, *lastShown})
        if (!r.empty()) rects.push_back(r);
    // Two that overlap mostly are sent as one: the compositor's work goes by the area, not the count.
    if (rects.size() == 2) {
        const PixelRect both = unite(rects[0], rects[1]);
        if (area(both) <= area(rects[0]) + area(rects[1])) rects = {both};
    }
    return rects;
}

} // namespace mirevo::viewer
