#include "host/win32/GdiObjects.h"

#include "host/win32/WinGdi.h"

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

std::unique_ptr<GdiObjectRecord> MakeRecord(const GdiObjectInfo& info) {
    switch (info.kind) {
    case GdiObjectKind::Pen:
        return std::make_unique<HPEN__>();
    case GdiObjectKind::Brush:
        return std::make_unique<HBRUSH__>();
    case GdiObjectKind::Font:
        break;
    }
    return std::make_unique<HFONT__>();
}

// The handle of a record is the address of its most derived object, as the typed handles are.
HGDIOBJ HandleOf(GdiObjectRecord* record) {
    switch (record->info.kind) {
    case GdiObjectKind::Pen:
        return static_cast<HPEN__*>(record);
    case GdiObjectKind::Brush:
        return static_cast<HBRUSH__*>(record);
    case GdiObjectKind::Font:
        break;
    }
    return static_cast<HFONT__*>(record);
}

LOGFONTW DefaultFont(LONG height, LONG weight) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    const wchar_t name[] = L"DejaVu Sans";
    std::memcpy(font.lfFaceName, name, sizeof(name));
    return font;
}

struct Table {
    std::mutex mutex;
    std::unordered_map<HGDIOBJ, std::unique_ptr<GdiObjectRecord>> live;
    std::array<std::unique_ptr<GdiObjectRecord>, DEFAULT_GUI_FONT + 1> stock;

    Table();
};

Table::Table() {
    auto add = [this](int index, GdiObjectInfo info) {
        info.stock = true;
        stock[size_t(index)] = MakeRecord(info);
        stock[size_t(index)]->info = info;
    };
    const auto brush = [](COLORREF colour, int style) {
        GdiObjectInfo info;
        info.kind = GdiObjectKind::Brush;
        info.colour = colour;
        info.style = style;
        return info;
    };
    const auto pen = [](COLORREF colour, int style) {
        GdiObjectInfo info;
        info.kind = GdiObjectKind::Pen;
        info.colour = colour;
        info.style = style;
        info.width = 1;
        return info;
    };
    const auto font = [](LONG height, LONG weight) {
        GdiObjectInfo info;
        info.kind = GdiObjectKind::Font;
        info.font = DefaultFont(height, weight);
        return info;
    };
    add(WHITE_BRUSH, brush(RGB(255, 255, 255), 0));
    add(LTGRAY_BRUSH, brush(RGB(192, 192, 192), 0));
    add(GRAY_BRUSH, brush(RGB(128, 128, 128), 0));
    add(DKGRAY_BRUSH, brush(RGB(64, 64, 64), 0));
    add(BLACK_BRUSH, brush(RGB(0, 0, 0), 0));
    add(NULL_BRUSH, brush(RGB(0, 0, 0), 1));
    add(WHITE_PEN, pen(RGB(255, 255, 255), PS_SOLID));
    add(BLACK_PEN, pen(RGB(0, 0, 0), PS_SOLID));
    add(NULL_PEN, pen(RGB(0, 0, 0), PS_NULL));
    add(SYSTEM_FONT, font(16, FW_BOLD));
    add(DEFAULT_GUI_FONT, font(-11, FW_NORMAL));
}

Table& GetTable() {
    static Table table;
    return table;
}

// The record of a handle, live or stock; null otherwise. The caller holds the mutex.
GdiObjectRecord* Find(Table& table, HGDIOBJ object) {
    if (object == nullptr)
        return nullptr;
    const auto found = table.live.find(object);
    if (found != table.live.end())
        return found->second.get();
    for (auto& stock : table.stock)
        if (stock != nullptr && HandleOf(stock.get()) == object)
            return stock.get();
    return nullptr;
}

} // namespace

namespace GdiObjects {

HGDIOBJ Create(const GdiObjectInfo& info) {
    std::unique_ptr<GdiObjectRecord> record = MakeRecord(info);
    record->info = info;
    record->info.stock = false;
    const HGDIOBJ handle = HandleOf(record.get());
    Table& table = GetTable();
    const std::lock_guard lock(table.mutex);
    table.live.emplace(handle, std::move(record));
    return handle;
}

HGDIOBJ Stock(int index) {
    Table& table = GetTable();
    if (index < 0 || size_t(index) >= table.stock.size() || table.stock[size_t(index)] == nullptr)
        return nullptr;
    return HandleOf(table.stock[size_t(index)].get());
}

std::optional<GdiObjectInfo> Describe(HGDIOBJ object) {
    Table& table = GetTable();
    const std::lock_guard lock(table.mutex);
    const GdiObjectRecord* record = Find(table, object);
    if (record == nullptr)
        return std::nullopt;
    return record->info;
}

bool Select(HGDIOBJ previous, HGDIOBJ next) {
    Table& table = GetTable();
    const std::lock_guard lock(table.mutex);
    GdiObjectRecord* incoming = Find(table, next);
    if (incoming == nullptr)
        return false;
    ++incoming->selections;
    if (GdiObjectRecord* outgoing = Find(table, previous); outgoing != nullptr && outgoing->selections > 0)
        --outgoing->selections;
    return true;
}

void Release(HGDIOBJ object) {
    Table& table = GetTable();
    const std::lock_guard lock(table.mutex);
    if (GdiObjectRecord* record = Find(table, object); record != nullptr && record->selections > 0)
        --record->selections;
}

bool Delete(HGDIOBJ object) {
    Table& table = GetTable();
    const std::lock_guard lock(table.mutex);
    const auto found = table.live.find(object);
    if (found == table.live.end())
        return Find(table, object) != nullptr; // a stock object: deleting it is a harmless no-op
    if (found->second->selections > 0)
        return false;
    table.live.erase(found);
    return true;
}

size_t LiveCount() {
    Table& table = GetTable();
    const std::lock_guard lock(table.mutex);
    return table.live.size();
}

} // namespace GdiObjects
