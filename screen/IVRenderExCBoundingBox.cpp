// The gizmo's model: configuration defaults, construction, building from corners or from a scene
// object, projection and handle sizing.
#include "screen/IVRenderExCBoundingBox.h"

#include "host/framework/MTransformRepository.h"
#include "host/framework/UIObject.h"
#include "host/framework/UIWnd3D.h"
#include "host/win32/WinGdi.h"
#include "screen/ScreenMath.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

using namespace VantrelScreen;

const uint8_t IVRenderEx::CBoundingBox::mga_lines_indeces[12][2] = {
    {0, 3}, {5, 6}, {4, 7}, {1, 2}, // axis 0: along z
    {3, 6}, {2, 7}, {1, 4}, {0, 5}, // axis 1: along y
    {0, 1}, {3, 2}, {6, 7}, {5, 4}, // axis 2: along x
};

IVRenderEx::CBoundingBox::Configuration::Configuration() {
    const double width = GetSystemMetrics(SM_CXSCREEN);
    const double height = GetSystemMetrics(SM_CYSCREEN);
    const int32_t diagonal = RoundHalfAway(std::sqrt(width * width + height * height));
    mn_center_spot_radius = diagonal / 250;
    mn_center_pick_margin = (3 * mn_center_spot_radius) / 2 + 1;
    mn_diagonal_twelfth = diagonal / 12;
    mn_min_handle_length = MulDiv(mn_center_spot_radius, 6, 4);
    mn_handle_percent = 10;
    mn_pick_tolerance = mn_center_spot_radius;
}

IVRenderEx::CBoundingBox::Configuration&
IVRenderEx::CBoundingBox::Configuration::operator=(const Configuration& other) {
    mn_center_spot_radius = other.mn_center_spot_radius;
    mn_center_pick_margin = other.mn_center_pick_margin;
    mn_diagonal_twelfth = other.mn_diagonal_twelfth;
    mn_min_handle_length = other.mn_min_handle_length;
    mn_handle_percent = other.mn_handle_percent;
    mn_pick_tolerance = other.mn_pick_tolerance;
    return *this;
}

IVRenderEx::CBoundingBox::Configuration&
IVRenderEx::CBoundingBox::Configuration::operator=(Configuration&& other) {
    return *this = static_cast<const Configuration&>(other);
}

IVRenderEx::CBoundingBox::CBoundingBox(bool withCenter)
    : mb_with_center(withCenter), md_center_distance_from_screen(0.0), mn_min_z_vertex(-1),
      mn_longest_handle_axis(0), mb_center_fixed(false), mo_bounds_on_screen(0, 0, 0, 0) {}

const CSize& IVRenderEx::CBoundingBox::GetHandleSizeForLine(unsigned int line) const {
    return ma_handle_sizes[std::min(line / 4u, 2u)];
}

void IVRenderEx::CBoundingBox::SetCenter(const MMPoint3d<double>& center) {
    mb_center_fixed = true;
    ma_vertices[8] = center;
    ma_vertices_on_screen[8] = CPoint(TruncateToInt(center.x), TruncateToInt(center.y));
}

void IVRenderEx::CBoundingBox::GetAnEdgeForAxis(EAxis axis, MMPoint3d<double>& first,
                                                MMPoint3d<double>& second) const {
    const int index = static_cast<int>(axis);
    if (index < 0 || index > 2)
        return;
    first = ma_vertices[mga_lines_indeces[4 * index][0]];
    second = ma_vertices[mga_lines_indeces[4 * index][1]];
}

void IVRenderEx::CBoundingBox::Build(const MMPoint3d<double>& a, const MMPoint3d<double>& b) {
    // The corner table, applied to a and b as given (nothing orders them).
    ma_vertices[0] = MMPoint3d<double>(a.x, a.y, a.z);
    ma_vertices[1] = MMPoint3d<double>(b.x, a.y, a.z);
    ma_vertices[2] = MMPoint3d<double>(b.x, a.y, b.z);
    ma_vertices[3] = MMPoint3d<double>(a.x, a.y, b.z);
    ma_vertices[4] = MMPoint3d<double>(b.x, b.y, a.z);
    ma_vertices[5] = MMPoint3d<double>(a.x, b.y, a.z);
    ma_vertices[6] = MMPoint3d<double>(a.x, b.y, b.z);
    ma_vertices[7] = MMPoint3d<double>(b.x, b.y, b.z);
    if (!mb_with_center) {
        ma_vertices[8] = MMPoint3d<double>(0.0, 0.0, 0.0);
    } else if (!mb_center_fixed) {
        const MMPoint3d<double>& low = ma_vertices[0];
        const MMPoint3d<double>& high = ma_vertices[7];
        ma_vertices[8] =
            MMPoint3d<double>((low.x + high.x) * 0.5, (low.y + high.y) * 0.5, (low.z + high.z) * 0.5);
    }
}

bool IVRenderEx::CBoundingBox::Build(UIObject* object, UIWnd3D* window) {
    if (object == nullptr || window == nullptr)
        return false;
    M3DBoundingBox<float> box;
    box.x_min = box.y_min = box.z_min = FLT_MAX;
    box.x_max = box.y_max = box.z_max = -FLT_MAX;
    // All low 32 bits set, not all 64: the host's "everything" mask.
    static_cast<const IRender&>(object->GetRender()).GetBoundingBox(box, uint64_t(0x00000000FFFFFFFFull));
    Build(MMPoint3d<double>(double(box.x_min), double(box.y_min), double(box.z_min)),
          MMPoint3d<double>(double(box.x_max), double(box.y_max), double(box.z_max)));

    // The window's system is a temporary; the repository keeps the transform alive.
    const MMTransform& transform = MTransformRepository::mgp_instance->GetTransform(
        object->GetCoordinateSystem(), window->GetCoordinateSystemWindow());

    MMPoint3d<double> scratch[9] = {};
    const int count = mb_with_center ? 9 : 8;
    bool projected = true;
    for (int i = 0; i < count; ++i) {
        if (!transform.Transform(scratch[i], ma_vertices[i], false)) {
            projected = false;
            break;
        }
    }
    mn_min_z_vertex = -1;
    mo_bounds_on_screen = CRect(kIntMax, kIntMax, kIntMin, kIntMin);
    if (!projected)
        return false;

    mn_min_z_vertex = 0;
    for (int i = 0; i < 9; ++i) {
        const CPoint point(RoundHalfAway(scratch[i].x), RoundHalfAway(scratch[i].y));
        ma_vertices_on_screen[i] = point;
        if (i >= 8)
            continue;
        mo_bounds_on_screen.left = std::min(mo_bounds_on_screen.left, point.x);
        mo_bounds_on_screen.top = std::min(mo_bounds_on_screen.top, point.y);
        mo_bounds_on_screen.right = std::max(mo_bounds_on_screen.right, point.x);
        mo_bounds_on_screen.bottom = std::max(mo_bounds_on_screen.bottom, point.y);
        // Strictly smaller only: on a tie the lower corner stays.
        if (scratch[i].z < scratch[mn_min_z_vertex].z)
            mn_min_z_vertex = i;
    }
    md_center_distance_from_screen = scratch[8].z;

    if (mo_configuration.mn_handle_percent == 0)
        return true;
    _SizeHandles();
    return true;
}

void IVRenderEx::CBoundingBox::_SizeHandles() {
    const int32_t percent = std::min<int32_t>(mo_configuration.mn_handle_percent, 50);
    const int32_t minimum = mo_configuration.mn_min_handle_length;
    int64_t longest = -1;
    for (int axis = 0; axis < 3; ++axis) {
        const CPoint& p = ma_vertices_on_screen[mga_lines_indeces[4 * axis][0]];
        const CPoint& q = ma_vertices_on_screen[mga_lines_indeces[4 * axis][1]];
        // In 64 bits: two far-apart pixels can be more than 2^31 apart.
        const int32_t width = ClampToInt(std::llabs(int64_t(p.x) - int64_t(q.x)));
        const int32_t height = ClampToInt(std::llabs(int64_t(p.y) - int64_t(q.y)));

        const CSize plain(MulDiv(width, percent, 100), MulDiv(height, percent, 100));
        CSize size = plain;
        const double wanted = double(minimum) * double(minimum);
        if (percent < 50 && wanted > double(size.cx) * double(size.cx) + double(size.cy) * double(size.cy)) {
            if (width == 0) {
                size.cy = std::min(minimum, height / 2);
            } else if (height == 0) {
                size.cx = std::min(minimum, width / 2);
            } else {
                // Lengthen along the edge's own direction to the minimum length, held just under
                // the half-edge when that is shorter.
                const double half_width = double(width) * 0.5;
                const double half_height = double(height) * 0.5;
                const double half_squared = half_width * half_width + half_height * half_height;
                double radius_squared = wanted;
                if (radius_squared > half_squared)
                    radius_squared = half_squared - 1.0;
                const double slope = half_width / half_height;
                const double ratio = radius_squared / (slope * slope + 1.0);
                // A tiny edge (a pixel or so) leaves a negative ratio: keep the plain size there.
                if (ratio >= 0.0) {
                    const double t = std::sqrt(ratio);
                    size = CSize(RoundHalfAway(slope * t), RoundHalfAway(t));
                }
            }
            if (size.cx > width / 2 || size.cy > height / 2)
                size = plain;
        }
        ma_handle_sizes[axis] = size;
        const int64_t length = int64_t(size.cx) * size.cx + int64_t(size.cy) * size.cy;
        if (length > longest) {
            longest = length;
            mn_longest_handle_axis = axis;
        }
    }
}
