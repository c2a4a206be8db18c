// Where the program's pictures go: links followed, special files and read-only files refused,
// permission bits kept, long names, the output folder checked before any work, write failures
// named, and no temporary left behind by a failure or an interruption.
#include "apps/PrimitiveBuilder.h"
#include "tests/apps/ProgramRun.h"
#include "tests/apps/StlTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode;
}

// A ball of radius 1.5 about the origin: shaded, so its pictures compress less than plain ones.
std::vector<StlTriangle> Ball() {
    PrimitiveBuilder builder;
    builder.AddSphere({0, 0, 0}, 1.5, 48, 24);
    const StlMesh mesh = builder.Take();
    std::vector<StlTriangle> triangles(mesh.triangles.size(), StlTriangle{});
    for (size_t i = 0; i < triangles.size(); ++i)
        for (int corner = 0; corner < 3; ++corner)
            for (int axis = 0; axis < 3; ++axis)
                triangles[i].corners[corner][axis] = float(mesh.points[mesh.triangles[i][corner]][axis]);
    return triangles;
}

bool HasTemporary(const std::vector<std::string>& names) {
    return std::any_of(names.begin(), names.end(),
                       [](const std::string& name) { return name.starts_with(".vantrel-"); });
}

class OutputTest : public ProgramFolderTest {
protected:
    void SetUp() override { mo_folder.Write("square.stl", MakeBinaryStl(UnitSquare())); }

    // The square at 48 x 32 pixels unless the arguments give a size.
    ProgramCall Call(std::vector<std::string> arguments) const {
        if (std::find(arguments.begin(), arguments.end(), "--size") == arguments.end())
            arguments.insert(arguments.begin(), {"--size", "48x32"});
        arguments.insert(arguments.begin(), "square.stl");
        return ProgramFolderTest::Call(std::move(arguments));
    }
    ProgramResult Run(std::vector<std::string> arguments) const {
        return RunProgram(Call(std::move(arguments)));
    }

    // Refused in one line, and the folder exactly as it was.
    void ExpectRefused(const std::vector<std::string>& arguments, const std::string& message) {
        const auto before = mo_folder.List();
        const std::string what = ::testing::PrintToString(arguments);
        ExpectOneLineRefusal(Run(arguments), "vantrel-render: " + message, what);
        EXPECT_EQ(mo_folder.List(), before) << what << ": the folder changed";
    }
};

} // namespace

TEST_F(OutputTest, SymbolicLinksAreFollowedAndWhatIsNotAWritableRegularFileIsRefusedAndLeftAlone) {
    mo_folder.Write("real.png", std::string("old"));
    ASSERT_EQ(::link(mo_folder.Path("real.png").c_str(), mo_folder.Path("hard.png").c_str()), 0);
    ASSERT_EQ(::symlink("real.png", mo_folder.Path("link.png").c_str()), 0);
    ASSERT_EQ(::symlink("made.png", mo_folder.Path("dangling.png").c_str()), 0);
    for (const char* link : {"link.png", "dangling.png"}) {
        const ProgramResult result = Run({"-o", link});
        ASSERT_EQ(result.status, 0) << link << ": " << result.err;
        EXPECT_TRUE(S_ISLNK(ModeOf(mo_folder.Path(link)))) << link << " is no longer a symbolic link";
    }
    EXPECT_EQ(ReadPng(mo_folder.Path("real.png")).width, 48) << "the link's target holds the picture";
    EXPECT_EQ(ReadPng(mo_folder.Path("made.png")).width, 48) << "a dangling link's target is created";
    std::ifstream other(mo_folder.Path("hard.png"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(other), {}), "old")
        << "another hard link to the target keeps the previous contents";
    EXPECT_THAT(mo_folder.List(),
                ElementsAre("dangling.png", "hard.png", "link.png", "made.png", "real.png", "square.stl"));

    ASSERT_EQ(::mkfifo(mo_folder.Path("fifo.png").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("fifo.png", mo_folder.Path("to-fifo.png").c_str()), 0);
    mo_folder.Write("read-only.png", std::string("keep"));
    ::chmod(mo_folder.Path("read-only.png").c_str(), 0444);
    std::filesystem::create_directory(mo_folder.Path("folder.png"));
    mo_folder.Write("file.txt", std::string("x"));
    const struct {
        const char* output;
        const char* message;
    } cases[] = {
        {"fifo.png", "fifo.png: refused: the output is a FIFO"},
        {"to-fifo.png", "to-fifo.png: refused: the output is a FIFO"},
        {"read-only.png", "read-only.png: refused: the file is read-only"},
        {"folder.png", "folder.png: refused: the output is a directory"},
        {"missing/out.png", "missing/out.png: the output folder 'missing' does not exist"},
        {"file.txt/out.png", "file.txt/out.png: cannot write there: Not a directory"},
    };
    for (const auto& refused : cases)
        ExpectRefused({"-o", refused.output}, refused.message);
    // A device of the test's own (a fault that replaced it must not replace the system's).
    if (::mknod(mo_folder.Path("null.png").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        ExpectRefused({"-o", "null.png"}, "null.png: refused: the output is a device");
        ExpectRefused({"missing.stl", "-o", "null.png"}, "null.png: refused");
        EXPECT_TRUE(S_ISCHR(ModeOf(mo_folder.Path("null.png"))));
    } else
        std::cout << "no device case: mknod is not permitted here\n";
    EXPECT_TRUE(S_ISFIFO(ModeOf(mo_folder.Path("fifo.png"))));
    EXPECT_EQ(ReadWholeFile(mo_folder.Path("read-only.png")), "keep");
    EXPECT_EQ(ModeOf(mo_folder.Path("read-only.png")) & 07777, 0444u);
}

TEST_F(OutputTest, AnExistingFileKeepsItsPermissionBitsAndANewOneFollowsTheUmask) {
    for (const mode_t mode : {0600u, 0664u, 0640u}) {
        mo_folder.Write("kept.png", std::string("old"));
        ::chmod(mo_folder.Path("kept.png").c_str(), mode);
        ASSERT_EQ(Run({"-o", "kept.png"}).status, 0);
        EXPECT_EQ(ModeOf(mo_folder.Path("kept.png")) & 07777, mode);
        EXPECT_EQ(ReadPng(mo_folder.Path("kept.png")).width, 48);
    }
    for (const mode_t umask : {022u, 077u, 002u}) {
        std::filesystem::remove(mo_folder.Path("new.png"));
        ProgramCall call = Call({"-o", "new.png"});
        call.umask = umask;
        ASSERT_EQ(RunProgram(call).status, 0);
        EXPECT_EQ(ModeOf(mo_folder.Path("new.png")) & 07777, 0666u & ~umask) << "umask " << umask;
    }
}

TEST_F(OutputTest, TheOutputIsCheckedBeforeAnyModelIsReadUpToTheFileNameLimitAndMessagesStayOneLine) {
    // The model file is missing too: the output's error comes first, so nothing was loaded.
    ASSERT_EQ(::mkfifo(mo_folder.Path("fifo.png").c_str(), 0644), 0);
    ExpectRefused({"missing.stl", "-o", "missing/out.png"}, "missing/out.png: the output folder");
    ExpectRefused({"missing.stl", "-o", "fifo.png"}, "fifo.png: refused");
    ExpectRefused({"-o", "line\none\tx\x1b/out.png"}, "line\\none\\tx\\x1b/out.png: the output folder");
    // With --frames, every frame's file is checked before the first is drawn.
    std::filesystem::create_directory(mo_folder.Path("seq_0002.png"));
    ExpectRefused({"--frames", "3", "-o", "seq.png"}, "seq_0002.png: refused: the output is a directory");

    for (const size_t length : {245u, 250u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".png";
        const ProgramResult result = Run({"-o", name});
        EXPECT_EQ(result.status, 0) << length << ": " << result.err;
        EXPECT_EQ(ReadPng(mo_folder.Path(name)).width, 48) << length;
        std::filesystem::remove(mo_folder.Path(name));
    }
    const std::string too_long = std::string(252, 'n') + ".png";
    ExpectRefused({"-o", too_long}, too_long + ": cannot write there: File name too long");
    // A sequence adds "_0000" to the name: the longest name that fits is checked first too.
    ExpectRefused({"--frames", "2", "-o", std::string(247, 'n') + ".png"},
                  std::string(247, 'n') + "_0000.png: cannot write there: File name too long");
}

TEST_F(OutputTest, AWriteFailureNamesTheFileAndTheReasonAndASequenceSaysWhatWasWritten) {
    mo_folder.Write("ball.stl", MakeBinaryStl(Ball()));
    // Frame 0 looks past the ball (a plain picture, a small file), frame 1 at it (a larger file).
    const std::vector<std::string> sequence = {"ball.stl", "--size", "256x192",  "--eye", "0,-10,0",
                                               "--target", "10,0,0", "--frames", "2",     "--orbit",
                                               "360",      "-o",     "seq.png"};
    ProgramCall call = Call({});
    call.arguments = sequence;
    ASSERT_EQ(RunProgram(call).status, 0);
    const auto small = std::filesystem::file_size(mo_folder.Path("seq_0000.png"));
    const auto large = std::filesystem::file_size(mo_folder.Path("seq_0001.png"));
    ASSERT_GT(large, small + 200) << "the test needs frames of different sizes";
    std::filesystem::remove(mo_folder.Path("seq_0000.png"));
    std::filesystem::remove(mo_folder.Path("seq_0001.png"));

    call.file_size_limit = (small + large) / 2;
    ProgramResult result = RunProgram(call);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "vantrel-render: seq_0001.png: cannot write: File too large; 1 of 2 frames was "
                          "written: seq_0000.png\n");
    EXPECT_THAT(mo_folder.List(), ElementsAre("ball.stl", "seq_0000.png", "square.stl"));

    // The limit holds for standard error's file too: room for the message, not for the picture.
    call.arguments = {"square.stl", "--size", "400x300", "-o", "one.png"};
    call.file_size_limit = 100;
    result = RunProgram(call);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "vantrel-render: one.png: cannot write: File too large\n");
    EXPECT_THAT(mo_folder.List(), ElementsAre("ball.stl", "seq_0000.png", "square.stl"));
}

TEST_F(OutputTest, AnInterruptedRunLeavesNoTemporaryBehind) {
    // A large picture: its encoding takes long enough to be caught with the temporary open.
    for (const int signal : {SIGINT, SIGTERM}) {
        const ProgramCall call = Call({"--size", "4000x4000", "-o", "big.png"});
        const pid_t child = StartProgram(call);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline &&
               ::waitpid(child, nullptr, WNOHANG) == 0) {
            seen = HasTemporary(mo_folder.List());
            if (!seen)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        ASSERT_TRUE(seen) << "the temporary was never seen";
        ::kill(child, signal);
        const ProgramResult result = WaitProgram(child, call);
        EXPECT_EQ(result.signal, signal) << "the program ends by the signal, as it would without a handler";
        EXPECT_THAT(mo_folder.List(), ElementsAre("square.stl")) << "signal " << signal;
    }
}
