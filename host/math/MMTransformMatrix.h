#pragma once
// MMTransformMatrix: an affine or projective 4x4 transform, held in double precision.
//
// Element order is row-major for column vectors: out[i] = m[4i]x + m[4i+1]y + m[4i+2]z + m[4i+3]w.
// MakeFromFloat16 and GetMatrixFloat16 are exact counterparts (float -> double -> float is exact).
// Points are divided by the fourth component when it is neither 1 nor 0; directions (the final
// bool true) drop the translation column. The default value is the identity.
#include "host/math/MMTransform.h"

#include <array>

class MMTransformMatrix : public MMTransform {
public:
    MMTransformMatrix();
    MMTransformMatrix(const MMTransformMatrix&) = default;
    MMTransformMatrix& operator=(const MMTransformMatrix&) = default;
    ~MMTransformMatrix() override;

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;

    // The 16-float read-out, counterpart of MakeFromFloat16.
    virtual void GetMatrixFloat16(float* out) const;

    void MakeIdentity();
    void MakeFromFloat16(const float* values);
    void MakeFromDouble16(const double* values);
    void MakeTranslation(const MMPoint3d<double>& offset);
    void MakeScale(double x, double y, double z);
    // Rotation by `radians` about the axis through `point` along `direction` (right-handed).
    void MakeRotation(const MMPoint3d<double>& point, const MMPoint3d<double>& direction, double radians);

    // this = this * right: `right` is applied first.
    MMTransformMatrix operator*(const MMTransformMatrix& right) const;
    // False, leaving `out` untouched, when the matrix is singular.
    bool GetInverse(MMTransformMatrix& out) const;

    double operator()(int row, int column) const { return ma_values[4 * row + column]; }
    const std::array<double, 16>& GetValues() const { return ma_values; }

private:
    std::array<double, 16> ma_values;
};
