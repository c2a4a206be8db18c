#pragma once
// ZelLibraryVersion: the record through which a module identifies itself to the application.
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
