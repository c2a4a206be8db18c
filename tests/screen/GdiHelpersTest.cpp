// The static GDI helpers: text, fonts, conversions, focus rectangles and arrows, on recording
// device contexts (and an image where pixels matter).
#include "ScreenPrinters.h"
#include "host/win32/Afxwin.h"
#include "host/win32/GdiDevice.h"
#include "host/win32/GdiObjects.h"
#include "screen/IVRenderEx.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

std::vector<GdiCall> WithoutQueries(const std::vector<GdiCall>& calls) {
    std::vector<GdiCall> result;
    for (const GdiCall& call : calls)
        if (call.name.rfind("Get", 0) != 0)
            result.push_back(call);
    return result;
}

TEST(GdiConversions, MillimetresPixelsAndFontHeightsAtTheDeviceResolution) {
    GdiDevice device;
    const HDC dc = device.GetHdc();
    EXPECT_EQ(IVRenderEx::ConvertMmToPointsInX(dc, 25.4f), 96);
    EXPECT_EQ(IVRenderEx::ConvertMmToPointsInX(dc, -1.0f), -4);
    EXPECT_EQ(IVRenderEx::ConvertMmToPointsInY(dc, 1.0f), 4);
    EXPECT_EQ(IVRenderEx::ConvertPointsToMmInY(dc, 96), 25.4f);
    device.SetDpi(300, 150);
    EXPECT_EQ(IVRenderEx::ConvertMmToPointsInX(dc, 10.0f), 118); // 118.11
    EXPECT_EQ(IVRenderEx::ConvertMmToPointsInY(dc, 10.0f), 59);  // 59.06
    EXPECT_EQ(IVRenderEx::ConvertPointsToMmInX(dc, 300), 25.4f);
    EXPECT_EQ(device.GetCallsNamed("GetDeviceCaps").back().args[0], LOGPIXELSX);

    GdiDevice fonts;
    const size_t live = Win32Stub::GetLiveGdiObjectCount();
    LOGFONTW wanted{};
    wanted.lfHeight = -5;
    wanted.lfWidth = 7;
    wanted.lfWeight = FW_BOLD;
    CFont font;
    IVRenderEx::CreateGdiFont(font, fonts.GetHdc(), wanted, 0.0f); // no height: lfHeight read as millimetres
    const auto first = GdiObjects::Describe(font.GetSafeHandle());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->font.lfHeight, 19); // 5 mm at 96 dpi is 18.9 pixels
    EXPECT_EQ(first->font.lfWidth, 0);
    EXPECT_EQ(first->font.lfWeight, FW_BOLD);

    const HGDIOBJ old_handle = font.GetSafeHandle();
    IVRenderEx::CreateGdiFont(font, fonts.GetHdc(), wanted, 2.0f);
    EXPECT_EQ(GdiObjects::Describe(font.GetSafeHandle())->font.lfHeight, 8); // 7.56
    EXPECT_FALSE(GdiObjects::Describe(old_handle).has_value() && old_handle != font.GetSafeHandle());
    EXPECT_EQ(Win32Stub::GetLiveGdiObjectCount(), live + 1); // the first font was deleted
    font.DeleteObject();
    EXPECT_EQ(Win32Stub::GetLiveGdiObjectCount(), live);
}

TEST(GdiDisabledText, EnabledTextIsDrawnOnceAsIsAndDisabledTextEmbossedWithTheStateRestored) {
    GdiDevice device;
    const GdiDeviceState before = device.GetState();
    const int height =
        IVRenderEx::DrawTextDisabled(device.GetHdc(), L"Ok", -1, CRect(1, 2, 50, 30), DT_LEFT, 1);
    ASSERT_EQ(device.GetCalls().size(), 1u);
    EXPECT_EQ(device.GetCalls()[0].ToString(), "DrawTextW(2,1,2,50,30,0,\"Ok\")");
    EXPECT_GT(height, 0);
    EXPECT_EQ(device.GetState(), before);

    device.ClearCalls();
    IVRenderEx::DrawTextDisabled(device.GetHdc(), nullptr, -1, CRect(1, 2, 50, 30), DT_LEFT, 1);
    ASSERT_EQ(device.GetCalls().size(), 1u);
    EXPECT_EQ(device.GetCalls()[0].args[0], -1); // a null text keeps the count -1

    SetTextColor(device.GetHdc(), RGB(1, 2, 3));
    device.ClearCalls();
    const GdiDeviceState coloured = device.GetState();
    IVRenderEx::DrawTextDisabled(device.GetHdc(), L"Off", 3, CRect(10, 20, 90, 40), DT_CENTER, 0);
    const std::vector<GdiCall> calls = WithoutQueries(device.GetCalls());
    std::vector<std::string> shown;
    for (const GdiCall& call : calls)
        shown.push_back(call.ToString());
    const std::vector<std::string> expected = {
        "SetTextColor(" + std::to_string(RGB(255, 255, 255)) + ")",
        "DrawTextW(3,11,21,91,41,1,\"Off\")",
        "SetTextColor(" + std::to_string(RGB(160, 160, 160)) + ")",
        "SetBkMode(1)",
        "DrawTextW(3,10,20,90,40,1,\"Off\")",
        "SetTextColor(" + std::to_string(RGB(1, 2, 3)) + ")",
        "SetBkMode(2)",
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(device.GetState(), coloured);
}

TEST(GdiOutlinedText, ThicknessTwoDrawsTwentyFiveTimesAroundThePlace) {
    GdiDevice device;
    const HDC dc = device.GetHdc();
    SetBkColor(dc, RGB(10, 20, 30));
    SetTextColor(dc, RGB(200, 100, 0));
    device.ClearCalls();
    const GdiDeviceState before = device.GetState();
    IVRenderEx::DrawTextOutlined(dc, 2, L"Halo", RECT{100, 50, 200, 80}, DT_SINGLELINE);

    std::set<std::pair<long long, long long>> offsets;
    COLORREF colour = before.text_colour;
    int mode = before.background_mode;
    size_t draws = 0;
    for (const GdiCall& call : device.GetCalls()) {
        if (call.name == "SetTextColor")
            colour = COLORREF(call.args[0]);
        else if (call.name == "SetBkMode")
            mode = int(call.args[0]);
        if (call.name != "DrawTextW")
            continue;
        ++draws;
        EXPECT_EQ(mode, TRANSPARENT);
        EXPECT_EQ(call.args[0], 4);
        EXPECT_EQ(call.args[3] - call.args[1], 100); // the rectangle moves, never resizes
        if (draws < 25) {
            EXPECT_EQ(colour, RGB(10, 20, 30)) << "halo draw " << draws;
            offsets.emplace(call.args[1] - 100, call.args[2] - 50);
        } else {
            EXPECT_EQ(colour, RGB(200, 100, 0));
            EXPECT_EQ(call.ToString(), "DrawTextW(4,100,50,200,80,32,\"Halo\")");
        }
    }
    EXPECT_EQ(draws, 25u);
    EXPECT_EQ(offsets.size(), 24u); // every place on the rings of half-width 1 and 2, once
    for (const auto& [dx, dy] : offsets)
        EXPECT_TRUE(std::max(std::abs(dx), std::abs(dy)) == 1 || std::max(std::abs(dx), std::abs(dy)) == 2);
    EXPECT_EQ(device.GetState(), before);

    device.ClearCalls();
    IVRenderEx::DrawTextOutlined(dc, 0, L"Plain", RECT{0, 0, 10, 10}, 0);
    EXPECT_EQ(device.CountCalls("DrawTextW"), 1u);
}

TEST(GdiFocusRect, NormalisesAndWidensEmptyRectanglesOnTheOutputHandle) {
    GdiDevice output, attributes;
    CDC dc;
    dc.SetOutputDC(output.GetHdc());
    dc.SetAttribDC(attributes.GetHdc());
    IVRenderEx::DrawFocusRectNormalized(dc, CRect(10, 20, 5, 20));
    IVRenderEx::DrawFocusRectNormalized(dc, CRect(7, 7, 7, 7));
    IVRenderEx::DrawFocusRectNormalized(dc, CRect(30, 40, 10, 5));
    const std::vector<GdiCall> calls = output.GetCallsNamed("DrawFocusRect");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].ToString(), "DrawFocusRect(5,20,10,21)");
    EXPECT_EQ(calls[1].ToString(), "DrawFocusRect(7,7,8,7)"); // only the extra column
    EXPECT_EQ(calls[2].ToString(), "DrawFocusRect(10,5,30,40)");
    EXPECT_TRUE(attributes.GetCalls().empty());
}

// The background patch and the arrow's polygon, as drawn.
std::vector<std::string> DrawArrow(CPoint from, CPoint to, const CRect* clip) {
    GdiDevice device;
    CDC dc;
    dc.Attach(device.GetHdc());
    IVRenderEx::DrawBoldArrow(dc, from, to, clip);
    std::vector<std::string> shapes;
    for (const GdiCall& call : device.GetCalls())
        if (call.name == "Rectangle" || call.name == "Polygon")
            shapes.push_back(call.ToString());
    return shapes;
}

// The polygon's count, then its points from the tip round; the patch one pixel wider on the left
// and the top, two on the right and the bottom. A clip rectangle shifts the whole arrow inside.
TEST(GdiArrow, GeometryAndBackgroundPatchInAnyDirectionAndShiftedInsideAClip) {
    const CRect right_of_five(5, -100, 200, 100), left_and_up(-100, -100, 60, 20);
    const struct {
        CPoint from, to;
        const CRect* clip;
        std::vector<std::string> shapes;
    } cases[] = {
        {{0, 0},
         {70, 0},
         nullptr,
         {"Rectangle(-1,-31,72,32)", "Polygon(7,70,0,40,-30,40,-10,0,-10,0,10,40,10,40,30)"}},
        {{100, 100},
         {100, 30},
         nullptr,
         {"Rectangle(69,29,132,102)", "Polygon(7,100,30,70,60,90,60,90,100,110,100,110,60,130,60)"}},
        {{20, 30},
         {20, 30},
         nullptr, // zero length
         {"Rectangle(19,29,22,32)", "Polygon(7,20,30,20,30,20,30,20,30,20,30,20,30,20,30)"}},
        {{0, 0},
         {70, 0},
         &right_of_five,
         {"Rectangle(4,-31,77,32)", "Polygon(7,75,0,45,-30,45,-10,5,-10,5,10,45,10,45,30)"}},
        {{0, 0},
         {70, 0},
         &left_and_up,
         {"Rectangle(-11,-41,62,22)", "Polygon(7,60,-10,30,-40,30,-20,-10,-20,-10,0,30,0,30,20)"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DrawArrow(c.from, c.to, c.clip), c.shapes) << "to " << c.to.x << "," << c.to.y;
}

TEST(GdiArrow, ColoursFromTheAttributeHandleAndEverythingRestored) {
    GdiDevice output, attributes;
    output.CreateImage(120, 80, RGB(0, 0, 0));
    SetBkColor(attributes.GetHdc(), RGB(0, 0, 255));
    SetTextColor(attributes.GetHdc(), RGB(255, 255, 0));
    const size_t live = Win32Stub::GetLiveGdiObjectCount();
    const GdiDeviceState output_before = output.GetState();
    const GdiDeviceState attributes_before = attributes.GetState();
    {
        CDC dc;
        dc.SetOutputDC(output.GetHdc());
        dc.SetAttribDC(attributes.GetHdc());
        IVRenderEx::DrawBoldArrow(dc, CPoint(10, 40), CPoint(80, 40), nullptr);
    }
    EXPECT_EQ(output.GetPixel(80, 40), RGB(255, 255, 0)); // the tip, in the text colour
    EXPECT_EQ(output.GetPixel(30, 40), RGB(255, 255, 0)); // the shaft
    EXPECT_EQ(output.GetPixel(30, 20), RGB(0, 0, 255));   // the patch beside the shaft
    EXPECT_EQ(output.GetPixel(9, 40), RGB(0, 0, 255));    // the 0.3 mm margin
    EXPECT_EQ(output.GetPixel(5, 40), RGB(0, 0, 0));
    EXPECT_EQ(Win32Stub::GetLiveGdiObjectCount(), live);
    EXPECT_EQ(output.GetState(), output_before);
    EXPECT_EQ(attributes.GetState(), attributes_before);
    EXPECT_EQ(output.CountCalls("SelectObject"), 6u); // two brushes and pens in, the old two back
}

} // namespace
