#pragma once
// CBrush: MFC's brush wrapper (see CGdiObject for ownership and threading).
#include "host/win32/CGdiObject.h"
#include "host/win32/WinGdi.h"

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }

    BOOL CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};
