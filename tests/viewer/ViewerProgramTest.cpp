// vantrel-view as a user runs it without a display: bad input gets the renderer's one-line errors
// and status 2 before any window could open; --script replays events and writes screenshots.
#include "tests/viewer/ViewerTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class ViewerProgramTest : public ProgramFolderTest {
protected:
    // Runs the program in the scratch folder with no display at all, so nothing can open a window.
    ProgramResult Run(const std::string& arguments, const std::string& program = VANTREL_VIEW_PATH) {
        ProgramCall call = Call({"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", program});
        call.program = "env";
        std::istringstream words(arguments);
        for (std::string word; words >> word;)
            call.arguments.push_back(word);
        return RunProgram(call);
    }
};

TEST_F(ViewerProgramTest, BadInputEndsWithOneLineAndStatusTwoAndAScriptRunsWithoutADisplaySavingScreenshots) {
    mo_folder.Write("bad.txt", "move 1 2\nkey x\n");
    mo_folder.Write("empty.stl", "");
    const std::pair<const char*, const char*> cases[] = {
        {"--fov 0", "vantrel-view: --fov: 0 is outside"},
        {"--size 0x10", "vantrel-view: --size"},
        {"--bogus", "vantrel-view: "},
        {"missing.stl", "vantrel-view: missing.stl"},
        {"empty.stl", "vantrel-view: empty.stl"},
        {"-o nowhere/shot.png", "vantrel-view: nowhere/shot.png"},
        {"-o -", "vantrel-view: --output"},
        {"--script bad.txt", "vantrel-view: bad.txt:2: unknown key 'x'"},
        {"--script absent.txt", "vantrel-view: absent.txt"},
    };
    for (const auto& [arguments, message] : cases) {
        ExpectOneLineRefusal(Run(arguments), message, arguments);
    }

    mo_folder.Write("run.txt",
                    "print\nkey p\nkey ]\nkey s\nkey s\nprint\nscreenshot gone/x.png\nkey q\nkey s\n");
    const ProgramResult result = Run("--size 160x90 -o shot.png --script run.txt");
    ASSERT_EQ(result.status, 0) << result.err;
    std::istringstream lines(result.out);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(first.rfind("projection=perspective fov=60 skip_sort=10 sort_key=direction ", 0), 0u) << first;
    EXPECT_EQ(second.rfind("projection=fisheye fov=185 skip_sort=10 sort_key=distance ", 0), 0u) << second;
    EXPECT_EQ(ReadPng(mo_folder.Path("shot_0000.png")).width, 160);
    EXPECT_EQ(ReadPng(mo_folder.Path("shot_0001.png")).height, 90);
    EXPECT_FALSE(std::filesystem::exists(mo_folder.Path("shot_0002.png"))) << "an S after Q";
}

TEST_F(ViewerProgramTest, ShowsTheScenesTheRendererDraws) {
    // A tetrahedron in OBJ with one face whose corners coincide.
    mo_folder.Write(
        "shape.obj",
        "v 0 0 0\nv 100 0 0\nv 0 100 0\nv 0 0 100\nf 1 2 3\nf 1 2 4\nf 1 3 4\nf 2 3 4\nf 1 1 2\n");
    mo_folder.Write("shot.txt", "key g\nscreenshot viewer.png\n");
    const std::pair<const char*, const char*> cases[] = {
        {"--scene room", ""},
        {"--alpha 0.5 shape.obj", "vantrel-view: 1 degenerate triangles left out (corners coincide)\n"},
    };
    for (const auto& [scene, report] : cases) {
        const std::string arguments = std::string(scene) + " --size 160x90";
        const ProgramResult viewer = Run(arguments + " --script shot.txt");
        ASSERT_EQ(viewer.status, 0) << scene << ": " << viewer.err;
        const ProgramResult renderer = Run(arguments + " -o renderer.png", VANTREL_RENDER_PATH);
        ASSERT_EQ(renderer.status, 0) << scene << ": " << renderer.err;
        EXPECT_EQ(viewer.err, report) << scene;
        const RgbImage shown = ReadPng(mo_folder.Path("viewer.png"));
        const RgbImage drawn = ReadPng(mo_folder.Path("renderer.png"));
        ASSERT_EQ(shown.rgba.size(), drawn.rgba.size()) << scene;
        // Above the status line the frames are the same.
        const size_t row_bytes = size_t(shown.width) * 4, rows = size_t(shown.height) * 3 / 4;
        const auto end = shown.rgba.begin() + std::ptrdiff_t(rows * row_bytes);
        const auto [differs, other] = std::mismatch(shown.rgba.begin(), end, drawn.rgba.begin());
        EXPECT_TRUE(differs == end) << scene << ": first differing byte " << (differs - shown.rgba.begin())
                                    << ": " << int(*differs) << " shown, " << int(*other) << " rendered";
    }
}

} // namespace
