#pragma once
// HomogeneousClipper: clips triangles and line segments in homogeneous raster coordinates
// (x, y, depth, w: the point before the perspective divide) to the part that can be divided
// safely, and divides what is left.
//
// The kept region is the intersection of five half-spaces:
//   w >= NEAR_W                          the near plane: drops what lies at or behind the eye;
//   -GUARD_BAND w <= x <= GUARD_BAND w   a guard band, far outside any surface, so that a
//   -GUARD_BAND w <= y <= GUARD_BAND w   piece cut at the near plane keeps raster coordinates
//                                        the rasterizer accepts (it drops corners beyond 2^20).
// Raster space is the software device's: x to the right and y downwards in pixels; w is the
// fourth row of the eye-to-raster matrix (the eye-space distance along the view axis for the
// programs' cameras, 1 for an affine matrix, which therefore never clips at the near plane).
//
// Each vertex carries two attributes (texture u, v), interpolated linearly in homogeneous space
// with the position, so that they stay perspective-correct. A primitive wholly inside comes
// back unchanged and is divided exactly as IVRender::_Transform divides (h[i] / h[3]), so an
// unclipped primitive reaches the rasterizer bit for bit as it did without clipping. A cut edge
// is always interpolated from its inside end towards its outside end, so two triangles that
// share an edge get the same cut point and stay watertight.
//
// Stateless apart from the pieces of the last call, which live in the object (no allocation);
// one clipper per device, used from that device's thread.

#include <cmath>

class HomogeneousClipper {
public:
    static constexpr float NEAR_W = 1e-6f;
    // Raster pixels from the origin; well inside the rasterizer's 2^20.
    static constexpr float GUARD_BAND = 131072.0f;
    static constexpr int PLANE_COUNT = 5;
    // A triangle cut by five planes keeps at most 3 + 5 corners.
    static constexpr int MAX_CORNERS = 3 + PLANE_COUNT;

    struct Vertex {
        float h[4];         // homogeneous raster position
        float attribute[2]; // texture u, v (0 when unused)
    };

    // True when h lies inside every plane.
    static bool IsInside(const float* h);

    // Clips the triangle a, b, c. Returns the number of corners of the kept convex polygon (0 when
    // nothing is left, 3 when the triangle was inside as a whole), stored in the order of the
    // input's winding; read them with GetCorner.
    int ClipTriangle(const Vertex& a, const Vertex& b, const Vertex& c);
    const Vertex& GetCorner(int index) const { return ma_corners[index]; }

    // Clips the segment in place; false when nothing of it is left.
    static bool ClipSegment(Vertex& a, Vertex& b);

    // The unit normal of a projected piece (raw below 2^-26), negated unless `positive`: the side
    // of the supplied normal relative to the winding, whatever the projection did to it. Double
    // precision, in the same order as the device's own raster normal, so a piece that needs no cut
    // is lit exactly as the whole triangle would be.
    static void RasterNormal(float* out, const float* ra, const float* rb, const float* rc, bool positive) {
        const double r0 = double(rb[0] - ra[0]), r1 = double(rb[1] - ra[1]), r2 = double(rb[2] - ra[2]);
        const double s0 = double(rc[0] - ra[0]), s1 = double(rc[1] - ra[1]), s2 = double(rc[2] - ra[2]);
        double m[3] = {r1 * s2 - r2 * s1, r2 * s0 - r0 * s2, r0 * s1 - r1 * s0};
        StoreUnitNormal(out, m, positive);
    }

    // out = m brought to unit length (left raw below 2^-26, like every normal of the devices),
    // negated unless `positive`.
    static void StoreUnitNormal(float* out, double* m, bool positive) {
        const double length = std::sqrt((m[0] * m[0] + m[1] * m[1]) + m[2] * m[2]);
        if (!(length < 1.4901161193847656e-08))
            for (int i = 0; i < 3; ++i)
                m[i] /= length;
        for (int i = 0; i < 3; ++i)
            out[i] = positive ? float(m[i]) : -float(m[i]);
    }

    // The first `count` corners of the last clip divided into raster points, with their texture
    // coordinates and w (u, v, w: what the rasterizer's textured triangle takes).
    void DivideCorners(int count, float (*raster)[3], float (*texture)[3]) const {
        for (int i = 0; i < count; ++i) {
            const Vertex& corner = GetCorner(i);
            Divide(raster[i], corner.h);
            texture[i][0] = corner.attribute[0];
            texture[i][1] = corner.attribute[1];
            texture[i][2] = corner.h[3];
        }
    }

    // out = h[0..2] / h[3].
    static void Divide(float* out, const float* h) {
        out[0] = h[0] / h[3];
        out[1] = h[1] / h[3];
        out[2] = h[2] / h[3];
    }

private:
    Vertex ma_corners[MAX_CORNERS];
    Vertex ma_scratch[MAX_CORNERS];
};
