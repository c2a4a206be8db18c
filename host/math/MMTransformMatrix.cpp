#include "host/math/MMTransformMatrix.h"

#include <cmath>

MMTransformMatrix::MMTransformMatrix() { MakeIdentity(); }

MMTransformMatrix::~MMTransformMatrix() = default;

void MMTransformMatrix::MakeIdentity() {
    ma_values = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

void MMTransformMatrix::MakeFromFloat16(const float* values) {
    for (int i = 0; i < 16; ++i)
        ma_values[i] = static_cast<double>(values[i]);
}

void MMTransformMatrix::MakeFromDouble16(const double* values) {
    for (int i = 0; i < 16; ++i)
        ma_values[i] = values[i];
}

void MMTransformMatrix::GetMatrixFloat16(float* out) const {
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<float>(ma_values[i]);
}

void MMTransformMatrix::MakeTranslation(const MMPoint3d<double>& offset) {
    MakeIdentity();
    ma_values[3] = offset.x;
    ma_values[7] = offset.y;
    ma_values[11] = offset.z;
}

void MMTransformMatrix::MakeScale(double x, double y, double z) {
    ma_values = {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
}

void MMTransformMatrix::MakeRotation(const MMPoint3d<double>& point, const MMPoint3d<double>& direction,
                                     double radians) {
    const double length =
        std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
    if (!(length > 0.0)) {
        MakeIdentity();
        return;
    }
    const double x = direction.x / length, y = direction.y / length, z = direction.z / length;
    const double c = std::cos(radians), s = std::sin(radians), t = 1.0 - c;
    // Rodrigues' rotation about the unit axis, then conjugated by the translation to `point`.
    const double r[9] = {t * x * x + c,     t * x * y - s * z, t * x * z + s * y,
                         t * x * y + s * z, t * y * y + c,     t * y * z - s * x,
                         t * x * z - s * y, t * y * z + s * x, t * z * z + c};
    const double p[3] = {point.x, point.y, point.z};
    MakeIdentity();
    for (int row = 0; row < 3; ++row) {
        double moved = p[row];
        for (int column = 0; column < 3; ++column) {
            ma_values[4 * row + column] = r[3 * row + column];
            moved -= r[3 * row + column] * p[column];
        }
        ma_values[4 * row + 3] = moved;
    }
}

MMTransformMatrix MMTransformMatrix::operator*(const MMTransformMatrix& right) const {
    MMTransformMatrix product;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += ma_values[4 * row + k] * right.ma_values[4 * k + column];
            product.ma_values[4 * row + column] = sum;
        }
    return product;
}

bool MMTransformMatrix::GetInverse(MMTransformMatrix& out) const {
    // Gauss-Jordan with partial pivoting on a 4x8 augmented matrix.
    double work[4][8];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            work[row][column] = ma_values[4 * row + column];
            work[row][column + 4] = row == column ? 1.0 : 0.0;
        }
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(work[row][column]) > std::fabs(work[pivot][column]))
                pivot = row;
        if (!(std::fabs(work[pivot][column]) > 1e-300))
            return false;
        if (pivot != column)
            for (int k = 0; k < 8; ++k)
                std::swap(work[pivot][k], work[column][k]);
        const double scale = 1.0 / work[column][column];
        for (int k = 0; k < 8; ++k)
            work[column][k] *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == column)
                continue;
            const double factor = work[row][column];
            if (factor != 0.0)
                for (int k = 0; k < 8; ++k)
                    work[row][k] -= factor * work[column][k];
        }
    }
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            out.ma_values[4 * row + column] = work[row][column + 4];
    return true;
}

bool MMTransformMatrix::Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const {
    const double w = direction ? 0.0 : 1.0;
    const auto& m = ma_values;
    const double x = m[0] * in.x + m[1] * in.y + m[2] * in.z + m[3] * w;
    const double y = m[4] * in.x + m[5] * in.y + m[6] * in.z + m[7] * w;
    const double z = m[8] * in.x + m[9] * in.y + m[10] * in.z + m[11] * w;
    if (!direction) {
        const double h = m[12] * in.x + m[13] * in.y + m[14] * in.z + m[15];
        if (h == 0.0)
            return false;
        if (h != 1.0) {
            out = MMPoint3d<double>(x / h, y / h, z / h);
            return true;
        }
    }
    out = MMPoint3d<double>(x, y, z);
    return true;
}

bool MMTransformMatrix::InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                         bool direction) const {
    MMTransformMatrix inverse;
    if (!GetInverse(inverse))
        return false;
    return inverse.Transform(out, in, direction);
}
