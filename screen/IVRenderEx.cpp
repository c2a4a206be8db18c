#include "screen/IVRenderEx.h"

#include "host/framework/MTransformRepository.h"
#include "host/framework/UIObject.h"
#include "host/framework/UIWnd3D.h"
#include "host/render/IVRender.h"
#include "screen/ScreenMath.h"

#include <memory>

using namespace VantrelScreen;

namespace {

// The transform from the object's coordinate system to the window's, owned by the repository; the
// window's system is a temporary that dies right after the call.
const MMTransform& ObjectToWindow(UIObject& object, UIWnd3D& window) {
    return MTransformRepository::mgp_instance->GetTransform(object.GetCoordinateSystem(),
                                                            window.GetCoordinateSystemWindow());
}

} // namespace

IVRenderEx::IVRenderEx(IVRender* render) : mp_render(render) {}

IVRenderEx::IVRenderEx(const IVRenderEx& other) : mp_render(other.mp_render) {}

IVRenderEx::~IVRenderEx() = default;

void IVRenderEx::Draw3dBorder(M3dBorderFloat&) {}

void IVRenderEx::RenderTriangles(std::deque<IVVertexPN>& vertices, bool backfaceVisible, bool) {
    if (mp_render == nullptr)
        return;
    mp_render->SetBackfaceVisible(backfaceVisible, false);
    // Owned here from now on; the unique_ptr deletes it also when an exception passes.
    const std::unique_ptr<IIVVertexStream<IVVertexPN>> stream = mp_render->GetVertexStreamPN();
    if (stream == nullptr)
        return;
    stream->BeginTriangles();
    for (size_t i = 0; i + 2 < vertices.size(); i += 3) {
        const IVVertexPN& a = vertices[i];
        const IVVertexPN& b = vertices[i + 1];
        const IVVertexPN& c = vertices[i + 2];
        // Flat shading: the first vertex's normal on all three corners.
        const IVVertexPN first{a.x, a.y, a.z, a.nx, a.ny, a.nz};
        const IVVertexPN second{b.x, b.y, b.z, a.nx, a.ny, a.nz};
        const IVVertexPN third{c.x, c.y, c.z, a.nx, a.ny, a.nz};
        stream->AddTriangle(first, second, third);
    }
    stream->End();
}

void IVRenderEx::GetBoundingBox(M3DBoundingBox<float>& box, UIObject* object) {
    if (object == nullptr)
        return;
    static_cast<const IRender&>(object->GetRender()).GetBoundingBox(box, uint64_t(0x00000000FFFFFFFFull));
}

bool IVRenderEx::Get3DPointInWindowCoordinates(CPoint* out, const MMPoint3d<double>* in, UIObject* object,
                                               UIWnd3D* window, uint64_t count) {
    if (object == nullptr || window == nullptr || (count > 0 && (out == nullptr || in == nullptr)))
        return false;
    const MMTransform& transform = ObjectToWindow(*object, *window);
    MMPoint3d<double> scratch(0.0, 0.0, 0.0);
    for (uint64_t i = 0; i < count; ++i) {
        if (!transform.Transform(scratch, in[i], false))
            return false;
        out[i] = CPoint(RoundHalfAway(scratch.x), RoundHalfAway(scratch.y));
    }
    return true;
}

bool IVRenderEx::Get3DPointInWindowCoordinates(MMPoint3d<double>* out, const MMPoint3d<double>* in,
                                               UIObject* object, UIWnd3D* window, uint64_t count) {
    if (object == nullptr || window == nullptr || (count > 0 && (out == nullptr || in == nullptr)))
        return false;
    const MMTransform& transform = ObjectToWindow(*object, *window);
    for (uint64_t i = 0; i < count; ++i)
        if (!transform.Transform(out[i], in[i], false))
            return false;
    return true;
}
