#include "module/VersionRecord.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Vantrel_XX_xx_00_00::__g_version;
using Vantrel_XX_xx_00_00::__g_zellibrary_info;

TEST(VersionRecord, RecordHoldsTheModuleIdentityAndTheListHoldsTheRecordFromLoadUntilUnload) {
    EXPECT_EQ(__g_version.mp_info, __g_zellibrary_info);
    EXPECT_EQ(std::wstring(__g_zellibrary_info),
              L"<ZelLibrary::Dynamic::Vantrel::XX::xx::00::00::Unicode-x64-Release::Timestamp::Mar 22 "
              L"2019::16:24:38>");
    // The record's own fields are the pieces of that string.
    EXPECT_EQ(std::wstring(__g_version.mp_module_name) + L"::" + __g_version.mp_version_1 + L"::" +
                  __g_version.mp_version_2 + L"::" + __g_version.mp_version_3 + L"::" +
                  __g_version.mp_version_4,
              L"Vantrel::XX::xx::00::00");
    EXPECT_EQ(std::wstring(__g_version.mp_timestamp), L"Mar 22 2019::16:24:38");
    EXPECT_EQ(__g_version.mn_record_word, 0x01010001u);

    auto& list = Vantrel::GetVersionRecordList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front(), &__g_version);

    static const ZelLibraryVersion other{};
    list.insert(list.begin(), &other);
    list.push_back(&other);
    Vantrel::UnregisterVersionRecord();
    EXPECT_EQ(list, (std::vector<const ZelLibraryVersion*>{&other, &other})) << "others keep their order";

    list.clear();
    Vantrel::UnregisterVersionRecord();
    EXPECT_TRUE(list.empty()) << "unloading twice is harmless";
    list.push_back(&__g_version); // leave the process as load left it
}

// Load and unload in one test: the unload step empties the list that load filled.
} // namespace
