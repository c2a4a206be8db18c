#include "host/win32/GdiText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace {

// A glyph as FreeType renders it, kept so that text drawn every frame is hinted and rendered once.
struct Glyph {
    long advance = 0; // 26.6 pixels
    int left = 0, top = 0;
    unsigned width = 0, rows = 0;
    std::vector<uint8_t> coverage; // rows x width, 0..255
    bool loaded = false;
};

struct FontLibrary {
    std::mutex mutex;
    bool initialised = false;
    std::string error; // why fonts are unavailable, once initialisation failed
    FT_Library library = nullptr;
    FT_Face regular = nullptr;
    FT_Face bold = nullptr;
    std::string directory = "/usr/share/fonts";
    // Keyed by face (bit 63: bold), pixel size and character; emptied when it grows past
    // MAX_GLYPHS, which bounds its memory whatever texts and sizes come along.
    static constexpr size_t MAX_GLYPHS = 4096;
    std::unordered_map<uint64_t, Glyph> glyphs;

    ~FontLibrary() { Reset(); }

    void Reset() {
        glyphs.clear();
        if (regular != nullptr)
            FT_Done_Face(regular);
        if (bold != nullptr)
            FT_Done_Face(bold);
        if (library != nullptr)
            FT_Done_FreeType(library);
        regular = bold = nullptr;
        library = nullptr;
        initialised = false;
        error.clear();
    }
};

std::string FindFontFile(const std::string& directory, const char* name) {
    std::error_code code;
    const std::filesystem::path root(directory);
    for (auto it = std::filesystem::recursive_directory_iterator(root, code);
         !code && it != std::filesystem::recursive_directory_iterator(); it.increment(code)) {
        if (it->path().filename() == name)
            return it->path().string();
    }
    return {};
}

FontLibrary& GetLibrary() {
    static FontLibrary fonts;
    return fonts;
}

// The face for a font, sized; null with `error` set when none is available. Holds the mutex.
FT_Face PrepareFace(FontLibrary& fonts, const LOGFONTW& font, std::string& error) {
    if (!fonts.initialised) {
        fonts.initialised = true;
        if (FT_Init_FreeType(&fonts.library) != 0) {
            fonts.library = nullptr;
            fonts.error = "FreeType could not be initialised";
        } else {
            const std::string regular = FindFontFile(fonts.directory, "DejaVuSans.ttf");
            const std::string bold = FindFontFile(fonts.directory, "DejaVuSans-Bold.ttf");
            if (regular.empty() || FT_New_Face(fonts.library, regular.c_str(), 0, &fonts.regular) != 0) {
                fonts.regular = nullptr;
                fonts.error = "DejaVuSans.ttf not found or unreadable under " + fonts.directory;
            }
            if (!bold.empty() && FT_New_Face(fonts.library, bold.c_str(), 0, &fonts.bold) != 0)
                fonts.bold = nullptr;
        }
    }
    FT_Face face = (font.lfWeight >= 600 && fonts.bold != nullptr) ? fonts.bold : fonts.regular;
    if (face == nullptr) {
        error = fonts.error;
        return nullptr;
    }
    // GDI's positive heights are cell heights (ascent + descent): scale them to an em height.
    double em = 16.0 * face->units_per_EM / double(face->ascender - face->descender);
    if (font.lfHeight < 0)
        em = -double(font.lfHeight);
    else if (font.lfHeight > 0)
        em = double(font.lfHeight) * face->units_per_EM / double(face->ascender - face->descender);
    const FT_UInt pixels = FT_UInt(std::lround(std::max(1.0, std::min(em, 2000.0))));
    if (FT_Set_Pixel_Sizes(face, 0, pixels) != 0) {
        error = "FreeType could not size the font";
        return nullptr;
    }
    return face;
}

// The glyph of `character` in the sized `face`; loaded is false when FreeType has none.
const Glyph& GetGlyph(FontLibrary& fonts, FT_Face face, wchar_t character) {
    const uint64_t key = (face == fonts.bold ? uint64_t(1) << 63 : 0) |
                         uint64_t(face->size->metrics.x_ppem) << 32 | uint32_t(character);
    if (auto found = fonts.glyphs.find(key); found != fonts.glyphs.end())
        return found->second;
    if (fonts.glyphs.size() >= FontLibrary::MAX_GLYPHS)
        fonts.glyphs.clear();
    Glyph& glyph = fonts.glyphs[key];
    if (FT_Load_Char(face, FT_ULong(character), FT_LOAD_RENDER) != 0)
        return glyph;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.loaded = true;
    glyph.advance = slot->advance.x;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = bitmap.width;
    glyph.rows = bitmap.rows;
    glyph.coverage.resize(size_t(bitmap.width) * bitmap.rows);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* source = bitmap.buffer + long(row) * bitmap.pitch;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            unsigned coverage = 0;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                coverage = source[column];
            else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                coverage = (source[column / 8] & (0x80u >> (column % 8))) != 0 ? 255u : 0u;
            glyph.coverage[size_t(row) * bitmap.width + column] = uint8_t(coverage);
        }
    }
    return glyph;
}

} // namespace

namespace GdiText {

void SetFontDirectory(const std::string& directory) {
    FontLibrary& fonts = GetLibrary();
    const std::lock_guard lock(fonts.mutex);
    fonts.Reset();
    fonts.directory = directory;
}

bool Measure(const LOGFONTW& font, std::wstring_view line, Metrics& metrics, std::string& error) {
    FontLibrary& fonts = GetLibrary();
    const std::lock_guard lock(fonts.mutex);
    FT_Face face = PrepareFace(fonts, font, error);
    if (face == nullptr)
        return false;
    metrics.ascent = int((face->size->metrics.ascender + 63) >> 6);
    metrics.descent = int((-face->size->metrics.descender + 63) >> 6);
    long advance = 0;
    for (const wchar_t character : line)
        advance += GetGlyph(fonts, face, character).advance;
    metrics.width = int((advance + 63) >> 6);
    return true;
}

bool Render(const LOGFONTW& font, std::wstring_view line, int x, int baseline,
            const std::function<void(int, int, unsigned)>& plot, std::string& error) {
    FontLibrary& fonts = GetLibrary();
    const std::lock_guard lock(fonts.mutex);
    FT_Face face = PrepareFace(fonts, font, error);
    if (face == nullptr)
        return false;
    long pen = long(x) * 64;
    for (const wchar_t character : line) {
        const Glyph& glyph = GetGlyph(fonts, face, character);
        if (!glyph.loaded)
            continue;
        const int left = int(pen >> 6) + glyph.left;
        const int top = baseline - glyph.top;
        for (unsigned row = 0; row < glyph.rows; ++row)
            for (unsigned column = 0; column < glyph.width; ++column)
                if (const unsigned coverage = glyph.coverage[size_t(row) * glyph.width + column];
                    coverage != 0)
                    plot(left + int(column), top + int(row), coverage);
        pen += glyph.advance;
    }
    return true;
}

} // namespace GdiText
