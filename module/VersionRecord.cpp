#include "module/VersionRecord.h"

#include <algorithm>

// The platform has no MFC extension-module state; on Windows it is set up here, at load.

#define VANTREL_WIDE_(text) L##text
#define VANTREL_WIDE(text) VANTREL_WIDE_(text)
#define VANTREL_TIMESTAMP "Mar 22 2019::16:24:38"

namespace Vantrel_XX_xx_00_00 {

VANTREL_API extern const wchar_t* const __g_zellibrary_info =
    L"<ZelLibrary::Dynamic::Vantrel::XX::xx::00::00::Unicode-x64-Release::Timestamp::" VANTREL_WIDE(
        VANTREL_TIMESTAMP) L">";

VANTREL_API ZelLibraryVersion __g_version = {
    L"XX", L"xx", L"00", L"00", L"Vantrel", __g_zellibrary_info, VANTREL_WIDE(VANTREL_TIMESTAMP), 0x01010001u,
};

} // namespace Vantrel_XX_xx_00_00

namespace Vantrel {

std::vector<const ZelLibraryVersion*>& GetVersionRecordList() {
    // A function-local static: C++ guarantees thread-safe one-time construction, and destruction
    // at unload after every object whose construction finished after it began (the registrar).
    static std::vector<const ZelLibraryVersion*> list;
    return list;
}

void UnregisterVersionRecord() {
    auto& list = GetVersionRecordList();
    const auto found = std::find(list.begin(), list.end(), &Vantrel_XX_xx_00_00::__g_version);
    if (found != list.end())
        list.erase(found);
}

namespace {

struct VersionRecordRegistrar {
    VersionRecordRegistrar() { GetVersionRecordList().push_back(&Vantrel_XX_xx_00_00::__g_version); }
    ~VersionRecordRegistrar() { UnregisterVersionRecord(); }
};

const VersionRecordRegistrar g_registrar;

} // namespace

} // namespace Vantrel
