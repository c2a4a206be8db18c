#pragma once
// CPen: MFC's pen wrapper (see CGdiObject for ownership and threading).
#include "host/win32/CGdiObject.h"
#include "host/win32/WinGdi.h"

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }

    BOOL CreatePen(int style, int width, COLORREF colour) {
        return Attach(::CreatePen(style, width, colour));
    }
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};
