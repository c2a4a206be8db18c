#include "apps/SceneLoader.h"

#include "apps/BuiltInScene.h"
#include "apps/ModelReader.h"
#include "apps/RoomScene.h"

#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace {

// Colours of the model files, in turn; their alpha byte comes from --alpha.
constexpr uint32_t FILE_COLOURS[] = {
    MMaterial::MakeColour(170, 185, 205, 255), MMaterial::MakeColour(230, 140, 40, 255),
    MMaterial::MakeColour(80, 190, 110, 255),  MMaterial::MakeColour(200, 70, 70, 255),
    MMaterial::MakeColour(150, 110, 210, 255), MMaterial::MakeColour(220, 200, 80, 255),
};

Scene ReadScene(const Options& options) {
    if (options.meshes.empty())
        return options.scene == SceneKind::eRoom ? RoomScene::Make() : BuiltInScene::Make(MUnit::GetIE());
    Scene scene;
    const bool transparent = options.alpha < 1.0;
    const auto alpha = uint32_t(std::lround(options.alpha * 255.0));
    for (size_t i = 0; i < options.meshes.size(); ++i) {
        const uint32_t colour =
            (FILE_COLOURS[i % std::size(FILE_COLOURS)] & 0x00FFFFFFu) | (std::max(alpha, 1u) << 24);
        for (StlMesh& mesh : ModelReader().ReadFile(options.meshes[i])) {
            const bool textured = !mesh.texture_coordinates.empty();
            scene.AddMesh(std::move(mesh), options.meshes[i], textured ? colour | 0x00FFFFFFu : colour,
                          transparent);
        }
    }
    return scene;
}

} // namespace

Scene SceneLoader::Load(const Options& options, const std::string& program, std::ostream& errors) {
    Scene scene = ReadScene(options);
    scene.Recentre();
    if (const uint64_t degenerate = scene.GetNumDegenerateTriangles(); degenerate > 0)
        errors << program << ": " << degenerate << " degenerate triangles left out (corners coincide)\n";
    return scene;
}
