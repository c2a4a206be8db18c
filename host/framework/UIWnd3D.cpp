#include "host/framework/UIWnd3D.h"

#include "host/framework/MCameraTransform.h"
#include "host/math/MMTransformMatrix.h"

UIWnd3D::UIWnd3D(int width, int height)
    : mn_width(width), mn_height(height),
      mo_window_system(MCoordinateSystem::MakeViewed(std::make_shared<MMTransformMatrix>())) {}

UIWnd3D::~UIWnd3D() = default;

void UIWnd3D::SetCamera(const MMPoint3d<double>& eye, const MMPoint3d<double>& target,
                        const MMPoint3d<double>& up, double vertical_fov) {
    SetWorldToWindow(std::make_shared<MCameraTransform>(eye, target, up, vertical_fov, mn_width, mn_height));
}

void UIWnd3D::SetWorldToWindow(std::shared_ptr<const MMTransform> world_to_window) {
    mo_window_system = MCoordinateSystem::MakeViewed(std::move(world_to_window));
}
