#include "host/win32/CGdiObject.h"

#include "host/win32/WinGdi.h"

#include <mutex>
#include <unordered_map>

namespace {

struct PermanentMap {
    std::mutex mutex;
    std::unordered_map<HGDIOBJ, CGdiObject*> wrappers;
};

PermanentMap& GetMap() {
    static PermanentMap map;
    return map;
}

void Forget(HGDIOBJ object, const CGdiObject* wrapper) {
    PermanentMap& map = GetMap();
    const std::lock_guard lock(map.mutex);
    const auto found = map.wrappers.find(object);
    if (found != map.wrappers.end() && found->second == wrapper)
        map.wrappers.erase(found);
}

} // namespace

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (object == nullptr || m_hObject != nullptr)
        return FALSE;
    m_hObject = object;
    PermanentMap& map = GetMap();
    const std::lock_guard lock(map.mutex);
    map.wrappers[object] = this;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    const HGDIOBJ object = m_hObject;
    if (object != nullptr)
        Forget(object, this);
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr)
        return FALSE;
    // As MFC: the wrapper lets go even when GDI refuses, so a still-selected object stays alive
    // (and counted) in GDI's table instead of being freed under the device context.
    return ::DeleteObject(Detach());
}

CGdiObject* CGdiObject::FromHandlePermanent(HGDIOBJ object) {
    PermanentMap& map = GetMap();
    const std::lock_guard lock(map.mutex);
    const auto found = map.wrappers.find(object);
    return found == map.wrappers.end() ? nullptr : found->second;
}
