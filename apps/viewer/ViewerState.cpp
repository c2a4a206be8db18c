#include "apps/viewer/ViewerState.h"

#include "apps/PngWriter.h"
#include "apps/viewer/ObjectPicker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Degrees of turn per pixel of a left drag, and the field-of-view step of the keys and the wheel.
constexpr double ORBIT_DEGREES_PER_PIXEL = 0.4;
constexpr double FOV_STEP_DEGREES = 5.0;
// A press that moves less than this (pixels, both axes together) is a click.
constexpr int CLICK_SLOP = 3;

double Get(const MMPoint3d<double>& point, int axis) {
    return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

// The status line and the stats call the plain projection by what it is.
const char* ProjectionName(Projection projection) {
    return projection == Projection::eNone ? "perspective" : Options::GetProjectionName(projection);
}

const char* SortKeyName(SortKey key) {
    return key == SortKey::eDistance ? "distance" : "direction";
}

double DefaultFov(Projection projection) {
    Options defaults;
    defaults.projection = projection;
    return defaults.GetFovDegrees();
}

double ClampFov(Projection projection, double fov) {
    return projection == Projection::eNone ? std::clamp(fov, 5.0, 170.0) : std::clamp(fov, 10.0, 360.0);
}

Options RendererOptions(const Options& options) {
    // The viewer draws the gizmo and the label itself, live; the renderer draws the scene.
    Options renderer = options;
    renderer.gizmo = false;
    renderer.label.clear();
    renderer.frames = 1;
    return renderer;
}

} // namespace

class ViewerState::ForwardingTransform : public MMTransform {
public:
    void Set(const WindowProjection& projection) { mo_projection.emplace(projection); }

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override {
        return mo_projection && mo_projection->Transform(out, in, direction);
    }
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                          bool direction) const override {
        return mo_projection && mo_projection->InverseTransform(out, in, direction);
    }

private:
    std::optional<WindowProjection> mo_projection;
};

ViewerState::ViewerState(Scene& scene, const Options& options)
    : mo_scene(scene), mo_options(options), mo_renderer(scene, RendererOptions(options)),
      mo_initial_camera(mo_renderer.GetCamera(0), scene.GetBounds()), mo_camera(mo_initial_camera),
      me_projection(options.projection), md_fov(options.GetFovDegrees()),
      md_skip_sort(options.skip_sort_degrees), mn_width(options.width), mn_height(options.height),
      mp_window_transform(std::make_shared<ForwardingTransform>()),
      mp_window(std::make_unique<UIWnd3D>(options.width, options.height)), mo_overlay(options) {
    mp_window->SetWorldToWindow(mp_window_transform);
    mo_renderer.SetView(me_projection, md_fov);
    mo_renderer.SetSkipSortTolerance(md_skip_sort);
    // At first the gizmo shows what the renderer's --gizmo shows: the transparent objects, or all.
    std::vector<size_t> selection;
    for (size_t i = 0; i < scene.GetObjects().size(); ++i)
        if (scene.GetObjects()[i].transparent)
            selection.push_back(i);
    if (selection.empty())
        for (size_t i = 0; i < scene.GetObjects().size(); ++i)
            selection.push_back(i);
    _SetSelection(std::move(selection));
}

ViewerState::~ViewerState() = default;

Camera ViewerState::GetCamera() const {
    return mo_camera.MakeCamera(mn_width, mn_height, me_projection, md_fov);
}

WindowProjection ViewerState::GetWindowProjection() const {
    return mo_renderer.GetWindowProjection(GetCamera());
}

Bounds ViewerState::GetSelectionBox() const {
    Bounds box;
    for (size_t index : mv_selection)
        box.Add(BoxEdit::Place(mo_scene.GetObjects()[index].bounds, mo_renderer.GetPlacement(index)));
    return box;
}

const IVRenderEx::CBoundingBox* ViewerState::GetGizmo() {
    if (!mb_gizmo || mv_selection.empty())
        return nullptr;
    if (!mb_gizmo_built) {
        const Bounds box = GetSelectionBox();
        mo_gizmo_object.SetBox({float(box.minimum.x), float(box.maximum.x), float(box.minimum.y),
                                float(box.maximum.y), float(box.minimum.z), float(box.maximum.z)});
        mp_window_transform->Set(GetWindowProjection());
        mb_gizmo_valid = mo_gizmo.Build(&mo_gizmo_object, mp_window.get());
        mb_gizmo_built = true;
    }
    return mb_gizmo_valid ? &mo_gizmo : nullptr;
}

void ViewerState::_ViewChanged() {
    mb_frame_dirty = true;
    mb_overlay_dirty = true;
    mb_gizmo_built = false;
}

void ViewerState::_SetSelection(std::vector<size_t> selection) {
    mv_selection = std::move(selection);
    mb_gizmo_built = false;
    mb_overlay_dirty = true;
}

void ViewerState::Resize(int width, int height) {
    width = std::clamp(width, 1, Options::MAX_SIZE);
    height = std::clamp(height, 1, Options::MAX_SIZE);
    if (width == mn_width && height == mn_height)
        return;
    mn_width = width;
    mn_height = height;
    mo_renderer.Resize(width, height);
    _ViewChanged();
    _RefreshHover();
}

void ViewerState::_UpdateHover(int x, int y) {
    GizmoHover hover;
    Cursor cursor = Cursor::eArrow;
    const IVRenderEx::CBoundingBox* gizmo = GetGizmo();
    const CPoint mouse(x, y);
    if (gizmo != nullptr && gizmo->WhereIsTheMouseQuickTest(mouse)) {
        IVRenderEx::CBoundingBox::EAxis axis = IVRenderEx::CBoundingBox::eAxisAlongZ;
        unsigned int point = 0;
        hover.type = gizmo->WhereIsTheMouse(axis, point, mouse);
        if (hover.type == IVRenderEx::CBoundingBox::eMouseCenter) {
            hover.corner = 8;
            cursor = Cursor::eMove;
        } else if (hover.type == IVRenderEx::CBoundingBox::eMouseHandle) {
            hover.corner = int(point);
            hover.axis = int(axis);
            // The cursor shows which way the face goes on screen: along the corner's edge of that axis.
            const CPoint* points = gizmo->GetVerticesOnScreen();
            for (int line = 4 * hover.axis; line < 4 * hover.axis + 4; ++line) {
                const auto* ends = IVRenderEx::CBoundingBox::mga_lines_indeces[line];
                if (ends[0] != point && ends[1] != point)
                    continue;
                const CPoint other = points[ends[0] == point ? ends[1] : ends[0]];
                const long dx = other.x - points[point].x, dy = other.y - points[point].y;
                cursor = std::labs(dx) > 2 * std::labs(dy)   ? Cursor::eResizeHorizontal
                         : std::labs(dy) > 2 * std::labs(dx) ? Cursor::eResizeVertical
                         : (dx > 0) == (dy > 0)              ? Cursor::eResizeFalling
                                                             : Cursor::eResizeRising;
            }
        }
    }
    if (!(hover == mo_hover))
        mb_overlay_dirty = true;
    mo_hover = hover;
    me_cursor = cursor;
}

void ViewerState::MouseMove(int x, int y) {
    if (me_drag == Drag::eNone)
        _UpdateHover(x, y);
    else
        _ApplyDrag(x, y);
    mn_last_x = x;
    mn_last_y = y;
}

void ViewerState::MouseDown(Button button, int x, int y) {
    mn_press_x = mn_last_x = x;
    mn_press_y = mn_last_y = y;
    if (button != Button::eLeft) {
        me_drag = button == Button::eMiddle ? Drag::eLook : Drag::ePan;
        return;
    }
    me_drag = Drag::ePending;
    mb_drag_moved = false;
    _UpdateHover(x, y);
    const IVRenderEx::CBoundingBox* gizmo = GetGizmo();
    if (gizmo == nullptr || mo_hover.type == IVRenderEx::CBoundingBox::eMouseOutside)
        return;
    const WindowProjection projection = GetWindowProjection();
    mo_drag_box = GetSelectionBox();
    mv_drag_placements.clear();
    for (size_t index : mv_selection)
        mv_drag_placements.push_back(mo_renderer.GetPlacement(index));
    if (mo_hover.type == IVRenderEx::CBoundingBox::eMouseHandle) {
        mn_drag_axis = BoxEdit::WorldAxis(mo_hover.axis);
        mo_drag_anchor = gizmo->GetVertices()[mo_hover.corner];
        mb_drag_maximum = Get(mo_drag_anchor, mn_drag_axis) > 0.5 * (Get(mo_drag_box.minimum, mn_drag_axis) +
                                                                     Get(mo_drag_box.maximum, mn_drag_axis));
        Ray ray;
        if (BoxEdit::MakeRay(projection, GetCamera().GetEye(), x, y, ray) &&
            BoxEdit::AxisParameter(ray, mo_drag_anchor, mn_drag_axis, md_drag_start))
            me_drag = Drag::eFace;
    } else {
        // The centre moves over the level plane through it, so that furniture keeps to its floor;
        // seen level with it, in the plane facing the view at its own depth.
        mo_drag_anchor = mo_drag_box.Centre();
        Ray ray;
        MMPoint3d<double> window;
        mb_drag_level = BoxEdit::MakeRay(projection, GetCamera().GetEye(), x, y, ray) &&
                        BoxEdit::LevelPoint(ray, mo_drag_anchor.z, mo_drag_start_point);
        if (mb_drag_level) {
            me_drag = Drag::eMove;
        } else if (projection.Transform(window, mo_drag_anchor, false) &&
                   BoxEdit::Unproject(projection, x, y, window.z, mo_drag_start_point)) {
            md_drag_start = window.z;
            me_drag = Drag::eMove;
        }
    }
}

void ViewerState::_ApplyDrag(int x, int y) {
    const int dx = x - mn_last_x, dy = y - mn_last_y;
    switch (me_drag) {
    case Drag::eNone:
        return;
    case Drag::ePending:
        if (std::abs(x - mn_press_x) + std::abs(y - mn_press_y) <= CLICK_SLOP)
            return;
        me_drag = Drag::eOrbit;
        mo_camera.Orbit(-ORBIT_DEGREES_PER_PIXEL * (x - mn_press_x),
                        ORBIT_DEGREES_PER_PIXEL * (y - mn_press_y));
        break;
    case Drag::eOrbit:
        mo_camera.Orbit(-ORBIT_DEGREES_PER_PIXEL * dx, ORBIT_DEGREES_PER_PIXEL * dy);
        break;
    case Drag::ePan: {
        const double scale = _PixelsToWorld();
        mo_camera.Pan(-dx * scale, dy * scale);
        break;
    }
    case Drag::eLook: {
        // The scene follows the mouse: a drag across the window turns the view by its field of view.
        const double degrees = md_fov / double(std::max(mn_width, 1));
        mo_camera.Look(degrees * dx, degrees * dy);
        break;
    }
    case Drag::eFace:
    case Drag::eMove: {
        // A press on the gizmo that stays within the click slop edits nothing: it is a click.
        mb_drag_moved = mb_drag_moved || std::abs(x - mn_press_x) + std::abs(y - mn_press_y) > CLICK_SLOP;
        if (!mb_drag_moved)
            return;
        const WindowProjection projection = GetWindowProjection();
        Bounds box;
        if (me_drag == Drag::eFace) {
            Ray ray;
            double parameter = 0.0;
            if (!BoxEdit::MakeRay(projection, GetCamera().GetEye(), x, y, ray) ||
                !BoxEdit::AxisParameter(ray, mo_drag_anchor, mn_drag_axis, parameter))
                return;
            box = BoxEdit::MoveFace(mo_drag_box, mn_drag_axis, mb_drag_maximum, parameter - md_drag_start);
        } else {
            MMPoint3d<double> point;
            Ray ray;
            if (mb_drag_level ? !BoxEdit::MakeRay(projection, GetCamera().GetEye(), x, y, ray) ||
                                    !BoxEdit::LevelPoint(ray, mo_drag_start_point.z, point)
                              : !BoxEdit::Unproject(projection, x, y, md_drag_start, point))
                return;
            box = BoxEdit::Translate(mo_drag_box,
                                     {point.x - mo_drag_start_point.x, point.y - mo_drag_start_point.y,
                                      point.z - mo_drag_start_point.z});
        }
        for (size_t i = 0; i < mv_selection.size(); ++i)
            mo_renderer.SetPlacement(mv_selection[i], BoxEdit::Map(mv_drag_placements[i], mo_drag_box, box));
        break;
    }
    }
    _ViewChanged();
}

void ViewerState::MouseUp(Button button, int x, int y) {
    if (me_drag == Drag::eNone)
        return;
    MouseMove(x, y);
    // A click selects the object under the mouse; on the gizmo, only when it hits one.
    if (button == Button::eLeft && me_drag == Drag::ePending)
        _Select(x, y, true);
    else if (button == Button::eLeft && (me_drag == Drag::eFace || me_drag == Drag::eMove) && !mb_drag_moved)
        _Select(x, y, false);
    me_drag = Drag::eNone;
    _UpdateHover(x, y);
}

void ViewerState::_Select(int x, int y, bool clear_on_miss) {
    Ray ray;
    std::vector<size_t> selection;
    if (BoxEdit::MakeRay(GetWindowProjection(), GetCamera().GetEye(), x, y, ray))
        if (const std::optional<size_t> picked = ObjectPicker::Pick(mo_scene, mo_renderer, ray)) {
            // A part picks its whole object.
            const std::vector<SceneObject>& objects = mo_scene.GetObjects();
            for (size_t index = 0; index < objects.size(); ++index)
                if (index == *picked ||
                    (objects[*picked].group != 0 && objects[index].group == objects[*picked].group))
                    selection.push_back(index);
        }
    if (!selection.empty() || clear_on_miss)
        _SetSelection(std::move(selection));
}

double ViewerState::_PixelsToWorld() const {
    // Model units per pixel at the target's distance.
    const double fov = md_fov * std::numbers::pi / 180.0;
    const double across = me_projection == Projection::eNone ? 2.0 * std::tan(0.5 * fov) : fov;
    return mo_camera.GetDistance() * across / mn_width;
}

void ViewerState::Wheel(double steps) {
    if (me_projection == Projection::eNone)
        mo_camera.Dolly(std::pow(0.9, steps));
    else {
        md_fov = ClampFov(me_projection, md_fov - FOV_STEP_DEGREES * steps);
        mo_renderer.SetView(me_projection, md_fov);
    }
    _ViewChanged();
    _RefreshHover();
}

void ViewerState::Press(Key key) {
    switch (key) {
    case Key::eProjection:
        me_projection = me_projection == Projection::eNone          ? Projection::eFisheye
                        : me_projection == Projection::eFisheye     ? Projection::eCylindrical
                        : me_projection == Projection::eCylindrical ? Projection::eEquirect
                                                                    : Projection::eNone;
        md_fov = DefaultFov(me_projection);
        break;
    case Key::eFovDown:
    case Key::eFovUp:
        md_fov =
            ClampFov(me_projection, md_fov + (key == Key::eFovUp ? FOV_STEP_DEGREES : -FOV_STEP_DEGREES));
        break;
    case Key::eSortKey:
        // From the key in force (auto resolves by projection and field of view) to the other one.
        mo_renderer.SetSortKey(mo_renderer.GetOptions().GetSortKey() == SortKey::eDistance
                                   ? SortKey::eDirection
                                   : SortKey::eDistance);
        mo_message =
            std::string("transparency sorted by ") + SortKeyName(mo_renderer.GetOptions().GetSortKey());
        mb_frame_dirty = true;
        mb_overlay_dirty = true;
        return;
    case Key::eSkipSort: {
        const auto next =
            std::upper_bound(std::begin(SKIP_SORT_STEPS), std::end(SKIP_SORT_STEPS), md_skip_sort);
        md_skip_sort = next == std::end(SKIP_SORT_STEPS) ? SKIP_SORT_STEPS[0] : *next;
        mo_renderer.SetSkipSortTolerance(md_skip_sort);
        mb_overlay_dirty = true;
        return;
    }
    case Key::eGizmo:
        mb_gizmo = !mb_gizmo;
        mb_gizmo_built = false;
        mb_overlay_dirty = true;
        _RefreshHover();
        return;
    case Key::eSave:
        Save(_NextScreenshotPath());
        return;
    case Key::eReset:
        mo_camera = mo_initial_camera;
        me_projection = mo_options.projection;
        md_fov = mo_options.GetFovDegrees();
        break;
    case Key::eQuit:
        mb_quit = true;
        return;
    case Key::eHelp:
        mb_help = !mb_help;
        mb_overlay_dirty = true;
        return;
    case Key::eWalkForward:
    case Key::eWalkBack:
        mo_camera.Walk(key == Key::eWalkForward ? mo_camera.GetStep() : -mo_camera.GetStep(), 0.0);
        break;
    case Key::eWalkLeft:
    case Key::eWalkRight:
        mo_camera.Walk(0.0, key == Key::eWalkRight ? mo_camera.GetStep() : -mo_camera.GetStep());
        break;
    }
    mo_renderer.SetView(me_projection, md_fov);
    _ViewChanged();
    _RefreshHover();
}

void ViewerState::_RefreshHover() {
    // The handles moved under a mouse that did not: what it is over now.
    if (me_drag == Drag::eNone)
        _UpdateHover(mn_last_x, mn_last_y);
}

std::string ViewerState::_NextScreenshotPath() {
    const std::filesystem::path path(mo_options.output);
    char number[16];
    std::snprintf(number, sizeof number, "_%04d", mn_screenshots++);
    return (path.parent_path() / (path.stem().string() + number + path.extension().string())).string();
}

bool ViewerState::Save(const std::string& path) {
    mb_overlay_dirty = true;
    try {
        // What the state shows now, including an input that came in since the last frame.
        if (NeedsUpdate())
            Update();
        PngWriter::Write(path, mv_image.data(), mn_width, mn_height);
        mo_message = "saved " + path;
        return true;
    } catch (const std::exception& error) {
        mo_message = error.what();
        return false;
    }
}

std::wstring ViewerState::GetStatusLine() const {
    const double total = md_frame_ms + md_overlay_ms + md_present_ms;
    char line[256];
    std::snprintf(
        line, sizeof line, "%.0f fps  %llu triangles  %s by %s  %s %.0f\u00b0  skip-sort %.0f\u00b0",
        total > 0.0 ? 1000.0 / total : 0.0, static_cast<unsigned long long>(mo_stats.triangles),
        mo_stats.sorted ? "sorted" : "sort skipped", SortKeyName(mo_renderer.GetOptions().GetSortKey()),
        ProjectionName(me_projection), md_fov, md_skip_sort);
    std::string text = line;
    if (!mo_message.empty())
        text += "  |  " + mo_message;
    return Overlay::Widen(text);
}

void ViewerState::Update() {
    bool drawn = false;
    if (mb_frame_dirty) {
        const Clock::time_point start = Clock::now();
        try {
            mo_stats = mo_renderer.RenderFrom(GetCamera());
        } catch (const std::exception& error) {
            mo_message = std::string("drawing failed: ") + error.what();
        }
        md_frame_ms = Milliseconds(start, Clock::now());
        mb_frame_dirty = false;
        mb_overlay_dirty = true;
        drawn = true;
    }
    if (mb_overlay_dirty) {
        const Clock::time_point start = Clock::now();
        _Compose();
        md_overlay_ms = Milliseconds(start, Clock::now());
        mb_overlay_dirty = false;
    }
    if (drawn && mp_stats != nullptr) {
        mo_stats.frame = mn_frames;
        char times[96];
        std::snprintf(times, sizeof times, " overlay_ms=%.3f present_ms=%.3f", md_overlay_ms, md_present_ms);
        *mp_stats << mo_stats.ToLine() << times << '\n';
    }
    if (drawn)
        ++mn_frames;
}

void ViewerState::_Compose() {
    const size_t bytes = size_t(mn_width) * size_t(mn_height) * 4;
    const uint8_t* pixels = mo_renderer.GetPixels();
    if (mo_renderer.GetWidth() == mn_width && mo_renderer.GetHeight() == mn_height && pixels != nullptr)
        mv_image.assign(pixels, pixels + bytes);
    else
        mv_image.assign(bytes, 0);
    const WindowProjection projection = GetWindowProjection();
    ViewerOverlay::Content content;
    content.gizmo = GetGizmo();
    content.hover = mo_hover;
    content.box = GetSelectionBox();
    content.projection = &projection;
    content.status = GetStatusLine();
    content.help = mb_help;
    mo_overlay.Draw(mv_image.data(), mn_width, mn_height, content);
}

std::string ViewerState::Describe() {
    static const char* const HOVERS[] = {"none", "centre", "handle"};
    std::string text = std::string("projection=") + ProjectionName(me_projection);
    char buffer[192];
    std::snprintf(buffer, sizeof buffer,
                  " fov=%.6g skip_sort=%.6g sort_key=%s gizmo=%d help=%d size=%dx%d hover=%s", md_fov,
                  md_skip_sort, SortKeyName(mo_renderer.GetOptions().GetSortKey()), mb_gizmo ? 1 : 0,
                  mb_help ? 1 : 0, mn_width, mn_height, HOVERS[mo_hover.type]);
    text += buffer;
    if (mo_hover.type == IVRenderEx::CBoundingBox::eMouseHandle) {
        std::snprintf(buffer, sizeof buffer, " corner=%d axis=%d", mo_hover.corner, mo_hover.axis);
        text += buffer;
    }
    text += " selected=";
    for (size_t i = 0; i < mv_selection.size(); ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(mv_selection[i]);
    }
    const Bounds box = GetSelectionBox();
    if (!box.IsEmpty()) {
        // In model units, as the files and --eye give them, not about the scene's world offset.
        const MMPoint3d<double>& offset = mo_scene.GetWorldOffset();
        std::snprintf(buffer, sizeof buffer, " box=%.9g,%.9g,%.9g,%.9g,%.9g,%.9g", box.minimum.x + offset.x,
                      box.minimum.y + offset.y, box.minimum.z + offset.z, box.maximum.x + offset.x,
                      box.maximum.y + offset.y, box.maximum.z + offset.z);
        text += buffer;
    }
    if (const IVRenderEx::CBoundingBox* gizmo = GetGizmo()) {
        text += " corners=";
        for (int i = 0; i < 9; ++i) {
            std::snprintf(buffer, sizeof buffer, "%s%d:%d", i > 0 ? "," : "",
                          int(gizmo->GetVerticesOnScreen()[i].x), int(gizmo->GetVerticesOnScreen()[i].y));
            text += buffer;
        }
        std::snprintf(buffer, sizeof buffer, " near=%d", int(gizmo->mn_min_z_vertex));
        text += buffer;
    }
    return text;
}
