#include "pano/IVPanoProjector.h"

#include "host/base/MPrefetchForWriting.h"
#include "host/render/IVRender.h"
#include "host/render/soft/HomogeneousClipper.h"
#include "host/render/soft/IVSoftRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using IVPanoColumns::Broadcast;
using IVPanoColumns::MultiplyColumns;
using IVPanoColumns::MultiplyPoint;

// Bisection steps when narrowing an edge to its jump; the float positions stop changing
// earlier for any edge that is not astronomically long.
constexpr int JUMP_STEPS = 40;
// How many pieces ahead of the one being appended a list's memory is asked for, for writing.
constexpr size_t WRITE_AHEAD_PIECES = 4;
// A jump that stays wider than this many pixels (or four tolerances) after narrowing is a
// discontinuity of the transform, not a steep but continuous stretch.
constexpr double MIN_JUMP_PIXELS = 2.0;
// An edge whose middle strays this far from its chord (as a part of the chord) straddles a
// discontinuity of the transform or wraps around a singular point; drawn straight it would cross
// the image.
constexpr double MAX_LEAF_BEND_RATIO = 0.25;
// Such wrapping edges may be halved this many times beyond the depth limit, so that what is
// left out around a singular point shrinks below a pixel.
constexpr int EXTRA_DEPTH = 3;
// A triangle may split one edge per generation; every edge halves (or is cut) at most
// depth limit + EXTRA_DEPTH times, so this bounds the recursion whatever the edges do.
int MaxGenerations(int depth_limit) {
    return 6 * (depth_limit + EXTRA_DEPTH) + 6;
}

bool IsOnPositiveSide(const float* a, const float* b, const float* c, const float* normal) {
    const double u0 = double(b[0] - a[0]), u1 = double(b[1] - a[1]), u2 = double(b[2] - a[2]);
    const double v0 = double(c[0] - a[0]), v1 = double(c[1] - a[1]), v2 = double(c[2] - a[2]);
    const double g0 = u1 * v2 - u2 * v1, g1 = u2 * v0 - u0 * v2, g2 = u0 * v1 - u1 * v0;
    return (double(normal[0]) * g0 + double(normal[1]) * g1) + double(normal[2]) * g2 > 0.0;
}

// One raster normal for every piece of a source triangle: the plane of its corners carried
// through the linear matrices only (object to raster, without the point transform). The
// transform bends a flat face into many pieces; normals taken from each piece's own corners
// would light them differently and break a wall into facets, while the linear plane gives the
// whole face the tone a linear camera gives it. Worked from homogeneous corners, so corners at
// or behind the eye still fix the plane: for homogeneous corners A, B, C with w parts wa, wb, wc,
// wa (B x C) + wb (C x A) + wc (A x B) (x, y, depth parts) is
// (b - a) x (c - a) of the divided points scaled by wa wb wc, so any piece lying in front of the
// eye keeps the orientation of its own winding; the supplied normal then picks the side as before.
void LinearNormal(float* out, const float* object_raster, const float* a, const float* b, const float* c,
                  bool positive) {
    alignas(16) float ha[4], hb[4], hc[4];
    MultiplyPoint(ha, object_raster, a);
    MultiplyPoint(hb, object_raster, b);
    MultiplyPoint(hc, object_raster, c);
    double first[4], second[4], third[4];
    for (int i = 0; i < 4; ++i) {
        first[i] = double(ha[i]);
        second[i] = double(hb[i]);
        third[i] = double(hc[i]);
    }
    double m[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        m[i] = (first[3] * (second[j] * third[k] - second[k] * third[j]) +
                second[3] * (third[j] * first[k] - third[k] * first[j])) +
               third[3] * (first[j] * second[k] - first[k] * second[j]);
    }
    HomogeneousClipper::StoreUnitNormal(out, m, positive);
}

// IVRender::DivideHomogeneous with the three divisions in one: a packed division rounds each lane
// as the scalar one does, and every corner of every triangle is divided.
inline void DivideHomogeneous(float* out, const float* homogeneous) {
    if (homogeneous[3] == 0.0f) {
        IVRender::DivideHomogeneous(out, homogeneous);
        return;
    }
    const __m128 point = _mm_loadu_ps(homogeneous);
    const __m128 divided = _mm_div_ps(point, Broadcast<3>(point));
    _mm_storel_pi(reinterpret_cast<__m64*>(out), divided);
    _mm_store_ss(out + 2, _mm_movehl_ps(divided, divided));
}

double PlanarDistance(const float* p, const float* q) {
    const double dx = double(p[0]) - double(q[0]), dy = double(p[1]) - double(q[1]);
    return std::sqrt(dx * dx + dy * dy);
}

HomogeneousClipper::Vertex ToVertex(const float* homogeneous, const float* texture) {
    return {{homogeneous[0], homogeneous[1], homogeneous[2], homogeneous[3]}, {texture[0], texture[1]}};
}

} // namespace

IVPanoProjector::IVPanoProjector() = default;

IVPanoProjector::~IVPanoProjector() = default;

void IVPanoProjector::_Project(Corner& corner) {
    Corner* corners[1] = {&corner};
    _ProjectAll(corners, 1);
}

void IVPanoProjector::_ProjectAll(Corner* const* corners, int count) {
    const Setup& setup = *mp_setup;
    if (setup.transform == nullptr) {
        // One product: cheaper than looking it up.
        for (int k = 0; k < count; ++k) {
            Corner& corner = *corners[k];
            MultiplyPoint(corner.homogeneous, setup.columns[Setup::OBJECT_RASTER], corner.object);
            DivideHomogeneous(corner.raster, corner.homogeneous);
        }
        return;
    }
    if (!setup.reuse) {
        _ProjectThroughTransform(corners, count);
        return;
    }
    if (mp_kept_projections == nullptr) {
        mp_kept_projections = std::make_unique<KeptProjection[]>(size_t(1) << KEPT_PROJECTION_BITS);
        mn_kept_generation = 1;
    } else if (mn_kept_matrices != setup.matrices || mn_kept_epoch != setup.epoch) {
        _ForgetProjections();
    }
    mn_kept_matrices = setup.matrices;
    mn_kept_epoch = setup.epoch;
    // All lookups first, then the misses' transforms back to back: their long chains of divides,
    // roots and arc tangents are independent, so the processor overlaps them. A projection is a
    // pure function of the point, so which of two points sharing an entry keeps it changes only
    // what is found later, never a value.
    Corner* missed[MAX_PROJECTED_TOGETHER];
    KeptProjection* entries[MAX_PROJECTED_TOGETHER];
    int misses = 0;
    for (int k = 0; k < count; ++k) {
        Corner& corner = *corners[k];
        // The key is the point's bits: -0 and +0 are different keys (a miss, never a wrong hit).
        uint32_t bits[3];
        std::memcpy(bits, corner.object, sizeof bits);
        KeptProjection& kept = mp_kept_projections[_KeptIndex(corner.object)];
        uint32_t kept_bits[3];
        std::memcpy(kept_bits, kept.object, sizeof kept_bits);
        if (kept.generation == mn_kept_generation && kept_bits[0] == bits[0] && kept_bits[1] == bits[1] &&
            kept_bits[2] == bits[2]) {
            std::memcpy(corner.homogeneous, kept.homogeneous, sizeof kept.homogeneous);
            DivideHomogeneous(corner.raster, corner.homogeneous);
            continue;
        }
        missed[misses] = &corner;
        entries[misses] = &kept;
        ++misses;
    }
    if (misses == 0)
        return;
    _ProjectThroughTransform(missed, misses);
    for (int k = 0; k < misses; ++k) {
        KeptProjection& kept = *entries[k];
        std::memcpy(kept.object, missed[k]->object, sizeof kept.object);
        kept.generation = mn_kept_generation;
        std::memcpy(kept.homogeneous, missed[k]->homogeneous, sizeof kept.homogeneous);
    }
}

size_t IVPanoProjector::_KeptIndex(const float* object) {
    uint32_t bits[3];
    std::memcpy(bits, object, sizeof bits);
    const uint32_t mixed = (bits[0] * 0x9E3779B1u) ^ (bits[1] * 0x85EBCA77u) ^ (bits[2] * 0xC2B2AE3Du);
    return (mixed * 0x9E3779B1u) >> (32 - KEPT_PROJECTION_BITS);
}

void IVPanoProjector::PrefetchTriangle(const float* a, const float* b, const float* c) const {
    if (mp_kept_projections == nullptr)
        return;
    const float* corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        const float* from = corners[k];
        const float* to = corners[(k + 1) % 3];
        float middle[3];
        _MiddlePoint(from, to, middle);
        __builtin_prefetch(&mp_kept_projections[_KeptIndex(from)]);
        __builtin_prefetch(&mp_kept_projections[_KeptIndex(middle)]);
    }
}

void IVPanoProjector::_ProjectThroughTransform(Corner* const* corners, int count) {
    // ThroughTransform for each corner, with the transform given all the points at once.
    const Setup& setup = *mp_setup;
    float world[MAX_PROJECTED_TOGETHER][3], moved[MAX_PROJECTED_TOGETHER][3];
    for (int k = 0; k < count; ++k) {
        const float* object = corners[k]->object;
        alignas(16) float point[4];
        _mm_store_ps(point,
                     MultiplyColumns(setup.columns[Setup::OBJECT_WORLD], _mm_set1_ps(object[0]),
                                     _mm_set1_ps(object[1]), _mm_set1_ps(object[2]), _mm_set1_ps(1.0f)));
        std::memcpy(world[k], point, sizeof world[k]);
    }
    setup.transform->TransformPoints(moved, world, count);
    for (int k = 0; k < count; ++k) {
        Corner& corner = *corners[k];
        const __m128 eye =
            MultiplyColumns(setup.columns[Setup::WORLD_EYE], _mm_set1_ps(moved[k][0]),
                            _mm_set1_ps(moved[k][1]), _mm_set1_ps(moved[k][2]), _mm_set1_ps(1.0f));
        _mm_storeu_ps(corner.homogeneous,
                      MultiplyColumns(setup.columns[Setup::EYE_RASTER], Broadcast<0>(eye), Broadcast<1>(eye),
                                      Broadcast<2>(eye), Broadcast<3>(eye)));
        DivideHomogeneous(corner.raster, corner.homogeneous);
    }
}

void IVPanoProjector::_ForgetProjections() {
    if (mp_kept_projections == nullptr)
        return;
    if (++mn_kept_generation == 0) {
        // After 2^32 generations an old entry could pass for a new one: empty the table.
        std::fill_n(mp_kept_projections.get(), size_t(1) << KEPT_PROJECTION_BITS, KeptProjection{});
        mn_kept_generation = 1;
    }
}

void IVPanoProjector::_MiddlePoint(const float* a, const float* b, float* middle) {
    for (int i = 0; i < 3; ++i)
        middle[i] = (a[i] + b[i]) * 0.5f; // the same float either way round
}

void IVPanoProjector::_MiddleUnprojected(const Corner& a, const Corner& b, Corner& middle) {
    _MiddleUnprojected(a.object, b.object, a.texture, b.texture, middle);
}

void IVPanoProjector::_MiddleUnprojected(const float* a, const float* b, const float* texture_a,
                                         const float* texture_b, Corner& middle) {
    _MiddlePoint(a, b, middle.object);
    for (int i = 0; i < 2; ++i)
        middle.texture[i] = (texture_a[i] + texture_b[i]) * 0.5f;
}

void IVPanoProjector::_Middle(const Corner& a, const Corner& b, Corner& middle) {
    _MiddleUnprojected(a, b, middle);
    _Project(middle);
}

double IVPanoProjector::_BendSquared(const Corner& a, const Corner& b, const Corner& middle) {
    const double dx = double(middle.raster[0]) - 0.5 * (double(a.raster[0]) + double(b.raster[0]));
    const double dy = double(middle.raster[1]) - 0.5 * (double(a.raster[1]) + double(b.raster[1]));
    return dx * dx + dy * dy;
}

bool IVPanoProjector::_FindJump(const Corner& a, const Corner& b, Corner& low, Corner& high) {
    low = a;
    high = b;
    for (int step = 0; step < JUMP_STEPS; ++step) {
        Corner middle;
        _Middle(low, high, middle);
        bool moved = false;
        for (int i = 0; i < 3; ++i)
            moved = moved || (middle.object[i] != low.object[i] && middle.object[i] != high.object[i]);
        if (!moved)
            break;
        // The middle continues the side whose end it lands nearer to.
        if (PlanarDistance(middle.raster, low.raster) <= PlanarDistance(middle.raster, high.raster))
            low = middle;
        else
            high = middle;
    }
    const double limit = std::max(MIN_JUMP_PIXELS, 4.0 * double(mp_setup->tolerance));
    return PlanarDistance(low.raster, high.raster) > limit;
}

void IVPanoProjector::Triangle(const Setup& setup, const float* a, const float* b, const float* c,
                               const float* normal, const float (*texcoords)[2], std::vector<Piece>* out) {
    mp_setup = &setup;
    mp_out = out;
    mb_textured = texcoords != nullptr;
    // The side is chosen once, from the whole triangle; pieces keep its winding and its normal.
    float raster_normal[3];
    LinearNormal(raster_normal, setup.columns[Setup::OBJECT_RASTER], a, b, c,
                 IsOnPositiveSide(a, b, c, normal));
    Corner corners[3];
    const float* points[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 3; ++i)
            corners[k].object[i] = points[k][i];
        corners[k].texture[0] = texcoords != nullptr ? texcoords[k][0] : 0.0f;
        corners[k].texture[1] = texcoords != nullptr ? texcoords[k][1] : 0.0f;
    }
    if (!_IsSubdividing()) {
        Corner* const projected[3] = {&corners[0], &corners[1], &corners[2]};
        _ProjectAll(projected, 3);
        _EmitTriangle(corners[0], corners[1], corners[2], raster_normal);
        return;
    }
    // The edge middles of the first generation go with the corners, so that the transform gets
    // all of the triangle's misses in one call. They are formed from the caller's points, the same
    // floats as from the corners: read back at once, the corners' narrow stores could not be
    // forwarded to the wide loads of the vectorised sums, and every triangle waited for them.
    Corner middles[3];
    constexpr float NO_TEXTURE[2] = {0.0f, 0.0f};
    for (int i = 0; i < 3; ++i) {
        const int next = (i + 1) % 3;
        _MiddleUnprojected(points[i], points[next], texcoords != nullptr ? texcoords[i] : NO_TEXTURE,
                           texcoords != nullptr ? texcoords[next] : NO_TEXTURE, middles[i]);
    }
    Corner* const projected[6] = {&corners[0], &corners[1], &corners[2],
                                  &middles[0], &middles[1], &middles[2]};
    _ProjectAll(projected, 6);
    const int depths[3] = {0, 0, 0};
    _SubdivideTriangle(corners, depths, raster_normal, 0, middles);
}

void IVPanoProjector::_SubdivideTriangle(const Corner* corners, const int* depths, const float* raster_normal,
                                         int generation, const Corner* projected_middles) {
    Corner found_middles[3];
    if (projected_middles == nullptr) {
        for (int i = 0; i < 3; ++i)
            _MiddleUnprojected(corners[i], corners[(i + 1) % 3], found_middles[i]);
        Corner* const projected[3] = {&found_middles[0], &found_middles[1], &found_middles[2]};
        _ProjectAll(projected, 3);
    }
    const Corner* const middles = projected_middles != nullptr ? projected_middles : found_middles;
    bool bending[3], wrapping[3];
    const double tolerance = double(mp_setup->tolerance);
    // tolerance² is exact (a float's square fits in a double), and the correctly rounded root of
    // anything up to it is at most the tolerance: so the root is taken only for an edge whose
    // squared bend exceeds the square, and the test still gives what comparing the root gives.
    const double tolerance_squared = tolerance * tolerance;
    for (int i = 0; i < 3; ++i) {
        const Corner& a = corners[i];
        const Corner& b = corners[(i + 1) % 3];
        const double squared = _BendSquared(a, b, middles[i]);
        const double bend = squared > tolerance_squared ? std::sqrt(squared) : 0.0;
        bending[i] = bend > tolerance;
        wrapping[i] = bending[i] && bend > MAX_LEAF_BEND_RATIO * PlanarDistance(a.raster, b.raster);
    }
    const int inner = std::max(depths[0], std::max(depths[1], depths[2])) + 1;
    const bool deeper = generation < MaxGenerations(mp_setup->depth);

    bool split[3];
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        // Across a discontinuity or around a singular point an edge goes deeper than the limit,
        // so that the piece finally left out is small.
        const int limit = wrapping[i] ? mp_setup->depth + EXTRA_DEPTH : mp_setup->depth;
        split[i] = bending[i] && depths[i] < limit && deeper;
        count += split[i] ? 1 : 0;
    }
    if (count == 0) {
        // Still bending at the limit: a piece that straddles a discontinuity or wraps around a
        // singular point cannot be drawn straight without crossing the image; it is left out.
        // FIXME: a piece across a seam could be cut at the seam (as lines are) instead of being
        // left out; an attempt lost coverage next to the poles and was set aside.
        if (!(wrapping[0] || wrapping[1] || wrapping[2]))
            _EmitTriangle(corners[0], corners[1], corners[2], raster_normal);
        return;
    }

    if (count == 3) {
        const Corner children[4][3] = {{corners[0], middles[0], middles[2]},
                                       {middles[0], corners[1], middles[1]},
                                       {middles[2], middles[1], corners[2]},
                                       {middles[0], middles[1], middles[2]}};
        const int child_depths[4][3] = {{depths[0] + 1, inner, depths[2] + 1},
                                        {depths[0] + 1, depths[1] + 1, inner},
                                        {inner, depths[1] + 1, depths[2] + 1},
                                        {inner, inner, inner}};
        for (int k = 0; k < 4; ++k)
            _SubdivideTriangle(children[k], child_depths[k], raster_normal, generation + 1);
        return;
    }

    // Turn the triangle (keeping its winding) so that the edges to split come first.
    int first = 0;
    if (count == 1)
        while (!split[first])
            ++first;
    else
        while (split[(first + 2) % 3]) // the one edge left whole goes last
            ++first;
    const Corner& p0 = corners[first];
    const Corner& p1 = corners[(first + 1) % 3];
    const Corner& p2 = corners[(first + 2) % 3];
    const int d0 = depths[first], d1 = depths[(first + 1) % 3], d2 = depths[(first + 2) % 3];
    const Corner& m0 = middles[first];

    if (count == 1) {
        const Corner left[3] = {p0, m0, p2}, right[3] = {m0, p1, p2};
        const int left_depths[3] = {d0 + 1, inner, d2}, right_depths[3] = {d0 + 1, d1, inner};
        _SubdivideTriangle(left, left_depths, raster_normal, generation + 1);
        _SubdivideTriangle(right, right_depths, raster_normal, generation + 1);
        return;
    }
    const Corner& m1 = middles[(first + 1) % 3];
    const Corner tip[3] = {m0, p1, m1}, near_side[3] = {p0, m0, m1}, far_side[3] = {p0, m1, p2};
    const int tip_depths[3] = {d0 + 1, d1 + 1, inner}, near_depths[3] = {d0 + 1, inner, inner};
    const int far_depths[3] = {inner, d1 + 1, d2};
    _SubdivideTriangle(tip, tip_depths, raster_normal, generation + 1);
    _SubdivideTriangle(near_side, near_depths, raster_normal, generation + 1);
    _SubdivideTriangle(far_side, far_depths, raster_normal, generation + 1);
}

void IVPanoProjector::TriangleLiteral(const Setup& setup, const float* a, const float* b, const float* c,
                                      const float* normal, const float (*texcoords)[2],
                                      std::vector<Piece>* out) {
    mp_setup = &setup;
    mp_out = out;
    mb_textured = true;
    Corner corners[3];
    const float* points[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 3; ++i)
            corners[k].object[i] = points[k][i];
        corners[k].texture[0] = texcoords[k][0];
        corners[k].texture[1] = texcoords[k][1];
        _Project(corners[k]);
    }
    // Without extensions the triangle is one piece lit by its own projected corners.
    float raster_normal[3];
    HomogeneousClipper::RasterNormal(raster_normal, corners[0].raster, corners[1].raster, corners[2].raster,
                                     IsOnPositiveSide(a, b, c, normal));
    _EmitTriangle(corners[0], corners[1], corners[2], raster_normal);
}

void IVPanoProjector::_EmitTriangle(const Corner& a, const Corner& b, const Corner& c,
                                    const float* raster_normal) {
    if (!mp_setup->near_clipping ||
        (HomogeneousClipper::IsInside(a.homogeneous) && HomogeneousClipper::IsInside(b.homogeneous) &&
         HomogeneousClipper::IsInside(c.homogeneous))) {
        const float ta[3] = {a.texture[0], a.texture[1], a.homogeneous[3]};
        const float tb[3] = {b.texture[0], b.texture[1], b.homogeneous[3]};
        const float tc[3] = {c.texture[0], c.texture[1], c.homogeneous[3]};
        _EmitPiece(a.raster, b.raster, c.raster, ta, tb, tc, raster_normal);
        return;
    }
    HomogeneousClipper clipper;
    const int count =
        clipper.ClipTriangle(ToVertex(a.homogeneous, a.texture), ToVertex(b.homogeneous, b.texture),
                             ToVertex(c.homogeneous, c.texture));
    float raster[HomogeneousClipper::MAX_CORNERS][3], texture[HomogeneousClipper::MAX_CORNERS][3];
    clipper.DivideCorners(count, raster, texture);
    for (int i = 2; i < count; ++i)
        _EmitPiece(raster[0], raster[i - 1], raster[i], texture[0], texture[i - 1], texture[i],
                   raster_normal);
}

void IVPanoProjector::_Append(const Piece& piece) {
    // The list's lines were last read by the thread that replayed it a batch ago.
    if (mp_out->size() + WRITE_AHEAD_PIECES < mp_out->capacity())
        MPrefetchForWriting(mp_out->data() + mp_out->size() + WRITE_AHEAD_PIECES);
    mp_out->push_back(piece);
}

void IVPanoProjector::_EmitPiece(const float* ra, const float* rb, const float* rc, const float* ta,
                                 const float* tb, const float* tc, const float* raster_normal) {
    if (mp_out == nullptr) {
        ++*mp_raster_triangles;
        if (mb_textured)
            mp_rasterizer->RasterTriangleTextured(ra, rb, rc, raster_normal, ta, tb, tc);
        else
            mp_rasterizer->RasterTriangle(ra, rb, rc, raster_normal);
        return;
    }
    Piece piece; // only what this kind uses is written, and nothing is zeroed first
    piece.kind = mb_textured ? Piece::EKind::eTextured : Piece::EKind::eTriangle;
    std::memcpy(piece.corner[0], ra, sizeof piece.corner[0]);
    std::memcpy(piece.corner[1], rb, sizeof piece.corner[1]);
    std::memcpy(piece.corner[2], rc, sizeof piece.corner[2]);
    std::memcpy(piece.normal, raster_normal, sizeof piece.normal);
    if (mb_textured) {
        std::memcpy(piece.texture[0], ta, sizeof piece.texture[0]);
        std::memcpy(piece.texture[1], tb, sizeof piece.texture[1]);
        std::memcpy(piece.texture[2], tc, sizeof piece.texture[2]);
    }
    _Append(piece);
}

void IVPanoProjector::Line(const Setup& setup, const float* from, const float* to, float depth_offset,
                           std::vector<Piece>* out) {
    mp_setup = &setup;
    mp_out = out;
    mb_textured = false;
    Corner a{{from[0], from[1], from[2]}, {0.0f, 0.0f}, {}, {}},
        b{{to[0], to[1], to[2]}, {0.0f, 0.0f}, {}, {}};
    _Project(a);
    _Project(b);
    if (_IsSubdividing())
        _SubdivideLine(a, b, 0, depth_offset, 0);
    else
        _EmitLine(a, b, depth_offset);
}

void IVPanoProjector::_SubdivideLine(const Corner& a, const Corner& b, int depth, float depth_offset,
                                     int generation) {
    Corner middle;
    _Middle(a, b, middle);
    const double bend = std::sqrt(_BendSquared(a, b, middle));
    if (!(bend > double(mp_setup->tolerance))) {
        _EmitLine(a, b, depth_offset);
        return;
    }
    const bool wrapping = bend > MAX_LEAF_BEND_RATIO * PlanarDistance(a.raster, b.raster);
    Corner low, high;
    const bool jumping = wrapping && depth < mp_setup->depth + EXTRA_DEPTH && _FindJump(a, b, low, high);
    if (generation >= MaxGenerations(mp_setup->depth)) {
        if (!wrapping)
            _EmitLine(a, b, depth_offset);
        return;
    }
    if (jumping) {
        _SubdivideLine(a, low, depth + 1, depth_offset, generation + 1);
        _SubdivideLine(high, b, depth + 1, depth_offset, generation + 1);
        return;
    }
    if (depth < (wrapping ? mp_setup->depth + EXTRA_DEPTH : mp_setup->depth)) {
        _SubdivideLine(a, middle, depth + 1, depth_offset, generation + 1);
        _SubdivideLine(middle, b, depth + 1, depth_offset, generation + 1);
    } else if (!wrapping) {
        _EmitLine(a, b, depth_offset);
    }
}

void IVPanoProjector::_EmitLine(const Corner& a, const Corner& b, float depth_offset) {
    float ra[3], rb[3];
    if (mp_setup->near_clipping) {
        HomogeneousClipper::Vertex va = ToVertex(a.homogeneous, a.texture),
                                   vb = ToVertex(b.homogeneous, b.texture);
        if (!HomogeneousClipper::ClipSegment(va, vb))
            return;
        HomogeneousClipper::Divide(ra, va.h);
        HomogeneousClipper::Divide(rb, vb.h);
    } else {
        for (int i = 0; i < 3; ++i) {
            ra[i] = a.raster[i];
            rb[i] = b.raster[i];
        }
    }
    if (depth_offset != 0.0f) {
        ra[2] += depth_offset;
        rb[2] += depth_offset;
    }
    if (mp_out == nullptr) {
        mp_rasterizer->RasterLine(ra, rb);
        return;
    }
    Piece piece;
    piece.kind = Piece::EKind::eLine;
    std::memcpy(piece.corner[0], ra, sizeof piece.corner[0]);
    std::memcpy(piece.corner[1], rb, sizeof piece.corner[1]);
    _Append(piece);
}

bool IVPanoProjector::Point(const Setup& setup, float* out, float x, float y, float z) {
    mp_setup = &setup;
    Corner corner{{x, y, z}, {0.0f, 0.0f}, {}, {}};
    _Project(corner);
    if (!(corner.homogeneous[3] >= HomogeneousClipper::NEAR_W))
        return false;
    for (int i = 0; i < 3; ++i)
        out[i] = corner.raster[i];
    return true;
}
