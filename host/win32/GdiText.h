#pragma once
// GdiText: text layout and rasterisation for GdiDevice, through FreeType.
//
// Every font is drawn with DejaVu Sans (DejaVu Sans Bold for weights of 600 and more), found once
// under /usr/share/fonts; the face name of the LOGFONTW is not consulted. A negative lfHeight is
// the character height in pixels, a positive one the cell height (ascent + descent), 0 a default
// of 16 pixels cell height, as in GDI. All functions lock one process-wide mutex; they answer false
// with a message when FreeType or the font file is not available, and draw nothing then.
#include "host/win32/Windef.h"

#include <functional>
#include <string>
#include <string_view>

namespace GdiText {

struct Metrics {
    int ascent = 0;  // pixels above the baseline
    int descent = 0; // pixels below it
    int width = 0;   // advance width of the measured line
};

// Where the font files are looked for from now on (/usr/share/fonts at first); the faces already
// loaded are dropped. For tests of the missing-font path.
void SetFontDirectory(const std::string& directory);

bool Measure(const LOGFONTW& font, std::wstring_view line, Metrics& metrics, std::string& error);

// Calls plot(x, y, coverage) with coverage 1 to 255 for every pixel the line covers, its pen
// starting at (x, baseline).
bool Render(const LOGFONTW& font, std::wstring_view line, int x, int baseline,
            const std::function<void(int, int, unsigned)>& plot, std::string& error);

} // namespace GdiText
