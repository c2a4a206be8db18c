#include "host/math/MMTransform.h"

MMTransform::~MMTransform() = default;

bool MMTransform::Transform(float* const out, float x, float y, float z, bool direction) const {
    MMPoint3d<double> point(x, y, z);
    const bool result = Transform(point, point, direction);
    out[0] = static_cast<float>(point.x);
    out[1] = static_cast<float>(point.y);
    out[2] = static_cast<float>(point.z);
    return result;
}

bool MMTransform::Transform(float* const in_out, bool direction) const {
    return Transform(in_out, in_out[0], in_out[1], in_out[2], direction);
}

bool MMTransform::Transform(float& x, float& y, float& z, bool direction) const {
    float out[3];
    const bool result = Transform(out, x, y, z, direction);
    x = out[0];
    y = out[1];
    z = out[2];
    return result;
}

void MMTransform::TransformPoints(float (*out)[3], const float (*in)[3], int count) const {
    for (int i = 0; i < count; ++i)
        Transform(out[i], in[i][0], in[i][1], in[i][2], false);
}
