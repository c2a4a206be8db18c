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

TEST(RectFunctions, FollowWin32Rules) {
    RECT rect{10, 20, 30, 40};
    EXPECT_TRUE(PtInRect(&rect, POINT{10, 20}));
    EXPECT_FALSE(PtInRect(&rect, POINT{30, 25}));
    EXPECT_FALSE(PtInRect(&rect, POINT{15, 40}));
    InflateRect(&rect, 2, -3);
    EXPECT_EQ(CRect(rect), CRect(8, 23, 32, 37));
    EXPECT_FALSE(InflateRect(nullptr, 1, 1));
}

TEST(SystemSettings, AreSettableAndResettable) {
    Win32Stub::SetScreenSize(3840, 2160);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 3840);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 2160);
    Win32Stub::SetSysColor(COLOR_3DSHADOW, RGB(1, 2, 3));
    EXPECT_EQ(GetSysColor(COLOR_3DSHADOW), RGB(1, 2, 3));
    Win32Stub::ResetSystemSettings();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSysColor(COLOR_3DSHADOW), RGB(160, 160, 160));
    EXPECT_EQ(GetSysColor(COLOR_3DHIGHLIGHT), RGB(255, 255, 255));
}

TEST(GdiDevice, RecordsCallsWithArguments) {
    GdiDevice device;
    const HDC dc = device.GetHdc();
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    device.SetDpi(120, 144);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 144);
    Rectangle(dc, 1, 2, 3, 4);
    MoveToEx(dc, 5, 6, nullptr);
    LineTo(dc, 7, 8);
    ASSERT_EQ(device.CountCalls("Rectangle"), 1u);
    EXPECT_EQ(device.GetCallsNamed("Rectangle")[0].ToString(), "Rectangle(1,2,3,4)");
    EXPECT_EQ(device.GetCalls().back().ToString(), "LineTo(7,8)");
    EXPECT_EQ(device.GetState().position.x, 7);
    EXPECT_EQ(Rectangle(nullptr, 1, 2, 3, 4), FALSE);
}

TEST(GdiDevice, KeepsSelectionsAndRefusesToDeleteSelectedObjects) {
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
}

TEST(CDC, SplitsOutputFromAttributesAndWrapsPreviousObjects) {
    GdiDevice output, attributes;
    attributes.SetDpi(200, 200);
    CDC dc;
    dc.SetOutputDC(output.GetHdc());
    dc.SetAttribDC(attributes.GetHdc());
    dc.SetTextColor(RGB(9, 9, 9));
    EXPECT_EQ(output.GetState().text_colour, RGB(9, 9, 9));
    EXPECT_EQ(attributes.GetState().text_colour, RGB(9, 9, 9));
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 200);
    dc.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(output.CountCalls("Rectangle"), 1u);
    EXPECT_EQ(attributes.CountCalls("Rectangle"), 0u);

    CPen pen(PS_SOLID, 0, RGB(4, 5, 6));
    CPen* previous = dc.SelectObject(&pen);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(previous->GetSafeHandle(), GetStockObject(BLACK_PEN));
    EXPECT_EQ(dc.SelectObject(previous), &pen); // the attached wrapper comes back
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

TEST(GdiImage, ClipsFarAwayGeometryToTheImage) {
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
}

TEST(GdiImage, OverlaysOntoCallerPixelsAndDrawsText) {
    std::vector<uint8_t> frame(64 * 32 * 4, 0);
    GdiDevice device;
    device.AttachImage(frame.data(), 64, 32);
    const HDC dc = device.GetHdc();
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT rect{0, 0, 64, 32};
    const int height = DrawTextW(dc, L"HH", -1, &rect, DT_LEFT | DT_TOP | DT_SINGLELINE);
    EXPECT_GT(height, 0);
    EXPECT_TRUE(device.GetFailures().empty());
    int lit = 0;
    for (size_t i = 0; i < frame.size(); i += 4)
        lit += frame[i] > 128 ? 1 : 0;
    EXPECT_GT(lit, 10);
    ASSERT_EQ(device.CountCalls("DrawTextW"), 1u);
    EXPECT_EQ(device.GetCallsNamed("DrawTextW")[0].text, L"HH");
}

TEST(GdiImage, MissingFontDrawsNothingAndRecordsTheFailure) {
    GdiText::SetFontDirectory("/nonexistent-font-directory");
    GdiDevice device;
    device.CreateImage(40, 20, RGB(255, 255, 255));
    SetTextColor(device.GetHdc(), RGB(0, 0, 0));
    RECT rect{0, 0, 40, 20};
    EXPECT_EQ(DrawTextW(device.GetHdc(), L"x", 1, &rect, 0), 0);
    GdiText::SetFontDirectory("/usr/share/fonts");
    ASSERT_EQ(device.GetFailures().size(), 1u);
    EXPECT_NE(device.GetFailures()[0].find("DejaVuSans.ttf"), std::string::npos);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(device.GetPixel(x, y), RGB(255, 255, 255));
    EXPECT_EQ(device.CountCalls("DrawTextW"), 1u);
}

} // namespace
