#pragma once
// The module's identity: the version record __g_version and the information string
// __g_zellibrary_info (both exported), filled and entered in the module's version-record list
// during static initialisation when the library is loaded, and taken out again at unload.
//
// Clients only read them, at any time after load: the record's fields are constant wide strings
// (the four version parts, the module name "Vantrel", the information string, the build
// timestamp) and a record word; the information string reads
// "<ZelLibrary::Dynamic::Vantrel::XX::xx::00::00::...>". The library owns both; they live until
// unload. Threading: read-only after load; the list below is created once, thread-safely.
//
// The Vantrel namespace holds the list's internals, which the shared library does not export.
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
