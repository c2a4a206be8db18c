#pragma once
// The module's version record and information string, filled and entered in the module's
// version-record list during static initialisation, and taken out again at unload.
#include "module/VantrelExport.h"
#include "module/ZelLibraryVersion.h"

#include <vector>

namespace Vantrel_XX_xx_00_00 {

VANTREL_API extern ZelLibraryVersion __g_version;
VANTREL_API extern const wchar_t* const __g_zellibrary_info;

} // namespace Vantrel_XX_xx_00_00

namespace Vantrel {

// The module's private list of version records; created, thread-safely, on first use.
std::vector<const ZelLibraryVersion*>& GetVersionRecordList();
// The unload step: takes this module's record out of the list, keeping the others' order.
void UnregisterVersionRecord();

} // namespace Vantrel
