#include "apps/StlReader.h"

#include "apps/InputError.h"
#include "tests/apps/StlTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

StlMesh ReadBytes(const std::vector<uint8_t>& bytes) {
    return StlReader().ReadMemory(bytes, "part.stl");
}
StlMesh ReadText(const std::string& text) {
    return StlReader().ReadMemory({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "part.stl");
}

// The message of the InputError that `read` throws; fails the test when it throws none.
template <class Read> std::string ErrorOf(Read read) {
    try {
        read();
    } catch (const InputError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no InputError thrown";
    return {};
}

std::string ErrorOfText(const std::string& text) {
    return ErrorOf([&] { ReadText(text); });
}
std::string ErrorOfBytes(const std::vector<uint8_t>& bytes) {
    return ErrorOf([&] { ReadBytes(bytes); });
}

} // namespace

TEST(StlReaderTest, BinaryAndAsciiOfTheSameSquareGiveTheSameWeldedMesh) {
    const StlMesh binary = ReadBytes(MakeBinaryStl(UnitSquare()));
    const StlMesh ascii = ReadText(MakeAsciiStl(UnitSquare()));
    for (const StlMesh* mesh : {&binary, &ascii}) {
        ASSERT_EQ(mesh->triangles.size(), 2u);
        EXPECT_EQ(mesh->points.size(), 4u) << "the shared edge's corners are welded";
        EXPECT_EQ(mesh->triangles[0][0], mesh->triangles[1][0]);
        EXPECT_EQ(mesh->triangles[0][2], mesh->triangles[1][1]);
        EXPECT_EQ(mesh->points[mesh->triangles[0][1]], (std::array<double, 3>{1, 0, 0}));
    }
    EXPECT_EQ(binary.points, ascii.points);
    EXPECT_EQ(binary.triangles, ascii.triangles);
    EXPECT_EQ(ReadBytes(MakeBinaryStl(UnitSquare(), "solid but binary")).triangles.size(), 2u)
        << "a binary header may start with 'solid'";
}

TEST(StlReaderTest, KeepsFileNormalsAtUnitLengthAndMarksZeroAndNonFiniteOnesForRecomputing) {
    auto triangles = UnitSquare();
    triangles[0].normal = {0, 0, 2};
    triangles[1].normal = {0, 0, 0};
    const StlMesh mesh = ReadBytes(MakeBinaryStl(triangles));
    EXPECT_EQ(mesh.normals[0], (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(mesh.normals[1], (std::array<float, 3>{0, 0, 0}));
    const StlMesh text =
        ReadText("solid x\nfacet normal nan nan nan\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                 "vertex 1 1 0\nendloop\nendfacet\nendsolid\n");
    EXPECT_EQ(text.normals[0], (std::array<float, 3>{0, 0, 0}))
        << "non-finite normals are recomputed, not rejected";
}

TEST(StlReaderTest, AsciiAcceptsSeveralSolidsSignsAndExponents) {
    const std::string text =
        "solid a\nfacet normal 0 0 +1\nouter loop\nvertex 0 0 0\nvertex 1e0 0 0\n"
        "vertex 1 1E+0 0\nendloop\nendfacet\nendsolid a\nsolid b\n"
        "facet normal 0 0 1 outer loop vertex 0 0 1 vertex 1 0 1 vertex 1 1 1 endloop endfacet\n"
        "endsolid\n";
    EXPECT_EQ(ReadText(text).triangles.size(), 2u);
    EXPECT_EQ(ReadText("\xEF\xBB\xBF" + text).triangles.size(), 2u) << "byte order mark";
}

TEST(StlReaderTest, LeavesOutTrianglesWhoseCornersWeldTogether) {
    auto triangles = UnitSquare();
    triangles.push_back({{0, 0, 1}, {{{5, 5, 5}, {5, 5, 5}, {6, 5, 5}}}});
    EXPECT_EQ(ReadBytes(MakeBinaryStl(triangles)).triangles.size(), 2u);
    EXPECT_THAT(ErrorOfBytes(MakeBinaryStl({triangles.back()})), HasSubstr("all 1 triangles are degenerate"));
}

TEST(StlReaderTest, FileErrorsNameTheFile) {
    ScratchDirectory directory;
    const std::string missing = directory.Path("missing.stl");
    EXPECT_EQ(ErrorOf([&] { StlReader().ReadFile(missing); }),
              missing + ": cannot open: No such file or directory");
    const std::string empty = directory.Write("empty.stl", std::string());
    EXPECT_EQ(ErrorOf([&] { StlReader().ReadFile(empty); }), empty + ": the file is empty");
    EXPECT_THAT(ErrorOf([&] { StlReader().ReadFile(directory.Path("")); }), HasSubstr("cannot read"));
    const std::string good = directory.Write("good.stl", MakeBinaryStl(UnitSquare()));
    EXPECT_EQ(StlReader().ReadFile(good).triangles.size(), 2u);
}

TEST(StlReaderTest, UnreadableFileIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their mode";
    ScratchDirectory directory;
    const std::string path = directory.Write("locked.stl", MakeBinaryStl(UnitSquare()));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_EQ(ErrorOf([&] { StlReader().ReadFile(path); }), path + ": cannot open: Permission denied");
}

TEST(StlReaderTest, BinarySizeErrorsGiveTheCountAndTheSizes) {
    EXPECT_EQ(ErrorOfBytes(std::vector<uint8_t>(40, 1)),
              "part.stl: truncated binary STL: 40 bytes, shorter than the 84-byte header");
    auto truncated = MakeBinaryStl(UnitSquare());
    truncated.resize(truncated.size() - 7);
    EXPECT_EQ(ErrorOfBytes(truncated), "part.stl: truncated binary STL: the header announces 2 triangles "
                                       "(184 bytes) but the file has 177 bytes");
    EXPECT_EQ(
        ErrorOfBytes(MakeBinaryStl(UnitSquare(), "", 1)),
        "part.stl: binary STL triangle count 1 disagrees with the file size: 134 bytes expected, 184 found");
    EXPECT_EQ(
        ErrorOfBytes(MakeBinaryStl({}, "", 0xFFFFFFFF)),
        "part.stl: truncated binary STL: the header announces 4294967295 triangles (214748364834 bytes) "
        "but the file has 84 bytes");
}

TEST(StlReaderTest, ZeroTrianglesIsAnErrorInBothFormats) {
    EXPECT_EQ(ErrorOfBytes(MakeBinaryStl({})), "part.stl: the file holds no triangles");
    EXPECT_EQ(ErrorOfText("solid empty\nendsolid empty\n"), "part.stl: the file holds no triangles");
}

TEST(StlReaderTest, AsciiSyntaxErrorsNameTheLine) {
    std::string text = MakeAsciiStl(UnitSquare());
    text.replace(text.find("vertex", text.find("facet", 20)), 6, "vertx");
    EXPECT_THAT(ErrorOfText(text), StartsWith("part.stl:"));
    EXPECT_EQ(
        ErrorOfText("solid x\nfacet normal 0 0 1\n outer loop\n vertex 0 0 0\n vertex 1 0 0\n vertx 1 1 0\n"),
        "part.stl:6: expected 'vertex', found 'vertx'");
    EXPECT_EQ(ErrorOfText("solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0.1.2 0\n"),
              "part.stl:4: expected a number, found '0.1.2'");
    EXPECT_EQ(ErrorOfText("solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n"),
              "part.stl:4: expected 'vertex', found end of file");
    EXPECT_EQ(
        ErrorOfText("solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\n"
                    "endloop\nendfacet\n"),
        "part.stl:8: expected 'facet' or 'endsolid', found end of file");
    EXPECT_EQ(ErrorOfText("solid x\nfacet\n"), "part.stl:2: expected 'normal', found end of file");
}

TEST(StlReaderTest, RejectsNonFiniteCoordinatesWithTheirPlace) {
    const std::string head = "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex ";
    EXPECT_EQ(ErrorOfText(head + "nan 0 0\n"), "part.stl:5: coordinate is NaN");
    EXPECT_EQ(ErrorOfText(head + "-inf 0 0\n"), "part.stl:5: coordinate is infinite");
    auto triangles = UnitSquare();
    triangles[1].corners[2][1] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(ErrorOfBytes(MakeBinaryStl(triangles)), "part.stl: triangle 2: coordinate is NaN");
    triangles[1].corners[2][1] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(ErrorOfBytes(MakeBinaryStl(triangles)), "part.stl: triangle 2: coordinate is infinite");
}
