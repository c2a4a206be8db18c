// The vantrel-render program as a user runs it: exit statuses, messages, the files it leaves, and
// the --stats lines of an orbit. Runs the built binary in a scratch directory.
#include "apps/BuiltInScene.h"
#include "apps/Options.h"
#include "tests/apps/StlTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/wait.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class ProgramTest : public ::testing::Test {
protected:
    // Runs the program with `arguments` (already shell-safe) in the scratch directory.
    Result Run(const std::string& arguments) {
        const std::string out = mo_logs.Path("out.txt"), err = mo_logs.Path("err.txt");
        const std::string command = "cd '" + mo_directory.Path("") + "' && '" VANTREL_RENDER_PATH "' " +
                                    arguments + " > '" + out + "' 2> '" + err + "' < /dev/null";
        const int raw = std::system(command.c_str());
        Result result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ReadText(out);
        result.err = ReadText(err);
        return result;
    }

    // Expects status 2, one line naming `where`, and no file but the inputs left behind.
    void ExpectRejected(const std::string& arguments, const std::string& where) {
        const auto before = mo_directory.List();
        const Result result = Run(arguments);
        EXPECT_EQ(result.status, 2) << arguments << "\n" << result.err;
        EXPECT_THAT(result.err, StartsWith("vantrel-render: " + where)) << arguments;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(mo_directory.List(), before) << arguments << " left a file behind";
    }

    ScratchDirectory mo_directory;
    ScratchDirectory mo_logs;
};

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

Image ReadPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    Image result;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        return result;
    image.format = PNG_FORMAT_RGB;
    result.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr) == 0)
        return result;
    result.width = int(image.width);
    result.height = int(image.height);
    return result;
}

std::vector<std::string> SortDecisions(const std::string& stats) {
    std::vector<std::string> decisions;
    std::istringstream lines(stats);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find("sort=");
        if (at != std::string::npos)
            decisions.push_back(line.substr(at + 5, line.find(' ', at) - at - 5));
    }
    return decisions;
}

} // namespace

TEST_F(ProgramTest, HelpListsEveryOptionWithItsDefaultAndVersionPrintsTheInformationString) {
    const Result help = Run("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--output", "--size", "--projection", "--fov", "--alpha", "--animate",
                               "--scene", "--sort-key", "--subdivide", "--clip", "--gizmo", "--label", "--frames", "--orbit",
                               "--skip-sort-deg", "--stats", "--eye", "--target", "--version", "--help"})
        EXPECT_THAT(help.out, HasSubstr(option));
    EXPECT_THAT(help.out, HasSubstr("[default: 1280x720]"));
    const Result version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, Options::GetVersionText() + "\n");
    EXPECT_THAT(version.out, StartsWith("<ZelLibrary::Dynamic::Vantrel::"));
}

TEST_F(ProgramTest, RendersMeshFilesIntoAPngOfTheAskedSize) {
    mo_directory.Write("square.stl", MakeBinaryStl(UnitSquare()));
    mo_directory.Write("square-ascii.stl", MakeAsciiStl(UnitSquare()));
    const Result result =
        Run("square.stl square-ascii.stl --alpha 0.5 --size 40x30 -o picture.png");
    ASSERT_EQ(result.status, 0) << result.err;
    const Image image = ReadPng(mo_directory.Path("picture.png"));
    EXPECT_EQ(image.width, 40);
    EXPECT_EQ(image.height, 30);
    EXPECT_THAT(mo_directory.List(), ElementsAre("picture.png", "square-ascii.stl", "square.stl"));
}

TEST_F(ProgramTest, BadMeshFilesAreRejectedNamingTheFile) {
    mo_directory.Write("empty.stl", std::string());
    auto truncated = MakeBinaryStl(UnitSquare());
    truncated.resize(120);
    mo_directory.Write("truncated.stl", truncated);
    mo_directory.Write("count.stl", MakeBinaryStl(UnitSquare(), "", 1));
    mo_directory.Write("syntax.stl", std::string("solid s\nfacet normal 0 0 1\nouter lop\n"));
    mo_directory.Write("nan.stl", std::string("solid s\nfacet normal 0 0 1\nouter loop\nvertex nan 0 0\n"));
    mo_directory.Write("huge.stl", std::string("solid s\nfacet normal 0 0 1\nouter loop\nvertex 1e12 0 0\n"));
    mo_directory.Write("none.stl", MakeBinaryStl({}));
    mo_directory.Write("good.stl", MakeBinaryStl(UnitSquare()));
    ExpectRejected("missing.stl", "missing.stl: cannot open");
    ExpectRejected("empty.stl", "empty.stl: the file is empty");
    ExpectRejected("truncated.stl", "truncated.stl: truncated binary STL");
    ExpectRejected("count.stl", "count.stl: binary STL triangle count 1 disagrees");
    ExpectRejected("syntax.stl", "syntax.stl:3: expected 'loop'");
    ExpectRejected("nan.stl", "nan.stl:4: coordinate is NaN");
    ExpectRejected("huge.stl", "huge.stl:4: coordinate 1e+12 overflows");
    ExpectRejected("none.stl", "none.stl: the file holds no triangles");
    ExpectRejected("good.stl .", ".: cannot read");
}

TEST_F(ProgramTest, BadOptionsAreRejectedWithStatusTwo) {
    ExpectRejected("--no-such-option", "The following argument");
    ExpectRejected("--fov abc", "--fov: 'abc' is not a finite number");
    ExpectRejected("--frames 2.5", "--frames: '2.5' is not a whole number");
    ExpectRejected("--size 0x10", "--size: 0 is outside 1..16384");
    ExpectRejected("--size 16385x10", "--size: 16385 is outside 1..16384");
    ExpectRejected("--size 640", "--size: expected WIDTHxHEIGHT");
    ExpectRejected("--projection mercator", "--projection");
    ExpectRejected("--clip 1,2,3", "--clip: expected 4 numbers");
    ExpectRejected("--eye 1,2,x", "--eye: 'x' is not a finite number");
    ExpectRejected("--alpha 0", "--alpha");
    ExpectRejected("-o no/such/dir/out.png",
                   "no/such/dir/out.png: the output directory 'no/such/dir' does not exist");
}

TEST_F(ProgramTest, OrbitSequenceSkipsSortsWithinTheToleranceAndSortsBeyondIt) {
    // Level camera: the view direction turns by exactly the orbit step, 4 degrees per frame. With
    // a tolerance of 20 degrees, a sort is skipped until the view has turned by 10 degrees.
    const std::string common =
        "--size 32x24 --eye 0,-200,20 --target 0,0,20 --frames 6 --orbit 24 --stats -o f.png";
    const Result tolerant = Run(common + " --skip-sort-deg 20");
    ASSERT_EQ(tolerant.status, 0) << tolerant.err;
    EXPECT_THAT(SortDecisions(tolerant.out),
                ElementsAre("sorted", "skipped", "skipped", "sorted", "skipped", "skipped"));
    const Result strict = Run(common + " --skip-sort-deg 0");
    EXPECT_THAT(SortDecisions(strict.out),
                ElementsAre("sorted", "sorted", "sorted", "sorted", "sorted", "sorted"));
    EXPECT_THAT(mo_directory.List(), ElementsAre("f_0000.png", "f_0001.png", "f_0002.png", "f_0003.png",
                                                 "f_0004.png", "f_0005.png"));
    EXPECT_THAT(tolerant.out, HasSubstr("frame=0 triangles="));
    EXPECT_THAT(tolerant.out, HasSubstr(" prepare_ms="));
    EXPECT_EQ(tolerant.err, "") << "no progress bar when standard error is not a terminal";
}
