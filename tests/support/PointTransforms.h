#pragma once
// Point transforms for device tests: each records the points it is handed, so a test can see
// what went through the transform (unless `recording` is cleared, as calls from several threads
// at once need).
//
// - IdentityPointTransform: returns its input.
// - MirrorXPointTransform: x -> -x (reverses the winding of everything drawn).
// - FisheyePointTransform: a non-linear radial map in the x-y plane about a centre: a point at
//   distance r moves to distance radius * atan(r / radius) along the same ray; z is kept.
#include "host/math/MMTransform.h"

#include <cmath>
#include <vector>

class RecordingPointTransform : public MMTransform {
public:
    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override {
        if (recording) {
            received.push_back(in);
            directions.push_back(direction);
        }
        out = _Map(in);
        return true;
    }
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        out = in;
        return false;
    }

    bool recording = true;
    mutable std::vector<MMPoint3d<double>> received;
    mutable std::vector<bool> directions;

protected:
    virtual MMPoint3d<double> _Map(const MMPoint3d<double>& in) const = 0;
};

class IdentityPointTransform : public RecordingPointTransform {
protected:
    MMPoint3d<double> _Map(const MMPoint3d<double>& in) const override { return in; }
};

class MirrorXPointTransform : public RecordingPointTransform {
protected:
    MMPoint3d<double> _Map(const MMPoint3d<double>& in) const override { return {-in.x, in.y, in.z}; }
};

class FisheyePointTransform : public RecordingPointTransform {
public:
    FisheyePointTransform(double centre_x, double centre_y, double radius)
        : md_centre_x(centre_x), md_centre_y(centre_y), md_radius(radius) {}

    MMPoint3d<double> Map(const MMPoint3d<double>& in) const { return _Map(in); }

protected:
    MMPoint3d<double> _Map(const MMPoint3d<double>& in) const override {
        const double dx = in.x - md_centre_x, dy = in.y - md_centre_y;
        const double distance = std::sqrt(dx * dx + dy * dy);
        if (distance == 0.0)
            return in;
        const double scale = md_radius * std::atan(distance / md_radius) / distance;
        return {md_centre_x + dx * scale, md_centre_y + dy * scale, in.z};
    }

private:
    double md_centre_x, md_centre_y, md_radius;
};
