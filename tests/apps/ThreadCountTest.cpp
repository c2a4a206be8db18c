// The program's pictures do not depend on how many threads fill the rasterizer's tiles or sort the
// transparent triangles: every projection, transparency, a clipping plane and the overlays, drawn
// with 1, 2 and 7 threads, must give the same bytes.
#include "tests/apps/ProgramRun.h"
#include "tests/apps/StlTestFiles.h"

#include <gtest/gtest.h>

TEST(ThreadCountTest, EveryProjectionGivesTheSameBytesForOneTwoAndSevenThreads) {
    const ScratchDirectory folder;
    for (const char* projection : {"none", "fisheye", "cylindrical", "equirect"}) {
        std::string pictures[3];
        const int counts[3] = {1, 2, 7};
        for (int i = 0; i < 3; ++i) {
            const ThreadCount count(counts[i]);
            ProgramCall call;
            call.folder = folder.Path("");
            call.arguments = {"--projection", projection, "--size", "200x120", "--clip",     "0,1,0,10",
                              "--gizmo",      "--label",  "x",      "-o",      "picture.png"};
            const ProgramResult result = RunProgram(call);
            ASSERT_EQ(result.status, 0) << projection << " with " << counts[i] << " threads";
            pictures[i] = ReadWholeFile(folder.Path("picture.png"));
        }
        EXPECT_FALSE(pictures[0].empty()) << projection;
        EXPECT_EQ(pictures[1], pictures[0]) << projection << ": 2 threads differ from 1";
        EXPECT_EQ(pictures[2], pictures[0]) << projection << ": 7 threads differ from 1";
    }
}
