#include "apps/StlReader.h"

#include "apps/InputError.h"
#include "tests/apps/StlTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <map>
#include <random>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using ::testing::HasSubstr;

namespace {

StlMesh ReadBytes(const std::vector<uint8_t>& bytes) {
    return StlReader().ReadMemory(bytes, "part.stl");
}
StlMesh ReadText(const std::string& text) {
    return StlReader().ReadMemory({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "part.stl");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Upper(std::string text) {
    for (char& character : text)
        character = char(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

const std::string SQUARE = MakeAsciiStl(UnitSquare());
const std::string FACET =
    "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nendloop\nendfacet\n";

// The welding of the earlier reader, spelt out: points in order of first use, exact comparison.
StlMesh WeldByMap(const std::vector<StlTriangle>& triangles) {
    StlMesh mesh;
    std::map<std::array<double, 3>, uint32_t> index;
    for (const StlTriangle& triangle : triangles) {
        std::array<uint32_t, 3> corners{};
        for (int i = 0; i < 3; ++i) {
            const std::array<double, 3> point{triangle.corners[i][0] + 0.0, triangle.corners[i][1] + 0.0,
                                              triangle.corners[i][2] + 0.0};
            const auto [found, inserted] = index.try_emplace(point, uint32_t(mesh.points.size()));
            if (inserted)
                mesh.points.push_back(point);
            corners[i] = found->second;
        }
        if (corners[0] == corners[1] || corners[1] == corners[2] || corners[0] == corners[2])
            ++mesh.degenerate;
        else
            mesh.triangles.push_back(corners);
    }
    return mesh;
}

} // namespace

TEST(StlReaderTest,
     EveryAsciiSpellingOfTheSquareGivesTheBinaryMeshWithUnitNormalsOrNormalsMarkedForRecomputing) {
    const StlMesh binary = ReadBytes(MakeBinaryStl(UnitSquare()));
    ASSERT_EQ(binary.triangles.size(), 2u);
    EXPECT_EQ(binary.points.size(), 4u) << "the shared edge's corners are welded";
    const std::string body = SQUARE.substr(SQUARE.find('\n') + 1);
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"LF", SQUARE},
        {"CRLF", Replace(SQUARE, "\n", "\r\n")},
        {"CR only", Replace(SQUARE, "\n", "\r")},
        {"one line", Replace(SQUARE, "\n", " ")},
        {"tabs and form feeds", Replace(Replace(SQUARE, " ", "\t"), "\n", "\f\v\n")},
        {"upper case", Upper(SQUARE)},
        {"mixed case", Replace(Replace(SQUARE, "facet", "Facet"), "vertex", "VerTex")},
        {"UTF-8 name", "solid W\xC3\xBCrfel \xE2\x80\x94 \xE6\x96\xB9\n" + body},
        {"Latin-1 name", "solid caf\xE9\n" + body},
        {"NUL padded name", std::string("solid x\0\0\0\x01\x7F\n", 13) + body},
        {"punctuated name", "solid part-1 (v2.0) #3 \"x\"\n" + body},
        {"byte order mark", "\xEF\xBB\xBF" + SQUARE},
        {"no name, no endsolid name", "solid\n" + Replace(body, "endsolid test", "endsolid")},
        {"one line, several solids",
         Replace("solid a " + FACET + "endsolid a solid b " +
                     Replace(Replace(FACET, "1 1 0", "0 1 0"), "1 0 0", "1 1 0") + "endsolid",
                 "\n", " ")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        StlMesh ascii;
        try {
            ascii = ReadText(entry.text);
        } catch (const InputError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        ASSERT_EQ(ascii.triangles.size(), 2u);
        EXPECT_EQ(ascii.points.size(), 4u);
        if (std::string(entry.name) != "one line, several solids") {
            EXPECT_EQ(ascii.points, binary.points);
            EXPECT_EQ(ascii.triangles, binary.triangles);
        }
    }
    EXPECT_EQ(ReadBytes(MakeBinaryStl(UnitSquare(), "solid but binary")).triangles.size(), 2u)
        << "a binary header may start with 'solid'";
    EXPECT_EQ(ReadText("solid x\n" + Replace(FACET, "0 0 1\n", "+0 -0 1e0\n") + "endsolid").points[0],
              (std::array<double, 3>{0, 0, 0}))
        << "signs and exponents; -0 welds with 0";

    auto triangles = UnitSquare();
    triangles[0].normal = {0, 0, 2};
    triangles[1].normal = {0, 0, 0};
    const StlMesh normals = ReadBytes(MakeBinaryStl(triangles));
    EXPECT_EQ(normals.normals[0], (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(normals.normals[1], (std::array<float, 3>{0, 0, 0}));
    triangles[0].normal = {std::numeric_limits<float>::quiet_NaN(), 0, 1};
    EXPECT_EQ(ReadBytes(MakeBinaryStl(triangles)).normals[0], (std::array<float, 3>{0, 0, 0}));
    for (const char* spelling : {"nan", "NaN", "-nan", "inf", "-Infinity", "1.#INF", "-1.#IND00", "1.#QNAN",
                                 "1.#SNAN", "-1.#IND", "-nan(ind)", "1e999"}) {
        const std::string text = "solid x\n" +
                                 Replace(FACET, "normal 0 0 1", "normal 0 " + std::string(spelling) + " 1") +
                                 "endsolid x\n";
        try {
            EXPECT_EQ(ReadText(text).normals[0], (std::array<float, 3>{0, 0, 0})) << spelling;
        } catch (const InputError& error) {
            ADD_FAILURE() << spelling << ": " << error.what();
        }
    }
}

TEST(StlReaderTest, WeldsLikeAnExactMapForAnyThreadCountAndCountsDegenerateTriangles) {
    // Corners drawn from a small set of points, so that most weld, some triangles degenerate, and
    // -0 meets 0; enough corners for the reader to split the work.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(-3, 3);
    std::vector<StlTriangle> triangles(40000);
    for (StlTriangle& triangle : triangles)
        for (auto& corner : triangle.corners)
            for (float& value : corner)
                value = float(pick(random)) * 0.25f * (pick(random) > 0 ? 1.0f : -1.0f);
    const StlMesh expected = WeldByMap(triangles);
    ASSERT_GT(expected.degenerate, 0u);
    const std::vector<uint8_t> bytes = MakeBinaryStl(triangles);
    for (const int threads : {1, 2, 7}) {
        const ThreadCount count(threads);
        const StlMesh mesh = ReadBytes(bytes);
        EXPECT_EQ(mesh.points, expected.points) << threads << " threads";
        EXPECT_EQ(mesh.triangles, expected.triangles) << threads << " threads";
        EXPECT_EQ(mesh.degenerate, expected.degenerate) << threads << " threads";
        EXPECT_EQ(mesh.normals.size(), mesh.triangles.size());
    }
    const StlMesh text = ReadText(MakeAsciiStl({triangles.begin(), triangles.begin() + 300}));
    const StlMesh text_expected = WeldByMap({triangles.begin(), triangles.begin() + 300});
    EXPECT_EQ(text.triangles, text_expected.triangles);
    EXPECT_EQ(text.degenerate, text_expected.degenerate);
}

TEST(StlReaderTest, EveryErrorNamesItsPlaceFromMemoryAndFromAFile) {
    auto nan_square = UnitSquare();
    nan_square[1].corners[2][1] = std::numeric_limits<float>::quiet_NaN();
    auto infinite_square = UnitSquare();
    infinite_square[1].corners[2][1] = -std::numeric_limits<float>::infinity();
    auto truncated = MakeBinaryStl(UnitSquare());
    truncated.resize(truncated.size() - 7);
    const std::string head = "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex ";
    auto bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
    const struct {
        std::vector<uint8_t> bytes;
        std::string message; // after "<name>"
    } cases[] = {
        {{}, ": the file is empty"},
        {std::vector<uint8_t>(40, 1), ": truncated binary STL: 40 bytes, shorter than the 84-byte header"},
        {truncated,
         ": truncated binary STL: the header announces 2 triangles (184 bytes) but the file has 177 bytes"},
        {MakeBinaryStl(UnitSquare(), "", 1),
         ": binary STL triangle count 1 disagrees with the file size: 134 bytes expected, 184 found"},
        {[] {
             auto longer = MakeBinaryStl(UnitSquare());
             longer.push_back(0);
             return longer;
         }(),
         ": binary STL triangle count 2 disagrees with the file size: 184 bytes expected, 185 found"},
        {MakeBinaryStl({}, "", 0xFFFFFFFF),
         ": truncated binary STL: the header announces 4294967295 triangles "
         "(214748364834 bytes) but the file has 84 bytes"},
        {bytes(Replace(SQUARE, "solid test\n", "solid test\n\x80\x81\n")),
         ": truncated binary STL: the header announces 544761204 triangles"},
        {MakeBinaryStl({}), ": the file holds no triangles"},
        {bytes("solid empty\nendsolid empty\n"), ": the file holds no triangles"},
        {MakeBinaryStl({{{0, 0, 1}, {{{5, 5, 5}, {5, 5, 5}, {6, 5, 5}}}}}),
         ": all 1 triangles are degenerate (corners coincide)"},
        {bytes("solid x\n" + Replace(FACET, "1 1 0", "1 0 0") + "endsolid"),
         ": all 1 triangles are degenerate (corners coincide)"},
        {MakeBinaryStl(nan_square), ": triangle 2: coordinate is NaN"},
        {MakeBinaryStl(infinite_square), ": triangle 2: coordinate is infinite"},
        {bytes("solid x\nfacet normal 0 0 1\n outer loop\n vertex 0 0 0\n vertex 1 0 0\n  vertx 1 1 0\n"),
         ":6:3: expected 'vertex', found 'vertx'"},
        {bytes("solid x\rfacet normal 0 0 1\router loop\rvertex 0 0.1.2 0\r"),
         ":4:10: expected a number, found '0.1.2'"},
        {bytes("solid x\r\nfacet normal 0 0 1\r\nouter lop\r\n"), ":3:7: expected 'loop', found 'lop'"},
        {bytes("solid x facet normal 0 0 1 outer loop vertex 0 0 0 endloop"),
         ":1:52: expected 'vertex', found 'endloop'"},
        {bytes(head + "0 0 0\nvertex 1 1 0\nendloop\nendfacet\n"),
         ":9:1: expected 'facet' or 'endsolid', found end of file"},
        {bytes("solid x\n" + FACET + "endsolid x\nfacet"),
         ":10:1: expected 'solid' or end of file after 'endsolid', found 'facet'"},
        {bytes(head + "nan 0 0\n"), ":5:8: coordinate is NaN"},
        {bytes(head + "-1.#INF 0 0\n"), ":5:8: coordinate is infinite"},
        {bytes(head + "0 1e39 0\n"), ":5:10: coordinate 1e+39 is beyond single-precision range"},
        {bytes(head + "0 -1e400 0\n"), ":5:10: coordinate -1.79769e+308 is beyond single-precision range"},
    };
    ScratchDirectory directory;
    for (const auto& entry : cases) {
        EXPECT_THAT(ErrorOf([&] { ReadBytes(entry.bytes); }),
                    testing::StartsWith("part.stl" + entry.message));
        const std::string path = directory.Write("part.stl", entry.bytes);
        EXPECT_THAT(ErrorOf([&] { StlReader().ReadFile(path); }), testing::StartsWith(path + entry.message));
    }
}

TEST(StlReaderTest, FilesThatCannotBeReadAndSourcesBeyondTheLimitAreRefusedInOneLineAndPipesReadUpToIt) {
    ScratchDirectory directory;
    const std::string missing = directory.Path("missing.stl");
    EXPECT_EQ(ErrorOf([&] { StlReader().ReadFile(missing); }),
              missing + ": cannot open: No such file or directory");
    EXPECT_EQ(ErrorOf([&] { StlReader().ReadFile(directory.Path("")); }),
              directory.Path("") + ": cannot read: Is a directory");
    StlReader limited;
    limited.SetStreamLimit(1 << 20);
    EXPECT_EQ(ErrorOf([&] { limited.ReadFile("/dev/zero"); }),
              "/dev/zero: not a regular file and longer than 1048576 bytes, the limit for pipes and devices");
    if (::geteuid() != 0) {
        const std::string path = directory.Write("locked.stl", MakeBinaryStl(UnitSquare()));
        std::filesystem::permissions(path, std::filesystem::perms::none);
        EXPECT_EQ(ErrorOf([&] { StlReader().ReadFile(path); }), path + ": cannot open: Permission denied");
    }

    const std::vector<uint8_t> square = MakeBinaryStl(UnitSquare());
    // The writer of a refused source meets a closed pipe; that must fail its write, not end the suite.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    // Writes `bytes` into a pipe from a thread and reads it through the pipe's path.
    auto read_pipe = [](const std::vector<uint8_t>& bytes, uint64_t limit) {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        std::jthread writer([&] {
            for (size_t done = 0; done < bytes.size();) {
                const ssize_t count = ::write(ends[1], bytes.data() + done, bytes.size() - done);
                if (count <= 0)
                    break;
                done += size_t(count);
            }
            ::close(ends[1]);
        });
        StlReader reader;
        reader.SetStreamLimit(limit);
        std::string result;
        try {
            result =
                std::to_string(reader.ReadFile("/proc/self/fd/" + std::to_string(ends[0])).triangles.size());
        } catch (const InputError& error) {
            result = error.what();
        }
        ::close(ends[0]); // a writer blocked on a full pipe ends with an error
        return result;
    };
    EXPECT_EQ(read_pipe(square, square.size()), "2");
    EXPECT_THAT(read_pipe(square, square.size() - 1),
                HasSubstr("not a regular file and longer than 183 bytes"));
    EXPECT_THAT(read_pipe(std::vector<uint8_t>(1 << 20, 'x'), 1000), HasSubstr("longer than 1000 bytes"));
    std::signal(SIGPIPE, previous);
}
