// The window under a real X server: the test starts a private Xvfb, runs vantrel-view on SDL's X11
// driver, moves the mouse and presses keys with xdotool, and reads back the viewer's own
// screenshots. The same events replayed on a ViewerState in this process say where the handles
// must be drawn. Skips, saying why, when Xvfb or xdotool cannot run here.
#include "tests/viewer/ViewerTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int WIDTH = 480, HEIGHT = 270;
using namespace std::chrono_literals;

class ViewerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Xvfb picks a free display itself and writes its number to the pipe once it accepts clients.
        int pipe_ends[2];
        ASSERT_EQ(::pipe(pipe_ends), 0);
        ProgramCall server;
        server.program = "Xvfb";
        server.arguments = {
            "-displayfd", std::to_string(pipe_ends[1]), "-screen", "0", "800x600x24", "-nolisten", "tcp",
            "-noreset"};
        mp_server = std::make_unique<BackgroundProgram>(server);
        ::close(pipe_ends[1]);
        std::string number;
        pollfd ready{pipe_ends[0], POLLIN, 0};
        char buffer[16];
        for (ssize_t count = 1;
             count > 0 && number.find('\n') == std::string::npos && ::poll(&ready, 1, 15000) == 1;)
            if ((count = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0)
                number.append(buffer, size_t(count));
        ::close(pipe_ends[0]);
        if (number.find('\n') == std::string::npos)
            GTEST_SKIP() << "Xvfb could not start here (scripts/install-deps installs it): no display";
        mo_display = std::string(":").append(number, 0, number.find('\n'));
        if (Xdo("getmouselocation") != 0)
            GTEST_SKIP() << "xdotool cannot reach the display " << mo_display
                         << " (scripts/install-deps installs it)";
    }

    int Xdo(const std::string& arguments, std::string* out = nullptr) {
        const std::string command =
            "DISPLAY=" + mo_display + " timeout 20 xdotool " + arguments + " 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr)
            return -1;
        char buffer[256];
        std::string text;
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            text += buffer;
        const int status = ::pclose(pipe);
        if (out != nullptr)
            *out = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Presses S in the window and waits for the numbered screenshot it writes.
    RgbImage Screenshot(const std::string& window, int index) {
        char name[32];
        std::snprintf(name, sizeof name, "win_%04d.png", index);
        EXPECT_EQ(Xdo("key --window " + window + " s"), 0);
        const std::string path = mo_folder.Path(name);
        for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
            std::this_thread::sleep_for(20ms);
        return ReadPng(path);
    }

    std::unique_ptr<BackgroundProgram> mp_server;
    std::string mo_display;
    ScratchDirectory mo_folder;
};

TEST_F(ViewerWindowTest, HoverHighlightsTheHandleAndADragMovesTheDrawnCorner) {
    // The expected picture: the same options and events on a ViewerState here.
    Scene scene = BuiltInScene::Make(MUnit::GetIE());
    ViewerState local(scene, ViewerOptions(WIDTH, HEIGHT, mo_folder.Path("local.png")));
    local.Update();
    const int corner = local.GetGizmo()->mn_min_z_vertex;
    const CPoint at = local.GetGizmo()->GetVerticesOnScreen()[corner];
    // 40 pixels outward along the screen image of the edge whose face the handle moves.
    local.MouseMove(at.x, at.y);
    ASSERT_EQ(local.GetHover().type, IVRenderEx::CBoundingBox::eMouseHandle);
    CPoint other = at;
    for (int line = 4 * local.GetHover().axis; line < 4 * local.GetHover().axis + 4; ++line) {
        const auto* ends = IVRenderEx::CBoundingBox::mga_lines_indeces[line];
        if (ends[0] == corner || ends[1] == corner)
            other = local.GetGizmo()->GetVerticesOnScreen()[ends[0] == corner ? ends[1] : ends[0]];
    }
    const double length = std::max(1.0, std::hypot(other.x - at.x, other.y - at.y));
    const CPoint to(at.x - int(std::lround(40.0 * (other.x - at.x) / length)),
                    at.y - int(std::lround(40.0 * (other.y - at.y) / length)));

    ProgramCall call;
    call.program = "env"; // the display and the driver for the viewer alone
    call.arguments = {"DISPLAY=" + mo_display,
                      "SDL_VIDEODRIVER=x11",
                      "LSAN_OPTIONS=" VANTREL_LSAN_OPTIONS,
                      VANTREL_VIEW_PATH,
                      "--size",
                      std::to_string(WIDTH) + "x" + std::to_string(HEIGHT),
                      "-o",
                      mo_folder.Path("win.png")};
    BackgroundProgram viewer(call);
    std::string window;
    ASSERT_EQ(Xdo("search --sync --onlyvisible --name '^vantrel-view$'", &window), 0) << "no window appeared";
    window = window.substr(0, window.find('\n'));
    ASSERT_EQ(Screenshot(window, 0).width, WIDTH) << "the first frame";

    ASSERT_EQ(Xdo("mousemove --window " + window + " " + std::to_string(at.x) + " " + std::to_string(at.y)),
              0);
    const RgbImage hovered = Screenshot(window, 1);
    EXPECT_GE(Highlight(hovered, at, 3), 9) << "no highlight at the hovered corner " << at.x << "," << at.y;

    std::string drag = "mousedown --window " + window + " 1";
    for (int step = 1; step <= 8; ++step)
        drag += " mousemove --window " + window + " " + std::to_string(at.x + (to.x - at.x) * step / 8) +
                " " + std::to_string(at.y + (to.y - at.y) * step / 8) + " sleep 0.02";
    ASSERT_EQ(Xdo(drag + " mouseup --window " + window + " 1"), 0);
    const RgbImage dragged = Screenshot(window, 2);

    local.MouseDown(ViewerState::Button::eLeft, at.x, at.y);
    local.MouseMove(to.x, to.y);
    local.MouseUp(ViewerState::Button::eLeft, to.x, to.y);
    local.Update();
    const CPoint moved = local.GetGizmo()->GetVerticesOnScreen()[corner];
    ASSERT_GT(std::abs(moved.x - at.x) + std::abs(moved.y - at.y), 8) << "the replayed drag moved the corner";
    auto strokes = [](const RgbImage& image, CPoint point) {
        return Highlight(image, point, 3) + image.Count(point.x, point.y, 3, 255, 255, 255);
    };
    EXPECT_GT(strokes(dragged, moved), 0)
        << "no handle drawn at the moved corner " << moved.x << "," << moved.y;
    EXPECT_EQ(strokes(dragged, at), 0) << "a handle is still drawn at the corner's old place";
    // Everything above the status line is the picture the replay drew.
    size_t differing = 0;
    for (size_t i = 0; i < size_t(WIDTH) * size_t(HEIGHT - 30) * 4; ++i)
        differing += dragged.rgba[i] != local.GetImage()[i] ? 1 : 0;
    EXPECT_LE(differing, 40u) << "bytes that differ from the replayed frame";

    // xdotool's own status is not checked: the window may be gone before it sends the key's release.
    Xdo("key --window " + window + " q");
    EXPECT_EQ(viewer.Wait(10s), 0) << "the viewer's exit status after Q";
}

} // namespace
