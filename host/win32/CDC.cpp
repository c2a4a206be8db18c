#include "host/win32/CDC.h"

CDC::~CDC() {
    // Temporary wrappers only borrow their handles.
    for (auto& temporary : mv_temporaries)
        temporary->m_hObject = nullptr;
}

BOOL CDC::Attach(HDC dc) {
    if (dc == nullptr)
        return FALSE;
    m_hDC = dc;
    m_hAttribDC = dc;
    return TRUE;
}

HDC CDC::Detach() {
    const HDC dc = m_hDC;
    m_hDC = nullptr;
    m_hAttribDC = nullptr;
    return dc;
}

CPoint CDC::MoveTo(int x, int y) {
    POINT previous{0, 0};
    if (m_hDC != m_hAttribDC)
        ::MoveToEx(m_hDC, x, y, &previous);
    if (m_hAttribDC != nullptr)
        ::MoveToEx(m_hAttribDC, x, y, &previous);
    return CPoint(previous);
}

BOOL CDC::LineTo(int x, int y) {
    if (m_hAttribDC != nullptr && m_hDC != m_hAttribDC)
        ::MoveToEx(m_hAttribDC, x, y, nullptr);
    return ::LineTo(m_hDC, x, y);
}

BOOL CDC::Rectangle(int left, int top, int right, int bottom) {
    return ::Rectangle(m_hDC, left, top, right, bottom);
}

BOOL CDC::Ellipse(int left, int top, int right, int bottom) {
    return ::Ellipse(m_hDC, left, top, right, bottom);
}

BOOL CDC::Polygon(const POINT* points, int count) {
    return ::Polygon(m_hDC, points, count);
}

void CDC::DrawFocusRect(LPCRECT rect) {
    ::DrawFocusRect(m_hDC, rect);
}

int CDC::DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) {
    return ::DrawTextW(m_hDC, text, count, rect, format);
}

COLORREF CDC::GetTextColor() const {
    return ::GetTextColor(m_hAttribDC);
}
COLORREF CDC::GetBkColor() const {
    return ::GetBkColor(m_hAttribDC);
}
int CDC::GetBkMode() const {
    return ::GetBkMode(m_hAttribDC);
}
int CDC::GetDeviceCaps(int index) const {
    return ::GetDeviceCaps(m_hAttribDC, index);
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    COLORREF previous = CLR_INVALID;
    if (m_hDC != m_hAttribDC)
        previous = ::SetTextColor(m_hDC, colour);
    if (m_hAttribDC != nullptr)
        previous = ::SetTextColor(m_hAttribDC, colour);
    return previous;
}

COLORREF CDC::SetBkColor(COLORREF colour) {
    COLORREF previous = CLR_INVALID;
    if (m_hDC != m_hAttribDC)
        previous = ::SetBkColor(m_hDC, colour);
    if (m_hAttribDC != nullptr)
        previous = ::SetBkColor(m_hAttribDC, colour);
    return previous;
}

int CDC::SetBkMode(int mode) {
    int previous = 0;
    if (m_hDC != m_hAttribDC)
        previous = ::SetBkMode(m_hDC, mode);
    if (m_hAttribDC != nullptr)
        previous = ::SetBkMode(m_hAttribDC, mode);
    return previous;
}

HGDIOBJ CDC::_Select(HGDIOBJ object) {
    HGDIOBJ previous = nullptr;
    if (m_hDC != m_hAttribDC)
        previous = ::SelectObject(m_hDC, object);
    if (m_hAttribDC != nullptr)
        previous = ::SelectObject(m_hAttribDC, object);
    return previous;
}

template <class T> T* CDC::_Wrap(HGDIOBJ previous) {
    if (previous == nullptr)
        return nullptr;
    if (T* permanent = dynamic_cast<T*>(CGdiObject::FromHandlePermanent(previous)))
        return permanent;
    auto temporary = std::make_unique<T>();
    temporary->m_hObject = previous;
    T* result = temporary.get();
    mv_temporaries.push_back(std::move(temporary));
    return result;
}

CPen* CDC::SelectObject(CPen* pen) {
    return _Wrap<CPen>(_Select(pen == nullptr ? nullptr : pen->m_hObject));
}

CBrush* CDC::SelectObject(CBrush* brush) {
    return _Wrap<CBrush>(_Select(brush == nullptr ? nullptr : brush->m_hObject));
}

CFont* CDC::SelectObject(CFont* font) {
    return _Wrap<CFont>(_Select(font == nullptr ? nullptr : font->m_hObject));
}

CGdiObject* CDC::SelectStockObject(int index) {
    return _Wrap<CGdiObject>(_Select(::GetStockObject(index)));
}
