// PanoramaExample: two rows of see-through boxes seen through a 180 degree fisheye, written as a PNG.
//
// It shows the road a client takes through the library: meshes in internal units, the panoramic
// device from its factory, a fisheye transform from Vantrel::camera, and one transparent pass of
// IVTransparencyCache. Usage: PanoramaExample [output.png]
#include "apps/Camera.h"
#include "apps/FisheyeTransform.h"
#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "pano/IVRenderFactoryStubSoftPano.h"
#include "pano/IVRenderSoftPano.h"
#include "transparency/IVTransparencyCache.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// A cube of `size` model units about `centre`, as a mesh in internal units (integer coordinates,
// MUnit::GetIE() per model unit). Each face is split into n x n quads: the panoramic device bends
// vertices only and draws straight edges between them, so finer faces curve more smoothly.
std::unique_ptr<MStlBase> MakeCube(const MMPoint3d<double>& centre, double size, int n) {
    const double scale = MUnit::GetIE();
    std::vector<MStlMeshBuilder::Point> points;
    std::vector<MStlMeshBuilder::Triangle> triangles;
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = -1; side <= 1; side += 2) {
            const uint32_t first = uint32_t(points.size());
            for (int j = 0; j <= n; ++j) {
                for (int i = 0; i <= n; ++i) {
                    double offset[3];
                    offset[axis] = 0.5 * side;
                    offset[(axis + 1) % 3] = (double(i) / n - 0.5) * side; // keeps the faces outward
                    offset[(axis + 2) % 3] = double(j) / n - 0.5;
                    points.push_back({int32_t(std::lround((centre.x + size * offset[0]) * scale)),
                                      int32_t(std::lround((centre.y + size * offset[1]) * scale)),
                                      int32_t(std::lround((centre.z + size * offset[2]) * scale))});
                }
            }
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    const uint32_t corner = first + uint32_t(j * (n + 1) + i),
                                   above = corner + uint32_t(n + 1);
                    triangles.push_back({corner, corner + 1, above + 1});
                    triangles.push_back({corner, above + 1, above});
                }
            }
        }
    }
    return MStlMeshBuilder::Make(points, triangles);
}

bool WritePng(const char* path, const IVDisplaySurfaceSoft& surface) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(surface.GetWidth());
    image.height = png_uint_32(surface.GetHeight());
    image.format = PNG_FORMAT_RGBA; // the surface's bytes: red, green, blue, alpha; rows top down
    if (png_image_write_to_file(&image, path, 0, surface.GetPixels(), 0, nullptr) == 0) {
        std::fprintf(stderr, "PanoramaExample: cannot write %s: %s\n", path, image.message);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "panorama.png";
    const int width = 640, height = 480;

    // The scene, in model units: a near row and a far row of cubes across the view, z up.
    std::vector<std::unique_ptr<MStlBase>> cubes;
    std::vector<uint32_t> colours;
    for (int row = 0; row < 2; ++row) {
        for (int column = -2; column <= 2; ++column) {
            cubes.push_back(MakeCube({2.0 * column + 1.0 * row, 2.0 + 2.5 * row, 0.0}, 1.2, 6));
            const uint8_t alpha = row == 0 ? 110 : 220;
            colours.push_back(column % 2 == 0 ? MMaterial::MakeColour(230, 80, 60, alpha)
                                              : MMaterial::MakeColour(70, 150, 230, alpha));
        }
    }

    // The viewer, and a fisheye that shows half of everything around it. The device draws through
    // the fisheye and then through a linear "canvas" camera that the transform is made for.
    const Camera viewer({0.0, -0.5, 1.6}, {0.0, 4.0, 0.0}, width, height, 90.0);
    FisheyeTransform fisheye(viewer, 180.0);
    const Camera canvas = PanoramicTransform::MakeCanvasCamera(viewer);

    // The panoramic device comes from its factory. Its class is not exported (only SetTransform
    // is), so dynamic_cast cannot find it: the factory's device is always one, so static_cast.
    IVRenderFactoryStubSoftPano factory;
    factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
    IVRenderSoftPano& device = *static_cast<IVRenderSoftPano*>(factory.GetDevice());
    float matrix[16];
    canvas.GetWorldEye(matrix);
    device.SetTransformWorldEye(matrix);
    canvas.GetEyeWindow(matrix);
    device.SetTransformEyeWindow(matrix);
    device.SetTransform(&fisheye); // borrowed: it must outlive the drawing

    IVDisplaySurfaceSoft surface(width, height);
    surface.Clear(MMaterial::MakeColour(40, 44, 52, 255));
    {
        // The cache holds a stream of the device: it goes before the factory destroys the device.
        IVTransparencyCache cache(&device);
        device.StartFrame(&surface, nullptr);
        device.EnableLighting(true);

        // Eye and view direction in the meshes' own coordinates (internal units); the matrix maps
        // mesh coordinates to the world in model units, here 1 / IE. The device's material at
        // AddSTL time becomes the mesh's colour, alpha included.
        const float internal_units = float(MUnit::GetIE());
        float eye[3] = {float(viewer.GetEye().x) * internal_units, float(viewer.GetEye().y) * internal_units,
                        float(viewer.GetEye().z) * internal_units};
        float direction[3] = {float(viewer.GetForward().x), float(viewer.GetForward().y),
                              float(viewer.GetForward().z)};
        MMTransformMatrix mesh_to_world;
        mesh_to_world.MakeScale(1.0 / internal_units, 1.0 / internal_units, 1.0 / internal_units);
        for (size_t index = 0; index < cubes.size(); ++index) {
            device.SetMaterialFront(MMaterial(colours[index]));
            cache.AddSTL(cubes[index].get(), eye, direction, mesh_to_world);
        }
        cache.RenderStlTransparentPN(&device); // sorted back to front, blended in one pass
        device.StopFrame();
        std::printf("%llu transparent triangles drawn\n",
                    static_cast<unsigned long long>(cache.GetNumTriangle()));
    }
    device.SetTransform(nullptr);
    factory.Destroy();
    return WritePng(path, surface) ? 0 : 1;
}
