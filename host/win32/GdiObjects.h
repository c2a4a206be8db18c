#pragma once
// The records behind GDI object handles, and the process-wide table that owns them.
//
// A handle (HPEN, HBRUSH, HFONT, HGDIOBJ) is the address of its record. The table knows which
// records are alive, so a stale or foreign handle is refused instead of dereferenced; it also counts
// in how many device contexts each record is selected, because Win32 refuses to delete a selected
// object. Stock objects are permanent and never counted as live. All functions lock the table's
// mutex; a GdiObjectInfo is a copy and stays valid after the object is deleted.
#include "host/win32/Windef.h"

#include <cstddef>
#include <optional>

enum class GdiObjectKind { Pen, Brush, Font };

struct GdiObjectInfo {
    GdiObjectKind kind = GdiObjectKind::Pen;
    bool stock = false;
    int style = 0;       // pen style (PS_*); for brushes 0 = solid, 1 = null (hollow)
    int width = 0;       // pen width in pixels
    COLORREF colour = 0; // pen or brush colour
    LOGFONTW font{};     // fonts only
};

// The record of every handle; the handle types point at these.
struct GdiObjectRecord {
    GdiObjectInfo info;
    int selections = 0; // device contexts that hold it selected
};
struct HPEN__ : GdiObjectRecord {};
struct HBRUSH__ : GdiObjectRecord {};
struct HFONT__ : GdiObjectRecord {};

namespace GdiObjects {

// Takes a new record into the table and returns its handle.
HGDIOBJ Create(const GdiObjectInfo& info);
// The stock object of a GetStockObject index; null for an unknown index.
HGDIOBJ Stock(int index);
// A copy of the object's description; empty for a handle that is not alive.
std::optional<GdiObjectInfo> Describe(HGDIOBJ object);
// Moves a selection from `previous` (may be null) to `next`; false, changing nothing, when `next`
// is not alive.
bool Select(HGDIOBJ previous, HGDIOBJ next);
// Drops one selection of a live object (a device context going away).
void Release(HGDIOBJ object);
// False when the handle is not alive or is selected somewhere; stock objects stay and answer true.
bool Delete(HGDIOBJ object);
size_t LiveCount();

} // namespace GdiObjects
