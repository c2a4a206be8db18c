// OBJ with materials and textures, and the choice of reader by extension. Files are made in a
// scratch folder: images through stb's writers, so that the decoded pixels can be compared.
#include "apps/ModelReader.h"
#include "apps/FrameRenderer.h"
#include "apps/InputError.h"
#include "apps/Scene.h"
#include "apps/SceneLoader.h"

#include "host/render/soft/IVTextureSoft.h"
#include "tests/apps/StlTestFiles.h"

#include <stb/stb_image_write.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using ::testing::HasSubstr;

namespace {

// 4 x 2 pixels, all different, top row first.
const std::vector<uint8_t> PIXELS = {255, 0,   0,   255, 0,   255, 0,   255, 0,   0,   255,
                                     255, 255, 255, 0,   255, 0,   255, 255, 255, 255, 0,
                                     255, 255, 10,  20,  30,  255, 200, 100, 50,  255};

const std::string MATERIALS = "newmtl board\nKd 1 1 1\nmap_Kd board.png\nnewmtl paint\nKd 0.8 0.2 0.2\n";
// A textured unit square (two triangles after triangulation) and a plain triangle.
const std::string MODEL = "mtllib scene.mtl\n"
                          "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\nv 0 0 5\n"
                          "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                          "usemtl board\nf 1/1 2/2 3/3 4/4\n"
                          "usemtl paint\nf 1 2 5\n";

std::string ErrorOf(const std::string& path) {
    return ::ErrorOf([&] { ModelReader().ReadFile(path); });
}

class ModelReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(stbi_write_png(mo_directory.Path("board.png").c_str(), 4, 2, 4, PIXELS.data(), 16), 0);
        mo_directory.Write("scene.mtl", MATERIALS);
        mo_directory.Write("scene.obj", MODEL);
    }
    ScratchDirectory mo_directory;
};

} // namespace

TEST_F(ModelReaderTest, ObjWithMaterialsGivesATexturedMeshAndAPlainOne) {
    const std::vector<StlMesh> meshes = ModelReader().ReadFile(mo_directory.Path("scene.obj"));
    ASSERT_EQ(meshes.size(), 2u);
    const StlMesh& textured = meshes[0];
    const StlMesh& plain = meshes[1];
    EXPECT_EQ(plain.triangles.size(), 1u);
    EXPECT_TRUE(plain.texture_coordinates.empty());
    EXPECT_EQ(plain.texture, nullptr);
    EXPECT_EQ(plain.diffuse, (std::array<float, 3>{0.8f, 0.2f, 0.2f}));
    EXPECT_FALSE(textured.diffuse) << "an image shows in its own colours";
    ASSERT_EQ(textured.triangles.size(), 2u);
    EXPECT_EQ(textured.points.size(), 4u) << "the square's diagonal is welded";
    ASSERT_NE(textured.texture, nullptr);
    EXPECT_EQ(textured.texture->width, 4);
    EXPECT_EQ(textured.texture->height, 2);
    EXPECT_EQ(textured.texture->rgba, PIXELS);
    // The square's texture coordinates are its x / 2 and y; v counts down from the image's top row.
    for (size_t triangle = 0; triangle < 2; ++triangle)
        for (size_t corner = 0; corner < 3; ++corner) {
            const auto& point = textured.points[textured.triangles[triangle][corner]];
            EXPECT_EQ(textured.texture_coordinates[triangle][corner], float(point[0] / 2));
            EXPECT_EQ(textured.texture_coordinates[triangle][3 + corner], float(1 - point[1]));
        }

    // The scene puts the image on the object and the coordinates on every triangle.
    Scene scene;
    for (const StlMesh& mesh : meshes)
        scene.AddMesh(mesh, "scene.obj", 0xFFFFFFFFu, false);
    const SceneObject& object = scene.GetObjects()[0];
    ASSERT_TRUE(object.texture);
    EXPECT_EQ(object.texture->GetWidth(), 4);
    EXPECT_FALSE(scene.GetObjects()[1].texture);

    // Drawn through the textured container: the square, seen from above, covers the image's middle.
    // See-through at half opacity it is still textured, each texel half over the background.
    Options options;
    options.width = 64;
    options.height = 48;
    options.eye = MMPoint3d<double>{1, 0.5, 3};
    options.target = MMPoint3d<double>{1, 0.5, 0};
    for (const bool transparent : {false, true}) {
        Scene square;
        square.AddMesh(meshes[0], "square", transparent ? 0x80FFFFFFu : 0xFFFFFFFFu, transparent);
        FrameRenderer renderer(square, options);
        renderer.Render(0);
        const uint8_t* background = renderer.GetPixels(); // a corner
        // The texels of the top row show in their own colours, give or take the light.
        for (size_t texel = 0; texel < 4; ++texel) {
            int colour[3];
            for (int k = 0; k < 3; ++k)
                colour[k] = transparent ? (PIXELS[4 * texel + k] + background[k]) / 2 : PIXELS[4 * texel + k];
            bool seen = false;
            for (int pixel = 0; pixel < 64 * 48 && !seen; ++pixel) {
                const uint8_t* drawn = renderer.GetPixels() + 4 * pixel;
                seen = std::abs(drawn[0] - colour[0]) + std::abs(drawn[1] - colour[1]) +
                           std::abs(drawn[2] - colour[2]) <=
                       (transparent ? 30 : 60);
            }
            EXPECT_TRUE(seen) << (transparent ? "see-through: " : "") << "texel " << texel << " ("
                              << colour[0] << "," << colour[1] << "," << colour[2]
                              << ") is not in the picture";
        }
    }

    MStlTexture* texture = object.mesh->GetTextureFactory(true)->GetTextures().at(0);
    texture->_SpreadInvalidity();
    texture->_ValidateVector();
    ASSERT_EQ(texture->GetTriangles().size(), 2u);
    MStlTextureCoordinates coordinates;
    ASSERT_TRUE(texture->GetCoordinates(texture->GetTriangles()[1], coordinates, true));
    const auto& expected = meshes[0].texture_coordinates[1];
    EXPECT_EQ((std::array<float, 6>{coordinates.ma_u[0], coordinates.ma_u[1], coordinates.ma_u[2],
                                    coordinates.ma_v[0], coordinates.ma_v[1], coordinates.ma_v[2]}),
              expected);
}

// Each material's colour and opacity reach its mesh's colour word, multiplied by --alpha; faces
// whose material gives neither share the file's own colour.
TEST_F(ModelReaderTest, MaterialsColourAndOpacityTheirFacesThroughTheLoader) {
    const struct {
        const char* material; // the lines after "newmtl m"
        double alpha;         // --alpha
        uint32_t colour;      // the one mesh's colour word
        bool transparent;
    } cases[] = {
        {"Kd 1 0.5 0\n", 1.0, 0xFF0080FFu, false},
        {"Kd 1 0.5 0\nd 0.4\n", 1.0, 0x660080FFu, true},
        {"Kd 1 0.5 0\nTr 0.25\n", 0.5, 0x600080FFu, true}, // 0.75 x 0.5
        {"Kd 2 -1 0.2\n", 1.0, 0xFF3300FFu, false},        // clamped
        {"Kd 0 0 0\n", 1.0, 0xFF000000u, false},           // black, when said
        {"Ns 10\n", 1.0, 0xFFCDB9AAu, false},              // no Kd: the file's colour
        {"d 0.5\n", 1.0, 0x80CDB9AAu, true},               // the file's colour, see-through
        {"Ns 10\n", 0.2, 0x33CDB9AAu, true},
    };
    for (const auto& entry : cases) {
        mo_directory.Write("m.mtl", std::string("newmtl m\n") + entry.material);
        Options options;
        options.meshes = {mo_directory.Write("m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl m\n"
                                                      "f 1 2 3\n")};
        options.alpha = entry.alpha;
        std::ostringstream errors;
        const Scene scene = SceneLoader::Load(options, "test", errors);
        ASSERT_EQ(scene.GetObjects().size(), 1u) << entry.material;
        EXPECT_EQ(scene.GetObjects()[0].colour, entry.colour)
            << entry.material << std::hex << " expected " << entry.colour << ", got "
            << scene.GetObjects()[0].colour;
        EXPECT_EQ(scene.GetObjects()[0].transparent, entry.transparent) << entry.material;
    }

    // Two materials (in a library with Windows line ends) and faces without one make three meshes,
    // in material order after the plain ones.
    mo_directory.Write("two.mtl", "newmtl red\r\nKd 1 0 0\r\nnewmtl blue\r\nKd 0 0 1\r\n");
    const auto meshes = ModelReader().ReadFile(mo_directory.Write(
        "two.obj", "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\nusemtl blue\nf 1 2 4\n"
                   "usemtl red\nf 1 3 4\nf 2 3 4\n"));
    ASSERT_EQ(meshes.size(), 3u);
    EXPECT_EQ(meshes[0].triangles.size(), 1u);
    EXPECT_FALSE(meshes[0].diffuse);
    EXPECT_EQ(meshes[1].triangles.size(), 2u);
    EXPECT_EQ(meshes[1].diffuse, (std::array<float, 3>{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(meshes[2].diffuse, (std::array<float, 3>{0.0f, 0.0f, 1.0f}));
}

// Each object's parts in different materials are meshes of their own that keep the object's name;
// an image two objects use is decoded once, and the scene makes one texture of it.
TEST_F(ModelReaderTest, ObjectsKeepTheirPartsApartAndShareTheirImages) {
    mo_directory.Write("objects.mtl", "newmtl red\nKd 1 0 0\n" + MATERIALS);
    Options options;
    options.meshes = {mo_directory.Write("objects.obj",
                                         "mtllib objects.mtl\n"
                                         "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
                                         "o chair\nusemtl board\nf 1/1 2/2 4/3\nusemtl red\nf 1 2 3\n"
                                         "o table\nusemtl red\nf 2 3 4\nusemtl board\nf 1/1 3/2 4/3\n"
                                         "o chair\nusemtl red\nf 1 3 4\n")};
    const std::vector<StlMesh> meshes = ModelReader().ReadFile(options.meshes[0]);
    const struct {
        const char* object;
        size_t triangles;
        bool textured;
    } expected[] = {{"chair", 2, false}, {"chair", 1, true}, {"table", 1, false}, {"table", 1, true}};
    ASSERT_EQ(meshes.size(), std::size(expected));
    for (size_t i = 0; i < meshes.size(); ++i) {
        EXPECT_EQ(meshes[i].object, expected[i].object) << "mesh " << i;
        EXPECT_EQ(meshes[i].triangles.size(), expected[i].triangles) << "mesh " << i;
        EXPECT_EQ(meshes[i].texture != nullptr, expected[i].textured) << "mesh " << i;
    }
    EXPECT_EQ(meshes[1].texture, meshes[3].texture);

    std::ostringstream errors;
    const Scene scene = SceneLoader::Load(options, "test", errors);
    const auto& objects = scene.GetObjects();
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0].group, objects[1].group);
    EXPECT_EQ(objects[2].group, objects[3].group);
    EXPECT_NE(objects[0].group, objects[2].group);
    EXPECT_NE(objects[0].group, 0u);
    EXPECT_EQ(objects[1].texture, objects[3].texture);
}

TEST_F(ModelReaderTest, ExtensionChoosesTheReaderInAnyCaseAndJpegTexturesAreDecoded) {
    mo_directory.Write("upper.OBJ", MODEL);
    EXPECT_EQ(ModelReader().ReadFile(mo_directory.Path("upper.OBJ")).size(), 2u);
    const std::vector<uint8_t> square = MakeBinaryStl(UnitSquare());
    for (const char* name : {"part.stl", "PART.STL", "part"}) {
        const auto meshes = ModelReader().ReadFile(mo_directory.Write(name, square));
        ASSERT_EQ(meshes.size(), 1u) << name;
        EXPECT_EQ(meshes[0].triangles.size(), 2u) << name;
    }
    EXPECT_EQ(ErrorOf(mo_directory.Write("part.ply", square)),
              mo_directory.Path("part.ply") +
                  ": unsupported mesh format '.ply' (STL and OBJ files are read)");

    std::vector<uint8_t> grey(16 * 8 * 3, 128);
    ASSERT_NE(stbi_write_jpg(mo_directory.Path("board.jpg").c_str(), 16, 8, 3, grey.data(), 95), 0);
    mo_directory.Write("jpeg.mtl", "newmtl board\nmap_Kd board.jpg\n");
    mo_directory.Write("jpeg.obj",
                       "mtllib jpeg.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nusemtl board\nf 1/1 2/1 3/1\n");
    const auto meshes = ModelReader().ReadFile(mo_directory.Path("jpeg.obj"));
    ASSERT_EQ(meshes.size(), 1u);
    ASSERT_NE(meshes[0].texture, nullptr);
    EXPECT_EQ(meshes[0].texture->width, 16);
    EXPECT_EQ(meshes[0].texture->rgba.size(), 16u * 8u * 4u);
    EXPECT_NEAR(meshes[0].texture->rgba[0], 128, 3);
}

TEST_F(ModelReaderTest, EveryBadInputGetsItsOneLineError) {
    mo_directory.Write("broken.png", std::string("\x89PNG\r\n\x1a\nnot really"));
    mo_directory.Write("picture.bmp", std::string("BM not a png"));
    const struct {
        std::string model;
        std::string materials; // written as bad.mtl when not empty
        std::string message;   // after "<path>"
    } cases[] = {
        {"", "", ": the file is empty"},
        {"# nothing\nv 0 0 0\n", "", ": the file holds no faces"},
        {"v 0 0 0\nv 1 0 0\nv 1 0 0\nf 1 2 3\n", "", ": all 1 triangles are degenerate (corners coincide)"},
        {"v 0 0 0\nv 1 0 0\nf 1 2 3\n", "", ": face 1 refers to a vertex that does not exist"},
        {"v 0 0 0\nv 1 0 0\nf 1 2 -7\n", "", ": face 1 refers to a vertex that does not exist"},
        {"v 0 0 0\nv 1 zero 0\nv 0 1 0\nf 1 2 3\n", "", ":2:5: expected a finite number, found 'zero'"},
        {"v 0 0 0\nv 1 0\nv 0 1 0\nf 1 2 3\n", "", ":2: expected 3 numbers after 'v', found 2"},
        {"v 0 0 0\nv 1 0 nan\nv 0 1 0\nf 1 2 3\n", "", ":2:7: expected a finite number, found 'nan'"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2/1 3//99999999999\n", "",
         ":4:12: face index '99999999999' is out of range"},
        {"mtllib absent.mtl\n" + MODEL.substr(MODEL.find('\n') + 1), "",
         ": material library " + mo_directory.Path("absent.mtl") +
             ": cannot open: No such file or directory"},
        {"mtllib bad.mtl\n" + MODEL.substr(MODEL.find('\n') + 1), "newmtl board\nmap_Kd absent.png\n",
         ": texture '" + mo_directory.Path("absent.png") + "' of material 'board': " +
             mo_directory.Path("absent.png") + ": cannot open: No such file or directory"},
        {"mtllib bad.mtl\n" + MODEL.substr(MODEL.find('\n') + 1), "newmtl board\nmap_Kd picture.bmp\n",
         ": texture '" + mo_directory.Path("picture.bmp") +
             "' of material 'board': unsupported image format (PNG and JPEG are read)"},
        {"mtllib bad.mtl\n" + MODEL.substr(MODEL.find('\n') + 1), "newmtl board\nmap_Kd broken.png\n",
         ": texture '" + mo_directory.Path("broken.png") + "' of material 'board': cannot decode the image"},
    };
    for (const auto& entry : cases) {
        if (!entry.materials.empty())
            mo_directory.Write("bad.mtl", entry.materials);
        const std::string path = mo_directory.Write("bad.obj", entry.model);
        EXPECT_THAT(ErrorOf(path), testing::StartsWith(path + entry.message)) << entry.model;
        EXPECT_EQ(ErrorOf(path).find('\n'), std::string::npos);
    }
}
