#pragma once
// ScopedObject: selects a GDI object into a device context for the length of a scope and deletes
// it after, restoring what was selected before. Owns the object, borrows the device context.
// Single-threaded, as the device context is.
#include "host/win32/WinGdi.h"

class ScopedObject {
public:
    ScopedObject(HDC dc, HGDIOBJ object)
        : mp_dc(dc), mp_object(object), mp_previous(SelectObject(dc, object)) {}
    ~ScopedObject() {
        SelectObject(mp_dc, mp_previous);
        DeleteObject(mp_object);
    }
    ScopedObject(const ScopedObject&) = delete;
    ScopedObject& operator=(const ScopedObject&) = delete;

private:
    HDC mp_dc;
    HGDIOBJ mp_object;
    HGDIOBJ mp_previous;
};
