#include "apps/viewer/ViewCamera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double MAX_ELEVATION_DEGREES = 89.0;

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

} // namespace

ViewCamera::ViewCamera(const Camera& camera, const Bounds& scene)
    : mo_target(camera.GetTarget()), mo_scene_centre(scene.IsEmpty() ? camera.GetTarget() : scene.Centre()),
      md_scene_radius(scene.IsEmpty() ? 1.0 : std::max(scene.Radius(), 1e-6)) {
    const MMPoint3d<double>& eye = camera.GetEye();
    const double dx = eye.x - mo_target.x, dy = eye.y - mo_target.y, dz = eye.z - mo_target.z;
    md_distance = std::max(std::sqrt(dx * dx + dy * dy + dz * dz), 1e-9);
    md_azimuth = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    md_elevation = std::clamp(std::asin(std::clamp(dz / md_distance, -1.0, 1.0)) * 180.0 / std::numbers::pi,
                              -MAX_ELEVATION_DEGREES, MAX_ELEVATION_DEGREES);
}

void ViewCamera::Orbit(double azimuth_degrees, double elevation_degrees) {
    md_azimuth = std::remainder(md_azimuth + azimuth_degrees, 360.0);
    md_elevation =
        std::clamp(md_elevation + elevation_degrees, -MAX_ELEVATION_DEGREES, MAX_ELEVATION_DEGREES);
}

void ViewCamera::Pan(double right, double up) {
    // The image's right and up directions for this azimuth and elevation (z up).
    const double azimuth = Radians(md_azimuth), elevation = Radians(md_elevation);
    const MMPoint3d<double> forward{-std::cos(elevation) * std::cos(azimuth),
                                    -std::cos(elevation) * std::sin(azimuth), -std::sin(elevation)};
    const MMPoint3d<double> right_direction{-std::sin(azimuth), std::cos(azimuth), 0.0};
    const MMPoint3d<double> up_direction{right_direction.y * forward.z - right_direction.z * forward.y,
                                         right_direction.z * forward.x - right_direction.x * forward.z,
                                         right_direction.x * forward.y - right_direction.y * forward.x};
    mo_target = {mo_target.x + right * right_direction.x + up * up_direction.x,
                 mo_target.y + right * right_direction.y + up * up_direction.y,
                 mo_target.z + right * right_direction.z + up * up_direction.z};
}

void ViewCamera::Dolly(double factor) {
    if (std::isfinite(factor) && factor > 0.0)
        md_distance = std::clamp(md_distance * factor, md_scene_radius * 1e-3, md_scene_radius * 1e3);
}

void ViewCamera::Look(double azimuth_degrees, double elevation_degrees) {
    // The stored angles point from the target to the eye, that is against the view: turning the
    // view to the left turns them the same way, looking up lowers them.
    const MMPoint3d<double> eye = GetEye();
    Orbit(azimuth_degrees, -elevation_degrees);
    const double azimuth = Radians(md_azimuth), elevation = Radians(md_elevation);
    mo_target = {eye.x - md_distance * std::cos(elevation) * std::cos(azimuth),
                 eye.y - md_distance * std::cos(elevation) * std::sin(azimuth),
                 eye.z - md_distance * std::sin(elevation)};
}

void ViewCamera::Walk(double forward, double right) {
    const double azimuth = Radians(md_azimuth);
    // Level forward is (-cos, -sin), against the stored angle; the image's right is that turned
    // clockwise seen from above.
    mo_target = {mo_target.x - forward * std::cos(azimuth) - right * std::sin(azimuth),
                 mo_target.y - forward * std::sin(azimuth) + right * std::cos(azimuth), mo_target.z};
}

MMPoint3d<double> ViewCamera::GetEye() const {
    const double azimuth = Radians(md_azimuth), elevation = Radians(md_elevation);
    return {mo_target.x + md_distance * std::cos(elevation) * std::cos(azimuth),
            mo_target.y + md_distance * std::cos(elevation) * std::sin(azimuth),
            mo_target.z + md_distance * std::sin(elevation)};
}

Camera ViewCamera::MakeCamera(int width, int height, Projection projection, double fov_degrees) const {
    // The panoramic projections draw through a 90 degree linear canvas, as the renderer does.
    const MMPoint3d<double> eye = GetEye();
    Camera camera(eye, mo_target, width, height, projection == Projection::eNone ? fov_degrees : 90.0);
    const double dx = eye.x - mo_scene_centre.x, dy = eye.y - mo_scene_centre.y,
                 dz = eye.z - mo_scene_centre.z;
    const double reach = std::sqrt(dx * dx + dy * dy + dz * dz) + 2.0 * md_scene_radius;
    camera.SetDepthRange(std::max(reach * 1e-4, 1e-6), reach * 4.0);
    return camera;
}
