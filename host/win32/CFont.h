#pragma once
// CFont: MFC's font wrapper (see CGdiObject for ownership and threading).
#include "host/win32/CGdiObject.h"
#include "host/win32/WinGdi.h"

class CFont : public CGdiObject {
public:
    CFont() = default;

    BOOL CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};
