#pragma once
// ZelLibraryVersion: the record through which a module identifies itself to the application:
// seven pointers to constant wide strings (version parts 1 to 4, module name, information string,
// build timestamp) and a 32-bit record word. A plain aggregate; the module that fills it owns the
// strings. Read-only once filled, so any thread may read it.
#include <cstdint>

struct ZelLibraryVersion {
    const wchar_t* mp_version_1;
    const wchar_t* mp_version_2;
    const wchar_t* mp_version_3;
    const wchar_t* mp_version_4;
    const wchar_t* mp_module_name;
    const wchar_t* mp_info;
    const wchar_t* mp_timestamp;
    uint32_t mn_record_word;
};
