#include "apps/SceneLoader.h"

#include "apps/BuiltInScene.h"
#include "apps/ModelReader.h"
#include "apps/RoomScene.h"

#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <utility>

namespace {

// Colours of the model files, in turn, for meshes without a material colour of their own.
constexpr uint32_t FILE_COLOURS[] = {
    MMaterial::MakeColour(170, 185, 205, 255), MMaterial::MakeColour(230, 140, 40, 255),
    MMaterial::MakeColour(80, 190, 110, 255),  MMaterial::MakeColour(200, 70, 70, 255),
    MMaterial::MakeColour(150, 110, 210, 255), MMaterial::MakeColour(220, 200, 80, 255),
};

Scene ReadScene(const Options& options) {
    if (options.meshes.empty())
        return options.scene == SceneKind::eRoom ? RoomScene::Make() : BuiltInScene::Make(MUnit::GetIE());
    Scene scene;
    const auto byte = [](double unit) { return uint8_t(std::lround(unit * 255.0)); };
    uint32_t groups = 0;
    for (size_t i = 0; i < options.meshes.size(); ++i) {
        std::map<std::string, uint32_t> group_of_object;
        for (StlMesh& mesh : ModelReader().ReadFile(options.meshes[i])) {
            uint32_t group = 0;
            if (!mesh.object.empty()) {
                const auto [at, added] = group_of_object.try_emplace(mesh.object, groups + 1);
                groups += added ? 1 : 0;
                group = at->second;
            }
            // An image shows in its own colours; a material's opacity and --alpha multiply.
            uint32_t colour = FILE_COLOURS[i % std::size(FILE_COLOURS)];
            if (!mesh.texture_coordinates.empty())
                colour = 0xFFFFFFFFu;
            else if (mesh.diffuse)
                colour = MMaterial::MakeColour(byte((*mesh.diffuse)[0]), byte((*mesh.diffuse)[1]),
                                               byte((*mesh.diffuse)[2]), 255);
            const double opacity = options.alpha * double(mesh.opacity);
            colour = (colour & 0x00FFFFFFu) | uint32_t(std::max<uint8_t>(byte(opacity), 1)) << 24;
            const std::string name =
                mesh.object.empty() ? options.meshes[i] : options.meshes[i] + ": " + mesh.object;
            scene.AddMesh(std::move(mesh), name, colour, opacity < 1.0).group = group;
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
