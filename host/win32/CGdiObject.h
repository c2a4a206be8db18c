#pragma once
// CGdiObject: MFC's owner of one GDI object handle. The object is deleted with the wrapper (or by
// DeleteObject); Detach gives the handle up without deleting it.
//
// Attached wrappers are entered in a process-wide map (mutex-guarded), so FromHandlePermanent can
// give back the wrapper that owns a handle, as MFC's permanent handle map does; CDC::SelectObject
// uses it to hand back the previously selected object. Not copyable.
#include "host/win32/Windef.h"

class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }

    // False when the handle is null or the wrapper already holds one.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    // Deletes the held object and lets go of the handle; false when there is none or GDI refuses
    // (it is still selected somewhere).
    BOOL DeleteObject();

    // The attached wrapper of a handle; null when no wrapper holds it.
    static CGdiObject* FromHandlePermanent(HGDIOBJ object);

    HGDIOBJ m_hObject = nullptr;
};
