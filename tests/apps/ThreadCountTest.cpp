// The program's pictures do not depend on how many threads fill the rasterizer's tiles or sort the
// transparent triangles: every projection, transparency, a clipping plane and the overlays, drawn
// with 1, 2 and 7 threads, must give the same bytes.
#include "tests/apps/ProgramRun.h"
#include "tests/apps/StlTestFiles.h"

#include <gtest/gtest.h>

using ThreadCountTest = ProgramFolderTest;

TEST_F(ThreadCountTest, EveryProjectionGivesTheSameBytesForOneTwoAndSevenThreads) {
    for (const char* projection : {"none", "fisheye", "cylindrical", "equirect"}) {
        std::string first;
        for (const int threads : {1, 2, 7}) {
            const ThreadCount count(threads);
            const ProgramResult result = Run({"--projection", projection, "--size", "200x120", "--clip",
                                              "0,1,0,10", "--gizmo", "--label", "x", "-o", "picture.png"});
            ASSERT_EQ(result.status, 0) << projection << " with " << threads << " threads: " << result.err;
            const std::string picture = ReadWholeFile(mo_folder.Path("picture.png"));
            if (threads == 1)
                first = picture;
            EXPECT_FALSE(picture.empty()) << projection;
            EXPECT_EQ(picture, first) << projection << ": " << threads << " threads differ from 1";
        }
    }
}
