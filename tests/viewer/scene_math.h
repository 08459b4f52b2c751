#pragma once
// Matrix arithmetic written out for the tests, apart from the viewer's code: the floor's transform as the
// viewer should compose it, and where a point of the floor lands in the window.
#include <array>
#include <cmath>

namespace mirevo::test {

struct Mat4 {
    std::array<double, 16> m{}; // column-major, as GL keeps it
    double& at(int row, int column) { return m[column * 4 + row]; }
    double at(int row, int column) const { return m[column * 4 + row]; }
    static Mat4 identity() {
        Mat4 r;
        for (int i = 0; i < 4; ++i)
            r.at(i, i) = 1;
        return r;
    }
};

inline Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.at(i, k) * b.at(k, j);
            r.at(i, j) = sum;
        }
    return r;
}

inline Mat4 translation(double x, double y, double z) {
    Mat4 r = Mat4::identity();
    r.at(0, 3) = x, r.at(1, 3) = y, r.at(2, 3) = z;
    return r;
}

inline constexpr double kTestPi = 3.14159265358979323846;

inline Mat4 rotationX(double degrees) {
    double a = degrees * kTestPi / 180, c = std::cos(a), s = std::sin(a);
    Mat4 r = Mat4::identity();
    r.at(1, 1) = c, r.at(1, 2) = -s, r.at(2, 1) = s, r.at(2, 2) = c;
    return r;
}

inline Mat4 rotationY(double degrees) {
    double a = degrees * kTestPi / 180, c = std::cos(a), s = std::sin(a);
    Mat4 r = Mat4::identity();
    r.at(0, 0) = c, r.at(0, 2) = s, r.at(2, 0) = -s, r.at(2, 2) = c;
    return r;
}

inline Mat4 perspective(double fovyDegrees, double aspect, double zNear, double zFar) {
    double f = 1.0 / std::tan(fovyDegrees * kTestPi / 360);
    Mat4 r;
    r.at(0, 0) = f / aspect;
    r.at(1, 1) = f;
    r.at(2, 2) = (zFar + zNear) / (zNear - zFar);
    r.at(2, 3) = 2 * zFar * zNear / (zNear - zFar);
    r.at(3, 2) = -1;
    return r;
}

// The floor at time t with the given turn: eye translation, tilt, drift, turn, lowering.
inline Mat4 floorModelView(double t, double spinDegrees) {
    double tilt = 25 + 10 * std::sin(0.5 * t);
    double drift = std::sin(0.2 * t) - 0.5;
    return translation(0, 0, -3) * rotationX(tilt) * translation(0, 0, drift) * rotationY(spinDegrees) *
           translation(0, -0.6, 0);
}

struct WindowPoint {
    double x, y; // pixels, origin at the top left of the window
};

// Where floor point (x, 0, z) lands in a window of the given size with the viewer's projection.
inline WindowPoint projectFloorPoint(double t, double spinDegrees, double x, double z, int width,
                                     int height) {
    Mat4 m = perspective(55, double(width) / height, 1, 20) * floorModelView(t, spinDegrees);
    double clip[4];
    for (int i = 0; i < 4; ++i)
        clip[i] = m.at(i, 0) * x + m.at(i, 2) * z + m.at(i, 3);
    double ndcX = clip[0] / clip[3], ndcY = clip[1] / clip[3];
    return {(ndcX + 1) / 2 * width, height - (ndcY + 1) / 2 * height};
}

} // namespace mirevo::test
