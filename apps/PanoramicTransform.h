#pragma once
// PanoramicTransform: the common part of the panoramic point transforms handed to the panoramic
// device (IVRenderSoftPano::SetTransform). The device sends every world point through the
// transform and then through the ordinary linear camera, so the transform moves each point to
// where the linear camera shows it at its panoramic place:
//
//   d = p − eye in camera axes (x right, y up, z forward), ρ = |d|
//   (u, v) = ToImage(d)               the panoramic image position, ±1 at the image's left/right edge
//   p′ = eye + ρ·(u·right + v·up + forward)
//
// The linear camera (focal length half the image width, i.e. a 90 degree canvas) maps p′ to
// pixel (W/2 + u·W/2, H/2 − v·W/2), and its depth, which falls with eye-space z = ρ, still orders
// points by their distance from the eye. Only points are bent: directions pass unchanged, and a
// triangle stays straight between its three bent corners (the device does not subdivide).
//
// Value object owned by the program; the device borrows it. Immutable after construction, so it
// may be read from any thread.
#include "apps/Camera.h"
#include "apps/DoublePair.h"

#include "host/math/MMTransform.h"

#include <cmath>

class PanoramicTransform : public MMTransform {
public:
    // `horizontal_fov_degrees`: the angle the image width spans.
    PanoramicTransform(const Camera& camera, double horizontal_fov_degrees);

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;
    // The device's per-point call: the same double-precision arithmetic as above, without the
    // detour through MMPoint3d, so both give the same floats.
    bool Transform(float* out, float x, float y, float z, bool direction) const override;
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;

    // The linear camera to use behind the transform: the same eye and target with a 90 degree canvas.
    static Camera MakeCanvasCamera(const Camera& camera);

protected:
    // Direction in camera axes, of any positive length, to image position; the inverse takes the
    // image position to a unit direction. Every mapping depends on the direction only, so the
    // offset from the eye goes in as it is: dividing it by its length first would put a root
    // and three divisions in front of the arc tangent on every point's chain.
    virtual void _ToImage(const MMPoint3d<double>& direction, double& u, double& v) const = 0;
    virtual MMPoint3d<double> _FromImage(double u, double v) const = 0;

    // The device's per-point call with `to_image` in place of the virtual _ToImage: a concrete
    // transform overrides Transform(float*, ...) with its own mapping called directly, so that the
    // compiler sees the whole chain of one point; the arithmetic is the same, and so are the floats.
    template <class ToImage>
    bool _TransformWith(float* out, float x, float y, float z, bool direction,
                        const ToImage& to_image) const {
        const double p[3] = {double(x), double(y), double(z)};
        double moved[3] = {p[0], p[1], p[2]};
        const bool result = direction || _Move(p, moved, to_image);
        for (int i = 0; i < 3; ++i)
            out[i] = float(moved[i]);
        return result;
    }

    // TransformPoints with two points' chains side by side: `to_image` as above, and
    // `to_image_pair(direction, u, v)` its DoublePair form, the same operations in the same order,
    // which answers false (leaving the pair to `to_image`) where a lane needs one of the scalar
    // form's special cases. An odd point out goes alone in both lanes.
    template <class ToImage, class ToImagePair>
    void _TransformPointsWith(float (*out)[3], const float (*in)[3], int count, const ToImage& to_image,
                              const ToImagePair& to_image_pair) const {
        for (int first = 0; first < count; first += 2) {
            const int second = first + 1 < count ? first + 1 : first;
            float moved[2][3];
            if (_MovePair(in[first], in[second], moved, to_image_pair)) {
                for (int i = 0; i < 3; ++i) {
                    out[first][i] = moved[0][i];
                    out[second][i] = moved[1][i];
                }
                continue;
            }
            _TransformWith(out[first], in[first][0], in[first][1], in[first][2], false, to_image);
            if (second != first)
                _TransformWith(out[second], in[second][0], in[second][1], in[second][2], false, to_image);
        }
    }

    // A concrete transform's mapping as functions of the direction and the half angle, scalar and
    // for two lanes (false where a lane needs a special case); the pair must repeat the scalar
    // operations in order.
    using Mapping = void (*)(const MMPoint3d<double>& direction, double half_angle, double& u, double& v);
    using PairMapping = bool (*)(const DoublePair* direction, double half_angle, DoublePair& u,
                                 DoublePair& v);

    // The per-point call and TransformPoints with the mapping called directly, so that a concrete
    // transform's overrides are one line each.
    template <Mapping TO_IMAGE>
    bool _TransformMapped(float* out, float x, float y, float z, bool direction) const {
        return _TransformWith(
            out, x, y, z, direction,
            [this](const MMPoint3d<double>& d, double& u, double& v) { TO_IMAGE(d, md_half_angle, u, v); });
    }
    template <Mapping TO_IMAGE, PairMapping TO_IMAGE_PAIR>
    void _TransformPointsMapped(float (*out)[3], const float (*in)[3], int count) const {
        _TransformPointsWith(
            out, in, count,
            [this](const MMPoint3d<double>& d, double& u, double& v) { TO_IMAGE(d, md_half_angle, u, v); },
            [this](const DoublePair* d, DoublePair& u, DoublePair& v) {
                return TO_IMAGE_PAIR(d, md_half_angle, u, v);
            });
    }

    Camera mo_camera;
    double md_half_angle; // radians: half the horizontal field of view

private:
    // Moves the world point p to its panoramic place; false (out = p) at the eye or for a
    // non-finite point.
    template <class ToImage> bool _Move(const double* p, double* out, const ToImage& to_image) const {
        // Camera::ToEye and FromEye, written out in the same order of operations.
        const double offset[3] = {p[0] - ma_eye[0], p[1] - ma_eye[1], p[2] - ma_eye[2]};
        double local[3];
        for (int i = 0; i < 3; ++i)
            local[i] = (offset[0] * ma_axes[i][0] + offset[1] * ma_axes[i][1]) + offset[2] * ma_axes[i][2];
        const double distance = std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
        if (!(distance > 0.0) || !std::isfinite(distance)) {
            // The eye itself has no direction: it stays where it is (the device gets depth 1/0 there).
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
            return false;
        }
        double u = 0.0, v = 0.0;
        to_image(MMPoint3d<double>{local[0], local[1], local[2]}, u, v);
        const double eye[3] = {u * distance, v * distance, distance};
        for (int i = 0; i < 3; ++i)
            out[i] = ma_eye[i] + ma_axes[0][i] * eye[0] + ma_axes[1][i] * eye[1] + ma_axes[2][i] * eye[2];
        return true;
    }
    // With the virtual _ToImage.
    bool _Move(const double* p, double* out) const;

    // _TransformWith for two points, lane by lane the same operations as _Move; false, writing
    // nothing, where either point is the eye or not finite, or `to_image` declines.
    template <class ToImagePair>
    bool _MovePair(const float* first, const float* second, float (*out)[3],
                   const ToImagePair& to_image) const {
        const DoublePair p[3] = {MakePair(double(first[0]), double(second[0])),
                                 MakePair(double(first[1]), double(second[1])),
                                 MakePair(double(first[2]), double(second[2]))};
        const DoublePair offset[3] = {p[0] - Both(ma_eye[0]), p[1] - Both(ma_eye[1]), p[2] - Both(ma_eye[2])};
        DoublePair local[3];
        for (int i = 0; i < 3; ++i)
            local[i] = (offset[0] * Both(ma_axes[i][0]) + offset[1] * Both(ma_axes[i][1])) +
                       offset[2] * Both(ma_axes[i][2]);
        const DoublePair distance = Sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
        if (!All((distance > Both(0.0)) & (distance < Both(HUGE_VAL))))
            return false;
        DoublePair u, v;
        if (!to_image(local, u, v))
            return false;
        const DoublePair eye[3] = {u * distance, v * distance, distance};
        for (int i = 0; i < 3; ++i) {
            const DoublePair moved = Both(ma_eye[i]) + Both(ma_axes[0][i]) * eye[0] +
                                     Both(ma_axes[1][i]) * eye[1] + Both(ma_axes[2][i]) * eye[2];
            out[0][i] = float(First(moved));
            out[1][i] = float(Second(moved));
        }
        return true;
    }

    double ma_eye[3];
    double ma_axes[3][3]; // right, up, forward
};
