#pragma once
// CDC: MFC's device context, with its two handles: drawing goes to the output handle m_hDC,
// attributes (colours, modes, device capabilities) are read from the attribute handle m_hAttribDC,
// and attribute changes, selections and moves go to both, as in MFC. Attach sets both to the same
// handle. The CDC does not own its handles; the stand-in devices behind them are GdiDevice objects.
//
// SelectObject hands back the previously selected object: its attached wrapper when there is one,
// else a temporary wrapper owned by this CDC until it is destroyed (MFC keeps those until idle
// time); temporary wrappers never delete their handle. Not thread-safe.
#include "host/win32/CBrush.h"
#include "host/win32/CFont.h"
#include "host/win32/CGdiObject.h"
#include "host/win32/CPen.h"
#include "host/win32/CPoint.h"
#include "host/win32/CRect.h"
#include "host/win32/WinGdi.h"

#include <memory>
#include <vector>

class CDC {
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    BOOL Attach(HDC dc);
    HDC Detach();
    void SetOutputDC(HDC dc) { m_hDC = dc; }
    void SetAttribDC(HDC dc) { m_hAttribDC = dc; }
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // Drawing, on the output handle (moves also on the attribute handle).
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT point) { return MoveTo(point.x, point.y); }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT point) { return LineTo(point.x, point.y); }
    BOOL Rectangle(int left, int top, int right, int bottom);
    BOOL Rectangle(LPCRECT rect) { return Rectangle(rect->left, rect->top, rect->right, rect->bottom); }
    BOOL Ellipse(int left, int top, int right, int bottom);
    BOOL Ellipse(LPCRECT rect) { return Ellipse(rect->left, rect->top, rect->right, rect->bottom); }
    BOOL Polygon(const POINT* points, int count);
    void DrawFocusRect(LPCRECT rect);
    int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format);

    // Attributes.
    COLORREF GetTextColor() const;
    COLORREF GetBkColor() const;
    int GetBkMode() const;
    int GetDeviceCaps(int index) const;
    COLORREF SetTextColor(COLORREF colour);
    COLORREF SetBkColor(COLORREF colour);
    int SetBkMode(int mode);

    // Selection, on both handles.
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CGdiObject* SelectStockObject(int index);

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

private:
    HGDIOBJ _Select(HGDIOBJ object);
    template <class T> T* _Wrap(HGDIOBJ previous);

    std::vector<std::unique_ptr<CGdiObject>> mv_temporaries;
};
