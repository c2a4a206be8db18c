#include "host/framework/MCameraTransform.h"

#include <cmath>

namespace {

using Point = MMPoint3d<double>;

Point Subtract(const Point& a, const Point& b) {
    return Point(a.x - b.x, a.y - b.y, a.z - b.z);
}
double Dot(const Point& a, const Point& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Point Cross(const Point& a, const Point& b) {
    return Point(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
bool Normalise(Point& p) {
    const double length = std::sqrt(Dot(p, p));
    if (!(length > 1e-300))
        return false;
    p = Point(p.x / length, p.y / length, p.z / length);
    return true;
}

constexpr double kNearest = 1e-9;

} // namespace

MCameraTransform::MCameraTransform(const Point& eye, const Point& target, const Point& up,
                                   double vertical_fov, int width, int height)
    : mo_eye(eye), md_centre_x(width * 0.5), md_centre_y(height * 0.5) {
    mo_forward = Subtract(target, eye);
    if (!Normalise(mo_forward))
        mo_forward = Point(0, 0, -1);
    mo_right = Cross(mo_forward, up);
    if (!Normalise(mo_right)) {
        mo_right = Cross(mo_forward, Point(0, 1, 0));
        if (!Normalise(mo_right)) {
            mo_right = Cross(mo_forward, Point(0, 0, 1));
            Normalise(mo_right);
        }
    }
    mo_up = Cross(mo_right, mo_forward);
    const double half = std::tan(vertical_fov * 0.5);
    md_focal = (half > 0.0 && std::isfinite(half)) ? (height * 0.5) / half : 1.0;
}

bool MCameraTransform::Transform(Point& out, const Point& in, bool direction) const {
    const Point offset = direction ? in : Subtract(in, mo_eye);
    const double x = Dot(offset, mo_right), y = Dot(offset, mo_up), z = Dot(offset, mo_forward);
    if (direction) {
        out = Point(x, -y, z);
        return true;
    }
    if (!(z >= kNearest))
        return false;
    out = Point(md_centre_x + md_focal * x / z, md_centre_y - md_focal * y / z, z);
    return true;
}

bool MCameraTransform::InverseTransform(Point& out, const Point& in, bool direction) const {
    double x = in.x, y = -in.y;
    const double z = in.z;
    if (!direction) {
        if (!(z >= kNearest))
            return false;
        x = (in.x - md_centre_x) * z / md_focal;
        y = (md_centre_y - in.y) * z / md_focal;
    }
    const Point base = direction ? Point() : mo_eye;
    out = Point(base.x + mo_right.x * x + mo_up.x * y + mo_forward.x * z,
                base.y + mo_right.y * x + mo_up.y * y + mo_forward.y * z,
                base.z + mo_right.z * x + mo_up.z * y + mo_forward.z * z);
    return true;
}
