// The Win32/MFC stand-in itself: Win32 arithmetic, the recording device context and its image.
#include "ScreenPrinters.h"
#include "host/win32/Afxwin.h"
#include "host/win32/GdiDevice.h"
#include "host/win32/GdiObjects.h"
#include "host/win32/GdiText.h"

#include <gtest/gtest.h>

namespace {

TEST(MulDiv, RoundsHalfAwayFromZeroAndFailsOnZeroDivisor) {
    EXPECT_EQ(MulDiv(30, 10, 100), 3);
    EXPECT_EQ(MulDiv(35, 10, 100), 4);   // 3.5 up
    EXPECT_EQ(MulDiv(-35, 10, 100), -4); // -3.5 away from zero
    EXPECT_EQ(MulDiv(35, -10, 100), -4);
    EXPECT_EQ(MulDiv(35, 10, -100), -4);
    EXPECT_EQ(MulDiv(-35, 10, -100), 4);
    EXPECT_EQ(MulDiv(-34, 10, 100), -3);
    EXPECT_EQ(MulDiv(8, 6, 4), 12);
    EXPECT_EQ(MulDiv(5, 3, 0), -1);
    EXPECT_EQ(MulDiv(2147483647, 2, 1), -1); // does not fit
    EXPECT_EQ(MulDiv(2147483647, 2147483647, 2147483647), 2147483647);
}

TEST(GdiDevice, KeepsSelectionsAndRefusesSelectedObjectsAndNullHandles) {
    const size_t before = Win32Stub::GetLiveGdiObjectCount();
    GdiDevice device;
    const GdiDeviceState initial = device.GetState();
    const HPEN pen = CreatePen(PS_SOLID, 0, RGB(1, 2, 3));
    EXPECT_EQ(Win32Stub::GetLiveGdiObjectCount(), before + 1);
    const HGDIOBJ previous = SelectObject(device.GetHdc(), pen);
    EXPECT_EQ(previous, GetStockObject(BLACK_PEN));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(SelectObject(device.GetHdc(), previous), pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(Win32Stub::GetLiveGdiObjectCount(), before);
    EXPECT_EQ(device.GetState(), initial);
    EXPECT_EQ(Rectangle(nullptr, 1, 2, 3, 4), FALSE); // a null handle is refused, not dereferenced
}

TEST(GdiImage, DrawsShapesAndUndoesFocusRectangles) {
    GdiDevice device;
    device.CreateImage(40, 30, RGB(255, 255, 255));
    const HDC dc = device.GetHdc();
    CBrush brush(RGB(0, 0, 255));
    CPen pen(PS_SOLID, 0, RGB(255, 0, 0));
    const HGDIOBJ old_brush = SelectObject(dc, brush);
    const HGDIOBJ old_pen = SelectObject(dc, pen);
    Rectangle(dc, 2, 2, 10, 10);
    EXPECT_EQ(device.GetPixel(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(device.GetPixel(9, 9), RGB(255, 0, 0));
    EXPECT_EQ(device.GetPixel(5, 5), RGB(0, 0, 255));
    EXPECT_EQ(device.GetPixel(10, 10), RGB(255, 255, 255)); // right and bottom exclusive
    MoveToEx(dc, 12, 20, nullptr);
    LineTo(dc, 20, 20);
    EXPECT_EQ(device.GetPixel(19, 20), RGB(255, 0, 0));
    EXPECT_EQ(device.GetPixel(20, 20), RGB(255, 255, 255)); // the end point is not drawn
    const POINT triangle[3] = {{25, 2}, {35, 2}, {25, 12}};
    Polygon(dc, triangle, 3);
    EXPECT_EQ(device.GetPixel(27, 4), RGB(0, 0, 255));
    EXPECT_EQ(device.GetPixel(34, 11), RGB(255, 255, 255));
    Ellipse(dc, 20, 15, 30, 25);
    EXPECT_EQ(device.GetPixel(25, 20), RGB(0, 0, 255));
    EXPECT_EQ(device.GetPixel(20, 15), RGB(255, 255, 255));

    const std::vector<uint8_t> before(device.GetImageData(), device.GetImageData() + 40 * 30 * 4);
    const RECT focus{1, 1, 39, 29};
    DrawFocusRect(dc, &focus);
    EXPECT_NE(std::vector<uint8_t>(device.GetImageData(), device.GetImageData() + before.size()), before);
    DrawFocusRect(dc, &focus);
    EXPECT_EQ(std::vector<uint8_t>(device.GetImageData(), device.GetImageData() + before.size()), before);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
}

TEST(GdiImage, ClipsFarAwayGeometryToTheImageAndWithoutItsFontDrawsNoTextButRecordsTheFailure) {
    GdiDevice device;
    device.CreateImage(20, 20, RGB(255, 255, 255));
    const HDC dc = device.GetHdc();
    CPen pen(PS_SOLID, 3, RGB(0, 0, 0));
    const HGDIOBJ old_pen = SelectObject(dc, pen);
    MoveToEx(dc, -2147483647, 10, nullptr);
    LineTo(dc, 2147483647, 10); // walks only the visible part
    EXPECT_EQ(device.GetPixel(0, 10), RGB(0, 0, 0));
    EXPECT_EQ(device.GetPixel(19, 11), RGB(0, 0, 0)); // three pixels wide
    EXPECT_EQ(device.GetPixel(19, 12), RGB(255, 255, 255));
    const POINT huge[3] = {{-2000000000, -2000000000}, {2000000000, 0}, {0, 2000000000}};
    Polygon(dc, huge, 3);
    Ellipse(dc, -2000000000, -2000000000, 2000000000, 2000000000);
    SelectObject(dc, old_pen);
    EXPECT_EQ(device.CountCalls("Polygon"), 1u);

    GdiText::SetFontDirectory("/nonexistent-font-directory");
    GdiDevice text;
    text.CreateImage(40, 20, RGB(255, 255, 255));
    SetTextColor(text.GetHdc(), RGB(0, 0, 0));
    RECT rect{0, 0, 40, 20};
    EXPECT_EQ(DrawTextW(text.GetHdc(), L"x", 1, &rect, 0), 0);
    GdiText::SetFontDirectory("/usr/share/fonts");
    ASSERT_EQ(text.GetFailures().size(), 1u);
    EXPECT_NE(text.GetFailures()[0].find("DejaVuSans.ttf"), std::string::npos);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(text.GetPixel(x, y), RGB(255, 255, 255));
    EXPECT_EQ(text.CountCalls("DrawTextW"), 1u);
}

TEST(GdiText, KeptGlyphsStaySeparateBySizeAndWeight) {
    // Glyphs are kept between calls: each size and weight must still get its own.
    auto measure = [](LONG height, LONG weight) {
        LOGFONTW font{};
        font.lfHeight = height;
        font.lfWeight = weight;
        GdiText::Metrics metrics;
        std::string error;
        EXPECT_TRUE(GdiText::Measure(font, L"Wide words", metrics, error)) << error;
        int covered = 0;
        EXPECT_TRUE(GdiText::Render(
            font, L"W", 0, 40, [&](int, int, unsigned) { ++covered; }, error));
        return std::pair{metrics.width, covered};
    };
    const auto small = measure(-10, 400), large = measure(-20, 400), bold = measure(-10, 700);
    EXPECT_GT(large.first, small.first * 3 / 2) << "width at 20 px against 10 px";
    EXPECT_GT(large.second, small.second * 2) << "pixels of a W at 20 px against 10 px";
    EXPECT_GT(bold.first, small.first) << "bold against regular width";
    EXPECT_EQ(measure(-10, 400), small) << "the same font again";
}

} // namespace
